// The windowless surface without a display: event translation relative to the
// drawing area, resize events, the invalidate callback, and the default
// drawing into a memory device context. Also the virtual-key table.
#include "EventRecorder.h"
#include "MemoryCanvas.h"
#include "PluginWindowlessWin.h"
#include "VirtualKeyCodes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class Windowless : public ::testing::Test {
protected:
    void SetUp() override
    {
        surface.setWindowPosition(100, 50, 200, 100);
        surface.addObserver(recorder);
        recorder->events.clear();
    }
    void TearDown() override { surface.removeObserver(recorder); }

    FB::PluginWindowlessWin surface{nullptr};
    std::shared_ptr<EventRecorder> recorder = std::make_shared<EventRecorder>();
};

// ---- translation --------------------------------------------------------------------------------

struct EventCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    const char* event;  // the translated event, or null when none
};

class WindowlessEvent : public Windowless, public ::testing::WithParamInterface<EventCase> {};

TEST_P(WindowlessEvent, TranslatesRelativeToTheDrawingArea)
{
    const EventCase& c = GetParam();
    LRESULT result = 0;
    EXPECT_FALSE(surface.handleEvent(c.message, c.wParam, c.lParam, result));
    std::vector<std::string> expected{"Windows(" + std::to_string(c.message) + ")"};
    if (c.event) expected.push_back(c.event);
    EXPECT_EQ(recorder->events, expected);

    // An observer that handles the translated event makes the answer true.
    recorder->events.clear();
    recorder->handles = [](const std::string& line) { return line.rfind("Windows", 0) != 0; };
    EXPECT_EQ(surface.handleEvent(c.message, c.wParam, c.lParam, result), c.event != nullptr);
}

INSTANTIATE_TEST_SUITE_P(Messages, WindowlessEvent,
    ::testing::Values(EventCase{"LeftDown", WM_LBUTTONDOWN, 0, MAKELPARAM(110, 60), "MouseDown(0, 10, 10, 0)"},
        EventCase{"LeftUp", WM_LBUTTONUP, 0, MAKELPARAM(100, 50), "MouseUp(0, 0, 0, 0)"},
        EventCase{"RightDown", WM_RBUTTONDOWN, 0, MAKELPARAM(99, 49), "MouseDown(1, -1, -1, 0)"},
        EventCase{"RightUp", WM_RBUTTONUP, 0, MAKELPARAM(300, 150), "MouseUp(1, 200, 100, 0)"},
        EventCase{"MiddleDown", WM_MBUTTONDOWN, 0, MAKELPARAM(105, 55), "MouseDown(2, 5, 5, 0)"},
        EventCase{"MiddleUp", WM_MBUTTONUP, 0, MAKELPARAM(105, 55), "MouseUp(2, 5, 5, 0)"},
        EventCase{"Move", WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(120, 70), "MouseMove(20, 20, 0)"},
        EventCase{"KeyDown", WM_KEYDOWN, 65, 0, "KeyDown(84, 65, 0)"},
        EventCase{"KeyUp", WM_KEYUP, VK_RETURN, 0, "KeyUp(52, 13, 0)"},
        EventCase{"DoubleClick", WM_LBUTTONDBLCLK, 0, MAKELPARAM(110, 60), nullptr},
        EventCase{"Wheel", WM_MOUSEWHEEL, MAKEWPARAM(0, -120), MAKELPARAM(110, 60), nullptr},
        EventCase{"Timer", WM_TIMER, 7, 0, nullptr}, EventCase{"Cursor", WM_SETCURSOR, 0, 0, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Windowless, AHandledRawMessageEndsItWithItsResult)
{
    recorder->handles = [](const std::string& line) { return line.rfind("Windows", 0) == 0; };
    recorder->rawResult = 42;
    LRESULT result = 0;
    EXPECT_TRUE(surface.handleEvent(WM_LBUTTONDOWN, 0, MAKELPARAM(110, 60), result));
    EXPECT_EQ(result, 42);
    EXPECT_THAT(recorder->translated(), IsEmpty());
}

TEST_F(Windowless, AnObserverThatThrowsCountsAsNotHandled)
{
    // It would handle the click, but throws first.
    recorder->handles = [](const std::string& line) { return line.rfind("MouseDown", 0) == 0; };
    recorder->throws = recorder->handles;
    LRESULT result = 0;
    EXPECT_FALSE(surface.handleEvent(WM_LBUTTONDOWN, 0, MAKELPARAM(110, 60), result));
    EXPECT_THAT(recorder->translated(), ElementsAre("MouseDown(0, 10, 10, 0)"));
}

// ---- position, clipping, invalidation ------------------------------------------------------------

TEST_F(Windowless, OnlyAChangedPositionSendsOneResize)
{
    surface.setWindowPosition(100, 50, 200, 100);
    EXPECT_THAT(recorder->events, IsEmpty());
    for (auto change : {std::array<int, 4>{101, 50, 200, 100}, {101, 51, 200, 100}, {101, 51, 201, 100},
             std::array<int, 4>{101, 51, 201, 101}}) {
        recorder->events.clear();
        surface.setWindowPosition(change[0], change[1], change[2], change[3]);
        EXPECT_THAT(recorder->events, ElementsAre("Resized"));
    }
    const FB::ScreenRect area = surface.getWindowRect();
    EXPECT_EQ(area.top, 51);
    EXPECT_EQ(area.left, 101);
    EXPECT_EQ(area.bottom, 152);
    EXPECT_EQ(area.right, 302);
    EXPECT_EQ(surface.getWindowWidth(), 201);
    EXPECT_EQ(surface.getWindowHeight(), 101);
}

TEST_F(Windowless, AnAreaPastTheRangeEndsAtItsEdgeAndANegativeExtentIsEmpty)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    struct Case {
        int32_t x, y, width, height;
        FB::ScreenRect rect;  // top, left, bottom, right
    };
    for (const Case& c : {Case{kMax - 10, kMax - 1, 100, 5, {kMax - 1, kMax - 10, kMax, kMax}},
             Case{kMin, kMin, kMax, kMax, {kMin, kMin, -1, -1}}, Case{10, 20, -5, -1, {20, 10, 20, 10}}}) {
        surface.setWindowPosition(c.x, c.y, c.width, c.height);
        const FB::ScreenRect area = surface.getWindowRect();
        EXPECT_EQ(area.top, c.rect.top);
        EXPECT_EQ(area.left, c.rect.left);
        EXPECT_EQ(area.bottom, c.rect.bottom);
        EXPECT_EQ(area.right, c.rect.right);
        EXPECT_GE(surface.getWindowWidth(), 0);
        EXPECT_GE(surface.getWindowHeight(), 0);
    }
    // A point past the end of the range from the area's origin is no point before it.
    surface.setWindowPosition(kMin, 0, kMax, 100);
    recorder->events.clear();
    LRESULT result = 0;
    surface.handleEvent(WM_MOUSEMOVE, 0, MAKELPARAM(10, 20), result);
    EXPECT_THAT(recorder->translated(), ElementsAre("MouseMove(" + std::to_string(kMax) + ", 20, 0)"));
}

TEST_F(Windowless, InvalidatingAsksTheCallbackForTheWholeArea)
{
    surface.invalidateWindow();  // no callback yet: nothing happens
    std::vector<std::array<uint32_t, 4>> asked;
    surface.setInvalidateCallback([&](uint32_t left, uint32_t top, uint32_t right, uint32_t bottom) {
        asked.push_back({left, top, right, bottom});
    });
    surface.invalidateWindow();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], (std::array<uint32_t, 4>{0, 0, 200, 100}));
}

TEST_F(Windowless, KeepsTheClipRectangleItsOwnerWrites)
{
    surface.setWindowClipping({1, 2, 3, 4});
    const FB::ScreenRect clip = surface.getWindowClipping();
    EXPECT_EQ(clip.top, 1);
    EXPECT_EQ(clip.left, 2);
    EXPECT_EQ(clip.bottom, 3);
    EXPECT_EQ(clip.right, 4);
}

// ---- drawing ----------------------------------------------------------------------------------------

TEST_F(Windowless, DrawsTheDefaultTextCentredWhenNoObserverDraws)
{
    MemoryCanvas canvas(400, 200);
    SetTextAlign(canvas.context, TA_LEFT | TA_TOP);
    EXPECT_TRUE(surface.handleDraw(canvas.context, 50, 100, 150, 300));
    EXPECT_THAT(recorder->events, ElementsAre("Refresh(50, 100, 150, 300)"));
    EXPECT_EQ(surface.getContext(), canvas.context);
    // Ink around the centre (200, 100), balanced left and right of it, none near the edges.
    const int left = canvas.inked(110, 80, 200, 105);
    const int right = canvas.inked(200, 80, 290, 105);
    EXPECT_GT(left, 20);
    EXPECT_GT(right, 20);
    EXPECT_LT(std::abs(left - right), (left + right) / 3);
    EXPECT_EQ(canvas.inked(0, 0, 400, 60), 0);
    EXPECT_EQ(canvas.inked(0, 110, 400, 200), 0);
    // The browser's context keeps its own text alignment.
    EXPECT_EQ(GetTextAlign(canvas.context), static_cast<UINT>(TA_LEFT | TA_TOP));
}

TEST_F(Windowless, AnObserverThatDrawsReplacesTheDefault)
{
    MemoryCanvas canvas(400, 200);
    recorder->handles = [](const std::string& line) { return line.rfind("Refresh", 0) == 0; };
    EXPECT_TRUE(surface.handleDraw(canvas.context, 0, 0, 200, 400));
    EXPECT_EQ(canvas.inked(0, 0, 400, 200), 0);
}

// ---- virtual keys ---------------------------------------------------------------------------------

TEST(VirtualKeyCodes, MapsTheWholeTableAndEverythingElseToUnknown)
{
    // clang-format off
    const std::map<unsigned int, unsigned int> table = {
        {1, 35}, {2, 51}, {3, 2}, {4, 36}, {8, 68}, {9, 60}, {12, 4}, {13, 52}, {16, 56}, {17, 5}, {18, 1},
        {19, 71}, {20, 3}, {27, 9}, {32, 58}, {33, 50}, {34, 49}, {35, 69}, {36, 70}, {37, 63}, {38, 61},
        {39, 64}, {40, 62}, {41, 54}, {42, 72}, {43, 10}, {44, 57}, {45, 34}, {46, 7}, {47, 33}, {91, 65},
        {92, 67}, {93, 66}, {96, 39}, {97, 40}, {98, 41}, {99, 42}, {100, 43}, {101, 44}, {102, 45},
        {103, 46}, {104, 47}, {105, 48}, {106, 37}, {107, 0}, {108, 55}, {109, 59}, {110, 6}, {111, 8},
        {112, 11}, {113, 22}, {114, 26}, {115, 27}, {116, 28}, {117, 29}, {118, 30}, {119, 31}, {120, 32},
        {121, 12}, {122, 13}, {123, 14}, {124, 15}, {125, 16}, {126, 17}, {127, 18}, {128, 19}, {129, 20},
        {130, 21}, {131, 23}, {132, 24}, {133, 25}, {144, 38}, {145, 53},
    };
    // clang-format on
    for (unsigned int key = 0; key < 300; ++key) {
        auto found = table.find(key);
        EXPECT_EQ(FB::mapVirtualKeyCode(key), found == table.end() ? 84u : found->second) << "virtual key " << key;
    }
    EXPECT_EQ(FB::mapVirtualKeyCode(0), 84u);
    EXPECT_EQ(FB::mapVirtualKeyCode(65), 84u);
    EXPECT_EQ(FB::mapVirtualKeyCode(255), 84u);
    EXPECT_EQ(FB::mapVirtualKeyCode(0xFFFFFFFFu), 84u);
}

}  // namespace
