// The NPAPI plug-in object's windows in the test browser (under Xvfb): the
// surface NPP_SetWindow makes, keeps, replaces and drops; windowless events
// and paints through NPP_HandleEvent; and NPN_InvalidateRect from the main
// thread, from a worker thread, and never for an instance that has gone.
#include "BrowserWindows.h"
#include "EventRecorder.h"
#include "FactoryBase.h"
#include "JSAPIAuto.h"
#include "LinkedPlugin.h"
#include "MemoryCanvas.h"
#include "PluginCore.h"
#include "PluginWindowWin.h"
#include "PluginWindowlessWin.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using TestBrowser::Browser;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A core that records the events its window sends and answers as told.
class WindowTestCore : public FB::PluginCore {
public:
    bool onPluginEvent(FB::PluginEvent* event, FB::PluginEventSource*) override
    {
        std::string line = EventRecorder::describe(event);
        events.push_back(line);
        if (auto* raw = dynamic_cast<FB::WindowsEvent*>(event); raw && rawResult) {
            *raw->result = *rawResult;
            return true;
        }
        return handles && handles(line);
    }
    std::shared_ptr<FB::JSAPI> makeScriptApi() override { return std::make_shared<FB::JSAPIAuto>(); }
    bool wantsWindowless() override { return windowless; }

    std::vector<std::string> translated() const
    {
        std::vector<std::string> lines;
        for (const auto& line : events)
            if (line.rfind("Windows(", 0) != 0) lines.push_back(line);
        return lines;
    }

    bool windowless = false;
    std::vector<std::string> events;
    std::function<bool(const std::string&)> handles;
    std::optional<intptr_t> rawResult;  // when set, every raw message is handled with it
};

std::shared_ptr<WindowTestCore> lastCore;

class WindowTestFactory : public FB::FactoryBase {
public:
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string&) override
    {
        lastCore = std::make_shared<WindowTestCore>();
        return lastCore;
    }
};

class NpapiWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown));
        embed = browser.createInstance("plugin", "application/x-window-test", {});
        ASSERT_NE(embed, nullptr);
        core = lastCore;
    }
    void TearDown() override
    {
        core.reset();
        lastCore.reset();
        browser.shutdownPlugin();
        EXPECT_THAT(browser.problems(), IsEmpty());
        EXPECT_EQ(browser.liveObjects(), 0u);
    }
    TestBrowser::Windows& windows() { return browser.windows(); }
    FB::PluginWindowWin* windowed() const { return dynamic_cast<FB::PluginWindowWin*>(core->getWindow()); }
    FB::PluginWindowlessWin* windowless() const { return dynamic_cast<FB::PluginWindowlessWin*>(core->getWindow()); }
    void startWindowless(HDC context = nullptr)
    {
        core->windowless = true;
        ASSERT_EQ(windows().setWindowless(embed, context, 100, 50, 200, 100), NPERR_NO_ERROR);
        ASSERT_NE(windowless(), nullptr);
        core->events.clear();
    }
    size_t invalidations() const { return browser.callCount("invalidaterect"); }

    Browser browser;
    TestBrowser::Instance* embed = nullptr;
    std::shared_ptr<WindowTestCore> core;
};

// ---- NPP_SetWindow --------------------------------------------------------------------------------

TEST_F(NpapiWindows, TheSameWindowKeepsItsSurfaceAnotherReplacesIt)
{
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    FB::PluginWindowWin* first = windowed();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getHWND(), windows().childOf(embed));
    EXPECT_EQ(first->getBrowserHWND(), windows().browserWindow());  // NPNVnetscapeWindow
    EXPECT_THAT(core->events, ElementsAre("Attached"));

    core->events.clear();
    ASSERT_EQ(windows().setWindowed(embed, 30, 40, 220, 110), NPERR_NO_ERROR);  // moved, same window
    EXPECT_EQ(windowed(), first);
    EXPECT_THAT(core->translated(), ElementsAre("Resized"));

    core->events.clear();
    ASSERT_EQ(windows().setWindowed(embed, 30, 40, 220, 110, true), NPERR_NO_ERROR);
    ASSERT_NE(windowed(), nullptr);
    EXPECT_EQ(windowed()->getHWND(), windows().childOf(embed));
    EXPECT_THAT(core->translated(), ElementsAre("Detached", "Attached"));  // after the old child's last messages

    // The new child's messages reach the core.
    core->events.clear();
    SendMessageW(windows().childOf(embed), WM_KEYDOWN, 65, 0);
    EXPECT_THAT(core->translated(), ElementsAre("KeyDown(84, 65, 0)"));
}

TEST_F(NpapiWindows, ANullRecordDropsTheSurface)
{
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    HWND child = windows().childOf(embed);
    core->events.clear();
    EXPECT_EQ(windows().setWindowRecord(embed, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(core->getWindow(), nullptr);
    EXPECT_THAT(core->events, ElementsAre("Detached"));
    // The child window has the browser's procedure back.
    EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(child, GWLP_WNDPROC)), &FB::PluginWindowWin::windowProc);

    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    NPWindow noWindow{};
    noWindow.type = NPWindowTypeWindow;
    EXPECT_EQ(windows().setWindowRecord(embed, &noWindow), NPERR_NO_ERROR);
    EXPECT_EQ(core->getWindow(), nullptr);
}

TEST_F(NpapiWindows, SwitchingModeSwitchesTheSurfaceKind)
{
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    ASSERT_NE(windowed(), nullptr);
    core->events.clear();
    core->windowless = true;
    MemoryCanvas canvas(400, 200);
    ASSERT_EQ(windows().setWindowless(embed, canvas.context, 100, 50, 200, 100), NPERR_NO_ERROR);
    ASSERT_NE(windowless(), nullptr);
    EXPECT_THAT(core->events, ElementsAre("Detached", "Attached"));
    EXPECT_EQ(windowless()->getBrowserHWND(), windows().netscapeWindow());
    const FB::ScreenRect clip = windowless()->getWindowClipping();
    EXPECT_EQ(clip.top, 50);
    EXPECT_EQ(clip.left, 100);
    EXPECT_EQ(clip.bottom, 150);
    EXPECT_EQ(clip.right, 300);

    core->events.clear();
    core->windowless = false;
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    ASSERT_NE(windowed(), nullptr);
    EXPECT_THAT(core->events, ElementsAre("Detached", "Attached"));
}

TEST_F(NpapiWindows, AWindowedCoreTakesNoDrawableRecordForAWindow)
{
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    core->events.clear();
    MemoryCanvas canvas(400, 200);
    EXPECT_EQ(windows().setWindowless(embed, canvas.context, 100, 50, 200, 100), NPERR_NO_ERROR);
    EXPECT_EQ(core->getWindow(), nullptr);
    EXPECT_THAT(core->events, ElementsAre("Detached"));
    EXPECT_EQ(windows().paint(embed, canvas.context, nullptr), 0);
    EXPECT_EQ(canvas.inked(0, 0, 400, 200), 0);
}

TEST_F(NpapiWindows, AWindowlessSurfaceMovesWithItsRecords)
{
    startWindowless();
    FB::PluginWindowlessWin* surface = windowless();
    ASSERT_EQ(windows().setWindowless(embed, nullptr, 100, 50, 200, 100), NPERR_NO_ERROR);
    EXPECT_THAT(core->events, IsEmpty());
    ASSERT_EQ(windows().setWindowless(embed, nullptr, 120, 50, 200, 100), NPERR_NO_ERROR);
    EXPECT_EQ(windowless(), surface);
    EXPECT_THAT(core->events, ElementsAre("Resized"));
    EXPECT_EQ(surface->getWindowRect().left, 120);
}

// ---- NPP_HandleEvent -----------------------------------------------------------------------------

TEST_F(NpapiWindows, WindowlessEventsArriveRelativeToTheDrawingArea)
{
    startWindowless();
    EXPECT_EQ(windows().sendEvent(embed, WM_LBUTTONDOWN, 0, MAKELPARAM(110, 60)), 0);
    EXPECT_EQ(windows().sendEvent(embed, WM_LBUTTONDBLCLK, 0, MAKELPARAM(110, 60)), 0);
    EXPECT_EQ(windows().sendEvent(embed, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0), 0);
    EXPECT_EQ(windows().sendEvent(embed, WM_KEYUP, 65, 0), 0);
    EXPECT_THAT(core->translated(), ElementsAre("MouseDown(0, 10, 10, 0)", "KeyUp(84, 65, 0)"));
}

TEST_F(NpapiWindows, AHandledEventAnswersItsResultWhenItFitsSixteenBits)
{
    startWindowless();
    for (auto [result, answer] :
        {std::pair<intptr_t, int16_t>{5, 5}, {-32768, -32768}, {32767, 32767}, {32768, 0}, {-40000, 0}, {70000, 0}}) {
        core->rawResult = result;
        EXPECT_EQ(windows().sendEvent(embed, WM_USER + 1, 0, 0), answer) << "result " << result;
    }
}

TEST_F(NpapiWindows, AWindowlessPaintDrawsTheDefaultPictureInTheBrowsersContext)
{
    MemoryCanvas canvas(400, 200);
    startWindowless(canvas.context);
    RECT area{100, 50, 300, 150};
    EXPECT_EQ(windows().paint(embed, canvas.context, &area), 1);
    EXPECT_THAT(core->translated(), ElementsAre("Refresh(50, 100, 150, 300)"));
    EXPECT_GT(canvas.inked(110, 80, 290, 105), 40);
    EXPECT_EQ(canvas.inked(0, 0, 400, 60), 0);

    // Without a rectangle the drawing area is repainted.
    core->events.clear();
    EXPECT_EQ(windows().paint(embed, canvas.context, nullptr), 1);
    EXPECT_THAT(core->translated(), ElementsAre("Refresh(50, 100, 150, 300)"));
}

TEST_F(NpapiWindows, AWindowedInstanceIgnoresHandleEvent)
{
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    core->events.clear();
    EXPECT_EQ(windows().sendEvent(embed, WM_LBUTTONDOWN, 0, 0), 0);
    EXPECT_THAT(core->events, IsEmpty());
}

// ---- NPN_InvalidateRect ----------------------------------------------------------------------------

TEST_F(NpapiWindows, InvalidatingOnTheMainThreadReachesTheBrowserAtOnce)
{
    startWindowless();
    windowless()->invalidateWindow();
    auto asked = windows().invalidations();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].onMainThread);
    EXPECT_EQ(asked[0].instance, &embed->npp);
    EXPECT_EQ(asked[0].rect.top, 0);
    EXPECT_EQ(asked[0].rect.left, 0);
    EXPECT_EQ(asked[0].rect.bottom, 100);
    EXPECT_EQ(asked[0].rect.right, 200);
}

TEST_F(NpapiWindows, InvalidatingFromAWorkerArrivesOnceOnTheMainThreadAfterThePump)
{
    startWindowless();
    FB::PluginWindowlessWin* surface = windowless();
    std::thread([surface] { surface->invalidateWindow(); }).join();
    EXPECT_EQ(invalidations(), 0u);
    browser.pump();
    auto asked = windows().invalidations();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].onMainThread);
    EXPECT_EQ(asked[0].rect.right, 200);
}

TEST_F(NpapiWindows, NoInvalidationArrivesForAnInstanceThatHasGone)
{
    startWindowless();
    FB::PluginWindowlessWin* surface = windowless();
    std::thread([surface] { surface->invalidateWindow(); }).join();
    browser.destroyInstance(embed);
    browser.pump();
    EXPECT_EQ(invalidations(), 0u);
}

TEST_F(NpapiWindows, NoInvalidationArrivesForASurfaceThatWasReplaced)
{
    startWindowless();
    FB::PluginWindowlessWin* surface = windowless();
    std::thread([surface] { surface->invalidateWindow(); }).join();
    windows().setWindowRecord(embed, nullptr);
    browser.pump();
    EXPECT_EQ(invalidations(), 0u);
}

}  // namespace

FB::FactoryBasePtr FB::getFactoryInstance()
{
    static FB::FactoryBasePtr factory = std::make_shared<WindowTestFactory>();
    return factory;
}
