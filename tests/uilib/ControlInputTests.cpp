// The library's controls in a real window under Xvfb, driven by SendInput:
// buttons, options, check boxes, links and the slider answer the mouse and the
// keyboard with their notifications and state images.
#include "ButtonUI.h"
#include "InputDriver.h"
#include "ProgressUI.h"
#include "TextUI.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace SkinUI;
using namespace testui;

namespace {

const wchar_t kControls[] =
    L"<Window size=\"400,240\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\" childpadding=\"10\" inset=\"10,10,10,10\">"
    L"  <HorizontalLayout height=\"40\" childpadding=\"10\">"
    L"    <Button name=\"btn\" width=\"80\" normalimage=\"red.png\" hotimage=\"green.png\" pushedimage=\"blue.png\"/>"
    L"    <Button name=\"off\" width=\"80\" enabled=\"false\" normalimage=\"red.png\" disabledimage=\"yellow.png\"/>"
    L"    <CheckBox name=\"check\" width=\"40\" normalimage=\"red.png\" selectedimage=\"blue.png\"/>"
    L"    <Option name=\"o1\" group=\"g\" width=\"50\" selected=\"true\" selectedimage=\"blue.png\"/>"
    L"    <Option name=\"o2\" group=\"g\" width=\"50\" selectedimage=\"blue.png\"/>"
    L"  </HorizontalLayout>"
    L"  <Text name=\"links\" height=\"30\" showhtml=\"true\" text=\"{a one}first link{/a} then {a two}second{/a}\"/>"
    L"  <HorizontalLayout height=\"20\"><Slider name=\"slider\" width=\"210\" bkcolor=\"#FFCCCCCC\"/><Control/>"
    L"  </HorizontalLayout>"
    L"</VerticalLayout></Window>";

class ControlInput : public WindowFixture {
protected:
    ControlInput() : WindowFixture(kControls) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        input.activate();
        frame.events.clear();
    }
    int count(const std::wstring& entry) const
    {
        return static_cast<int>(std::count(frame.events.begin(), frame.events.end(), entry));
    }
    InputDriver input{frame};
};

}  // namespace

TEST_F(ControlInput, ButtonClicksFromMouseSpaceAndReturnWithHotAndPushedImages)
{
    CControlUI* button = frame.control(L"btn");
    POINT centre = centreOf(button);
    EXPECT_EQ(0xFF0000u, printedPixel(frame, centre.x, centre.y));
    input.moveTo(centre);
    EXPECT_EQ(0x00FF00u, printedPixel(frame, centre.x, centre.y));  // hot
    input.mouse(MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(0x0000FFu, printedPixel(frame, centre.x, centre.y));  // pushed
    input.mouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(1, count(L"click:btn"));
    // The click left the focus on the button: the keys press it too.
    input.press(VK_SPACE);
    input.press(VK_RETURN);
    EXPECT_EQ(3, count(L"click:btn"));
    input.moveTo(POINT{390, 230});
    EXPECT_EQ(0xFF0000u, printedPixel(frame, centre.x, centre.y));
}

TEST_F(ControlInput, DisabledButtonIgnoresClicksAndShowsItsDisabledImage)
{
    POINT centre = centreOf(frame.control(L"off"));
    EXPECT_EQ(0xFFFF00u, printedPixel(frame, centre.x, centre.y));
    input.click(centre);
    EXPECT_EQ(0, count(L"click:off"));
    EXPECT_EQ(0xFFFF00u, printedPixel(frame, centre.x, centre.y));
}

TEST_F(ControlInput, OptionsOfAGroupAndACheckBox)
{
    auto* o1 = static_cast<COptionUI*>(frame.control(L"o1"));
    auto* o2 = static_cast<COptionUI*>(frame.control(L"o2"));
    input.click(centreOf(o2));
    EXPECT_TRUE(o2->IsSelected());
    EXPECT_FALSE(o1->IsSelected());
    EXPECT_EQ(1, count(L"selectchanged:o2"));
    EXPECT_EQ(0, count(L"selectchanged:o1"));
    frame.events.clear();
    input.click(centreOf(o2));  // the selected one again: "click" only
    EXPECT_EQ(std::vector<std::wstring>{L"click:o2"}, frame.events);
    EXPECT_TRUE(o2->IsSelected());

    auto* check = static_cast<COptionUI*>(frame.control(L"check"));
    POINT centre = centreOf(check);
    input.click(centre);
    EXPECT_TRUE(check->IsSelected());
    EXPECT_EQ(0x0000FFu, printedPixel(frame, centre.x, centre.y));
    input.click(centre);
    EXPECT_FALSE(check->IsSelected());
}

TEST_F(ControlInput, ALinkClickSendsItsIndex)
{
    auto* text = static_cast<CTextUI*>(frame.control(L"links"));
    ASSERT_EQ(2, text->GetLinkCount());  // recorded by the first paint
    RECT second = text->GetLinkRect(1);
    input.click(POINT{(second.left + second.right) / 2, (second.top + second.bottom) / 2});
    ASSERT_TRUE(pumpUntil([&] { return !frame.events.empty(); }));
    EXPECT_EQ(1, count(L"link:links:1,0"));
    EXPECT_STREQ(L"two", text->GetLinkText(1));
}

TEST_F(ControlInput, TheLinkUnderTheMouseTakesTheHoverColour)
{
    auto* text = static_cast<CTextUI*>(frame.control(L"links"));
    ASSERT_EQ(2, text->GetLinkCount());
    const RECT first = text->GetLinkRect(0), second = text->GetLinkRect(1);
    // Text is smoothed: its pixels lean to the link colour (blue) or the hover colour (0xD3215F, red).
    enum Ink { link, hover };
    auto inkOf = [&](const RECT& area, Ink ink) {
        return PrintedClient(frame).countWhere(area, [ink](uint32_t c) {
            int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            return ink == link ? b > 150 && r < 100 && g < 100 : r > 150 && g < 100 && b < 140;
        });
    };
    input.moveTo(POINT{5, 5});  // away from both
    ASSERT_TRUE(pumpUntil([&] { return inkOf(second, hover) == 0; }));
    EXPECT_GT(inkOf(first, link), 0);
    EXPECT_GT(inkOf(second, link), 0);
    input.moveTo(POINT{(second.left + second.right) / 2, (second.top + second.bottom) / 2});
    ASSERT_TRUE(pumpUntil([&] { return inkOf(second, hover) > 0; }));
    EXPECT_EQ(0, inkOf(second, link));
    EXPECT_GT(inkOf(first, link), 0);
    EXPECT_EQ(0, inkOf(first, hover));
}

TEST_F(ControlInput, SliderFollowsClicksDragsAndTheWheel)
{
    auto* slider = static_cast<CSliderUI*>(frame.control(L"slider"));
    RECT pos = slider->GetPos();  // 210 wide: 200 px of travel for a 10 px thumb
    int y = (pos.top + pos.bottom) / 2;
    input.click(POINT{pos.left + 105, y});
    EXPECT_EQ(50, slider->GetValue());
    EXPECT_EQ(1, count(L"valuechanged:slider"));
    input.drag(POINT{pos.left + 105, y}, POINT{pos.left + 45, y});
    EXPECT_EQ(20, slider->GetValue());
    EXPECT_EQ(2, count(L"valuechanged:slider"));
    slider->SetChangeStep(60);
    input.wheel(POINT{pos.left + 105, y}, 1);
    EXPECT_EQ(80, slider->GetValue());
    input.wheel(POINT{pos.left + 105, y}, 1);  // would pass the maximum: unchanged, still reported
    EXPECT_EQ(80, slider->GetValue());
    EXPECT_EQ(4, count(L"valuechanged:slider"));
}
