#include "PluginWindowWin.h"

#include "PluginEvents.h"
#include "TraceLog.h"
#include "WindowInput.h"

#include <map>
#include <memory>
#include <vector>

namespace FB {

namespace {

// The window's procedure before ours, kept on the window itself. Present
// exactly while our shared procedure is somewhere in the window's chain.
const wchar_t* const kPreviousProcProperty = L"FrameBasePreviousWindowProc";

constexpr LRESULT kDialogCodeAllKeys = 135;  // DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS

// The surfaces on each window, oldest first; the newest serves it. Main
// thread only (see the header).
std::map<HWND, std::vector<PluginWindowWin*>>& surfaceMap()
{
    static std::map<HWND, std::vector<PluginWindowWin*>> surfaces;
    return surfaces;
}

WNDPROC currentProc(HWND window)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
}

WNDPROC storedPreviousProc(HWND window)
{
    return reinterpret_cast<WNDPROC>(reinterpret_cast<uintptr_t>(GetPropW(window, kPreviousProcProperty)));
}

// A window that no surface serves any more: its messages go where they went
// before we subclassed it.
LRESULT forwardUnserved(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = storedPreviousProc(window);
    LRESULT result = previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                              : DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) RemovePropW(window, kPreviousProcProperty);
    return result;
}

}  // namespace

PluginWindowWin::PluginWindowWin(HWND window) : window_(window)
{
    if (WNDPROC stored = storedPreviousProc(window)) {
        // Our procedure is still in this window's chain (under a foreign
        // subclass): serve it again from there rather than subclass twice.
        previousProc_ = stored;
    } else {
        previousProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PluginWindowWin::windowProc)));
        if (previousProc_)
            SetPropW(
                window, kPreviousProcProperty, reinterpret_cast<HANDLE>(reinterpret_cast<uintptr_t>(previousProc_)));
        else
            trace("PluginWindow", "Could not subclass the plug-in window");
    }
    surfaceMap()[window].push_back(this);
}

PluginWindowWin::~PluginWindowWin()
{
    auto& surfaces = surfaceMap();
    auto entry = surfaces.find(window_);
    if (entry == surfaces.end()) return;
    std::erase(entry->second, this);
    if (!entry->second.empty()) return;  // another surface still serves the window: the subclass stays
    surfaces.erase(entry);
    // Under a foreign subclass ours must stay in the chain: it forwards through the property.
    if (previousProc_ && currentProc(window_) == &PluginWindowWin::windowProc) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
        RemovePropW(window_, kPreviousProcProperty);
    }
}

PluginWindowWin* newPluginWindowWin(HWND window)
{
    return new PluginWindowWin(window);
}

void PluginWindowWin::invalidateWindow()
{
    InvalidateRect(window_, nullptr, TRUE);
}

ScreenRect PluginWindowWin::getWindowRect()
{
    RECT bounds{};
    GetWindowRect(window_, &bounds);
    return ScreenRect{bounds.top, bounds.left, bounds.bottom, bounds.right};
}

int PluginWindowWin::getWindowWidth()
{
    ScreenRect bounds = getWindowRect();
    return bounds.right - bounds.left;
}

int PluginWindowWin::getWindowHeight()
{
    ScreenRect bounds = getWindowRect();
    return bounds.bottom - bounds.top;
}

ScreenRect PluginWindowWin::getWindowClipping()
{
    return getWindowRect();
}

void PluginWindowWin::setSuppressEraseBackground(bool suppress)
{
    suppressEraseBackground_ = suppress;
}

bool PluginWindowWin::getSuppressEraseBackground() const
{
    return suppressEraseBackground_;
}

bool PluginWindowWin::customWinProc(HWND, UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

bool PluginWindowWin::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (customWinProc(window, message, wParam, lParam, result)) return true;
    if (detail::dispatchRaw(*this, window, message, wParam, lParam, result)) return true;

    const int x = detail::messagePointX(lParam);
    const int y = detail::messagePointY(lParam);
    if (std::optional<bool> answer = detail::dispatchKeyOrMouse(*this, message, wParam, x, y)) return *answer;

    switch (message) {
    case WM_SIZE: {
        ResizedEvent resized;
        return detail::dispatchCaught(*this, resized);
    }
    case WM_PAINT: {
        ScreenRect bounds = getWindowRect();
        RefreshEvent refresh(0, 0, bounds.bottom - bounds.top, bounds.right - bounds.left);
        if (detail::dispatchCaught(*this, refresh)) return false;  // an observer drew: the message goes on
        // Nobody draws: validate the window, or it would be painted again and again.
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return true;
    }
    case WM_ERASEBKGND: return getSuppressEraseBackground();
    case WM_SETCURSOR: SetCursor(LoadCursorW(nullptr, IDC_ARROW)); return false;
    case WM_MOUSEACTIVATE:
        SetFocus(window);
        result = MA_ACTIVATE;
        return true;
    case WM_GETDLGCODE: result = kDialogCodeAllKeys; return true;
    case WM_TIMER: {
        TimerEvent timer(static_cast<unsigned int>(wParam), reinterpret_cast<void*>(lParam));
        return detail::dispatchCaught(*this, timer);
    }
    case WM_LBUTTONDBLCLK: {
        MouseDoubleClickEvent doubleClick(MouseButtonEvent::Left, x, y, detail::currentModifiers());
        return detail::dispatchCaught(*this, doubleClick);
    }
    case WM_MOUSEWHEEL: {
        POINT point{x, y};  // the wheel reports a screen point
        ScreenToClient(window, &point);
        MouseScrollEvent scroll(point.x, point.y, 0.0, static_cast<short>(HIWORD(wParam)), detail::currentModifiers());
        return detail::dispatchCaught(*this, scroll);
    }
    default: return false;
    }
}

LRESULT CALLBACK PluginWindowWin::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        auto& surfaces = surfaceMap();
        auto entry = surfaces.find(window);
        if (entry == surfaces.end()) return forwardUnserved(window, message, wParam, lParam);
        PluginWindowWin* surface = entry->second.back();
        // An observer may end the instance, and with it this surface, while it
        // handles the message: a surface owned by a shared pointer stays until
        // the message is done.
        std::shared_ptr<PluginEventSource> pinned = surface->weak_from_this().lock();
        LRESULT result = 0;
        if (surface->handleMessage(window, message, wParam, lParam, result)) return result;
        if (surface->passThrough_ && surface->previousProc_)
            return CallWindowProcW(surface->previousProc_, window, message, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace FB
