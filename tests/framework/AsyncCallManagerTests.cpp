#include "AsyncCallManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using FB::AsyncCallManager;
using FB::AsyncCallTicket;

struct Journal {
    std::vector<int> ran;
};

struct Entry {
    Journal* journal;
    int id;
    std::function<void()> during;
};

void recordEntry(void* data)
{
    auto* entry = static_cast<Entry*>(data);
    entry->journal->ran.push_back(entry->id);
    if (entry->during) entry->during();
}

TEST(AsyncCallManager, NumbersCallsFromTwoAndRunsEachOnce)
{
    auto manager = AsyncCallManager::create();
    Journal journal;
    Entry one{&journal, 1, {}}, two{&journal, 2, {}};
    auto first = manager->makeCall(&recordEntry, &one);
    auto second = manager->makeCall(&recordEntry, &two);
    EXPECT_EQ(first->callNumber, 2);
    EXPECT_EQ(second->callNumber, 3);

    manager->runCall(second);
    manager->runCall(second);
    EXPECT_EQ(journal.ran, (std::vector<int>{2}));
    EXPECT_TRUE(second->called);
    EXPECT_FALSE(manager->forget(second));  // it ran already
    EXPECT_TRUE(manager->forget(first));    // still pending: it never runs now
    manager->cancelAll();
    EXPECT_EQ(journal.ran, (std::vector<int>{2}));
}

TEST(AsyncCallManager, CancelAllRunsPendingInQueueOrderThenRefuses)
{
    auto manager = AsyncCallManager::create();
    Journal journal;
    std::vector<std::unique_ptr<Entry>> entries;
    std::vector<FB::AsyncCallRecordPtr> records;
    for (int id = 0; id < 12; ++id) {
        entries.push_back(std::make_unique<Entry>(Entry{&journal, id, {}}));
        records.push_back(manager->makeCall(&recordEntry, entries.back().get()));
    }
    // A call run by the shutdown queues another call and forgets a third: neither
    // may disturb the walk.
    entries[3]->during = [&] {
        EXPECT_EQ(manager->makeCall(&recordEntry, entries[0].get()), nullptr);
        EXPECT_FALSE(manager->forget(records[7]));
    };
    manager->runCall(records[5]);
    manager->cancelAll();

    EXPECT_EQ(journal.ran, (std::vector<int>{5, 0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11}));
    EXPECT_TRUE(manager->isShutDown());
    EXPECT_EQ(manager->pendingCount(), 0u);
    EXPECT_EQ(manager->makeCall(&recordEntry, entries[0].get()), nullptr);
    manager->runCall(records[1]);  // a late delivery does nothing
    EXPECT_EQ(journal.ran.size(), 12u);
}

TEST(AsyncCallManager, TicketRunsItsRecordOnceAndIsHarmlessLate)
{
    Journal journal;
    Entry entry{&journal, 7, {}};
    auto manager = AsyncCallManager::create();
    auto record = manager->makeCall(&recordEntry, &entry);
    FB::runQueuedCall(new AsyncCallTicket{record});
    FB::runQueuedCall(new AsyncCallTicket{record});
    EXPECT_EQ(journal.ran, (std::vector<int>{7}));

    // A ticket delivered after its manager is gone frees only itself.
    auto orphan = manager->makeCall(&recordEntry, &entry);
    auto* ticket = new AsyncCallTicket{orphan};
    orphan.reset();
    record.reset();
    manager.reset();
    FB::runQueuedCall(ticket);
    FB::runQueuedCall(nullptr);
    EXPECT_EQ(journal.ran, (std::vector<int>{7}));
}

}  // namespace
