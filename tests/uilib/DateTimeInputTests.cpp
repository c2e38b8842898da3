// The date control in a real window under Xvfb, driven by SendInput: today's
// date, the system picker it opens over itself, keys that change, clear or
// cancel, the text written when the focus leaves, and the calendar drop-down.
#include "ButtonUI.h"
#include "ContainerUI.h"
#include "DateTimeUI.h"
#include "InputDriver.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

using namespace SkinUI;
using namespace testui;

namespace {

const wchar_t kDates[] =
    L"<Window size=\"400,200\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\" childpadding=\"10\" inset=\"10,10,10,10\">"
    L"  <DateTime name=\"date\" height=\"30\" width=\"200\"/>"
    L"  <Button name=\"other\" height=\"30\" bkcolor=\"#FF00FF00\"/>"
    L"</VerticalLayout></Window>";

bool isIsoDate(const std::wstring& text)
{
    if (text.size() != 10 || text[4] != L'-' || text[7] != L'-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!iswdigit(text[i])) return false;
    return true;
}

std::wstring isoOf(const SYSTEMTIME& t)
{
    wchar_t text[16];
    swprintf(text, 16, L"%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
    return text;
}

class DateTimeInput : public WindowFixture {
protected:
    DateTimeInput() : WindowFixture(kDates) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        input.activate();
        date = static_cast<CDateTimeUI*>(frame.control(L"date"));
        SYSTEMTIME known{};
        known.wYear = 2020;
        known.wMonth = 3;
        known.wDay = 15;
        date->SetTime(known);
        frame.events.clear();
    }
    HWND picker() { return FindWindowExW(frame, nullptr, L"DateTimeWnd", nullptr); }
    // Clicks the control (never twice at one place, which would be a double click).
    HWND open()
    {
        POINT at = centreOf(date);
        at.x += 10 * clicks++;
        input.click(at);
        pumpUntil([&] { return date->GetNativeWindow() != nullptr && GetFocus() == date->GetNativeWindow(); });
        return date->GetNativeWindow();
    }
    bool waitClosed()
    {
        return pumpUntil([&] { return picker() == nullptr && date->GetNativeWindow() == nullptr; });
    }
    InputDriver input{frame};
    CDateTimeUI* date = nullptr;
    int clicks = 0;
};

}  // namespace

TEST(DateTimeControl, ANewControlShowsTodaysDate)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    CDateTimeUI date;
    EXPECT_EQ(isoOf(now), std::wstring(date.GetText()));
    EXPECT_EQ(CDateTimeUI::UPDATE_NONE, date.GetUpdateState());
    EXPECT_EQ(&date, date.GetInterfaceByName(L"DateTime"));
    EXPECT_STREQ(L"DateTimeUI", date.GetClassName());
}

TEST_F(DateTimeInput, ClickOpensThePickerOverTheControlWithItsDate)
{
    EXPECT_STREQ(L"2020-03-15", date->GetText());
    HWND native = open();
    ASSERT_NE(nullptr, native);
    EXPECT_EQ(native, picker());
    RECT expected = date->GetPos(), actual = windowRectIn(native, frame);
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.right, actual.right);
    EXPECT_EQ(expected.bottom, actual.bottom);
    SYSTEMTIME shown{};
    ASSERT_EQ(GDT_VALID, SendMessageW(native, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown)));
    EXPECT_EQ(L"2020-03-15", isoOf(shown));
}

TEST_F(DateTimeInput, KeysChangeTheDateAndLeavingWritesIt)
{
    ASSERT_NE(nullptr, open());
    input.press(VK_RIGHT);
    input.press(VK_UP);
    input.click(centreOf(frame.control(L"other")));
    ASSERT_TRUE(waitClosed());
    std::wstring text = date->GetText().GetData();
    EXPECT_TRUE(isIsoDate(text)) << text;
    EXPECT_NE(L"2020-03-15", text);
    EXPECT_EQ(isoOf(date->GetTime()), text);
    EXPECT_EQ(CDateTimeUI::UPDATE_CHOSEN, date->GetUpdateState());
}

TEST_F(DateTimeInput, DeleteAndBackspaceClearTheText)
{
    for (WORD key : {VK_DELETE, VK_BACK}) {
        date->SetText(L"2020-03-15");
        ASSERT_NE(nullptr, open()) << key;
        input.press(key);
        EXPECT_TRUE(waitClosed()) << key;
        EXPECT_STREQ(L"", date->GetText()) << key;
        EXPECT_EQ(CDateTimeUI::UPDATE_CLEARED, date->GetUpdateState());
        frame.control(L"other")->SetFocus();
        pump(4);
    }
}

TEST_F(DateTimeInput, EscapeCancelsThePickerOnlyAndTheWindowStays)
{
    ASSERT_NE(nullptr, open());
    input.press(VK_RIGHT);
    input.press(VK_UP);
    input.press(VK_ESCAPE);
    EXPECT_TRUE(waitClosed());
    pump(10);
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_EQ(-1, frame.closeCode);
    EXPECT_STREQ(L"2020-03-15", date->GetText());
    EXPECT_EQ(CDateTimeUI::UPDATE_CANCELLED, date->GetUpdateState());
    // Escape outside the picker still closes the window.
    frame.control(L"other")->SetFocus();
    pump(2);
    input.press(VK_ESCAPE);
    pumpUntil([&] { return !IsWindow(frame); });
    EXPECT_EQ(1, frame.closeCode);
}

TEST_F(DateTimeInput, ItsButtonDropsTheCalendarDown)
{
    HWND native = open();
    ASSERT_NE(nullptr, native);
    RECT rc{};
    GetClientRect(native, &rc);
    POINT button{rc.right - 6, rc.bottom / 2};
    MapWindowPoints(native, frame, &button, 1);
    input.click(button);
    HWND calendar = nullptr;
    // The open calendar has the focus.
    pumpUntil([&] {
        calendar = GetFocus();
        wchar_t name[32] = {};
        GetClassNameW(calendar, name, 32);
        if (wcscmp(name, L"SysMonthCal32") == 0 && IsWindowVisible(calendar)) return true;
        calendar = nullptr;
        return false;
    });
    ASSERT_NE(nullptr, calendar);
    EXPECT_EQ(native, date->GetNativeWindow()) << "the picker stays while its calendar is open";
    // Another control taking the focus from the calendar ends the picker too.
    frame.control(L"other")->SetFocus();
    EXPECT_TRUE(waitClosed());
    EXPECT_TRUE(isIsoDate(date->GetText().GetData()));
}

TEST_F(DateTimeInput, RemovingTheControlWithThePickerOpenLeavesNoWindow)
{
    ASSERT_NE(nullptr, open());
    ASSERT_TRUE(static_cast<CContainerUI*>(frame.control(L"root"))->Remove(date));
    pump(10);
    EXPECT_EQ(nullptr, picker());
    input.press(VK_DELETE);
    EXPECT_TRUE(IsWindow(frame));
}
