// FB::BrowserHost: the per-instance service object of the browser, as far as
// scriptable objects and page objects need it: which thread is the browser's
// main thread, queueing calls onto that thread, and calling a page function
// later from a page timer.
//
// Each browser binding derives its host from this class and supplies
// postToMainThread (arrange one call on the main thread) and invokeDelayed;
// so do the tests, with a queue they pump by hand.
//
// Threading: the main thread is the thread that constructed the host. Any
// thread may call isMainThread, postMainThreadCall and mainThreadPost; queued
// calls run on the main thread. A queued call never lets an exception out.
// Page objects hold their host weakly: a host that is gone refuses their
// asynchronous calls.
#pragma once

#include "variant.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace FB {

class BrowserHost;
using BrowserHostPtr = std::shared_ptr<BrowserHost>;
using BrowserHostWeakPtr = std::weak_ptr<BrowserHost>;

namespace detail {
// A call queued by BrowserHost::mainThreadPost. Not for direct use.
struct QueuedCall {
    std::function<void()> call;
    std::shared_ptr<const void> reference; // kept alive until the call has run
};
void runQueuedCall(void* queuedCall);
} // namespace detail

class BrowserHost : public std::enable_shared_from_this<BrowserHost> {
public:
    BrowserHost();
    virtual ~BrowserHost();
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    bool isMainThread() const;

    // Queues function(userData) to run once on the main thread. False when the
    // host is shut down or the browser could not queue it; then nothing runs.
    bool postMainThreadCall(void (*function)(void*), void* userData);

    // Queues `call` for the main thread, keeping `reference` alive until it has
    // run. A refused call is dropped silently; failures of the call are swallowed.
    template <class Call, class Reference>
    void mainThreadPost(Call call, std::shared_ptr<Reference> reference)
    {
        auto queued = std::make_unique<detail::QueuedCall>(
            detail::QueuedCall{std::function<void()>(std::move(call)), std::move(reference)});
        if (postMainThreadCall(&detail::runQueuedCall, queued.get()))
            queued.release(); // runQueuedCall owns it now
    }

    // Calls `function` (its member `methodName` when that is not empty) with
    // `args` from a page timer after `delayMs`; the timer's id, or -1.
    virtual int invokeDelayed(int delayMs, const JSObjectPtr& function, const VariantVector& args,
                              const std::string& methodName) = 0;

    // From now on queued calls are refused.
    virtual void shutDownHost();
    bool isShutDown() const noexcept { return shutDown_; }

protected:
    // Arranges for function(userData) to be called once on the main thread.
    virtual bool postToMainThread(void (*function)(void*), void* userData) = 0;

private:
    const std::thread::id mainThreadId_;
    std::atomic<bool> shutDown_{false};
};

} // namespace FB
