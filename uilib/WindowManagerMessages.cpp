// Implementation details: the manager's window-message half — painting through
// the off-screen bitmap, mouse capture and hover, keyboard focus and Tab,
// shortcut keys, tooltips, timers, reflected child notifications, the deferred
// deletion message — and the message loop. Asynchronous notifications are
// delivered before and after each message.
#include "WindowManagerUI.h"

#include "ControlUI.h"

#include <cwctype>

namespace SkinUI {

namespace {

struct ShortcutSearch {
    wchar_t ch;
    bool found;
};

}  // namespace

WORD CWindowManagerUI::keyState() const
{
    WORD state = 0;
    if (GetKeyState(VK_CONTROL) < 0) state |= MK_UI_CONTROL;
    if (GetKeyState(VK_RBUTTON) < 0) state |= MK_UI_RBUTTON;
    if (GetKeyState(VK_LBUTTON) < 0) state |= MK_UI_LBUTTON;
    if (GetKeyState(VK_SHIFT) < 0) state |= MK_UI_SHIFT;
    if (GetKeyState(VK_MENU) < 0) state |= MK_UI_ALT;
    return state;
}

CControlUI* CALLBACK CWindowManagerUI::needLayoutProc(CControlUI* control, LPVOID)
{
    return control->IsLayoutNeeded() ? control : nullptr;
}

CControlUI* CALLBACK CWindowManagerUI::shortcutProc(CControlUI* control, LPVOID data)
{
    ShortcutSearch* search = static_cast<ShortcutSearch*>(data);
    if (!control->IsVisible()) return nullptr;
    if (towupper(control->GetShortcut()) == search->ch) search->found = true;
    if (search->found && !wcsstr(control->GetClassName(), L"LabelUI")) return control;
    return nullptr;
}

void CWindowManagerUI::ensureTooltip()
{
    if (m_hwndTooltip) return;
    m_hwndTooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint, nullptr, GetModuleInstance(), nullptr);
    if (!m_hwndTooltip) return;
    ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_ToolTip));
}

void CWindowManagerUI::paint()
{
    RECT update{};
    if (!::GetUpdateRect(m_hWndPaint, &update, FALSE)) return;
    if (!m_pRoot) {
        PAINTSTRUCT ps;
        ::BeginPaint(m_hWndPaint, &ps);
        ::EndPaint(m_hWndPaint, &ps);
        return;
    }
    if (m_bUpdateNeeded) {
        m_bUpdateNeeded = false;
        RECT client{};
        ::GetClientRect(m_hWndPaint, &client);
        if (!IsRectEmpty(&client)) {
            if (m_pRoot->IsLayoutNeeded()) {
                m_pRoot->SetPos(client);
                deleteOffscreen();
            } else {
                for (int guard = 0; guard < 10000; ++guard) {
                    CControlUI* control =
                        m_pRoot->SearchControl(needLayoutProc, nullptr, UIFIND_VISIBLE | UIFIND_ME_FIRST);
                    if (!control) break;
                    control->SetPos(control->GetPos());
                }
            }
            if (m_bFirstLayout) {
                m_bFirstLayout = false;
                SendNotify(m_pRoot, L"windowinit", 0, 0, false);
            }
        }
    }
    if (m_bFocusNeeded) SetNextTabControl();
    RECT client{};
    ::GetClientRect(m_hWndPaint, &client);
    int cx = client.right - client.left, cy = client.bottom - client.top;
    if (m_bOffscreenPaint && !m_hbmpOffscreen && cx > 0 && cy > 0) {
        m_hDcOffscreen = ::CreateCompatibleDC(m_hDcPaint);
        m_hbmpOffscreen = ::CreateCompatibleBitmap(m_hDcPaint, cx, cy);
    }
    PAINTSTRUCT ps;
    ::BeginPaint(m_hWndPaint, &ps);
    if (m_bOffscreenPaint && m_hDcOffscreen && m_hbmpOffscreen) {
        HGDIOBJ old = ::SelectObject(m_hDcOffscreen, m_hbmpOffscreen);
        int saved = ::SaveDC(m_hDcOffscreen);
        if (m_bAlphaBackground) {
            if (!m_hbmpBackground) {
                m_hDcBackground = ::CreateCompatibleDC(m_hDcPaint);
                m_hbmpBackground = ::CreateCompatibleBitmap(m_hDcPaint, cx, cy);
                ::SelectObject(m_hDcBackground, m_hbmpBackground);
                ::BitBlt(m_hDcBackground, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                    ps.rcPaint.bottom - ps.rcPaint.top, ps.hdc, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
            }
            ::BitBlt(m_hDcOffscreen, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                ps.rcPaint.bottom - ps.rcPaint.top, m_hDcBackground, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        }
        m_pRoot->Paint(m_hDcOffscreen, ps.rcPaint);
        for (int i = 0; i < m_aPostPaintControls.GetSize(); ++i)
            static_cast<CControlUI*>(m_aPostPaintControls.GetAt(i))->PaintAfter(m_hDcOffscreen, ps.rcPaint);
        ::RestoreDC(m_hDcOffscreen, saved);
        ::BitBlt(ps.hdc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
            ps.rcPaint.bottom - ps.rcPaint.top, m_hDcOffscreen, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        ::SelectObject(m_hDcOffscreen, old);
        if (m_bShowUpdateRect) {
            HGDIOBJ oldPen = ::SelectObject(ps.hdc, ::CreatePen(PS_SOLID, 1, RGB(220, 0, 0)));
            HGDIOBJ oldBrush = ::SelectObject(ps.hdc, ::GetStockObject(HOLLOW_BRUSH));
            ::Rectangle(ps.hdc, update.left, update.top, update.right, update.bottom);
            ::SelectObject(ps.hdc, oldBrush);
            ::DeleteObject(::SelectObject(ps.hdc, oldPen));
        }
    } else {
        int saved = ::SaveDC(ps.hdc);
        m_pRoot->Paint(ps.hdc, ps.rcPaint);
        ::RestoreDC(ps.hdc, saved);
    }
    ::EndPaint(m_hWndPaint, &ps);
    if (m_bUpdateNeeded) ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

LRESULT CWindowManagerUI::handleMouseMove(LPARAM lParam)
{
    if (!m_bMouseTracking) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_HOVER | TME_LEAVE, m_hWndPaint, HOVER_DEFAULT};
        tme.dwHoverTime =
            m_hwndTooltip ? static_cast<DWORD>(::SendMessageW(m_hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0)) : 400;
        ::TrackMouseEvent(&tme);
        m_bMouseTracking = true;
    }
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_ptLastMousePos = pt;
    CControlUI* newHover = FindControlAt(pt);
    if (newHover && newHover->GetManager() != this) return 0;
    TEventMsgUI event;
    event.ptMouse = pt;
    event.dwTimestamp = GetTickCount();
    if (newHover != m_pEventHover && m_pEventHover) {
        event.Type = UIEVENT_MOUSELEAVE;
        event.pSender = newHover;
        CControlUI* old = m_pEventHover;
        m_pEventHover = nullptr;
        old->HandleEvent(event);
        if (m_hwndTooltip)
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_ToolTip));
    }
    if (newHover != m_pEventHover && newHover) {
        event.Type = UIEVENT_MOUSEENTER;
        event.pSender = newHover;
        m_pEventHover = newHover;
        newHover->HandleEvent(event);
    }
    event.Type = UIEVENT_MOUSEMOVE;
    event.pSender = nullptr;
    if (m_pEventClick)
        m_pEventClick->HandleEvent(event);
    else if (newHover)
        newHover->HandleEvent(event);
    return 0;
}

bool CWindowManagerUI::HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (!m_hWndPaint) return false;
    deliverAsyncNotifications();
    for (int i = 0; i < m_aMessageFilters.GetSize(); ++i) {
        bool handled = false;
        LRESULT answer =
            static_cast<IMessageFilterUI*>(m_aMessageFilters.GetAt(i))->FilterMessage(msg, wParam, lParam, handled);
        if (handled) {
            result = answer;
            return true;
        }
    }
    TEventMsgUI event;
    event.dwTimestamp = GetTickCount();
    switch (msg) {
    case WM_UI_DELAYED_CLEANUP: {
        // Deleting may add more (a container's children): take the list first.
        while (!m_aDelayedCleanup.IsEmpty()) {
            CPtrArrayUI batch(m_aDelayedCleanup);
            m_aDelayedCleanup.Empty();
            for (int i = 0; i < batch.GetSize(); ++i) delete static_cast<CControlUI*>(batch.GetAt(i));
        }
        break;
    }
    case WM_CLOSE: {
        event.ptMouse = m_ptLastMousePos;
        if (m_pEventHover) {
            event.Type = UIEVENT_MOUSELEAVE;
            event.pSender = m_pEventHover;
            m_pEventHover->HandleEvent(event);
        }
        if (m_pEventClick) {
            event.Type = UIEVENT_BUTTONUP;
            event.pSender = m_pEventClick;
            m_pEventClick->HandleEvent(event);
        }
        SetFocus(nullptr);
        HWND owner = ::GetWindow(m_hWndPaint, GW_OWNER);
        if (owner) ::SetFocus(owner);
        break;
    }
    case WM_ERASEBKGND: result = 1; return true;
    case WM_PAINT: paint(); return true;
    case WM_PRINTCLIENT: {
        if (!m_pRoot) break;
        RECT client{};
        ::GetClientRect(m_hWndPaint, &client);
        HDC dc = reinterpret_cast<HDC>(wParam);
        int saved = ::SaveDC(dc);
        m_pRoot->Paint(dc, client);
        if (lParam & PRF_CHILDREN) {
            for (HWND child = ::GetWindow(m_hWndPaint, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
                RECT pos{};
                ::GetWindowRect(child, &pos);
                ::MapWindowPoints(HWND_DESKTOP, m_hWndPaint, reinterpret_cast<POINT*>(&pos), 2);
                ::SetWindowOrgEx(dc, -pos.left, -pos.top, nullptr);
                ::SendMessageW(child, WM_PRINT, wParam, lParam | PRF_NONCLIENT);
            }
        }
        ::RestoreDC(dc, saved);
        break;
    }
    case WM_GETMINMAXINFO: {
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (m_szMinWindow.cx > 0) info->ptMinTrackSize.x = m_szMinWindow.cx;
        if (m_szMinWindow.cy > 0) info->ptMinTrackSize.y = m_szMinWindow.cy;
        if (m_szMaxWindow.cx > 0) info->ptMaxTrackSize.x = m_szMaxWindow.cx;
        if (m_szMaxWindow.cy > 0) info->ptMaxTrackSize.y = m_szMaxWindow.cy;
        break;
    }
    case WM_SIZE:
        if (m_pFocus) {
            event.Type = UIEVENT_WINDOWSIZE;
            event.pSender = m_pFocus;
            m_pFocus->HandleEvent(event);
        }
        if (m_pRoot) m_pRoot->NeedUpdate();
        return true;
    case WM_TIMER:
        for (int i = 0; i < m_aTimers.GetSize(); ++i) {
            TimerRecord* timer = static_cast<TimerRecord*>(m_aTimers.GetAt(i));
            if (timer->window != m_hWndPaint || timer->nativeId != wParam || timer->killed) continue;
            event.Type = UIEVENT_TIMER;
            event.pSender = timer->sender;
            event.wParam = timer->localId;
            event.lParam = lParam;
            event.ptMouse = m_ptLastMousePos;
            timer->sender->HandleEvent(event);
            break;
        }
        break;
    case WM_MOUSEHOVER: {
        m_bMouseTracking = false;
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        CControlUI* hover = FindControlAt(pt);
        if (!hover) break;
        if (m_pEventHover) {
            event.Type = UIEVENT_MOUSEHOVER;
            event.pSender = m_pEventHover;
            event.ptMouse = pt;
            m_pEventHover->HandleEvent(event);
        }
        CUIString tip = hover->GetToolTip();
        if (tip.IsEmpty()) return true;
        static CUIString tipText;  // the tool reads it while it shows
        tipText = tip;
        m_ToolTip.cbSize = sizeof(TOOLINFOW);
        m_ToolTip.uFlags = TTF_IDISHWND;
        m_ToolTip.hwnd = m_hWndPaint;
        m_ToolTip.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
        m_ToolTip.hinst = GetModuleInstance();
        m_ToolTip.lpszText = const_cast<wchar_t*>(tipText.GetData());
        m_ToolTip.rect = hover->GetPos();
        ensureTooltip();
        if (!m_hwndTooltip) return true;
        ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, hover->GetToolTipWidth());
        ::SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&m_ToolTip));
        ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_ToolTip));
        return true;
    }
    case WM_MOUSELEAVE:
        if (m_hwndTooltip)
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_ToolTip));
        if (m_bMouseTracking) ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
        m_bMouseTracking = false;
        break;
    case WM_MOUSEMOVE: handleMouseMove(lParam); break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        ::SetFocus(m_hWndPaint);
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* control = FindControlAt(pt);
        if (!control || control->GetManager() != this) break;
        m_pEventClick = control;
        if (msg != WM_LBUTTONDBLCLK) control->SetFocus();
        SetCapture();
        event.Type = msg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN
            : msg == WM_RBUTTONDOWN        ? UIEVENT_RBUTTONDOWN
                                           : UIEVENT_DBLCLICK;
        event.pSender = control;
        event.ptMouse = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.wKeyState = static_cast<WORD>(wParam);
        control->HandleEvent(event);
        break;
    }
    case WM_LBUTTONUP: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        if (!m_pEventClick) break;
        ReleaseCapture();
        event.Type = UIEVENT_BUTTONUP;
        event.pSender = m_pEventClick;
        event.ptMouse = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.wKeyState = static_cast<WORD>(wParam);
        CControlUI* click = m_pEventClick;
        m_pEventClick = nullptr;
        click->HandleEvent(event);
        break;
    }
    case WM_CONTEXTMENU: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        if (!m_pEventClick) break;
        ReleaseCapture();
        event.Type = UIEVENT_CONTEXTMENU;
        event.pSender = m_pEventClick;
        event.ptMouse = pt;
        event.wParam = wParam;
        event.lParam = reinterpret_cast<LPARAM>(m_pEventClick);
        CControlUI* click = m_pEventClick;
        m_pEventClick = nullptr;
        click->HandleEvent(event);
        break;
    }
    case WM_MOUSEWHEEL: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        CControlUI* control = FindControlAt(pt);
        if (!control || control->GetManager() != this) break;
        int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        event.Type = UIEVENT_SCROLLWHEEL;
        event.pSender = control;
        event.wParam = delta < 0 ? 1 : 0;
        event.lParam = lParam;
        event.ptMouse = pt;
        event.wKeyState = keyState();
        control->HandleEvent(event);
        // Controls under the wheel see the mouse where it now is.
        ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(m_ptLastMousePos.x, m_ptLastMousePos.y));
        break;
    }
    case WM_CHAR:
        if (!m_pFocus) break;
        event.Type = UIEVENT_CHAR;
        event.chKey = static_cast<wchar_t>(wParam);
        event.ptMouse = m_ptLastMousePos;
        event.wKeyState = keyState();
        event.pSender = m_pFocus;
        m_pFocus->HandleEvent(event);
        break;
    case WM_KEYDOWN:
        if (!m_pFocus) break;
        event.Type = UIEVENT_KEYDOWN;
        event.chKey = static_cast<wchar_t>(wParam);
        event.ptMouse = m_ptLastMousePos;
        event.wKeyState = keyState();
        event.pSender = m_pFocus;
        m_pEventKey = m_pFocus;
        m_pFocus->HandleEvent(event);
        break;
    case WM_KEYUP:
        if (!m_pEventKey) break;
        event.Type = UIEVENT_KEYUP;
        event.chKey = static_cast<wchar_t>(wParam);
        event.ptMouse = m_ptLastMousePos;
        event.wKeyState = keyState();
        event.pSender = m_pEventKey;
        m_pEventKey->HandleEvent(event);
        m_pEventKey = nullptr;
        break;
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) break;
        if (m_bMouseCapture) return true;
        POINT pt{};
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWndPaint, &pt);
        CControlUI* control = FindControlAt(pt);
        if (!control || !(control->GetInputFlags() & UIFLAG_SETCURSOR)) break;
        event.Type = UIEVENT_SETCURSOR;
        event.pSender = control;
        event.ptMouse = pt;
        event.wKeyState = keyState();
        control->HandleEvent(event);
        return true;
    }
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (!header) {
            result = 0;
            return true;
        }
        result = ::SendMessageW(header->hwndFrom, msg + 0x2000, wParam, lParam);
        return true;
    }
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        if (lParam == 0) break;
        result = ::SendMessageW(reinterpret_cast<HWND>(lParam), msg + 0x2000, wParam, lParam);
        return true;
    }
    default: break;
    }
    deliverAsyncNotifications();
    return false;
}

bool CWindowManagerUI::PreMessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    for (int i = 0; i < m_aPreMessageFilters.GetSize(); ++i) {
        bool handled = false;
        LRESULT answer =
            static_cast<IMessageFilterUI*>(m_aPreMessageFilters.GetAt(i))->FilterMessage(msg, wParam, lParam, handled);
        if (handled) {
            result = answer;
            return true;
        }
    }
    switch (msg) {
    case WM_KEYDOWN: {
        if (wParam != VK_TAB) return false;
        if (m_pFocus && m_pFocus->IsVisible() && m_pFocus->IsEnabled() &&
            wcsstr(m_pFocus->GetClassName(), L"RichEditUI") != nullptr) {
            return false;  // the rich edit decides itself whether it wants Tab
        }
        SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
        return true;
    }
    case WM_SYSKEYDOWN: {
        if (!m_pFocus) return false;
        TEventMsgUI event;
        event.Type = UIEVENT_SYSKEY;
        event.chKey = static_cast<wchar_t>(wParam);
        event.ptMouse = m_ptLastMousePos;
        event.wKeyState = keyState();
        event.dwTimestamp = GetTickCount();
        event.pSender = m_pFocus;
        m_pFocus->HandleEvent(event);
        return false;
    }
    case WM_SYSCHAR: {
        if (!m_pRoot) return false;
        ShortcutSearch search = {static_cast<wchar_t>(towupper(static_cast<wint_t>(wParam))), false};
        CControlUI* control =
            m_pRoot->SearchControl(shortcutProc, &search, UIFIND_ENABLED | UIFIND_ME_FIRST | UIFIND_TOP_FIRST);
        if (!control) return false;
        control->SetFocus();
        control->RunDefaultAction();
        return true;
    }
    default: return false;
    }
}

bool CWindowManagerUI::TranslateLoopMessage(MSG* msg)
{
    CPtrArrayUI& managers = liveManagers();
    LONG_PTR style = ::GetWindowLongPtrW(msg->hwnd, GWL_STYLE);
    for (int i = 0; i < managers.GetSize(); ++i) {
        CWindowManagerUI* manager = static_cast<CWindowManagerUI*>(managers.GetAt(i));
        HWND window = manager->GetPaintWindow();
        bool mine = false;
        if (style & WS_CHILD) {
            for (HWND w = msg->hwnd; w && !mine; w = ::GetParent(w)) mine = w == window;
        } else {
            mine = msg->hwnd == window;
        }
        if (!mine) continue;
        for (int k = 0; k < manager->m_aTranslateAccelerator.GetSize(); ++k) {
            auto* accelerator = static_cast<ITranslateAccelerator*>(manager->m_aTranslateAccelerator.GetAt(k));
            if (accelerator->TranslateAccelerator(msg) == S_OK) return true;
        }
        LRESULT result = 0;
        if (manager->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result)) return true;
        return false;
    }
    return false;
}

void CWindowManagerUI::RunMessageLoop()
{
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateLoopMessage(&msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace SkinUI
