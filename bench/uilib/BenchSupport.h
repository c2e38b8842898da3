// What the UI library's benchmarks share: a stopwatch around a call, a pump
// of the queued messages the way the library's loop delivers them, and the
// median of one step over the rounds of a run.
#pragma once

#include "WindowManagerUI.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace benchui {

template <class Fn>
double secondsOf(Fn fn)
{
    auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline void pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (SkinUI::CWindowManagerUI::TranslateLoopMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The median of one step (a field of the round's record) over the rounds.
template <class Round>
double medianOf(const std::vector<Round>& rounds, double Round::*step)
{
    std::vector<double> values;
    for (const Round& round : rounds) values.push_back(round.*step);
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace benchui
