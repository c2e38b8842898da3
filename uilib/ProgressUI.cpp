// Implementation details: the foreground and thumb are drawn through image
// strings with a "dest" (and, for a cut foreground, "source") modifier
// relative to the control; the modifier texts are kept between paints.
#include "ProgressUI.h"

#include "AttributeTable.h"
#include <algorithm>
#include <cstdint>
#include <cwchar>

namespace SkinUI {

namespace {

// part × numerator / denominator in 64 bits; denominator > 0.
long scaled(long part, long long numerator, long long denominator)
{
    return static_cast<long>(static_cast<long long>(part) * numerator / denominator);
}

}  // namespace

// --- progress ---

CProgressUI::CProgressUI()
{
    m_textStyle.uTextStyle = DT_SINGLELINE | DT_CENTER;
    m_cxyFixed.cy = 12;
}

const wchar_t* CProgressUI::GetClassName() const
{
    return L"ProgressUI";
}

LPVOID CProgressUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Progress") == 0) return this;
    return CLabelUI::GetInterfaceByName(name);
}

void CProgressUI::SetHorizontal(bool horizontal)
{
    if (m_bHorizontal == horizontal) return;
    m_bHorizontal = horizontal;
    Invalidate();
}

void CProgressUI::SetStretchForeImage(bool stretch)
{
    if (m_bStretchForeImage == stretch) return;
    m_bStretchForeImage = stretch;
    Invalidate();
}

void CProgressUI::SetMinValue(int min)
{
    m_nMin = min;
    Invalidate();
}

void CProgressUI::SetMaxValue(int max)
{
    m_nMax = max;
    Invalidate();
}

void CProgressUI::SetValue(int value)
{
    if (value == m_nValue || value < m_nMin || value > m_nMax) return;
    m_nValue = value;
    Invalidate();
}

void CProgressUI::SetForeImage(const wchar_t* image)
{
    if (m_sForeImage == (image ? image : L"")) return;
    m_sForeImage = image;
    Invalidate();
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CProgressUI> kSetters[] = {
        {L"foreimage", [](auto& p, auto v) { p.SetForeImage(v); }},
        {L"hor", [](auto& p, auto v) { p.SetHorizontal(ParseBool(v)); }},
        {L"min", [](auto& p, auto v) { p.SetMinValue(ParseInt(v)); }},
        {L"max", [](auto& p, auto v) { p.SetMaxValue(ParseInt(v)); }},
        {L"value", [](auto& p, auto v) { p.SetValue(ParseInt(v)); }},
        {L"isstretchfore", [](auto& p, auto v) { p.SetStretchForeImage(ParseBool(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CLabelUI::SetAttribute(name, value);
}

RECT CProgressUI::GetForegroundRect()
{
    if (m_nMax <= m_nMin) m_nMax = m_nMin + 1;
    m_nValue = std::clamp(m_nValue, m_nMin, m_nMax);
    long long span = static_cast<long long>(m_nMax) - m_nMin;
    long width = m_rcItem.right - m_rcItem.left, height = m_rcItem.bottom - m_rcItem.top;
    if (m_bHorizontal) return RECT{0, 0, scaled(width, static_cast<long long>(m_nValue) - m_nMin, span), height};
    return RECT{0, scaled(height, static_cast<long long>(m_nMax) - m_nValue, span), width, height};
}

void CProgressUI::PaintStateImage(HDC dc)
{
    RECT fore = GetForegroundRect();
    if (m_sForeImage.IsEmpty()) return;
    wchar_t modify[128];
    if (m_bStretchForeImage)
        swprintf(modify, 128, L"dest='%ld,%ld,%ld,%ld'", fore.left, fore.top, fore.right, fore.bottom);
    else
        swprintf(modify, 128, L"dest='%ld,%ld,%ld,%ld' source='%ld,%ld,%ld,%ld'", fore.left, fore.top, fore.right,
            fore.bottom, fore.left, fore.top, fore.right, fore.bottom);
    m_sForeImageModify = modify;
    drawOrForget(dc, m_sForeImage, m_sForeImageModify);
}

// --- slider ---

CSliderUI::CSliderUI()
{
    m_textStyle.uTextStyle = DT_SINGLELINE | DT_CENTER;
}

const wchar_t* CSliderUI::GetClassName() const
{
    return L"SliderUI";
}

LPVOID CSliderUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Slider") == 0) return this;
    return CProgressUI::GetInterfaceByName(name);
}

UINT CSliderUI::GetInputFlags() const
{
    return IsEnabled() ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u;
}

void CSliderUI::SetEnabled(bool enabled)
{
    CProgressUI::SetEnabled(enabled);
    if (!enabled) m_uButtonState = 0;
}

RECT CSliderUI::GetThumbRect() const
{
    long long span = static_cast<long long>(usableMax()) - m_nMin;
    long long offset = std::clamp(m_nValue, m_nMin, usableMax()) - static_cast<long long>(m_nMin);
    const RECT& rc = m_rcItem;
    if (m_bHorizontal) {
        long travel = std::max(0L, rc.right - rc.left - m_szThumb.cx);
        long left = rc.left + scaled(travel, offset, span);
        long top = (rc.bottom + rc.top - m_szThumb.cy) / 2;
        return RECT{left, top, left + m_szThumb.cx, top + m_szThumb.cy};
    }
    long travel = std::max(0L, rc.bottom - rc.top - m_szThumb.cy);
    long bottom = rc.bottom - scaled(travel, offset, span);
    long left = (rc.right + rc.left - m_szThumb.cx) / 2;
    return RECT{left, bottom - m_szThumb.cy, left + m_szThumb.cx, bottom};
}

int CSliderUI::ValueAtPoint(POINT pt) const
{
    const RECT& rc = m_rcItem;
    int max = usableMax();
    long long span = static_cast<long long>(max) - m_nMin;
    if (m_bHorizontal) {
        long travel = rc.right - rc.left - m_szThumb.cx;
        if (travel <= 0) return m_nMin;
        if (pt.x >= rc.right - m_szThumb.cx / 2) return max;
        if (pt.x <= rc.left + m_szThumb.cx / 2) return m_nMin;
        return m_nMin + static_cast<int>(static_cast<long long>(pt.x - m_szThumb.cx / 2 - rc.left) * span / travel);
    }
    long travel = rc.bottom - rc.top - m_szThumb.cy;
    if (travel <= 0) return m_nMin;
    if (pt.y <= rc.top + m_szThumb.cy / 2) return max;
    if (pt.y >= rc.bottom - m_szThumb.cy / 2) return m_nMin;
    return m_nMin + static_cast<int>(static_cast<long long>(rc.bottom - m_szThumb.cy / 2 - pt.y) * span / travel);
}

void CSliderUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsMouseEnabled())) return;
    RECT thumb = GetThumbRect();
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        m_nValueAtPress = m_nValue;
        if (IsEnabled() && PtInRect(&thumb, event.ptMouse)) m_uButtonState |= UISTATE_CAPTURED;
        return;
    case UIEVENT_BUTTONUP: {
        m_uButtonState &= ~UISTATE_CAPTURED;
        if (!IsEnabled()) return;
        // Dragging moved the value silently: the release reports the change
        // from where the press found it.
        int value = ValueAtPoint(event.ptMouse);
        if (value < m_nMin || value > m_nMax) return;
        bool changed = value != m_nValueAtPress;
        m_nValue = value;
        Invalidate();
        if (changed && m_pManager) m_pManager->SendNotify(this, L"valuechanged");
        return;
    }
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            m_nValue = ValueAtPoint(event.ptMouse);
            Invalidate();
        }
        return;
    case UIEVENT_SCROLLWHEEL:
        SetValue(m_nValue + (event.wParam == 0 ? m_nStep : -m_nStep));
        if (m_pManager) m_pManager->SendNotify(this, L"valuechanged");
        return;
    case UIEVENT_SETCURSOR:
        if (IsEnabled() && PtInRect(&thumb, event.ptMouse)) {
            ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return;
        }
        break;
    case UIEVENT_MOUSEENTER:
    case UIEVENT_MOUSELEAVE:
        if (IsEnabled()) {
            m_uButtonState =
                event.Type == UIEVENT_MOUSEENTER ? m_uButtonState | UISTATE_HOT : m_uButtonState & ~UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_CONTEXTMENU: return;
    default: break;
    }
    CProgressUI::OnEvent(event);
}

void CSliderUI::SetThumbImage(const wchar_t* image)
{
    setImage(m_sThumbImage, image);
}
void CSliderUI::SetThumbHotImage(const wchar_t* image)
{
    setImage(m_sThumbHotImage, image);
}
void CSliderUI::SetThumbPushedImage(const wchar_t* image)
{
    setImage(m_sThumbPushedImage, image);
}

void CSliderUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CSliderUI> kSetters[] = {
        {L"thumbimage", [](auto& s, auto v) { s.SetThumbImage(v); }},
        {L"thumbhotimage", [](auto& s, auto v) { s.SetThumbHotImage(v); }},
        {L"thumbpushedimage", [](auto& s, auto v) { s.SetThumbPushedImage(v); }},
        {L"thumbsize", [](auto& s, auto v) { s.SetThumbSize(ParseSize(v)); }},
        {L"step", [](auto& s, auto v) { s.SetChangeStep(ParseInt(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CProgressUI::SetAttribute(name, value);
}

void CSliderUI::PaintStateImage(HDC dc)
{
    CProgressUI::PaintStateImage(dc);
    RECT thumb = GetThumbRect();
    OffsetRect(&thumb, -m_rcItem.left, -m_rcItem.top);
    wchar_t modify[64];
    swprintf(modify, 64, L"dest='%ld,%ld,%ld,%ld'", thumb.left, thumb.top, thumb.right, thumb.bottom);
    m_sThumbModify = modify;
    CUIString* image = &m_sThumbImage;
    if ((m_uButtonState & UISTATE_CAPTURED) && !m_sThumbPushedImage.IsEmpty())
        image = &m_sThumbPushedImage;
    else if ((m_uButtonState & UISTATE_HOT) && !m_sThumbHotImage.IsEmpty())
        image = &m_sThumbHotImage;
    drawOrForget(dc, *image, m_sThumbModify);
}

}  // namespace SkinUI
