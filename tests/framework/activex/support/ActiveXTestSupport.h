// Shared by the tests of the Internet Explorer road: COM in a single-threaded
// apartment on the test thread (the browser's main thread), and a pump for the
// thread's messages (the host's message window runs queued calls from it).
#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace activextest {

class ComApartment : public ::testing::Environment {
public:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};

// Runs the thread's messages until done answers true or the time is up.
inline bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(
            0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)), QS_ALLINPUT);
    }
}

// Runs what is queued now.
inline void pump()
{
    pumpUntil([] { return true; }, 0);
}

}  // namespace activextest
