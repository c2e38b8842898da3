#include "CrossThreadCall.h"

#include "ScriptErrors.h"
#include "TraceLog.h"

#include <utility>

namespace FB {

namespace detail {

void throwCouldNotMarshal()
{
    throw script_error("Could not marshal to main thread");
}

void throwShuttingDown()
{
    throw script_error("Shutting down");
}

}  // namespace detail

CrossThreadCall::CrossThreadCall(FunctorCallPtr functor) : functor(std::move(functor)) {}

CrossThreadCall::~CrossThreadCall() = default;

void CrossThreadCall::runWaited(void* handle)
{
    std::unique_ptr<std::weak_ptr<CrossThreadCall>> owned(static_cast<std::weak_ptr<CrossThreadCall>*>(handle));
    std::shared_ptr<CrossThreadCall> call = owned ? owned->lock() : nullptr;
    if (!call) return;  // the caller gave up waiting
    std::exception_ptr failure;
    try {
        call->functor->call();
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> guard(call->mutex);
        call->error = std::move(failure);
        call->returned = true;
    }
    call->condition.notify_one();
}

void CrossThreadCall::runQueued(void* call)
{
    std::unique_ptr<CrossThreadCall> owned(static_cast<CrossThreadCall*>(call));
    if (!owned) return;
    try {
        owned->functor->call();
    } catch (const script_error&) {
        // The page's own script error: a posted call has nobody to report it to.
    } catch (const bad_variant_cast&) {
        // A value the page could not take: as above, nobody waits for the answer.
    } catch (const std::exception& e) {
        trace("FunctorCall", std::string("Queued call failed: ") + e.what());
    } catch (...) {
        trace("FunctorCall", "Queued call failed");
    }
}

}  // namespace FB
