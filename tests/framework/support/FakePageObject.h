// A page script object for tests: a plain bag of named values that records
// the calls made on it. Arrays are bags with "length" and "0", "1", ...
#pragma once

#include "JSObject.h"

#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

class FakePageObject : public FB::JSObject {
public:
    struct Call {
        std::string name;
        FB::VariantVector args;
    };

    explicit FakePageObject(const FB::BrowserHostPtr& host) : FB::JSObject(host) {}

    static std::shared_ptr<FakePageObject> makeArray(const FB::BrowserHostPtr& host, const FB::VariantVector& values)
    {
        auto array = std::make_shared<FakePageObject>(host);
        array->properties["length"] = static_cast<int>(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) array->properties[std::to_string(i)] = values[i];
        return array;
    }

    // Steering.
    std::map<std::string, FB::variant> properties;
    bool valid = true;
    bool directCalls = false;
    bool failAsyncInvoke = false;
    const void* objectId = nullptr;  // this object's address when null
    const void* eventContext = nullptr;
    FB::JSAPIPtr wrapped;

    // Observations.
    std::vector<Call> calls;         // invoke()
    std::vector<Call> asyncInvokes;  // invokeAsync(), before queueing
    std::vector<std::vector<FB::JSObjectPtr>> directHandlerCalls;

    const void* getObjectId() const override { return objectId ? objectId : FB::JSObject::getObjectId(); }
    const void* getEventContext() const override { return eventContext; }
    bool supportsDirectCall() const override { return directCalls; }
    void callHandlers(
        const std::string&, const FB::VariantVector&, const std::vector<FB::JSObjectPtr>& handlers) override
    {
        directHandlerCalls.push_back(handlers);
    }
    bool isValid() const override { return valid; }
    FB::JSAPIPtr getWrappedJSAPI() const override { return wrapped; }
    void invokeAsync(const std::string& methodName, const FB::VariantVector& args) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            asyncInvokes.push_back({methodName, args});
        }
        if (failAsyncInvoke) throw std::runtime_error("handler failed");
        FB::JSObject::invokeAsync(methodName, args);
    }

    void invalidate() override { valid = false; }
    void listMemberNames(std::vector<std::string>& names) const override
    {
        for (const auto& entry : properties) names.push_back(entry.first);
    }
    std::size_t countMembers() const override { return properties.size(); }
    bool hasMethod(const std::string& name) const override { return properties.count(name) > 0; }
    bool hasPropertyIndex(int index) const override { return properties.count(std::to_string(index)) > 0; }
    bool hasProperty(const std::string& name) const override { return properties.count(name) > 0; }
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
        calls.push_back({name, args});
        return FB::variant();
    }
    FB::variant construct(const FB::VariantVector&) override { return FB::variant(); }

    using FB::JSObject::getProperty;
    using FB::JSObject::hasMethod;
    using FB::JSObject::hasProperty;
    using FB::JSObject::invoke;
    using FB::JSObject::listMemberNames;
    using FB::JSObject::removeProperty;
    using FB::JSObject::setProperty;

private:
    std::mutex mutex_;
};
