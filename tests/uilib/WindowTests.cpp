// Real windows under Xvfb (the test's runner starts and stops the display):
// a skinned window is created, laid out and painted; input is posted to it
// and the notifications it routes are recorded.
#include "ListUI.h"
#include "TestWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace testui;

namespace {

const wchar_t kSkin[] =
    L"<Window size=\"320,240\" caption=\"0,0,0,30\" sizebox=\"4,4,4,4\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">"
    L"  <HorizontalLayout name=\"title\" height=\"30\" bkcolor=\"#FF0000FF\">"
    L"    <Label name=\"caption\" text=\"t\"/><Button name=\"maxbtn\" width=\"30\"/>"
    L"    <Button name=\"restorebtn\" width=\"30\" visible=\"false\"/><Button name=\"closebtn\" width=\"30\"/>"
    L"  </HorizontalLayout>"
    L"  <HorizontalLayout name=\"body\" bkcolor=\"#FF00FF00\" childpadding=\"10\" inset=\"10,10,10,10\">"
    L"    <Button name=\"one\" width=\"60\" bkcolor=\"#FFFF0000\"/>"
    L"    <Label name=\"hint\" shortcut=\"k\" width=\"20\"/>"
    L"    <Button name=\"two\" width=\"60\" bkcolor=\"#FFFF0000\"/>"
    L"    <Button name=\"off\" width=\"30\" enabled=\"false\"/>"
    L"    <TabLayout name=\"tabs\"><Control name=\"page0\" bkcolor=\"#FF000000\"/>"
    L"      <Control name=\"page1\" bkcolor=\"#FFFFFF00\"/></TabLayout>"
    L"  </HorizontalLayout>"
    L"  <HorizontalLayout height=\"40\"><Container name=\"box\"><Control name=\"doomed\"/></Container>"
    L"    <Thrower name=\"thrower\" width=\"40\"/><Hover name=\"hover\" width=\"40\" tooltip=\"tip<n>two\"/>"
    L"  </HorizontalLayout>"
    L"</VerticalLayout></Window>";

class WindowTest : public testui::WindowFixture {
protected:
    WindowTest() : WindowFixture(kSkin) {}
};

}  // namespace

TEST_F(WindowTest, LaysOutAndPaintsTheSkin)
{
    RECT client{};
    GetClientRect(frame, &client);
    EXPECT_EQ(320, client.right);  // the window is the skin's size, without a caption
    EXPECT_EQ(240, client.bottom);
    EXPECT_EQ(1, std::count(frame.events.begin(), frame.events.end(), std::wstring(L"windowinit:root")));
    RECT one = frame.control(L"one")->GetPos();
    EXPECT_EQ(10, one.left);
    EXPECT_EQ(40, one.top);

    PrintedClient printed(frame);
    auto pixel = [&](int x, int y) { return printed.pixel(x, y); };
    EXPECT_EQ(0x0000FFu, pixel(5, 5));     // title
    EXPECT_EQ(0x00FF00u, pixel(5, 45));    // body inset
    EXPECT_EQ(0xFF0000u, pixel(40, 60));   // button "one"
    EXPECT_EQ(0x000000u, pixel(280, 60));  // the selected tab page
    EXPECT_EQ(0xFFFFFFu, pixel(5, 230));   // the root's background under the box
}

TEST_F(WindowTest, PaintsThroughTheOffscreenBitmapOntoTheScreen)
{
    HWND window = frame;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    pump(4);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 320, -240, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    uint32_t* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HDC screen = GetDC(window);
    BitBlt(memory, 0, 0, 320, 240, screen, 0, 0, SRCCOPY);
    ReleaseDC(window, screen);
    GdiFlush();
    auto pixel = [&](int x, int y) { return bits[y * 320 + x] & 0xFFFFFF; };
    EXPECT_EQ(0x0000FFu, pixel(5, 5));
    EXPECT_EQ(0xFF0000u, pixel(40, 60));
    EXPECT_EQ(0x00FF00u, pixel(5, 45));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

TEST_F(WindowTest, ClicksAndFocusFollowTheMouse)
{
    HWND window = frame;
    POINT two = centreOf(frame.control(L"two"));
    PostMessageW(window, WM_MOUSEMOVE, 0, at(two));
    postClick(window, two, two);
    pump();
    EXPECT_TRUE(frame.saw(L"setfocus:two"));
    EXPECT_TRUE(frame.saw(L"click:two"));
    EXPECT_EQ(frame.control(L"two"), frame.GetManager().GetFocus());
    // Down on one control and up elsewhere is no click.
    frame.events.clear();
    POINT one = centreOf(frame.control(L"one"));
    postClick(window, one, two);
    pump();
    EXPECT_TRUE(frame.saw(L"killfocus:two"));
    EXPECT_TRUE(frame.saw(L"setfocus:one"));
    EXPECT_FALSE(frame.saw(L"click:one"));
    EXPECT_FALSE(frame.saw(L"click:two"));
    // The disabled button neither takes focus nor clicks.
    frame.events.clear();
    POINT off = centreOf(frame.control(L"off"));
    postClick(window, off, off);
    pump();
    EXPECT_FALSE(frame.saw(L"click:off"));
    EXPECT_FALSE(frame.saw(L"setfocus:off"));
}

TEST_F(WindowTest, TabWalksTheTabStopsAndWraps)
{
    HWND window = frame;
    // The first layout gave the focus to the first tab stop.
    ASSERT_EQ(frame.control(L"maxbtn"), frame.GetManager().GetFocus());
    std::vector<std::wstring> order;
    for (int i = 0; i < 5; ++i) {
        postKey(window, WM_KEYDOWN, VK_TAB);
        CControlUI* focus = frame.GetManager().GetFocus();
        order.push_back(focus ? focus->GetName().GetData() : L"(none)");
    }
    // Only enabled, visible tab stops, in tree order; the last wraps to the first.
    EXPECT_EQ((std::vector<std::wstring>{L"closebtn", L"one", L"two", L"maxbtn", L"closebtn"}), order);
    frame.GetManager().SetFocus(frame.control(L"maxbtn"));
    frame.GetManager().SetNextTabControl(false);  // Shift+Tab from the first goes to the last
    EXPECT_EQ(frame.control(L"two"), frame.GetManager().GetFocus());
    // A label's shortcut hands the focus to the next control visited (the search
    // runs from the last child to the first) and runs its default action.
    postKey(window, WM_SYSCHAR, L'K');
    EXPECT_EQ(frame.control(L"one"), frame.GetManager().GetFocus());
    EXPECT_TRUE(frame.saw(L"click:one"));
}

TEST_F(WindowTest, TabStopsAnswerWithoutAFocusInBothDirectionsAndListsWithoutKeyboardStayStops)
{
    CWindowManagerUI& manager = frame.GetManager();
    for (bool forward : {true, false}) {
        manager.SetFocus(nullptr);
        manager.SetNextTabControl(forward);
        EXPECT_EQ(frame.control(L"maxbtn"), manager.GetFocus()) << forward;
    }
    // A list is a tab stop whether or not it takes keyboard input.
    auto* list = new CListUI;
    list->SetName(L"list");
    list->SetKeyboardEnabled(false);
    static_cast<CContainerUI*>(frame.control(L"body"))->Add(list);
    pump(4);
    manager.SetFocus(frame.control(L"two"));
    manager.SetNextTabControl(true);
    pump(4);
    EXPECT_EQ(list, manager.GetFocus());
}

TEST_F(WindowTest, TimersTabsAndDeferredDeletion)
{
    CWindowManagerUI& manager = frame.GetManager();
    CControlUI* one = frame.control(L"one");
    ASSERT_TRUE(manager.SetTimer(one, 7, 10));
    EXPECT_FALSE(manager.SetTimer(one, 7, 10));  // already running
    ASSERT_TRUE(pumpUntil([&] { return frame.saw(L"timer:one:7,0") || frame.events.size() > 50; }));
    UINT native = manager.GetNativeTimerId(one, 7);
    EXPECT_TRUE(manager.KillTimer(one, 7));
    EXPECT_TRUE(manager.SetTimer(one, 7, 10));  // revived with its old native id
    EXPECT_EQ(native, manager.GetNativeTimerId(one, 7));
    CControlUI* two = frame.control(L"two");
    ASSERT_TRUE(manager.SetTimer(two, 7, 1000));
    EXPECT_NE(native, manager.GetNativeTimerId(two, 7));
    manager.KillTimers(one);
    EXPECT_EQ(0u, manager.GetNativeTimerId(one, 7));

    auto* tabs = static_cast<CTabLayoutUI*>(frame.control(L"tabs"));
    EXPECT_TRUE(tabs->SelectItem(1));
    EXPECT_TRUE(frame.saw(L"tabselect:tabs:1,0"));

    struct Watch {
        bool gone = false;
        bool OnGone(void*)
        {
            gone = true;
            return true;
        }
    } watch;
    CControlUI* doomed = frame.control(L"doomed");
    doomed->OnDestroy += MakeDelegate(&watch, &Watch::OnGone);
    auto* box = static_cast<CContainerUI*>(frame.control(L"box"));
    EXPECT_TRUE(box->Remove(doomed));
    EXPECT_FALSE(watch.gone);  // deferred to the window's next cleanup message
    EXPECT_EQ(nullptr, frame.control(L"doomed"));
    ASSERT_TRUE(pumpUntil([&] { return watch.gone; }));
    EXPECT_EQ(0, manager.GetDelayedCleanupCount());
}

TEST_F(WindowTest, EscapeClosesWithCodeOneAndReturnDoesNot)
{
    HWND window = frame;
    frame.GetManager().SetFocus(frame.control(L"one"));
    PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    pump(4);
    EXPECT_EQ(-1, frame.closeCode);
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(pumpUntil([&] { return frame.closeCode != -1; }));
    EXPECT_EQ(1, frame.closeCode);
}

TEST_F(WindowTest, HoverAndThrowingHandlers)
{
    HWND window = frame;
    auto* hover = static_cast<testui::CHoverUI*>(frame.control(L"hover"));
    POINT inside = centreOf(hover);
    POINT outside = centreOf(frame.control(L"one"));
    SetCursorPos(0, 0);  // the real cursor stays out of the way of the posted moves
    PostMessageW(window, WM_MOUSEMOVE, 0, at(outside));
    PostMessageW(window, WM_MOUSEMOVE, 0, at(inside));
    PostMessageW(window, WM_MOUSEHOVER, 0, at(inside));
    PostMessageW(window, WM_MOUSEMOVE, 0, at(outside));
    pump();
    EXPECT_EQ(L"enter;hover;leave;", hover->seen);
    EXPECT_NE(nullptr, frame.GetManager().GetTooltipWindow());  // the control has a tooltip
    EXPECT_STREQ(L"tip\r\ntwo", hover->GetToolTip());

    // An exception thrown by a control is caught at the window procedure.
    POINT thrower = centreOf(frame.control(L"thrower"));
    postClick(window, thrower, thrower);
    pump();
    EXPECT_TRUE(IsWindow(window));
    postClick(window, outside, outside);
    frame.events.clear();
    pump();
    EXPECT_TRUE(frame.saw(L"click:one"));  // the window still works
}

TEST_F(WindowTest, HitTestsAndSystemCommands)
{
    HWND window = frame;
    auto hit = [&](int x, int y) {
        POINT pt = {x, y};
        ClientToScreen(window, &pt);
        return SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    EXPECT_EQ(HTCAPTION, hit(100, 15));  // over the label in the caption
    POINT close = centreOf(frame.control(L"closebtn"));
    EXPECT_EQ(HTCLIENT, hit(close.x, close.y));  // over a button in the caption
    EXPECT_EQ(HTCLIENT, hit(100, 100));
    EXPECT_EQ(HTTOPLEFT, hit(1, 1));
    EXPECT_EQ(HTBOTTOMRIGHT, hit(318, 238));
    EXPECT_EQ(HTLEFT, hit(1, 100));

    SendMessageW(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    pump(4);
    if (IsZoomed(window)) {
        EXPECT_FALSE(frame.control(L"maxbtn")->IsVisible());
        EXPECT_TRUE(frame.control(L"restorebtn")->IsVisible());
        SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        pump(4);
        EXPECT_TRUE(frame.control(L"maxbtn")->IsVisible());
        EXPECT_FALSE(frame.control(L"restorebtn")->IsVisible());
    }
    frame.GetManager().SetTransparent(200);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    frame.GetManager().SetTransparent(255);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED);  // opaque windows stay layered
    frame.GetManager().SetTransparent(999);
    EXPECT_EQ(255, frame.GetManager().GetTransparent());
}

namespace {

int g_failures = 0;
void countFailure()
{
    ++g_failures;
}

}  // namespace

TEST(WindowImplBase, ASkinThatCannotBeLoadedIsReported)
{
    CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
    CWindowManagerUI::SetResourcePath(L"fixtures");
    WindowImplBase::SetSkinFailureReporter(countFailure);
    TestWindow broken(L"nothere.xml");
    EXPECT_EQ(nullptr, broken.CreateNativeWindow(nullptr, L"broken", 0x10CF0000, 0));
    EXPECT_EQ(1, g_failures);
    WindowImplBase::SetSkinFailureReporter(nullptr);
    CWindowManagerUI::Term();
}

namespace {

// A window that deletes itself once its native window is gone, as a program's
// main frame does; its memory is kept and marked on deletion, so that a later
// write into the deleted object shows.
class SelfDeletingWindow : public TestWindow {
public:
    using TestWindow::TestWindow;
    static void* operator new(size_t size);
    static void operator delete(void* p);

protected:
    void OnFinalWindowMessage(HWND window) override
    {
        TestWindow::OnFinalWindowMessage(window);
        delete this;
    }
};

alignas(std::max_align_t) unsigned char g_windowMemory[sizeof(SelfDeletingWindow)];

void* SelfDeletingWindow::operator new(size_t size)
{
    EXPECT_EQ(size, sizeof(g_windowMemory));
    return g_windowMemory;
}

void SelfDeletingWindow::operator delete(void* p)
{
    memset(p, 0xDD, sizeof(g_windowMemory));
}

}  // namespace

TEST(WindowImplBase, AWindowDeletedWhileBeingCreatedIsNotWrittenAfterwards)
{
    CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
    CWindowManagerUI::SetResourcePath(L"fixtures");
    WindowImplBase::SetSkinFailureReporter(countFailure);
    auto* window = new SelfDeletingWindow(L"nothere.xml");
    EXPECT_EQ(nullptr, window->CreateNativeWindow(nullptr, L"broken", 0x10CF0000, 0));
    size_t touched = 0;
    for (unsigned char byte : g_windowMemory) touched += byte != 0xDD;
    EXPECT_EQ(0u, touched);
    WindowImplBase::SetSkinFailureReporter(nullptr);
    CWindowManagerUI::Term();
}
