#include "DateTimeUI.h"

namespace SkinUI {

namespace {

// The manager reflects WM_NOTIFY to the child that sent it.
constexpr UINT kReflectedNotify = 0x2000 + WM_NOTIFY;

// The picker's drop-down calendar may take the focus before it says it dropped down.
bool isCalendar(HWND window)
{
    wchar_t name[32] = {};
    return window && ::GetClassNameW(window, name, 32) && wcscmp(name, MONTHCAL_CLASSW) == 0;
}

}  // namespace

// --- CDateTimeWnd ---

CDateTimeWnd::CDateTimeWnd() : CNativeChildWnd(L"DateTimeWnd", DATETIMEPICK_CLASSW) {}

void CDateTimeWnd::Init(CDateTimeUI* owner)
{
    m_pOwner = owner;
    owner->m_nUpdateState = CDateTimeUI::UPDATE_NONE;
    if (!m_hWnd && !createOverOwner(WS_CHILD, owner->GetPos())) return;
    if (owner->GetText().IsEmpty()) ::GetLocalTime(&owner->m_sysTime);
    SendWindowMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&owner->m_sysTime));
    showFocused();
}

void CDateTimeWnd::End()
{
    if (m_pOwner && m_pOwner->m_nUpdateState == CDateTimeUI::UPDATE_NONE) {
        SYSTEMTIME chosen{};
        if (SendWindowMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&chosen)) == GDT_VALID)
            m_pOwner->m_sysTime = chosen;
        m_pOwner->m_nUpdateState = CDateTimeUI::UPDATE_CHOSEN;
        m_pOwner->UpdateText();
    }
    PostWindowMessage(WM_CLOSE);
}

LRESULT CDateTimeWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KILLFOCUS: {
        LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
        // The drop-down calendar takes the focus while it is open: the picker stays.
        if (!m_bDroppedDown && !isCalendar(reinterpret_cast<HWND>(wParam))) End();
        return result;
    }
    case WM_KEYUP: {
        if (wParam != VK_BACK && wParam != VK_DELETE && wParam != VK_ESCAPE) break;
        LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
        if (m_pOwner) {
            bool cleared = wParam != VK_ESCAPE;
            m_pOwner->m_nUpdateState = cleared ? CDateTimeUI::UPDATE_CLEARED : CDateTimeUI::UPDATE_CANCELLED;
            if (cleared) m_pOwner->UpdateText();
        }
        PostWindowMessage(WM_CLOSE);
        return result;
    }
    case kReflectedNotify: {
        UINT code = lParam ? reinterpret_cast<NMHDR*>(lParam)->code : 0;
        if (code == DTN_DROPDOWN) m_bDroppedDown = true;
        if (code != DTN_CLOSEUP) break;
        // The calendar closed: the focus comes back, unless it went elsewhere.
        m_bDroppedDown = false;
        HWND focus = ::GetFocus();
        if (!focus || isCalendar(focus))
            ::SetFocus(m_hWnd);
        else if (focus != m_hWnd)
            End();
        break;
    }
    case WM_GETDLGCODE:
        // Escape belongs to the picker (it cancels it), not to the window's default keys.
        if (lParam && reinterpret_cast<MSG*>(lParam)->message == WM_KEYDOWN &&
            reinterpret_cast<MSG*>(lParam)->wParam == VK_ESCAPE)
            return CWindowWnd::HandleMessage(msg, wParam, lParam) | DLGC_WANTMESSAGE;
        break;
    default: break;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

// --- CDateTimeUI ---

CDateTimeUI::CDateTimeUI()
{
    ::GetLocalTime(&m_sysTime);
    m_nUpdateState = UPDATE_CHOSEN;
    UpdateText();
    m_nUpdateState = UPDATE_NONE;
}

const wchar_t* CDateTimeUI::GetClassName() const
{
    return L"DateTimeUI";
}

LPVOID CDateTimeUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"DateTime") == 0) return this;
    return CLabelUI::GetInterfaceByName(name);
}

void CDateTimeUI::SetTime(const SYSTEMTIME& time)
{
    m_sysTime = time;
    m_nUpdateState = UPDATE_CHOSEN;
    UpdateText();
    m_nUpdateState = UPDATE_NONE;
}

void CDateTimeUI::UpdateText()
{
    if (m_nUpdateState == UPDATE_CLEARED) {
        SetText(L"");
    } else if (m_nUpdateState == UPDATE_CHOSEN) {
        CUIString text;
        text.Format(L"%4d-%02d-%02d", m_sysTime.wYear, m_sysTime.wMonth, m_sysTime.wDay);
        SetText(text);
    }
}

void CDateTimeUI::openPicker()
{
    if (m_pWindow || !m_pManager) return;
    m_pWindow.Open(this);
}

void CDateTimeUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsEnabled())) return;
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (!IsEnabled()) break;
        setTextCursor();
        return;
    case UIEVENT_WINDOWSIZE:
        if (m_pWindow && m_pManager) m_pManager->SetFocusNeeded(this);
        break;
    case UIEVENT_SETFOCUS:
        if (!IsEnabled()) break;
        m_bFocused = true;
        openPicker();
        return;
    case UIEVENT_KILLFOCUS:
        if (!IsEnabled()) break;
        m_bFocused = false;
        // Focus leaving while the calendar (not the picker) holds it ends the picker too.
        if (m_pWindow && ::GetFocus() != m_pWindow.GetWindowHandle()) m_pWindow->End();
        Invalidate();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (m_pManager) m_pManager->ReleaseCapture();
        if (IsFocused()) openPicker();
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_MOUSELEAVE:
    case UIEVENT_MOUSEENTER:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU: return;
    default: break;
    }
    CLabelUI::OnEvent(event);
}

}  // namespace SkinUI
