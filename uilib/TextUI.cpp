// Implementation details: the link rectangles are those of the last paint;
// a click or hover is matched against them.
#include "TextUI.h"

#include "RenderKit.h"

#include <algorithm>

namespace SkinUI {

CTextUI::CTextUI()
{
    m_textStyle.uTextStyle = DT_WORDBREAK;
    m_textStyle.rcTextPadding.left = 2;
    m_textStyle.rcTextPadding.right = 2;
}

const wchar_t* CTextUI::GetClassName() const
{
    return L"TextUI";
}

LPVOID CTextUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Text") == 0) return this;
    return CLabelUI::GetInterfaceByName(name);
}

UINT CTextUI::GetInputFlags() const
{
    return IsEnabled() && m_links.nLinks > 0 ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u;
}

void CTextUI::OnEvent(TEventMsgUI& event)
{
    int link = m_links.At(event.ptMouse);
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (link >= 0) {
            ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (link >= 0 && (event.Type == UIEVENT_BUTTONDOWN || IsEnabled())) {
            Invalidate();
            return;
        }
        break;
    case UIEVENT_BUTTONUP:
        if (link >= 0 && IsEnabled()) {
            if (m_pManager) m_pManager->SendNotify(this, L"link", static_cast<WPARAM>(link));
            return;
        }
        break;
    case UIEVENT_CONTEXTMENU: return;
    case UIEVENT_MOUSEMOVE:
        if (IsEnabled() && m_links.nLinks > 0) {
            if (m_links.SetHot(link)) Invalidate();
            return;
        }
        break;
    case UIEVENT_MOUSELEAVE:
        if (m_links.SetHot(-1)) Invalidate();
        break;
    default: break;
    }
    CLabelUI::OnEvent(event);
}

SIZE CTextUI::MeasureSize(SIZE available)
{
    if (!m_pManager) return m_cxyFixed;
    RECT rc = {m_textStyle.rcTextPadding.left, 0,
        std::max(m_cxyFixed.cx, available.cx) - m_textStyle.rcTextPadding.right, 9999};
    CRenderKit::MeasureText(
        m_pManager, rc, GetText(), m_textStyle.iFont, m_textStyle.uTextStyle, m_textStyle.bShowHtml);
    SIZE size = {rc.right - rc.left + m_textStyle.rcTextPadding.left + m_textStyle.rcTextPadding.right,
        rc.bottom - rc.top + m_textStyle.rcTextPadding.top + m_textStyle.rcTextPadding.bottom};
    if (m_cxyFixed.cy != 0) size.cy = m_cxyFixed.cy;
    return size;
}

void CTextUI::PaintContentText(HDC dc)
{
    CUIString text = GetText();
    m_links.nLinks = 0;
    if (text.IsEmpty()) return;
    resolveDefaultColors();
    RECT rc = textRect();
    DWORD color = enabledTextColor();
    if (m_textStyle.bShowHtml)
        m_links.DrawHtmlText(dc, m_pManager, rc, text, color, m_textStyle.uTextStyle);
    else
        CRenderKit::DrawText(dc, m_pManager, rc, text, color, m_textStyle.iFont, m_textStyle.uTextStyle);
}

}  // namespace SkinUI
