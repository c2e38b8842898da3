// Main-thread calls in batches: the batch itself with a road of the test's own
// (one road request per batch, the order of the calls, also across batches, a
// call queued while a batch runs, a batch that runs nested, a refused road, a
// batch that outlives its owner), then both delivery roads of the NPAPI host in the test browser:
// a stream of reports from another thread leaves in one browser post and
// arrives whole and in order, each report still from a page timer.
#include "BridgeTestFixture.h"
#include "BridgeTestPlugin.h"
#include "MainThreadBatch.h"
#include "ScriptPage.h"
#include "TestBrowser.h"
#include "TraceLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using FB::Npapi::MainThreadBatch;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A road of the test's own: it keeps the batches it is asked to run, or refuses them.
struct Road {
    std::vector<std::pair<FB::QueuedFunction, void*>> asked;
    bool refuses = false;

    auto ask()
    {
        return [this](FB::QueuedFunction run, void* batch) {
            if (refuses) return false;
            asked.emplace_back(run, batch);
            return true;
        };
    }
    // Runs the batches asked for so far, in order.
    void deliver()
    {
        auto due = std::move(asked);
        asked.clear();
        for (auto [run, batch] : due) run(batch);
    }
};

// A call that records its number when it runs, and may do more.
struct Step {
    std::vector<int>* log;
    int number;
    std::function<void()> then;
};

void runStep(void* data)
{
    std::unique_ptr<Step> step(static_cast<Step*>(data));
    step->log->push_back(step->number);
    if (step->then) step->then();
}

class Batch : public ::testing::Test {
protected:
    bool post(int number, std::function<void()> then = {})
    {
        auto* step = new Step{&log, number, std::move(then)};
        const bool posted = batch->post(&runStep, step, road.ask());
        if (!posted) delete step;
        return posted;
    }

    std::shared_ptr<MainThreadBatch> batch = MainThreadBatch::create();
    Road road;
    std::vector<int> log;
};

TEST_F(Batch, CallsQueuedBeforeTheBatchRunsLeaveWithOneRoadRequestInOrder)
{
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(post(i));
    EXPECT_THAT(log, IsEmpty()) << "a call never runs inside post";
    EXPECT_EQ(road.asked.size(), 1u);
    road.deliver();
    EXPECT_THAT(log, ElementsAre(0, 1, 2, 3, 4));
    // The next call asks for a batch of its own.
    ASSERT_TRUE(post(5));
    EXPECT_EQ(road.asked.size(), 1u);
    road.deliver();
    EXPECT_THAT(log, ElementsAre(0, 1, 2, 3, 4, 5));
}

TEST_F(Batch, ACallQueuedWhileABatchRunsGoesWithTheNextBatch)
{
    ASSERT_TRUE(post(0, [&] { post(2); }));
    ASSERT_TRUE(post(1));
    road.deliver();
    EXPECT_THAT(log, ElementsAre(0, 1));
    ASSERT_EQ(road.asked.size(), 1u);
    road.deliver();
    EXPECT_THAT(log, ElementsAre(0, 1, 2));
}

TEST_F(Batch, ANestedBatchGoesOnInTheOrderQueued)
{
    // The first call queues another and then pumps: the next batch runs inside it.
    ASSERT_TRUE(post(0, [&] {
        post(3);
        road.deliver();
    }));
    ASSERT_TRUE(post(1));
    ASSERT_TRUE(post(2));
    road.deliver();
    EXPECT_THAT(log, ElementsAre(0, 1, 2, 3));
    EXPECT_THAT(road.asked, IsEmpty());
}

TEST_F(Batch, CallsOfTwoBatchesKeepTheOrderInWhichTheyWereQueued)
{
    std::shared_ptr<MainThreadBatch> other = MainThreadBatch::create();
    auto postOther = [&](int number) { ASSERT_TRUE(other->post(&runStep, new Step{&log, number, {}}, road.ask())); };
    ASSERT_TRUE(post(0));
    postOther(1);
    ASSERT_TRUE(post(2));  // another batch was handed a call meanwhile: a post of its own
    ASSERT_TRUE(post(3));  // rides along with 2
    postOther(4);
    EXPECT_EQ(road.asked.size(), 4u);
    road.deliver();
    EXPECT_THAT(log, ElementsAre(0, 1, 2, 3, 4));
}

TEST_F(Batch, ARefusedRoadTakesTheCallBackAndTheNextPostAsksAgain)
{
    road.refuses = true;
    EXPECT_FALSE(post(0));
    road.refuses = false;
    ASSERT_TRUE(post(1));
    ASSERT_EQ(road.asked.size(), 1u);
    road.deliver();
    EXPECT_THAT(log, ElementsAre(1));
}

TEST_F(Batch, ABatchOnItsWayOutlivesItsOwner)
{
    ASSERT_TRUE(post(0));
    std::weak_ptr<MainThreadBatch> alive = batch;
    batch.reset();
    EXPECT_FALSE(alive.expired());
    road.deliver();
    EXPECT_THAT(log, ElementsAre(0));
    EXPECT_TRUE(alive.expired());
}

TEST_F(Batch, CallsFromManyThreadsRunOnceEachInTheOrderOfEachThread)
{
    constexpr int kThreads = 4;
    constexpr int kCalls = 500;
    std::mutex roadLock;
    auto lockedRoad = [&](FB::QueuedFunction run, void* data) {
        std::lock_guard<std::mutex> guard(roadLock);
        road.asked.emplace_back(run, data);
        return true;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i)
                ASSERT_TRUE(batch->post(&runStep, new Step{&log, t * kCalls + i, {}}, lockedRoad));
        });
    // The main thread delivers while the threads post.
    auto deliverLocked = [&] {
        std::vector<std::pair<FB::QueuedFunction, void*>> due;
        {
            std::lock_guard<std::mutex> guard(roadLock);
            due.swap(road.asked);
        }
        for (auto [run, data] : due) run(data);
    };
    for (int round = 0; round < 50; ++round) deliverLocked();
    for (auto& thread : threads) thread.join();
    deliverLocked();
    ASSERT_EQ(log.size(), size_t{kThreads * kCalls});
    std::vector<int> next(kThreads, 0);
    for (int number : log) {
        const int t = number / kCalls;
        EXPECT_EQ(number % kCalls, next[t]) << "thread " << t;
        next[t] = number % kCalls + 1;
    }
}

// ---- the host's roads in the test browser ---------------------------------------------------

class BatchedDelivery : public BridgeOnRoad {};

TEST_P(BatchedDelivery, ReportsQueuedMeanwhileLeaveInOneBrowserPostAndArriveInOrderFromPageTimers)
{
    std::vector<std::string> windowRuns;
    {
        // The sink refers to this test's locals: the previous one is back on every way out of the block.
        struct SinkRestore {
            FB::TraceSink previous;
            ~SinkRestore() { FB::setTraceSink(std::move(previous)); }
        } restore{FB::setTraceSink([&](const std::string& channel, const std::string& message) {
            if (channel == "PluginWindow" && message == "Running async function call") windowRuns.push_back(message);
        })};
        ASSERT_TRUE(browser.page().run(L"window.seen = []; api.fromThread(function (v) { seen.push(v); }, 300);"));
        BridgeTestPlugin::dataOf(&embed->npp)->api->join();  // every report queued before the main thread runs
        // One browser post carries them all: the asynchronous-call entry once, or one message to the window.
        EXPECT_EQ(browser.callCount("pluginthreadasynccall"), GetParam() ? 0u : 1u);
        browser.pump();
    }
    EXPECT_EQ(windowRuns.size(), GetParam() ? 1u : 0u);
    EXPECT_EQ(text(L"seen.length"), L"300");
    std::wstring expected;
    for (int i = 0; i < 300; ++i) expected += (i ? L"," : L"") + std::to_wstring(i);
    EXPECT_EQ(text(L"seen.join()"), expected);
}

TEST_P(BatchedDelivery, ReportsStillQueuedAtTheEndOfTheInstanceAreNotDeliveredAfterIt)
{
    ASSERT_TRUE(browser.page().run(L"window.seen = []; api.fromThread(function (v) { seen.push(v); }, 50);"));
    BridgeTestPlugin::dataOf(&embed->npp)->api->join();
    ASSERT_EQ(browser.destroyInstance(embed), NPERR_NO_ERROR);
    browser.pump();  // the browser still delivers the batch: it finds its calls gone
    EXPECT_EQ(text(L"seen.length"), L"0");
}

INSTANTIATE_TEST_SUITE_P(Roads, BatchedDelivery, ::testing::Bool(),
    [](const auto& info) { return info.param ? std::string("message_window") : std::string("async_call_entry"); });

}  // namespace
