// The per-instance service object through which the plug-in reaches the browser.
//
// It knows the browser's main thread (the thread that constructed it), queues
// calls onto that thread, runs page script, calls page functions after a delay,
// logs to the page's console and keeps scriptable objects alive while the
// browser holds wrappers of them. The per-browser operations are abstract; the
// NPAPI and ActiveX hosts supply them.
//
// Example, from any thread:
//   host->mainThreadPost([callback, args] { callback->invokeSelfAsync(args, ""); }, callback);
//   size_t members = host->mainThreadCall([object] { return object->countMembers(); }, object);
//
// Threading: postMainThreadCall, mainThreadCall, mainThreadPost,
// keepObjectAlive, releaseKeptObject and logToPage may be called on any thread.
// shutDownHost, the script operations and the queued functions run on the main
// thread. shutDownHost runs once; after it the host refuses queued calls, and a
// caller waiting in mainThreadCall fails with "Shutting down".
#pragma once

#include "RecursiveMutex.h"
#include "ArgumentLists.h"
#include "AsyncCallManager.h"
#include "CrossThreadCall.h"
#include "variant.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace FB {

class PluginEventSink;
class BrowserStream;
class BrowserStreamRequest;
class BrowserStreamManager;

namespace DOM {
class Node;
class Element;
class Document;
class Window;
}  // namespace DOM

// Which proxy to use for a URL: true with "type", "hostname" and "port" in settings.
using ProxyLookup = std::function<bool(const std::string& url, std::map<std::string, std::string>& settings)>;

class BrowserHost : public std::enable_shared_from_this<BrowserHost> {
public:
    // defaultProxyLookup answers proxySettingsFor unless a browser host replaces
    // it; the browser roads hand in the system's setting. Without one: no proxy.
    explicit BrowserHost(ProxyLookup defaultProxyLookup = {});
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;
    virtual ~BrowserHost();

    // The per-browser operations below have neutral defaults (no instance, no
    // page, no streams) so that a host without a page still works; the browser
    // hosts replace them.

    // An opaque handle of the browser instance.
    virtual void* getInstanceHandle();

    // Browser streams (see BrowserStreamRequest and SimpleStreamHelper). Any
    // thread may ask; the browser is asked on the main thread. Empty when the
    // browser gives no stream or the host has shut down. A request with a
    // completion callback and no event handler is a whole download through
    // SimpleStreamHelper when the helper is allowed. Every stream is kept by the
    // host until it completes; shutDownHost closes those still open.
    virtual std::shared_ptr<BrowserStream> requestStream(const std::string& url,
        const std::shared_ptr<PluginEventSink>& handler, bool cache, bool seekable, uint32_t bufferSize);
    virtual std::shared_ptr<BrowserStream> openStreamForRequest(
        const BrowserStreamRequest& request, bool helperAllowed);
    virtual std::shared_ptr<BrowserStream> requestPostStream(const std::string& url,
        const std::shared_ptr<PluginEventSink>& handler, const std::string& postData, bool cache, bool seekable,
        uint32_t bufferSize);
    virtual std::shared_ptr<BrowserStream> acceptUnsolicitedStream(const BrowserStreamRequest& request);

    virtual std::shared_ptr<DOM::Document> documentObject();
    virtual std::shared_ptr<DOM::Window> windowObject();
    virtual std::shared_ptr<DOM::Element> pluginElementObject();

    virtual void openUrl(const std::string& url, const std::string& target);
    virtual void runScript(const std::wstring& script);
    // Runs page script; without a page: std::runtime_error "Cannot find HTML window".
    virtual void runScript(const std::string& script);
    virtual void installDelayedCallHelper(uint32_t seed);
    // Never throws.
    virtual void logToPage(const std::string& message);
    virtual void setPageLogging(bool on);
    virtual void shutDownHost();
    // Releases browser objects whose release was deferred to the main thread.
    virtual void releasePendingObjects();
    virtual bool proxySettingsFor(const std::string& url, std::map<std::string, std::string>& settings);

    virtual std::shared_ptr<DOM::Window> wrapWindow(const JSObjectPtr& object);
    virtual std::shared_ptr<DOM::Document> wrapDocument(const JSObjectPtr& object);
    virtual std::shared_ptr<DOM::Element> wrapElement(const JSObjectPtr& object);
    virtual std::shared_ptr<DOM::Node> wrapNode(const JSObjectPtr& object);

    // Per browser: a new stream for a request (its event handler attached before
    // the browser is asked to start it), or for a stream the browser started by
    // itself. The base gives none.
    virtual std::shared_ptr<BrowserStream> openBrowserStream(const BrowserStreamRequest& request);
    virtual std::shared_ptr<BrowserStream> adoptBrowserStream(const BrowserStreamRequest& request);

    // Streams kept until they complete (0 after shutdown).
    size_t retainedStreamCount() const;

    bool isMainThread() const;
    bool isShutDown() const noexcept { return shutDown.load(); }

    // An empty list for the arguments of one script call into a scriptable
    // object; on the main thread one of the lists earlier calls gave back.
    ArgumentLists::Borrowed borrowArgumentList();

    // Queues function(data) for the main thread. True when the function will run
    // (or has run) exactly once; false when it never will (the host has shut
    // down, or the browser refused the delivery); the caller then still owns data.
    bool postMainThreadCall(QueuedFunction function, void* data);

    void keepObjectAlive(const JSAPIPtr& object);
    void releaseKeptObject(const JSAPIPtr& object);
    void releaseAllKeptObjects();

    // The page function that runs delayed calls; empty when the page has no window.
    JSObjectPtr delayedCallHelper();
    // Calls function (or its member methodName) with arguments after delayMs
    // through a page timer. The timer id, or -1 when the page has no window.
    virtual int invokeDelayed(
        int delayMs, const JSObjectPtr& function, const VariantVector& arguments, const std::string& methodName);

    const std::string& delayedCallHelperNameText() const { return delayedCallHelperName; }

    // Runs call on the main thread and returns its result (see CrossThreadCall);
    // reference, the call's target, stays alive until the main thread is done.
    template <class Call>
    FunctorResult<Call> mainThreadCall(Call call)
    {
        return CrossThreadCall::callAndWait(shared_from_this(), std::move(call));
    }
    template <class Call, class Reference>
    FunctorResult<Call> mainThreadCall(Call call, std::shared_ptr<Reference> reference)
    {
        return CrossThreadCall::callAndWait(shared_from_this(), std::move(call), std::move(reference));
    }
    // Queues call for the main thread, keeping reference alive until it has run.
    // A refused call is dropped; failures of the call are logged and dropped.
    template <class Call, class Reference>
    void mainThreadPost(Call call, std::shared_ptr<Reference> reference)
    {
        CrossThreadCall::post(shared_from_this(), std::move(call), std::move(reference));
    }

protected:
    // Arranges one call of function(data) on the main thread, never inline on
    // the calling thread. False when that cannot be arranged.
    virtual bool postToMainThread(QueuedFunction function, void* data) = 0;

    AsyncCallManagerPtr asyncCallManager;
    std::shared_ptr<BrowserStreamManager> streamManager;

private:
    void releaseKeptObjectsForShutdown();
    // The host's own address folded to 32 bits: differs between hosts of one page.
    uint32_t delayedCallSeed() const;

    const uint32_t mainThreadId;
    const ProxyLookup defaultProxyLookup;
    std::atomic<bool> shutDown{false};
    std::atomic<bool> shutDownStarted{false};
    RecursiveMutex keptObjectsLock;
    std::vector<JSAPIPtr> keptObjects;
    std::atomic<bool> pageLogging{true};
    std::string delayedCallHelperId;
    std::string delayedCallHelperName;
    ArgumentLists argumentLists_;  // main thread only
};

using BrowserHostPtr = std::shared_ptr<BrowserHost>;
using BrowserHostWeakPtr = std::weak_ptr<BrowserHost>;

}  // namespace FB
