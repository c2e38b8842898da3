// Runs a bound call on the browser's main thread, from any thread.
//
// Two shapes:
//   callAndWait(host, functor [, reference])  runs the call on the main thread
//       and returns its result. On the main thread itself it runs at once.
//       From another thread it queues the call and waits in 10 ms steps until it
//       has run or the host shuts down. A failure on the main thread is carried
//       back and rethrown on the waiting thread.
//   post(host, functor, reference)            queues the call and returns at
//       once, also on the main thread (a queued call never runs inline).
//       Failures of the call are logged and dropped.
//
// The reference (a shared pointer to the call's target) keeps the target alive
// until the main thread has finished with the call.
//
// Host is any type with isMainThread(), isShutDown() and
// postMainThreadCall(function, data) -> bool (the browser host).
//
// Errors, as FB::script_error: "Could not marshal to main thread" when the host
// refuses the call, "Shutting down" when it shuts down while a caller waits.
//
// Threading: a waited call is owned by its caller; the queue holds only a weak
// handle to it, so a call whose caller gave up is skipped when delivered. A
// queued call is owned by its queue entry and freed by its main-thread side.
#pragma once

#include "FunctorCall.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

namespace FB {

namespace detail {
[[noreturn]] void throwCouldNotMarshal();
[[noreturn]] void throwShuttingDown();
}  // namespace detail

class CrossThreadCall {
public:
    virtual ~CrossThreadCall();
    CrossThreadCall(const CrossThreadCall&) = delete;
    CrossThreadCall& operator=(const CrossThreadCall&) = delete;

    template <class Host, class Functor>
    static FunctorResult<Functor> callAndWait(const std::shared_ptr<Host>& host, Functor functor)
    {
        return waitFor(host, makeFunctorCall(std::move(functor)));
    }

    template <class Host, class Functor, class Reference>
    static FunctorResult<Functor> callAndWait(
        const std::shared_ptr<Host>& host, Functor functor, std::shared_ptr<Reference> reference)
    {
        return waitFor(host, makeFunctorCall(std::move(functor), std::move(reference)));
    }

    template <class Host, class Functor, class Reference>
    static void post(const std::shared_ptr<Host>& host, Functor functor, std::shared_ptr<Reference> reference)
    {
        auto* call = new CrossThreadCall(makeFunctorCall(std::move(functor), std::move(reference)));
        if (!host->postMainThreadCall(&CrossThreadCall::runQueued, call)) delete call;
    }

private:
    explicit CrossThreadCall(FunctorCallPtr functor);

    template <class Host, class Impl>
    static auto waitFor(const std::shared_ptr<Host>& host, std::shared_ptr<Impl> functor)
        -> decltype(functor->getResult())
    {
        if (host->isMainThread()) {
            functor->call();
            return functor->getResult();
        }
        std::shared_ptr<CrossThreadCall> call(new CrossThreadCall(functor));
        auto* handle = new std::weak_ptr<CrossThreadCall>(call);
        std::unique_lock<std::mutex> guard(call->mutex);  // before queueing: no signal is missed
        if (!host->postMainThreadCall(&CrossThreadCall::runWaited, handle)) {
            delete handle;
            detail::throwCouldNotMarshal();
        }
        while (!call->returned && !host->isShutDown()) call->condition.wait_for(guard, std::chrono::milliseconds(10));
        if (host->isShutDown()) detail::throwShuttingDown();
        if (call->error) std::rethrow_exception(call->error);
        return functor->getResult();
    }

    // Main-thread sides. runWaited takes a heap weak handle to the call and frees
    // it; runQueued takes the call itself and frees it.
    static void runWaited(void* handle);
    static void runQueued(void* call);

    FunctorCallPtr functor;
    std::exception_ptr error;
    bool returned = false;
    std::condition_variable condition;
    std::mutex mutex;
};

}  // namespace FB
