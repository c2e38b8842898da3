// The tree view without a window: nodes and their descendants as rows in
// depth-first order through every way of adding, inserting and removing them,
// indentation, the check and expand propagation through the folder buttons and
// check boxes, wrong classes refused, and the skin builder's "TreeNode" rule.
#include "SkinHarness.h"
#include "TreeViewUI.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace testui;

namespace {

// Node names, in row order.
std::wstring rows(CTreeViewUI* view)
{
    std::wstring out;
    for (int i = 0; i < view->GetCount(); ++i) {
        if (!out.empty()) out += L",";
        out += view->GetItemAt(i)->GetName().GetData();
    }
    return out;
}

std::wstring children(CTreeNodeUI* node)
{
    std::wstring out;
    for (int i = 0; i < node->GetChildCount(); ++i) {
        if (!out.empty()) out += L",";
        out += node->GetChildNode(i)->GetName().GetData();
    }
    return out;
}

std::wstring visibleRows(CTreeViewUI* view)
{
    std::wstring out;
    for (int i = 0; i < view->GetCount(); ++i) {
        if (!view->GetItemAt(i)->IsVisible()) continue;
        if (!out.empty()) out += L",";
        out += view->GetItemAt(i)->GetName().GetData();
    }
    return out;
}

class COtherNodeUI : public CTreeNodeUI {
public:
    const wchar_t* GetClassName() const override { return L"OtherNodeUI"; }
};

class Tree : public ::testing::Test {
protected:
    Tree() : skin(L"<TreeView name=\"tree\"/>") { view = static_cast<CTreeViewUI*>(skin[L"tree"]); }
    CTreeNodeUI* node(const wchar_t* name)
    {
        auto* n = new CTreeNodeUI;
        n->SetName(name);
        return n;
    }
    Skin skin;
    CTreeViewUI* view;
};

}  // namespace

TEST_F(Tree, NodesAndDescendantsBecomeRowsDepthFirst)
{
    CTreeNodeUI* a = node(L"a");
    CTreeNodeUI* a1 = node(L"a1");
    CTreeNodeUI* a2 = node(L"a2");
    CTreeNodeUI* a21 = node(L"a21");
    ASSERT_TRUE(a->AddChildNode(a1));  // no view yet: only the hierarchy
    ASSERT_TRUE(a->AddChildNode(a2));
    ASSERT_TRUE(a2->AddChildNode(a21));
    ASSERT_TRUE(view->AddNode(a));
    EXPECT_EQ(L"a,a1,a2,a21", rows(view));
    EXPECT_EQ(view, a21->GetTreeView());
    EXPECT_EQ(a2, a21->GetParentNode());
    EXPECT_FALSE(a->GetDottedLine()->IsVisible());
    EXPECT_EQ(18, a1->GetDottedLine()->GetFixedWidth());
    EXPECT_EQ(34, a21->GetDottedLine()->GetFixedWidth());

    // A node with children, inserted: it and its descendants from the index on.
    CTreeNodeUI* b = node(L"b");
    ASSERT_TRUE(b->AddChildNode(node(L"b1")));
    ASSERT_TRUE(b->GetChildNode(0)->AddChildNode(node(L"b11")));
    EXPECT_EQ(4, view->InsertNodeAt(b, 1));
    EXPECT_EQ(L"a,b,b1,b11,a1,a2,a21", rows(view));
    EXPECT_EQ(-1, view->InsertNodeAt(node(L"far"), 99));
    EXPECT_EQ(8, view->InsertNodeAt(node(L"end"), view->GetCount()));  // the end is a place too

    // After a reference: after its last descendant.
    ASSERT_TRUE(view->InsertNodeAfter(node(L"c"), b));
    EXPECT_EQ(L"a,b,b1,b11,c,a1,a2,a21,end", rows(view));
    EXPECT_FALSE(view->InsertNodeAfter(node(L"x"), node(L"stranger")));

    // A child with a view: after the last descendant of its new parent.
    CTreeNodeUI* a3 = node(L"a3");
    ASSERT_TRUE(a->AddChildNode(a3));
    EXPECT_EQ(L"a,b,b1,b11,c,a1,a2,a21,a3,end", rows(view));
    ASSERT_TRUE(a->InsertChildNode(node(L"a0"), 0));  // before the first child's row
    ASSERT_TRUE(a->InsertChildNode(node(L"a4"), 9));  // past the children: the last
    EXPECT_EQ(L"a,b,b1,b11,c,a0,a1,a2,a21,a3,a4,end", rows(view));
    EXPECT_EQ(L"a0,a1,a2,a3,a4", children(a));
    EXPECT_EQ(view->GetItemAt(10), a->GetLastDescendant());
    EXPECT_EQ(a21, a2->GetLastDescendant());
    EXPECT_EQ(9, a3->GetRowIndex());
    // The last row may take children as well.
    CTreeNodeUI* end = static_cast<CTreeNodeUI*>(view->GetItemAt(11));
    ASSERT_TRUE(end->AddChildNode(node(L"end1")));
    EXPECT_EQ(L"end,end1", rows(view).substr(rows(view).size() - 8));
}

TEST_F(Tree, RemovingTakesTheDescendantsAndLeavesTheParent)
{
    CTreeNodeUI* a = node(L"a");
    ASSERT_TRUE(view->AddNode(a));
    for (const wchar_t* name : {L"a1", L"a2", L"a3"}) ASSERT_TRUE(a->AddChildNode(node(name)));
    CTreeNodeUI* a2 = a->GetChildNode(1);
    ASSERT_TRUE(a2->AddChildNode(node(L"a21")));
    ASSERT_TRUE(a2->GetChildNode(0)->AddChildNode(node(L"a211")));
    ASSERT_TRUE(view->AddNode(node(L"b")));
    EXPECT_EQ(L"a,a1,a2,a21,a211,a3,b", rows(view));

    ASSERT_TRUE(a->RemoveChildNode(a2));
    EXPECT_EQ(L"a,a1,a3,b", rows(view));
    EXPECT_EQ(L"a1,a3", children(a));
    EXPECT_FALSE(a->RemoveChildNode(a2));

    ASSERT_TRUE(view->RemoveNode(a->GetChildNode(0)));  // out of its parent too
    EXPECT_EQ(L"a3", children(a));
    ASSERT_TRUE(view->RemoveAt(1));  // a leaf by its row
    EXPECT_EQ(L"a,b", rows(view));
    EXPECT_EQ(L"", children(a));
    ASSERT_TRUE(a->AddChildNode(node(L"a5")));
    ASSERT_TRUE(view->RemoveAt(0));  // a node with its descendants
    EXPECT_EQ(L"b", rows(view));
    EXPECT_FALSE(view->RemoveAt(5));
    EXPECT_FALSE(view->RemoveAt(-1));
}

TEST_F(Tree, WrongClassesAreRefused)
{
    CTreeNodeUI* a = node(L"a");
    ASSERT_TRUE(view->AddNode(a));
    COtherNodeUI other;
    EXPECT_FALSE(view->AddNode(&other));
    EXPECT_EQ(-1, view->InsertNodeAt(&other, 0));
    EXPECT_FALSE(a->AddChildNode(&other));
    CControlUI plain;
    EXPECT_FALSE(a->InsertChildNode(&plain, 0));
    EXPECT_EQ(L"a", rows(view));
    EXPECT_EQ(0, a->GetChildCount());

    // A parent that is not a tree node: a whole node without a parent.
    CTreeNodeUI orphan(view);
    EXPECT_EQ(nullptr, orphan.GetParentNode());
    ASSERT_NE(nullptr, orphan.GetRowLayout());
    EXPECT_EQ(4, orphan.GetRowLayout()->GetCount());
    EXPECT_EQ(orphan.GetRowLayout(), orphan.GetItemAt(0));
}

TEST_F(Tree, FoldersAndCheckBoxesPropagateToDescendants)
{
    CTreeNodeUI* a = node(L"a");
    ASSERT_TRUE(view->AddNode(a));
    CTreeNodeUI* a1 = node(L"a1");
    CTreeNodeUI* a2 = node(L"a2");
    ASSERT_TRUE(a->AddChildNode(a1));
    ASSERT_TRUE(a->AddChildNode(a2));
    ASSERT_TRUE(a1->AddChildNode(node(L"a11")));
    ASSERT_TRUE(a2->AddChildNode(node(L"a21")));
    ASSERT_TRUE(view->AddNode(node(L"b")));

    a2->GetFolderButton()->Selected(true);  // collapse a2
    EXPECT_EQ(L"a,a1,a11,a2,b", visibleRows(view));
    EXPECT_FALSE(a2->IsExpanded());
    a->GetFolderButton()->Selected(true);
    EXPECT_EQ(L"a,b", visibleRows(view));
    a->GetFolderButton()->Selected(false);  // a2 stays collapsed
    EXPECT_EQ(L"a,a1,a11,a2,b", visibleRows(view));
    ASSERT_TRUE(view->ExpandItem(3));  // a2, through the list
    EXPECT_EQ(L"a,a1,a11,a2,a21,b", visibleRows(view));

    a->GetCheckBox()->Selected(true);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(static_cast<CTreeNodeUI*>(view->GetItemAt(i))->IsChecked()) << i;
    EXPECT_FALSE(static_cast<CTreeNodeUI*>(view->GetItemAt(5))->IsChecked());
    a1->GetCheckBox()->Selected(false);
    EXPECT_FALSE(static_cast<CTreeNodeUI*>(view->GetItemAt(2))->IsChecked());  // a11
    EXPECT_TRUE(a2->IsChecked());
    view->CheckNodes(false);
    EXPECT_FALSE(a->IsChecked());

    // A double click on a node toggles its folder and goes on to the window.
    NotifyLog log(skin.manager);
    sendEvent(a1, UIEVENT_DBLCLICK);
    EXPECT_EQ(L"a,a1,a2,a21,b", visibleRows(view));
    EXPECT_EQ((std::vector<std::wstring>{L"itemactivate:a1", L"selectchanged:", L"itemdbclick:a1"}), log.seen);
}

TEST(TreeSkin, TreeNodesNestUnderTheirElements)
{
    Skin skin(L"<TreeView name=\"tree\" visiblecheckbtn=\"true\"><TreeNode name=\"n1\" text=\"One\">"
              L"<TreeNode name=\"n11\" text=\"Eleven\"/><Label name=\"extra\"/></TreeNode>"
              L"<TreeNode name=\"n2\"/></TreeView>");
    auto* view = static_cast<CTreeViewUI*>(skin[L"tree"]);
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(L"n1,n11,n2", rows(view));
    auto* n1 = static_cast<CTreeNodeUI*>(skin[L"n1"]);
    EXPECT_EQ(n1, static_cast<CTreeNodeUI*>(skin[L"n11"])->GetParentNode());
    EXPECT_STREQ(L"One", n1->GetItemButton()->GetText());
    EXPECT_EQ(n1, skin[L"extra"]->GetParent());  // other controls join the node itself
    EXPECT_TRUE(n1->GetCheckBox()->IsVisible());

    // A tree node anywhere but under a tree view or a node ends that level.
    Skin wrong(L"<VerticalLayout name=\"box\"><TreeNode/><Label/></VerticalLayout>");
    EXPECT_EQ(0, static_cast<CContainerUI*>(wrong[L"box"])->GetCount());
}

TEST(TreeSkin, FolderButtonAndCheckBoxAreAsWideAsTheNodeIsHigh)
{
    Skin skin(L"<TreeView name=\"tree\" visiblecheckbtn=\"true\"><TreeNode name=\"tall\" height=\"24\"/>"
              L"<TreeNode name=\"plain\"/></TreeView>");
    struct Case {
        const wchar_t* node;
        int height;  // only what the skin gives
    } cases[] = {{L"tall", 24}, {L"plain", 0}};
    for (const Case& c : cases) {
        auto* node = static_cast<CTreeNodeUI*>(skin[c.node]);
        ASSERT_NE(nullptr, node);
        EXPECT_EQ(c.height, node->GetFixedHeight()) << c.node;
        EXPECT_EQ(c.height, node->GetFolderButton()->GetFixedWidth()) << c.node;
        EXPECT_EQ(c.height, node->GetCheckBox()->GetFixedWidth()) << c.node;
    }
}
