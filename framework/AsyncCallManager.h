// The browser host's registry of calls queued for the browser's main thread.
//
// Each queued call gets a record (function, user data, number). The browser is
// never handed the record itself, only a ticket: a small heap cell with a weak
// pointer to the record. The browser-specific delivery calls runQueuedCall with
// the ticket on the main thread; a ticket whose record is gone (run already, or
// its manager destroyed) does nothing and is freed. So a delivery that comes
// after the host and its manager are gone is harmless.
//
// A record's function runs at most once, by whoever takes the record out of the
// pending set first: the delivery (runCall) or the shutdown (cancelAll). After
// cancelAll the manager refuses new calls.
//
// Threading: makeCall and forget may be called on any thread; runCall and
// cancelAll run on the main thread. The lock is never held while a queued
// function runs, so a function may queue further calls.
#pragma once

#include "RecursiveMutex.h"
#include <map>
#include <memory>
#include <mutex>

namespace FB {

class AsyncCallManager;

using QueuedFunction = void (*)(void* userData);

class AsyncCallRecord {
public:
    AsyncCallRecord(QueuedFunction function, void* userData, int callNumber, std::weak_ptr<AsyncCallManager> manager);

    // Runs the function with the user data unless it ran already.
    void callOnce();

    QueuedFunction function;
    void* userData;
    const int callNumber;
    bool called = false;
    const std::weak_ptr<AsyncCallManager> manager;
};

using AsyncCallRecordPtr = std::shared_ptr<AsyncCallRecord>;

// What the browser carries to the main thread: owned by whoever holds it, freed
// by runQueuedCall.
struct AsyncCallTicket {
    std::weak_ptr<AsyncCallRecord> record;
};

class AsyncCallManager : public std::enable_shared_from_this<AsyncCallManager> {
public:
    static std::shared_ptr<AsyncCallManager> create();
    ~AsyncCallManager();
    AsyncCallManager(const AsyncCallManager&) = delete;
    AsyncCallManager& operator=(const AsyncCallManager&) = delete;

    // A new pending record, or an empty pointer once the manager has shut down.
    AsyncCallRecordPtr makeCall(QueuedFunction function, void* userData);
    // Takes a record back that could not be handed to the browser. True when it
    // was still pending: its function will never run. False when it has run
    // (or is running) already.
    bool forget(const AsyncCallRecordPtr& record);
    // The delivery of one record: runs it once if it is still pending.
    void runCall(const AsyncCallRecordPtr& record);
    // Shuts the manager down: refuses new calls, then runs every pending call,
    // in the order queued, on the calling thread.
    void cancelAll();

    bool isShutDown() const;
    size_t pendingCount() const;

private:
    AsyncCallManager() = default;

    int nextCallNumber = 1;
    bool shutDown = false;
    mutable RecursiveMutex lock;
    std::map<int, AsyncCallRecordPtr> pending;  // by call number: the order queued
};

using AsyncCallManagerPtr = std::shared_ptr<AsyncCallManager>;

// The function that the browser-specific delivery calls with a ticket
// (an AsyncCallTicket*, handed over as untyped data). Frees the ticket.
void runQueuedCall(void* ticket);

}  // namespace FB
