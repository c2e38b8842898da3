// Implementation details: the manager's window messages — mouse capture and
// hover, keyboard events, tooltips, timers, reflected child notifications, the
// deferred deletion message; WM_PAINT goes to WindowManagerPaint.cpp.
// Asynchronous notifications are delivered before and after each message.
#include "WindowManagerUI.h"

#include "ControlUI.h"

namespace SkinUI {

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

void CWindowManagerUI::ensureTooltip()
{
    if (m_hwndTooltip) return;
    m_hwndTooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint, nullptr, GetModuleInstance(), nullptr);
    if (!m_hwndTooltip) return;
    ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_ToolTip));
}

TEventMsgUI CWindowManagerUI::makeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam, LPARAM lParam) const
{
    TEventMsgUI event;
    event.Type = type;
    event.pSender = sender;
    event.dwTimestamp = GetTickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    return event;
}

TEventMsgUI CWindowManagerUI::makeKeyEvent(int type, CControlUI* sender, WPARAM key) const
{
    TEventMsgUI event = makeEvent(type, sender, m_ptLastMousePos);
    event.chKey = static_cast<wchar_t>(key);
    event.wKeyState = keyState();
    return event;
}

void CWindowManagerUI::handleMouseMove(LPARAM lParam)
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
    if (newHover && newHover->GetManager() != this) return;
    if (newHover != m_pEventHover && m_pEventHover) {
        TEventMsgUI leave = makeEvent(UIEVENT_MOUSELEAVE, newHover, pt);
        CControlUI* old = m_pEventHover;
        m_pEventHover = nullptr;
        old->HandleEvent(leave);
        if (m_hwndTooltip)
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_ToolTip));
    }
    if (newHover != m_pEventHover && newHover) {
        TEventMsgUI enter = makeEvent(UIEVENT_MOUSEENTER, newHover, pt);
        m_pEventHover = newHover;
        newHover->HandleEvent(enter);
    }
    TEventMsgUI move = makeEvent(UIEVENT_MOUSEMOVE, nullptr, pt);
    if (m_pEventClick)
        m_pEventClick->HandleEvent(move);
    else if (newHover)
        newHover->HandleEvent(move);
}

void CWindowManagerUI::deleteDelayedControls()
{
    // Deleting may add more (a container's children): take the list first.
    while (!m_aDelayedCleanup.IsEmpty()) {
        CPtrArrayUI batch(m_aDelayedCleanup);
        m_aDelayedCleanup.Empty();
        for (int i = 0; i < batch.GetSize(); ++i) delete static_cast<CControlUI*>(batch.GetAt(i));
    }
}

void CWindowManagerUI::handleClose()
{
    if (m_pEventHover) {
        TEventMsgUI leave = makeEvent(UIEVENT_MOUSELEAVE, m_pEventHover, m_ptLastMousePos);
        m_pEventHover->HandleEvent(leave);
    }
    if (m_pEventClick) {
        TEventMsgUI up = makeEvent(UIEVENT_BUTTONUP, m_pEventClick, m_ptLastMousePos);
        m_pEventClick->HandleEvent(up);
    }
    SetFocus(nullptr);
    HWND owner = ::GetWindow(m_hWndPaint, GW_OWNER);
    if (owner) ::SetFocus(owner);
}

void CWindowManagerUI::limitTrackSize(MINMAXINFO* info) const
{
    if (m_szMinWindow.cx > 0) info->ptMinTrackSize.x = m_szMinWindow.cx;
    if (m_szMinWindow.cy > 0) info->ptMinTrackSize.y = m_szMinWindow.cy;
    if (m_szMaxWindow.cx > 0) info->ptMaxTrackSize.x = m_szMaxWindow.cx;
    if (m_szMaxWindow.cy > 0) info->ptMaxTrackSize.y = m_szMaxWindow.cy;
}

void CWindowManagerUI::handleSize()
{
    if (m_pFocus) {
        TEventMsgUI size = makeEvent(UIEVENT_WINDOWSIZE, m_pFocus, POINT{});
        m_pFocus->HandleEvent(size);
    }
    if (m_pRoot) m_pRoot->NeedUpdate();
}

void CWindowManagerUI::handleTimer(WPARAM nativeId, LPARAM lParam)
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TimerRecord* timer = static_cast<TimerRecord*>(m_aTimers.GetAt(i));
        if (timer->window != m_hWndPaint || timer->nativeId != nativeId || timer->killed) continue;
        TEventMsgUI tick = makeEvent(UIEVENT_TIMER, timer->sender, m_ptLastMousePos, timer->localId, lParam);
        timer->sender->HandleEvent(tick);
        return;
    }
}

bool CWindowManagerUI::handleMouseHover(LPARAM lParam)
{
    m_bMouseTracking = false;
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    CControlUI* hover = FindControlAt(pt);
    if (!hover) return false;
    if (m_pEventHover) {
        TEventMsgUI event = makeEvent(UIEVENT_MOUSEHOVER, m_pEventHover, pt);
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

void CWindowManagerUI::handleMouseLeave()
{
    if (m_hwndTooltip) ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_ToolTip));
    if (m_bMouseTracking) ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, static_cast<LPARAM>(-1));
    m_bMouseTracking = false;
}

void CWindowManagerUI::handleButtonDown(UINT msg, WPARAM wParam, LPARAM lParam)
{
    ::SetFocus(m_hWndPaint);
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_ptLastMousePos = pt;
    CControlUI* control = FindControlAt(pt);
    if (!control || control->GetManager() != this) return;
    m_pEventClick = control;
    if (msg != WM_LBUTTONDBLCLK) control->SetFocus();
    SetCapture();
    int type = msg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN
        : msg == WM_RBUTTONDOWN      ? UIEVENT_RBUTTONDOWN
                                     : UIEVENT_DBLCLICK;
    TEventMsgUI event = makeEvent(type, control, pt, wParam, lParam);
    event.wKeyState = static_cast<WORD>(wParam);
    control->HandleEvent(event);
}

void CWindowManagerUI::endClick(TEventMsgUI& event)
{
    ReleaseCapture();
    CControlUI* click = m_pEventClick;
    m_pEventClick = nullptr;
    click->HandleEvent(event);
}

void CWindowManagerUI::handleButtonUp(WPARAM wParam, LPARAM lParam)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_ptLastMousePos = pt;
    if (!m_pEventClick) return;
    TEventMsgUI event = makeEvent(UIEVENT_BUTTONUP, m_pEventClick, pt, wParam, lParam);
    event.wKeyState = static_cast<WORD>(wParam);
    endClick(event);
}

void CWindowManagerUI::handleContextMenu(WPARAM wParam, LPARAM lParam)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWndPaint, &pt);
    m_ptLastMousePos = pt;
    if (!m_pEventClick) return;
    TEventMsgUI event =
        makeEvent(UIEVENT_CONTEXTMENU, m_pEventClick, pt, wParam, reinterpret_cast<LPARAM>(m_pEventClick));
    endClick(event);
}

void CWindowManagerUI::handleMouseWheel(WPARAM wParam, LPARAM lParam)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWndPaint, &pt);
    m_ptLastMousePos = pt;
    CControlUI* control = FindControlAt(pt);
    if (!control || control->GetManager() != this) return;
    bool down = GET_WHEEL_DELTA_WPARAM(wParam) < 0;
    TEventMsgUI event = makeEvent(UIEVENT_SCROLLWHEEL, control, pt, down ? 1 : 0, lParam);
    event.wKeyState = keyState();
    control->HandleEvent(event);
    // Controls under the wheel see the mouse where it now is.
    ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(m_ptLastMousePos.x, m_ptLastMousePos.y));
}

void CWindowManagerUI::handleKey(UINT msg, WPARAM key)
{
    if (msg == WM_KEYUP) {
        if (!m_pEventKey) return;
        TEventMsgUI event = makeKeyEvent(UIEVENT_KEYUP, m_pEventKey, key);
        m_pEventKey->HandleEvent(event);
        m_pEventKey = nullptr;
        return;
    }
    if (!m_pFocus) return;
    TEventMsgUI event = makeKeyEvent(msg == WM_CHAR ? UIEVENT_CHAR : UIEVENT_KEYDOWN, m_pFocus, key);
    if (msg == WM_KEYDOWN) m_pEventKey = m_pFocus;
    m_pFocus->HandleEvent(event);
}

bool CWindowManagerUI::handleSetCursor(LPARAM lParam)
{
    if (LOWORD(lParam) != HTCLIENT) return false;
    if (m_bMouseCapture) return true;
    POINT pt{};
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWndPaint, &pt);
    CControlUI* control = FindControlAt(pt);
    if (!control || !(control->GetInputFlags() & UIFLAG_SETCURSOR)) return false;
    TEventMsgUI event = makeEvent(UIEVENT_SETCURSOR, control, pt);
    event.wKeyState = keyState();
    control->HandleEvent(event);
    return true;
}

bool CWindowManagerUI::reflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (msg == WM_NOTIFY) {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        result = header ? ::SendMessageW(header->hwndFrom, msg + 0x2000, wParam, lParam) : 0;
        return true;
    }
    if (lParam == 0) return false;
    result = ::SendMessageW(reinterpret_cast<HWND>(lParam), msg + 0x2000, wParam, lParam);
    return true;
}

bool CWindowManagerUI::HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (!m_hWndPaint) return false;
    deliverAsyncNotifications();
    if (filterMessage(m_aMessageFilters, msg, wParam, lParam, result)) return true;
    // Messages answered here return at once; the rest fall through to the
    // second delivery of notifications and stay unhandled for the window.
    switch (msg) {
    case WM_UI_DELAYED_CLEANUP: deleteDelayedControls(); break;
    case WM_CLOSE: handleClose(); break;
    case WM_ERASEBKGND: result = 1; return true;
    case WM_PAINT: paint(); return true;
    case WM_PRINTCLIENT: printClient(reinterpret_cast<HDC>(wParam), lParam); break;
    case WM_GETMINMAXINFO: limitTrackSize(reinterpret_cast<MINMAXINFO*>(lParam)); break;
    case WM_SIZE: handleSize(); return true;
    case WM_TIMER: handleTimer(wParam, lParam); break;
    case WM_MOUSEHOVER:
        if (handleMouseHover(lParam)) return true;
        break;
    case WM_MOUSELEAVE: handleMouseLeave(); break;
    case WM_MOUSEMOVE: handleMouseMove(lParam); break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: handleButtonDown(msg, wParam, lParam); break;
    case WM_LBUTTONUP: handleButtonUp(wParam, lParam); break;
    case WM_CONTEXTMENU: handleContextMenu(wParam, lParam); break;
    case WM_MOUSEWHEEL: handleMouseWheel(wParam, lParam); break;
    case WM_CHAR:
    case WM_KEYDOWN:
    case WM_KEYUP: handleKey(msg, wParam); break;
    case WM_SETCURSOR:
        if (handleSetCursor(lParam)) return true;
        break;
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (reflectToChild(msg, wParam, lParam, result)) return true;
        break;
    default: break;
    }
    deliverAsyncNotifications();
    return false;
}

}  // namespace SkinUI
