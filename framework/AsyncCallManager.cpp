#include "AsyncCallManager.h"

#include <utility>
#include <vector>

namespace FB {

AsyncCallRecord::AsyncCallRecord(
    QueuedFunction function, void* userData, int callNumber, std::weak_ptr<AsyncCallManager> manager)
    : function(function), userData(userData), callNumber(callNumber), manager(std::move(manager))
{
}

void AsyncCallRecord::callOnce()
{
    QueuedFunction toRun = std::exchange(function, nullptr);
    if (!toRun) return;
    called = true;
    toRun(userData);
}

std::shared_ptr<AsyncCallManager> AsyncCallManager::create()
{
    return std::shared_ptr<AsyncCallManager>(new AsyncCallManager());
}

AsyncCallManager::~AsyncCallManager() = default;

AsyncCallRecordPtr AsyncCallManager::makeCall(QueuedFunction function, void* userData)
{
    std::lock_guard<RecursiveMutex> guard(lock);
    if (shutDown) return nullptr;
    ++nextCallNumber;
    auto record = std::make_shared<AsyncCallRecord>(function, userData, nextCallNumber, weak_from_this());
    pending.emplace(record->callNumber, record);
    return record;
}

bool AsyncCallManager::forget(const AsyncCallRecordPtr& record)
{
    if (!record) return false;
    std::lock_guard<RecursiveMutex> guard(lock);
    return pending.erase(record->callNumber) == 1;
}

void AsyncCallManager::runCall(const AsyncCallRecordPtr& record)
{
    if (!record) return;
    {
        std::lock_guard<RecursiveMutex> guard(lock);
        if (pending.erase(record->callNumber) == 0) return;
    }
    record->callOnce();
}

void AsyncCallManager::cancelAll()
{
    std::map<int, AsyncCallRecordPtr> toRun;
    {
        std::lock_guard<RecursiveMutex> guard(lock);
        shutDown = true;
        toRun.swap(pending);
    }
    // Runs from a set of its own: a function that queues or forgets calls meanwhile
    // touches only the (now refusing) pending set.
    for (auto& [number, record] : toRun) {
        try {
            record->callOnce();
        } catch (...) {
            // Queued functions catch their own failures; one that does not must
            // still not keep the others from running.
        }
    }
}

bool AsyncCallManager::isShutDown() const
{
    std::lock_guard<RecursiveMutex> guard(lock);
    return shutDown;
}

size_t AsyncCallManager::pendingCount() const
{
    std::lock_guard<RecursiveMutex> guard(lock);
    return pending.size();
}

void runQueuedCall(void* ticket)
{
    // Called by the browser (or a window procedure): nothing may escape.
    try {
        std::unique_ptr<AsyncCallTicket> owned(static_cast<AsyncCallTicket*>(ticket));
        if (!owned) return;
        AsyncCallRecordPtr record = owned->record.lock();
        if (!record) return;
        if (AsyncCallManagerPtr manager = record->manager.lock()) manager->runCall(record);
    } catch (...) {
        // The browser's thread must not see it; the failed call is simply dropped.
    }
}

}  // namespace FB
