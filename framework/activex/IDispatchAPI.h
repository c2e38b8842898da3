// FB::ActiveX::IDispatchAPI: a page object that the browser handed to the
// plug-in (a callback function, an array, the page's window or document, an
// advised event sink) held by native code, over its IDispatch or IDispatchEx.
//
//     auto callback = FB::ActiveX::IDispatchAPI::create(dispatch, host);
//     callback->invoke("", FB::VariantVector{0});   // callback(0), from any thread
//
// The COM reference is owned by the host's retained list (it is released on
// the main thread, at the latest when the host shuts down); the wrapper holds a
// weak handle to it. Once the reference or the host is gone, every operation
// does nothing and answers empty.
//
// Member operations run in the frame of FB::PageObjectFrame: COM calls on the
// browser's main thread, carried over and waited for when called on another
// thread; when the page object is one of the plug-in's own script objects, the
// wrapper calls that object's API directly. Page errors become FB::script_error
// with the operation's text ("Could not get property", ...).
//
// Handlers: callHandlers never calls inline; it queues the calls for the main
// thread. A function handler (a page function made by attachEvent) is called
// through its default member with DISPID_THIS; an object handler (an advised
// sink) through its member named by the event.
//
// Threading: any thread; see above.
#pragma once

#include "PageObjectFrame.h"
#include "ShareableReference.h"

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

namespace FB::ActiveX {

class ActiveXBrowserHost;

class IDispatchAPI : public PageObjectFrame<IDispatchAPI, ActiveXBrowserHost> {
public:
    // The wrapper of a page object; eventSink marks an object advised through a
    // connection point (called by event name). The host must be alive.
    static std::shared_ptr<IDispatchAPI> create(
        IDispatch* object, const std::shared_ptr<ActiveXBrowserHost>& host, bool eventSink = false);
    ~IDispatchAPI() override;

    // The wrapped object (not AddRef'd); null once the reference is gone.
    IDispatch* getIDispatch() const;
    // The member id of a name on the page object: -1 when unknown or invalid.
    long getIDForName(const std::wstring& name) const;
    bool isEventSink() const { return eventSink_; }
    // The host the object belongs to; null once it has gone.
    std::shared_ptr<ActiveXBrowserHost> hostIfAlive() const { return host_.lock(); }
    // The same for callers that need it: FB::script_error "BrowserHost has shut down" once gone.
    std::shared_ptr<ActiveXBrowserHost> getHost() const;

    // FB::JSAPI (the member operations are the frame's)
    void invalidate() override;
    using PageObjectFrame::hasProperty;
    bool hasProperty(const std::wstring& name) const override { return hasPropertyWide(name); }
    // hasProperty of the name in UTF-8.
    bool hasPropertyWide(const std::wstring& name) const;

    // FB::JSObject
    const void* getObjectId() const override;
    const void* getEventContext() const override;
    // Queued for the main thread, never inline (see above).
    void callHandlers(const std::string& event, const VariantVector& args,
        const std::vector<JSObjectPtr>& functionHandlers, const std::vector<JSObjectPtr>& objectHandlers) override;
    bool isValid() const override;
    JSAPIPtr getWrappedJSAPI() const override;

private:
    friend class PageObjectFrame<IDispatchAPI, ActiveXBrowserHost>;
    using Reference = ShareableReference<IDispatch>;

    IDispatchAPI(const std::shared_ptr<ActiveXBrowserHost>& host, bool eventSink);

    // The bridge's API when the page object is one of the plug-in's own objects.
    JSAPIPtr findWrappedJSAPI() const;

    // What the frame asks of its road.
    std::shared_ptr<ActiveXBrowserHost> liveHost() const;  // empty once the reference or the host is gone
    bool isOwnObject() const { return isPluginObject_; }
    JSAPIPtr ownApi() const;
    std::vector<std::string> browserListMembers(ActiveXBrowserHost& host) const;
    std::size_t browserCountMembers(ActiveXBrowserHost& host) const;
    bool browserHasMethod(ActiveXBrowserHost& host, const std::string& name) const;
    bool browserHasProperty(ActiveXBrowserHost& host, const std::string& name) const;
    variant browserGetProperty(ActiveXBrowserHost& host, const std::string& name);
    void browserSetProperty(ActiveXBrowserHost& host, const std::string& name, const variant& value);
    void browserRemoveProperty(ActiveXBrowserHost& host, const std::string& name);
    variant browserInvoke(ActiveXBrowserHost& host, const std::string& name, const VariantVector& args);
    variant browserConstruct(ActiveXBrowserHost& host, const VariantVector& args);
    template <class Self>
    static std::shared_ptr<Self> sharedFrom(Self* self);

    // The COM calls, on the main thread.
    variant readProperty(ActiveXBrowserHost& host, IDispatch* object, DISPID id) const;
    variant callMember(ActiveXBrowserHost& host, IDispatch* object, DISPID id, WORD flags, const VariantVector& args,
        bool withThis) const;
    void callHandlersNow(const std::string& event, const VariantVector& args,
        const std::vector<JSObjectPtr>& functionHandlers, const std::vector<JSObjectPtr>& objectHandlers);

    std::weak_ptr<ActiveXBrowserHost> host_;
    std::weak_ptr<Reference> dispatchRef_;
    bool isPluginObject_ = false;
    JSAPIWeakPtr pluginApi_;
    const bool eventSink_;
};

using IDispatchAPIPtr = std::shared_ptr<IDispatchAPI>;

}  // namespace FB::ActiveX
