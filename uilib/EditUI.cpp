#include "EditUI.h"

#include "AttributeTable.h"
#include "RenderKit.h"

namespace SkinUI {

namespace {

// The manager reflects WM_COMMAND and WM_CTLCOLOR* to the child that sent them.
constexpr UINT kReflectedBase = 0x2000;

COLORREF colorRefOf(DWORD argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

}  // namespace

// --- CEditWnd ---

CEditWnd::CEditWnd() : CNativeChildWnd(L"EditWnd", WC_EDITW) {}

void CEditWnd::Init(CEditUI* owner)
{
    m_pOwner = owner;
    RECT rc = owner->GetNativeRect();
    DWORD style = WS_CHILD | ES_AUTOHSCROLL;
    if (owner->IsPasswordMode()) style |= ES_PASSWORD;
    if (!createOverOwner(style, rc)) return;
    SendWindowMessage(EM_LIMITTEXT, owner->GetMaxChar());
    if (owner->IsPasswordMode()) SendWindowMessage(EM_SETPASSWORDCHAR, owner->GetPasswordChar());
    ::SetWindowTextW(m_hWnd, owner->GetText());
    SendWindowMessage(EM_SETMODIFY, FALSE);
    SendWindowMessage(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    ::EnableWindow(m_hWnd, owner->IsEnabled());
    SendWindowMessage(EM_SETREADONLY, owner->IsReadOnly());
    LONG_PTR current = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, current | owner->GetExtraWindowStyle());
    showFocused();
}

LRESULT CEditWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KILLFOCUS: {
        LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
        PostWindowMessage(WM_CLOSE);
        return result;
    }
    case WM_KEYDOWN:
        if (wParam != VK_RETURN) break;
        // The handler may remove the owner; nothing here touches it afterwards.
        if (m_pOwner && m_pOwner->GetManager()) m_pOwner->GetManager()->SendNotify(m_pOwner, L"return");
        return 0;
    case kReflectedBase + WM_COMMAND: return onChange(wParam);
    case kReflectedBase + WM_CTLCOLOREDIT:
    case kReflectedBase + WM_CTLCOLORSTATIC: return onColor(wParam);
    default: break;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

LRESULT CEditWnd::onChange(WPARAM wParam)
{
    if (!m_pOwner) return 0;
    if (HIWORD(wParam) == EN_CHANGE && m_bInit) {
        int length = ::GetWindowTextLengthW(m_hWnd) + 1;
        std::wstring text(static_cast<size_t>(length), L'\0');
        ::GetWindowTextW(m_hWnd, text.data(), length);
        m_pOwner->m_sText = text.c_str();
        // An edit taken out of its window's tree keeps its text but tells no one.
        if (CWindowManagerUI* manager = m_pOwner->GetManager()) manager->SendNotify(m_pOwner, L"textchanged");
    } else if (HIWORD(wParam) == EN_UPDATE) {
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    }
    return 0;
}

LRESULT CEditWnd::onColor(WPARAM wParam)
{
    if (!m_pOwner || m_pOwner->GetNativeBkColor() == 0xFFFFFFFF) return 0;
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colorRefOf(m_pOwner->GetTextColor()));
    if (!m_hBkBrush) m_hBkBrush = ::CreateSolidBrush(colorRefOf(m_pOwner->GetNativeBkColor()));
    return reinterpret_cast<LRESULT>(m_hBkBrush);
}

CEditWnd::~CEditWnd()
{
    if (m_hBkBrush) ::DeleteObject(m_hBkBrush);
}

// --- CEditUI ---

CEditUI::CEditUI()
{
    SetTextPadding(RECT{4, 3, 4, 3});
    SetBkColor(0xFFFFFFFF);
}

const wchar_t* CEditUI::GetClassName() const
{
    return L"EditUI";
}

LPVOID CEditUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Edit") == 0) return this;
    return CLabelUI::GetInterfaceByName(name);
}

UINT CEditUI::GetInputFlags() const
{
    return IsEnabled() ? UIFLAG_TABSTOP | UIFLAG_SETCURSOR : 0;
}

void CEditUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!IsEnabled()) m_uButtonState = 0;
}

void CEditUI::SetText(const wchar_t* text)
{
    m_sText = text ? text : L"";
    if (m_pWindow) ::SetWindowTextW(m_pWindow.GetWindowHandle(), m_sText);
    Invalidate();
}

void CEditUI::SetMaxChar(UINT max)
{
    m_uMaxChar = max;
    if (m_pWindow) m_pWindow->SendWindowMessage(EM_LIMITTEXT, m_uMaxChar);
}

void CEditUI::SetReadOnly(bool readOnly)
{
    if (m_bReadOnly == readOnly) return;
    m_bReadOnly = readOnly;
    if (m_pWindow) m_pWindow->SendWindowMessage(EM_SETREADONLY, m_bReadOnly);
    Invalidate();
}

void CEditUI::SetNumberOnly(bool numberOnly)
{
    if (numberOnly)
        m_uWindowStyle |= ES_NUMBER;
    else
        m_uWindowStyle &= ~static_cast<UINT>(ES_NUMBER);
}

void CEditUI::SetPasswordMode(bool password)
{
    if (m_bPasswordMode == password) return;
    m_bPasswordMode = password;
    Invalidate();
}

RECT CEditUI::GetNativeRect() const
{
    RECT rc = textRect();
    if (!m_pManager) return rc;
    LONG fontHeight = m_pManager->GetFontInfo(m_textStyle.iFont)->tm.tmHeight;
    if (fontHeight < rc.bottom - rc.top) {
        rc.top += (rc.bottom - rc.top - fontHeight) / 2;
        rc.bottom = rc.top + fontHeight;
    }
    return rc;
}

void CEditUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    if (!m_pWindow) return;
    RECT native = GetNativeRect();
    ::SetWindowPos(m_pWindow.GetWindowHandle(), nullptr, native.left, native.top, native.right - native.left,
        native.bottom - native.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CEditUI::closeWindowIfHidden()
{
    if (!IsVisible() && m_pWindow && m_pManager) m_pManager->SetFocus(nullptr);
}

void CEditUI::SetVisible(bool visible)
{
    CControlUI::SetVisible(visible);
    closeWindowIfHidden();
}

void CEditUI::SetInheritedVisible(bool visible)
{
    CControlUI::SetInheritedVisible(visible);
    closeWindowIfHidden();
}

void CEditUI::openWindow()
{
    m_pWindow.Open(this);
}

void CEditUI::selectAll()
{
    if (!m_pWindow) return;
    int length = m_sText.GetLength();
    m_pWindow->SendWindowMessage(EM_SETSEL, 0, length == 0 ? 1 : length);
}

void CEditUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsMouseEnabled())) return;
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (!IsEnabled()) break;
        setTextCursor();
        return;
    case UIEVENT_WINDOWSIZE:
        if (m_pWindow && m_pManager) m_pManager->SetFocusNeeded(this);
        return;
    case UIEVENT_SCROLLWHEEL:
        if (m_pWindow) return;
        break;
    case UIEVENT_SETFOCUS:
        if (!IsEnabled()) break;
        m_bFocused = true;
        if (!m_pWindow) openWindow();
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        if (!IsEnabled()) break;
        m_bFocused = false;
        Invalidate();
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU: return;
    case UIEVENT_MOUSELEAVE:
    case UIEVENT_MOUSEENTER:
        if (!IsEnabled()) break;
        if (event.Type == UIEVENT_MOUSEENTER)
            m_uButtonState |= UISTATE_HOT;
        else
            m_uButtonState &= ~static_cast<UINT>(UISTATE_HOT);
        Invalidate();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (!IsEnabled()) break;
        if (m_pManager) m_pManager->ReleaseCapture();
        if (IsFocused() && !m_pWindow) {
            openWindow();
            if (::PtInRect(&m_rcItem, event.ptMouse)) selectAll();
        } else if (m_pWindow) {
            selectAll();
        }
        return;
    default: break;
    }
    CLabelUI::OnEvent(event);
}

void CEditUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CEditUI> kSetters[] = {
        {L"readonly", [](auto& e, auto v) { e.SetReadOnly(ParseBool(v)); }},
        {L"numberonly", [](auto& e, auto v) { e.SetNumberOnly(ParseBool(v)); }},
        {L"password", [](auto& e, auto v) { e.SetPasswordMode(ParseBool(v)); }},
        {L"maxchar", [](auto& e, auto v) { e.SetMaxChar(static_cast<UINT>(ParseInt(v))); }},
        {L"normalimage", [](auto& e, auto v) { e.SetNormalImage(v); }},
        {L"hotimage", [](auto& e, auto v) { e.SetHotImage(v); }},
        {L"focusedimage", [](auto& e, auto v) { e.SetFocusedImage(v); }},
        {L"disabledimage", [](auto& e, auto v) { e.SetDisabledImage(v); }},
        {L"nativebkcolor", [](auto& e, auto v) { e.SetNativeBkColor(ParseColor(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CLabelUI::SetAttribute(name, value);
}

SIZE CEditUI::MeasureSize(SIZE available)
{
    if (m_cxyFixed.cy != 0) return CControlUI::MeasureSize(available);
    int fontHeight = m_pManager ? m_pManager->GetFontInfo(m_textStyle.iFont)->tm.tmHeight : 0;
    return SIZE{m_cxyFixed.cx, fontHeight + 6};
}

void CEditUI::PaintStateImage(HDC dc)
{
    refreshStateBits(m_uButtonState);
    CUIString* state = nullptr;
    if (m_uButtonState & UISTATE_DISABLED)
        state = &m_sDisabledImage;
    else if (m_uButtonState & UISTATE_FOCUSED)
        state = &m_sFocusedImage;
    else if (m_uButtonState & UISTATE_HOT)
        state = &m_sHotImage;
    if (state && drawOrForget(dc, *state)) return;
    drawOrForget(dc, m_sNormalImage);
}

void CEditUI::PaintContentText(HDC dc)
{
    resolveDefaultColors();
    if (m_sText.IsEmpty()) return;
    CUIString shown = m_sText;
    if (m_bPasswordMode) {
        shown.Empty();
        for (int i = 0; i < m_sText.GetLength(); ++i) shown.Append(m_cPasswordChar);
    }
    RECT rc = textRect();
    CRenderKit::DrawText(
        dc, m_pManager, rc, shown, enabledTextColor(), m_textStyle.iFont, m_textStyle.uTextStyle | DT_SINGLELINE);
}

}  // namespace SkinUI
