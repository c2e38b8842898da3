#include "ScrollBarUI.h"

#include "AttributeTable.h"
#include "ContainerUI.h"
#include "RenderKit.h"

#include <algorithm>

namespace SkinUI {

namespace {

// A button or thumb without a usable image is drawn as a frame of this colour.
constexpr DWORD kMissingPartOutline = 0x0085E4FF;

}  // namespace

CScrollBarUI::CScrollBarUI()
{
    m_cxyFixed.cx = kDefaultThickness;
}

const wchar_t* CScrollBarUI::GetClassName() const
{
    return L"ScrollBarUI";
}

LPVOID CScrollBarUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ScrollBar") == 0) return this;
    return CControlUI::GetInterfaceByName(name);
}

void CScrollBarUI::SetVisible(bool visible)
{
    // Only the flag: the owner decides when to lay out.
    m_bVisible = visible;
}

void CScrollBarUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!enabled) m_uButton1State = m_uButton2State = m_uThumbState = 0;
}

void CScrollBarUI::SetFocus()
{
    if (m_pOwner)
        m_pOwner->SetFocus();
    else
        CControlUI::SetFocus();
}

void CScrollBarUI::SetHorizontal(bool horizontal)
{
    if (m_bHorizontal == horizontal) return;
    m_bHorizontal = horizontal;
    if (horizontal) {
        if (m_cxyFixed.cy == 0) {
            m_cxyFixed.cx = 0;
            m_cxyFixed.cy = kDefaultThickness;
        }
    } else if (m_cxyFixed.cx == 0) {
        m_cxyFixed.cx = kDefaultThickness;
        m_cxyFixed.cy = 0;
    }
    if (m_pOwner)
        m_pOwner->NeedUpdate();
    else
        NeedParentUpdate();
}

void CScrollBarUI::SetScrollRange(int range)
{
    if (m_nRange == range) return;
    m_nRange = std::max(range, 0);
    m_nScrollPos = std::clamp(m_nScrollPos, 0, m_nRange);
    SetPos(m_rcItem);
}

void CScrollBarUI::SetScrollPos(int pos)
{
    pos = std::clamp(pos, 0, m_nRange);
    if (m_nScrollPos == pos) return;
    m_nScrollPos = pos;
    SetPos(m_rcItem);
}

void CScrollBarUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    rc = m_rcItem;
    bool horizontal = m_bHorizontal;
    int length = horizontal ? rc.right - rc.left : rc.bottom - rc.top;
    int thickness = horizontal ? rc.bottom - rc.top : rc.right - rc.left;
    int start = horizontal ? rc.left : rc.top;
    auto span = [&](int from, int to) {
        return horizontal ? RECT{from, rc.top, to, rc.bottom} : RECT{rc.left, from, rc.right, to};
    };
    int buttons = (m_bShowButton1 ? thickness : 0) + (m_bShowButton2 ? thickness : 0);
    m_rcButton1 = m_rcButton2 = m_rcThumb = RECT{0, 0, 0, 0};
    if (length - buttons <= thickness) {
        int size = std::min(thickness, length / 2);
        if (m_bShowButton1) m_rcButton1 = span(start, start + size);
        if (m_bShowButton2) m_rcButton2 = span(start + length - size, start + length);
        return;
    }
    int end1 = start + (m_bShowButton1 ? thickness : 0);
    if (m_bShowButton1) m_rcButton1 = span(start, end1);
    if (m_bShowButton2) m_rcButton2 = span(start + length - thickness, start + length);
    int track = length - buttons;
    if (m_nRange <= 0) {
        m_rcThumb = span(end1, end1 + track);
        return;
    }
    int thumb = std::max(thickness, static_cast<int>(static_cast<long long>(length) * track / (length + m_nRange)));
    int thumbStart = end1 + static_cast<int>(static_cast<long long>(track - thumb) * m_nScrollPos / m_nRange);
    m_rcThumb = span(thumbStart, thumbStart + thumb);
}

void CScrollBarUI::moveTo(int pos)
{
    if (m_pOwner) {
        SIZE current = m_pOwner->GetScrollPos();
        if (m_bHorizontal)
            current.cx = pos;
        else
            current.cy = pos;
        m_pOwner->SetScrollPos(current);
        return;
    }
    SetScrollPos(pos);
    if (m_pManager) m_pManager->SendNotify(this, L"scroll");
}

void CScrollBarUI::step(StepKind kind, bool forward)
{
    if (m_pOwner) {
        using Step = void (CContainerUI::*)();
        // By kind, then vertical or horizontal, then back or on.
        static const Step kSteps[2][2][2] = {
            {{&CContainerUI::LineUp, &CContainerUI::LineDown}, {&CContainerUI::LineLeft, &CContainerUI::LineRight}},
            {{&CContainerUI::PageUp, &CContainerUI::PageDown}, {&CContainerUI::PageLeft, &CContainerUI::PageRight}}};
        (m_pOwner->*kSteps[kind][m_bHorizontal][forward])();
        return;
    }
    int size = kind == kPage ? (m_bHorizontal ? GetWidth() : GetHeight()) : m_nLineSize;
    moveTo(m_nScrollPos + (forward ? size : -size));
}

void CScrollBarUI::OnEvent(TEventMsgUI& event)
{
    if (!IsMouseEnabled() && IsMouseEventType(event.Type)) {
        passOn(event);
        return;
    }
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
    case UIEVENT_CONTEXTMENU: return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (IsEnabled()) press(event.ptMouse);
        return;
    case UIEVENT_BUTTONUP: release(); return;
    case UIEVENT_MOUSEMOVE: followMouse(event.ptMouse); return;
    case UIEVENT_TIMER:
        if (event.wParam != kRepeatTimerId) break;
        repeat();
        return;
    case UIEVENT_MOUSEENTER:
        if (!IsEnabled()) return;
        m_uButton1State |= UISTATE_HOT;
        m_uButton2State |= UISTATE_HOT;
        if (PtInRect(&m_rcThumb, event.ptMouse)) m_uThumbState |= UISTATE_HOT;
        Invalidate();
        return;
    case UIEVENT_MOUSELEAVE:
        m_uButton1State &= ~UISTATE_HOT;
        m_uButton2State &= ~UISTATE_HOT;
        m_uThumbState &= ~UISTATE_HOT;
        Invalidate();
        return;
    default: break;
    }
    passOn(event);
}

void CScrollBarUI::passOn(TEventMsgUI& event)
{
    if (m_pOwner)
        m_pOwner->DoEvent(event);
    else
        CControlUI::OnEvent(event);
}

bool CScrollBarUI::towardsEnd(POINT pt) const
{
    return m_bHorizontal ? pt.x >= m_rcThumb.right : pt.y >= m_rcThumb.bottom;
}

void CScrollBarUI::press(POINT pt)
{
    m_nLastScrollOffset = 0;
    m_nScrollRepeatDelay = 0;
    m_bPageTowards = false;
    if (m_pManager) m_pManager->SetTimer(this, kRepeatTimerId, 50);
    if (PtInRect(&m_rcButton1, pt)) {
        m_uButton1State |= UISTATE_PUSHED;
        step(kLine, false);
    } else if (PtInRect(&m_rcButton2, pt)) {
        m_uButton2State |= UISTATE_PUSHED;
        step(kLine, true);
    } else if (PtInRect(&m_rcThumb, pt)) {
        m_uThumbState |= UISTATE_CAPTURED | UISTATE_PUSHED;
        m_ptLastMouse = pt;
        m_nLastScrollPos = m_nScrollPos;
    } else {
        m_bPageTowards = true;
        m_ptPagePoint = pt;
        step(kPage, towardsEnd(pt));
    }
    Invalidate();
}

void CScrollBarUI::release()
{
    m_nScrollRepeatDelay = 0;
    m_nLastScrollOffset = 0;
    m_bPageTowards = false;
    if (m_pManager) m_pManager->KillTimer(this, kRepeatTimerId);
    m_uThumbState &= ~(UISTATE_CAPTURED | UISTATE_PUSHED);
    m_uButton1State &= ~UISTATE_PUSHED;
    m_uButton2State &= ~UISTATE_PUSHED;
    Invalidate();
}

void CScrollBarUI::followMouse(POINT pt)
{
    if (!(m_uThumbState & UISTATE_CAPTURED)) {
        bool over = PtInRect(&m_rcThumb, pt) != FALSE;
        m_uThumbState = over ? (m_uThumbState | UISTATE_HOT) : (m_uThumbState & ~UISTATE_HOT);
        Invalidate();
        return;
    }
    // The thumb's travel in pixels becomes an offset in the range; the repeat
    // timer moves the position there.
    int length = m_bHorizontal ? GetWidth() : GetHeight();
    int thickness = m_bHorizontal ? GetHeight() : GetWidth();
    int thumb = m_bHorizontal ? m_rcThumb.right - m_rcThumb.left : m_rcThumb.bottom - m_rcThumb.top;
    int room = length - 2 * thickness - thumb;
    int moved = m_bHorizontal ? pt.x - m_ptLastMouse.x : pt.y - m_ptLastMouse.y;
    if (room != 0) m_nLastScrollOffset = static_cast<int>(static_cast<long long>(moved) * m_nRange / room);
}

void CScrollBarUI::repeat()
{
    ++m_nScrollRepeatDelay;
    if (m_uThumbState & UISTATE_CAPTURED) {
        moveTo(m_nLastScrollPos + m_nLastScrollOffset);
        Invalidate();
        return;
    }
    if (m_nScrollRepeatDelay <= 5) return;
    if (m_uButton1State & UISTATE_PUSHED) {
        step(kLine, false);
    } else if (m_uButton2State & UISTATE_PUSHED) {
        step(kLine, true);
    } else if (m_bPageTowards) {
        POINT pt;
        GetCursorPos(&pt);
        if (m_pManager && m_pManager->GetPaintWindow()) ScreenToClient(m_pManager->GetPaintWindow(), &pt);
        if (!PtInRect(&m_rcThumb, pt)) step(kPage, towardsEnd(pt));
    }
}

void CScrollBarUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    // The images: a part's name, then its state ("button1hotimage", "bkdisabledimage").
    static const wchar_t* const kStates[4] = {L"normalimage", L"hotimage", L"pushedimage", L"disabledimage"};
    struct Part {
        const wchar_t* prefix;
        CUIString* images;
    } parts[] = {{L"button1", m_button1Images}, {L"button2", m_button2Images}, {L"thumb", m_thumbImages},
        {L"rail", m_railImages}, {L"bk", m_bkImages}};
    for (const Part& part : parts) {
        size_t prefixLength = wcslen(part.prefix);
        if (wcsncmp(name, part.prefix, prefixLength) != 0) continue;
        for (int s = 0; s < 4; ++s) {
            if (wcscmp(name + prefixLength, kStates[s]) != 0) continue;
            setImage(part.images[s], value);
            return;
        }
    }
    using namespace AttributeValue;
    static const AttributeSetter<CScrollBarUI> kSetters[] = {
        {L"hor", [](auto& b, auto v) { b.SetHorizontal(ParseBool(v)); }},
        {L"linesize", [](auto& b, auto v) { b.SetLineSize(ParseInt(v)); }},
        {L"range", [](auto& b, auto v) { b.SetScrollRange(ParseInt(v)); }},
        {L"value", [](auto& b, auto v) { b.SetScrollPos(ParseInt(v)); }},
        {L"showbutton1",
            [](auto& b, auto v) {
                b.m_bShowButton1 = ParseBool(v);
                b.SetPos(b.m_rcItem);
            }},
        {L"showbutton2",
            [](auto& b, auto v) {
                b.m_bShowButton2 = ParseBool(v);
                b.SetPos(b.m_rcItem);
            }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CControlUI::SetAttribute(name, value);
}

void CScrollBarUI::Paint(HDC dc, const RECT& paint)
{
    if (!IntersectRect(&m_rcPaint, &paint, &m_rcItem)) return;
    PaintBk(dc);
    PaintButton1(dc);
    PaintButton2(dc);
    PaintThumb(dc);
    PaintRail(dc);
}

void CScrollBarUI::drawPart(HDC dc, CUIString* images, UINT state, const RECT& rc, bool outlineWhenMissing)
{
    if (IsRectEmpty(&rc)) return;
    CUIString modify;
    modify.Format(L"dest='%d,%d,%d,%d'", static_cast<int>(rc.left - m_rcItem.left),
        static_cast<int>(rc.top - m_rcItem.top), static_cast<int>(rc.right - m_rcItem.left),
        static_cast<int>(rc.bottom - m_rcItem.top));
    int choice = !IsEnabled() ? 3 : (state & UISTATE_PUSHED) ? 2 : (state & UISTATE_HOT) ? 1 : 0;
    for (int s : {choice, 0})
        if (drawOrForget(dc, images[s], modify)) return;
    if (outlineWhenMissing) CRenderKit::DrawRect(dc, rc, 2, kMissingPartOutline);
}

void CScrollBarUI::PaintBk(HDC dc)
{
    drawPart(dc, m_bkImages, m_uThumbState, m_rcItem, false);
}
void CScrollBarUI::PaintButton1(HDC dc)
{
    if (m_bShowButton1) drawPart(dc, m_button1Images, m_uButton1State, m_rcButton1, true);
}
void CScrollBarUI::PaintButton2(HDC dc)
{
    if (m_bShowButton2) drawPart(dc, m_button2Images, m_uButton2State, m_rcButton2, true);
}
void CScrollBarUI::PaintThumb(HDC dc)
{
    drawPart(dc, m_thumbImages, m_uThumbState, m_rcThumb, true);
}

void CScrollBarUI::PaintRail(HDC dc)
{
    if (IsRectEmpty(&m_rcThumb)) return;
    // A square as thick as the bar, at the middle of the thumb.
    RECT rail = m_rcThumb;
    if (m_bHorizontal) {
        int thickness = rail.bottom - rail.top;
        rail.left = (m_rcThumb.left + m_rcThumb.right - thickness) / 2;
        rail.right = rail.left + thickness;
    } else {
        int thickness = rail.right - rail.left;
        rail.top = (m_rcThumb.top + m_rcThumb.bottom - thickness) / 2;
        rail.bottom = rail.top + thickness;
    }
    drawPart(dc, m_railImages, m_uThumbState, rail, false);
}

}  // namespace SkinUI
