// The rows of a list and of a combo box's drop-down. Every row answers
// "ListItem" with an IListItemUI part through which its owner numbers, selects
// and expands it, and draws its background and text from the owner's
// TListStyleUI by its state (normal, alternate, hot, selected, disabled).
// CListElementUI is the abstract base of the single-control rows;
// CListLabelElementUI shows one text, CListTextElementUI one text per column
// (with up to 8 clickable links) and CListContainerElementUI holds other
// controls (the tree node derives from it). Rows send "itemclick" when
// pressed and "itemactivate" on a double click or Return; text rows send
// "link". UI thread only.
#pragma once

#include "ListStyle.h"
#include "TextLinks.h"

namespace SkinUI {

// The part all rows share, over a control base (a plain control or a
// container): index, selection, hot state and owner; the background drawn
// from the owner's style; the events common to every row; and invalidation
// within the view, cut to what the row's containers show.
template <class Base>
class CListItemBaseUI : public Base, public IListItemUI {
public:
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    bool RunDefaultAction() override;
    void SetVisible(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void OnEvent(TEventMsgUI& event) override;

    int GetIndex() const override { return m_iIndex; }
    void SetIndex(int index) override { m_iIndex = index; }
    IListOwnerUI* GetOwner() override { return m_pOwner; }
    void SetOwner(CControlUI* owner) override;
    bool IsSelected() const override { return m_bSelected; }
    bool Select(bool selected = true) override;
    bool IsExpanded() const override { return false; }
    bool Expand(bool) override { return false; }

    UINT GetItemState() const { return m_uButtonState; }
    // Repaints the part of the row that its containers show.
    void InvalidateInView();
    void PaintItemBackground(HDC dc);

protected:
    // The owner's style record, or null without an owner.
    TListStyleUI* style() const { return m_pOwner ? m_pOwner->GetListStyle() : nullptr; }
    // The text colour of the row's present state.
    DWORD stateTextColor(const TListStyleUI& s) const;
    // Plain or tagged single-line text in the style's font and colour.
    void drawStyledText(HDC dc, RECT rc, const wchar_t* text);
    // Events that reach no rule of the row: the owner's, or the control base's.
    void passOn(TEventMsgUI& event);

    int m_iIndex = -1;
    bool m_bSelected = false;
    UINT m_uButtonState = 0;
    IListOwnerUI* m_pOwner = nullptr;
};

class CListElementUI : public CListItemBaseUI<CControlUI> {
public:
    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void Paint(HDC dc, const RECT& paint) override;
};

class CListLabelElementUI : public CListElementUI {
public:
    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    SIZE MeasureSize(SIZE available) override;
    void DrawItemText(HDC dc, const RECT& rc) override;

protected:
    // The row height: the fixed one, else the style's font height plus padding and 8.
    int rowHeight(const TListStyleUI& s) const;
};

class CListTextElementUI : public CListLabelElementUI {
public:
    ~CListTextElementUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    void SetOwner(CControlUI* owner) override;
    void OnEvent(TEventMsgUI& event) override;
    SIZE MeasureSize(SIZE available) override;
    void DrawItemText(HDC dc, const RECT& rc) override;

    using CListLabelElementUI::GetText;
    using CListLabelElementUI::SetText;
    // The stored text of a column, or null when there is none.
    const wchar_t* GetText(int column) const;
    void SetText(int column, const wchar_t* text);
    int GetLinkCount() const { return m_links.nLinks; }
    RECT GetLinkRect(int index) const { return m_links.GetRect(index); }
    CUIString GetLinkText(int index) const { return m_links.GetText(index); }
    int GetHotLink() const { return m_links.nHotLink; }

private:
    TTextLinksUI m_links;
    IListUI* m_pOwnerList = nullptr;
    CPtrArrayUI m_aTexts;
};

class CListContainerElementUI : public CListItemBaseUI<CContainerUI> {
public:
    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void Paint(HDC dc, const RECT& paint) override;
    void DrawItemText(HDC dc, const RECT& rc) override;
};

}  // namespace SkinUI
