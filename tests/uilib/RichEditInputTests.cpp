// The rich edit control in a real window under Xvfb over the system's text
// services: typed Unicode text, Return and Ctrl+Return turned into "return",
// Tab kept, read-only, hidden and disabled controls, the auto-shown scroll bar,
// the wheel, the text colour and SetText. A second run with the services'
// library disabled checks the control without them.
#include "ButtonUI.h"
#include "InputDriver.h"
#include "RichEditUI.h"
#include "ScrollBarUI.h"
#include "TextHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace SkinUI;
using namespace testui;

namespace {

// Wraps into many more lines than a 40-pixel view shows.
#define TALL_TEXT                                                                                                      \
    "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen seventeen "      \
    "eighteen nineteen twenty one two three four five six seven eight nine ten eleven twelve thirteen fourteen "       \
    "fifteen sixteen seventeen eighteen nineteen twenty"

const wchar_t kEditors[] =
    L"<Window size=\"400,300\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\" childpadding=\"10\" inset=\"10,10,10,10\">"
    L"  <RichEdit name=\"plain\" height=\"40\" wantreturn=\"false\" wanttab=\"false\" rich=\"false\"/>"
    L"  <RichEdit name=\"lines\" height=\"60\" vscrollbar=\"true\" autovscroll=\"true\" wantctrlreturn=\"false\"/>"
    L"  <HorizontalLayout height=\"30\" childpadding=\"10\">"
    L"    <RichEdit name=\"tabby\" width=\"150\"/>"
    L"    <RichEdit name=\"fixed\" width=\"100\" readonly=\"true\" text=\"fixed\"/>"
    L"    <Button name=\"after\" width=\"50\"/>"
    L"  </HorizontalLayout>"
    L"  <HorizontalLayout height=\"40\" childpadding=\"10\">"
    L"    <RichEdit name=\"red\" width=\"100\" textcolor=\"#FFFF0000\" text=\"MMMM WWWW\"/>"
    L"    <RichEdit name=\"tall\" vscrollbar=\"true\" text=\"" TALL_TEXT "\"/>"
    L"  </HorizontalLayout>"
    L"</VerticalLayout></Window>";

class RichEditInput : public WindowFixture {
protected:
    RichEditInput() : WindowFixture(kEditors) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        input.activate();
        frame.events.clear();
    }
    CRichEditUI* edit(const wchar_t* name) { return static_cast<CRichEditUI*>(frame.control(name)); }
    int count(const std::wstring& entry) const
    {
        return static_cast<int>(std::count(frame.events.begin(), frame.events.end(), entry));
    }
    void layoutAndPaint()
    {
        InvalidateRect(frame, nullptr, FALSE);
        UpdateWindow(frame);
        pump(4);
    }
    InputDriver input{frame};
};

}  // namespace

TEST_F(RichEditInput, TypedUnicodeTextReachesGetText)
{
    CRichEditUI* plain = edit(L"plain");
    ASSERT_TRUE(plain->HasTextServices());
    input.click(centreOf(plain));
    EXPECT_EQ(plain, frame.control(L"root")->GetManager()->GetFocus());
    input.type(L"h\x00e9llo \x4e16\x754c");
    EXPECT_STREQ(L"h\x00e9llo \x4e16\x754c", plain->GetText());
}

TEST_F(RichEditInput, ReturnItDoesNotWantBecomesTheNotification)
{
    CRichEditUI* plain = edit(L"plain");
    input.click(centreOf(plain));
    input.type(L"ab");
    input.press(VK_RETURN);
    EXPECT_EQ(1, count(L"return:plain"));
    EXPECT_STREQ(L"ab", plain->GetText());

    CRichEditUI* lines = edit(L"lines");  // takes Return, not Ctrl+Return
    input.click(centreOf(lines));
    input.type(L"x");
    input.press(VK_RETURN);
    input.type(L"y");
    EXPECT_EQ(0, count(L"return:lines"));
    EXPECT_STREQ(L"x\ry", lines->GetText());
    input.chord(VK_CONTROL, VK_RETURN);
    EXPECT_EQ(1, count(L"return:lines"));
    EXPECT_STREQ(L"x\ry", lines->GetText());
}

TEST_F(RichEditInput, TabStaysInARichEditThatWantsIt)
{
    CRichEditUI* tabby = edit(L"tabby");
    CWindowManagerUI* manager = tabby->GetManager();
    input.click(centreOf(tabby));
    input.type(L"a");
    input.press(VK_TAB);
    input.type(L"b");
    EXPECT_EQ(tabby, manager->GetFocus());
    EXPECT_STREQ(L"a\tb", tabby->GetText());

    CRichEditUI* plain = edit(L"plain");  // wanttab="false": Tab moves on
    input.click(centreOf(plain));
    input.press(VK_TAB);
    EXPECT_NE(plain, manager->GetFocus());
    EXPECT_STREQ(L"", plain->GetText());
}

TEST_F(RichEditInput, ReadOnlyRefusesTyping)
{
    CRichEditUI* fixed = edit(L"fixed");
    input.click(centreOf(fixed));
    input.type(L"zz");
    EXPECT_STREQ(L"fixed", fixed->GetText());
}

TEST_F(RichEditInput, HiddenOrDisabledTakesNoMessages)
{
    CRichEditUI* plain = edit(L"plain");
    input.click(centreOf(plain));
    for (int step = 0; step < 2; ++step) {
        if (step == 0)
            plain->SetEnabled(false);
        else
            plain->SetVisible(false);
        bool handled = false;
        plain->FilterMessage(WM_CHAR, L'q', 0, handled);
        EXPECT_FALSE(handled);
        plain->FilterMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(20, 20), handled);
        EXPECT_FALSE(handled);
        PostMessageW(frame, WM_CHAR, L'q', 0);
        pump(3);
        EXPECT_STREQ(L"", plain->GetText());
        plain->SetEnabled(true);
        plain->SetVisible(true);
    }
}

TEST_F(RichEditInput, TallTextShowsTheBarAtTheTopAndShorterTextHidesIt)
{
    CRichEditUI* tall = edit(L"tall");
    CScrollBarUI* bar = tall->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    layoutAndPaint();
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_GT(bar->GetScrollRange(), 0);
    RECT pos = tall->GetPos();
    EXPECT_EQ(pos.right, bar->GetPos().right);  // the bar stands at the right of the text

    // The wheel goes to the services only with Ctrl; without it the container
    // scrolls through its bar.
    bool handled = false;
    POINT screen = centreOf(tall);
    ClientToScreen(frame, &screen);
    tall->FilterMessage(
        WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(screen.x, screen.y), handled);
    EXPECT_FALSE(handled);
    input.wheel(centreOf(tall), -2);
    layoutAndPaint();
    EXPECT_GT(bar->GetScrollPos(), 0);
    tall->FilterMessage(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-WHEEL_DELTA)),
        MAKELPARAM(screen.x, screen.y), handled);
    EXPECT_TRUE(handled);

    tall->SetText(L"short");
    layoutAndPaint();
    layoutAndPaint();
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_FALSE(tall->IsVerticalBarAutoShown());
    EXPECT_STREQ(L"short", tall->GetText());
}

TEST_F(RichEditInput, TextColourReachesTheServicesRedLow)
{
    CRichEditUI* red = edit(L"red");
    EXPECT_EQ(0x000000FFu, red->GetTextHost()->GetDefaultCharFormat().crTextColor);
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), CTxtWinHost::ColorRefFromArgb(0x80123456));
    PrintedClient printed(frame);
    int reddish = printed.countWhere(red->GetPos(), [](uint32_t c) {
        int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        return r > g + 80 && r > b + 80;
    });
    EXPECT_GT(reddish, 10);
}

TEST_F(RichEditInput, SetTextReplacesTheWholeTextWithoutAnUndoStep)
{
    CRichEditUI* tabby = edit(L"tabby");
    tabby->SetText(L"first");
    tabby->SetText(L"second");
    EXPECT_STREQ(L"second", tabby->GetText());
    LRESULT canUndo = 1;
    EXPECT_EQ(S_OK, tabby->ForwardTextMessage(EM_CANUNDO, 0, 0, &canUndo));
    EXPECT_EQ(0, canUndo);
}

TEST_F(RichEditInput, RemovingTheControlFromItsReturnHandlerIsSafe)
{
    CRichEditUI* plain = edit(L"plain");
    auto* parent = static_cast<CContainerUI*>(plain->GetParent());
    frame.onReturn = [&] { parent->Remove(plain); };
    input.click(centreOf(plain));
    input.press(VK_RETURN);
    pump(4);
    EXPECT_EQ(nullptr, frame.control(L"plain"));
    EXPECT_EQ(1, count(L"return:plain"));
    input.type(L"x");  // nothing reaches the removed control
}

// Run with the services' library disabled (WINEDLLOVERRIDES=msftedit=).
TEST(RichEditWithoutServices, PaintsAsAContainerWithAnEmptyTextAndNoFilter)
{
    if (HMODULE library = LoadLibraryW(L"msftedit.dll")) {
        FreeLibrary(library);
        GTEST_SKIP() << "msftedit.dll loads here: this case runs with it disabled";
    }
    CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
    TestWindow frame(L"<Window size=\"200,100\"><VerticalLayout name=\"root\">"
                     L"<RichEdit name=\"edit\" text=\"kept\" bkcolor=\"#FF00FF00\"/></VerticalLayout></Window>");
    ASSERT_NE(nullptr, frame.CreateNativeWindow(nullptr, L"test", 0x10CF0000, 0, 50, 50, 100, 100));
    ASSERT_TRUE(pumpUntil([&] { return frame.saw(L"windowinit:root"); }));
    auto* editor = static_cast<CRichEditUI*>(frame.control(L"edit"));
    EXPECT_FALSE(editor->HasTextServices());
    CREATESTRUCTW create{};
    EXPECT_FALSE(CTxtWinHost::CreateHost(editor, &create));  // released when its services fail
    EXPECT_STREQ(L"", editor->GetText());
    editor->SetText(L"stored");
    EXPECT_STREQ(L"stored", editor->CControlUI::GetText());
    LRESULT result = 0;
    EXPECT_EQ(S_FALSE, editor->ForwardTextMessage(WM_CHAR, L'a', 0, &result));
    EXPECT_FALSE(editor->GetManager()->RemoveMessageFilter(editor));  // never registered
    EXPECT_EQ(0x00FF00u, printedPixel(frame, 100, 50));
    DestroyWindow(frame);
    pump(2);
    CWindowManagerUI::Term();
}
