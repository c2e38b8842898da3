// The unpack's writer: jobs in the order given, on a thread of its own, and
// the first failure ends the run.
#include "OrderedWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(OrderedWorker, RunsTheJobsInOrderOnAThreadOfItsOwn)
{
    std::vector<int> done;
    std::atomic<bool> elsewhere{true};
    const std::thread::id caller = std::this_thread::get_id();
    COrderedWorker worker;
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(worker.Add([&, i] {
            if (std::this_thread::get_id() == caller) elsewhere = false;
            done.push_back(i);
            return true;
        }));
    worker.WaitIdle();
    ASSERT_EQ(done.size(), 200u);  // read only once the worker is idle
    for (int i = 0; i < 200; ++i) EXPECT_EQ(done[i], i);
    EXPECT_TRUE(elsewhere);
    EXPECT_TRUE(worker.Add([&] {
        done.push_back(200);
        return true;
    }));
    EXPECT_TRUE(worker.Finish());
    EXPECT_EQ(done.size(), 201u);
    EXPECT_FALSE(worker.Failed());
}

TEST(OrderedWorker, AFailingOrThrowingJobDropsTheJobsAfterIt)
{
    for (bool throws : {false, true}) {
        SCOPED_TRACE(throws ? "throws" : "answers false");
        std::vector<int> done;
        COrderedWorker worker;
        worker.Add([&] {
            done.push_back(0);
            return true;
        });
        worker.Add([&]() -> bool {
            if (throws) throw std::runtime_error("job");
            return false;
        });
        for (int i = 2; i < 50; ++i)
            worker.Add([&, i] {
                done.push_back(i);
                return true;
            });
        worker.WaitIdle();
        EXPECT_TRUE(worker.Failed());
        EXPECT_FALSE(worker.Add([&] {
            done.push_back(99);
            return true;
        }));
        EXPECT_FALSE(worker.Finish());
        EXPECT_EQ(done, std::vector<int>{0});
    }
}
