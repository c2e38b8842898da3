// The test browser against a tiny plug-in of its own (npfakeplugin.dll): the
// table it hands over, the page's script roads in both directions, the
// main-thread queue, the delayed-call page function, and the audit catching
// each kind of fault.
#include "ProgramPath.h"
#include "ScriptPage.h"
#include "TestBrowser.h"
#include "WindowClass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

using namespace TestBrowser;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

using test_support::besideThisProgram;

std::string joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
}

class WithFakePlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(browser.loadPlugin(besideThisProgram(L"npfakeplugin.dll"))) << joined(browser.problems());
        fake = browser.createInstance("fake", "application/x-fake", {{"id", "fake"}});
        ASSERT_NE(fake, nullptr);
    }
    void TearDown() override
    {
        browser.shutdownPlugin();
        EXPECT_THAT(browser.problems(), IsEmpty());
    }
    std::wstring text(const std::wstring& expression) { return browser.page().text(expression); }

    Browser browser;
    Instance* fake = nullptr;
};

// ---- the handed-over table ------------------------------------------------------

struct TableCase {
    const char* name;
    uint16_t version;
    uint16_t size;
    std::set<std::string> missing;
};

class HandedTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(HandedTable, CarriesVersionSizeMissingEntriesAndPoison)
{
    const TableCase& c = GetParam();
    Config config;
    config.version = c.version;
    config.size = c.size;
    config.missing = c.missing;
    Browser browser(config);
    const NPNetscapeFuncs* table = browser.table();
    EXPECT_EQ(table->version, c.version);
    EXPECT_EQ(table->size, c.size);
    const auto* bytes = reinterpret_cast<const unsigned char*>(table);
    for (size_t i = c.size; i < sizeof(NPNetscapeFuncs); ++i) ASSERT_EQ(bytes[i], Browser::kPoison) << "byte " << i;
    for (const auto& name : c.missing) {
        if (name == "pluginthreadasynccall") {
            EXPECT_EQ(table->pluginthreadasynccall, nullptr);
        }
        if (name == "enumerate") {
            EXPECT_EQ(table->enumerate, nullptr);
        }
    }
    if (c.size >= NPN_ENTRY_END(uagent)) {
        EXPECT_STREQ(table->uagent(nullptr), browser.userAgent().c_str());
    }
    EXPECT_THAT(browser.problems(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Configurations, HandedTable,
    ::testing::Values(TableCase{"full", 27, sizeof(NPNetscapeFuncs), {}},
        TableCase{"v18_without_async", 18, sizeof(NPNetscapeFuncs), {"pluginthreadasynccall"}},
        TableCase{"short_before_async", 27, offsetof(NPNetscapeFuncs, pluginthreadasynccall), {}},
        TableCase{"no_enumerate", 19, sizeof(NPNetscapeFuncs), {"enumerate"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- page script into the plug-in ----------------------------------------------------

struct ScriptCase {
    const wchar_t* expression;
    const wchar_t* expected;
};

class PageCallsPlugin : public WithFakePlugin, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(PageCallsPlugin, GivesTheValueBack)
{
    ASSERT_TRUE(browser.page().run(L"var pageObject = {a: 1}; function twice(x) { return 2 * x; }"));
    EXPECT_EQ(text(GetParam().expression), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, PageCallsPlugin,
    ::testing::Values(ScriptCase{L"fake.add(2, 3)", L"5"},
        ScriptCase{L"fake.echo('h\u00e9llo \u4e16')", L"h\u00e9llo \u4e16"}, ScriptCase{L"fake.echo(1.5)", L"1.5"},
        ScriptCase{L"fake.echo(true)", L"true"}, ScriptCase{L"fake.echo(null)", L"null"},
        ScriptCase{L"fake.echo(fake) === fake", L"true"}, ScriptCase{L"fake.echo(pageObject) === pageObject", L"true"},
        ScriptCase{L"(fake.count = 7, fake.count)", L"7"},
        ScriptCase{
            L"(function () { try { fake.fail('boom'); return 'no'; } catch (e) { return e.message; } })()", L"boom"},
        ScriptCase{L"fake.evaluate('twice(21)')", L"42"}, ScriptCase{L"fake.callWindow('twice', 4)", L"8"},
        ScriptCase{L"fake.callWindow('Array').length", L"0"}, ScriptCase{L"typeof fake.nothing", L"undefined"},
        ScriptCase{L"fake.asFunction('x')", L"0"}, ScriptCase{L"fake.asFunction === fake.asFunction", L"true"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(WithFakePlugin, PageEnumeratesThePluginObject)
{
    EXPECT_EQ(text(L"(function () { var n = []; for (var k in fake) n.push(k); return n.join(); })()"),
        L"add,echo,later,burst,evaluate,callWindow,fail,userAgentOffThread,leak,count,asFunction");
}

// ---- the main-thread queue -------------------------------------------------------------

TEST_F(WithFakePlugin, AsyncCallRunsLaterOnTheMainThread)
{
    ASSERT_TRUE(browser.page().run(L"fake.later(function (v) { window.got = v; }, 42);"));
    EXPECT_FALSE(browser.page().has(L"got")) << "ran inside the native call";
    EXPECT_EQ(browser.asyncCallsQueued(), 1u);
    browser.pump();
    EXPECT_EQ(text(L"window.got"), L"42");
    auto calls = browser.calls();
    auto posted =
        std::find_if(calls.begin(), calls.end(), [](const CallRecord& c) { return c.name == "pluginthreadasynccall"; });
    ASSERT_NE(posted, calls.end());
    EXPECT_FALSE(posted->onMainThread);
}

TEST_F(WithFakePlugin, AsyncCallsAreServedWhileThePageKeepsReArmingATimer)
{
    // At the tenth run the timer has the plug-in post a call from another thread.
    ASSERT_TRUE(
        browser.page().run(L"window.spins = 0; window.limit = 2000;"
                           L"function spin() {"
                           L"  if (++spins == 10) fake.later(function () { window.spinsAtDelivery = spins; }, 0);"
                           L"  if (spins < limit) setTimeout(spin, 0);"
                           L"}"
                           L"spin();"));
    ASSERT_TRUE(browser.pumpUntil([&] { return browser.page().has(L"spinsAtDelivery"); }));
    ASSERT_LE(std::stoi(text(L"spinsAtDelivery")), 11) << "the posted call waited for the timers to stop";

    // A page that never stops re-arming does not hold the pump either.
    ASSERT_TRUE(browser.page().run(L"window.limit = Infinity; setTimeout(spin, 0); fake.later(function () {"
                                   L"  window.laterSpins = spins; }, 0);"));
    std::wstring before = text(L"spins");
    ASSERT_TRUE(browser.pumpUntil([&] { return browser.page().has(L"laterSpins"); }));
    browser.pump();
    EXPECT_NE(text(L"spins"), before);
    ASSERT_TRUE(browser.page().run(L"window.limit = 0;"));
    browser.pump();
}

DWORD handledOn = 0;

LRESULT CALLBACK probeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 1) {
        handledOn = GetCurrentThreadId();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(TestBrowserPump, DispatchesWindowMessagesPostedFromAnotherThread)
{
    Browser browser;
    test_support::registerWindowClass(L"TestBrowserPumpProbe", probeWindowProc);
    HWND window =
        CreateWindowExW(0, L"TestBrowserPumpProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    std::thread([window] { PostMessageW(window, WM_USER + 1, 0, 0); }).join();
    EXPECT_TRUE(browser.pumpUntil([] { return handledOn != 0; }));
    EXPECT_EQ(handledOn, browser.mainThread());
    DestroyWindow(window);
}

// ---- several instances on one page ----------------------------------------------------

TEST_F(WithFakePlugin, TwoInstancesAreTwoElementsWithTheirOwnObjects)
{
    Instance* second = browser.createInstance("second", "application/x-fake", {});
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(browser.page().run(L"fake.count = 1; second.count = 2;"));
    EXPECT_EQ(text(L"fake.count + ',' + second.count"), L"1,2");
    EXPECT_EQ(text(L"window.second === second"), L"true");

    // Each instance's element is its own, whatever the plug-in asks through.
    const NPNetscapeFuncs& np = *browser.table();
    for (Instance* instance : {fake, second}) {
        NPObject* element = nullptr;
        ASSERT_EQ(np.getvalue(&instance->npp, NPNVPluginElementNPObject, &element), NPERR_NO_ERROR);
        ASSERT_NE(element, nullptr);
        NPVariant id;
        ASSERT_TRUE(np.getproperty(&instance->npp, element, np.getstringidentifier("id"), &id));
        ASSERT_EQ(id.type, NPVariantType_String);
        EXPECT_EQ(std::string(id.value.stringValue.UTF8Characters, id.value.stringValue.UTF8Length), instance->id);
        np.releasevariantvalue(&id);
        np.releaseobject(element);
    }
}

TEST_F(WithFakePlugin, AnElementMadeAgainUnderTheSameIdIsTheOneScriptSees)
{
    ASSERT_TRUE(browser.page().run(L"fake.count = 1;"));
    EXPECT_EQ(browser.destroyInstance(fake), NPERR_NO_ERROR);
    EXPECT_EQ(text(L"typeof window.fake"), L"undefined") << "a destroyed instance's element left the page";
    Instance* again = browser.createInstance("fake", "application/x-fake", {});
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(text(L"fake.count"), L"0") << "the page still calls the first instance";

    // Two live elements with one id: script sees the first; destroying it uncovers the second.
    Instance* twin = browser.createInstance("fake", "application/x-fake", {});
    ASSERT_NE(twin, nullptr);
    ASSERT_TRUE(browser.page().run(L"fake.count = 5;"));
    EXPECT_EQ(browser.destroyInstance(again), NPERR_NO_ERROR);
    EXPECT_EQ(text(L"fake.count"), L"0");
    // TearDown proves that nothing of the three instances is left after NP_Shutdown.
}

// ---- the delayed-call page function, as a plug-in drives it ---------------------------

TEST_F(WithFakePlugin, DelayedCallHelperSchedulesPageCallbacksOnTimers)
{
    const char* helper =
        "window.__FB_CALL_7 = function(delay, f, args, fname) {   if (arguments.length == 3)       return "
        "setTimeout(function() { f.apply(null, args); }, delay);   else       return setTimeout(function() { "
        "f[fname].apply(f, args); }, delay);};";
    ASSERT_TRUE(browser.page().run(
        L"function adder(a, b) { window.sum = a + b; } var target = { hit: function (x) { window.hit = x; } };"));
    const NPNetscapeFuncs& np = *browser.table();
    NPP npp = &fake->npp;
    NPObject* window = nullptr;
    ASSERT_EQ(np.getvalue(npp, NPNVWindowNPObject, &window), NPERR_NO_ERROR);
    NPString script{helper, static_cast<uint32_t>(std::strlen(helper))};
    NPVariant ignored;
    ASSERT_TRUE(np.evaluate(npp, window, &script, &ignored));
    np.releasevariantvalue(&ignored);

    NPVariant delayed, adder, target, array;
    ASSERT_TRUE(np.getproperty(npp, window, np.getstringidentifier("__FB_CALL_7"), &delayed));
    ASSERT_TRUE(np.getproperty(npp, window, np.getstringidentifier("adder"), &adder));
    ASSERT_TRUE(np.getproperty(npp, window, np.getstringidentifier("target"), &target));
    ASSERT_TRUE(np.invoke(npp, window, np.getstringidentifier("Array"), nullptr, 0, &array));
    ASSERT_EQ(array.type, NPVariantType_Object);
    for (int value : {1, 2}) {
        NPVariant element, pushed;
        element.type = NPVariantType_Int32;
        element.value.intValue = value;
        ASSERT_TRUE(np.invoke(npp, array.value.objectValue, np.getstringidentifier("push"), &element, 1, &pushed));
        np.releasevariantvalue(&pushed);
    }

    NPVariant zero;
    zero.type = NPVariantType_Int32;
    zero.value.intValue = 0;
    NPVariant byFunction[] = {zero, adder, array};
    NPVariant timerId;
    ASSERT_TRUE(np.invokeDefault(npp, delayed.value.objectValue, byFunction, 3, &timerId));
    EXPECT_TRUE(timerId.type == NPVariantType_Int32 || timerId.type == NPVariantType_Double);
    NPVariant name;
    name.type = NPVariantType_String;
    name.value.stringValue = {"hit", 3};
    NPVariant byMethod[] = {zero, target, array, name};
    NPVariant secondId;
    ASSERT_TRUE(np.invokeDefault(npp, delayed.value.objectValue, byMethod, 4, &secondId));
    EXPECT_FALSE(browser.page().has(L"sum")) << "the helper must defer the call";
    browser.pump();
    EXPECT_EQ(text(L"window.sum"), L"3");
    EXPECT_EQ(text(L"window.hit"), L"1");

    for (NPVariant* v : {&delayed, &adder, &target, &array, &timerId, &secondId}) np.releasevariantvalue(v);
    np.releaseobject(window);
}

// ---- the audit ---------------------------------------------------------------------------

struct FaultCase {
    const char* name;
    std::function<void(Browser&, Instance*)> fault;
    const char* reported;
};

class AuditCatches : public ::testing::TestWithParam<FaultCase> {};

TEST_P(AuditCatches, TheFault)
{
    Browser browser;
    ASSERT_TRUE(browser.loadPlugin(besideThisProgram(L"npfakeplugin.dll")));
    Instance* fake = browser.createInstance("fake", "application/x-fake", {});
    ASSERT_NE(fake, nullptr);
    GetParam().fault(browser, fake);
    browser.shutdownPlugin();
    EXPECT_THAT(joined(browser.problems()), HasSubstr(GetParam().reported));
}

NPObject* newPlainObject(Browser& browser, Instance* instance)
{
    static NPClass plain = {NP_CLASS_STRUCT_VERSION, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
        nullptr, nullptr, nullptr, nullptr, nullptr};
    return browser.table()->createobject(&instance->npp, &plain);
}

INSTANTIATE_TEST_SUITE_P(Faults, AuditCatches,
    ::testing::Values(FaultCase{"double_release",
                          [](Browser& b, Instance* i) {
                              NPObject* o = newPlainObject(b, i);
                              b.table()->releaseobject(o);
                              b.table()->releaseobject(o);
                          },
                          "double release"},
        FaultCase{"use_after_deallocate",
            [](Browser& b, Instance* i) {
                NPObject* o = newPlainObject(b, i);
                b.table()->releaseobject(o);
                b.table()->hasproperty(&i->npp, o, b.table()->getstringidentifier("x"));
            },
            "hasproperty on a deallocated object"},
        FaultCase{"call_off_the_main_thread",
            [](Browser& b, Instance*) { b.page().text(L"fake.userAgentOffThread()"); },
            "NPN uagent called off the main thread"},
        FaultCase{"object_leaked", [](Browser& b, Instance*) { b.page().run(L"fake.leak();"); },
            "still alive after NP_Shutdown"},
        FaultCase{"block_leaked", [](Browser& b, Instance*) { b.table()->memalloc(10); },
            "1 MemAlloc blocks still held after NP_Shutdown"},
        FaultCase{"foreign_block_freed",
            [](Browser& b, Instance*) {
                static char local[4];
                b.table()->memfree(local);
            },
            "memfree of a block that memalloc did not hand out"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WithFakePlugin, CleanSessionEndsWithNothingAliveOrHeld)
{
    browser.page().run(L"fake.echo('x'); fake.echo({}); fake.later(function () {}, 'y');");
    browser.pump();
    browser.shutdownPlugin();
    EXPECT_EQ(browser.liveObjects(), 0u);
    EXPECT_EQ(browser.outstandingAllocations(), 0u);
}

}  // namespace
