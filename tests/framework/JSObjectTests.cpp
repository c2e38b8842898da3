// Page objects held by native code: asynchronous invoke through the host,
// function objects of methods, and conversions of values to objects, lists and maps.
#include "JSFunction.h"
#include "ScriptObjectTest.h"
#include "TypeNames.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace {

using FB::variant;
using FB::VariantVector;

class JSObjectTest : public ScriptObjectTest {};

TEST_F(JSObjectTest, AsyncInvokeWaitsForTheMainThreadAndThenThePageTimer)
{
    api->invoke("Cap", {L"cam", callback});
    EXPECT_EQ(host->queuedCount(), 1u);
    EXPECT_TRUE(host->takeDelayedCalls().empty()) << "nothing runs inside the native call";
    EXPECT_TRUE(callback->calls.empty());

    host->pump();
    const auto delayed = host->takeDelayedCalls();
    ASSERT_EQ(delayed.size(), 1u);
    EXPECT_EQ(delayed[0].delayMs, 0);
    EXPECT_EQ(delayed[0].function, callback);
    EXPECT_EQ(delayed[0].methodName, "");
    ASSERT_EQ(delayed[0].args.size(), 1u);
    EXPECT_EQ(delayed[0].args[0].cast<long>(), 0L);
}

TEST_F(JSObjectTest, CallsFromAnotherThreadArriveInOrder)
{
    std::thread engine([&] {
        for (long level = 1; level <= 3; ++level) callback->invokeAsync("", FB::makeVariantVector(level));
    });
    engine.join();
    EXPECT_EQ(host->pump(), 3);
    const auto delayed = host->takeDelayedCalls();
    ASSERT_EQ(delayed.size(), 3u);
    for (long i = 0; i < 3; ++i) EXPECT_EQ(delayed[i].args.at(0).cast<long>(), i + 1);
}

TEST_F(JSObjectTest, QueuedCallKeepsTheObjectAlive)
{
    std::weak_ptr<fbtest::PageObject> watch = callback;
    callback->invokeAsync("onDone", {});
    callback.reset();
    EXPECT_FALSE(watch.expired());
    host->pump();
    auto delayed = host->takeDelayedCalls();
    ASSERT_EQ(delayed.size(), 1u);
    EXPECT_EQ(delayed[0].methodName, "onDone");
    delayed.clear();
    EXPECT_TRUE(watch.expired());
}

TEST_F(JSObjectTest, AsyncPropertyAssignment)
{
    callback->asyncByName("answer", 42);
    EXPECT_FALSE(callback->properties.count("answer"));
    host->pump();
    EXPECT_EQ(callback->properties.at("answer").cast<int>(), 42);
}

TEST_F(JSObjectTest, HostGoneRefusesAsyncCalls)
{
    host.reset();
    EXPECT_EQ(errorOf<std::runtime_error>([&] { callback->invokeAsync("", {}); }), "Cannot invoke asynchronously");
    EXPECT_EQ(errorOf<std::runtime_error>([&] { callback->asyncByName("x", 1); }), "Cannot invoke asynchronously");
    EXPECT_EQ(errorOf([&] { callback->getHost(); }), "The browser host is gone");
    // A method handing a result to such a callback fails with the same error.
    EXPECT_EQ(errorOf<std::runtime_error>([&] {
        api->invoke("Cap", {L"cam", callback});
    }),
        "Cannot invoke asynchronously");
}

TEST_F(JSObjectTest, RefusedQueueingDropsTheCall)
{
    std::weak_ptr<fbtest::PageObject> watch = callback;
    host->refuseDelivery = true;
    EXPECT_NO_THROW(callback->invokeAsync("", {}));
    host->refuseDelivery = false;
    host->shutDownHost();
    EXPECT_NO_THROW(callback->invokeAsync("", {}));
    EXPECT_EQ(host->pump(), 0);
    callback.reset();
    EXPECT_TRUE(watch.expired()) << "a dropped call holds nothing";
}

TEST_F(JSObjectTest, QueuedCallsRunWhenTheHostGoesAndFindItGone)
{
    callback->invokeAsync("", {});
    host.reset();  // runs the queued call, whose page timer is gone
    EXPECT_EQ(callback.use_count(), 1);
}

TEST_F(JSObjectTest, PageObjectsTakeNoEventHandlersOfTheirOwn)
{
    const FB::JSObjectPtr handler = callback;
    EXPECT_EQ(errorOf([&] { callback->addEventHandler("onload", handler); }), "Not implemented");
    EXPECT_EQ(errorOf([&] { callback->removeEventHandler(L"onload", handler); }), "Not implemented");
    EXPECT_EQ(errorOf([&] { callback->addEventSinkObject(handler); }), "Not implemented");
    EXPECT_EQ(errorOf([&] { callback->removeEventSinkObject(handler); }), "Not implemented");
    EXPECT_TRUE(callback->getMethodObject("anything") == nullptr);
    EXPECT_FALSE(callback->hasMethodObject("anything"));
}

TEST_F(JSObjectTest, FunctionObjectOfAMethod)
{
    const FB::JSAPIPtr echo = api->getProperty("echo").getJSAPI();
    ASSERT_TRUE(echo);
    EXPECT_EQ(api->getMethodObject("echo"), echo) << "made once per method and zone";
    EXPECT_EQ(echo->invoke("toString", {}).cast<std::string>(), "echo()");
    EXPECT_TRUE(echo->hasMethod("call"));
    EXPECT_TRUE(echo->hasMethod(""));
    EXPECT_FALSE(echo->hasProperty("apply"));
    EXPECT_TRUE(echo->hasProperty("width")) << "a function object reserves no names";
    EXPECT_FALSE(echo->getProperty("toString").is_of_type<FB::JSAPIPtr>()) << "no function objects of its own";

    const variant self = api;
    struct Case {
        const char* how;
        VariantVector args;
        variant result;
    };
    const Case cases[] = {
        {"", {5}, 5},
        {"call", {self, 7}, 7},
        {"call", {}, variant()},
        {"apply", {self, VariantVector{8}}, 8},
        {"apply", {self, fbtest::PageObject::makeArray(host, {9})}, 9},
        {"apply", {self, variant::makeNull()}, variant()},
        {"apply", {self, variant()}, variant()},
        {"apply", {self}, variant()},
    };
    for (const auto& c : cases) {
        const variant result = echo->invoke(c.how, c.args);
        EXPECT_TRUE(!(result < c.result) && !(c.result < result)) << c.how << " with " << c.args.size();
    }
    EXPECT_EQ(errorOf([&] { echo->invoke("apply", {self, 5}); }), "Could not convert from int to FB::VariantVector");
    EXPECT_EQ(errorOf([&] { echo->invoke("apply", {self, VariantVector{1, 2}}); }), "Too many arguments, expected 1.");
}

TEST_F(JSObjectTest, FunctionObjectOfAGoneOwner)
{
    const FB::JSAPIPtr echo = api->getMethodObject("echo");
    api.reset();
    EXPECT_EQ(errorOf([&] { echo->invoke("", {1}); }), "Invalid JSAPI object");
    EXPECT_EQ(errorOf([&] { echo->invoke("call", {variant(), 1}); }), "Invalid JSAPI object");
}

TEST_F(JSObjectTest, FunctionObjectCallsInItsOwnZone)
{
    FB::JSAPIPtr secure;
    {
        FB::ZoneScope trusted(*api, 2);
        api->addMethod("secure", [](const VariantVector&) { return variant("secret"); });
        secure = api->getMethodObject("secure");
    }
    EXPECT_EQ(errorOf([&] { api->getMethodObject("secure"); }), "The specified member does not exist: secure");
    EXPECT_EQ(secure->invoke("", {}).cast<std::string>(), "secret");
    EXPECT_EQ(api->currentZone(), 0);
}

TEST_F(JSObjectTest, ValuesToObjects)
{
    auto pageWrappingPlugin = std::make_shared<fbtest::PageObject>(host);
    pageWrappingPlugin->wrapped = api;
    auto pageWrappingPage = std::make_shared<fbtest::PageObject>(host);
    pageWrappingPage->wrapped = callback;
    std::weak_ptr<BroadcastTestAPI> expired = std::make_shared<BroadcastTestAPI>();
    const FB::JSAPIPtr plugin = api;

    struct Case {
        variant value;
        FB::JSObjectPtr asObject;  // expected convertToJSObject
        FB::JSAPIPtr asAPI;        // expected convertToJSAPI
        bool objectFails;
    };
    const Case cases[] = {
        {callback, callback, callback, false},
        {variant(), nullptr, nullptr, false},
        {variant::makeNull(), nullptr, nullptr, false},
        {variant::fromValue(FB::JSAPIWeakPtr(expired)), nullptr, nullptr, false},
        {variant::fromValue(FB::JSAPIWeakPtr(callback)), callback, callback, false},
        {pageWrappingPlugin, pageWrappingPlugin, api, false},
        {pageWrappingPage, callback, callback, false},
        {plugin, nullptr, api, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        EXPECT_EQ(c.value.convertToJSAPI(), c.asAPI);
        EXPECT_EQ(c.value.canConvertToJSObject(), !c.objectFails);
        if (c.objectFails) {
            EXPECT_THROW(c.value.convertToJSObject(), FB::bad_variant_cast);
            continue;
        }
        EXPECT_EQ(c.value.convertToJSObject(), c.asObject);
    }
    try {
        variant(5).convertToJSObject();
        FAIL();
    } catch (const FB::bad_variant_cast& e) {
        EXPECT_EQ(e.from(), "int");
        EXPECT_EQ(e.to(), "std::shared_ptr<FB::JSObject>");
    }
    // A parameter of a page-object subclass type.
    EXPECT_EQ(variant(callback).convert_cast<std::shared_ptr<fbtest::PageObject>>(), callback);
}

TEST_F(JSObjectTest, PageArraysAndObjectsToContainers)
{
    auto array = fbtest::PageObject::makeArray(host, {"a", 1, callback});
    const VariantVector list = variant(array).convert_cast<VariantVector>();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].cast<std::string>(), "a");
    EXPECT_EQ(list[2].getJSObject(), callback);

    const FB::VariantDict members = variant(array).convert_cast<FB::VariantDict>();
    EXPECT_EQ(members.size(), 4u);
    EXPECT_EQ(members.at("length").cast<int>(), 3);
    EXPECT_EQ(members.at("1").cast<int>(), 1);

    auto objects = fbtest::PageObject::makeArray(host, {callback, variant::makeNull()});
    const FB::JSObjectList objectList = variant(objects).convertToObjectList();
    ASSERT_EQ(objectList.size(), 2u);
    EXPECT_EQ(objectList[0], callback);
    EXPECT_EQ(objectList[1], nullptr);
    EXPECT_TRUE(variant().convertToObjectList().empty());
    EXPECT_THROW(variant(fbtest::PageObject::makeArray(host, {1})).convertToObjectList(), FB::bad_variant_cast);
    EXPECT_THROW(variant("text").convertToObjectList(), FB::bad_variant_cast);
}

TEST_F(JSObjectTest, PageControlledArrayLengthIsChecked)
{
    struct Case {
        variant length;
        const char* error;
    };
    const Case cases[] = {
        {1048577, "Invalid array length 1048577"},
        {2147483647, "Invalid array length 2147483647"},
        {-1, "Invalid array length -1"},
    };
    for (const auto& c : cases) {
        auto array = std::make_shared<fbtest::PageObject>(host);
        array->properties["length"] = c.length;
        EXPECT_EQ(errorOf([&] { variant(array).convertToVariantVector(); }), c.error);
        EXPECT_EQ(errorOf([&] { variant(array).convertToObjectList(); }), c.error);
    }
    auto unreadable = std::make_shared<fbtest::PageObject>(host);
    unreadable->properties["length"] = "many";
    EXPECT_THROW(variant(unreadable).convertToVariantVector(), FB::bad_variant_cast);
    auto lengthless = std::make_shared<fbtest::PageObject>(host);
    EXPECT_THROW(variant(lengthless).convertToVariantVector(), FB::bad_variant_cast);
}

}  // namespace
