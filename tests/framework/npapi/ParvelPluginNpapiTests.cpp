// npparvelplugin.dll loaded by the test browser through its exports, driven by
// JScript page script: "onload", the broadcast commands with every callback
// arriving later and in order on both delivery roads, the engine's volume
// reports from its own thread, the last exception, an instance destroyed while
// reports are queued, and two instances on one page. Every test ends with
// nothing alive after NP_Shutdown.
#include "CleanShutdown.h"
#include "ProgramPath.h"
#include "ScriptPage.h"
#include "StrevoControl.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using TestBrowser::Browser;
using ::testing::IsEmpty;

namespace {

using test_support::besideThisProgram;

const wchar_t* const kPage = L"var log = [];"
                             L"function pluginLoaded(p) { window.loadedWith = p; }"
                             L"function note(name) { return function (r) { log.push(name + ':' + r); }; }";

struct BrowserCase {
    const char* name;
    uint16_t version;
    const char* userAgent;
};

class ParvelPlugin : public ::testing::TestWithParam<BrowserCase> {
protected:
    void SetUp() override
    {
        strevo_test::reset();
        strevo_test::command("interval 0");
        TestBrowser::Config config;
        config.version = GetParam().version;
        config.userAgent = GetParam().userAgent;
        browser = std::make_unique<Browser>(config);
        ASSERT_TRUE(browser->loadPlugin(besideThisProgram(L"npparvelplugin.dll")));
        ASSERT_TRUE(browser->page().run(kPage));
        embed = browser->createInstance("plugin", "application/x-parvelplugin", {{"onload", "pluginLoaded"}});
        ASSERT_NE(embed, nullptr);
        ASSERT_TRUE(browser->pumpUntil([&] { return browser->page().has(L"loadedWith"); })) << "onload never ran";
    }
    void TearDown() override
    {
        expectCleanShutdown(*browser);
        browser.reset();
    }
    std::wstring text(const std::wstring& expression) { return browser->page().text(expression); }
    bool waitForLog(size_t entries)
    {
        return browser->pumpUntil([&] { return text(L"log.length") == std::to_wstring(entries); });
    }

    std::unique_ptr<Browser> browser;
    TestBrowser::Instance* embed = nullptr;
};

TEST_P(ParvelPlugin, OnloadHandsOverTheScriptingObject)
{
    EXPECT_EQ(text(L"window.loadedWith.version"), L"1.0.0.0");
    EXPECT_EQ(text(L"plugin.version"), L"1.0.0.0");
}

TEST_P(ParvelPlugin, BroadcastFromPageScriptWithEveryCallbackLaterAndInOrder)
{
    ASSERT_TRUE(browser->page().run(
        L"var returned = [];"
        L"returned.push(plugin.ISready(note('ready')));"
        L"returned.push(plugin.sendvideoX('Microphone', 'rtmp://127.0.0.1/live/t', '640x480', '5', note('early')));"
        L"returned.push(plugin.Cap('Integrated Camera', note('cap')));"
        L"returned.push(plugin.sendvideoX('Microphone', 'rtmp://127.0.0.1/live/t', '640x480', '5', note('send')));"
        L"returned.push(plugin.dostop(0));"
        L"returned.push(plugin.CapStop(note('capstop')));"));
    EXPECT_EQ(text(L"returned.join()"), L"0,3,0,0,0,0");
    EXPECT_EQ(text(L"log.length"), L"0") << "a callback ran inside the native call";
    ASSERT_TRUE(waitForLog(5)) << text(L"log.join()");
    EXPECT_EQ(text(L"log.join()"), L"ready:ready,early:3,cap:0,send:0,capstop:0");
    EXPECT_THAT(strevo_test::calls(), ::testing::Contains(::testing::HasSubstr("StartSend")));
}

TEST_P(ParvelPlugin, VolumeReportsFromTheEngineThreadReachThePageFunction)
{
    ASSERT_TRUE(browser->page().run(L"plugin.SetVolCb(note('vol'));"));
    for (const char* level : {"12", "48", "31"}) strevo_test::command(std::string("report ") + level);
    ASSERT_TRUE(waitForLog(3)) << text(L"log.join()");
    EXPECT_EQ(text(L"log.join()"), L"vol:12,vol:48,vol:31");
}

TEST_P(ParvelPlugin, ScriptErrorsReachThePageAndTheLastException)
{
    EXPECT_EQ(text(L"(function () { try { plugin.Cap('Integrated Camera'); } catch (e) { return e.message; } })()"),
        L"Error: Argument 2is not optional.");
    EXPECT_EQ(text(L"plugin.getLastException()"), L"Error: Argument 2is not optional.");
    browser->page().clearErrors();
}

TEST_P(ParvelPlugin, InstanceDestroyedWhileVolumeReportsAreQueued)
{
    ASSERT_TRUE(browser->page().run(L"plugin.SetVolCb(note('vol'));"));
    for (int i = 0; i < 20; ++i) strevo_test::command("report " + std::to_string(i));
    EXPECT_EQ(browser->destroyInstance(embed), NPERR_NO_ERROR);
    browser->pump();
    EXPECT_THAT(browser->page().errors(), IsEmpty());
    EXPECT_EQ(strevo_test::command("engines"), "0");
}

TEST_P(ParvelPlugin, TwoInstancesOnOnePageDriveTheirOwnEngines)
{
    TestBrowser::Instance* second = browser->createInstance("second", "application/x-parvelplugin", {});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(strevo_test::command("engines"), "2");
    // The camera started through one instance is not the other's: sending through the second finds none.
    ASSERT_TRUE(browser->page().run(
        L"var returned = [];"
        L"returned.push(plugin.Cap('Integrated Camera', note('cap1')));"
        L"returned.push(second.sendvideoX('Microphone', 'rtmp://127.0.0.1/live/t', '640x480', '5', note('send2')));"
        L"returned.push(plugin.sendvideoX('Microphone', 'rtmp://127.0.0.1/live/t', '640x480', '5', note('send1')));"
        L"plugin.SetVolCb(note('vol1')); second.SetVolCb(note('vol2'));"));
    EXPECT_EQ(text(L"returned.join()"), L"0,3,0");
    ASSERT_TRUE(waitForLog(3)) << text(L"log.join()");
    EXPECT_EQ(text(L"log.join()"), L"cap1:0,send2:3,send1:0");
    EXPECT_EQ(strevo_test::command("report 7"), "2");
    ASSERT_TRUE(waitForLog(5)) << text(L"log.join()");
    EXPECT_EQ(text(L"log.slice(3).sort().join()"), L"vol1:7,vol2:7");

    EXPECT_EQ(browser->destroyInstance(second), NPERR_NO_ERROR);
    EXPECT_EQ(strevo_test::command("engines"), "1");
    EXPECT_EQ(text(L"typeof second"), L"undefined");
    ASSERT_TRUE(browser->page().run(L"plugin.ISready(note('ready'));"));
    ASSERT_TRUE(waitForLog(6)) << text(L"log.join()");
    EXPECT_EQ(text(L"log[5]"), L"ready:ready");
}

INSTANTIATE_TEST_SUITE_P(Roads, ParvelPlugin,
    ::testing::Values(BrowserCase{"async_call_entry", 27, "Mozilla/5.0 (Windows NT 6.1; rv:52.0) Firefox/52.0"},
        BrowserCase{"safari_window_message", 27, "Mozilla/5.0 (Windows) AppleWebKit/534 Safari/534"},
        BrowserCase{"v18_window_message", 18, "Mozilla/5.0 (Windows NT 6.1; rv:2.0) Firefox/4.0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
