// Implementation details: a node's rows follow its place among its parent's
// children: a new last child goes after the last descendant of its parent, a
// child inserted before another goes where that one's row was. Removing a
// node removes its descendants first, deepest first, and takes it out of its
// parent's children. Collapsing hides the descendants' rows; expanding shows
// the children and, below each child that is itself expanded, its own.
#include "TreeViewUI.h"

#include "AttributeTable.h"
namespace SkinUI {

namespace {

constexpr int kIndentStep = 16;

CTreeNodeUI* asNode(CControlUI* control)
{
    return control ? static_cast<CTreeNodeUI*>(control->GetInterfaceByName(L"TreeNode")) : nullptr;
}

// The node whose folder button or check box sent a notification.
CTreeNodeUI* nodeOfButton(CControlUI* button)
{
    CControlUI* layout = button ? button->GetParent() : nullptr;
    return asNode(layout ? layout->GetParent() : nullptr);
}

}  // namespace

// --- node ---

bool CTreeNodeUI::IsTreeNode(CControlUI* control)
{
    return control && _wcsicmp(control->GetClassName(), L"TreeNodeUI") == 0;
}

CTreeNodeUI::CTreeNodeUI(CControlUI* parent)
    : m_pHoriz(new CHorizontalLayoutUI),
      m_pFolderButton(new CCheckBoxUI),
      m_pDottedLine(new CLabelUI),
      m_pCheckBox(new CCheckBoxUI),
      m_pItemButton(new COptionUI)
{
    // A node is as high as the skin makes it; the folder button and the check
    // box follow that height (SetFixedHeight).
    m_pDottedLine->SetFixedWidth(2);
    m_pDottedLine->SetVisible(false);
    m_pCheckBox->SetVisible(false);
    m_pFolderButton->SetFixedWidth(GetFixedHeight());
    m_pCheckBox->SetFixedWidth(GetFixedHeight());
    m_pItemButton->SetAttribute(L"align", L"left");
    m_pItemButton->SetMouseEnabled(false);
    if (IsTreeNode(parent)) {
        auto* parentNode = static_cast<CTreeNodeUI*>(parent);
        m_pDottedLine->SetVisible(parentNode->IsVisible());
        m_pDottedLine->SetFixedWidth(parentNode->GetDottedLine()->GetFixedWidth() + kIndentStep);
        SetParentNode(parentNode);
    }
    m_pHoriz->Add(m_pDottedLine);
    m_pHoriz->Add(m_pFolderButton);
    m_pHoriz->Add(m_pCheckBox);
    m_pHoriz->Add(m_pItemButton);
    Add(m_pHoriz);
}

void CTreeNodeUI::SetFixedHeight(int cy)
{
    CListContainerElementUI::SetFixedHeight(cy);
    m_pFolderButton->SetFixedWidth(GetFixedHeight());
    m_pCheckBox->SetFixedWidth(GetFixedHeight());
}

CTreeNodeUI::~CTreeNodeUI()
{
    if (m_pParentTreeNode) m_pParentTreeNode->forgetChild(this);
    for (int i = 0; i < m_aTreeNodes.GetSize(); ++i) GetChildNode(i)->m_pParentTreeNode = nullptr;
}

void CTreeNodeUI::forgetChild(CTreeNodeUI* child)
{
    int index = m_aTreeNodes.Find(child);
    if (index >= 0) m_aTreeNodes.Remove(index);
    if (child->m_pParentTreeNode == this) child->m_pParentTreeNode = nullptr;
}

const wchar_t* CTreeNodeUI::GetClassName() const
{
    return L"TreeNodeUI";
}

LPVOID CTreeNodeUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"TreeNode") == 0) return this;
    return CListContainerElementUI::GetInterfaceByName(name);
}

void CTreeNodeUI::OnEvent(TEventMsgUI& event)
{
    CListContainerElementUI::OnEvent(event);
    bool enabled = IsEnabled();
    switch (event.Type) {
    case UIEVENT_DBLCLICK:
        if (!enabled) return;
        if (m_pManager) m_pManager->SendNotify(this, L"itemdbclick");
        InvalidateInView();
        return;
    case UIEVENT_MOUSEENTER:
        if (!enabled)
            m_pItemButton->SetTextColor(m_pItemButton->GetDisabledTextColor());
        else
            m_pItemButton->SetTextColor(
                IsSelected() && m_dwSelItemHotTextColor != 0 ? m_dwSelItemHotTextColor : m_dwItemHotTextColor);
        return;
    case UIEVENT_MOUSELEAVE:
        if (!enabled)
            m_pItemButton->SetTextColor(m_pItemButton->GetDisabledTextColor());
        else if (!IsSelected())
            m_pItemButton->SetTextColor(m_dwItemTextColor);
        else if (m_dwSelItemTextColor != 0)
            m_pItemButton->SetTextColor(m_dwSelItemTextColor);
        return;
    default: return;
    }
}

void CTreeNodeUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using AttributeValue::ParseColor;
    // The "...attr" attributes are attribute lists of the node's parts.
    static const AttributeSetter<CTreeNodeUI> kSetters[] = {
        {L"horizattr", [](auto& n, auto v) { n.m_pHoriz->ApplyAttributeList(v); }},
        {L"dotlineattr", [](auto& n, auto v) { n.m_pDottedLine->ApplyAttributeList(v); }},
        {L"folderattr", [](auto& n, auto v) { n.m_pFolderButton->ApplyAttributeList(v); }},
        {L"checkboxattr", [](auto& n, auto v) { n.m_pCheckBox->ApplyAttributeList(v); }},
        {L"itemattr", [](auto& n, auto v) { n.m_pItemButton->ApplyAttributeList(v); }},
        {L"text", [](auto& n, auto v) { n.m_pItemButton->SetText(v); }},
        {L"itemtextcolor", [](auto& n, auto v) { n.SetItemTextColor(ParseColor(v)); }},
        {L"itemhottextcolor", [](auto& n, auto v) { n.SetItemHotTextColor(ParseColor(v)); }},
        {L"selitemtextcolor", [](auto& n, auto v) { n.SetSelItemTextColor(ParseColor(v)); }},
        {L"selitemhottextcolor", [](auto& n, auto v) { n.SetSelItemHotTextColor(ParseColor(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CListContainerElementUI::SetAttribute(name, value);
}

bool CTreeNodeUI::Select(bool selected)
{
    bool done = CListContainerElementUI::Select(selected);
    m_pItemButton->SetTextColor(IsSelected() ? m_dwSelItemTextColor : m_dwItemTextColor);
    return done;
}

bool CTreeNodeUI::IsExpanded() const
{
    return !m_pFolderButton->IsSelected();
}

bool CTreeNodeUI::Expand(bool expand)
{
    m_pFolderButton->Selected(!expand);
    if (m_pTreeView) m_pTreeView->ExpandNodes(expand, this);
    return true;
}

void CTreeNodeUI::adopt(CTreeNodeUI* child)
{
    child->SetParentNode(this);
    child->GetItemButton()->SetGroup(m_pItemButton->GetGroup());
    child->SetTreeView(m_pTreeView);
    // The child and whatever hangs below it move one step in from this node.
    struct Indent {
        static void below(CTreeNodeUI* parent, CTreeNodeUI* node)
        {
            node->m_pDottedLine->SetVisible(true);
            node->m_pDottedLine->SetFixedWidth(parent->m_pDottedLine->GetFixedWidth() + kIndentStep);
            for (int i = 0; i < node->GetChildCount(); ++i) below(node, node->GetChildNode(i));
        }
    };
    Indent::below(this, child);
}

bool CTreeNodeUI::AddChildNode(CTreeNodeUI* child)
{
    if (!IsTreeNode(child) || child == this) return false;
    int row = -1;
    if (m_pTreeView) {
        // One past the last descendant of this node.
        int last = GetLastDescendant()->GetRowIndex();
        if (last < 0) return false;
        row = last + 1;
    }
    adopt(child);
    if (m_pTreeView && m_pTreeView->InsertNodeAt(child, row) < 0) return false;
    return m_aTreeNodes.Add(child);
}

bool CTreeNodeUI::InsertChildNode(CControlUI* control, int index)
{
    CTreeNodeUI* child = asNode(control);
    if (!child || child == this) return false;
    // The child goes where the one at index stands, or after the last descendant.
    CTreeNodeUI* before = GetChildNode(index);
    int row = -1;
    if (m_pTreeView) {
        row = before ? before->GetRowIndex() : GetLastDescendant()->GetRowIndex() + 1;
        if ((before && row < 0) || (!before && row <= 0)) return false;
    }
    adopt(child);
    if (m_pTreeView && m_pTreeView->InsertNodeAt(child, row) < 0) return false;
    return before ? m_aTreeNodes.InsertAt(index, child) : m_aTreeNodes.Add(child);
}

bool CTreeNodeUI::RemoveChildNode(CTreeNodeUI* child)
{
    if (!child || m_aTreeNodes.Find(child) < 0) return false;
    if (m_pTreeView) {
        m_pTreeView->RemoveNode(child);
        return true;
    }
    while (child->GetChildCount() > 0) child->RemoveChildNode(child->GetChildNode(0));
    forgetChild(child);
    return true;
}

CTreeNodeUI* CTreeNodeUI::GetLastDescendant()
{
    CTreeNodeUI* node = this;
    while (node->GetChildCount() > 0) node = node->GetChildNode(node->GetChildCount() - 1);
    return node;
}

int CTreeNodeUI::GetRowIndex() const
{
    return m_pTreeView ? m_pTreeView->GetItemIndex(const_cast<CTreeNodeUI*>(this)) : -1;
}

void CTreeNodeUI::SetFolderButtonVisible(bool visible)
{
    m_pFolderButton->SetVisible(visible);
}

void CTreeNodeUI::SetCheckBoxVisible(bool visible)
{
    m_pCheckBox->SetVisible(visible);
}

void CTreeNodeUI::SetItemTextColor(DWORD color)
{
    m_dwItemTextColor = color;
    m_pItemButton->SetTextColor(color);
}

void CTreeNodeUI::SetItemHotTextColor(DWORD color)
{
    m_dwItemHotTextColor = color;
    InvalidateInView();
}

void CTreeNodeUI::SetSelItemTextColor(DWORD color)
{
    m_dwSelItemTextColor = color;
    InvalidateInView();
}

void CTreeNodeUI::SetSelItemHotTextColor(DWORD color)
{
    m_dwSelItemHotTextColor = color;
    InvalidateInView();
}

// --- view ---

CTreeViewUI::CTreeViewUI()
{
    m_pHeader->SetVisible(false);
}

const wchar_t* CTreeViewUI::GetClassName() const
{
    return L"TreeViewUI";
}

LPVOID CTreeViewUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"TreeView") == 0) return this;
    return CListUI::GetInterfaceByName(name);
}

CTreeNodeUI* CTreeViewUI::nodeAt(int index) const
{
    return asNode(GetItemAt(index));
}

template <class Fn>
void CTreeViewUI::forEachNode(Fn fn)
{
    for (int i = 0; i < GetCount(); ++i)
        if (CTreeNodeUI* node = nodeAt(i)) fn(node);
}

void CTreeViewUI::attach(CTreeNodeUI* node)
{
    node->OnNotify += MakeDelegate(this, &CTreeViewUI::OnNodeDoubleClick);
    node->GetFolderButton()->OnNotify += MakeDelegate(this, &CTreeViewUI::OnFolderChanged);
    node->GetCheckBox()->OnNotify += MakeDelegate(this, &CTreeViewUI::OnCheckChanged);
    node->SetFolderButtonVisible(m_bVisibleFolderBtn);
    node->SetCheckBoxVisible(m_bVisibleCheckBtn);
    if (m_uItemMinWidth > 0) node->SetMinWidth(m_uItemMinWidth);
}

bool CTreeViewUI::AddNode(CTreeNodeUI* node)
{
    if (!CTreeNodeUI::IsTreeNode(node)) return false;
    attach(node);
    if (!CListUI::Add(node)) return false;
    for (int i = 0; i < node->GetChildCount(); ++i) AddNode(node->GetChildNode(i));
    node->SetTreeView(this);
    return true;
}

int CTreeViewUI::InsertNodeAt(CTreeNodeUI* node, int index)
{
    if (!CTreeNodeUI::IsTreeNode(node) || index < 0 || index > GetCount()) return -1;
    attach(node);
    if (!CListUI::AddAt(node, index)) return -1;
    node->SetTreeView(this);
    // The descendants follow, depth first.
    int next = index + 1;
    for (int i = 0; i < node->GetChildCount() && next >= 0; ++i) next = InsertNodeAt(node->GetChildNode(i), next);
    return next;
}

bool CTreeViewUI::InsertNodeAfter(CTreeNodeUI* node, CTreeNodeUI* reference)
{
    if (!node || !reference || GetItemIndex(reference) < 0) return false;
    int last = GetItemIndex(reference->GetLastDescendant());
    if (last < 0) last = GetItemIndex(reference);
    return InsertNodeAt(node, last + 1) >= 0;
}

bool CTreeViewUI::RemoveNode(CTreeNodeUI* node)
{
    if (!node) return false;
    if (CTreeNodeUI* parent = node->GetParentNode()) parent->forgetChild(node);
    while (node->GetChildCount() > 0) RemoveNode(node->GetChildNode(0));
    return CListUI::Remove(node);
}

bool CTreeViewUI::RemoveAt(int index)
{
    if (CTreeNodeUI* node = nodeAt(index)) return RemoveNode(node);
    return CListUI::RemoveAt(index);
}

bool CTreeViewUI::OnCheckChanged(void* param)
{
    auto* msg = static_cast<TNotifyMsgUI*>(param);
    if (msg->sType != L"selectchanged") return true;
    auto* box = msg->pSender ? static_cast<COptionUI*>(msg->pSender->GetInterfaceByName(L"Option")) : nullptr;
    CTreeNodeUI* node = nodeOfButton(box);
    if (node) CheckNodes(box->IsSelected(), node);
    return true;
}

bool CTreeViewUI::OnFolderChanged(void* param)
{
    auto* msg = static_cast<TNotifyMsgUI*>(param);
    if (msg->sType != L"selectchanged") return true;
    auto* folder = msg->pSender ? static_cast<COptionUI*>(msg->pSender->GetInterfaceByName(L"Option")) : nullptr;
    CTreeNodeUI* node = nodeOfButton(folder);
    if (node) ExpandNodes(!folder->IsSelected(), node);
    return true;
}

bool CTreeViewUI::OnNodeDoubleClick(void* param)
{
    auto* msg = static_cast<TNotifyMsgUI*>(param);
    // Every other notification of a node goes on to the window.
    if (msg->sType != L"itemdbclick") return true;
    CTreeNodeUI* node = asNode(msg->pSender);
    if (!node) return true;
    CCheckBoxUI* folder = node->GetFolderButton();
    folder->Selected(!folder->IsSelected());
    ExpandNodes(!folder->IsSelected(), node);
    return true;
}

void CTreeViewUI::CheckNodes(bool check, CTreeNodeUI* node)
{
    auto visit = [&](CTreeNodeUI* n) {
        n->GetCheckBox()->Selected(check);
        if (n->GetChildCount() > 0) CheckNodes(check, n);
    };
    if (!node) {
        forEachNode(visit);
        return;
    }
    for (int i = 0; i < node->GetChildCount(); ++i) visit(node->GetChildNode(i));
}

void CTreeViewUI::ExpandNodes(bool expand, CTreeNodeUI* node)
{
    auto visit = [&](CTreeNodeUI* n) {
        n->SetVisible(expand);
        if (n->GetChildCount() > 0 && !n->GetFolderButton()->IsSelected()) ExpandNodes(expand, n);
    };
    if (!node) {
        forEachNode(visit);
        return;
    }
    for (int i = 0; i < node->GetChildCount(); ++i) visit(node->GetChildNode(i));
}

void CTreeViewUI::SetFolderButtonsVisible(bool visible)
{
    m_bVisibleFolderBtn = visible;
    forEachNode([&](CTreeNodeUI* node) { node->SetFolderButtonVisible(visible); });
}

void CTreeViewUI::SetCheckBoxesVisible(bool visible)
{
    m_bVisibleCheckBtn = visible;
    forEachNode([&](CTreeNodeUI* node) { node->SetCheckBoxVisible(visible); });
}

void CTreeViewUI::SetNodeMinWidth(int width)
{
    m_uItemMinWidth = width;
    forEachNode([&](CTreeNodeUI* node) { node->SetMinWidth(width); });
    Invalidate();
}

void CTreeViewUI::SetNodeTextColor(DWORD color)
{
    forEachNode([&](CTreeNodeUI* node) { node->SetItemTextColor(color); });
}

void CTreeViewUI::SetNodeHotTextColor(DWORD color)
{
    forEachNode([&](CTreeNodeUI* node) { node->SetItemHotTextColor(color); });
}

void CTreeViewUI::SetNodeSelectedTextColor(DWORD color)
{
    forEachNode([&](CTreeNodeUI* node) { node->SetSelItemTextColor(color); });
}

void CTreeViewUI::SetNodeSelectedHotTextColor(DWORD color)
{
    forEachNode([&](CTreeNodeUI* node) { node->SetSelItemHotTextColor(color); });
}

void CTreeViewUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CTreeViewUI> kSetters[] = {
        {L"visiblefolderbtn", [](auto& t, auto v) { t.SetFolderButtonsVisible(ParseBool(v)); }},
        {L"visiblecheckbtn", [](auto& t, auto v) { t.SetCheckBoxesVisible(ParseBool(v)); }},
        {L"itemminwidth", [](auto& t, auto v) { t.SetNodeMinWidth(ParseInt(v)); }},
        {L"itemtextcolor", [](auto& t, auto v) { t.SetNodeTextColor(ParseColor(v)); }},
        {L"itemhottextcolor", [](auto& t, auto v) { t.SetNodeHotTextColor(ParseColor(v)); }},
        {L"selitemtextcolor", [](auto& t, auto v) { t.SetNodeSelectedTextColor(ParseColor(v)); }},
        {L"selitemhottextcolor", [](auto& t, auto v) { t.SetNodeSelectedHotTextColor(ParseColor(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CListUI::SetAttribute(name, value);
}

}  // namespace SkinUI
