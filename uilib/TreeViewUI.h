// The tree view: CTreeViewUI shows a hierarchy of CTreeNodeUI nodes as the
// flat rows of a list. Every node, at any depth, is a row; the hierarchy lives
// in the nodes (parent and children), and collapsing a node hides the rows of
// its descendants. A node is a container row holding one horizontal layout:
// an indentation line, a folder button (selected = collapsed), a check box
// and the item button that carries its text. The view reacts to the folder
// buttons, the check boxes and double clicks ("itemdbclick") through
// delegates it adds to every node it takes.
//
// Ownership: nodes are owned by the list body as rows; a node's child array
// does not own. A node that goes unlinks itself from its parent and children.
// UI thread only.
#pragma once

#include "ButtonUI.h"
#include "ListItemUI.h"
#include "ListUI.h"

namespace SkinUI {

class CTreeViewUI;

class CTreeNodeUI : public CListContainerElementUI {
public:
    // A parent that is not a tree node is ignored: the node is then a root.
    // A node made with a parent belongs under it (AddChildNode) before the
    // parent goes.
    explicit CTreeNodeUI(CControlUI* parent = nullptr);
    ~CTreeNodeUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    bool Select(bool selected = true) override;
    // Expanded = the folder button is not selected.
    bool IsExpanded() const override;
    bool Expand(bool expand = true) override;
    // The folder button and the check box are as wide as the node is high.
    void SetFixedHeight(int cy) override;

    bool AddChildNode(CTreeNodeUI* child);
    bool InsertChildNode(CControlUI* control, int index);
    bool RemoveChildNode(CTreeNodeUI* child);
    int GetChildCount() const { return m_aTreeNodes.GetSize(); }
    CTreeNodeUI* GetChildNode(int index) const { return static_cast<CTreeNodeUI*>(m_aTreeNodes.GetAt(index)); }
    int GetChildIndex(CTreeNodeUI* child) const { return m_aTreeNodes.Find(child); }
    CTreeNodeUI* GetParentNode() const { return m_pParentTreeNode; }
    void SetParentNode(CTreeNodeUI* parent) { m_pParentTreeNode = parent; }
    CTreeViewUI* GetTreeView() const { return m_pTreeView; }
    void SetTreeView(CTreeViewUI* view) { m_pTreeView = view; }
    CTreeNodeUI* GetLastDescendant();
    // The node's index among its view's rows; -1 without a view or when absent.
    int GetRowIndex() const;

    void SetFolderButtonVisible(bool visible);
    void SetCheckBoxVisible(bool visible);
    bool IsChecked() const { return m_pCheckBox->IsSelected(); }

    CHorizontalLayoutUI* GetRowLayout() const { return m_pHoriz; }
    CLabelUI* GetDottedLine() const { return m_pDottedLine; }
    CCheckBoxUI* GetFolderButton() const { return m_pFolderButton; }
    CCheckBoxUI* GetCheckBox() const { return m_pCheckBox; }
    COptionUI* GetItemButton() const { return m_pItemButton; }

    void SetItemTextColor(DWORD color);
    DWORD GetItemTextColor() const { return m_dwItemTextColor; }
    void SetItemHotTextColor(DWORD color);
    DWORD GetItemHotTextColor() const { return m_dwItemHotTextColor; }
    void SetSelItemTextColor(DWORD color);
    DWORD GetSelItemTextColor() const { return m_dwSelItemTextColor; }
    void SetSelItemHotTextColor(DWORD color);
    DWORD GetSelItemHotTextColor() const { return m_dwSelItemHotTextColor; }

    static bool IsTreeNode(CControlUI* control);

private:
    friend class CTreeViewUI;
    // Indents a child under this node, joins its item button to this node's
    // group and gives it this node's view.
    void adopt(CTreeNodeUI* child);
    // Takes a child out of the child array (its rows stay where they are).
    void forgetChild(CTreeNodeUI* child);

    DWORD m_dwItemTextColor = 0;
    DWORD m_dwItemHotTextColor = 0;
    DWORD m_dwSelItemTextColor = 0;
    DWORD m_dwSelItemHotTextColor = 0;
    CTreeViewUI* m_pTreeView = nullptr;
    CHorizontalLayoutUI* m_pHoriz;
    CCheckBoxUI* m_pFolderButton;
    CLabelUI* m_pDottedLine;
    CCheckBoxUI* m_pCheckBox;
    COptionUI* m_pItemButton;
    CTreeNodeUI* m_pParentTreeNode = nullptr;
    CPtrArrayUI m_aTreeNodes;
};

class CTreeViewUI : public CListUI, public INotifyUI {
public:
    CTreeViewUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    bool RemoveAt(int index) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void OnNotify(TNotifyMsgUI&) override {}

    // Adds a node and then its descendants, depth first, at the end.
    virtual bool AddNode(CTreeNodeUI* node);
    // Inserts after the reference node and its descendants.
    virtual bool InsertNodeAfter(CTreeNodeUI* node, CTreeNodeUI* reference);
    // Inserts a node and its descendants from row index on (0..count);
    // answers the row after the last inserted, or -1.
    virtual int InsertNodeAt(CTreeNodeUI* node, int index);
    // Removes a node with its descendants (and from its parent node).
    virtual bool RemoveNode(CTreeNodeUI* node);
    virtual bool OnCheckChanged(void* param);
    virtual bool OnFolderChanged(void* param);
    virtual bool OnNodeDoubleClick(void* param);
    // Checks or expands every row (node null) or every descendant of a node.
    void CheckNodes(bool check, CTreeNodeUI* node = nullptr);
    void ExpandNodes(bool expand, CTreeNodeUI* node = nullptr);

    void SetFolderButtonsVisible(bool visible);
    bool AreFolderButtonsVisible() const { return m_bVisibleFolderBtn; }
    void SetCheckBoxesVisible(bool visible);
    bool AreCheckBoxesVisible() const { return m_bVisibleCheckBtn; }
    void SetNodeMinWidth(int width);
    int GetNodeMinWidth() const { return m_uItemMinWidth; }
    void SetNodeTextColor(DWORD color);
    void SetNodeHotTextColor(DWORD color);
    void SetNodeSelectedTextColor(DWORD color);
    void SetNodeSelectedHotTextColor(DWORD color);

private:
    // The delegates, the buttons' visibility and the minimum width of a node joining the view.
    void attach(CTreeNodeUI* node);
    CTreeNodeUI* nodeAt(int index) const;
    template <class Fn>
    void forEachNode(Fn fn);

    int m_uItemMinWidth = 0;
    bool m_bVisibleFolderBtn = true;
    bool m_bVisibleCheckBtn = false;
};

}  // namespace SkinUI
