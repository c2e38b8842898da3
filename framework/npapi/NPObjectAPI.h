// FB::Npapi::NPObjectAPI: a page script object (a callback function, an options
// object, the page's window or document) held by native code, over the
// browser's NPObject. It owns one browser reference of the object, released on
// the main thread when the wrapper goes.
//
// Every member operation runs in the frame of FB::PageObjectFrame: carried
// over to the main thread and waited for when called from another thread,
// served by the object's own FB::JSAPI when it is one of the plug-in's script
// objects, else with the browser's runtime calls. Once the host is gone (or has
// shut down) every query answers false or empty and no browser call is made.
#pragma once

#include "NpapiInterface.h"
#include "PageObjectFrame.h"

#include <memory>
#include <string>
#include <vector>

namespace FB {
namespace Npapi {

class NpapiBrowserHost;

class NPObjectAPI : public PageObjectFrame<NPObjectAPI, NpapiBrowserHost> {
public:
    NPObjectAPI(NPObject* object, const std::shared_ptr<NpapiBrowserHost>& host);
    ~NPObjectAPI() override;

    NPObject* getNPObject() const { return object_; }

    // FB::JSAPI (the member operations are the frame's)
    void invalidate() override;

    // FB::JSObject
    const void* getObjectId() const override;
    const void* getEventContext() const override;
    // Through the page's delayed-call function, so every handler runs later from a page timer.
    void callHandlers(const std::string& event, const VariantVector& args,
        const std::vector<JSObjectPtr>& functionHandlers, const std::vector<JSObjectPtr>& objectHandlers) override;
    bool isValid() const override;
    JSAPIPtr getWrappedJSAPI() const override;

private:
    friend class PageObjectFrame<NPObjectAPI, NpapiBrowserHost>;

    // What the frame asks of its road.
    std::shared_ptr<NpapiBrowserHost> liveHost() const;  // empty when gone or shut down
    bool isOwnObject() const { return isOwnObject_; }
    JSAPIPtr ownApi() const;  // the inner API of an own object, if alive
    std::vector<std::string> browserListMembers(NpapiBrowserHost& host) const;
    std::size_t browserCountMembers(NpapiBrowserHost& host) const;
    bool browserHasMethod(NpapiBrowserHost& host, const std::string& name) const;
    bool browserHasProperty(NpapiBrowserHost& host, const std::string& name) const;
    variant browserGetProperty(NpapiBrowserHost& host, const std::string& name);
    void browserSetProperty(NpapiBrowserHost& host, const std::string& name, const variant& value);
    void browserRemoveProperty(NpapiBrowserHost& host, const std::string& name);
    variant browserInvoke(NpapiBrowserHost& host, const std::string& name, const VariantVector& args);
    variant browserConstruct(NpapiBrowserHost& host, const VariantVector& args);

    std::weak_ptr<NpapiBrowserHost> host_;
    NPObject* object_;
    bool isOwnObject_ = false;
    JSAPIWeakPtr inner_;
    mutable intptr_t objectId_ = 0;
};

}  // namespace Npapi
}  // namespace FB
