#include "BrowserHost.h"
#include "TestBrowserHost.h"
#include "TestPage.h"
#include "JSAPIAuto.h"
#include "PluginEvents.h"
#include "PluginFactory.h"
#include "PluginWindow.h"
#include "StrevoControl.h"
#include "parvelplugin.h"
#include "parvelpluginAPI.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using FB::variant;
using FB::VariantVector;

constexpr char mimeType[] = "application/x-parvelplugin";

// What a page call received, in a form that compares and prints well.
std::string describe(const VariantVector& args)
{
    std::string text;
    for (const variant& value : args) {
        if (!text.empty()) text += ",";
        if (value.is_of_type<std::wstring>())
            text += "L" + value.convertToString();
        else
            text += value.convertToString();
    }
    return text;
}

// One plug-in instance over a test browser host and page.
class PluginInstance {
public:
    PluginInstance()
    {
        core = pluginFactorySingleton()->makePluginCore(mimeType);
        core->setHost(host);
        api = core->scriptApiObject();
    }
    ~PluginInstance()
    {
        host->shutDownHost();
        core.reset();
    }

    variant invoke(const std::string& name, const VariantVector& args) { return api->invoke(name, args); }

    std::string errorOf(const std::string& name, const VariantVector& args)
    {
        try {
            invoke(name, args);
            return "no error";
        } catch (const FB::script_error& e) {
            return e.what();
        } catch (const std::runtime_error& e) {
            return e.what();  // a callback whose page is gone
        }
    }

    // Lets the main thread deliver what was queued, then lets the page's timers
    // fire; returns the page calls of `function` since the last time, described.
    std::vector<std::string> deliveredTo(const std::string& function)
    {
        host->pump();
        page->runTimers();
        std::vector<std::string> seen;
        for (const fbtest::PageCall& call : page->calls)
            if (call.function == function) seen.push_back(describe(call.args));
        std::erase_if(page->calls, [&](const fbtest::PageCall& call) { return call.function == function; });
        return seen;
    }

    std::shared_ptr<fbtest::TestBrowserHost> host = std::make_shared<fbtest::TestBrowserHost>();
    std::shared_ptr<fbtest::TestPage> page = host->attachPage();
    FB::JSObjectPtr callback = page->function("callback");
    FB::PluginCorePtr core;
    FB::JSAPIPtr api;
};

class ParvelPluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        strevo_test::reset();
        strevo_test::command("interval 0");
    }
    PluginInstance plugin;
};

TEST_F(ParvelPluginTest, ArgumentChecksRefuseBeforeTheControllerRuns)
{
    const std::wstring cam = L"cam";
    struct Case {
        const char* member;
        VariantVector args;
        const char* error;
    };
    const Case cases[] = {
        {"sendvideoX", {}, "Error: Argument 5is not optional."},
        {"sendvideoX", {L"mic", L"rtmp://x", L"640x480", L"1"}, "Error: Argument 5is not optional."},
        {"Cap", {cam}, "Error: Argument 2is not optional."},
        {"Cap", {cam, variant(), 3}, "Too many arguments, expected 2."},
        {"dostop", {}, "Error: Argument 1is not optional."},
        {"TestVolCb", {}, "Error: Argument 1is not optional."},
        {"ISready", {}, "Error: Argument 1is not optional."},
        {"CapStop", {}, "Error: Argument 1is not optional."},
        {"LogPrintf", {}, "Error: Argument 1is not optional."},
        {"SetVolCb", {variant(), 2}, "Too many arguments, expected 1."},
        {"echo", {1, 2}, "Too many arguments, expected 1."},
        {"TestVolCb", {L"loud"}, "Invalid argument conversion from std::wstring to long at index 1"},
        {"nosuch", {}, "The specified member does not exist: nosuch"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plugin.errorOf(c.member, c.args), c.error) << c.member << " with " << c.args.size();
    EXPECT_TRUE(strevo_test::calls().empty()) << "no engine operation ran";
}

TEST_F(ParvelPluginTest, CommandsReturnTheirResultAndCallBackLaterOnTheMainThread)
{
    const variant cb = plugin.callback;
    struct Step {
        const char* refuse;  // engine operation refused for this step, or nullptr
        const char* member;
        VariantVector args;
        int result;
        std::vector<std::string> delivered;
    };
    const Step steps[] = {
        {nullptr, "sendvideoX", {L"mic", L"rtmp://host/live", L"640x480", L"3", cb}, 3, {"3"}},
        {nullptr, "CapStop", {cb}, 0, {"0"}}, {"refuse StartCapture", "Cap", {L"cam", cb}, 1, {"1"}},
        {nullptr, "Cap", {L"cam", cb}, 0, {"0"}}, {nullptr, "Cap", {L"cam", cb}, 2, {"2"}},
        {"refuse StartSend", "sendvideoX", {L"mic", L"rtmp://host/live", L"640x480", L"3", cb}, 1, {"1"}},
        {nullptr, "sendvideoX", {L"mic", L"rtmp://host/live", L"640x480", L"3", cb}, 0, {"0"}},
        {nullptr, "sendvideoX", {L"mic", L"rtmp://host/live", L"640x480", L"3", cb}, 2, {"2"}},
        {nullptr, "CapStop", {cb}, 0, {"2"}},  // busy while sending: only the callback says so
        {nullptr, "dostop", {7}, 0, {}}, {"refuse StopCapture", "CapStop", {cb}, 0, {"1"}},
        {nullptr, "CapStop", {cb}, 0, {"0"}}, {nullptr, "ISready", {cb}, 0, {"Lready,0"}},
        {nullptr, "Cap", {L"cam", variant()}, 0, {}},  // no callback: nothing is delivered
    };
    for (const Step& step : steps) {
        if (step.refuse) strevo_test::command(step.refuse);
        variant result = plugin.invoke(step.member, step.args);
        EXPECT_EQ(result.convertToInt(), step.result) << step.member;
        EXPECT_TRUE(plugin.page->calls.empty()) << step.member << ": the callback never runs inside the call";
        EXPECT_EQ(plugin.deliveredTo("callback"), step.delivered) << step.member;
    }
    const std::vector<std::string> sends = {
        "StartSend mic|rtmp://host/live|640x480|3", "StartSend mic|rtmp://host/live|640x480|3"};
    std::vector<std::string> engineSends;
    for (const std::string& line : strevo_test::calls())
        if (line.rfind("StartSend", 0) == 0) engineSends.push_back(line);
    EXPECT_EQ(engineSends, sends) << "the four texts reach the engine in script order";
}

TEST_F(ParvelPluginTest, LogLinesGoToTheLogCallback)
{
    auto logged = plugin.page->function("logged");
    EXPECT_EQ(plugin.invoke("LogPrintf", {logged}).convertToInt(), 0);
    plugin.invoke("Cap", {L"cam", variant()});
    plugin.invoke("dostop", {0});
    std::vector<std::string> lines = plugin.deliveredTo("logged");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Cap is succeed"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("SendStop is failed"), std::string::npos) << lines[1];
}

TEST_F(ParvelPluginTest, EchoGivesTheValueBackAndCountsInOnecho)
{
    auto onecho = plugin.page->function("onecho");
    plugin.api->setProperty("onecho", onecho);
    const variant values[] = {variant(L"hi"), variant(41), variant(plugin.callback)};
    for (const variant& value : values) {
        variant back = plugin.invoke("echo", {value});
        EXPECT_EQ(back.getType(), value.getType());
        EXPECT_FALSE(back < value || value < back) << "the same value (and the same object) comes back";
    }
    EXPECT_TRUE(plugin.invoke("echo", {}).isEmpty());
    EXPECT_EQ(plugin.deliveredTo("onecho"),
        (std::vector<std::string>{"So far, you clicked this many times: ,0", "So far, you clicked this many times: ,1",
            "So far, you clicked this many times: ,2", "So far, you clicked this many times: ,3"}));
}

TEST_F(ParvelPluginTest, TestEventFiresOntestWhateverItsArguments)
{
    auto ontest = plugin.page->function("ontest");
    plugin.api->setProperty("ontest", ontest);
    EXPECT_TRUE(plugin.invoke("testEvent", {}).isEmpty());
    plugin.invoke("testEvent", {1, L"two"});
    EXPECT_EQ(plugin.deliveredTo("ontest"), (std::vector<std::string>{"", ""}));
}

TEST_F(ParvelPluginTest, PropertiesVersionIsReadOnlyAndTestStringReadsBack)
{
    EXPECT_EQ(plugin.api->getProperty("version").convertToString(), "1.0.0.0");
    EXPECT_NO_THROW(plugin.api->setProperty("version", "2.0"));
    EXPECT_EQ(plugin.api->getProperty("version").convertToString(), "1.0.0.0");
    EXPECT_EQ(plugin.api->getProperty("testString").convertToString(), "");
    plugin.api->setProperty("testString", L"gr\u00fc\u00dfe");
    EXPECT_EQ(plugin.api->getProperty("testString").convertToWString(), L"gr\u00fc\u00dfe");
}

TEST_F(ParvelPluginTest, EngineVolumeReportsReachThePageInOrderOnTheMainThread)
{
    auto volume = plugin.page->function("volume");
    EXPECT_EQ(plugin.invoke("SetVolCb", {volume}).convertToInt(), 0);
    for (int level : {5, 17, 3})
        strevo_test::command("report " + std::to_string(level));  // from the engine's own thread
    EXPECT_EQ(plugin.invoke("TestVolCb", {99}).convertToInt(), 0);
    EXPECT_TRUE(plugin.page->calls.empty());
    EXPECT_EQ(plugin.deliveredTo("volume"), (std::vector<std::string>{"5", "17", "3", "99"}));
    for (const fbtest::PageCall& call : plugin.page->calls) EXPECT_EQ(call.thread, GetCurrentThreadId());
}

TEST_F(ParvelPluginTest, ReportsAfterThePageIsGoneAreDropped)
{
    auto volume = plugin.page->function("volume");
    plugin.invoke("SetVolCb", {volume});
    plugin.host->shutDownHost();
    strevo_test::command("report 8");  // queueing is refused: dropped on the engine thread
    EXPECT_EQ(plugin.invoke("TestVolCb", {1}).convertToInt(), 0);
    EXPECT_TRUE(plugin.deliveredTo("volume").empty());
}

TEST_F(ParvelPluginTest, CallbackWhoseHostIsGoneFailsTheCommandAndDropsReports)
{
    FB::JSObjectPtr stale;
    {
        auto other = std::make_shared<fbtest::TestBrowserHost>();
        stale = other->attachPage()->function("stale");
        other->page.reset();
    }
    plugin.invoke("SetVolCb", {stale});
    strevo_test::command("report 9");  // dropped on the engine thread, which goes on
    EXPECT_EQ(plugin.errorOf("TestVolCb", {1}), "Cannot invoke asynchronously");
    EXPECT_EQ(plugin.errorOf("Cap", {L"cam", stale}), "Cannot invoke asynchronously");
    EXPECT_EQ(plugin.invoke("Cap", {L"cam", variant()}).convertToInt(), 2) << "the camera did start";
}

TEST_F(ParvelPluginTest, TwoInstancesHaveTheirOwnEnginesAndShareTheFactory)
{
    EXPECT_EQ(pluginFactorySingleton(), pluginFactorySingleton());
    EXPECT_EQ(FB::getFactoryInstance(), std::static_pointer_cast<FB::FactoryBase>(pluginFactorySingleton()));
    PluginInstance second;
    EXPECT_NE(second.api, plugin.api);
    EXPECT_EQ(strevo_test::command("engines"), "2");
    EXPECT_EQ(plugin.invoke("Cap", {L"cam", variant()}).convertToInt(), 0);
    EXPECT_EQ(second.invoke("Cap", {L"cam", variant()}).convertToInt(), 0) << "the first camera is not this one's";
    EXPECT_EQ(plugin.invoke("Cap", {L"cam", variant()}).convertToInt(), 2);
}

TEST_F(ParvelPluginTest, OnloadRunsLaterWithTheScriptingObject)
{
    auto loaded = plugin.page->function("pluginLoaded");
    plugin.core->setParams({{"onload", variant("pluginLoaded")}, {"windowless", variant("true")}});
    EXPECT_TRUE(plugin.core->getParamValue("onload").is_of_type<FB::JSObjectPtr>());
    EXPECT_FALSE(plugin.core->wantsWindowless()) << "the plug-in always asks for a window";
    EXPECT_TRUE(plugin.core->markReady());
    ASSERT_EQ(plugin.page->timers.size(), 1u);
    EXPECT_EQ(plugin.page->timers[0].delayMs, 250);
    EXPECT_TRUE(plugin.page->calls.empty());
    plugin.page->runTimers();
    ASSERT_EQ(plugin.page->calls.size(), 1u);
    ASSERT_EQ(plugin.page->calls[0].args.size(), 1u);
    EXPECT_EQ(plugin.page->calls[0].args[0].convertToJSAPI(), plugin.api);
}

TEST_F(ParvelPluginTest, MouseAndWindowEventsAreNotConsumed)
{
    struct Window : FB::PluginWindow {
        void invalidateWindow() override {}
        FB::ScreenRect getWindowRect() override { return {}; }
        int getWindowWidth() override { return 0; }
        int getWindowHeight() override { return 0; }
        FB::ScreenRect getWindowClipping() override { return {}; }
    };
    auto window = std::make_shared<Window>();
    FB::PluginEventSource notAWindow;
    plugin.core->setWindow(window.get());
    FB::MouseDownEvent down(FB::MouseButtonEvent::Left, 1, 1);
    FB::MouseUpEvent up(FB::MouseButtonEvent::Left, 1, 1);
    FB::MouseMoveEvent move(2, 2);
    EXPECT_FALSE(window->dispatchEvent(&down));
    EXPECT_FALSE(window->dispatchEvent(&up));
    EXPECT_FALSE(window->dispatchEvent(&move));
    EXPECT_FALSE(plugin.core->onPluginEvent(&up, &notAWindow));
    EXPECT_THROW(plugin.core->onPluginEvent(&down, &notAWindow), std::bad_cast);
    plugin.core->clearWindow();
}

}  // namespace
