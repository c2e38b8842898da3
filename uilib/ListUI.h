// CListUI: the library's list, a vertical layout of a column header
// (CListHeaderUI) above a scrolling body (CListBodyUI) that holds the rows.
// Rows draw themselves from the one item-style record the list owns. The list
// keeps the selection and the expanded row as indexes, moves the selection
// with the keys and the wheel, keeps the selected row in view, and keeps the
// column rectangles in step with the header and its horizontal scrolling. Its
// IContainerUI operations route by kind: header controls to the list itself,
// header items to the header, rows to the body (so row indexes count rows).
// Notifications: "itemselect" (wParam new index, lParam previous index).
// UI thread only.
#pragma once

#include "ListHeaderUI.h"
#include "ListStyle.h"

namespace SkinUI {

class CListUI;

class CListBodyUI : public CVerticalLayoutUI {
public:
    explicit CListBodyUI(CListUI* owner) : m_pOwner(owner) {}
    void SetPos(RECT rc) override;
    void SetScrollPos(SIZE pos) override;
    void OnEvent(TEventMsgUI& event) override;

protected:
    LONG childBreadth(CControlUI* child, LONG available) const override;

private:
    // The widest visible row, or the header's width when it has columns.
    int requiredWidth(SIZE available);

    CListUI* m_pOwner;
    int m_requiredWidth = 0;
};

class CListUI : public CVerticalLayoutUI, public IListUI {
public:
    CListUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    TListStyleUI* GetListStyle() override { return &m_ListInfo; }
    int GetCurSel() const override { return m_iCurSel; }
    bool SelectItem(int index, bool takeFocus = false) override;
    void HandleOwnerEvent(TEventMsgUI& event) override { OnEvent(event); }

    CListHeaderUI* GetHeader() const override { return m_pHeader; }
    CContainerUI* GetBody() const override { return m_pList; }
    IListTextProviderUI* GetTextProvider() const override { return m_pTextProvider; }
    void SetTextProvider(IListTextProviderUI* provider) override;
    bool ExpandItem(int index, bool expand = true) override;
    int GetExpandedItem() const override { return m_iExpandedItem; }

    void EnsureVisible(int index);
    void Scroll(int dx, int dy);
    bool IsScrollSelect() const { return m_bScrollSelect; }
    void SetScrollSelect(bool scrollSelect) { m_bScrollSelect = scrollSelect; }

    void SetPos(RECT rc) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    int GetChildPadding() const override;
    void SetChildPadding(int padding) override;
    int FindSelectableChild(int index, bool forward = true) const override;
    SIZE GetScrollPos() const override;
    SIZE GetScrollRange() const override;
    // The container's scroll steps (LineUp to EndRight) reach the body through these.
    void SetScrollPos(SIZE pos) override;
    void SetScrollBarsEnabled(bool vertical = true, bool horizontal = false) override;
    CScrollBarUI* GetVerticalScrollBar() const override;
    CScrollBarUI* GetHorizontalScrollBar() const override;

protected:
    friend class CListBodyUI;
    // Counts the columns, shifts the header items left by shift and copies
    // their rectangles into the column rectangles. A hidden header's items
    // are shown for that moment (and, with placeHiddenHeader, laid out at no
    // height) so that text rows still get their columns.
    void syncColumns(int shift, bool placeHiddenHeader);
    // The list's own reaction to an item-style attribute that changed.
    void styleChanged(ListStyleChange change);
    bool addHeader(CControlUI* header);
    static bool isHeaderItem(CControlUI* control);

    bool m_bScrollSelect = false;
    int m_iCurSel = -1;
    int m_iExpandedItem = -1;
    IListTextProviderUI* m_pTextProvider = nullptr;
    CListBodyUI* m_pList = nullptr;
    CListHeaderUI* m_pHeader = nullptr;
    TListStyleUI m_ListInfo;
};

}  // namespace SkinUI
