#include "ControlUI.h"

#include "AttributeTable.h"
#include "RenderKit.h"

#include <cwctype>

namespace SkinUI {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI()
{
    OnDestroy(this);
    if (m_pManager) m_pManager->ReapObjects(this);
}

CUIString CControlUI::GetName() const
{
    return m_sName;
}
void CControlUI::SetName(const wchar_t* name)
{
    m_sName = name;
}
const wchar_t* CControlUI::GetClassName() const
{
    return L"ControlUI";
}

LPVOID CControlUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Control") == 0) return this;
    return nullptr;
}

UINT CControlUI::GetInputFlags() const
{
    return 0;
}
bool CControlUI::RunDefaultAction()
{
    return IsVisible() && IsEnabled();
}
CWindowManagerUI* CControlUI::GetManager() const
{
    return m_pManager;
}

void CControlUI::SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init)
{
    m_pManager = manager;
    m_pParent = parent;
    if (init && m_pParent) InitControl();
}

CControlUI* CControlUI::GetParent() const
{
    return m_pParent;
}
CUIString CControlUI::GetText() const
{
    return m_sText;
}

void CControlUI::SetText(const wchar_t* text)
{
    if (m_sText == (text ? text : L"")) return;
    m_sText = text;
    Invalidate();
}

const RECT& CControlUI::GetPos() const
{
    return m_rcItem;
}

void CControlUI::SetPos(RECT rc)
{
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    CUIRect invalidate = m_rcItem;
    if (invalidate.IsEmptyArea()) invalidate = rc;
    m_rcItem = rc;
    if (!m_pManager) return;
    if (!m_bSetPos) {
        m_bSetPos = true;
        OnSize(this);
        m_bSetPos = false;
    }
    if (m_bFloat && m_pParent) {
        const RECT& parent = m_pParent->GetPos();
        m_cXY.cx = m_cXY.cx >= 0 ? m_rcItem.left - parent.left : m_rcItem.right - parent.right;
        m_cXY.cy = m_cXY.cy >= 0 ? m_rcItem.top - parent.top : m_rcItem.bottom - parent.bottom;
        m_cxyFixed.cx = m_rcItem.right - m_rcItem.left;
        m_cxyFixed.cy = m_rcItem.bottom - m_rcItem.top;
    }
    m_bUpdateNeeded = false;
    invalidate.Join(m_rcItem);
    for (CControlUI* p = m_pParent; p; p = p->GetParent()) {
        RECT clipped;
        RECT parentPos = p->GetPos();
        if (!IntersectRect(&clipped, &invalidate, &parentPos)) return;
        invalidate = clipped;
    }
    m_pManager->Invalidate(invalidate);
}

int CControlUI::GetWidth() const
{
    return m_rcItem.right - m_rcItem.left;
}
int CControlUI::GetHeight() const
{
    return m_rcItem.bottom - m_rcItem.top;
}
int CControlUI::GetX() const
{
    return m_rcItem.left;
}
int CControlUI::GetY() const
{
    return m_rcItem.top;
}
RECT CControlUI::GetPadding() const
{
    return m_rcPadding;
}

void CControlUI::SetPadding(RECT rc)
{
    m_rcPadding = rc;
    NeedParentUpdate();
}

SIZE CControlUI::GetFixedOrigin() const
{
    return m_cXY;
}

void CControlUI::SetFixedOrigin(SIZE origin)
{
    m_cXY = origin;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetFixedWidth() const
{
    return m_cxyFixed.cx;
}

void CControlUI::SetFixedWidth(int cx)
{
    if (cx < 0) return;
    m_cxyFixed.cx = cx;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetFixedHeight() const
{
    return m_cxyFixed.cy;
}

void CControlUI::SetFixedHeight(int cy)
{
    if (cy < 0) return;
    m_cxyFixed.cy = cy;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetMinWidth() const
{
    return m_cxyMin.cx;
}

void CControlUI::SetMinWidth(int cx)
{
    if (m_cxyMin.cx == cx || cx < 0) return;
    m_cxyMin.cx = cx;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetMaxWidth() const
{
    return m_cxyMax.cx;
}

void CControlUI::SetMaxWidth(int cx)
{
    if (m_cxyMax.cx == cx || cx < 0) return;
    m_cxyMax.cx = cx;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetMinHeight() const
{
    return m_cxyMin.cy;
}

void CControlUI::SetMinHeight(int cy)
{
    if (m_cxyMin.cy == cy || cy < 0) return;
    m_cxyMin.cy = cy;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

int CControlUI::GetMaxHeight() const
{
    return m_cxyMax.cy;
}

void CControlUI::SetMaxHeight(int cy)
{
    if (m_cxyMax.cy == cy || cy < 0) return;
    m_cxyMax.cy = cy;
    if (!m_bFloat)
        NeedParentUpdate();
    else
        NeedUpdate();
}

void CControlUI::SetRelativePos(SIZE move, SIZE zoom)
{
    m_tRelativePos.bRelative = !(move.cx == 0 && move.cy == 0 && zoom.cx == 0 && zoom.cy == 0);
    m_tRelativePos.nMoveXPercent = move.cx;
    m_tRelativePos.nMoveYPercent = move.cy;
    m_tRelativePos.nZoomXPercent = zoom.cx;
    m_tRelativePos.nZoomYPercent = zoom.cy;
}

void CControlUI::SetRelativeParentSize(SIZE size)
{
    m_tRelativePos.szParent = size;
}
TRelativePosUI CControlUI::GetRelativePos() const
{
    return m_tRelativePos;
}
bool CControlUI::IsRelativePos() const
{
    return m_tRelativePos.bRelative;
}
CUIString CControlUI::GetToolTip() const
{
    return m_sToolTip;
}

void CControlUI::SetToolTip(const wchar_t* text)
{
    CUIString tip(text);
    tip.Replace(L"<n>", L"\r\n");
    m_sToolTip = tip;
}

void CControlUI::SetToolTipWidth(int width)
{
    m_nTooltipWidth = width;
}
int CControlUI::GetToolTipWidth()
{
    return m_nTooltipWidth;
}
wchar_t CControlUI::GetShortcut() const
{
    return m_chShortcut;
}
void CControlUI::SetShortcut(wchar_t ch)
{
    m_chShortcut = ch;
}
bool CControlUI::IsMenuNotifyEnabled() const
{
    return m_bMenuUsed;
}
void CControlUI::SetMenuNotifyEnabled(bool enabled)
{
    m_bMenuUsed = enabled;
}
const CUIString& CControlUI::GetUserData()
{
    return m_sUserData;
}
void CControlUI::SetUserData(const wchar_t* text)
{
    m_sUserData = text;
}
UINT_PTR CControlUI::GetTag() const
{
    return m_pTag;
}
void CControlUI::SetTag(UINT_PTR tag)
{
    m_pTag = tag;
}
bool CControlUI::IsVisible() const
{
    return m_bVisible && m_bInternVisible;
}

void CControlUI::SetVisible(bool visible)
{
    if (m_bVisible == visible) return;
    bool wasVisible = IsVisible();
    m_bVisible = visible;
    if (m_bFocused) m_bFocused = false;
    if (!visible && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(nullptr);
    if (IsVisible() != wasVisible) NeedParentUpdate();
}

void CControlUI::SetInheritedVisible(bool visible)
{
    m_bInternVisible = visible;
    if (!visible && m_pManager && m_pManager->GetFocus() == this) m_pManager->SetFocus(nullptr);
}

bool CControlUI::IsEnabled() const
{
    return m_bEnabled;
}

void CControlUI::SetEnabled(bool enabled)
{
    if (m_bEnabled == enabled) return;
    m_bEnabled = enabled;
    Invalidate();
}

bool CControlUI::IsMouseEnabled() const
{
    return m_bMouseEnabled;
}
void CControlUI::SetMouseEnabled(bool enabled)
{
    m_bMouseEnabled = enabled;
}
bool CControlUI::IsKeyboardEnabled() const
{
    return m_bKeyboardEnabled;
}
void CControlUI::SetKeyboardEnabled(bool enabled)
{
    m_bKeyboardEnabled = enabled;
}
bool CControlUI::IsFocused() const
{
    return m_bFocused;
}

void CControlUI::SetFocus()
{
    if (m_pManager) m_pManager->SetFocus(this);
}

bool CControlUI::IsFloat() const
{
    return m_bFloat;
}

void CControlUI::SetFloat(bool floating)
{
    if (m_bFloat == floating) return;
    m_bFloat = floating;
    NeedParentUpdate();
}

CControlUI* CControlUI::SearchControl(FINDCONTROLPROC proc, LPVOID data, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if ((flags & UIFIND_HITTEST) && (!m_bMouseEnabled || !PtInRect(&m_rcItem, *static_cast<POINT*>(data))))
        return nullptr;
    return proc(this, data);
}

void CControlUI::InitControl()
{
    OnInitControl();
    OnInit(this);
}

void CControlUI::OnInitControl() {}

void CControlUI::HandleEvent(TEventMsgUI& event)
{
    if (!OnEventHook(&event)) return;
    OnEvent(event);
}

void CControlUI::OnEvent(TEventMsgUI& event)
{
    switch (event.Type) {
    case UIEVENT_CONTEXTMENU:
        if (IsMenuNotifyEnabled()) {
            if (m_pManager) m_pManager->SendNotify(this, L"menu", event.wParam, event.lParam);
            return;
        }
        break;
    case UIEVENT_KILLFOCUS:
        m_bFocused = false;
        Invalidate();
        return;
    case UIEVENT_SETFOCUS:
        m_bFocused = true;
        Invalidate();
        return;
    case UIEVENT_SETCURSOR: ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW))); return;
    case UIEVENT_TIMER:
        if (m_pManager) m_pManager->SendNotify(this, L"timer", event.wParam, event.lParam);
        return;
    default: break;
    }
    if (m_pParent) m_pParent->OnEvent(event);
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CControlUI> kSetters[] = {
        {L"pos",
            [](auto& c, auto v) {
                RECT rc = ParseRect(v);
                c.SetFixedOrigin(SIZE{rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom});
                c.SetFixedWidth(rc.right - rc.left);
                c.SetFixedHeight(rc.bottom - rc.top);
            }},
        {L"relativepos",
            [](auto& c, auto v) {
                long m[4];
                ParseIntList(v, m, 4);
                c.SetRelativePos(SIZE{m[0], m[1]}, SIZE{m[2], m[3]});
            }},
        {L"padding", [](auto& c, auto v) { c.SetPadding(ParseRect(v)); }},
        {L"bkcolor", [](auto& c, auto v) { c.SetBkColor(ParseColor(v)); }},
        {L"bkcolor1", [](auto& c, auto v) { c.SetBkColor(ParseColor(v)); }},
        {L"bkcolor2", [](auto& c, auto v) { c.SetBkColor2(ParseColor(v)); }},
        {L"bkcolor3", [](auto& c, auto v) { c.SetBkColor3(ParseColor(v)); }},
        {L"bordercolor", [](auto& c, auto v) { c.SetBorderColor(ParseColor(v)); }},
        {L"focusbordercolor", [](auto& c, auto v) { c.SetFocusBorderColor(ParseColor(v)); }},
        {L"colorhsl", [](auto& c, auto v) { c.SetColorHSL(ParseBool(v)); }},
        {L"bordersize",
            [](auto& c, auto v) {
                // One width for the whole frame, or one per side.
                if (wcschr(v, L',')) {
                    c.SetBorderSizes(ParseRect(v));
                    return;
                }
                c.SetBorderSize(ParseInt(v));
                c.SetBorderSizes(RECT{0, 0, 0, 0});
            }},
        {L"leftbordersize", [](auto& c, auto v) { c.SetLeftBorderSize(ParseInt(v)); }},
        {L"topbordersize", [](auto& c, auto v) { c.SetTopBorderSize(ParseInt(v)); }},
        {L"rightbordersize", [](auto& c, auto v) { c.SetRightBorderSize(ParseInt(v)); }},
        {L"bottombordersize", [](auto& c, auto v) { c.SetBottomBorderSize(ParseInt(v)); }},
        {L"borderstyle", [](auto& c, auto v) { c.SetBorderStyle(ParseInt(v)); }},
        {L"borderround", [](auto& c, auto v) { c.SetBorderRound(ParseSize(v)); }},
        {L"bkimage", [](auto& c, auto v) { c.SetBkImage(v); }},
        {L"width", [](auto& c, auto v) { c.SetFixedWidth(ParseInt(v)); }},
        {L"height", [](auto& c, auto v) { c.SetFixedHeight(ParseInt(v)); }},
        {L"minwidth", [](auto& c, auto v) { c.SetMinWidth(ParseInt(v)); }},
        {L"minheight", [](auto& c, auto v) { c.SetMinHeight(ParseInt(v)); }},
        {L"maxwidth", [](auto& c, auto v) { c.SetMaxWidth(ParseInt(v)); }},
        {L"maxheight", [](auto& c, auto v) { c.SetMaxHeight(ParseInt(v)); }},
        {L"name", [](auto& c, auto v) { c.SetName(v); }},
        {L"text", [](auto& c, auto v) { c.SetText(v); }},
        {L"tooltip", [](auto& c, auto v) { c.SetToolTip(v); }},
        {L"userdata", [](auto& c, auto v) { c.SetUserData(v); }},
        {L"enabled", [](auto& c, auto v) { c.SetEnabled(ParseBool(v)); }},
        {L"mouse", [](auto& c, auto v) { c.SetMouseEnabled(ParseBool(v)); }},
        {L"keyboard", [](auto& c, auto v) { c.SetKeyboardEnabled(ParseBool(v)); }},
        {L"visible", [](auto& c, auto v) { c.SetVisible(ParseBool(v)); }},
        {L"float", [](auto& c, auto v) { c.SetFloat(ParseBool(v)); }},
        {L"shortcut", [](auto& c, auto v) { c.SetShortcut(v[0]); }},
        {L"menu", [](auto& c, auto v) { c.SetMenuNotifyEnabled(ParseBool(v)); }},
        {L"virtualwnd", [](auto& c, auto v) { c.SetVirtualWindowName(v); }},
    };
    // Any other name is not the base's.
    ApplyAttribute(kSetters, *this, name, value);
}

SIZE CControlUI::MeasureSize(SIZE)
{
    return m_cxyFixed;
}

void CControlUI::Paint(HDC dc, const RECT& paint)
{
    if (!IntersectRect(&m_rcPaint, &paint, &m_rcItem)) return;
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
        CRenderClip clip;
        CRenderKit::GenerateRoundClip(dc, m_rcPaint, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy, clip);
        PaintBackColor(dc);
        PaintBackImage(dc);
        PaintStateImage(dc);
        PaintContentText(dc);
        PaintBorder(dc);
        return;
    }
    PaintBackColor(dc);
    PaintBackImage(dc);
    PaintStateImage(dc);
    PaintContentText(dc);
    PaintBorder(dc);
}

void CControlUI::PaintBackColor(HDC dc)
{
    if (m_dwBackColor == 0) return;
    if (m_dwBackColor2 == 0) {
        // A translucent fill covers the whole control, so partial repaints never
        // blend twice over the parts that were not repainted.
        bool opaque = (m_dwBackColor >> 24) == 0xFF;
        CRenderKit::DrawColor(dc, opaque ? m_rcPaint : m_rcItem, GetAdjustColor(m_dwBackColor));
        return;
    }
    if (m_dwBackColor3 != 0) {
        RECT upper = m_rcItem;
        upper.bottom = (m_rcItem.top + m_rcItem.bottom) / 2;
        CRenderKit::DrawGradient(dc, upper, GetAdjustColor(m_dwBackColor), GetAdjustColor(m_dwBackColor2), true, 8);
        RECT lower = m_rcItem;
        lower.top = upper.bottom;
        CRenderKit::DrawGradient(dc, lower, GetAdjustColor(m_dwBackColor2), GetAdjustColor(m_dwBackColor3), true, 8);
        return;
    }
    CRenderKit::DrawGradient(dc, m_rcItem, GetAdjustColor(m_dwBackColor), GetAdjustColor(m_dwBackColor2), true, 16);
}

void CControlUI::PaintBackImage(HDC dc)
{
    drawOrForget(dc, m_sBkImage);
}

void CControlUI::PaintStateImage(HDC) {}
void CControlUI::PaintContentText(HDC) {}

void CControlUI::PaintBorder(HDC dc)
{
    if (m_dwBorderColor == 0 && m_dwFocusBorderColor == 0) return;
    if (m_nBorderSize > 0 && (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0)) {
        DWORD color = IsFocused() && m_dwFocusBorderColor != 0 ? m_dwFocusBorderColor : m_dwBorderColor;
        CRenderKit::DrawRoundRect(
            dc, m_rcItem, m_nBorderSize, m_cxyBorderRound.cx, m_cxyBorderRound.cy, GetAdjustColor(color));
        return;
    }
    if (IsFocused() && m_dwFocusBorderColor != 0 && m_nBorderSize > 0) {
        CRenderKit::DrawRect(dc, m_rcItem, m_nBorderSize, GetAdjustColor(m_dwFocusBorderColor));
        return;
    }
    const RECT& s = m_rcBorderSize;
    if (s.left > 0 || s.top > 0 || s.right > 0 || s.bottom > 0) {
        DWORD color = GetAdjustColor(m_dwBorderColor);
        const RECT& r = m_rcItem;
        // Each side is a line along the edge, drawn inside the control.
        if (s.left > 0)
            CRenderKit::DrawLine(
                dc, RECT{r.left + s.left / 2, r.top, r.left + s.left / 2, r.bottom}, s.left, color, m_nBorderStyle);
        if (s.top > 0)
            CRenderKit::DrawLine(
                dc, RECT{r.left, r.top + s.top / 2, r.right, r.top + s.top / 2}, s.top, color, m_nBorderStyle);
        if (s.right > 0)
            CRenderKit::DrawLine(dc, RECT{r.right - (s.right + 1) / 2, r.top, r.right - (s.right + 1) / 2, r.bottom},
                s.right, color, m_nBorderStyle);
        if (s.bottom > 0)
            CRenderKit::DrawLine(dc,
                RECT{r.left, r.bottom - (s.bottom + 1) / 2, r.right, r.bottom - (s.bottom + 1) / 2}, s.bottom, color,
                m_nBorderStyle);
        return;
    }
    if (m_nBorderSize > 0) CRenderKit::DrawRect(dc, m_rcItem, m_nBorderSize, GetAdjustColor(m_dwBorderColor));
}

void CControlUI::PaintAfter(HDC, const RECT&) {}

void CControlUI::Invalidate()
{
    if (!IsVisible()) return;
    RECT invalidate = m_rcItem;
    for (CControlUI* p = m_pParent; p; p = p->GetParent()) {
        RECT clipped;
        RECT parentPos = p->GetPos();
        if (!IntersectRect(&clipped, &invalidate, &parentPos)) return;
        invalidate = clipped;
    }
    if (IsRectEmpty(&invalidate)) return;
    if (m_pManager) m_pManager->Invalidate(invalidate);
}

void CControlUI::NeedUpdate()
{
    if (!IsVisible()) return;
    m_bUpdateNeeded = true;
    Invalidate();
    if (m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate()
{
    if (m_pParent) {
        m_pParent->NeedUpdate();
        m_pParent->Invalidate();
    } else {
        NeedUpdate();
    }
    if (m_pManager) m_pManager->NeedUpdate();
}

DWORD CControlUI::GetAdjustColor(DWORD color) const
{
    if (!m_bColorHSL || !CWindowManagerUI::IsHSLUsed()) return color;
    short h, s, l;
    CWindowManagerUI::GetHSL(&h, &s, &l);
    return CRenderKit::AdjustColor(color, h, s, l);
}

bool CControlUI::DrawImage(HDC dc, const wchar_t* image, const wchar_t* modify)
{
    return CRenderKit::DrawImageString(dc, m_pManager, m_rcItem, m_rcPaint, image, modify);
}

void CControlUI::SetVirtualWindowName(const wchar_t* name)
{
    m_sVirtualWnd = name;
    if (m_pManager) m_pManager->SetUseVirtualWindowNames(true);
}

CUIString CControlUI::GetVirtualWindowName() const
{
    if (!m_sVirtualWnd.IsEmpty()) return m_sVirtualWnd;
    if (m_pParent) return m_pParent->GetVirtualWindowName();
    return CUIString();
}

void CControlUI::ApplyAttributeList(const wchar_t* list)
{
    if (!list) return;
    const wchar_t* p = list;
    while (*p) {
        const wchar_t* nameStart = p;
        while (*p && *p != L'=') ++p;
        if (*p != L'=') return;
        CUIString name(nameStart, static_cast<int>(p - nameStart));
        ++p;
        if (*p != L'"') return;
        ++p;
        const wchar_t* valueStart = p;
        while (*p && *p != L'"') ++p;
        if (*p != L'"') return;
        CUIString value(valueStart, static_cast<int>(p - valueStart));
        ++p;
        SetAttribute(name, value);
        if (*p != L' ') return;
        ++p;
    }
}

void CControlUI::SetBkColor(DWORD color)
{
    if (m_dwBackColor == color) return;
    m_dwBackColor = color;
    Invalidate();
}

void CControlUI::SetBkColor2(DWORD color)
{
    if (m_dwBackColor2 == color) return;
    m_dwBackColor2 = color;
    Invalidate();
}

void CControlUI::SetBkColor3(DWORD color)
{
    if (m_dwBackColor3 == color) return;
    m_dwBackColor3 = color;
    Invalidate();
}

bool CControlUI::passMouseToParent(TEventMsgUI& event, bool takesMouse)
{
    if (takesMouse || !IsMouseEventType(event.Type)) return false;
    if (m_pParent)
        m_pParent->OnEvent(event);
    else
        CControlUI::OnEvent(event);
    return true;
}

bool CControlUI::takeFocusEvent(const TEventMsgUI& event)
{
    if (event.Type != UIEVENT_SETFOCUS && event.Type != UIEVENT_KILLFOCUS) return false;
    m_bFocused = event.Type == UIEVENT_SETFOCUS;
    return true;
}

void CControlUI::setImage(CUIString& image, const wchar_t* value)
{
    image = value;
    Invalidate();
}

void CControlUI::setColor(DWORD& color, DWORD value)
{
    color = value;
    Invalidate();
}

bool CControlUI::drawOrForget(HDC dc, CUIString& image, const wchar_t* modify)
{
    if (image.IsEmpty()) return false;
    if (DrawImage(dc, image, modify)) return true;
    image.Empty();
    return false;
}

void CControlUI::refreshStateBits(UINT& state) const
{
    state = IsFocused() ? state | UISTATE_FOCUSED : state & ~UISTATE_FOCUSED;
    state = IsEnabled() ? state & ~UISTATE_DISABLED : state | UISTATE_DISABLED;
}

void CControlUI::SetBkImage(const wchar_t* image)
{
    if (m_sBkImage == (image ? image : L"")) return;
    m_sBkImage = image;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD color)
{
    if (m_dwBorderColor == color) return;
    m_dwBorderColor = color;
    Invalidate();
}

void CControlUI::SetFocusBorderColor(DWORD color)
{
    if (m_dwFocusBorderColor == color) return;
    m_dwFocusBorderColor = color;
    Invalidate();
}

void CControlUI::SetColorHSL(bool hsl)
{
    if (m_bColorHSL == hsl) return;
    m_bColorHSL = hsl;
    Invalidate();
}

void CControlUI::SetBorderSize(int size)
{
    if (m_nBorderSize == size) return;
    m_nBorderSize = size;
    Invalidate();
}

void CControlUI::SetBorderSizes(RECT sizes)
{
    m_rcBorderSize = sizes;
    Invalidate();
}

void CControlUI::SetLeftBorderSize(int size)
{
    m_rcBorderSize.left = size;
    Invalidate();
}

void CControlUI::SetTopBorderSize(int size)
{
    m_rcBorderSize.top = size;
    Invalidate();
}

void CControlUI::SetRightBorderSize(int size)
{
    m_rcBorderSize.right = size;
    Invalidate();
}

void CControlUI::SetBottomBorderSize(int size)
{
    m_rcBorderSize.bottom = size;
    Invalidate();
}

void CControlUI::SetBorderStyle(int style)
{
    m_nBorderStyle = style;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE round)
{
    m_cxyBorderRound = round;
    Invalidate();
}

}  // namespace SkinUI
