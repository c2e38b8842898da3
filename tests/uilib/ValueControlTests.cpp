// Progress bar and slider without a window: attributes, geometry (including
// empty and inverted ranges and a slider no longer than its thumb), the
// foreground cut versus stretched in an off-screen DIB, and the slider's
// notifications from clicks, drags and the wheel; the scroll bar's rail.
#include "MemoryCanvas.h"
#include "ProgressUI.h"
#include "ScrollBarUI.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

struct Recorder : INotifyUI {
    std::vector<std::wstring> seen;
    void OnNotify(TNotifyMsgUI& msg) override { seen.push_back(msg.sType.GetData()); }
};

std::string text(RECT r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
        std::to_string(r.bottom);
}

}  // namespace

TEST(Progress, AttributesAndDefaults)
{
    CProgressUI progress;
    EXPECT_TRUE(progress.IsHorizontal());
    EXPECT_EQ(100, progress.GetMaxValue());
    EXPECT_EQ(12, progress.GetFixedHeight());
    EXPECT_EQ(static_cast<UINT>(DT_SINGLELINE | DT_CENTER), progress.GetTextStyle());
    progress.ApplyAttributeList(
        L"foreimage=\"bar.png\" hor=\"false\" min=\"10\" max=\"60\" value=\"30\" isstretchfore=\"false\"");
    EXPECT_STREQ(L"bar.png", progress.GetForeImage());
    EXPECT_FALSE(progress.IsHorizontal());
    EXPECT_EQ(10, progress.GetMinValue());
    EXPECT_EQ(60, progress.GetMaxValue());
    EXPECT_EQ(30, progress.GetValue());
    EXPECT_FALSE(progress.IsStretchForeImage());
    progress.SetValue(61);  // outside the range: ignored
    progress.SetValue(9);
    EXPECT_EQ(30, progress.GetValue());

    CSliderUI slider;
    slider.ApplyAttributeList(L"thumbsize=\"12,14\" step=\"5\" thumbimage=\"a\" thumbhotimage=\"b\" "
                              L"thumbpushedimage=\"c\"");
    EXPECT_EQ(12, slider.GetThumbSize().cx);
    EXPECT_EQ(14, slider.GetThumbSize().cy);
    EXPECT_EQ(5, slider.GetChangeStep());
    slider.ApplyAttributeList(L"thumbsize=\"8\"");  // a short list stops at its end
    EXPECT_EQ(8, slider.GetThumbSize().cx);
    EXPECT_EQ(0, slider.GetThumbSize().cy);
    EXPECT_STREQ(L"SliderUI", slider.GetClassName());
    EXPECT_EQ(static_cast<CControlUI*>(&slider), slider.GetInterfaceByName(L"Progress"));
}

TEST(Progress, ForegroundGeometry)
{
    struct Case {
        bool horizontal;
        int min, max, value;
        RECT pos;
        const char* fore;
    } cases[] = {
        {true, 0, 100, 50, {0, 0, 200, 10}, "0,0,100,10"},
        {true, 0, 100, 100, {0, 0, 200, 10}, "0,0,200,10"},
        {true, 0, 100, 0, {0, 0, 200, 10}, "0,0,0,10"},
        {false, 0, 100, 25, {0, 0, 10, 200}, "0,150,10,200"},            // vertical fills from the bottom
        {true, 5, 5, 5, {0, 0, 200, 10}, "0,0,0,10"},                    // min = max counts as min..min+1
        {true, 7, 3, 3, {0, 0, 200, 10}, "0,0,0,10"},                    // an inverted range likewise
        {true, 0, INT_MAX, INT_MAX, {0, 0, 30000, 10}, "0,0,30000,10"},  // no overflow
        {true, INT_MIN, INT_MAX, 0, {0, 0, 30000, 10}, "0,0,15000,10"},
    };
    for (const Case& c : cases) {
        CProgressUI progress;
        progress.SetMaxValue(c.max);
        progress.SetMinValue(c.min);
        progress.SetValue(c.value);
        progress.SetHorizontal(c.horizontal);
        progress.SetPos(c.pos);
        EXPECT_EQ(c.fore, text(progress.GetForegroundRect())) << c.min << ".." << c.max << " @" << c.value;
    }
}

TEST(Progress, ForegroundIsCutOrStretched)
{
    CWindowManagerUI::SetResourcePath(L"fixtures");
    for (bool stretch : {true, false}) {
        CWindowManagerUI manager;
        CProgressUI progress;
        progress.SetManager(&manager, nullptr, false);
        progress.ApplyAttributeList(L"foreimage=\"bar.png\" value=\"25\"");
        progress.SetStretchForeImage(stretch);
        progress.SetPos(RECT{0, 0, 200, 4});
        MemoryCanvas canvas(200, 4);
        progress.Paint(canvas.context, RECT{0, 0, 200, 4});
        // 25 of 100 covers 0..50: stretched, the image's blue right half lands
        // at 25..50; cut, the image's own red left part stays at its scale.
        EXPECT_EQ(0xFF0000u, canvas.pixel(10, 2));
        EXPECT_EQ(stretch ? 0x0000FFu : 0xFF0000u, canvas.pixel(40, 2)) << stretch;
        EXPECT_EQ(0xFFFFFFu, canvas.pixel(60, 2));
        progress.SetManager(nullptr, nullptr, false);
    }
    CWindowManagerUI::Term();
}

TEST(Slider, ThumbAndPointGeometry)
{
    CSliderUI slider;
    slider.SetPos(RECT{0, 0, 110, 20});  // 100 px of travel for a 10 px thumb
    slider.SetValue(0);
    EXPECT_EQ("0,5,10,15", text(slider.GetThumbRect()));
    slider.SetValue(50);
    EXPECT_EQ("50,5,60,15", text(slider.GetThumbRect()));
    slider.SetValue(100);
    EXPECT_EQ("100,5,110,15", text(slider.GetThumbRect()));
    EXPECT_EQ(100, slider.ValueAtPoint(POINT{105, 10}));
    EXPECT_EQ(100, slider.ValueAtPoint(POINT{500, 10}));  // beyond the end: max
    EXPECT_EQ(0, slider.ValueAtPoint(POINT{5, 10}));
    EXPECT_EQ(0, slider.ValueAtPoint(POINT{-50, 10}));
    EXPECT_EQ(50, slider.ValueAtPoint(POINT{55, 10}));

    CSliderUI vertical;
    vertical.SetHorizontal(false);
    vertical.SetPos(RECT{0, 0, 20, 110});
    vertical.SetValue(0);
    EXPECT_EQ("5,100,15,110", text(vertical.GetThumbRect()));
    vertical.SetValue(100);
    EXPECT_EQ("5,0,15,10", text(vertical.GetThumbRect()));
    EXPECT_EQ(100, vertical.ValueAtPoint(POINT{10, -5}));  // max at the top
    EXPECT_EQ(0, vertical.ValueAtPoint(POINT{10, 200}));
    EXPECT_EQ(25, vertical.ValueAtPoint(POINT{10, 80}));

    CSliderUI narrow;  // no longer than its thumb: every point is the minimum
    narrow.SetMinValue(3);
    narrow.SetPos(RECT{0, 0, 10, 20});
    EXPECT_EQ(3, narrow.ValueAtPoint(POINT{9, 10}));
    EXPECT_EQ(3, narrow.ValueAtPoint(POINT{100, 10}));
    narrow.SetPos(RECT{0, 0, 4, 20});
    EXPECT_EQ(3, narrow.ValueAtPoint(POINT{2, 10}));
    EXPECT_EQ("0,5,10,15", text(narrow.GetThumbRect()));

    CSliderUI empty;  // min = max
    empty.SetMinValue(5);
    empty.SetMaxValue(5);
    empty.SetPos(RECT{0, 0, 110, 20});
    EXPECT_EQ("0,5,10,15", text(empty.GetThumbRect()));
}

TEST(Slider, ClickDragAndWheelSendValueChanged)
{
    CWindowManagerUI manager;
    Recorder recorder;
    manager.AddNotifier(&recorder);
    CSliderUI slider;
    slider.SetManager(&manager, nullptr, false);
    slider.SetPos(RECT{0, 0, 110, 20});
    auto send = [&](int type, POINT pt, WPARAM wParam = 0) {
        TEventMsgUI e;
        e.Type = type;
        e.ptMouse = pt;
        e.wParam = wParam;
        slider.HandleEvent(e);
    };
    send(UIEVENT_BUTTONDOWN, POINT{75, 10});  // a click beside the thumb moves it there
    send(UIEVENT_BUTTONUP, POINT{75, 10});
    EXPECT_EQ(70, slider.GetValue());
    EXPECT_EQ(1u, recorder.seen.size());

    send(UIEVENT_BUTTONDOWN, POINT{75, 10});  // on the thumb: a drag
    send(UIEVENT_MOUSEMOVE, POINT{35, 10});
    EXPECT_EQ(30, slider.GetValue());
    EXPECT_EQ(1u, recorder.seen.size());  // moving reports nothing yet
    send(UIEVENT_BUTTONUP, POINT{35, 10});
    EXPECT_EQ(2u, recorder.seen.size());  // the release reports the drag

    slider.SetChangeStep(40);
    send(UIEVENT_SCROLLWHEEL, POINT{35, 10}, 0);
    EXPECT_EQ(70, slider.GetValue());
    send(UIEVENT_SCROLLWHEEL, POINT{35, 10}, 0);  // past the maximum: unchanged, still reported
    EXPECT_EQ(70, slider.GetValue());
    send(UIEVENT_SCROLLWHEEL, POINT{35, 10}, 1);
    EXPECT_EQ(30, slider.GetValue());
    EXPECT_EQ(5u, recorder.seen.size());
    for (const std::wstring& type : recorder.seen) EXPECT_EQ(L"valuechanged", type);

    slider.SetEnabled(false);
    send(UIEVENT_BUTTONDOWN, POINT{100, 10});
    send(UIEVENT_BUTTONUP, POINT{100, 10});
    EXPECT_EQ(30, slider.GetValue());
    slider.SetManager(nullptr, nullptr, false);
    manager.RemoveNotifier(&recorder);
}

TEST(ScrollBar, TheRailIsASquareAtTheMiddleOfTheThumb)
{
    CWindowManagerUI::SetResourcePath(L"fixtures");
    for (bool horizontal : {false, true}) {
        CWindowManagerUI manager;
        CScrollBarUI bar;
        bar.SetManager(&manager, nullptr, false);
        bar.ApplyAttributeList(L"thumbnormalimage=\"green.png\" railnormalimage=\"red.png\"");
        bar.SetHorizontal(horizontal);
        RECT whole = horizontal ? RECT{0, 0, 200, 16} : RECT{0, 0, 16, 200};
        bar.SetPos(whole);
        bar.SetScrollRange(100);
        // The thumb spans 16..128 along the bar; its middle is 72.
        MemoryCanvas canvas(whole.right, whole.bottom);
        bar.Paint(canvas.context, whole);
        auto at = [&](int position) { return horizontal ? canvas.pixel(position, 8) : canvas.pixel(8, position); };
        EXPECT_EQ(0x00FF00u, at(20)) << horizontal;
        EXPECT_EQ(0x00FF00u, at(63)) << horizontal;
        EXPECT_EQ(0xFF0000u, at(64)) << horizontal;
        EXPECT_EQ(0xFF0000u, at(79)) << horizontal;
        EXPECT_EQ(0x00FF00u, at(80)) << horizontal;
        EXPECT_EQ(0x00FF00u, at(120)) << horizontal;
        bar.SetManager(nullptr, nullptr, false);
    }
    CWindowManagerUI::Term();
}

TEST(ScrollBar, PartsWithoutImagesAreOutlined)
{
    CWindowManagerUI manager;
    CScrollBarUI bar;
    bar.SetManager(&manager, nullptr, false);
    RECT whole = {0, 0, 16, 200};
    bar.SetPos(whole);
    bar.SetScrollRange(100);
    MemoryCanvas canvas(whole.right, whole.bottom);
    bar.Paint(canvas.context, whole);
    // Button 1 (0..16), the thumb (16..128), button 2 (184..200): a 2-pixel frame each.
    for (int top : {0, 16, 184}) {
        EXPECT_EQ(0x85E4FFu, canvas.pixel(0, top)) << top;
        EXPECT_EQ(0x85E4FFu, canvas.pixel(1, top + 1)) << top;
        EXPECT_EQ(MemoryCanvas::kWhite, canvas.pixel(8, top + 8)) << top;
    }
    bar.SetManager(nullptr, nullptr, false);
}
