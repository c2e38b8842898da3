// What the UI library's benchmarks share: a stopwatch around a call, a pump
// of the queued messages the way the library's loop delivers them, the
// median of one step over the rounds of a run, and the table of steps each
// benchmark ends with (times, ratios, then one ratio line per step).
#pragma once

#include "WindowManagerUI.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
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

// One step of a benchmark: its times in seconds beside the anchor's.
struct StepFigures {
    const wchar_t* what;
    double control, platform;
    const wchar_t* ratioName;  // NAME of its "ratio NAME: VALUE (WHAT / ANCHOR)" line
    const wchar_t* ratioWhat;
    const wchar_t* anchor;
};

// The times in milliseconds with their ratios, then the ratio lines.
template <size_t Count>
void printSteps(const StepFigures (&steps)[Count])
{
    wprintf(L"%-42ls %12ls %12ls %8ls\n", L"", L"control", L"platform", L"ratio");
    for (const StepFigures& step : steps)
        wprintf(L"%-42ls %9.3f ms %9.3f ms %8.2f\n", step.what, step.control * 1000, step.platform * 1000,
            step.control / step.platform);
    for (const StepFigures& step : steps)
        wprintf(L"ratio %ls: %.2f (%ls / %ls)\n", step.ratioName, step.control / step.platform, step.ratioWhat,
            step.anchor);
    fflush(stdout);
}

// A benchmark's entry: nothing escapes it (an exception ends it with 1).
template <class Run>
int guardedMain(Run run, int argc, wchar_t** argv)
{
    try {
        return run(argc, argv);
    } catch (...) {
        return 1;
    }
}

}  // namespace benchui
