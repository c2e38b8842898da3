// Counts the busy blocks (and their bytes) of every heap of the process, for
// tests and benchmarks that check that a repeated operation leaves nothing
// behind. Take a census before and after a few thousand repetitions.
#pragma once

#include <windows.h>

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
};

}  // namespace testsupport
