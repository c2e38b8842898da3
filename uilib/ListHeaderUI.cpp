// Implementation details: while a separator is dragged, the anchor point moves
// with the column's edge, not with the cursor; a cursor that went past the
// minimum width takes the edge along again only once it is back over it.
#include "ListHeaderUI.h"

#include "AttributeTable.h"
#include "ListStyle.h"
#include "RenderKit.h"

#include <algorithm>

namespace SkinUI {

// --- header ---

const wchar_t* CListHeaderUI::GetClassName() const
{
    return L"ListHeaderUI";
}

LPVOID CListHeaderUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ListHeader") == 0) return this;
    return CHorizontalLayoutUI::GetInterfaceByName(name);
}

SIZE CListHeaderUI::MeasureSize(SIZE available)
{
    SIZE size = {0, m_cxyFixed.cy};
    int tallest = 0;
    for (int i = 0; i < m_items.GetSize(); ++i) {
        SIZE item = static_cast<CControlUI*>(m_items.GetAt(i))->MeasureSize(available);
        size.cx += item.cx;
        tallest = std::max(tallest, static_cast<int>(item.cy));
    }
    if (size.cy == 0 && m_pManager)
        size.cy = std::max(tallest, static_cast<int>(m_pManager->GetDefaultFontInfo()->tm.tmHeight) + 6);
    return size;
}

// --- header item ---

CListHeaderItemUI::CListHeaderItemUI()
    : CTextStyleUI(TTextStyleUI{0, -1, DT_CENTER | DT_VCENTER | DT_SINGLELINE, RECT{2, 0, 2, 0}, false})
{
}

const wchar_t* CListHeaderItemUI::GetClassName() const
{
    return L"ListHeaderItemUI";
}

LPVOID CListHeaderItemUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ListHeaderItem") == 0) return this;
    return CControlUI::GetInterfaceByName(name);
}

UINT CListHeaderItemUI::GetInputFlags() const
{
    return IsEnabled() && m_iSepWidth != 0 ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u;
}

void CListHeaderItemUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!enabled) m_uButtonState = 0;
}

void CListHeaderItemUI::SetDragable(bool dragable)
{
    m_bDragable = dragable;
    if (!dragable) m_uButtonState &= ~UISTATE_CAPTURED;
}

void CListHeaderItemUI::SetSepWidth(int width)
{
    m_iSepWidth = width;
}

void CListHeaderItemUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CListHeaderItemUI> kSetters[] = {
        {L"normalimage", [](auto& h, auto v) { h.setImage(h.m_sNormalImage, v); }},
        {L"hotimage", [](auto& h, auto v) { h.setImage(h.m_sHotImage, v); }},
        {L"pushedimage", [](auto& h, auto v) { h.setImage(h.m_sPushedImage, v); }},
        {L"focusedimage", [](auto& h, auto v) { h.setImage(h.m_sFocusedImage, v); }},
        {L"sepimage", [](auto& h, auto v) { h.setImage(h.m_sSepImage, v); }},
        {L"dragable", [](auto& h, auto v) { h.SetDragable(ParseBool(v)); }},
        {L"sepwidth", [](auto& h, auto v) { h.SetSepWidth(ParseInt(v)); }},
        {L"align", [](auto& h, auto v) { h.SetTextStyle(ApplyHorizontalAlign(h.GetTextStyle(), v)); }},
    };
    if (applyTextStyleAttribute(name, value) || ApplyAttribute(kSetters, *this, name, value)) return;
    CControlUI::SetAttribute(name, value);
}

RECT CListHeaderItemUI::GetThumbRect() const
{
    const RECT& r = m_rcItem;
    if (m_iSepWidth < 0) return RECT{r.left, r.top, r.left - m_iSepWidth, r.bottom};
    return RECT{r.right - m_iSepWidth, r.top, r.right, r.bottom};
}

RECT CListHeaderItemUI::sepHitRect() const
{
    RECT rc = GetThumbRect();
    if (m_iSepWidth < 0)
        rc.right += 4;
    else
        rc.left -= 4;
    return rc;
}

void CListHeaderItemUI::dragTo(POINT pt)
{
    int width = m_cxyFixed.cx > 0 ? m_cxyFixed.cx : m_rcItem.right - m_rcItem.left;
    int travel = pt.x - m_ptLastMouse.x;
    int wanted = m_iSepWidth < 0 ? width - travel : width + travel;
    // A zero fixed width would make the column stretch: one pixel is the least.
    int least = std::max(GetMinWidth(), 1);
    int grown = std::clamp(wanted, least, std::max(GetMaxWidth(), least));
    if (grown == width) return;
    m_ptLastMouse.x += m_iSepWidth < 0 ? width - grown : grown - width;
    m_ptLastMouse.y = pt.y;
    SetFixedWidth(grown);
    // The list lays its columns and rows out again.
    if (m_pParent) m_pParent->NeedParentUpdate();
}

void CListHeaderItemUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsMouseEnabled())) return;
    RECT hit = sepHitRect();
    bool onSeparator = PtInRect(&hit, event.ptMouse) != FALSE;
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS: Invalidate(); break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (!IsEnabled()) break;
        if (!onSeparator) {
            m_uButtonState |= UISTATE_PUSHED;
            if (m_pManager) m_pManager->SendNotify(this, L"headerclick");
            Invalidate();
        } else if (m_bDragable) {
            m_uButtonState |= UISTATE_CAPTURED;
            m_ptLastMouse = event.ptMouse;
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) dragTo(event.ptMouse);
        return;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            m_uButtonState &= ~UISTATE_CAPTURED;
            if (m_pParent) m_pParent->NeedParentUpdate();
        } else if (m_uButtonState & UISTATE_PUSHED) {
            m_uButtonState &= ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEVENT_SETCURSOR:
        if (IsEnabled() && m_bDragable && onSeparator) {
            ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));
            return;
        }
        break;
    case UIEVENT_MOUSEENTER:
        if (!IsEnabled()) break;
        m_uButtonState |= UISTATE_HOT;
        Invalidate();
        return;
    case UIEVENT_MOUSELEAVE:
        if (!IsEnabled()) break;
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
        return;
    default: break;
    }
    CControlUI::OnEvent(event);
}

SIZE CListHeaderItemUI::MeasureSize(SIZE)
{
    if (m_cxyFixed.cy != 0 || !m_pManager) return m_cxyFixed;
    return SIZE{m_cxyFixed.cx, m_pManager->GetDefaultFontInfo()->tm.tmHeight + 14};
}

void CListHeaderItemUI::drawStateImage(HDC dc, CUIString& image)
{
    CUIString& drawn = image.IsEmpty() ? m_sNormalImage : image;
    drawOrForget(dc, drawn);
}

void CListHeaderItemUI::PaintStateImage(HDC dc)
{
    m_uButtonState = IsFocused() ? m_uButtonState | UISTATE_FOCUSED : m_uButtonState & ~UISTATE_FOCUSED;
    if (m_uButtonState & UISTATE_PUSHED)
        drawStateImage(dc, m_sPushedImage);
    else if (m_uButtonState & UISTATE_HOT)
        drawStateImage(dc, m_sHotImage);
    else if (m_uButtonState & UISTATE_FOCUSED)
        drawStateImage(dc, m_sFocusedImage);
    else
        drawStateImage(dc, m_sNormalImage);
    if (m_sSepImage.IsEmpty()) return;
    RECT thumb = GetThumbRect();
    OffsetRect(&thumb, -m_rcItem.left, -m_rcItem.top);
    m_sSepImageModify.Format(L"dest='%d,%d,%d,%d'", thumb.left, thumb.top, thumb.right, thumb.bottom);
    drawOrForget(dc, m_sSepImage, m_sSepImageModify);
}

void CListHeaderItemUI::PaintContentText(HDC dc)
{
    CUIString text = GetText();
    if (text.IsEmpty()) return;
    DWORD& textColor = m_textStyle.dwTextColor;
    if (textColor == 0 && m_pManager) textColor = m_pManager->GetDefaultFontColor();
    m_textStyle.Draw(dc, m_pManager, m_rcItem, text, GetAdjustColor(textColor), m_textStyle.uTextStyle | DT_SINGLELINE);
}

}  // namespace SkinUI
