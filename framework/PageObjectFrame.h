// FB::PageObjectFrame: the frame of every member operation of a page object
// held by native code (FB::JSObject), written once for both browser roads:
//
//   1. the host is gone: the neutral answer (false, 0, an empty value or list);
//   2. the caller is off the host's main thread: the same operation runs there
//      (the host's mainThreadCall) and its result or error comes back;
//   3. the page object is one of the plug-in's own script objects: the same
//      operation of that object's FB::JSAPI (the neutral answer once it is gone);
//   4. else the road's browser call.
//
// The index forms take the same road; the browser sees the index's decimal text
// as the member name.
//
//     class NPObjectAPI : public PageObjectFrame<NPObjectAPI, NpapiBrowserHost> { ... };
//
// The road (the derived class, a friend of its frame) supplies, on the main thread:
//   std::shared_ptr<Host> liveHost() const           the host, or empty when gone
//   bool isOwnObject() const, JSAPIPtr ownApi() const step 3's test and API
//   std::vector<std::string> browserListMembers(Host&) const
//   std::size_t browserCountMembers(Host&) const
//   bool browserHasMethod(Host&, name) const, bool browserHasProperty(Host&, name) const
//   variant browserGetProperty(Host&, name), void browserSetProperty(Host&, name, value)
//   void browserRemoveProperty(Host&, name)
//   variant browserInvoke(Host&, name, arguments), variant browserConstruct(Host&, arguments)
// The frame calls them directly (no virtual call), and copies the arguments
// only when it carries a call over to the main thread.
//
// Threading: any thread; browser work happens on the host's main thread only.
#pragma once

#include "JSObject.h"

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace FB {

template <class Road, class Host>
class PageObjectFrame : public JSObject {
public:
    using JSAPI::getProperty;
    using JSAPI::hasMethod;
    using JSAPI::hasProperty;
    using JSAPI::invoke;
    using JSAPI::listMemberNames;
    using JSAPI::removeProperty;
    using JSAPI::setProperty;

    void listMemberNames(std::vector<std::string>& names) const final
    {
        std::vector<std::string> listed = serve(
            road(), [](JSAPI& api) { return api.listMemberNames(); }, &Road::browserListMembers);
        if (names.empty())
            names = std::move(listed);
        else
            names.insert(names.end(), listed.begin(), listed.end());
    }
    std::size_t countMembers() const final
    {
        return serve(
            road(), [](JSAPI& api) { return api.countMembers(); }, &Road::browserCountMembers);
    }
    bool hasMethod(const std::string& name) const final
    {
        return serve(
            road(), [](JSAPI& api, const std::string& n) { return api.hasMethod(n); }, &Road::browserHasMethod, name);
    }
    bool hasProperty(const std::string& name) const final
    {
        return serve(
            road(), [](JSAPI& api, const std::string& n) { return api.hasProperty(n); }, &Road::browserHasProperty,
            name);
    }
    bool hasPropertyIndex(int index) const final
    {
        return serve(
            road(), [](JSAPI& api, int i) { return api.hasPropertyIndex(i); },
            [](const Road& self, Host& host, int i) { return self.browserHasProperty(host, std::to_string(i)); },
            index);
    }
    variant getProperty(const std::string& name) final
    {
        return serve(
            road(), [](JSAPI& api, const std::string& n) { return api.getProperty(n); }, &Road::browserGetProperty,
            name);
    }
    variant getPropertyIndex(int index) final
    {
        return serve(
            road(), [](JSAPI& api, int i) { return api.getPropertyIndex(i); },
            [](Road& self, Host& host, int i) { return self.browserGetProperty(host, std::to_string(i)); }, index);
    }
    void setProperty(const std::string& name, const variant& value) final
    {
        serve(
            road(), [](JSAPI& api, const std::string& n, const variant& v) { api.setProperty(n, v); },
            &Road::browserSetProperty, name, value);
    }
    void setPropertyIndex(int index, const variant& value) final
    {
        serve(
            road(), [](JSAPI& api, int i, const variant& v) { api.setPropertyIndex(i, v); },
            [](Road& self, Host& host, int i, const variant& v) {
                self.browserSetProperty(host, std::to_string(i), v);
            },
            index, value);
    }
    void removeProperty(const std::string& name) final
    {
        serve(
            road(), [](JSAPI& api, const std::string& n) { api.removeProperty(n); }, &Road::browserRemoveProperty,
            name);
    }
    void removePropertyIndex(int index) final
    {
        serve(
            road(), [](JSAPI& api, int i) { api.removePropertyIndex(i); },
            [](Road& self, Host& host, int i) { self.browserRemoveProperty(host, std::to_string(i)); }, index);
    }
    variant invoke(const std::string& name, const VariantVector& args) final
    {
        return serve(
            road(), [](JSAPI& api, const std::string& n, const VariantVector& a) { return api.invoke(n, a); },
            &Road::browserInvoke, name, args);
    }
    variant construct(const VariantVector& args) final
    {
        return serve(
            road(), [](JSAPI& api, const VariantVector& a) { return api.construct(a); }, &Road::browserConstruct, args);
    }

    // Handlers kept as page objects of one road are called together through callHandlers.
    bool supportsDirectCall() const final { return true; }

protected:
    explicit PageObjectFrame(const std::shared_ptr<Host>& host) : JSObject(host) {}

private:
    const Road& road() const { return static_cast<const Road&>(*this); }
    Road& road() { return static_cast<Road&>(*this); }

    // Steps 1 to 4 for one operation; Self is the road, const for the queries.
    template <class Self, class Own, class Browser, class... Args>
    static std::invoke_result_t<Browser, Self&, Host&, const Args&...> serve(
        Self& self, Own own, Browser browser, const Args&... args)
    {
        using Result = std::invoke_result_t<Browser, Self&, Host&, const Args&...>;
        std::shared_ptr<Host> host = self.liveHost();
        if (!host) return Result();
        if (!host->isMainThread()) {
            auto shared = std::static_pointer_cast<Self>(self.shared_from_this());
            return host->mainThreadCall(
                [shared, own, browser, args...] { return serve(*shared, own, browser, args...); }, shared);
        }
        if (self.isOwnObject()) {
            JSAPIPtr api = self.ownApi();
            return api ? own(*api, args...) : Result();
        }
        return std::invoke(browser, self, *host, args...);
    }
};

}  // namespace FB
