#include "BrowserHost.h"
#include "ScriptErrors.h"
#include "TestBrowserHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using fbtest::TestBrowserHost;
using Delivery = TestBrowserHost::Delivery;

// Counts the live instances, to show that calls free what they hold.
struct Tracked {
    static std::atomic<int> live;
    Tracked() { ++live; }
    Tracked(const Tracked&) { ++live; }
    ~Tracked() { --live; }
};
std::atomic<int> Tracked::live{0};

class CrossThreadCallTest : public ::testing::TestWithParam<Delivery> {
protected:
    void SetUp() override { Tracked::live = 0; }
    void TearDown() override
    {
        host.reset();
        EXPECT_EQ(Tracked::live.load(), 0);
    }

    // Pumps the main thread until the worker's future is ready.
    template <class T>
    T pumpUntil(std::future<T>& result)
    {
        while (result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) host->pump();
        host->pump();
        return result.get();
    }

    // A waited call made on a worker thread: "returned", or the text of the error it met.
    std::future<std::string> waitedCallFromWorker()
    {
        return std::async(std::launch::async, [this] {
            try {
                host->mainThreadCall([] { return 1; });
                return std::string("returned");
            } catch (const FB::script_error& e) {
                return std::string(e.what());
            }
        });
    }

    // Waits (without pumping) until the worker has handed its call to the browser.
    void waitForPosts(int count)
    {
        while (host->postsSeen.load() < count) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    std::shared_ptr<TestBrowserHost> host = std::make_shared<TestBrowserHost>(GetParam());
};

TEST_P(CrossThreadCallTest, QueuedCallsRunOnTheMainThreadInOrder)
{
    std::vector<int> order;
    std::vector<DWORD> threads;
    auto target = std::make_shared<Tracked>();
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            host->mainThreadPost(
                [&, i] {
                    order.push_back(i);
                    threads.push_back(GetCurrentThreadId());
                },
                target);
    });
    worker.join();
    target.reset();
    EXPECT_TRUE(order.empty());          // nothing runs before the main thread pumps
    EXPECT_EQ(Tracked::live.load(), 1);  // the queued calls keep their target alive
    host->pump();
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(threads[i], GetCurrentThreadId());
    }
    EXPECT_EQ(Tracked::live.load(), 0);
}

TEST_P(CrossThreadCallTest, PostFromTheMainThreadNeverRunsInline)
{
    bool ran = false;
    host->mainThreadPost([&] { ran = true; }, std::make_shared<Tracked>());
    EXPECT_FALSE(ran);
    EXPECT_EQ(host->pump(), 1);
    EXPECT_TRUE(ran);
}

TEST_P(CrossThreadCallTest, WaitedCallCarriesResultAndErrorsBack)
{
    auto results = std::async(std::launch::async, [&] {
        std::vector<std::string> seen;
        seen.push_back(std::to_string(host->mainThreadCall([] { return 42; })));
        DWORD caller = GetCurrentThreadId();
        DWORD ranOn = host->mainThreadCall([] { return GetCurrentThreadId(); });
        seen.push_back(ranOn == caller ? "ran on the caller" : "ran elsewhere");
        try {
            host->mainThreadCall([]() -> int { throw FB::script_error("page said no"); });
        } catch (const FB::script_error& e) {
            seen.push_back(std::string("script_error: ") + e.what());
        }
        try {
            host->mainThreadCall([] { throw std::runtime_error("native failure"); }, std::make_shared<Tracked>());
        } catch (const std::runtime_error& e) {
            seen.push_back(std::string("runtime_error: ") + e.what());
        }
        return seen;
    });
    EXPECT_EQ(pumpUntil(results),
        (std::vector<std::string>{
            "42", "ran elsewhere", "script_error: page said no", "runtime_error: native failure"}));
}

TEST_P(CrossThreadCallTest, WaitedCallOnTheMainThreadRunsAtOnceEvenAfterShutdown)
{
    host->shutDownHost();
    EXPECT_EQ(host->mainThreadCall([] { return std::string("direct"); }), "direct");
    EXPECT_EQ(host->postsSeen.load(), 0);
}

TEST_P(CrossThreadCallTest, WaiterFailsWithShuttingDownWhenTheHostShutsDown)
{
    auto target = std::make_shared<Tracked>();
    auto outcome = std::async(std::launch::async, [&, target] {
        try {
            host->mainThreadCall([] { return 1; }, target);
            return std::string("returned");
        } catch (const FB::script_error& e) {
            return std::string(e.what());
        }
    });
    target.reset();
    waitForPosts(1);
    host->shutDownHost();  // runs the queued call, and ends the wait
    EXPECT_EQ(outcome.get(), "Shutting down");
    host->pump();  // the late delivery finds nothing to do
    EXPECT_EQ(Tracked::live.load(), 0);
}

TEST_P(CrossThreadCallTest, CallsAfterShutdownAreRefused)
{
    host->shutDownHost();
    host->shutDownHost();  // a second shutdown returns at once
    EXPECT_EQ(waitedCallFromWorker().get(), "Could not marshal to main thread");
    bool ran = false;
    host->mainThreadPost([&] { ran = true; }, std::make_shared<Tracked>());
    EXPECT_FALSE(host->postMainThreadCall([](void*) {}, nullptr));
    host->pump();
    EXPECT_FALSE(ran);
    EXPECT_EQ(host->postsSeen.load(), 0);
}

TEST_P(CrossThreadCallTest, RefusedDeliveryLeavesNothingBehind)
{
    host->refuseDelivery = true;
    bool ran = false;
    host->mainThreadPost([&] { ran = true; }, std::make_shared<Tracked>());
    EXPECT_EQ(waitedCallFromWorker().get(), "Could not marshal to main thread");
    host->shutDownHost();  // the refused calls were taken back: nothing runs
    EXPECT_FALSE(ran);
    EXPECT_EQ(Tracked::live.load(), 0);
}

TEST_P(CrossThreadCallTest, QueuedCallThatThrowsIsDroppedAndTheNextOneRuns)
{
    std::vector<std::string> ran;
    host->mainThreadPost([] { throw std::runtime_error("bad"); }, std::make_shared<Tracked>());
    host->mainThreadPost([] { throw FB::script_error("bad"); }, std::make_shared<Tracked>());
    host->mainThreadPost([] { throw 5; }, std::make_shared<Tracked>());
    host->mainThreadPost([&] { ran.push_back("after"); }, std::make_shared<Tracked>());
    EXPECT_EQ(host->pump(), 4);
    EXPECT_EQ(ran, (std::vector<std::string>{"after"}));
}

TEST_P(CrossThreadCallTest, QueuedCallBeforeShutdownRunsDuringItOnce)
{
    int runs = 0;
    host->mainThreadPost([&] { ++runs; }, std::make_shared<Tracked>());
    host->shutDownHost();
    EXPECT_EQ(runs, 1);
    host->pump();
    EXPECT_EQ(runs, 1);
}

// A worker hammers posts while the main thread delivers and then shuts the host
// down: every call runs exactly once or is refused, and nothing is left alive.
TEST_P(CrossThreadCallTest, HammeringPostsAcrossShutdownRunsEachOnceOrRefuses)
{
    constexpr int calls = 4000;
    struct Payload : Tracked {
        int id;
        std::vector<std::atomic<int>>* runs;
    };
    std::vector<std::atomic<int>> runs(calls);
    std::vector<char> accepted(calls, 0);
    std::atomic<int> posted{0};
    std::thread worker([&] {
        for (int i = 0; i < calls; ++i) {
            auto* payload = new Payload{};
            payload->id = i;
            payload->runs = &runs;
            auto deliver = [](void* data) {
                std::unique_ptr<Payload> owned(static_cast<Payload*>(data));
                ++(*owned->runs)[owned->id];
            };
            accepted[i] = host->postMainThreadCall(deliver, payload);
            if (!accepted[i]) delete payload;
            if (i % 2 == 0) host->mainThreadPost([] {}, std::make_shared<Tracked>());
            ++posted;
        }
    });
    while (posted.load() < calls / 3) host->pump();
    host->shutDownHost();
    worker.join();
    host->pump();

    int refused = 0;
    for (int i = 0; i < calls; ++i) {
        EXPECT_EQ(runs[i].load(), accepted[i] ? 1 : 0) << "call " << i;
        refused += accepted[i] ? 0 : 1;
    }
    EXPECT_EQ(Tracked::live.load(), 0);
    EXPECT_LT(refused, calls);  // some calls got through before the shutdown
}

INSTANTIATE_TEST_SUITE_P(Delivery, CrossThreadCallTest, ::testing::Values(Delivery::Pumped, Delivery::Window),
    [](const auto& info) { return info.param == Delivery::Pumped ? std::string("Pumped") : std::string("Window"); });

}  // namespace
