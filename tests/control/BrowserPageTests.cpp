// Plexhost.FlashX in a page that pumps messages like a browser's: the test
// browser's JScript page creates the registered control with ActiveXObject, and
// the browser's pump serves the volume reports that the engine thread sends
// into the page's apartment. (Wine's cscript has no message loop and no
// WScript.Sleep, so a cscript page only receives those reports by chance.)
//
// A page that drops the control inside its own volume callback, and callbacks
// that call the control again from inside their delivery.
#include "CallbackNesting.h"
#include "RegisteredControl.h"
#include "ScriptPage.h"
#include "StrevoControl.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>

using TestBrowser::Browser;
using ::testing::IsEmpty;

namespace {

// Ends the program when a test hangs, so that a deadlock fails the run instead
// of stalling it until the suite's time-out.
class Watchdog {
public:
    explicit Watchdog(DWORD limitMs) : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = std::thread([this, limitMs] {
            if (WaitForSingleObject(done_, limitMs) != WAIT_TIMEOUT) return;
            const auto* test = testing::UnitTest::GetInstance()->current_test_info();
            std::fprintf(stderr, "FAIL: %s hung for %lu ms\n", test ? test->name() : "?", limitMs);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        });
    }
    ~Watchdog()
    {
        SetEvent(done_);
        thread_.join();
        CloseHandle(done_);
    }

private:
    HANDLE done_;
    std::thread thread_;
};

class PlexhostPage : public testing::Test {
protected:
    void SetUp() override
    {
        strevo_test::reset();
        strevo_test::command("interval 0");
        browser = std::make_unique<Browser>();
    }
    void TearDown() override
    {
        browser->page().run(L"CollectGarbage();");
        browser.reset();
        EXPECT_EQ(strevo_test::command("engines"), "0");
        strevo_test::command("interval 200");
    }
    bool run(const std::wstring& script) { return browser->page().run(script); }
    std::wstring text(const std::wstring& expression) { return browser->page().text(expression); }

    Watchdog watchdog{30000};
    std::unique_ptr<Browser> browser;
};

const wchar_t* const kSending = L"x.Cap('Camera 1', null);"
                                L"x.sendvideoX('Microphone 1', 'rtmp://127.0.0.1/live', '640x480', '1', null);";

TEST_F(PlexhostPage, DroppingTheControlInsideItsOwnVolumeCallback)
{
    ASSERT_TRUE(run(L"var n = 0, late = 0;"
                    L"var x = new ActiveXObject('Plexhost.FlashX');"
                    L"x.SetVolCb(function (v) {"
                    L"    if (x === null) { late++; return; }"
                    L"    if (++n == 3) { x = null; CollectGarbage(); }"
                    L"});"))
        << testing::PrintToString(browser->page().errors());
    strevo_test::command("interval 5");
    ASSERT_TRUE(run(kSending));
    ASSERT_TRUE(browser->pumpUntil([&] { return text(L"n") == L"3" && strevo_test::command("engines") == "0"; }))
        << "n = " << text(L"n") << ", engines = " << strevo_test::command("engines");
    browser->pumpUntil([] { return false; }, 100);
    EXPECT_EQ(text(L"late"), L"0") << "a report reached the page after it dropped the control";
    EXPECT_THAT(browser->page().errors(), IsEmpty());
}

TEST_F(PlexhostPage, DroppingTheControlFromATimerStillStopsTheEngineAtOnce)
{
    ASSERT_TRUE(run(L"var n = 0, late = 0;"
                    L"var x = new ActiveXObject('Plexhost.FlashX');"
                    L"x.SetVolCb(function (v) {"
                    L"    if (x === null) { late++; return; }"
                    L"    if (++n == 3) setTimeout(function () { x = null; CollectGarbage(); window.dropped = 1; }, 0);"
                    L"});"));
    strevo_test::command("interval 5");
    ASSERT_TRUE(run(kSending));
    ASSERT_TRUE(browser->pumpUntil([&] { return browser->page().has(L"dropped"); }));
    EXPECT_EQ(strevo_test::command("engines"), "0") << "the engine outlived a release outside any report";
    EXPECT_EQ(text(L"late"), L"0");
}

// Callbacks are called inside the command that answers them, so a callback that
// calls the control again nests one level deeper each time.
struct NestingCase {
    const char* name;
    const wchar_t* script;  // sets depth (callbacks run) and answers (innermost first)
};

class NestedCallbacks : public PlexhostPage, public testing::WithParamInterface<NestingCase> {};

TEST_P(NestedCallbacks, StopAtTheBoundWithAFailureAndNoCallback)
{
    ASSERT_TRUE(run(L"var depth = 0, answers = [];"
                    L"var g = new ActiveXObject('Plexhost.FlashX'), h = new ActiveXObject('Plexhost.FlashX');"));
    ASSERT_TRUE(run(GetParam().script)) << testing::PrintToString(browser->page().errors());
    int bound = Plexhost::CallbackNesting::kMaxDepth;
    EXPECT_EQ(text(L"depth"), std::to_wstring(bound));
    EXPECT_EQ(text(L"answers.length"), std::to_wstring(bound + 1));
    EXPECT_EQ(text(L"answers[0]"), L"1") << "the refused command answers its failure code";
    EXPECT_EQ(text(L"answers.slice(1).join('')"), std::wstring(bound, L'0'));
    // Nothing is left nested: the controls still answer.
    EXPECT_EQ(text(L"(function () { var r = []; g.ISready(function (t, c) { r.push(t, c); }); return r.join(); })()"),
        L"ready,0");
    EXPECT_EQ(text(L"h.ISready(null)"), L"0");
}

INSTANTIATE_TEST_SUITE_P(Plexhost, NestedCallbacks,
    testing::Values(NestingCase{"ready_callback_asks_again",
                        L"function cb() { depth++; answers.push(g.ISready(cb)); } answers.push(g.ISready(cb));"},
        NestingCase{"log_line_stops_again",
            L"g.LogPrintf(function () { depth++; answers.push(g.dostop(0)); }); answers.push(g.dostop(0));"},
        NestingCase{"two_controls_answer_each_other",
            L"function a() { depth++; answers.push(h.ISready(b)); }"
            L"function b() { depth++; answers.push(g.ISready(a)); }"
            L"answers.push(g.ISready(a));"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

const testing::Environment* const registered = testing::AddGlobalTestEnvironment(new RegisteredControl);
