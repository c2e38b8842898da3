// The test thread's message loop in pieces: the messages waiting now, handed to
// their windows as a program's loop does (translated, then dispatched), and a
// wait that lets them through until a condition comes true.
//
//     ASSERT_TRUE(test_support::pumpMessagesUntil([&] { return outcome->done; }, 5000));
//
// Threading: the thread whose messages are pumped.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>

namespace test_support {

// Dispatches every message waiting for this thread; answers whether there was one.
inline bool dispatchWaitingMessages()
{
    bool any = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        any = true;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return any;
}

// Runs the thread's messages until done answers true or the time is up; answers done.
inline bool pumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        dispatchWaitingMessages();
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(
            0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)), QS_ALLINPUT);
    }
}

}  // namespace test_support
