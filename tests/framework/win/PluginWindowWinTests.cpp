// The windowed surface over a real child window (under Xvfb): the message
// table through SendMessageW and real input through SendInput, painting, the
// pass-through flag, observers that fail, and the life of the subclass, also
// under a third party's subclass.
#include "EventRecorder.h"
#include "MessagePump.h"
#include "WindowClass.h"
#include "PluginWindowWin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

const wchar_t kParentClass[] = L"WindowedSurfaceTestParent";
const wchar_t kChildClass[] = L"WindowedSurfaceTestChild";
const COLORREF kChildColour = RGB(40, 110, 200);
const wchar_t kPreviousProcProperty[] = L"FrameBasePreviousWindowProc";

// What reached the child's own procedure (and a third party's, when one is installed).
std::vector<UINT> reachedOriginal;
std::vector<UINT> reachedThirdParty;
WNDPROC thirdPartyPrevious = nullptr;

LRESULT CALLBACK originalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    reachedOriginal.push_back(message);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK thirdPartyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    reachedThirdParty.push_back(message);
    return CallWindowProcW(thirdPartyPrevious, window, message, wParam, lParam);
}

bool reached(const std::vector<UINT>& messages, UINT message)
{
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

void registerClasses()
{
    static bool done = false;
    if (done) return;
    test_support::registerWindowClass(
        kParentClass, DefWindowProcW, {.background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))});
    test_support::registerWindowClass(
        kChildClass, originalProc, {.style = CS_DBLCLKS, .background = CreateSolidBrush(kChildColour)});
    done = true;
}

void pumpMessages()
{
    test_support::dispatchWaitingMessages();
}

bool pumpUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 200; ++i) {
        pumpMessages();
        if (done()) return true;
        Sleep(10);
    }
    return false;
}

void setModifiers(bool shift, bool control, bool alt)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = control ? 0x80 : 0;
    keys[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
}

INPUT keyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT mouseInput(DWORD flags, DWORD data = 0)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    return input;
}

// One top-level window for the whole program: destroying a shown one costs
// Wine seconds under an X server without a window manager.
class ParentWindow : public ::testing::Environment {
public:
    void SetUp() override
    {
        registerClasses();
        handle = CreateWindowExW(0, kParentClass, L"Windowed surface test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
            0, 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override { DestroyWindow(handle); }
    static HWND handle;
};
HWND ParentWindow::handle = nullptr;
[[maybe_unused]] ::testing::Environment* const parentWindow = ::testing::AddGlobalTestEnvironment(new ParentWindow);

class Windowed : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(parent, nullptr) << "no display?";
        child = CreateWindowExW(0, kChildClass, L"", WS_CHILD | WS_VISIBLE, 20, 30, 200, 100, parent, nullptr,
            GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(child, nullptr);
        SetForegroundWindow(parent);
        pumpMessages();
        surface.reset(FB::newPluginWindowWin(child));
        surface->addObserver(recorder);
        setModifiers(false, false, false);
        recorder->events.clear();
        reachedOriginal.clear();
    }
    void TearDown() override
    {
        setModifiers(false, false, false);
        surface.reset();
        DestroyWindow(child);
        pumpMessages();
    }
    POINT screenPoint(int x, int y) const
    {
        POINT point{x, y};
        ClientToScreen(child, &point);
        return point;
    }
    void clickAt(int x, int y)
    {
        POINT point = screenPoint(x, y);
        SetCursorPos(point.x, point.y);
        pumpMessages();
    }

    const HWND parent = ParentWindow::handle;
    HWND child = nullptr;
    std::unique_ptr<FB::PluginWindowWin> surface;
    std::shared_ptr<EventRecorder> recorder = std::make_shared<EventRecorder>();
};

// ---- the message table ------------------------------------------------------------------------

struct MessageCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool shift, control, alt;  // held while the message arrives
    const char* event;         // the translated event, or null
};

class WindowedMessage : public Windowed, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(WindowedMessage, BecomesItsEvent)
{
    const MessageCase& c = GetParam();
    setModifiers(c.shift, c.control, c.alt);
    SendMessageW(child, c.message, c.wParam, c.lParam);
    ASSERT_FALSE(recorder->events.empty());
    EXPECT_EQ(recorder->events[0], "Windows(" + std::to_string(c.message) + ")");
    if (c.event)
        EXPECT_THAT(recorder->translated(), ElementsAre(c.event));
    else
        EXPECT_THAT(recorder->translated(), IsEmpty());
    EXPECT_THAT(reachedOriginal, IsEmpty());  // without pass-through nothing reaches the browser's procedure
}

INSTANTIATE_TEST_SUITE_P(Messages, WindowedMessage,
    ::testing::Values(MessageCase{"LeftDownShift", WM_LBUTTONDOWN, MK_SHIFT, MAKELPARAM(-5, 7), true, false, false,
                          "MouseDown(0, -5, 7, 1)"},
        MessageCase{"LeftUpControlAlt", WM_LBUTTONUP, 0, MAKELPARAM(1, 2), false, true, true, "MouseUp(0, 1, 2, 6)"},
        MessageCase{"RightDown", WM_RBUTTONDOWN, 0, MAKELPARAM(12, 8), false, false, false, "MouseDown(1, 12, 8, 0)"},
        MessageCase{"RightUp", WM_RBUTTONUP, 0, MAKELPARAM(12, 8), false, false, false, "MouseUp(1, 12, 8, 0)"},
        MessageCase{"MiddleDown", WM_MBUTTONDOWN, 0, MAKELPARAM(3, 4), false, false, false, "MouseDown(2, 3, 4, 0)"},
        MessageCase{"MiddleUp", WM_MBUTTONUP, 0, MAKELPARAM(3, 4), false, true, false, "MouseUp(2, 3, 4, 2)"},
        MessageCase{
            "DoubleClick", WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 6), false, false, true, "DoubleClick(0, 5, 6, 4)"},
        MessageCase{
            "MoveIgnoresModifiers", WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(7, 9), true, false, false, "MouseMove(7, 9, 0)"},
        MessageCase{"KeyDown", WM_KEYDOWN, 65, 0, true, false, false, "KeyDown(84, 65, 0)"},
        MessageCase{"KeyUpF1", WM_KEYUP, VK_F1, 0, false, false, false, "KeyUp(11, 112, 0)"},
        MessageCase{"Size", WM_SIZE, 0, MAKELPARAM(200, 100), false, false, false, "Resized"},
        MessageCase{"Timer", WM_TIMER, 9, 0, false, false, false, "Timer(9)"},
        MessageCase{"Cursor", WM_SETCURSOR, 0, 0, false, false, false, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Windowed, AsksForEveryKeyAndTakesTheFocusOnActivation)
{
    EXPECT_EQ(SendMessageW(child, WM_GETDLGCODE, 0, 0), 135);
    SetFocus(parent);
    EXPECT_EQ(SendMessageW(child, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(parent), 0), 1);
    EXPECT_EQ(GetFocus(), child);
    EXPECT_THAT(recorder->translated(), IsEmpty());
}

TEST_F(Windowed, TheWheelReportsTheClientPoint)
{
    POINT point = screenPoint(15, 25);
    SendMessageW(child, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(point.x, point.y));
    EXPECT_THAT(recorder->translated(), ElementsAre("Scroll(15, 25, 0, -120, 0)"));
}

TEST_F(Windowed, ErasesTheBackgroundUnlessSuppressed)
{
    HDC screen = GetDC(child);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 100);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all{0, 0, 200, 100};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    surface->setSuppressEraseBackground(true);
    EXPECT_TRUE(surface->getSuppressEraseBackground());
    EXPECT_EQ(SendMessageW(child, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 0);
    EXPECT_EQ(GetPixel(memory, 50, 50), RGB(255, 255, 255));

    surface->setSuppressEraseBackground(false);
    EXPECT_NE(SendMessageW(child, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 0);
    EXPECT_EQ(GetPixel(memory, 50, 50), kChildColour);

    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(child, screen);
}

TEST_F(Windowed, ReportsTheWindowRectangleInTheOrderTopLeftBottomRight)
{
    RECT bounds{};
    GetWindowRect(child, &bounds);
    FB::ScreenRect rect = surface->getWindowRect();
    EXPECT_EQ(rect.top, bounds.top);
    EXPECT_EQ(rect.left, bounds.left);
    EXPECT_EQ(rect.bottom, bounds.bottom);
    EXPECT_EQ(rect.right, bounds.right);
    EXPECT_EQ(surface->getWindowWidth(), 200);
    EXPECT_EQ(surface->getWindowHeight(), 100);
    EXPECT_EQ(surface->getWindowClipping().right, bounds.right);
}

// ---- real input -----------------------------------------------------------------------------------

TEST_F(Windowed, RealShiftClickWheelAndKeysArrive)
{
    clickAt(10, 20);
    INPUT click[] = {keyInput(VK_SHIFT, false), mouseInput(MOUSEEVENTF_LEFTDOWN), mouseInput(MOUSEEVENTF_LEFTUP),
        keyInput(VK_SHIFT, true)};
    ASSERT_EQ(SendInput(4, click, sizeof(INPUT)), 4u);
    auto seen = [&](const std::string& line) {
        return std::find(recorder->events.begin(), recorder->events.end(), line) != recorder->events.end();
    };
    EXPECT_TRUE(pumpUntil([&] { return seen("MouseUp(0, 10, 20, 1)"); }));
    EXPECT_TRUE(seen("MouseDown(0, 10, 20, 1)"));

    // The wheel and the keys go to the focused window.
    SetFocus(child);
    INPUT wheel[] = {mouseInput(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-120))};
    ASSERT_EQ(SendInput(1, wheel, sizeof(INPUT)), 1u);
    EXPECT_TRUE(pumpUntil([&] { return seen("Scroll(10, 20, 0, -120, 0)"); }));

    INPUT keys[] = {keyInput('A', false), keyInput('A', true)};
    ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
    EXPECT_TRUE(pumpUntil([&] { return seen("KeyUp(84, 65, 0)"); }));
    EXPECT_TRUE(seen("KeyDown(84, 65, 0)"));
}

// ---- painting -----------------------------------------------------------------------------------------

TEST_F(Windowed, APaintNobodyDrawsValidatesTheWindowAndIsHandled)
{
    InvalidateRect(child, nullptr, FALSE);
    UpdateWindow(child);
    pumpMessages();
    EXPECT_THAT(recorder->translated(), ElementsAre("Refresh(0, 0, 100, 200)"));
    EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE));
    EXPECT_THAT(reachedOriginal, Not(Contains(static_cast<UINT>(WM_PAINT))));
}

class WindowedPaint : public Windowed, public ::testing::WithParamInterface<bool> {};

TEST_P(WindowedPaint, APaintAnObserverDrawsGoesOnWithNoSecondRefresh)
{
    surface->setPassThrough(GetParam());
    recorder->handles = [](const std::string& line) { return line.rfind("Refresh", 0) == 0; };
    InvalidateRect(child, nullptr, FALSE);
    UpdateWindow(child);
    pumpMessages();
    EXPECT_THAT(recorder->translated(), ElementsAre("Refresh(0, 0, 100, 200)"));
    EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE));
    // With pass-through the browser's procedure is where it goes on.
    EXPECT_EQ(reached(reachedOriginal, WM_PAINT), GetParam());
}

INSTANTIATE_TEST_SUITE_P(PassThrough, WindowedPaint, ::testing::Bool());

// ---- pass-through and failing observers ------------------------------------------------------------

TEST_F(Windowed, PassThroughSendsWhatNobodyHandledToTheBrowsersProcedure)
{
    EXPECT_FALSE(surface->getPassThrough());
    surface->setPassThrough(true);
    SendMessageW(child, WM_KEYDOWN, 65, 0);
    EXPECT_TRUE(reached(reachedOriginal, WM_KEYDOWN));

    reachedOriginal.clear();
    recorder->handles = [](const std::string& line) { return line.rfind("KeyDown", 0) == 0; };
    SendMessageW(child, WM_KEYDOWN, 65, 0);
    EXPECT_THAT(reachedOriginal, IsEmpty());
}

TEST_F(Windowed, AnObserverThatThrowsCountsAsNotHandled)
{
    surface->setPassThrough(true);
    recorder->handles = [](const std::string& line) { return line.rfind("KeyDown", 0) == 0; };
    recorder->throws = recorder->handles;
    SendMessageW(child, WM_KEYDOWN, 65, 0);
    EXPECT_TRUE(reached(reachedOriginal, WM_KEYDOWN));
    recorder->throws = [](const std::string& line) { return line.rfind("Windows", 0) == 0; };
    EXPECT_EQ(SendMessageW(child, WM_GETDLGCODE, 0, 0), 135);  // the translation still runs
}

// ---- the life of the subclass -----------------------------------------------------------------------

TEST_F(Windowed, DeletingTheSurfacePutsTheBrowsersProcedureBack)
{
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(child, GWLP_WNDPROC)), &FB::PluginWindowWin::windowProc);
    surface.reset();
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(child, GWLP_WNDPROC)), &originalProc);
    EXPECT_EQ(GetPropW(child, kPreviousProcProperty), nullptr);
    SendMessageW(child, WM_USER + 5, 0, 0);
    EXPECT_TRUE(reached(reachedOriginal, WM_USER + 5));
    EXPECT_THAT(recorder->events, IsEmpty());
}

TEST_F(Windowed, AThirdPartySubclassOnTopKeepsReachingTheBrowsersProcedure)
{
    thirdPartyPrevious =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&thirdPartyProc)));
    surface.reset();  // ours is no longer current: it stays in the chain and forwards
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(child, GWLP_WNDPROC)), &thirdPartyProc);
    reachedThirdParty.clear();
    SendMessageW(child, WM_USER + 5, 0, 0);
    EXPECT_TRUE(reached(reachedThirdParty, WM_USER + 5));
    EXPECT_TRUE(reached(reachedOriginal, WM_USER + 5));

    // A new surface for the window serves it from inside the chain again.
    surface.reset(FB::newPluginWindowWin(child));
    surface->addObserver(recorder);
    recorder->events.clear();
    SendMessageW(child, WM_KEYDOWN, 65, 0);
    EXPECT_THAT(recorder->translated(), ElementsAre("KeyDown(84, 65, 0)"));
    surface.reset();

    // The third party leaves, putting back what it found (our shared procedure).
    SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(thirdPartyPrevious));
    reachedOriginal.clear();
    SendMessageW(child, WM_USER + 6, 0, 0);
    EXPECT_TRUE(reached(reachedOriginal, WM_USER + 6));
    InvalidateRect(child, nullptr, TRUE);
    UpdateWindow(child);
    pumpMessages();
    EXPECT_TRUE(reached(reachedOriginal, WM_PAINT));
}

}  // namespace
