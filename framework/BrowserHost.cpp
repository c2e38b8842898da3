#include "BrowserHost.h"

#include "BrowserStreamManager.h"
#include "TraceLog.h"

#include <windows.h>

#include <utility>

namespace FB {

BrowserHost::BrowserHost(ProxyLookup defaultProxyLookup)
    : asyncCallManager(AsyncCallManager::create()),
      streamManager(std::make_shared<BrowserStreamManager>()),
      mainThreadId(GetCurrentThreadId()),
      defaultProxyLookup(std::move(defaultProxyLookup))
{
}

BrowserHost::~BrowserHost()
{
    // A host destroyed without a shutdown still runs what it queued, so that no
    // call object (and nothing it keeps alive) is left behind.
    asyncCallManager->cancelAll();
}

bool BrowserHost::isMainThread() const
{
    return GetCurrentThreadId() == mainThreadId;
}

ArgumentLists::Borrowed BrowserHost::borrowArgumentList()
{
    return isMainThread() ? argumentLists_.borrow() : ArgumentLists::unkept();
}

bool BrowserHost::postMainThreadCall(QueuedFunction function, void* data)
{
    if (shutDown.load()) return false;
    AsyncCallRecordPtr record = asyncCallManager->makeCall(function, data);
    if (!record) return false;
    auto* ticket = new AsyncCallTicket{record};
    bool posted = false;
    try {
        posted = postToMainThread(&runQueuedCall, ticket);
    } catch (...) {
        posted = false;
    }
    if (posted) return true;
    delete ticket;
    // The shutdown may have run the record meanwhile: then the call did happen.
    return !asyncCallManager->forget(record);
}

void BrowserHost::keepObjectAlive(const std::shared_ptr<JSAPI>& object)
{
    std::lock_guard<RecursiveMutex> guard(keptObjectsLock);
    keptObjects.push_back(object);
}

void BrowserHost::releaseKeptObject(const std::shared_ptr<JSAPI>& object)
{
    std::vector<std::shared_ptr<JSAPI>> released;
    std::lock_guard<RecursiveMutex> guard(keptObjectsLock);
    for (auto it = keptObjects.begin(); it != keptObjects.end();) {
        if (*it == object) {
            released.push_back(std::move(*it));
            it = keptObjects.erase(it);
        } else {
            ++it;
        }
    }
    released.clear();
    if (isMainThread()) releasePendingObjects();
}

void BrowserHost::releaseAllKeptObjects()
{
    std::vector<std::shared_ptr<JSAPI>> released;
    std::lock_guard<RecursiveMutex> guard(keptObjectsLock);
    released.swap(keptObjects);
    released.clear();
    releasePendingObjects();
}

void BrowserHost::shutDownHost()
{
    if (shutDownStarted.exchange(true)) return;
    releaseKeptObjectsForShutdown();
    shutDown.store(true);
    // Every call still queued runs now, on this thread; its later delivery finds
    // nothing to do.
    asyncCallManager->cancelAll();
    // The manager's destructor closes every stream still open.
    streamManager.reset();
}

void BrowserHost::setPageLogging(bool on)
{
    pageLogging.store(on);
}

void BrowserHost::openUrl(const std::string&, const std::string&) {}

}  // namespace FB
