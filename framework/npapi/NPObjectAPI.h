// FB::Npapi::NPObjectAPI: a page script object (a callback function, an options
// object, the page's window or document) held by native code, over the
// browser's NPObject. It owns one browser reference of the object, released on
// the main thread when the wrapper goes.
//
// Every operation is carried out with the browser's runtime calls on the main
// thread; a call from another thread is carried over and waited for (the host's
// mainThreadCall). When the object is one of the plug-in's own script objects
// the wrapper talks to that object's FB::JSAPI directly instead of going
// through the browser.
//
// Once the host is gone (or has shut down) every query answers false or empty
// and no browser call is made.
#pragma once

#include "JSObject.h"
#include "NpapiInterface.h"

#include <memory>
#include <string>
#include <vector>

namespace FB {
namespace Npapi {

class NpapiBrowserHost;

class NPObjectAPI : public JSObject {
public:
    NPObjectAPI(NPObject* object, const std::shared_ptr<NpapiBrowserHost>& host);
    ~NPObjectAPI() override;

    NPObject* getNPObject() const { return object_; }

    // FB::JSAPI
    void invalidate() override;
    using JSAPI::listMemberNames;
    void listMemberNames(std::vector<std::string>& names) const override;
    std::size_t countMembers() const override;
    using JSAPI::getProperty;
    using JSAPI::hasMethod;
    using JSAPI::hasProperty;
    using JSAPI::invoke;
    using JSAPI::removeProperty;
    using JSAPI::setProperty;
    bool hasMethod(const std::string& name) const override;
    bool hasPropertyIndex(int index) const override;
    bool hasProperty(const std::string& name) const override;
    variant getPropertyIndex(int index) override;
    variant getProperty(const std::string& name) override;
    void setPropertyIndex(int index, const variant& value) override;
    void setProperty(const std::string& name, const variant& value) override;
    void removePropertyIndex(int index) override;
    void removeProperty(const std::string& name) override;
    variant invoke(const std::string& name, const VariantVector& args) override;
    variant construct(const VariantVector& args) override;

    // FB::JSObject
    const void* getObjectId() const override;
    const void* getEventContext() const override;
    bool supportsDirectCall() const override { return true; }
    // Through the page's delayed-call function, so every handler runs later from a page timer.
    void callHandlers(const std::string& event, const VariantVector& args,
        const std::vector<JSObjectPtr>& functionHandlers, const std::vector<JSObjectPtr>& objectHandlers) override;
    bool isValid() const override;
    JSAPIPtr getWrappedJSAPI() const override;

private:
    std::shared_ptr<NpapiBrowserHost> liveHost() const;  // empty when gone
    JSAPIPtr ownApi() const;                             // the inner API of an own object, if alive

    std::weak_ptr<NpapiBrowserHost> host_;
    NPObject* object_;
    bool isOwnObject_ = false;
    JSAPIWeakPtr inner_;
    mutable intptr_t objectId_ = 0;
};

}  // namespace Npapi
}  // namespace FB
