// FB::JSObject: a script object of the page (a function, an array, a plain
// object) held by native code, for example the callback that page script
// hands to a method. Each browser binding implements the member operations
// over its own script objects; this class adds the asynchronous invoke
// through which every callback of the application runs.
//
//     callback->invokeAsync("", FB::makeVariantVector(0));   // callback(0), later
//
// Threading: invokeAsync and asyncByName may be called from any thread; they
// copy their arguments and queue the call onto the browser's main thread,
// keeping this object alive until it has run there. The page function then
// runs from a page timer, never inside the native call that asked for it.
// The object holds its host weakly: once the host is gone both refuse with
// std::runtime_error "Cannot invoke asynchronously".
#pragma once

#include "BrowserHost.h"
#include "JSAPI.h"

#include <vector>

namespace FB {

class JSObject : public JSAPI {
public:
    explicit JSObject(const BrowserHostPtr& host);
    ~JSObject() override;

    // Identity of the underlying page object: equal for two wrappers of one
    // object. This wrapper's own address unless the binding knows better.
    virtual const void* getObjectId() const { return this; }
    // The page (script context) the object belongs to.
    virtual const void* getEventContext() const { return nullptr; }
    // Whether handlers of this kind are called together through callHandlers.
    virtual bool supportsDirectCall() const { return false; }
    // Calls handlers of the event directly: each function handler with the
    // arguments, and each object handler (an event sink) through its member
    // named by the event.
    virtual void callHandlers(const std::string& /*event*/, const VariantVector& /*args*/,
        const std::vector<JSObjectPtr>& /*functionHandlers*/, const std::vector<JSObjectPtr>& /*objectHandlers*/)
    {
    }
    // Whether the page object is still usable.
    virtual bool isValid() const = 0;

    // Calls the member `methodName` (the object itself when empty) later on the main thread.
    virtual void invokeAsync(const std::string& methodName, const VariantVector& args);
    // The main-thread step of invokeAsync: hands the call to the page's timer.
    virtual void invokeSelfAsync(const VariantVector& args, const std::string& methodName);
    // Assigns the member later on the main thread.
    virtual void asyncByName(const std::string& name, const variant& value);
    // The plug-in's own scriptable object when the page object wraps one.
    virtual JSAPIPtr getWrappedJSAPI() const = 0;

    // The host of the page; throws a script error when it is gone.
    BrowserHostPtr getHost() const;
    // The host as this object holds it: weakly.
    const BrowserHostWeakPtr& getWeakHost() const { return host_; }

private:
    std::shared_ptr<JSObject> sharedSelfForAsync();

    BrowserHostWeakPtr host_;
};

}  // namespace FB
