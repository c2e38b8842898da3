// The shared pieces of the list-like controls: TListStyleUI, the one item-style
// record that a list (or a combo box) owns and all of its rows draw from; the
// list interfaces through which rows and owners reach each other; and the row
// bookkeeping that keeps rows numbered and the selection on its row through
// insertions, moves and removals. UI thread only.
#pragma once

#include "ContainerUI.h"

namespace SkinUI {

class CListHeaderUI;

enum { UILIST_MAX_COLUMNS = 32 };

struct TListStyleUI {
    int nColumns = 0;
    RECT rcColumn[UILIST_MAX_COLUMNS] = {};
    int nFont = -1;
    UINT uTextStyle = DT_VCENTER;
    RECT rcTextPadding{0, 0, 0, 0};
    DWORD dwTextColor = 0xFF000000;
    DWORD dwBkColor = 0;
    CUIString sBkImage;
    bool bAlternateBk = false;
    DWORD dwSelectedTextColor = 0xFF000000;
    DWORD dwSelectedBkColor = 0xFFC1E3FF;
    CUIString sSelectedImage;
    DWORD dwHotTextColor = 0xFF000000;
    DWORD dwHotBkColor = 0xFFE9F5FF;
    CUIString sHotImage;
    DWORD dwDisabledTextColor = 0xFFCCCCCC;
    DWORD dwDisabledBkColor = 0xFFFFFFFF;
    CUIString sDisabledImage;
    DWORD dwLineColor = 0;
    bool bShowHtml = false;
    bool bMultiExpandable = false;
};

// What a style attribute changed, so that its owner repaints or lays out.
enum class ListStyleChange {
    None,         // not an item-style attribute
    Stored,       // font, alignment, end ellipsis, multi-expanding
    TextColor,    // the normal text colour
    Look,         // the other colours, the images, the alternate background
    TextPadding,  // the text padding
    ShowHtml,     // show HTML, when it changed
};

// Applies one "item..." attribute (and "multiexpanding") to a style record.
ListStyleChange ApplyListStyleAttribute(TListStyleUI& style, const wchar_t* name, const wchar_t* value);

// "left", "center" and "right" (tested in that order) on a DT_ style.
UINT ApplyHorizontalAlign(UINT style, const wchar_t* value);

// What a row needs of its owner (a list or a combo box).
class IListOwnerUI {
public:
    virtual TListStyleUI* GetListStyle() = 0;
    virtual int GetCurSel() const = 0;
    virtual bool SelectItem(int index, bool takeFocus = false) = 0;
    virtual void HandleOwnerEvent(TEventMsgUI& event) = 0;

protected:
    ~IListOwnerUI() = default;
};

// Supplied by the application: when set on a list, text rows ask it for every
// cell instead of using their own texts.
class IListTextProviderUI {
public:
    virtual CUIString GetItemText(CControlUI* row, int index, int column) = 0;

protected:
    ~IListTextProviderUI() = default;
};

class IListUI : public IListOwnerUI {
public:
    virtual CListHeaderUI* GetHeader() const = 0;
    virtual CContainerUI* GetBody() const = 0;
    virtual IListTextProviderUI* GetTextProvider() const = 0;
    virtual void SetTextProvider(IListTextProviderUI* provider) = 0;
    virtual bool ExpandItem(int index, bool expand = true) = 0;
    virtual int GetExpandedItem() const = 0;

protected:
    ~IListUI() = default;
};

// The part of every row through which its owner numbers, selects and expands it
// (answered for the interface name "ListItem").
class IListItemUI {
public:
    virtual int GetIndex() const = 0;
    virtual void SetIndex(int index) = 0;
    virtual IListOwnerUI* GetOwner() = 0;
    virtual void SetOwner(CControlUI* owner) = 0;
    virtual bool IsSelected() const = 0;
    virtual bool Select(bool selected = true) = 0;
    virtual bool IsExpanded() const = 0;
    virtual bool Expand(bool expand = true) = 0;
    virtual void DrawItemText(HDC dc, const RECT& rc) = 0;

protected:
    ~IListItemUI() = default;
};

inline IListItemUI* AsListItem(CControlUI* control)
{
    return control ? static_cast<IListItemUI*>(control->GetInterfaceByName(L"ListItem")) : nullptr;
}

// Row bookkeeping shared by the list (over its body) and the combo box (over
// its own children): the rows carry their owner and index, and the indexes an
// owner keeps (the selection, the expanded row) stay on their rows. The
// container's own operations are used, whatever its subclass routes.
namespace ListRows {
// Gives a row its owner and index (a control that is not a row is left alone).
void Adopt(CControlUI* row, CControlUI* owner, int index);
// Appends a row.
bool Append(CContainerUI& rows, CControlUI* owner, CControlUI* row);
// Inserts a row at index (0..count).
bool Insert(CContainerUI& rows, CControlUI* owner, CControlUI* row, int index, int& selection, int& expanded);
// Moves a row to index; the same place answers true.
bool Move(CContainerUI& rows, CControlUI* row, int index, int& selection, int& expanded);
// Removes a row; answers its former index, or -1 when it was not removed. A
// kept index on the removed row becomes -1.
int Remove(CContainerUI& rows, CControlUI* row, int& selection, int& expanded);
}  // namespace ListRows

}  // namespace SkinUI
