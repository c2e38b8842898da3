// The test browser's audit at the end of a test: NP_Shutdown (after the live
// instances are destroyed), then nothing reported, no browser object alive and
// nothing of the browser's memory still held.
#pragma once

#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

inline void expectCleanShutdown(TestBrowser::Browser& browser)
{
    browser.shutdownPlugin();
    EXPECT_THAT(browser.problems(), ::testing::IsEmpty());
    EXPECT_EQ(browser.liveObjects(), 0u);
    EXPECT_EQ(browser.outstandingAllocations(), 0u);
}
