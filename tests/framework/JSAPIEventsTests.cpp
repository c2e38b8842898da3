// Events of a scriptable object: handlers, sinks, attribute handlers, linked
// objects and script event objects.
#include "BroadcastTestAPI.h"
#include "PageObject.h"
#include "TestBrowserHost.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using FB::variant;
using FB::VariantVector;

class JSAPIEventsTest : public testing::Test {
protected:
    std::shared_ptr<fbtest::PageObject> handler()
    {
        auto made = std::make_shared<fbtest::PageObject>(host);
        return made;
    }

    std::shared_ptr<fbtest::TestBrowserHost> host = std::make_shared<fbtest::TestBrowserHost>();
    std::shared_ptr<fbtest::TestPage> page = host->attachPage();
    std::shared_ptr<BroadcastTestAPI> api = std::make_shared<BroadcastTestAPI>();
};

TEST_F(JSAPIEventsTest, EveryHandlerIsCalledEvenWhenOneFails)
{
    auto first = handler(), failing = handler(), last = handler(), invalid = handler(), other = handler();
    failing->failAsyncInvoke = true;
    invalid->valid = false;
    for (const auto& each : {first, failing, last, invalid}) api->addEventHandler("ontest", each);
    api->addEventHandler(L"onother", other);

    api->invoke("testEvent", {});

    EXPECT_EQ(first->asyncInvokes.size(), 1u);
    EXPECT_EQ(failing->asyncInvokes.size(), 1u);
    EXPECT_EQ(last->asyncInvokes.size(), 1u);
    EXPECT_TRUE(invalid->asyncInvokes.empty());
    EXPECT_TRUE(other->asyncInvokes.empty());

    // Handlers are called as functions, later, from the page.
    EXPECT_TRUE(host->takeDelayedCalls().empty());
    EXPECT_EQ(host->pump(), 2);
    const auto delayed = host->takeDelayedCalls();
    ASSERT_EQ(delayed.size(), 2u);
    EXPECT_EQ(delayed[0].function, first);
    EXPECT_EQ(delayed[1].function, last);
    EXPECT_EQ(delayed[0].methodName, "");
    EXPECT_EQ(delayed[0].delayMs, 0);
}

TEST_F(JSAPIEventsTest, HandlersAreKeptOncePerObjectIdentity)
{
    auto one = handler(), twin = handler(), distinct = handler();
    static const int sharedPageObject = 0;
    one->objectId = twin->objectId = &sharedPageObject;  // two wrappers of one page object

    api->addEventHandler("ontest", one);
    api->addEventHandler("ontest", one);
    api->addEventHandler("ontest", twin);
    api->addEventHandler("ontest", distinct);
    api->fireEvent("ontest", {});
    EXPECT_EQ(one->asyncInvokes.size() + twin->asyncInvokes.size(), 1u);
    EXPECT_EQ(distinct->asyncInvokes.size(), 1u);

    api->removeEventHandler("ontest", twin);  // removes the registration of the same page object
    api->removeEventHandler("ontest", distinct);
    api->fireEvent("ontest", {});
    EXPECT_EQ(one->asyncInvokes.size() + twin->asyncInvokes.size(), 1u);
    EXPECT_EQ(distinct->asyncInvokes.size(), 1u);

    EXPECT_THROW(api->addEventHandler("ontest", FB::JSObjectPtr()), FB::invalid_arguments);
    EXPECT_THROW(api->removeEventHandler("ontest", FB::JSObjectPtr()), FB::invalid_arguments);
}

TEST_F(JSAPIEventsTest, DirectCallHandlersAreCalledTogetherPerContext)
{
    static const int pageA = 0, pageB = 0;
    auto a1 = handler(), a2 = handler(), b1 = handler();
    for (const auto& each : {a1, a2, b1}) each->directCalls = true;
    a1->eventContext = a2->eventContext = &pageA;
    b1->eventContext = &pageB;
    for (const auto& each : {a1, a2, b1}) api->addEventHandler("ontest", each);

    api->fireEvent("ontest", FB::makeVariantVector(1));

    const size_t callsOfA = a1->directHandlerCalls.size() + a2->directHandlerCalls.size();
    ASSERT_EQ(callsOfA, 1u);
    const auto& together = a1->directHandlerCalls.empty() ? a2->directHandlerCalls[0] : a1->directHandlerCalls[0];
    EXPECT_EQ(together.size(), 2u);
    ASSERT_EQ(b1->directHandlerCalls.size(), 1u);
    EXPECT_EQ(b1->directHandlerCalls[0].size(), 1u);
    EXPECT_THAT(b1->directSinkCalls[0], ::testing::IsEmpty());
    EXPECT_EQ(host->queuedCount(), 0u);
}

TEST_F(JSAPIEventsTest, SinksReceiveEveryEventByName)
{
    auto sink = handler();
    api->addEventSinkObject(sink);
    api->addEventSinkObject(sink);
    api->fireEvent("ontest", {});
    api->fireEvent("onecho", FB::makeVariantVector(5));
    ASSERT_EQ(sink->asyncInvokes.size(), 2u);
    EXPECT_EQ(sink->asyncInvokes[0].name, "ontest");
    EXPECT_EQ(sink->asyncInvokes[1].name, "onecho");
    api->removeEventSinkObject(sink);
    api->fireEvent("ontest", {});
    EXPECT_EQ(sink->asyncInvokes.size(), 2u);
}

TEST_F(JSAPIEventsTest, DirectCallSinkIsHandedOverAsAnObjectHandler)
{
    auto sink = handler();
    sink->directCalls = true;
    api->addEventSinkObject(sink);
    api->fireEvent("onecho", FB::makeVariantVector(5));
    ASSERT_EQ(sink->directSinkCalls.size(), 1u);
    EXPECT_THAT(sink->directHandlerCalls[0], ::testing::IsEmpty());
    ASSERT_EQ(sink->directSinkCalls[0].size(), 1u);
    EXPECT_EQ(sink->directSinkCalls[0][0], sink);
    EXPECT_THAT(sink->asyncInvokes, ::testing::IsEmpty());
}

TEST_F(JSAPIEventsTest, AttributeNamedLikeTheEventIsCalled)
{
    auto onecho = handler();
    api->setProperty("onecho", onecho);  // what page script does with plugin.onecho = f
    api->invoke("echo", {"hello"});
    ASSERT_EQ(onecho->asyncInvokes.size(), 1u);
    EXPECT_EQ(onecho->asyncInvokes[0].args.at(0).cast<std::string>(), "hello");

    api->setProperty("onecho", 5);  // not a function: ignored
    EXPECT_NO_THROW(api->invoke("echo", {"again"}));
    EXPECT_EQ(onecho->asyncInvokes.size(), 1u);
}

TEST_F(JSAPIEventsTest, InvalidatedObjectFiresToNobody)
{
    auto listener = handler();
    api->addEventHandler("ontest", listener);
    api->invalidate();
    api->fireEvent("ontest", {});
    EXPECT_TRUE(listener->asyncInvokes.empty());
}

TEST_F(JSAPIEventsTest, LinkedObjectsSeeThemselvesInTheArguments)
{
    auto linked = std::make_shared<BroadcastTestAPI>();
    auto ownListener = handler(), linkedListener = handler();
    api->addEventHandler("ontest", ownListener);
    linked->addEventHandler("ontest", linkedListener);
    api->addLinkedObject(linked);

    const FB::JSAPIPtr self = api;
    api->fireEvent("ontest", FB::makeVariantVector(self)(VariantVector{self, 1})(FB::VariantDict{{"who", self}}));

    ASSERT_EQ(ownListener->asyncInvokes.size(), 1u);
    EXPECT_EQ(ownListener->asyncInvokes[0].args[0].getJSAPI(), self);
    ASSERT_EQ(linkedListener->asyncInvokes.size(), 1u);
    const VariantVector& seen = linkedListener->asyncInvokes[0].args;
    EXPECT_EQ(seen[0].getJSAPI(), linked);
    EXPECT_EQ(seen[1].getVariantVector()[0].getJSAPI(), linked);
    EXPECT_EQ(seen[1].getVariantVector()[1].cast<int>(), 1);
    EXPECT_EQ(seen[2].getVariantDict().at("who").getJSAPI(), linked);

    api->walkLinkedObjects(linked);
    api->fireEvent("ontest", {});
    EXPECT_EQ(linkedListener->asyncInvokes.size(), 1u);
}

TEST_F(JSAPIEventsTest, CycleOfLinkedObjectsFiresEachOnce)
{
    auto second = std::make_shared<BroadcastTestAPI>();
    auto third = std::make_shared<BroadcastTestAPI>();
    api->addLinkedObject(second);
    second->addLinkedObject(third);
    third->addLinkedObject(api);
    std::vector<std::shared_ptr<fbtest::PageObject>> listeners;
    for (const auto& object : {std::static_pointer_cast<FB::JSAPIAuto>(api),
             std::static_pointer_cast<FB::JSAPIAuto>(second), std::static_pointer_cast<FB::JSAPIAuto>(third)}) {
        listeners.push_back(handler());
        object->addEventHandler("ontest", listeners.back());
    }
    api->fireEvent("ontest", {});
    for (const auto& listener : listeners) EXPECT_EQ(listener->asyncInvokes.size(), 1u);
}

TEST_F(JSAPIEventsTest, ExpiredLinkedObjectsAreDropped)
{
    auto listener = handler();
    {
        auto gone = std::make_shared<BroadcastTestAPI>();
        gone->addEventHandler("ontest", listener);
        api->addLinkedObject(gone);
    }
    EXPECT_NO_THROW(api->fireEvent("ontest", {}));
    EXPECT_TRUE(listener->asyncInvokes.empty());
}

TEST_F(JSAPIEventsTest, ScriptEventObject)
{
    auto listener = handler(), attributeListener = handler();
    api->addEventHandler("onstate", listener);
    api->setProperty("onstate", attributeListener);
    api->fireScriptEvent("onstate", {{"code", 3}, {"type", "overridden"}}, FB::makeVariantVector("arg"));

    for (const auto& each : {listener, attributeListener}) {
        ASSERT_EQ(each->asyncInvokes.size(), 1u);
        const VariantVector& args = each->asyncInvokes[0].args;
        ASSERT_EQ(args.size(), 1u);
        const FB::VariantDict& event = args[0].getVariantDict();
        EXPECT_EQ(event.at("type").cast<std::string>(), "overridden");
        EXPECT_EQ(event.at("namespaceURI").cast<std::string>(), "onstate");
        EXPECT_EQ(event.at("target").getJSAPI(), api);
        EXPECT_EQ(event.at("currentTarget").getJSAPI(), api);
        EXPECT_EQ(event.at("eventPhase").cast<int>(), 2);
        EXPECT_EQ(event.at("bubbles").cast<bool>(), false);
        EXPECT_EQ(event.at("cancelable").cast<bool>(), false);
        EXPECT_EQ(event.at("code").cast<int>(), 3);
        EXPECT_EQ(event.at("arguments").getVariantVector().at(0).cast<std::string>(), "arg");
    }
}

}  // namespace
