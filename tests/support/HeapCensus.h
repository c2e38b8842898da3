// Counts the busy blocks (and their bytes) of every heap of the process, for
// tests and benchmarks that check that a repeated operation leaves nothing
// behind. Take a census before and after a few thousand repetitions, or let
// growthOver compare two rounds of them.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace testsupport {

struct HeapCensus {
    std::size_t blocks = 0;
    std::size_t bytes = 0;

    static HeapCensus take()
    {
        HeapCensus census;
        std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
        const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
        for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
            if (!HeapLock(heaps[i])) continue;
            PROCESS_HEAP_ENTRY entry{};
            while (HeapWalk(heaps[i], &entry)) {
                if (!(entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)) continue;
                ++census.blocks;
                census.bytes += entry.cbData;
            }
            HeapUnlock(heaps[i]);
        }
        return census;
    }

    // What one round of repeat() leaves, the smaller of two rounds: the
    // platform's own one-off allocations (its threads, its caches; more of
    // them on a loaded machine) land in one round now and then, a leak in both.
    template <class Repeat>
    static HeapCensus growthOver(Repeat&& repeat)
    {
        const HeapCensus first = take();
        repeat();
        const HeapCensus second = take();
        repeat();
        const HeapCensus third = take();
        auto grown = [](std::size_t before, std::size_t after) { return after > before ? after - before : 0; };
        return {std::min(grown(first.blocks, second.blocks), grown(second.blocks, third.blocks)),
            std::min(grown(first.bytes, second.bytes), grown(second.bytes, third.bytes))};
    }
};

}  // namespace testsupport
