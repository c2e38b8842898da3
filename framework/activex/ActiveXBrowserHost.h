// FB::ActiveX::ActiveXBrowserHost: the browser host of one plug-in instance in
// Internet Explorer, over the container's IWebBrowser2 and the control's client
// site.
//
// It gives the plug-in the page's document and window (as DOM wrappers over the
// page's own interfaces), script evaluation, navigation, the plug-in's object
// element and URL download streams, and runs queued calls on the browser's main
// thread through a hidden message window. It also owns the COM reference of
// every page object the plug-in holds (IDispatchAPI), releases them on the main
// thread, converts values between VARIANT and FB::variant, and keeps one COM
// wrapper per live scriptable object of the plug-in.
//
//     auto host = std::make_shared<FB::ActiveX::ActiveXBrowserHost>(browser, site);
//     FB::variant value = host->getVariant(&argument);
//     host->getComVariant(&result, value);
//     ...
//     host->shutDownHost();   // before the instance goes
//
// The host may outlive its control: once the site, browser, document or window
// is released, the members that need them answer empty or throw their script
// errors.
//
// Threading: construct, convert, wrap and shut down on the browser's main
// thread. postMainThreadCall (through the base) and deferRelease may be called
// from any thread.
#pragma once

#include "BrowserHost.h"
#include "MainThreadReleaseQueue.h"
#include "ComSupport.h"
#include "ShareableReference.h"
#include "WrapperCache.h"

#include <windows.h>
#include <dispex.h>
#include <exdisp.h>
#include <ocidl.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace FB {
class WinMessageWindow;
}

namespace FB::ActiveX {

class IDispatchAPI;

class ActiveXBrowserHost : public BrowserHost {
public:
    using DispatchReference = ShareableReference<IDispatch>;

    // Makes the message window; std::runtime_error when it cannot.
    ActiveXBrowserHost(IWebBrowser2* browser, IOleClientSite* site);
    ~ActiveXBrowserHost() override;

    // Swaps in the container's browser and the control's site; while no page
    // document is known, asks the browser for it and its window.
    void setContainer(IWebBrowser2* browser, IOleClientSite* site);

    // FB::BrowserHost
    void* getInstanceHandle() override { return this; }
    std::shared_ptr<DOM::Document> documentObject() override;
    std::shared_ptr<DOM::Window> windowObject() override;
    std::shared_ptr<DOM::Element> pluginElementObject() override;
    void openUrl(const std::string& url, const std::string& target) override;
    using BrowserHost::runScript;
    // "Can't execute JavaScript: Window is NULL", "Error executing JavaScript code".
    void runScript(const std::string& script) override;
    void shutDownHost() override;
    void releasePendingObjects() override;
    // The DOM wrappers over the page's document interfaces (AXDOM); a page
    // object of another kind is refused with invalid_cast "This is not a valid
    // object" (a window that is none: "This is not a valid Window object").
    std::shared_ptr<DOM::Window> wrapWindow(const JSObjectPtr& object) override;
    std::shared_ptr<DOM::Document> wrapDocument(const JSObjectPtr& object) override;
    std::shared_ptr<DOM::Element> wrapElement(const JSObjectPtr& object) override;
    std::shared_ptr<DOM::Node> wrapNode(const JSObjectPtr& object) override;
    // A URL-moniker stream (GET, or POST with the request's data and headers);
    // StreamCreatedEvent goes out once the download has started. Null, and
    // nothing kept, when no download can be made for the URL.
    std::shared_ptr<BrowserStream> openBrowserStream(const BrowserStreamRequest& request) override;

    // ---- page objects
    // A new retained handle of a page object: one COM reference, kept until the
    // handle is released on the main thread (deferRelease) or the host shuts down.
    std::shared_ptr<DispatchReference> getShareableReference(IDispatch* object);
    // Queues a handle for release on the main thread (at once when on it).
    void deferRelease(const std::weak_ptr<DispatchReference>& reference);
    // The COM wrapper of one of the plug-in's scriptable objects, one per live
    // object; a new reference for the caller, null when none could be made.
    IDispatchEx* getJSAPIWrapper(const JSAPIPtr& api, bool autoRelease);
    size_t retainedObjectCount() const;
    size_t cachedWrapperCount() const { return wrapperCache_.size(); }

    // ---- values
    variant getVariant(const VARIANT* value);
    // The same for values that need no host: a page object arrives empty.
    static variant getPlainVariant(const VARIANT* value);
    // Clears out first; a held type without a conversion leaves it VT_EMPTY.
    void getComVariant(VARIANT* out, const variant& value);

    void releaseRetainedObjects();
    void releaseBrowserObjects();

protected:
    bool postToMainThread(QueuedFunction function, void* data) override;

private:
    void initDOMObjects();

    Com::ComPtr<IOleClientSite> clientSite_;
    Com::ComPtr<IDispatch> htmlDocument_;
    Com::ComPtr<IDispatch> htmlWindow_;
    Com::ComPtr<IWebBrowser2> webBrowser_;
    std::shared_ptr<DOM::Window> windowWrapper_;
    std::shared_ptr<DOM::Document> documentWrapper_;
    std::unique_ptr<WinMessageWindow> messageWindow_;
    std::mutex hostLock_;  // guards messageWindow
    MainThreadReleaseQueue<std::weak_ptr<DispatchReference>> deferredReleases_;
    WrapperCache<IDispatchEx> wrapperCache_;
    mutable std::mutex retainedLock_;
    std::map<DispatchReference*, std::shared_ptr<DispatchReference>> retainedObjects_;
    std::atomic<bool> shutDownStarted_{false};
};

using ActiveXBrowserHostPtr = std::shared_ptr<ActiveXBrowserHost>;

}  // namespace FB::ActiveX
