// The NPAPI plug-in object's windows in the test browser (under Xvfb): the
// surface NPP_SetWindow makes, keeps, replaces and drops; windowless events
// and paints through NPP_HandleEvent; NPN_InvalidateRect from the main
// thread, from a worker thread, and never for an instance that has gone; and
// what a misbehaving core or browser does to them: a core that ends its own
// instance inside an event, one window handed to two instances, windowless
// areas at the ends of the 32-bit range.
#include "BrowserWindows.h"
#include "EventRecorder.h"
#include "BrowserRoads.h"
#include "JSAPIAuto.h"
#include "LinkedPlugin.h"
#include "MemoryCanvas.h"
#include "PluginCore.h"
#include "PluginWindowWin.h"
#include "PluginWindowlessWin.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
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

// A browser's record of a windowed element on window.
NPWindow windowedRecord(HWND window, uint32_t width, uint32_t height)
{
    NPWindow record{};
    record.window = window;
    record.width = width;
    record.height = height;
    record.type = NPWindowTypeWindow;
    return record;
}

// The factory's surfaces count themselves, so a test sees when one goes.
int liveSurfaces = 0;

template <class Surface, class Handle>
class CountedSurface : public Surface {
public:
    explicit CountedSurface(Handle handle) : Surface(handle) { ++liveSurfaces; }
    ~CountedSurface() override { --liveSurfaces; }
};

class WindowTestFactory : public FB::FactoryBase {
public:
    WindowTestFactory() : FB::FactoryBase(FB::browserRoads()) {}
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string&) override
    {
        lastCore = std::make_shared<WindowTestCore>();
        return lastCore;
    }
    FB::PluginWindowWin* makeWindowedWindow(HWND window) override
    {
        return new CountedSurface<FB::PluginWindowWin, HWND>(window);
    }
    FB::PluginWindowlessWin* makeWindowlessWindow(HDC context) override
    {
        return new CountedSurface<FB::PluginWindowlessWin, HDC>(context);
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

// ---- a core that ends its own instance inside an event ----------------------------------------------

// The core's handler ends the instance (NPP_Destroy) when it sees the event;
// the surface that sent the event stays until the event is done.
void destroyOn(Browser& browser, TestBrowser::Instance* embed, WindowTestCore& core, const std::string& prefix)
{
    core.handles = [&browser, embed, prefix](const std::string& line) {
        if (line.rfind(prefix, 0) != 0) return false;
        const int surfaces = liveSurfaces;
        EXPECT_EQ(browser.destroyInstance(embed), NPERR_NO_ERROR);
        EXPECT_EQ(liveSurfaces, surfaces) << "the surface went while it dispatched its event";
        return true;
    };
}

struct SelfDestroyCase {
    const char* name;
    UINT message;
    const char* event;  // the event whose handler ends the instance
};

class WindowlessSelfDestroy : public NpapiWindows, public ::testing::WithParamInterface<SelfDestroyCase> {};

TEST_P(WindowlessSelfDestroy, EndsTheInstanceAfterTheEventIsDone)
{
    MemoryCanvas canvas(400, 200);
    startWindowless(canvas.context);
    destroyOn(browser, embed, *core, GetParam().event);
    RECT area{100, 50, 300, 150};
    const int16_t answer = GetParam().message == WM_PAINT
        ? windows().paint(embed, canvas.context, &area)
        : windows().sendEvent(embed, GetParam().message, 65, MAKELPARAM(110, 60));
    EXPECT_EQ(answer, GetParam().message == WM_PAINT ? 1 : 0);
    EXPECT_EQ(liveSurfaces, 0);
    EXPECT_TRUE(embed->destroyed);
    EXPECT_EQ(embed->npp.pdata, nullptr);
    EXPECT_EQ(core->getWindow(), nullptr);
    EXPECT_EQ(core->events.back(), "Detached");
    // The browser may go on calling the handlers it has; the instance is gone for them.
    EXPECT_EQ(windows().sendEvent(embed, WM_LBUTTONDOWN, 0, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Events, WindowlessSelfDestroy,
    ::testing::Values(SelfDestroyCase{"mouse_down", WM_LBUTTONDOWN, "MouseDown"},
        SelfDestroyCase{"key_down", WM_KEYDOWN, "KeyDown"}, SelfDestroyCase{"raw_message", WM_USER + 7, "Windows"},
        SelfDestroyCase{"paint", WM_PAINT, "Refresh"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NpapiWindows, AWindowedCoreEndsItsInstanceInsideAMessageToItsWindow)
{
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    HWND child = windows().childOf(embed);
    destroyOn(browser, embed, *core, "MouseDown");
    SendMessageW(child, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(liveSurfaces, 0);
    EXPECT_TRUE(embed->destroyed);
    EXPECT_EQ(core->getWindow(), nullptr);
    EXPECT_EQ(core->events.back(), "Detached");
    EXPECT_FALSE(IsWindow(child));  // the browser took the element's window away meanwhile
}

TEST_F(NpapiWindows, AWindowedCoreEndsItsInstanceWhileItsWindowStays)
{
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    HWND child = windows().childOf(embed);
    // The browser keeps the window (a second instance stands on it), so it goes on receiving messages.
    TestBrowser::Instance* other = browser.createInstance("other", "application/x-window-test", {});
    ASSERT_NE(other, nullptr);
    std::shared_ptr<WindowTestCore> otherCore = lastCore;
    NPWindow shared = windowedRecord(child, 200, 100);
    ASSERT_EQ(windows().setWindowRecord(other, &shared), NPERR_NO_ERROR);
    destroyOn(browser, other, *otherCore, "KeyDown");
    SendMessageW(child, WM_KEYDOWN, 65, 0);
    EXPECT_EQ(liveSurfaces, 1);
    EXPECT_TRUE(other->destroyed);
    // The window is served again by the surface that was on it before.
    core->events.clear();
    EXPECT_EQ(SendMessageW(child, WM_GETDLGCODE, 0, 0), 135);
    SendMessageW(child, WM_KEYDOWN, 66, 0);
    EXPECT_THAT(core->translated(), ElementsAre("KeyDown(84, 66, 0)"));
}

// ---- one window handed to two instances --------------------------------------------------------------

struct SharedWindowCase {
    const char* name;
    bool olderLetsGo;  // else the newer one
    bool destroyed;    // the instance ends, else NPP_SetWindow(null) takes its window away
};

class SharedWindow : public NpapiWindows, public ::testing::WithParamInterface<SharedWindowCase> {};

TEST_P(SharedWindow, TheOtherInstanceKeepsServingIt)
{
    const SharedWindowCase& c = GetParam();
    ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    HWND child = windows().childOf(embed);
    const auto browserProc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(child, GCLP_WNDPROC));
    TestBrowser::Instance* newer = browser.createInstance("newer", "application/x-window-test", {});
    ASSERT_NE(newer, nullptr);
    std::shared_ptr<WindowTestCore> newerCore = lastCore;
    NPWindow shared = windowedRecord(child, 200, 100);
    ASSERT_EQ(windows().setWindowRecord(newer, &shared), NPERR_NO_ERROR);

    // The test browser's window belongs to the older instance's element: ending that one would take it away.
    TestBrowser::Instance* leaving = c.olderLetsGo ? embed : newer;
    TestBrowser::Instance* staying = c.olderLetsGo ? newer : embed;
    std::shared_ptr<WindowTestCore> stayingCore = c.olderLetsGo ? newerCore : core;
    if (c.destroyed) {
        ASSERT_FALSE(c.olderLetsGo);
        ASSERT_EQ(browser.destroyInstance(leaving), NPERR_NO_ERROR);
    } else {
        ASSERT_EQ(windows().setWindowRecord(leaving, nullptr), NPERR_NO_ERROR);
    }

    auto servedByStayingCore = [&](WPARAM key) {
        stayingCore->events.clear();
        EXPECT_EQ(SendMessageW(child, WM_GETDLGCODE, 0, 0), 135);
        SendMessageW(child, WM_KEYDOWN, key, 0);
        EXPECT_THAT(stayingCore->translated(), ElementsAre("KeyDown(84, " + std::to_string(key) + ", 0)"));
    };
    servedByStayingCore(65);
    // The stayer's next record for the same window keeps its surface, and it still hears the window.
    if (staying == embed)
        ASSERT_EQ(windows().setWindowed(embed, 10, 20, 200, 100), NPERR_NO_ERROR);
    else
        ASSERT_EQ(windows().setWindowRecord(newer, &shared), NPERR_NO_ERROR);
    servedByStayingCore(66);

    // When the last surface goes, the window has the browser's procedure back.
    ASSERT_EQ(windows().setWindowRecord(staying, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(child, GWLP_WNDPROC)), browserProc);
    EXPECT_EQ(SendMessageW(child, WM_GETDLGCODE, 0, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Leaving, SharedWindow,
    ::testing::Values(SharedWindowCase{"older_drops_its_window", true, false},
        SharedWindowCase{"newer_drops_its_window", false, false}, SharedWindowCase{"newer_ends", false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- windowless areas at the ends of the 32-bit range -------------------------------------------------

struct ExtremeAreaCase {
    const char* name;
    int32_t x, y;
    uint32_t width, height;
    FB::ScreenRect rect;    // top, left, bottom, right
    uint16_t repaintRight;  // of the whole-area repaint request
    uint16_t repaintBottom;
};

class ExtremeArea : public NpapiWindows, public ::testing::WithParamInterface<ExtremeAreaCase> {};

TEST_P(ExtremeArea, KeepsItsEdgesInOrderAndItsRepaintWithinNPRect)
{
    const ExtremeAreaCase& c = GetParam();
    core->windowless = true;
    NPWindow record{};
    record.x = c.x;
    record.y = c.y;
    record.width = c.width;
    record.height = c.height;
    record.type = NPWindowTypeDrawable;
    ASSERT_EQ(windows().setWindowRecord(embed, &record), NPERR_NO_ERROR);
    ASSERT_NE(windowless(), nullptr);
    const FB::ScreenRect rect = windowless()->getWindowRect();
    EXPECT_EQ(rect.top, c.rect.top);
    EXPECT_EQ(rect.left, c.rect.left);
    EXPECT_EQ(rect.bottom, c.rect.bottom);
    EXPECT_EQ(rect.right, c.rect.right);
    EXPECT_GE(windowless()->getWindowWidth(), 0);
    EXPECT_GE(windowless()->getWindowHeight(), 0);

    windows().clearInvalidations();
    windowless()->invalidateWindow();
    auto asked = windows().invalidations();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rect.left, 0);
    EXPECT_EQ(asked[0].rect.top, 0);
    EXPECT_EQ(asked[0].rect.right, c.repaintRight);
    EXPECT_EQ(asked[0].rect.bottom, c.repaintBottom);

    // A paint without a rectangle repaints the whole area, whose edges stay in order.
    core->events.clear();
    MemoryCanvas canvas(40, 20);
    EXPECT_EQ(windows().paint(embed, canvas.context, nullptr), 1);
    FB::RefreshEvent whole(c.rect.top, c.rect.left, c.rect.bottom, c.rect.right);
    EXPECT_THAT(core->translated(), ElementsAre(EventRecorder::describe(&whole)));
}

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

INSTANTIATE_TEST_SUITE_P(Areas, ExtremeArea,
    ::testing::Values(ExtremeAreaCase{"beyond_sixteen_bits", 0, 0, 70000, 70000, {0, 0, 70000, 70000}, 65535, 65535},
        ExtremeAreaCase{"all_ones_width", 5, 7, 0xFFFFFFFFu, 10, {7, 5, 17, kMax}, 65535, 10},
        ExtremeAreaCase{"half_the_range_from_the_left_end", kMin, 0, 0x80000000u, 20, {0, kMin, 20, -1}, 65535, 20},
        ExtremeAreaCase{"at_the_right_end", kMax - 4, kMax - 4, 10, 10, {kMax - 4, kMax - 4, kMax, kMax}, 10, 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NpapiWindows, AClickFarRightOfAnAreaAtTheLeftEndIsNoNegativePoint)
{
    core->windowless = true;
    NPWindow record{};
    record.x = kMin;
    record.width = 0x80000000u;
    record.height = 100;
    record.type = NPWindowTypeDrawable;
    ASSERT_EQ(windows().setWindowRecord(embed, &record), NPERR_NO_ERROR);
    core->events.clear();
    windows().sendEvent(embed, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 20));
    EXPECT_THAT(core->translated(), ElementsAre("MouseDown(0, " + std::to_string(kMax) + ", 20, 0)"));
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
