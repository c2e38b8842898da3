// The edit control in a real window under Xvfb, typed into with SendInput:
// the native window it opens over itself, "textchanged" and "return", its
// closing when the focus leaves, the password picture, the native window's
// limits and the control's removal while its window is open.
#include "ButtonUI.h"
#include "ContainerUI.h"
#include "EditUI.h"
#include "InputDriver.h"
#include "Layouts.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace SkinUI;
using namespace testui;

namespace {

const wchar_t kEdits[] =
    L"<Window size=\"400,240\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\" childpadding=\"10\" inset=\"10,10,10,10\">"
    L"  <Edit name=\"name\" height=\"30\"/>"
    L"  <HorizontalLayout name=\"row\" height=\"30\" childpadding=\"10\">"
    L"    <Edit name=\"pw\" width=\"100\" password=\"true\" text=\"abc\" textcolor=\"#FF000000\"/>"
    L"    <Label name=\"stars\" width=\"100\" text=\"***\" textpadding=\"4,3,4,3\" textcolor=\"#FF000000\"/>"
    L"    <Edit name=\"limits\" width=\"100\" maxchar=\"7\" readonly=\"true\" text=\"fixed\"/>"
    L"  </HorizontalLayout>"
    L"  <Button name=\"other\" height=\"30\" bkcolor=\"#FF00FF00\"/>"
    L"</VerticalLayout></Window>";

class EditInput : public WindowFixture {
protected:
    EditInput() : WindowFixture(kEdits) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        input.activate();
        frame.events.clear();
    }
    CEditUI* edit(const wchar_t* name) { return static_cast<CEditUI*>(frame.control(name)); }
    HWND nativeEdit() { return FindWindowExW(frame, nullptr, L"EditWnd", nullptr); }
    int count(const std::wstring& entry) const
    {
        return static_cast<int>(std::count(frame.events.begin(), frame.events.end(), entry));
    }
    // Clicks the edit and waits for its native window.
    HWND open(CEditUI* e)
    {
        input.click(centreOf(e));
        pumpUntil([&] { return e->GetNativeWindow() != nullptr; });
        return e->GetNativeWindow();
    }
    void focusElsewhere()
    {
        input.click(centreOf(frame.control(L"other")));
        pumpUntil([&] { return nativeEdit() == nullptr; });
    }
    InputDriver input{frame};
};

}  // namespace

TEST_F(EditInput, ClickOpensTheNativeWindowOverTheTextAreaAndTypingFollows)
{
    CEditUI* name = edit(L"name");
    HWND native = open(name);
    ASSERT_NE(nullptr, native);
    EXPECT_EQ(native, nativeEdit());
    EXPECT_EQ(native, GetFocus());
    RECT expected = name->GetNativeRect(), actual = windowRectIn(native, frame);
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.right, actual.right);
    EXPECT_EQ(expected.bottom, actual.bottom);
    RECT text = name->GetPos();
    EXPECT_GE(actual.top, text.top);
    EXPECT_LE(actual.bottom, text.bottom);

    input.type(L"h\x00e9\x4e16");
    EXPECT_STREQ(L"h\x00e9\x4e16", name->GetText());
    EXPECT_EQ(3, count(L"textchanged:name"));
    input.press(VK_BACK);
    EXPECT_STREQ(L"h\x00e9", name->GetText());
    EXPECT_EQ(4, count(L"textchanged:name"));
}

TEST_F(EditInput, ReturnSendsReturnAndInsertsNothing)
{
    CEditUI* name = edit(L"name");
    ASSERT_NE(nullptr, open(name));
    input.type(L"ab");
    input.press(VK_RETURN);
    EXPECT_EQ(1, count(L"return:name"));
    EXPECT_STREQ(L"ab", name->GetText());
    EXPECT_EQ(2, count(L"textchanged:name"));
    EXPECT_TRUE(IsWindow(frame)) << "Return is not the window's default key";
}

TEST_F(EditInput, FocusElsewhereClosesTheWindowAndTheControlPaintsItsText)
{
    CEditUI* name = edit(L"name");
    ASSERT_NE(nullptr, open(name));
    input.type(L"MMMM");
    focusElsewhere();
    EXPECT_EQ(nullptr, nativeEdit());
    EXPECT_EQ(nullptr, name->GetNativeWindow());
    EXPECT_STREQ(L"MMMM", name->GetText());
    PrintedClient printed(frame);
    EXPECT_GT(printed.countWhere(name->GetPos(), [](uint32_t c) { return c != 0xFFFFFF; }), 20);
}

TEST_F(EditInput, PasswordEditPaintsOneCharacterPerCharacter)
{
    PrintedClient printed(frame);
    auto dark = [](uint32_t c) { return c != 0xFFFFFF; };
    int shown = printed.countWhere(edit(L"pw")->GetPos(), dark);
    int stars = printed.countWhere(frame.control(L"stars")->GetPos(), dark);
    EXPECT_GT(stars, 0);
    EXPECT_EQ(stars, shown);
    // The native window of a password edit hides its text too.
    HWND native = open(edit(L"pw"));
    ASSERT_NE(nullptr, native);
    EXPECT_TRUE(GetWindowLongW(native, GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(L'*', static_cast<wchar_t>(SendMessageW(native, EM_GETPASSWORDCHAR, 0, 0)));
}

TEST_F(EditInput, LimitsReachTheNativeWindowAndNumberOnlyIsUndone)
{
    HWND native = open(edit(L"limits"));
    ASSERT_NE(nullptr, native);
    EXPECT_EQ(7, SendMessageW(native, EM_GETLIMITTEXT, 0, 0));
    EXPECT_TRUE(GetWindowLongW(native, GWL_STYLE) & ES_READONLY);
    input.type(L"xyz");
    EXPECT_STREQ(L"fixed", edit(L"limits")->GetText());
    focusElsewhere();

    CEditUI* name = edit(L"name");
    name->SetAttribute(L"numberonly", L"true");
    native = open(name);
    ASSERT_NE(nullptr, native);
    EXPECT_TRUE(GetWindowLongW(native, GWL_STYLE) & ES_NUMBER);
    focusElsewhere();
    name->SetAttribute(L"numberonly", L"false");
    native = open(name);
    ASSERT_NE(nullptr, native);
    EXPECT_FALSE(GetWindowLongW(native, GWL_STYLE) & ES_NUMBER);
    input.type(L"a1");
    EXPECT_STREQ(L"a1", name->GetText());
}

TEST_F(EditInput, RemovingTheControlWithItsWindowOpenLeavesNoWindow)
{
    CEditUI* name = edit(L"name");
    ASSERT_NE(nullptr, open(name));
    auto* root = static_cast<CContainerUI*>(frame.control(L"root"));
    ASSERT_TRUE(root->Remove(name));
    pump(10);
    EXPECT_EQ(nullptr, nativeEdit());
    input.type(L"x");  // nothing left to type into
    EXPECT_TRUE(IsWindow(frame));
}

TEST_F(EditInput, TypingIntoTheWindowOfAnEditTakenOutOfTheTreeKeepsTheText)
{
    CEditUI* name = edit(L"name");
    HWND native = open(name);
    ASSERT_NE(nullptr, native);
    auto* root = static_cast<CContainerUI*>(frame.control(L"root"));
    root->SetDeleteOnRemove(false);
    ASSERT_TRUE(root->Remove(name));
    frame.GetManager().ForgetControl(name);  // kept alive outside the window
    {
        CVerticalLayoutUI detached;  // no window: the edit has no manager now
        ASSERT_TRUE(detached.Add(name));
        ASSERT_EQ(nullptr, name->GetManager());
        frame.events.clear();
        SetWindowTextW(native, L"kept");
        EXPECT_STREQ(L"kept", name->GetText());
        EXPECT_EQ(0, count(L"textchanged:name"));
    }  // the layout deletes the edit, which closes its window
    pump(4);
    EXPECT_EQ(nullptr, nativeEdit());
    EXPECT_TRUE(IsWindow(frame));
}

TEST(EditControl, FocusWithoutAWindowOpensNoNativeWindow)
{
    CEditUI edit;
    edit.SetText(L"kept");
    TEventMsgUI focus{};
    focus.Type = UIEVENT_SETFOCUS;
    focus.pSender = &edit;
    edit.OnEvent(focus);
    EXPECT_TRUE(edit.IsFocused());
    EXPECT_EQ(nullptr, edit.GetNativeWindow());
    TEventMsgUI click{};
    click.Type = UIEVENT_BUTTONDOWN;
    click.pSender = &edit;
    edit.OnEvent(click);
    EXPECT_EQ(nullptr, edit.GetNativeWindow());
    EXPECT_STREQ(L"kept", edit.GetText());
}

TEST_F(EditInput, HidingTheControlClosesItsWindow)
{
    CEditUI* name = edit(L"name");
    ASSERT_NE(nullptr, open(name));
    name->SetVisible(false);
    pumpUntil([&] { return nativeEdit() == nullptr; });
    EXPECT_EQ(nullptr, name->GetNativeWindow());
}
