// The framework's recursive lock: re-entrant for its holder, exclusive against
// other threads, and nothing left on the heap by the objects that use it.
#include "HeapCensus.h"
#include "JSAPIAuto.h"
#include "RecursiveMutex.h"
#include "TestBrowserHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(RecursiveMutex, TheHolderLocksAgainAndOtherThreadsWaitForTheLastUnlock)
{
    FB::RecursiveMutex lock;
    lock.lock();
    lock.lock();
    EXPECT_TRUE(lock.try_lock());
    EXPECT_TRUE(lock.heldByThisThread());

    std::atomic<bool> entered{false};
    std::thread other([&] {
        EXPECT_FALSE(lock.heldByThisThread());
        EXPECT_FALSE(lock.try_lock());
        EXPECT_FALSE(lock.unlock());  // not the holder: nothing changes
        lock.lock();
        entered = true;
        lock.unlock();
    });
    EXPECT_TRUE(lock.unlock());
    EXPECT_TRUE(lock.unlock());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered);  // one lock() still held
    EXPECT_TRUE(lock.unlock());
    other.join();
    EXPECT_TRUE(entered);
    EXPECT_FALSE(lock.heldByThisThread());
    EXPECT_FALSE(lock.unlock());
}

// Every scriptable object and every host locks its recursive locks; making and
// dropping thousands of them gives every byte back.
TEST(RecursiveMutex, ObjectsAndHostsThatLockedThemLeaveNoHeapBlocksBehind)
{
    auto cycle = [] {
        auto host = std::make_shared<fbtest::TestBrowserHost>();
        auto api = std::make_shared<FB::JSAPIAuto>();
        api->hasMethod("toString");
        api->enterZone(1);
        api->leaveZone();
        host->keepObjectAlive(api);
        host->postMainThreadCall([](void*) {}, nullptr);
        host->shutDownHost();
    };
    for (int i = 0; i < 100; ++i) cycle();  // the caches of the first rounds
    const testsupport::HeapCensus grown = testsupport::HeapCensus::growthOver([&] {
        for (int i = 0; i < 10000; ++i) cycle();
    });
    EXPECT_LE(grown.blocks, 10u);
    EXPECT_LE(grown.bytes, 1024u);
}

}  // namespace
