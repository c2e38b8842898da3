// Implementation details: the link rectangles are those of the last paint;
// a click or hover is matched against them.
#include "TextUI.h"

#include "RenderKit.h"

#include <algorithm>

namespace SkinUI {

CTextUI::CTextUI()
{
    m_uTextStyle = DT_WORDBREAK;
    m_rcTextPadding.left = 2;
    m_rcTextPadding.right = 2;
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
    return IsEnabled() && m_nLinks > 0 ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u;
}

RECT CTextUI::GetLinkRect(int index) const
{
    return index >= 0 && index < m_nLinks ? m_rcLinks[index] : RECT{0, 0, 0, 0};
}

CUIString CTextUI::GetLinkText(int index) const
{
    return index >= 0 && index < m_nLinks ? m_sLinks[index] : CUIString();
}

int CTextUI::linkAt(POINT pt) const
{
    for (int i = 0; i < m_nLinks; ++i)
        if (PtInRect(&m_rcLinks[i], pt)) return i;
    return -1;
}

void CTextUI::OnEvent(TEventMsgUI& event)
{
    int link = linkAt(event.ptMouse);
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
        if (IsEnabled() && m_nLinks > 0) {
            if (link != m_nHoverLink) {
                m_nHoverLink = link;
                Invalidate();
            }
            return;
        }
        break;
    case UIEVENT_MOUSELEAVE:
        if (m_nHoverLink != -1) {
            m_nHoverLink = -1;
            Invalidate();
        }
        break;
    default: break;
    }
    CLabelUI::OnEvent(event);
}

SIZE CTextUI::MeasureSize(SIZE available)
{
    if (!m_pManager) return m_cxyFixed;
    RECT rc = {m_rcTextPadding.left, 0, std::max(m_cxyFixed.cx, available.cx) - m_rcTextPadding.right, 9999};
    HDC dc = m_pManager->GetPaintDC();
    HDC screen = dc ? nullptr : ::GetDC(nullptr);
    HDC measure = dc ? dc : screen;
    CUIString text = GetText();
    if (m_bShowHtml) {
        int links = 0;
        CRenderKit::DrawHtmlText(measure, m_pManager, rc, text, 0, nullptr, nullptr, links, DT_CALCRECT | m_uTextStyle);
    } else {
        CRenderKit::DrawText(measure, m_pManager, rc, text, 0, m_iFont, DT_CALCRECT | m_uTextStyle);
    }
    if (screen) ::ReleaseDC(nullptr, screen);
    SIZE size = {rc.right - rc.left + m_rcTextPadding.left + m_rcTextPadding.right,
        rc.bottom - rc.top + m_rcTextPadding.top + m_rcTextPadding.bottom};
    if (m_cxyFixed.cy != 0) size.cy = m_cxyFixed.cy;
    return size;
}

void CTextUI::PaintContentText(HDC dc)
{
    CUIString text = GetText();
    if (text.IsEmpty()) {
        m_nLinks = 0;
        return;
    }
    resolveDefaultColors();
    RECT rc = textRect();
    DWORD color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if (m_bShowHtml) {
        m_nLinks = kMaxLinks;
        CRenderKit::DrawHtmlText(dc, m_pManager, rc, text, color, m_rcLinks, m_sLinks, m_nLinks, m_uTextStyle);
    } else {
        m_nLinks = 0;
        CRenderKit::DrawText(dc, m_pManager, rc, text, color, m_iFont, m_uTextStyle);
    }
}

}  // namespace SkinUI
