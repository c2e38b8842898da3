// Implementation details: the state bits change only through events and
// SetEnabled; painting refreshes the focused and disabled bits from the
// control base first. An option joins its group when it is initialised in a
// window and leaves it when it goes.
#include "ButtonUI.h"

#include "AttributeTable.h"
#include "RenderKit.h"

namespace SkinUI {

// --- button ---

CButtonUI::CButtonUI()
{
    m_textStyle.uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

const wchar_t* CButtonUI::GetClassName() const
{
    return L"ButtonUI";
}

LPVOID CButtonUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Button") == 0) return this;
    return CLabelUI::GetInterfaceByName(name);
}

UINT CButtonUI::GetInputFlags() const
{
    // The tab stop stays while disabled: the tab order skips disabled controls itself.
    return (IsEnabled() ? UIFLAG_SETCURSOR : 0u) | (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0u);
}

bool CButtonUI::RunDefaultAction()
{
    if (!CLabelUI::RunDefaultAction()) return false;
    if (m_pManager) m_pManager->SendNotify(this, L"click");
    return true;
}

void CButtonUI::SetEnabled(bool enabled)
{
    CLabelUI::SetEnabled(enabled);
    if (!enabled) m_uButtonState = 0;
}

void CButtonUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsMouseEnabled())) return;
    bool inside = PtInRect(&m_rcItem, event.ptMouse) != FALSE;
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS: Invalidate(); break;
    case UIEVENT_KEYDOWN:
        if (IsKeyboardEnabled() && (event.chKey == VK_SPACE || event.chKey == VK_RETURN)) {
            RunDefaultAction();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (inside && IsEnabled()) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            m_uButtonState = inside ? m_uButtonState | UISTATE_PUSHED : m_uButtonState & ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            // The click may remove this button: take the state off first.
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (inside) RunDefaultAction();
        }
        return;
    case UIEVENT_CONTEXTMENU:
        if (IsMenuNotifyEnabled() && m_pManager) m_pManager->SendNotify(this, L"menu", event.wParam, event.lParam);
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        if (IsEnabled()) {
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_SETCURSOR: ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND))); return;
    default: break;
    }
    CLabelUI::OnEvent(event);
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using AttributeValue::ParseColor;
    static const AttributeSetter<CButtonUI> kSetters[] = {
        {L"normalimage", [](auto& b, auto v) { b.SetNormalImage(v); }},
        {L"hotimage", [](auto& b, auto v) { b.SetHotImage(v); }},
        {L"pushedimage", [](auto& b, auto v) { b.SetPushedImage(v); }},
        {L"focusedimage", [](auto& b, auto v) { b.SetFocusedImage(v); }},
        {L"disabledimage", [](auto& b, auto v) { b.SetDisabledImage(v); }},
        {L"foreimage", [](auto& b, auto v) { b.SetForeImage(v); }},
        {L"hotforeimage", [](auto& b, auto v) { b.SetHotForeImage(v); }},
        {L"hotbkcolor", [](auto& b, auto v) { b.SetHotBkColor(ParseColor(v)); }},
        {L"hottextcolor", [](auto& b, auto v) { b.SetHotTextColor(ParseColor(v)); }},
        {L"pushedtextcolor", [](auto& b, auto v) { b.SetPushedTextColor(ParseColor(v)); }},
        {L"focusedtextcolor", [](auto& b, auto v) { b.SetFocusedTextColor(ParseColor(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CLabelUI::SetAttribute(name, value);
}

SIZE CButtonUI::MeasureSize(SIZE)
{
    if (m_cxyFixed.cy != 0 || !m_pManager) return m_cxyFixed;
    return SIZE{m_cxyFixed.cx, m_pManager->GetFontInfo(m_textStyle.iFont)->tm.tmHeight + 8};
}

void CButtonUI::PaintStateImage(HDC dc)
{
    refreshStateBits(m_uButtonState);
    auto drawForeground = [&](CUIString& stateFore) {
        if (!drawOrForget(dc, stateFore)) drawOrForget(dc, m_sForeImage);
    };
    if (m_uButtonState & UISTATE_DISABLED) {
        if (drawOrForget(dc, m_sDisabledImage)) return;
    } else if (m_uButtonState & UISTATE_PUSHED && drawOrForget(dc, m_sPushedImage)) {
        drawForeground(m_sPushedForeImage);
        return;
    } else if (m_uButtonState & UISTATE_HOT) {
        if (drawOrForget(dc, m_sHotImage)) {
            drawForeground(m_sHotForeImage);
            return;
        }
        if (m_sHotImage.IsEmpty() && m_dwHotBkColor != 0) {
            CRenderKit::DrawColor(dc, m_rcPaint, GetAdjustColor(m_dwHotBkColor));
            return;
        }
    } else if (m_uButtonState & UISTATE_FOCUSED) {
        if (drawOrForget(dc, m_sFocusedImage)) return;
    }
    drawOrForget(dc, m_sNormalImage);
    drawOrForget(dc, m_sForeImage);
}

DWORD CButtonUI::stateTextColor() const
{
    if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedTextColor != 0) return m_dwPushedTextColor;
    if ((m_uButtonState & UISTATE_HOT) && m_dwHotTextColor != 0) return m_dwHotTextColor;
    if ((m_uButtonState & UISTATE_FOCUSED) && m_dwFocusedTextColor != 0) return m_dwFocusedTextColor;
    return enabledTextColor();
}

void CButtonUI::PaintContentText(HDC dc)
{
    resolveDefaultColors();
    paintLabelText(dc, stateTextColor());
}

// --- option ---

COptionUI::~COptionUI()
{
    if (!m_sGroupName.IsEmpty() && m_pManager) m_pManager->RemoveOptionGroup(m_sGroupName, this);
}

const wchar_t* COptionUI::GetClassName() const
{
    return L"OptionUI";
}

LPVOID COptionUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Option") == 0) return this;
    return CButtonUI::GetInterfaceByName(name);
}

void COptionUI::SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init)
{
    CButtonUI::SetManager(manager, parent, init);
    if (init && m_pManager && !m_sGroupName.IsEmpty()) m_pManager->AddOptionGroup(m_sGroupName, this);
}

void COptionUI::SetGroup(const wchar_t* group)
{
    CUIString name = group;
    if (name == m_sGroupName) return;
    if (!m_sGroupName.IsEmpty() && m_pManager) m_pManager->RemoveOptionGroup(m_sGroupName, this);
    m_sGroupName = name;
    if (!m_sGroupName.IsEmpty() && m_pManager) m_pManager->AddOptionGroup(m_sGroupName, this);
}

void COptionUI::Selected(bool selected)
{
    if (m_bSelected == selected) return;
    m_bSelected = selected;
    m_uButtonState = selected ? m_uButtonState | UISTATE_SELECTED : m_uButtonState & ~UISTATE_SELECTED;
    if (m_pManager) {
        if (m_sGroupName.IsEmpty()) {
            m_pManager->SendNotify(this, L"selectchanged");
        } else if (selected) {
            if (CPtrArrayUI* group = m_pManager->GetOptionGroup(m_sGroupName)) {
                // A copy: a handler of the deselection may leave the group.
                CPtrArrayUI members(*group);
                for (int i = 0; i < members.GetSize(); ++i) {
                    auto* other = static_cast<COptionUI*>(members.GetAt(i));
                    if (other != this) other->Selected(false);
                }
            }
            m_pManager->SendNotify(this, L"selectchanged");
        }
    }
    Invalidate();
}

bool COptionUI::RunDefaultAction()
{
    if (!CButtonUI::RunDefaultAction()) return false;
    Selected(m_sGroupName.IsEmpty() ? !m_bSelected : true);
    return true;
}

void COptionUI::SetEnabled(bool enabled)
{
    CButtonUI::SetEnabled(enabled);
    if (!enabled) m_uButtonState = m_bSelected ? static_cast<UINT>(UISTATE_SELECTED) : 0u;
}

void COptionUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<COptionUI> kSetters[] = {
        {L"group", [](auto& o, auto v) { o.SetGroup(v); }},
        {L"selected", [](auto& o, auto v) { o.Selected(ParseBool(v)); }},
        {L"selectedimage", [](auto& o, auto v) { o.SetSelectedImage(v); }},
        {L"selectedhotimage", [](auto& o, auto v) { o.SetSelectedHotImage(v); }},
        // The option's own foreground, drawn over its state images.
        {L"foreimage", [](auto& o, auto v) { o.setImage(o.m_sOptionForeImage, v); }},
        {L"selectedbkcolor", [](auto& o, auto v) { o.SetSelectedBkColor(ParseColor(v)); }},
        {L"selectedtextcolor", [](auto& o, auto v) { o.SetSelectedTextColor(ParseColor(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CButtonUI::SetAttribute(name, value);
}

void COptionUI::PaintStateImage(HDC dc)
{
    m_uButtonState &= ~UISTATE_PUSHED;
    bool drawn = false;
    if (m_bSelected) {
        if ((m_uButtonState & UISTATE_HOT) && drawOrForget(dc, m_sSelectedHotImage)) {
            drawn = true;
        } else if (drawOrForget(dc, m_sSelectedImage)) {
            drawn = true;
        } else if (m_sSelectedImage.IsEmpty() && m_dwSelectedBkColor != 0) {
            CRenderKit::DrawColor(dc, m_rcPaint, GetAdjustColor(m_dwSelectedBkColor));
            return;
        }
    }
    if (!drawn) CButtonUI::PaintStateImage(dc);
    drawOrForget(dc, m_sOptionForeImage);
}

void COptionUI::PaintContentText(HDC dc)
{
    if (!m_bSelected) {
        CButtonUI::PaintContentText(dc);
        return;
    }
    resolveDefaultColors();
    paintLabelText(dc, m_dwSelectedTextColor != 0 ? m_dwSelectedTextColor : enabledTextColor());
}

// --- check box ---

const wchar_t* CCheckBoxUI::GetClassName() const
{
    return L"CheckBoxUI";
}

}  // namespace SkinUI
