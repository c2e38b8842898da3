// Shared by the tests of the Internet Explorer road: COM in a single-threaded
// apartment on the test thread (the browser's main thread) for every test
// program that includes this, and a pump for the thread's messages (the host's
// message window runs queued calls from it).
#pragma once

#include "MessagePump.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

namespace activextest {

class ComApartment : public ::testing::Environment {
public:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};

inline ::testing::Environment* const comApartment = ::testing::AddGlobalTestEnvironment(new ComApartment);

// Runs the thread's messages until done answers true or the time is up.
inline bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000)
{
    return test_support::pumpMessagesUntil(done, timeoutMs);
}

// Runs what is queued now.
inline void pump()
{
    pumpUntil([] { return true; }, 0);
}

}  // namespace activextest
