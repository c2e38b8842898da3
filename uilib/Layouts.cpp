#include "Layouts.h"

#include "AttributeTable.h"
#include "RenderKit.h"
#include "ScrollBarUI.h"
#include "SkinBuilder.h"

#include <algorithm>
#include <vector>

namespace SkinUI {

namespace {

int clampTo(int value, int low, int high)
{
    return std::max(low, std::min(value, high));
}

// Sizes and rectangles of a line layout seen along its axis (down a vertical
// layout, rightwards in a horizontal one) and across it.
struct LineAxis {
    bool vertical;

    LONG along(SIZE size) const { return vertical ? size.cy : size.cx; }
    LONG across(SIZE size) const { return vertical ? size.cx : size.cy; }
    SIZE size(LONG along, LONG across) const { return vertical ? SIZE{across, along} : SIZE{along, across}; }
    LONG start(const RECT& rc) const { return vertical ? rc.top : rc.left; }
    LONG end(const RECT& rc) const { return vertical ? rc.bottom : rc.right; }
    LONG crossStart(const RECT& rc) const { return vertical ? rc.left : rc.top; }
    // From (along, across) to (along + length, across + breadth).
    RECT rect(LONG along, LONG across, LONG length, LONG breadth) const
    {
        return vertical ? RECT{across, along, across + breadth, along + length}
                        : RECT{along, across, along + length, across + breadth};
    }
    int clampLength(CControlUI* child, LONG length) const
    {
        return vertical ? clampTo(length, child->GetMinHeight(), child->GetMaxHeight())
                        : clampTo(length, child->GetMinWidth(), child->GetMaxWidth());
    }
};

}  // namespace

// --- separator of the line layouts ---

RECT CLineLayoutUI::GetThumbRect(bool useNew) const
{
    RECT rc = useNew ? m_rcNewPos : m_rcItem;
    if (m_iSepSize == 0) return RECT{0, 0, 0, 0};
    int size = m_iSepSize < 0 ? -m_iSepSize : m_iSepSize;
    if (m_bVertical) {
        if (m_iSepSize > 0) return RECT{rc.left, std::max(rc.bottom - size, rc.top), rc.right, rc.bottom};
        return RECT{rc.left, rc.top, rc.right, std::min(rc.top + size, rc.bottom)};
    }
    if (m_iSepSize > 0) return RECT{std::max(rc.right - size, rc.left), rc.top, rc.right, rc.bottom};
    return RECT{rc.left, rc.top, std::min(rc.left + size, rc.right), rc.bottom};
}

UINT CLineLayoutUI::GetInputFlags() const
{
    if (IsEnabled() && m_iSepSize != 0) return UIFLAG_SETCURSOR;
    return CContainerUI::GetInputFlags();
}

void CLineLayoutUI::SetSepSize(int size)
{
    m_iSepSize = size;
    NeedUpdate();
}

void CLineLayoutUI::SetSepImmMode(bool immediate)
{
    if (m_bImmMode == immediate) return;
    if ((m_uButtonState & UISTATE_CAPTURED) && !m_bImmMode && m_pManager) m_pManager->RemovePostPaint(this);
    m_bImmMode = immediate;
}

void CLineLayoutUI::OnEvent(TEventMsgUI& event)
{
    if (m_iSepSize == 0) {
        CContainerUI::OnEvent(event);
        return;
    }
    RECT thumb = GetThumbRect(false);
    bool onThumb = IsEnabled() && PtInRect(&thumb, event.ptMouse);
    bool dragging = (m_uButtonState & UISTATE_CAPTURED) != 0;
    if (event.Type == UIEVENT_BUTTONDOWN && onThumb) {
        beginSeparatorDrag(event.ptMouse);
    } else if (event.Type == UIEVENT_BUTTONUP && dragging) {
        endSeparatorDrag();
    } else if (event.Type == UIEVENT_MOUSEMOVE && dragging) {
        dragSeparator(event.ptMouse);
    } else if (event.Type == UIEVENT_SETCURSOR && onThumb) {
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(m_bVertical ? IDC_SIZENS : IDC_SIZEWE)));
    } else {
        CContainerUI::OnEvent(event);
    }
}

void CLineLayoutUI::beginSeparatorDrag(POINT pt)
{
    m_uButtonState |= UISTATE_CAPTURED;
    ptLastMouse = pt;
    m_rcNewPos = m_rcItem;
    if (!m_bImmMode && m_pManager) m_pManager->AddPostPaint(this);
}

void CLineLayoutUI::endSeparatorDrag()
{
    m_uButtonState &= ~UISTATE_CAPTURED;
    m_rcItem = m_rcNewPos;
    if (!m_bImmMode && m_pManager) m_pManager->RemovePostPaint(this);
    NeedParentUpdate();
}

void CLineLayoutUI::dragSeparator(POINT pt)
{
    LONG delta = m_bVertical ? pt.y - ptLastMouse.y : pt.x - ptLastMouse.x;
    RECT rc = m_rcNewPos;
    LONG& edge = m_bVertical ? (m_iSepSize > 0 ? rc.bottom : rc.top) : (m_iSepSize > 0 ? rc.right : rc.left);
    LONG point = m_bVertical ? pt.y : pt.x;
    // Follow only while the cursor is beyond the edge in the direction of
    // motion. The last point moves with every event, so a cursor that went
    // past a limit takes the edge along again as soon as it comes back.
    bool follows = (delta > 0 && point > edge) || (delta < 0 && point < edge);
    ptLastMouse = pt;
    if (!follows) return;
    // The edge moves with the cursor but never past it.
    LONG toCursor = point - edge;
    edge += delta > 0 ? std::min(delta, toCursor) : std::max(delta, toCursor);
    if (!keepDragWithinLimits(rc, edge)) return;
    moveSeparatorTo(rc);
}

bool CLineLayoutUI::keepDragWithinLimits(const RECT& rc, LONG& edge) const
{
    int size = m_bVertical ? rc.bottom - rc.top : rc.right - rc.left;
    int low = m_bVertical ? GetMinHeight() : GetMinWidth();
    int high = m_bVertical ? GetMaxHeight() : GetMaxWidth();
    int current = m_bVertical ? m_rcNewPos.bottom - m_rcNewPos.top : m_rcNewPos.right - m_rcNewPos.left;
    if (size >= low && size <= high) return true;
    // Pushing further past the limit already reached changes nothing.
    if ((size < low && current == low) || (size > high && current == high)) return false;
    size = clampTo(size, low, high);
    if (m_iSepSize > 0)
        edge = (m_bVertical ? rc.top : rc.left) + size;
    else
        edge = (m_bVertical ? rc.bottom : rc.right) - size;
    return true;
}

void CLineLayoutUI::moveSeparatorTo(const RECT& rc)
{
    RECT oldThumb = GetThumbRect(true);
    m_rcNewPos = rc;
    if (m_bVertical)
        m_cxyFixed.cy = rc.bottom - rc.top;
    else
        m_cxyFixed.cx = rc.right - rc.left;
    if (m_bImmMode) {
        m_rcItem = m_rcNewPos;
        NeedParentUpdate();
    } else if (m_pManager) {
        RECT newThumb = GetThumbRect(true);
        m_pManager->Invalidate(oldThumb);
        m_pManager->Invalidate(newThumb);
    }
}

void CLineLayoutUI::PaintAfter(HDC dc, const RECT&)
{
    if ((m_uButtonState & UISTATE_CAPTURED) && !m_bImmMode) {
        RECT thumb = GetThumbRect(true);
        CRenderKit::DrawColor(dc, thumb, 0xAA000000);
    }
}

void CLineLayoutUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    rc = GetInnerRect();
    if (m_items.IsEmpty()) {
        LayoutScrollBars(rc, 0, 0);
        return;
    }
    SIZE available = {rc.right - rc.left, rc.bottom - rc.top};
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        available.cx += m_pHorizontalScrollBar->GetScrollRange();
    SIZE required = LineAxis{m_bVertical}.size(lineUpChildren(rc, available), 0);
    LayoutScrollBars(rc, required.cx, required.cy);
}

LONG CLineLayoutUI::childBreadth(CControlUI* child, LONG available) const
{
    RECT padding = child->GetPadding();
    if (m_bVertical) {
        LONG width = child->GetFixedWidth();
        if (width == 0) width = available - padding.left - padding.right;
        return clampTo(std::max(0L, width), child->GetMinWidth(), child->GetMaxWidth());
    }
    LONG height = child->GetFixedHeight();
    if (height == 0) height = available - padding.top - padding.bottom;
    return clampTo(std::max(0L, height), child->GetMinHeight(), child->GetMaxHeight());
}

int CLineLayoutUI::lineUpChildren(RECT rc, SIZE available)
{
    const LineAxis axis{m_bVertical};
    int stretching = 0, fixedTotal = 0, counted = 0;
    const std::vector<CControlUI*> flowing = placeFloatingChildren();
    for (CControlUI* child : flowing) {
        LONG length = axis.along(child->MeasureSize(available));
        RECT padding = child->GetPadding();
        if (length == 0)
            ++stretching;
        else
            fixedTotal += axis.clampLength(child, length);
        fixedTotal += axis.start(padding) + axis.end(padding);
        ++counted;
    }
    fixedTotal += (counted - 1) * m_iChildPadding;
    int stretchLength =
        stretching > 0 ? std::max(0, static_cast<int>(axis.along(available) - fixedTotal) / stretching) : 0;

    // On purpose the two layouts differ across the axis: a vertical layout's
    // children move with the horizontal scroll position too, a horizontal
    // layout's stand at the inner top, since it scrolls only sideways.
    SIZE scroll = ownScrollPos();
    int position = axis.start(rc) - axis.along(scroll);
    int crossStart = m_bVertical ? rc.left - scroll.cx : rc.top;
    int remaining = axis.along(available);
    int stretchSeen = 0, required = 0, fixedLeft = fixedTotal, placed = 0;
    for (CControlUI* child : flowing) {
        RECT padding = child->GetPadding();
        LONG leading = axis.start(padding), trailing = axis.end(padding);
        remaining -= leading;
        // What is left of the fixed total belongs to the children still to come.
        fixedLeft -= leading + trailing + (placed++ > 0 ? m_iChildPadding : 0);
        LONG length = axis.along(child->MeasureSize(axis.size(remaining, axis.across(available))));
        if (length == 0) {
            ++stretchSeen;
            length = stretchSeen == stretching ? std::max(0, static_cast<int>(remaining - trailing - fixedLeft))
                                               : stretchLength;
            length = axis.clampLength(child, length);
        } else {
            length = axis.clampLength(child, length);
            fixedLeft -= length;
        }
        LONG breadth = childBreadth(child, axis.across(available));
        // The child's rectangle takes in its trailing padding along the axis.
        child->SetPos(axis.rect(position + leading, crossStart + axis.crossStart(padding), length + trailing, breadth));
        position += leading + length + trailing + m_iChildPadding;
        required += leading + length + trailing;
        remaining -= length + trailing + m_iChildPadding;
    }
    return required + (counted - 1) * m_iChildPadding;
}

const wchar_t* CLineLayoutUI::GetClassName() const
{
    return m_bVertical ? L"VerticalLayoutUI" : L"HorizontalLayoutUI";
}

LPVOID CLineLayoutUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, m_bVertical ? L"VerticalLayout" : L"HorizontalLayout") == 0) return this;
    return CContainerUI::GetInterfaceByName(name);
}

void CLineLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static constexpr auto setSepSize = [](CLineLayoutUI& l, const wchar_t* v) { l.SetSepSize(ParseInt(v)); };
    static constexpr auto setSepImm = [](CLineLayoutUI& l, const wchar_t* v) { l.SetSepImmMode(ParseBool(v)); };
    // The separator's size is its height in a vertical layout, its width in a horizontal one.
    static const AttributeSetter<CLineLayoutUI> kVertical[] = {{L"sepheight", setSepSize}, {L"sepimm", setSepImm}};
    static const AttributeSetter<CLineLayoutUI> kHorizontal[] = {{L"sepwidth", setSepSize}, {L"sepimm", setSepImm}};
    bool known =
        m_bVertical ? ApplyAttribute(kVertical, *this, name, value) : ApplyAttribute(kHorizontal, *this, name, value);
    if (!known) CContainerUI::SetAttribute(name, value);
}

// --- tab ---

const wchar_t* CTabLayoutUI::GetClassName() const
{
    return L"TabLayoutUI";
}

LPVOID CTabLayoutUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"TabLayout") == 0) return this;
    return CContainerUI::GetInterfaceByName(name);
}

bool CTabLayoutUI::Add(CControlUI* control)
{
    if (!CContainerUI::Add(control)) return false;
    if (m_iCurSel == -1 && control->IsVisible()) {
        m_iCurSel = GetItemIndex(control);
    } else {
        control->SetVisible(false);
    }
    return true;
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index)
{
    if (!CContainerUI::AddAt(control, index)) return false;
    if (m_iCurSel == -1 && control->IsVisible()) {
        m_iCurSel = GetItemIndex(control);
    } else if (m_iCurSel != -1 && index <= m_iCurSel) {
        ++m_iCurSel;
    } else {
        control->SetVisible(false);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control)
{
    int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control)) return false;
    if (m_iCurSel == index) {
        if (GetCount() > 0) {
            m_iCurSel = 0;
            GetItemAt(0)->SetVisible(true);
        } else {
            m_iCurSel = -1;
        }
        NeedParentUpdate();
    } else if (m_iCurSel > index) {
        --m_iCurSel;
    }
    return true;
}

void CTabLayoutUI::RemoveAll()
{
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
    NeedParentUpdate();
}

bool CTabLayoutUI::SelectItem(int index)
{
    if (index < 0 || index >= GetCount()) return false;
    if (index == m_iCurSel) return true;
    int old = m_iCurSel;
    m_iCurSel = index;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = GetItemAt(i);
        if (i == index) {
            child->SetVisible(true);
            child->SetFocus();
            SetPos(m_rcItem);
        } else {
            child->SetVisible(false);
        }
    }
    NeedParentUpdate();
    if (m_pManager) {
        m_pManager->SetNextTabControl();
        m_pManager->SendNotify(this, L"tabselect", static_cast<WPARAM>(m_iCurSel), static_cast<LPARAM>(old));
    }
    return true;
}

void CTabLayoutUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    rc = GetInnerRect();
    CControlUI* selected = GetItemAt(m_iCurSel);
    for (CControlUI* child : placeFloatingChildren()) {
        if (child != selected) continue;
        RECT padding = child->GetPadding();
        RECT area = {
            rc.left + padding.left, rc.top + padding.top, rc.right - padding.right, rc.bottom - padding.bottom};
        SIZE available = {area.right - area.left, area.bottom - area.top};
        SIZE size = child->MeasureSize(available);
        if (size.cx == 0) size.cx = std::max(0L, available.cx);
        if (size.cy == 0) size.cy = std::max(0L, available.cy);
        size.cx = clampTo(size.cx, child->GetMinWidth(), child->GetMaxWidth());
        size.cy = clampTo(size.cy, child->GetMinHeight(), child->GetMaxHeight());
        child->SetPos(RECT{area.left, area.top, area.left + size.cx, area.top + size.cy});
    }
}

void CTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    static const AttributeSetter<CTabLayoutUI> kSetters[] = {
        {L"selectedid", [](auto& t, auto v) { t.SelectItem(AttributeValue::ParseInt(v)); }},
    };
    ApplyAttribute(kSetters, *this, name, value);
    // Every name also reaches the container, the selection's too.
    CContainerUI::SetAttribute(name, value);
}

// --- tile ---

const wchar_t* CTileLayoutUI::GetClassName() const
{
    return L"TileLayoutUI";
}

LPVOID CTileLayoutUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"TileLayout") == 0) return this;
    return CContainerUI::GetInterfaceByName(name);
}

void CTileLayoutUI::SetItemSize(SIZE size)
{
    if (m_szItem.cx == size.cx && m_szItem.cy == size.cy) return;
    m_szItem = size;
    NeedUpdate();
}

void CTileLayoutUI::SetColumns(int columns)
{
    if (columns <= 0) return;
    m_nColumns = columns;
    NeedUpdate();
}

void CTileLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CTileLayoutUI> kSetters[] = {
        {L"itemsize", [](auto& t, auto v) { t.SetItemSize(ParseSize(v)); }},
        {L"columns", [](auto& t, auto v) { t.SetColumns(ParseInt(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CContainerUI::SetAttribute(name, value);
}

void CTileLayoutUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    rc = GetInnerRect();
    int innerWidth = rc.right - rc.left;
    if (m_szItem.cx > 0) m_nColumns = std::max(1, innerWidth / static_cast<int>(m_szItem.cx));
    if (m_items.IsEmpty()) {
        LayoutScrollBars(rc, 0, 0);
        return;
    }
    int width = innerWidth;
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        width += m_pHorizontalScrollBar->GetScrollRange();
    int cellWidth = width / m_nColumns;
    SIZE scroll = ownScrollPos();
    int rowTop = rc.top - scroll.cy;
    int left = rc.left - scroll.cx;
    int column = 0, rowHeight = 0, bottom = rowTop;
    const std::vector<CControlUI*> visible = placeFloatingChildren();
    auto halfPadding = [&](int col, bool leading) {
        if (leading) return col == 0 ? 0 : m_iChildPadding / 2;
        return col == m_nColumns - 1 ? 0 : m_iChildPadding / 2;
    };
    for (size_t k = 0; k < visible.size(); ++k) {
        if (column == 0) {
            rowHeight = 0;
            for (size_t j = k; j < visible.size() && j < k + m_nColumns; ++j) {
                CControlUI* rowChild = visible[j];
                int col = static_cast<int>(j - k);
                RECT padding = rowChild->GetPadding();
                int inner = cellWidth - padding.left - padding.right - halfPadding(col, true) - halfPadding(col, false);
                SIZE size = rowChild->MeasureSize(SIZE{inner, 9999});
                size.cy = clampTo(size.cy, rowChild->GetMinHeight(), rowChild->GetMaxHeight());
                rowHeight = std::max(rowHeight, static_cast<int>(padding.top + padding.bottom + size.cy));
            }
        }
        CControlUI* child = visible[k];
        RECT padding = child->GetPadding();
        int cellLeft = left + column * cellWidth;
        int innerLeft = cellLeft + padding.left + halfPadding(column, true);
        int innerRight = cellLeft + cellWidth - padding.right - halfPadding(column, false);
        SIZE size = child->MeasureSize(SIZE{innerRight - innerLeft, rowHeight - padding.top});
        if (size.cx == 0) size.cx = innerRight - innerLeft;
        if (size.cy == 0) size.cy = rowHeight - padding.top - padding.bottom;
        size.cx = clampTo(size.cx, child->GetMinWidth(), child->GetMaxWidth());
        size.cy = clampTo(size.cy, child->GetMinHeight(), child->GetMaxHeight());
        int x = innerLeft + (innerRight - innerLeft - size.cx) / 2;
        int top = rowTop + padding.top;
        int y = top + (rowTop + rowHeight - top - size.cy) / 2;
        child->SetPos(RECT{x, y, x + size.cx, y + size.cy});
        bottom = rowTop + rowHeight;
        if (++column == m_nColumns) {
            column = 0;
            rowTop += rowHeight + m_iChildPadding;
        }
    }
    LayoutScrollBars(rc, 0, bottom - (rc.top - scroll.cy));
}

// --- child layout ---

const wchar_t* CChildLayoutUI::GetClassName() const
{
    return L"ChildLayoutUI";
}

LPVOID CChildLayoutUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ChildLayout") == 0) return this;
    return CContainerUI::GetInterfaceByName(name);
}

void CChildLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    static const AttributeSetter<CChildLayoutUI> kSetters[] = {
        {L"xmlfile", [](auto& l, auto v) { l.SetChildLayoutXML(v); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CContainerUI::SetAttribute(name, value);
}

void CChildLayoutUI::InitControl()
{
    CContainerUI::InitControl();
    if (m_pstrXMLFile.IsEmpty() || GetCount() > 0) return;
    // Held across the add: the child layouts of the file are built inside this one.
    CSkinBuilder::Nesting nesting;
    CSkinBuilder builder;
    CControlUI* root =
        nesting ? builder.Create(m_pstrXMLFile.GetData(), nullptr, nullptr, m_pManager, nullptr) : nullptr;
    if (root && nesting.Refusal()) {
        delete root;
        root = nullptr;
    }
    if (root) Add(root);
    if (!root || nesting.Refusal()) RemoveAll();
}

}  // namespace SkinUI
