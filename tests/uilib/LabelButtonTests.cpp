// Labels, buttons, options, check boxes and text without a window: attributes
// parsed into their fields, state images and colours painted into off-screen
// DIBs, and the GDI+ effects (where colours are, never glyph shapes).
#include "ButtonUI.h"
#include "GdiplusSession.h"
#include "MemoryCanvas.h"
#include "TextUI.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace SkinUI;

namespace {

class Painted : public ::testing::Test {
protected:
    void SetUp() override { CWindowManagerUI::SetResourcePath(L"fixtures"); }
    void TearDown() override { CWindowManagerUI::Term(); }
    // Attaches a control to the manager, applies attributes and places it at 0,0,cx,cy.
    void place(CControlUI& control, const wchar_t* attributes, int cx = 100, int cy = 40)
    {
        control.SetManager(&manager, nullptr, false);
        control.ApplyAttributeList(attributes);
        control.SetPos(RECT{0, 0, cx, cy});
    }
    uint32_t paintedAt(CControlUI& control, int x, int y, int cx = 100, int cy = 40)
    {
        MemoryCanvas canvas(cx, cy);
        control.Paint(canvas.context, RECT{0, 0, cx, cy});
        return canvas.pixel(x, y);
    }
    void event(CControlUI& control, int type, POINT pt = {50, 20})
    {
        TEventMsgUI e;
        e.Type = type;
        e.ptMouse = pt;
        control.HandleEvent(e);
    }
    CWindowManagerUI manager;
};

// Records the notifications a manager sends.
struct Recorder : INotifyUI {
    std::vector<std::wstring> seen;
    void OnNotify(TNotifyMsgUI& msg) override
    {
        seen.push_back(std::wstring(msg.sType.GetData()) + L":" + msg.pSender->GetName().GetData());
    }
};

}  // namespace

TEST(Label, AlignWordsSetExactlyTheirBits)
{
    struct Case {
        const wchar_t* attributes;
        UINT style;
    } cases[] = {
        {L"", DT_VCENTER},
        {L"align=\"left\"", DT_VCENTER | DT_LEFT},
        {L"align=\"center\"", DT_VCENTER | DT_CENTER},
        {L"align=\"center\" align=\"left\"", DT_VCENTER},
        {L"align=\"right\"", DT_RIGHT},  // right also drops DT_VCENTER and DT_SINGLELINE
        {L"align=\"top\"", DT_TOP},
        {L"align=\"bottom\"", DT_BOTTOM},
        {L"align=\"vcenter\"", DT_VCENTER | DT_CENTER},  // "vcenter" contains "center"
        {L"align=\"right bottom\"", DT_RIGHT | DT_BOTTOM},
        {L"align=\"center top\"", DT_CENTER | DT_TOP},
        {L"valign=\"top\"", DT_TOP},
        {L"valign=\"bottom\"", DT_BOTTOM},
        {L"valign=\"bottom\" valign=\"center\"", DT_VCENTER},
        {L"valign=\"vcenter\"", DT_VCENTER},
        {L"endellipsis=\"true\"", DT_VCENTER | DT_END_ELLIPSIS},
        {L"endellipsis=\"true\" endellipsis=\"false\"", DT_VCENTER},
    };
    for (const Case& c : cases) {
        CLabelUI label;
        label.ApplyAttributeList(c.attributes);
        EXPECT_EQ(c.style, label.GetTextStyle()) << c.attributes;
    }
    CButtonUI button;
    button.ApplyAttributeList(L"align=\"right\"");
    EXPECT_EQ(static_cast<UINT>(DT_RIGHT), button.GetTextStyle());  // from the button's 0x25
}

TEST(Label, AttributesReachTheirFields)
{
    CLabelUI label;
    label.ApplyAttributeList(
        L"font=\"2\" textcolor=\"#FF102030\" disabledtextcolor=\"FF405060\" textpadding=\"1,2,3,4\" showhtml=\"true\" "
        L"enabledeffect=\"true\" enabledstroke=\"true\" enabledshadow=\"true\" rhaa=\"4\" transshadow=\"10\" "
        L"transshadow1=\"11\" transtext=\"12\" transtext1=\"13\" transstroke=\"14\" gradientangle=\"30\" "
        L"gradientlength=\"40\" textcolor1=\"#FF000001\" textshadowcolora=\"#FF000002\" "
        L"textshadowcolorb=\"#FF000003\" strokecolor=\"#FF000004\" text=\"effect\"");
    EXPECT_EQ(2, label.GetFont());
    EXPECT_EQ(0xFF102030u, label.GetTextColor());
    EXPECT_EQ(0xFF405060u, label.GetDisabledTextColor());
    EXPECT_EQ(4, label.GetTextPadding().bottom);
    EXPECT_TRUE(label.IsShowHtml());
    EXPECT_TRUE(label.IsEffectsEnabled());
    EXPECT_TRUE(label.IsStrokeEnabled());
    EXPECT_TRUE(label.IsShadowEnabled());
    EXPECT_EQ(4, label.GetTextRenderingHint());
    EXPECT_EQ(10, label.GetTransShadow());
    EXPECT_EQ(11, label.GetTransShadow1());
    EXPECT_EQ(12, label.GetTransText());
    EXPECT_EQ(13, label.GetTransText1());
    EXPECT_EQ(14, label.GetTransStroke());
    EXPECT_EQ(30, label.GetGradientAngle());
    EXPECT_EQ(40, label.GetGradientLength());
    EXPECT_EQ(0xFF000001u, label.GetTextColor1());
    EXPECT_EQ(0xFF000002u, label.GetShadowColorA());
    EXPECT_EQ(0xFF000003u, label.GetShadowColorB());
    EXPECT_EQ(0xFF000004u, label.GetStrokeColor());
    // With effects on the text is the effect text; the base text stays as it was.
    EXPECT_STREQ(L"effect", label.GetText());
    EXPECT_STREQ(L"", label.CControlUI::GetText());
    CLabelUI early;  // a text given before the effects is kept
    early.ApplyAttributeList(L"text=\"first\" enabledeffect=\"true\"");
    EXPECT_STREQ(L"first", early.GetText());

    for (const wchar_t* hint : {L"rhaa=\"6\"", L"rhaa=\"-1\""}) {
        CLabelUI other;
        other.ApplyAttributeList(L"rhaa=\"3\"");
        other.ApplyAttributeList(hint);
        EXPECT_EQ(0, other.GetTextRenderingHint()) << hint;
    }
    CLabelUI shortList;
    shortList.ApplyAttributeList(L"textpadding=\"5\"");
    EXPECT_EQ(5, shortList.GetTextPadding().left);
    EXPECT_EQ(0, shortList.GetTextPadding().top);
}

TEST(Label, ShadowOffsetAtTheAngleBoundaries)
{
    // From a label at the origin: x is the top-derived value, y the left-derived one.
    struct Case {
        const wchar_t* value;
        long x, y;
    } cases[] = {
        {L"7,-180", 0, 7}, {L"7,-179", 7, 7}, {L"7,-90", 7, 0}, {L"7,-89", 7, -7}, {L"7,0", -7, -7}, {L"7,90", -7, -7},
        {L"7,91", -7, 7}, {L"7,180", -7, 7}, {L"7,181", 3, 3},  // out of range: ignored
        {L"7,-181", 3, 3}, {L"7", -7, -7},                      // a short list: the angle is 0
    };
    for (const Case& c : cases) {
        CLabelUI label;
        label.SetShadowOffset(3, -179);  // starts at 3,3
        label.SetAttribute(L"shadowoffset", c.value);
        EXPECT_EQ(c.x, label.GetShadowOffset().x) << c.value;
        EXPECT_EQ(c.y, label.GetShadowOffset().y) << c.value;
    }
}

TEST(Label, MeasuresItsFontHeightUnlessFixed)
{
    CWindowManagerUI manager;
    CLabelUI label;
    label.SetManager(&manager, nullptr, false);
    label.ApplyAttributeList(L"width=\"50\"");
    int font = manager.GetFontInfo(-1)->tm.tmHeight;
    EXPECT_EQ(50, label.MeasureSize(SIZE{200, 200}).cx);
    EXPECT_EQ(font + 4, label.MeasureSize(SIZE{200, 200}).cy);
    CButtonUI button;
    button.SetManager(&manager, nullptr, false);
    EXPECT_EQ(font + 8, button.MeasureSize(SIZE{200, 200}).cy);
    button.ApplyAttributeList(L"height=\"17\"");
    EXPECT_EQ(17, button.MeasureSize(SIZE{200, 200}).cy);
    label.SetManager(nullptr, nullptr, false);
    button.SetManager(nullptr, nullptr, false);
}

// Strings that cannot reach the heap, for as long as it is in scope.
struct StringHeapFails {
    StringHeapFails() { CUIString::FailHeapForTesting(true); }
    ~StringHeapFails() { CUIString::FailHeapForTesting(false); }
};

TEST(Label, TextThatCannotBeCopiedOrStoredReportsTheFailingOperation)
{
    const std::wstring longText(100, L'a'), longer(200, L'b');
    for (bool effects : {false, true}) {
        CLabelUI label;
        if (effects) label.SetEffectsEnabled(true);
        label.SetText(longText.c_str());
        {
            StringHeapFails fails;
            EXPECT_STREQ(L"CLabelUI::GetText", label.GetText()) << effects;
            label.SetText(L"short");  // fits without the heap
            EXPECT_STREQ(L"short", label.GetText()) << effects;
            label.SetText(longer.c_str());
            EXPECT_STREQ(L"CLabelUI::SetText", label.GetText()) << effects;
        }
        label.SetText(longer.c_str());
        EXPECT_EQ(longer, label.GetText().GetData()) << effects;
    }
}

TEST(Button, AttributesReachTheirFields)
{
    COptionUI option;
    option.ApplyAttributeList(
        L"normalimage=\"n\" hotimage=\"h\" pushedimage=\"p\" focusedimage=\"f\" disabledimage=\"d\" "
        L"hotforeimage=\"hf\" hotbkcolor=\"#FF000001\" hottextcolor=\"FF000002\" pushedtextcolor=\"#FF000003\" "
        L"focusedtextcolor=\"#FF000004\" group=\"g\" selectedimage=\"s\" selectedhotimage=\"sh\" "
        L"foreimage=\"of\" selectedbkcolor=\"#FF000005\" selectedtextcolor=\"#FF000006\" selected=\"true\"");
    EXPECT_STREQ(L"n", option.GetNormalImage());
    EXPECT_STREQ(L"h", option.GetHotImage());
    EXPECT_STREQ(L"p", option.GetPushedImage());
    EXPECT_STREQ(L"f", option.GetFocusedImage());
    EXPECT_STREQ(L"d", option.GetDisabledImage());
    EXPECT_STREQ(L"hf", option.GetHotForeImage());
    EXPECT_EQ(0xFF000001u, option.GetHotBkColor());
    EXPECT_EQ(0xFF000002u, option.GetHotTextColor());
    EXPECT_EQ(0xFF000003u, option.GetPushedTextColor());
    EXPECT_EQ(0xFF000004u, option.GetFocusedTextColor());
    EXPECT_STREQ(L"g", option.GetGroup());
    EXPECT_STREQ(L"s", option.GetSelectedImage());
    EXPECT_STREQ(L"sh", option.GetSelectedHotImage());
    EXPECT_STREQ(L"of", option.GetOptionForeImage());  // the option's own foreground
    EXPECT_STREQ(L"", option.GetForeImage());
    EXPECT_EQ(0xFF000005u, option.GetSelectedBkColor());
    EXPECT_EQ(0xFF000006u, option.GetSelectedTextColor());
    EXPECT_TRUE(option.IsSelected());
    EXPECT_EQ(static_cast<UINT>(UISTATE_SELECTED), option.GetButtonState() & UISTATE_SELECTED);

    CButtonUI button;
    button.ApplyAttributeList(L"foreimage=\"bf\"");
    EXPECT_STREQ(L"bf", button.GetForeImage());
    EXPECT_STREQ(L"OptionUI", option.GetClassName());
    EXPECT_EQ(&option, option.GetInterfaceByName(L"Option"));
    EXPECT_EQ(static_cast<CControlUI*>(&option), option.GetInterfaceByName(L"Button"));
    CCheckBoxUI check;
    EXPECT_STREQ(L"CheckBoxUI", check.GetClassName());
    CTextUI text;
    EXPECT_EQ(static_cast<UINT>(DT_WORDBREAK), text.GetTextStyle());
    EXPECT_EQ(2, text.GetTextPadding().left);
    EXPECT_EQ(2, text.GetTextPadding().right);
}

TEST_F(Painted, EachButtonStateShowsItsImage)
{
    const wchar_t* images = L"normalimage=\"red.png\" hotimage=\"green.png\" pushedimage=\"blue.png\" "
                            L"disabledimage=\"yellow.png\" focusedimage=\"cyan.png\"";
    CButtonUI button;
    place(button, images);
    EXPECT_EQ(0xFF0000u, paintedAt(button, 50, 20));
    event(button, UIEVENT_MOUSEENTER);
    EXPECT_EQ(0x00FF00u, paintedAt(button, 50, 20));
    event(button, UIEVENT_BUTTONDOWN);
    EXPECT_EQ(0x0000FFu, paintedAt(button, 50, 20));
    event(button, UIEVENT_MOUSEMOVE, POINT{500, 20});  // pushed follows the pointer
    EXPECT_EQ(0x00FF00u, paintedAt(button, 50, 20));
    event(button, UIEVENT_BUTTONUP, POINT{500, 20});
    event(button, UIEVENT_MOUSELEAVE);
    EXPECT_EQ(0xFF0000u, paintedAt(button, 50, 20));
    button.SetEnabled(false);
    EXPECT_EQ(0xFFFF00u, paintedAt(button, 50, 20));
    EXPECT_EQ(static_cast<UINT>(UISTATE_DISABLED), button.GetButtonState());

    CButtonUI hotColour;
    place(
        hotColour, L"normalimage=\"red.png\" hotbkcolor=\"#FF00FF00\" foreimage=\"file='blue.png' dest='0,0,10,10'\"");
    EXPECT_EQ(0x0000FFu, paintedAt(hotColour, 5, 5));  // the foreground over the normal image
    event(hotColour, UIEVENT_MOUSEENTER);
    EXPECT_EQ(0x00FF00u, paintedAt(hotColour, 50, 20));
    EXPECT_EQ(0x00FF00u, paintedAt(hotColour, 5, 5));  // the colour alone: no foreground
    button.SetManager(nullptr, nullptr, false);
    hotColour.SetManager(nullptr, nullptr, false);
}

TEST_F(Painted, AnImageThatFailsIsClearedAndTheNormalImageShows)
{
    CButtonUI button;
    place(button, L"normalimage=\"red.png\" hotimage=\"missing.png\"");
    event(button, UIEVENT_MOUSEENTER);
    EXPECT_EQ(0xFF0000u, paintedAt(button, 50, 20));
    EXPECT_STREQ(L"", button.GetHotImage());
    button.SetManager(nullptr, nullptr, false);
}

TEST_F(Painted, SelectedOptionShowsItsImageOrColour)
{
    COptionUI option;
    place(option, L"normalimage=\"red.png\" selectedimage=\"blue.png\" selectedhotimage=\"cyan.png\"");
    EXPECT_EQ(0xFF0000u, paintedAt(option, 50, 20));
    option.Selected(true);
    EXPECT_EQ(0x0000FFu, paintedAt(option, 50, 20));
    event(option, UIEVENT_MOUSEENTER);
    EXPECT_EQ(0x00FFFFu, paintedAt(option, 50, 20));
    event(option, UIEVENT_BUTTONDOWN);  // an option never shows a pushed image
    EXPECT_EQ(0x00FFFFu, paintedAt(option, 50, 20));

    COptionUI colour;
    place(colour, L"normalimage=\"red.png\" selectedbkcolor=\"#FF00FF00\" selected=\"true\"");
    EXPECT_EQ(0x00FF00u, paintedAt(colour, 50, 20));
    colour.SetEnabled(false);
    EXPECT_EQ(static_cast<UINT>(UISTATE_SELECTED), colour.GetButtonState());
    option.SetManager(nullptr, nullptr, false);
    colour.SetManager(nullptr, nullptr, false);
}

TEST_F(Painted, StateTextColours)
{
    // A block of solid glyphs shows the colour the text is drawn in.
    auto textColour = [&](CButtonUI& button) {
        MemoryCanvas canvas(100, 40);
        button.Paint(canvas.context, RECT{0, 0, 100, 40});
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 100; ++x)
                if (canvas.pixel(x, y) != 0xFFFFFF) return canvas.pixel(x, y);
        return 0xFFFFFFu;
    };
    CButtonUI button;
    place(button,
        L"text=\"\x2588\x2588\" textcolor=\"#FF0000FF\" hottextcolor=\"#FF00FF00\" "
        L"pushedtextcolor=\"#FFFF0000\" disabledtextcolor=\"#FF808080\"");
    EXPECT_EQ(0x0000FFu, textColour(button));
    event(button, UIEVENT_MOUSEENTER);
    EXPECT_EQ(0x00FF00u, textColour(button));
    event(button, UIEVENT_BUTTONDOWN);
    EXPECT_EQ(0xFF0000u, textColour(button));
    button.SetEnabled(false);
    EXPECT_EQ(0x808080u, textColour(button));
    COptionUI option;
    place(option, L"text=\"\x2588\x2588\" textcolor=\"#FF0000FF\" selectedtextcolor=\"#FFFF00FF\"");
    option.Selected(true);
    EXPECT_EQ(0xFF00FFu, textColour(option));
    button.SetManager(nullptr, nullptr, false);
    option.SetManager(nullptr, nullptr, false);
}

TEST_F(Painted, EffectsDrawTheStrokeAroundAndTheShadowDisplaced)
{
    auto bounds = [](const MemoryCanvas& canvas, bool (*pred)(uint32_t)) {
        RECT box = {canvas.width, canvas.height, -1, -1};
        for (int y = 0; y < canvas.height; ++y)
            for (int x = 0; x < canvas.width; ++x)
                if (pred(canvas.pixel(x, y))) {
                    box.left = std::min<long>(box.left, x);
                    box.top = std::min<long>(box.top, y);
                    box.right = std::max<long>(box.right, x);
                    box.bottom = std::max<long>(box.bottom, y);
                }
        return box;
    };
    auto dark = [](uint32_t c) { return ((c >> 16) & 0xFF) < 100 && ((c >> 8) & 0xFF) < 100 && (c & 0xFF) < 100; };
    bool (*bluish)(uint32_t) = [](uint32_t c) { return (c & 0xFF) > ((c >> 16) & 0xFF) + 60; };
    bool (*reddish)(uint32_t) = [](uint32_t c) { return ((c >> 16) & 0xFF) > (c & 0xFF) + 60; };
    manager.AddFont(L"Tahoma", 28, true, false, false);
    const wchar_t* base = L"font=\"0\" enabledeffect=\"true\" text=\"MMM\" textcolor=\"#FF000000\" transtext=\"255\" "
                          L"transtext1=\"255\" ";

    CLabelUI plain;
    place(plain, base, 200, 60);
    MemoryCanvas plainCanvas(200, 60);
    plain.Paint(plainCanvas.context, RECT{0, 0, 200, 60});
    RECT text = bounds(plainCanvas, dark);
    ASSERT_GE(text.right, text.left) << "no text drawn";
    EXPECT_EQ(1, CGdiplusSession::GetUserCount());

    // The shadow alone (transparent text), moved 10 right and 10 down.
    CLabelUI shadow;
    place(shadow,
        (std::wstring(base) +
            L"transtext=\"0\" transtext1=\"0\" enabledshadow=\"true\" "
            L"transshadow=\"255\" transshadow1=\"255\" shadowoffset=\"10,-135\"")
            .c_str(),
        200, 60);
    EXPECT_EQ(2, CGdiplusSession::GetUserCount());
    MemoryCanvas shadowCanvas(200, 60);
    shadow.Paint(shadowCanvas.context, RECT{0, 0, 200, 60});
    RECT moved = bounds(shadowCanvas, dark);
    EXPECT_NEAR(text.left + 10, moved.left, 1);
    EXPECT_NEAR(text.top + 10, moved.top, 1);

    // Red text with a blue stroke: blue pixels appear, and the drawing reaches
    // further on every side than the same text without its stroke.
    const wchar_t* redText = L"font=\"0\" enabledeffect=\"true\" text=\"MMM\" textcolor=\"#FFFF0000\" "
                             L"transtext=\"255\" transtext1=\"255\" ";
    CLabelUI unstroked;
    place(unstroked, redText, 200, 60);
    MemoryCanvas unstrokedCanvas(200, 60);
    unstroked.Paint(unstrokedCanvas.context, RECT{0, 0, 200, 60});
    CLabelUI stroke;
    place(stroke, (std::wstring(redText) + L"enabledstroke=\"true\" strokecolor=\"#FF0000FF\"").c_str(), 200, 60);
    MemoryCanvas strokeCanvas(200, 60);
    stroke.Paint(strokeCanvas.context, RECT{0, 0, 200, 60});
    auto notWhite = [](uint32_t c) { return c != 0xFFFFFF; };
    RECT inner = bounds(unstrokedCanvas, notWhite);
    RECT outer = bounds(strokeCanvas, notWhite);
    ASSERT_GE(inner.right, inner.left);
    EXPECT_EQ(0, unstrokedCanvas.countWhere(RECT{0, 0, 200, 60}, bluish));
    EXPECT_GT(strokeCanvas.countWhere(RECT{0, 0, 200, 60}, bluish), 20);
    EXPECT_GT(strokeCanvas.countWhere(RECT{0, 0, 200, 60}, reddish), 20);
    EXPECT_LT(outer.left, inner.left);
    EXPECT_LT(outer.top, inner.top);
    EXPECT_GT(outer.right, inner.right);
    EXPECT_GT(outer.bottom, inner.bottom);
    for (CLabelUI* label : {&plain, &shadow, &unstroked, &stroke}) label->SetManager(nullptr, nullptr, false);
}

TEST(GdiplusSession, OneStartForManyUsersAndShutdownWithTheLast)
{
    EXPECT_EQ(0, CGdiplusSession::GetUserCount());
    {
        auto first = std::make_unique<CLabelUI>();
        CLabelUI plain;  // a label without effects does not start GDI+
        EXPECT_EQ(0, CGdiplusSession::GetUserCount());
        first->SetEffectsEnabled(true);
        CGdiplusSession other;
        EXPECT_TRUE(other.IsReady());
        EXPECT_EQ(2, CGdiplusSession::GetUserCount());
        first.reset();
        EXPECT_EQ(1, CGdiplusSession::GetUserCount());
    }
    EXPECT_EQ(0, CGdiplusSession::GetUserCount());
    CGdiplusSession again;  // a later user starts it again
    EXPECT_TRUE(again.IsReady());
}

TEST(Option, GroupsSelectOneAtATime)
{
    CWindowManagerUI manager;
    Recorder recorder;
    manager.AddNotifier(&recorder);
    COptionUI a, b, loose;
    a.SetName(L"a");
    b.SetName(L"b");
    loose.SetName(L"loose");
    for (COptionUI* o : {&a, &b}) o->ApplyAttributeList(L"group=\"g\"");
    CControlUI parent;
    for (COptionUI* o : {&a, &b, &loose}) o->SetManager(&manager, &parent, true);
    ASSERT_NE(nullptr, manager.GetOptionGroup(L"g"));
    EXPECT_EQ(2, manager.GetOptionGroup(L"g")->GetSize());

    a.Selected(true);
    b.Selected(true);
    EXPECT_FALSE(a.IsSelected());
    EXPECT_TRUE(b.IsSelected());
    b.Selected(false);  // deselecting a grouped option sends nothing
    loose.Selected(true);
    loose.Selected(false);
    std::vector<std::wstring> expected = {
        L"selectchanged:a", L"selectchanged:b", L"selectchanged:loose", L"selectchanged:loose"};
    EXPECT_EQ(expected, recorder.seen);

    recorder.seen.clear();
    b.Selected(true);
    recorder.seen.clear();
    b.RunDefaultAction();  // the selected one clicked again: "click" only
    EXPECT_EQ(std::vector<std::wstring>{L"click:b"}, recorder.seen);
    loose.RunDefaultAction();  // without a group a click toggles
    EXPECT_TRUE(loose.IsSelected());
    b.SetGroup(L"h");
    EXPECT_EQ(1, manager.GetOptionGroup(L"g")->GetSize());
    EXPECT_EQ(1, manager.GetOptionGroup(L"h")->GetSize());
    {
        COptionUI temporary;
        temporary.ApplyAttributeList(L"group=\"h\"");
        temporary.SetManager(&manager, &parent, true);
        EXPECT_EQ(2, manager.GetOptionGroup(L"h")->GetSize());
    }
    EXPECT_EQ(1, manager.GetOptionGroup(L"h")->GetSize());  // a destroyed option leaves its group
    for (COptionUI* o : {&a, &b, &loose}) o->SetManager(nullptr, nullptr, false);
    manager.RemoveNotifier(&recorder);
}

TEST(Button, ClicksFromTheMouseAndKeysButNotWhenDisabled)
{
    CWindowManagerUI manager;
    Recorder recorder;
    manager.AddNotifier(&recorder);
    CButtonUI button;
    button.SetName(L"b");
    button.SetManager(&manager, nullptr, false);
    button.SetPos(RECT{0, 0, 100, 40});
    auto send = [&](int type, POINT pt = {50, 20}, wchar_t key = 0) {
        TEventMsgUI e;
        e.Type = type;
        e.ptMouse = pt;
        e.chKey = key;
        button.HandleEvent(e);
    };
    send(UIEVENT_BUTTONDOWN);
    send(UIEVENT_BUTTONUP);
    send(UIEVENT_BUTTONDOWN);
    send(UIEVENT_BUTTONUP, POINT{150, 20});  // released outside: no click
    send(UIEVENT_KEYDOWN, POINT{}, VK_SPACE);
    send(UIEVENT_KEYDOWN, POINT{}, VK_RETURN);
    send(UIEVENT_KEYDOWN, POINT{}, L'A');
    EXPECT_EQ(3u, recorder.seen.size());
    EXPECT_EQ(static_cast<UINT>(UIFLAG_SETCURSOR | UIFLAG_TABSTOP), button.GetInputFlags());
    button.SetEnabled(false);
    send(UIEVENT_BUTTONDOWN);
    send(UIEVENT_BUTTONUP);
    EXPECT_FALSE(button.RunDefaultAction());
    EXPECT_EQ(3u, recorder.seen.size());
    // Disabled, it keeps its tab stop while it takes the keyboard; the tab order passes it by.
    EXPECT_EQ(static_cast<UINT>(UIFLAG_TABSTOP), button.GetInputFlags());
    button.SetKeyboardEnabled(false);
    EXPECT_EQ(0u, button.GetInputFlags());
    button.SetEnabled(true);
    EXPECT_EQ(static_cast<UINT>(UIFLAG_SETCURSOR), button.GetInputFlags());
    button.SetManager(nullptr, nullptr, false);
    manager.RemoveNotifier(&recorder);
}
