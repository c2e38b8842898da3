#include "BrowserHost.h"

namespace FB {

namespace detail {

void runQueuedCall(void* queuedCall)
{
    std::unique_ptr<QueuedCall> queued(static_cast<QueuedCall*>(queuedCall));
    try {
        queued->call();
    } catch (...) {
        // A queued call has no caller left to tell.
    }
}

} // namespace detail

BrowserHost::BrowserHost() : mainThreadId_(std::this_thread::get_id()) {}

BrowserHost::~BrowserHost() = default;

bool BrowserHost::isMainThread() const
{
    return std::this_thread::get_id() == mainThreadId_;
}

bool BrowserHost::postMainThreadCall(void (*function)(void*), void* userData)
{
    if (shutDown_)
        return false;
    return postToMainThread(function, userData);
}

void BrowserHost::shutDownHost()
{
    shutDown_ = true;
}

} // namespace FB
