// A page script object for tests: a bag of named values that may also be
// callable, and that records what native code asks of it.
//
//   auto object = std::make_shared<fbtest::PageObject>(host);          // records its calls
//   auto function = std::make_shared<fbtest::PageObject>(host, [](auto&, auto& args) { ... });
//   auto array = fbtest::PageObject::makeArray(host, {1, "two"});      // "length", "0", "1"
//
// invoke: a member that is itself a page object is called as a function; else
// the behaviour (when there is one) answers; else the call is recorded in
// calls and answers undefined. Steering members (valid, directCalls,
// failAsyncInvoke, objectId, eventContext, wrapped) let a test play a browser's
// page object; calls, asyncInvokes and directHandlerCalls are what it saw.
//
// Threading: invokeAsync may be called from any thread (its record is locked);
// everything else belongs to the test's main thread.
#pragma once

#include "JSObject.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace fbtest {

class PageObject : public FB::JSObject {
public:
    using Behaviour = std::function<FB::variant(const std::string& method, const FB::VariantVector& args)>;
    struct Call {
        std::string name;
        FB::VariantVector args;
    };

    explicit PageObject(const FB::BrowserHostPtr& host, Behaviour behaviour = {})
        : FB::JSObject(host), behaviour(std::move(behaviour))
    {
    }

    static std::shared_ptr<PageObject> makeArray(const FB::BrowserHostPtr& host, const FB::VariantVector& values)
    {
        auto array = std::make_shared<PageObject>(host);
        array->properties["length"] = static_cast<int>(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) array->properties[std::to_string(i)] = values[i];
        return array;
    }

    // Steering.
    std::map<std::string, FB::variant> properties;
    Behaviour behaviour;
    bool valid = true;
    bool directCalls = false;
    bool failAsyncInvoke = false;
    const void* objectId = nullptr;  // this object's address when null
    const void* eventContext = nullptr;
    FB::JSAPIPtr wrapped;

    // Observations.
    std::vector<Call> calls;                                       // invoke() without a behaviour
    std::vector<Call> asyncInvokes;                                // invokeAsync(), before queueing
    std::vector<std::vector<FB::JSObjectPtr>> directHandlerCalls;  // the function handlers of each callHandlers
    std::vector<std::vector<FB::JSObjectPtr>> directSinkCalls;     // and its object handlers

    const void* getObjectId() const override { return objectId ? objectId : FB::JSObject::getObjectId(); }
    const void* getEventContext() const override { return eventContext; }
    bool supportsDirectCall() const override { return directCalls; }
    void callHandlers(const std::string&, const FB::VariantVector&, const std::vector<FB::JSObjectPtr>& functions,
        const std::vector<FB::JSObjectPtr>& objects) override
    {
        directHandlerCalls.push_back(functions);
        directSinkCalls.push_back(objects);
    }
    bool isValid() const override { return valid; }
    void invalidate() override { valid = false; }
    FB::JSAPIPtr getWrappedJSAPI() const override { return wrapped; }
    void invokeAsync(const std::string& methodName, const FB::VariantVector& args) override
    {
        {
            std::lock_guard<std::mutex> lock(asyncLock_);
            asyncInvokes.push_back({methodName, args});
        }
        if (failAsyncInvoke) throw std::runtime_error("handler failed");
        FB::JSObject::invokeAsync(methodName, args);
    }

    void listMemberNames(std::vector<std::string>& names) const override
    {
        for (const auto& entry : properties) names.push_back(entry.first);
    }
    std::size_t countMembers() const override { return properties.size(); }
    bool hasMethod(const std::string& name) const override { return properties.count(name) != 0; }
    bool hasPropertyIndex(int index) const override { return hasProperty(std::to_string(index)); }
    bool hasProperty(const std::string& name) const override { return properties.count(name) != 0; }
    FB::variant getPropertyIndex(int index) override { return getProperty(std::to_string(index)); }
    FB::variant getProperty(const std::string& name) override
    {
        auto found = properties.find(name);
        return found == properties.end() ? FB::variant() : found->second;
    }
    void setPropertyIndex(int index, const FB::variant& value) override { setProperty(std::to_string(index), value); }
    void setProperty(const std::string& name, const FB::variant& value) override { properties[name] = value; }
    void removePropertyIndex(int index) override { removeProperty(std::to_string(index)); }
    void removeProperty(const std::string& name) override { properties.erase(name); }
    FB::variant invoke(const std::string& name, const FB::VariantVector& args) override
    {
        if (auto target = memberFunction(name)) return target->invoke("", args);
        if (behaviour) return behaviour(name, args);
        calls.push_back({name, args});
        return FB::variant();
    }
    FB::variant construct(const FB::VariantVector&) override { throw FB::script_error("no constructor"); }

    using FB::JSObject::getProperty;
    using FB::JSObject::hasMethod;
    using FB::JSObject::hasProperty;
    using FB::JSObject::invoke;
    using FB::JSObject::listMemberNames;
    using FB::JSObject::removeProperty;
    using FB::JSObject::setProperty;

private:
    std::shared_ptr<PageObject> memberFunction(const std::string& name) const
    {
        auto member = properties.find(name);
        if (name.empty() || member == properties.end()) return nullptr;
        try {
            return std::dynamic_pointer_cast<PageObject>(member->second.convertToJSObject());
        } catch (const FB::bad_variant_cast&) {
            return nullptr;  // a plain value, not a function
        }
    }

    std::mutex asyncLock_;
};

}  // namespace fbtest
