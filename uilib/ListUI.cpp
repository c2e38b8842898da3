// Implementation details: the selection is an index into the body's rows,
// kept on its row by every insertion, move and removal (ListRows). The body
// lays its rows out as the vertical layout does, but every row is at least
// as wide as the header's columns (or the widest row), and a horizontal
// scroll bar takes up what does not fit; scrolling sideways moves the header
// items with the rows and refreshes the column rectangles.
#include "ListUI.h"

#include "AttributeTable.h"
#include "ScrollBarUI.h"

#include <algorithm>

namespace SkinUI {

namespace {

LONG clampWidth(CControlUI* control, LONG width)
{
    return std::max(
        static_cast<LONG>(control->GetMinWidth()), std::min(width, static_cast<LONG>(control->GetMaxWidth())));
}

}  // namespace

// --- body ---

int CListBodyUI::requiredWidth(SIZE available)
{
    CListHeaderUI* header = m_pOwner ? m_pOwner->GetHeader() : nullptr;
    if (header && header->GetCount() > 0) return std::max(0L, header->MeasureSize(available).cx);
    int widest = 0;
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* row = itemAt(i);
        if (!row->IsVisible() || row->IsFloat()) continue;
        widest = std::max(widest, static_cast<int>(row->MeasureSize(available).cx));
    }
    return widest;
}

LONG CListBodyUI::childBreadth(CControlUI* child, LONG available) const
{
    RECT padding = child->GetPadding();
    return clampWidth(child, std::max(static_cast<LONG>(m_requiredWidth), available - padding.left - padding.right));
}

void CListBodyUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    RECT inner = GetInnerRect();
    SIZE available = {inner.right - inner.left, inner.bottom - inner.top};
    int visibleWidth = available.cx;
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        available.cx += m_pHorizontalScrollBar->GetScrollRange();
    m_requiredWidth = requiredWidth(available);
    int requiredHeight = m_items.IsEmpty() ? 0 : lineUpChildren(inner, available);
    if (m_pHorizontalScrollBar) {
        int barHeight = m_pHorizontalScrollBar->GetFixedHeight();
        if (visibleWidth < m_requiredWidth) {
            m_pHorizontalScrollBar->SetScrollRange(m_requiredWidth - visibleWidth);
            if (!m_pHorizontalScrollBar->IsVisible()) {
                m_pHorizontalScrollBar->SetVisible(true);
                m_pHorizontalScrollBar->SetScrollPos(0);
                inner.bottom -= barHeight;
            }
        } else if (m_pHorizontalScrollBar->IsVisible()) {
            m_pHorizontalScrollBar->SetVisible(false);
            m_pHorizontalScrollBar->SetScrollRange(0);
            m_pHorizontalScrollBar->SetScrollPos(0);
            inner.bottom += barHeight;
        }
    }
    LayoutScrollBars(inner, m_requiredWidth, requiredHeight);
}

void CListBodyUI::SetScrollPos(SIZE pos)
{
    int before = GetScrollPos().cx;
    CVerticalLayoutUI::SetScrollPos(pos);
    int moved = GetScrollPos().cx - before;
    if (moved != 0 && m_pOwner && m_pOwner->GetHeader()) m_pOwner->syncColumns(moved, false);
}

void CListBodyUI::OnEvent(TEventMsgUI& event)
{
    if (m_pOwner)
        m_pOwner->OnEvent(event);
    else
        CControlUI::OnEvent(event);
}

// --- list ---

CListUI::CListUI()
{
    m_pList = new CListBodyUI(this);
    Add(new CListHeaderUI);
    CVerticalLayoutUI::Add(m_pList);
}

const wchar_t* CListUI::GetClassName() const
{
    return L"ListUI";
}

LPVOID CListUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"List") == 0) return this;
    if (name && wcscmp(name, L"IList") == 0) return static_cast<IListUI*>(this);
    if (name && wcscmp(name, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::GetInterfaceByName(name);
}

UINT CListUI::GetInputFlags() const
{
    return UIFLAG_TABSTOP;
}

bool CListUI::isHeaderItem(CControlUI* control)
{
    return wcsstr(control->GetClassName(), L"ListHeaderItemUI") != nullptr;
}

bool CListUI::addHeader(CControlUI* control)
{
    auto* header = static_cast<CListHeaderUI*>(control->GetInterfaceByName(L"ListHeader"));
    if (!m_pHeader) {
        m_pHeader = header;
    } else if (header != m_pHeader && m_pHeader->GetCount() == 0) {
        // The empty header made with the list gives way to the skin's own.
        CVerticalLayoutUI::Remove(m_pHeader);
        m_pHeader = header;
    }
    m_ListInfo.nColumns = std::min(m_pHeader->GetCount(), static_cast<int>(UILIST_MAX_COLUMNS));
    return CVerticalLayoutUI::AddAt(control, 0);
}

CControlUI* CListUI::GetItemAt(int index) const
{
    return m_pList->GetItemAt(index);
}

int CListUI::GetItemIndex(CControlUI* control) const
{
    if (!control) return -1;
    if (control->GetInterfaceByName(L"ListHeader")) return CVerticalLayoutUI::GetItemIndex(control);
    if (isHeaderItem(control)) return m_pHeader ? m_pHeader->GetItemIndex(control) : -1;
    return m_pList->GetItemIndex(control);
}

bool CListUI::SetItemIndex(CControlUI* control, int index)
{
    if (!control) return false;
    if (control->GetInterfaceByName(L"ListHeader")) return CVerticalLayoutUI::SetItemIndex(control, index);
    if (isHeaderItem(control)) return m_pHeader && m_pHeader->SetItemIndex(control, index);
    return ListRows::Move(*m_pList, control, index, m_iCurSel, m_iExpandedItem);
}

int CListUI::GetCount() const
{
    return m_pList->GetCount();
}

bool CListUI::Add(CControlUI* control)
{
    if (!control) return false;
    if (control->GetInterfaceByName(L"ListHeader")) return addHeader(control);
    if (isHeaderItem(control)) {
        if (!m_pHeader || !m_pHeader->Add(control)) return false;
        m_ListInfo.nColumns = std::min(m_pHeader->GetCount(), static_cast<int>(UILIST_MAX_COLUMNS));
        return true;
    }
    return ListRows::Append(*m_pList, this, control);
}

bool CListUI::AddAt(CControlUI* control, int index)
{
    if (!control) return false;
    if (control->GetInterfaceByName(L"ListHeader")) return addHeader(control);
    if (isHeaderItem(control)) {
        if (!m_pHeader || !m_pHeader->AddAt(control, index)) return false;
        m_ListInfo.nColumns = std::min(m_pHeader->GetCount(), static_cast<int>(UILIST_MAX_COLUMNS));
        return true;
    }
    return ListRows::Insert(*m_pList, this, control, index, m_iCurSel, m_iExpandedItem);
}

bool CListUI::Remove(CControlUI* control)
{
    if (!control) return false;
    if (control->GetInterfaceByName(L"ListHeader")) {
        if (!CVerticalLayoutUI::Remove(control)) return false;
        if (control == m_pHeader) {
            m_pHeader = nullptr;
            m_ListInfo.nColumns = 0;
        }
        return true;
    }
    if (isHeaderItem(control)) {
        if (!m_pHeader || !m_pHeader->Remove(control)) return false;
        m_ListInfo.nColumns = std::min(m_pHeader->GetCount(), static_cast<int>(UILIST_MAX_COLUMNS));
        return true;
    }
    bool wasSelected = m_iCurSel >= 0 && m_pList->GetItemAt(m_iCurSel) == control;
    int index = ListRows::Remove(*m_pList, control, m_iCurSel, m_iExpandedItem);
    if (index < 0) return false;
    // The selection goes to the nearest selectable row before it, without focus.
    if (wasSelected) SelectItem(FindSelectableChild(index, false), false);
    return true;
}

bool CListUI::RemoveAt(int index)
{
    CControlUI* row = m_pList->GetItemAt(index);
    return row && Remove(row);
}

void CListUI::RemoveAll()
{
    m_iCurSel = -1;
    m_iExpandedItem = -1;
    m_pList->RemoveAll();
}

void CListUI::SetTextProvider(IListTextProviderUI* provider)
{
    m_pTextProvider = provider;
    Invalidate();
}

bool CListUI::SelectItem(int index, bool takeFocus)
{
    if (index == m_iCurSel) return true;
    int previous = m_iCurSel;
    if (m_iCurSel >= 0) {
        if (IListItemUI* current = AsListItem(m_pList->GetItemAt(m_iCurSel))) current->Select(false);
        m_iCurSel = -1;
    }
    if (index < 0) return false;
    CControlUI* row = m_pList->GetItemAt(index);
    IListItemUI* item = AsListItem(row);
    if (!row || !row->IsVisible() || !row->IsEnabled() || !item) return false;
    m_iCurSel = index;
    if (!item->Select(true)) {
        m_iCurSel = -1;
        return false;
    }
    EnsureVisible(index);
    if (takeFocus) row->SetFocus();
    if (m_pManager) m_pManager->SendNotify(this, L"itemselect", static_cast<WPARAM>(index), previous);
    return true;
}

bool CListUI::ExpandItem(int index, bool expand)
{
    if (m_iExpandedItem >= 0 && !m_ListInfo.bMultiExpandable) {
        if (IListItemUI* expanded = AsListItem(m_pList->GetItemAt(m_iExpandedItem))) expanded->Expand(false);
        m_iExpandedItem = -1;
    }
    CControlUI* row = m_pList->GetItemAt(index);
    IListItemUI* item = AsListItem(row);
    if (!expand) {
        // With several rows expanded, the one named is closed too.
        if (item) item->Expand(false);
        if (index == m_iExpandedItem) m_iExpandedItem = -1;
        NeedUpdate();
        return item != nullptr;
    }
    if (!row || !row->IsVisible() || !item) return false;
    m_iExpandedItem = index;
    if (!item->Expand(true)) {
        m_iExpandedItem = -1;
        return false;
    }
    NeedUpdate();
    return true;
}

void CListUI::EnsureVisible(int index)
{
    if (m_iCurSel < 0) return;
    CControlUI* row = m_pList->GetItemAt(index);
    if (!row) return;
    RECT item = row->GetPos();
    RECT band = m_pList->GetPos();
    RECT inset = m_pList->GetInset();
    band.left += inset.left;
    band.top += inset.top;
    band.right -= inset.right;
    band.bottom -= inset.bottom;
    CScrollBarUI* horizontal = m_pList->GetHorizontalScrollBar();
    if (horizontal && horizontal->IsVisible()) band.bottom -= horizontal->GetFixedHeight();
    int dy = 0;
    if (item.top < band.top) dy = item.top - band.top;
    if (item.bottom > band.bottom) dy = item.bottom - band.bottom;
    Scroll(0, dy);
}

void CListUI::Scroll(int dx, int dy)
{
    if (dx == 0 && dy == 0) return;
    SIZE pos = m_pList->GetScrollPos();
    m_pList->SetScrollPos(SIZE{pos.cx + dx, pos.cy + dy});
}

void CListUI::syncColumns(int shift, bool placeHiddenHeader)
{
    if (!m_pHeader) return;
    int count = std::min(m_pHeader->GetCount(), static_cast<int>(UILIST_MAX_COLUMNS));
    m_ListInfo.nColumns = count;
    bool hidden = !m_pHeader->IsVisible();
    auto showItems = [&](bool visible) {
        for (int i = 0; i < m_pHeader->GetCount(); ++i) m_pHeader->GetItemAt(i)->SetInheritedVisible(visible);
    };
    if (hidden) {
        showItems(true);
        if (placeHiddenHeader) m_pHeader->SetPos(RECT{m_rcItem.left, 0, m_rcItem.right, 0});
    }
    for (int i = 0; i < count; ++i) {
        CControlUI* item = m_pHeader->GetItemAt(i);
        if (!item->IsVisible() || item->IsFloat()) continue;
        if (shift != 0) {
            RECT pos = item->GetPos();
            OffsetRect(&pos, -shift, 0);
            item->SetPos(pos);
        }
        m_ListInfo.rcColumn[i] = item->GetPos();
    }
    if (hidden) showItems(false);
}

void CListUI::SetPos(RECT rc)
{
    CVerticalLayoutUI::SetPos(rc);
    syncColumns(std::max(0L, m_pList->GetScrollPos().cx), true);
}

void CListUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsMouseEnabled()) || takeFocusEvent(event)) return;
    // Moving the selection by key or wheel selects the row found, or nothing.
    auto moveTo = [&](int index) {
        if (index >= 0) SelectItem(index, true);
    };
    switch (event.Type) {
    case UIEVENT_KEYDOWN:
        switch (event.chKey) {
        case VK_RETURN:
            if (m_iCurSel < 0) break;
            if (CControlUI* row = m_pList->GetItemAt(m_iCurSel)) row->RunDefaultAction();
            return;
        case VK_PRIOR: PageUp(); return;
        case VK_NEXT: PageDown(); return;
        case VK_END: moveTo(FindSelectableChild(GetCount() - 1, true)); return;
        case VK_HOME: moveTo(FindSelectableChild(0, false)); return;
        case VK_UP: moveTo(FindSelectableChild(m_iCurSel - 1, false)); return;
        case VK_DOWN: moveTo(FindSelectableChild(m_iCurSel + 1, true)); return;
        default: break;
        }
        break;
    case UIEVENT_SCROLLWHEEL:
        if (event.wParam == 0) {
            if (m_bScrollSelect)
                moveTo(FindSelectableChild(m_iCurSel - 1, false));
            else
                LineUp();
            return;
        }
        if (event.wParam == 1) {
            if (m_bScrollSelect)
                moveTo(FindSelectableChild(m_iCurSel + 1, true));
            else
                LineDown();
            return;
        }
        break;
    default: break;
    }
    CVerticalLayoutUI::OnEvent(event);
}

void CListUI::styleChanged(ListStyleChange change)
{
    switch (change) {
    case ListStyleChange::TextColor:
    case ListStyleChange::Look: Invalidate(); break;
    case ListStyleChange::TextPadding:
    case ListStyleChange::ShowHtml: NeedUpdate(); break;
    default: break;
    }
}

void CListUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    static const AttributeSetter<CListUI> kSetters[] = {
        {L"header",
            [](auto& l, auto v) {
                if (l.m_pHeader) l.m_pHeader->SetVisible(wcscmp(v, L"hidden") != 0);
            }},
        {L"headerbkimage",
            [](auto& l, auto v) {
                if (l.m_pHeader) l.m_pHeader->SetBkImage(v);
            }},
        {L"scrollselect", [](auto& l, auto v) { l.SetScrollSelect(AttributeValue::ParseBool(v)); }},
    };
    if (ApplyAttribute(kSetters, *this, name, value)) return;
    ListStyleChange change = ApplyListStyleAttribute(m_ListInfo, name, value);
    if (change == ListStyleChange::None)
        CVerticalLayoutUI::SetAttribute(name, value);
    else
        styleChanged(change);
}

int CListUI::GetChildPadding() const
{
    return m_pList->GetChildPadding();
}
void CListUI::SetChildPadding(int padding)
{
    m_pList->SetChildPadding(padding);
}
int CListUI::FindSelectableChild(int index, bool forward) const
{
    return m_pList->FindSelectableChild(index, forward);
}
SIZE CListUI::GetScrollPos() const
{
    return m_pList->GetScrollPos();
}
SIZE CListUI::GetScrollRange() const
{
    return m_pList->GetScrollRange();
}
void CListUI::SetScrollPos(SIZE pos)
{
    m_pList->SetScrollPos(pos);
}
void CListUI::SetScrollBarsEnabled(bool vertical, bool horizontal)
{
    m_pList->SetScrollBarsEnabled(vertical, horizontal);
}
CScrollBarUI* CListUI::GetVerticalScrollBar() const
{
    return m_pList->GetVerticalScrollBar();
}
CScrollBarUI* CListUI::GetHorizontalScrollBar() const
{
    return m_pList->GetHorizontalScrollBar();
}

}  // namespace SkinUI
