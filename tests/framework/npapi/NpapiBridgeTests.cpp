// The NPAPI host and script-object bridge in the test browser, with JScript
// page script on one side and a scriptable object on the other: values both
// ways, the built-in members, errors as script exceptions, callbacks through
// the page's delayed-call function on both delivery roads, reports from another
// thread, page objects held by native code, and nothing left after NP_Shutdown.
#include "BridgeTestFixture.h"
#include "BridgeTestPlugin.h"
#include "NPJavascriptObject.h"
#include "NPObjectAPI.h"
#include "ScriptPage.h"
#include "TestBrowser.h"
#include "dom/Window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

using TestBrowser::Browser;
using ::testing::IsEmpty;

namespace {

class Bridge : public BridgeTest {};

// ---- values and members from page script ---------------------------------------------

struct ScriptCase {
    std::wstring expression;
    std::wstring expected;
};

class PageScript : public Bridge, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(PageScript, Gives)
{
    EXPECT_EQ(text(GetParam().expression), GetParam().expected);
    browser.page().clearErrors();  // the failing cases leave the thrown errors on the page
}

const wchar_t* const kCatch = L"(function () { try { %s; return 'no error'; } catch (e) { return e.message; } })()";

std::wstring caught(const std::wstring& statement)
{
    std::wstring text = kCatch;
    return text.replace(text.find(L"%s"), 2, statement);
}

INSTANTIATE_TEST_SUITE_P(Values, PageScript,
    ::testing::Values(ScriptCase{L"api.add(2, 3.5)", L"5.5"}, ScriptCase{L"api.echo('h\u00e9llo')", L"h\u00e9llo"},
        ScriptCase{L"api.echo(null) === null", L"true"}, ScriptCase{L"api.echo(true)", L"true"},
        ScriptCase{L"api.echo(api) === api", L"true"},
        ScriptCase{L"api.big() + ':' + typeof api.big()", L"4000000000:string"},
        ScriptCase{L"api.neg() + ':' + typeof api.neg()", L"-5:number"},
        ScriptCase{L"api.list().join('|')", L"1|two|3.5"}, ScriptCase{L"api.dict().b", L"bee"},
        ScriptCase{L"(api.count = 4, api.count)", L"4"}, ScriptCase{L"api.version", L"1.2"},
        ScriptCase{L"api.toString()", L"<JSAPI-Auto Javascript Object>"},
        ScriptCase{L"typeof api.getLastException", L"object"}));

INSTANTIATE_TEST_SUITE_P(Errors, PageScript,
    ::testing::Values(ScriptCase{caught(L"api.fail()"), L"boom"},
        ScriptCase{caught(L"api.add = 1"), L"This property cannot be changed"},
        ScriptCase{caught(L"api.add('x')"), L"Error: Argument 2is not optional."},
        ScriptCase{caught(L"api.addEventListener('ready')"), L"Invalid Arguments"},
        ScriptCase{caught(L"api.nothing()"), L"not a function"}));

TEST_F(Bridge, LastExceptionIsTheTextOfTheMostRecentScriptError)
{
    text(caught(L"api.add = 1"));
    EXPECT_EQ(text(L"api.getLastException()"), L"This property cannot be changed");
    text(caught(L"api.fail()"));
    EXPECT_EQ(text(L"api.getLastException()"), L"boom");
    browser.page().clearErrors();
}

TEST_F(Bridge, ScriptReplacesReadOnlyAttributesAndSeesNoneAboveItsZone)
{
    plugin().api->addAttribute("fixed", FB::variant("native"), true);
    {
        FB::ZoneScope trusted(*plugin().api, 3);
        plugin().api->addAttribute("secret", FB::variant(5), false);
    }
    EXPECT_EQ(text(caught(L"api.fixed = 'page'")), L"no error");
    EXPECT_EQ(text(L"api.fixed"), L"page");
    EXPECT_EQ(text(L"typeof api.secret"), L"undefined");
    browser.page().clearErrors();
}

// What a browser that hands its own variants over sees: a result it left
// uninitialised comes back void when the value has no conversion, and a
// string without characters is empty whatever length it claims.
TEST_F(Bridge, CallResultStartsVoidAndAStringWithoutCharactersIsEmpty)
{
    plugin().api->addMethod(
        "carried", [](const FB::VariantVector&) { return FB::variant(std::make_shared<FB::script_error>("x")); });
    const NPNetscapeFuncs& np = *browser.table();
    NPVariant result;
    std::memset(&result, TestBrowser::Browser::kPoison, sizeof result);
    ASSERT_TRUE(np.invoke(&embed->npp, embed->scriptable, np.getstringidentifier("carried"), nullptr, 0, &result));
    EXPECT_EQ(result.type, NPVariantType_Void);

    NPVariant lengthOnly;
    lengthOnly.type = NPVariantType_String;
    lengthOnly.value.stringValue = NPString{nullptr, 5};
    ASSERT_TRUE(np.invoke(&embed->npp, embed->scriptable, np.getstringidentifier("echo"), &lengthOnly, 1, &result));
    ASSERT_EQ(result.type, NPVariantType_String);
    EXPECT_EQ(result.value.stringValue.UTF8Length, 0u);
    np.releasevariantvalue(&result);
}

TEST_F(Bridge, EnumerationListsTheMembersThenTheBuiltIns)
{
    std::wstring names = text(L"(function () { var n = []; for (var k in api) n.push(k); return n.join(); })()");
    EXPECT_THAT(names, ::testing::HasSubstr(L"add,"));
    EXPECT_THAT(names, ::testing::EndsWith(L"addEventListener,removeEventListener,getLastException"));
}

TEST_F(Bridge, MethodAndPropertyTestsFollowTheBuiltInRules)
{
    struct Member {
        const char* name;
        bool method;
        bool property;
    };
    // Methods with method objects are presented as properties; toString is a method only.
    const Member members[] = {{"toString", true, false}, {"addEventListener", false, true},
        {"removeEventListener", false, true}, {"getLastException", false, true}, {"add", false, true},
        {"count", false, true}};
    const NPNetscapeFuncs& np = *browser.table();
    for (const Member& m : members) {
        NPIdentifier id = np.getstringidentifier(m.name);
        EXPECT_EQ(np.hasmethod(&embed->npp, embed->scriptable, id), m.method) << m.name;
        EXPECT_EQ(np.hasproperty(&embed->npp, embed->scriptable, id), m.property) << m.name;
    }
}

TEST_F(Bridge, SameScriptableObjectGivesTheSameBrowserObjectRetainedOnceMore)
{
    NPObject* first = plugin().host->getJSAPIWrapper(plugin().api, true);
    uint32_t count = first->referenceCount;
    NPObject* second = plugin().host->getJSAPIWrapper(plugin().api, true);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->referenceCount, count + 1);
    browser.table()->releaseobject(second);
    browser.table()->releaseobject(first);
}

TEST_F(Bridge, WrapperWhoseObjectEndedIsNeverHandedBack)
{
    auto api = std::make_shared<BridgeTestAPI>();
    NPObject* first = plugin().host->getJSAPIWrapper(api, false);
    browser.table()->releaseobject(first);  // deallocated: the cache entry is dead now
    NPObject* again = plugin().host->getJSAPIWrapper(api, false);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->referenceCount, 1u);
    EXPECT_TRUE(browser.isLive(again, "the new wrapper"));
    browser.table()->releaseobject(again);
}

TEST_F(Bridge, MethodReadForEveryCallKeepsOneBrowserObjectWhileItsObjectLives)
{
    // Page script reads the method's function object afresh for every call.
    ASSERT_TRUE(browser.page().run(L"api.add(0, 1);"));
    browser.clearCalls();
    ASSERT_TRUE(browser.page().run(L"var sum = 0; for (var i = 0; i < 50; ++i) sum = api.add(sum, 1);"));
    EXPECT_EQ(text(L"sum"), L"50");
    EXPECT_EQ(browser.callCount("createobject"), 0u) << "a browser object was made for a call";
    EXPECT_EQ(text(L"api.add === api.add"), L"true");

    // The function object's browser object of an object that ended goes with it, before the instance does.
    const NPNetscapeFuncs& np = *browser.table();
    const size_t before = browser.liveObjectsOfClass(&FB::Npapi::NPJavascriptObjectClass);
    auto child = std::make_shared<BridgeTestAPI>();
    NPObject* wrapper = plugin().host->getJSAPIWrapper(child, false);
    NPVariant add;
    ASSERT_TRUE(np.getproperty(&embed->npp, wrapper, np.getstringidentifier("add"), &add));
    np.releasevariantvalue(&add);
    EXPECT_EQ(browser.liveObjectsOfClass(&FB::Npapi::NPJavascriptObjectClass), before + 2);
    np.releaseobject(wrapper);
    child.reset();
    plugin().host->releasePendingObjects();
    EXPECT_EQ(browser.liveObjectsOfClass(&FB::Npapi::NPJavascriptObjectClass), before);
}

// ---- callbacks, on both delivery roads ----------------------------------------------------

class Delivery : public BridgeOnRoad {};

TEST_P(Delivery, CallbackRunsLaterFromAPageTimer)
{
    ASSERT_TRUE(browser.page().run(L"api.later(function (v) { window.got = v; }, 'done');"));
    EXPECT_FALSE(browser.page().has(L"got")) << "ran inside the native call";
    EXPECT_TRUE(browser.pumpUntil([&] { return browser.page().has(L"got"); }));
    EXPECT_EQ(text(L"window.got"), L"done");
    EXPECT_EQ(browser.callCount("pluginthreadasynccall"), GetParam() ? 0u : 1u);
}

TEST_P(Delivery, ReportsFromAnotherThreadArriveInOrder)
{
    ASSERT_TRUE(browser.page().run(L"window.seen = []; api.fromThread(function (v) { seen.push(v); }, 40);"));
    EXPECT_TRUE(browser.pumpUntil([&] { return text(L"seen.length") == L"40"; })) << text(L"seen.length");
    std::wstring expected;
    for (int i = 0; i < 40; ++i) expected += (i ? L"," : L"") + std::to_wstring(i);
    EXPECT_EQ(text(L"seen.join()"), expected);
    plugin().api->join();
}

TEST_P(Delivery, InstanceDestroyedWhileReportsAreQueued)
{
    ASSERT_TRUE(browser.page().run(L"window.seen = []; api.fromThread(function (v) { seen.push(v); }, 200);"));
    plugin().api->join();  // every report is queued, none delivered
    browser.destroyInstance(embed);
    browser.pump();
    EXPECT_THAT(browser.page().errors(), IsEmpty());
}

TEST_P(Delivery, EventListenerGetsTheEventLater)
{
    ASSERT_TRUE(browser.page().run(L"api.addEventListener('ready', function (v) { window.ready = v; });"));
    plugin().api->fire("onready", FB::variant(5));
    EXPECT_TRUE(browser.pumpUntil([&] { return browser.page().has(L"ready"); }));
    EXPECT_EQ(text(L"window.ready"), L"5");
}

TEST_P(Delivery, EventSinkGetsEachEventLaterThroughItsMemberNamedByTheEvent)
{
    ASSERT_TRUE(browser.page().run(L"window.events = [];"
                                   L"api.sink({ name: 'sink',"
                                   L"  onready: function (v) { events.push(this.name + ' ready ' + v); },"
                                   L"  onecho: function (v) { events.push(this.name + ' echo ' + v); } });"));
    plugin().api->fire("onready", FB::variant(5));
    plugin().api->fire("onecho", FB::variant("x"));
    EXPECT_EQ(text(L"events.length"), L"0") << "a sink ran inside the native call";
    EXPECT_TRUE(browser.pumpUntil([&] { return text(L"events.length") == L"2"; })) << text(L"events.join()");
    EXPECT_EQ(text(L"events.join()"), L"sink ready 5,sink echo x");
}

INSTANTIATE_TEST_SUITE_P(Roads, Delivery, ::testing::Values(false, true),
    [](const auto& info) { return info.param ? "window_message" : "async_call_entry"; });

// ---- page objects held by native code -----------------------------------------------------

FB::JSObjectPtr pageObject(
    Bridge& test, Browser& browser, const std::wstring& expression, std::shared_ptr<FB::Npapi::NpapiBrowserHost> host)
{
    VARIANT value;
    EXPECT_TRUE(browser.page().evaluate(expression, &value));
    NPVariant np;
    browser.page().toNPVariant(value, &np);
    VariantClear(&value);
    FB::variant held = host->getVariant(&np);
    browser.table()->releasevariantvalue(&np);
    (void)test;
    return held.convertToJSObject();
}

TEST_F(Bridge, PageObjectsGetIdentitiesOnceAndKeepThem)
{
    auto host = plugin().host;
    ASSERT_TRUE(browser.page().run(L"var one = {}, two = {}, seven = { __fb_event_id: 7 };"));
    auto one = pageObject(*this, browser, L"one", host);
    auto two = pageObject(*this, browser, L"two", host);
    auto seven = pageObject(*this, browser, L"seven", host);
    const void* first = one->getObjectId();
    const void* second = two->getObjectId();
    EXPECT_EQ(reinterpret_cast<intptr_t>(second), reinterpret_cast<intptr_t>(first) + 1);
    EXPECT_EQ(text(L"one.__fb_event_id"), std::to_wstring(reinterpret_cast<intptr_t>(first)));
    browser.clearCalls();
    EXPECT_EQ(one->getObjectId(), first);
    EXPECT_EQ(browser.callCount("getproperty"), 0u) << "the identity is cached";
    EXPECT_EQ(reinterpret_cast<intptr_t>(seven->getObjectId()), 7);
}

TEST_F(Bridge, PageFunctionsAndObjectsAreCalledThroughTheBrowser)
{
    auto host = plugin().host;
    ASSERT_TRUE(browser.page().run(
        L"function twice(x) { return 2 * x; } var box = { v: 1, m: function (a) { return this.v + a; } };"));
    auto twice = pageObject(*this, browser, L"twice", host);
    auto box = pageObject(*this, browser, L"box", host);
    EXPECT_EQ(twice->invoke("", {FB::variant(21)}).convertToInt(), 42);
    EXPECT_EQ(box->invoke("m", {FB::variant(2)}).convertToInt(), 3);
    box->setProperty("v", FB::variant(10));
    EXPECT_EQ(box->getProperty("v").convertToInt(), 10);
    EXPECT_TRUE(box->hasProperty("m"));
    EXPECT_FALSE(box->hasProperty("absent"));
    EXPECT_THROW(box->invoke("absent", {}), FB::script_error);
    browser.page().clearErrors();
}

TEST_F(Bridge, PageRefusingACallGivesAScriptErrorNamingTheMember)
{
    auto window = plugin().host->windowObject()->getJSObject();
    browser.page().window().defineMethod(L"native", [](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_I4;
        result->lVal = 1;
        return S_OK;
    });
    EXPECT_EQ(window->invoke("native", {}).convertToInt(), 1);
    browser.page().window().refuse(L"native");
    try {
        window->invoke("native", {});
        ADD_FAILURE() << "a refused call must fail";
    } catch (const FB::script_error& e) {
        EXPECT_STREQ(e.what(), "native");
    }
    browser.page().clearErrors();
}

// The index test takes the road of its siblings: carried over to the main
// thread, and asking by the index's text as getPropertyIndex does.
TEST_F(Bridge, IndexTestFromAnotherThreadAsksTheBrowserOnTheMainThreadByTheIndexText)
{
    auto host = plugin().host;
    ASSERT_TRUE(browser.page().run(L"var pair = [10, 20];"));
    auto pair = pageObject(*this, browser, L"pair", host);
    browser.clearCalls();
    bool second = false, sixth = true;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        second = pair->hasPropertyIndex(1);
        sixth = pair->hasPropertyIndex(5);
        finished = true;
    });
    EXPECT_TRUE(browser.pumpUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_TRUE(second);
    EXPECT_FALSE(sixth);
    EXPECT_EQ(browser.callCount("hasproperty"), 2u);
    EXPECT_EQ(browser.callCount("getintidentifier"), 0u);
    EXPECT_EQ(pair->getPropertyIndex(1).convertToInt(), 20);
}

TEST_F(Bridge, OwnObjectComingBackIsServedWithoutTheBrowser)
{
    auto host = plugin().host;
    auto own = pageObject(*this, browser, L"api", host);
    EXPECT_EQ(own->getWrappedJSAPI(), plugin().api);
    browser.clearCalls();
    EXPECT_EQ(own->invoke("add", {FB::variant(1), FB::variant(2)}).convertToDouble(), 3.0);
    EXPECT_EQ(browser.callCount("invoke"), 0u);
}

TEST_F(Bridge, BuiltInMembersAreTheBridgesOwnFunctionObjects)
{
    using FB::Npapi::NPJavascriptObject;
    auto host = plugin().host;
    auto builtIn = [&](const wchar_t* name) { return pageObject(*this, browser, name, host)->getWrappedJSAPI(); };
    FB::JSAPIPtr add = builtIn(L"api.addEventListener");
    FB::JSAPIPtr remove = builtIn(L"api.removeEventListener");
    FB::JSAPIPtr last = builtIn(L"api.getLastException");
    EXPECT_NE(std::dynamic_pointer_cast<NPJavascriptObject::NPO_addEventListener>(add), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<NPJavascriptObject::NPO_removeEventListener>(remove), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<NPJavascriptObject::NPO_getLastException>(last), nullptr);
    // The same objects for every read: made with the bridge, not per read.
    EXPECT_EQ(builtIn(L"api.addEventListener"), add);
    EXPECT_EQ(text(L"api.addEventListener.toString()"), L"attachEvent()");
    EXPECT_EQ(text(L"api.removeEventListener.toString()"), L"detachEvent()");
}

TEST_F(Bridge, AfterHostShutdownQueriesAnswerEmptyWithoutBrowserCalls)
{
    auto host = plugin().host;
    ASSERT_TRUE(browser.page().run(L"var box = { v: 1 };"));
    auto box = pageObject(*this, browser, L"box", host);
    host->shutDownHost();
    browser.clearCalls();
    EXPECT_FALSE(box->hasProperty("v"));
    EXPECT_TRUE(box->getProperty("v").isEmpty());
    EXPECT_THROW(host->runScript("1"), std::runtime_error);
    EXPECT_FALSE(host->postMainThreadCall([](void*) {}, nullptr));
    EXPECT_EQ(browser.callCount("getproperty") + browser.callCount("hasproperty"), 0u);
}

TEST_F(Bridge, HostLetGoOnAnotherThreadLeavesItsReleasesToTheMainThread)
{
    ASSERT_TRUE(browser.page().run(L"var box = { v: 1 };"));
    std::shared_ptr<FB::Npapi::NpapiBrowserHost> host = plugin().host;
    FB::JSObjectPtr box = pageObject(*this, browser, L"box", host);
    EXPECT_EQ(browser.destroyInstance(embed), NPERR_NO_ERROR);
    std::thread([&] {
        box.reset();  // queued for the main thread
        host.reset();
    }).join();
    // TearDown: the release is made at NP_Shutdown, on the main thread, and nothing stays alive.
}

TEST_F(Bridge, PageObjectHeldByNativeCodeIsReleasedAtTeardown)
{
    ASSERT_TRUE(browser.page().run(L"api.keep({ big: 'object' }); api.keep(function () {});"));
    // TearDown proves the browser objects went back: nothing alive after NP_Shutdown.
}

}  // namespace
