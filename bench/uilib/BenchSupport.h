// What the UI library's benchmarks share: a stopwatch around a call and a
// pump of the queued messages the way the library's loop delivers them.
#pragma once

#include "WindowManagerUI.h"

#include <chrono>

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

}  // namespace benchui
