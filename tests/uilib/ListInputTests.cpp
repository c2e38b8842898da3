// Lists, combo boxes and tree views in real windows under Xvfb, driven by
// SendInput: rows are clicked, activated and moved through with the keys and
// the wheel, header columns are clicked and resized, links in text rows are
// clicked; the combo box opens its pop-up window and selects from it; tree
// nodes collapse, expand and check their descendants.
#include "ButtonUI.h"
#include "ComboUI.h"
#include "ComboWnd.h"
#include "InputDriver.h"
#include "ListItemUI.h"
#include "ListUI.h"
#include "ScrollBarUI.h"
#include "TreeViewUI.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace SkinUI;
using namespace testui;

namespace {

// Rows of 20 px under a 24 px header: row i spans y = 24 + 20 i .. 44 + 20 i
// until the body scrolls.
const wchar_t kList[] =
    L"<Window size=\"400,260\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">"
    L"  <List name=\"list\" height=\"224\" vscrollbar=\"true\" itemshowhtml=\"true\" itemhotbkcolor=\"#FF00FF00\""
    L"    itemselectedbkcolor=\"#FF0000FF\">"
    L"    <ListHeader height=\"24\"><ListHeaderItem name=\"c0\" text=\"Name\" width=\"120\" minwidth=\"60\"/>"
    L"      <ListHeaderItem name=\"c1\" text=\"Size\" width=\"100\"/></ListHeader>"
    L"  </List>"
    L"  <Control/>"
    L"</VerticalLayout></Window>";

class ListInput : public WindowFixture {
protected:
    ListInput() : WindowFixture(kList) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        list = static_cast<CListUI*>(frame.control(L"list"));
        ASSERT_NE(nullptr, list);
        for (int i = 0; i < 30; ++i) {
            auto* row = new CListTextElementUI;
            row->SetName((L"r" + std::to_wstring(i)).c_str());
            row->SetFixedHeight(20);
            list->Add(row);
            row->SetText(0, (L"Row " + std::to_wstring(i)).c_str());
            row->SetText(1, i == 2 ? L"see {a first}one{/a} or {a second}two{/a}" : L"");
        }
        list->NeedUpdate();
        input.activate();
        frame.events.clear();
    }
    POINT rowPoint(int index) const
    {
        RECT r = list->GetItemAt(index)->GetPos();
        return POINT{60, (r.top + r.bottom) / 2};
    }
    int count(const std::wstring& entry) const
    {
        return static_cast<int>(std::count(frame.events.begin(), frame.events.end(), entry));
    }
    // The notifications of rows and of the list, without the focus moves.
    std::vector<std::wstring> itemEvents() const
    {
        std::vector<std::wstring> out;
        for (const std::wstring& e : frame.events)
            if (e.rfind(L"item", 0) == 0) out.push_back(e);
        return out;
    }
    CListUI* list = nullptr;
    InputDriver input{frame};
};

}  // namespace

TEST_F(ListInput, ClicksSelectDoubleClickAndReturnActivate)
{
    POINT row1 = rowPoint(1);
    input.moveTo(row1);
    EXPECT_EQ(0x00FF00u, printedPixel(frame, 300, row1.y));  // hot
    input.click(row1);
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick:r1", L"itemselect:list:1,-1"}), itemEvents());
    EXPECT_EQ(0x0000FFu, printedPixel(frame, 300, row1.y));  // selected
    frame.events.clear();
    input.click(rowPoint(3));
    input.click(rowPoint(3));  // the second click of a double click
    EXPECT_EQ(1, count(L"itemselect:list:3,1"));
    EXPECT_EQ(1, count(L"itemactivate:r3"));
    frame.events.clear();
    input.press(VK_RETURN);
    EXPECT_EQ(std::vector<std::wstring>{L"itemactivate:r3"}, itemEvents());
}

TEST_F(ListInput, KeysMoveTheSelectionAndKeepItInView)
{
    input.click(rowPoint(0));
    struct Step {
        WORD key;
        int selection;
    } steps[] = {{VK_DOWN, 1}, {VK_DOWN, 2}, {VK_END, 29}, {VK_UP, 28}, {VK_HOME, 0}};
    for (const Step& step : steps) {
        input.press(step.key);
        EXPECT_EQ(step.selection, list->GetCurSel()) << step.key;
        RECT row = list->GetItemAt(step.selection)->GetPos();
        RECT body = list->GetBody()->GetPos();
        EXPECT_TRUE(row.top >= body.top && row.bottom <= body.bottom) << step.key;
    }
    EXPECT_EQ(0, list->GetScrollPos().cy);
    input.press(VK_NEXT);  // a page down scrolls without selecting
    EXPECT_GT(list->GetScrollPos().cy, 0);
    EXPECT_EQ(0, list->GetCurSel());
}

TEST_F(ListInput, TheWheelScrollsOrWithScrollSelectMovesTheSelection)
{
    input.click(rowPoint(2));
    input.wheel(rowPoint(2), -1);
    EXPECT_GT(list->GetScrollPos().cy, 0);
    EXPECT_EQ(2, list->GetCurSel());
    list->SetScrollSelect(true);
    int scrolled = list->GetScrollPos().cy;
    frame.events.clear();
    input.wheel(rowPoint(5), -1);
    EXPECT_EQ(3, list->GetCurSel());
    EXPECT_EQ(scrolled, list->GetScrollPos().cy);
    input.wheel(rowPoint(5), 1);
    EXPECT_EQ(2, list->GetCurSel());
    EXPECT_EQ((std::vector<std::wstring>{L"itemselect:list:3,2", L"itemselect:list:2,3"}), itemEvents());
}

TEST_F(ListInput, HeaderClicksAndASeparatorDragStoppingAtTheMinimumWidth)
{
    auto* c0 = frame.control(L"c0");
    input.click(POINT{40, 12});
    EXPECT_EQ(1, count(L"headerclick:c0"));
    input.click(POINT{170, 12});
    EXPECT_EQ(1, count(L"headerclick:c1"));

    // The separator is the right 4 px of the column; 10 px steps to the left.
    input.moveTo(POINT{118, 12});
    input.mouse(MOUSEEVENTF_LEFTDOWN);
    for (int x = 108; x >= 18; x -= 10) input.moveTo(POINT{x, 12});
    input.mouse(MOUSEEVENTF_LEFTUP);
    pump();
    EXPECT_EQ(60, c0->GetFixedWidth());      // held at the minimum
    EXPECT_EQ(1, count(L"headerclick:c0"));  // a drag is no click
    EXPECT_EQ(60, list->GetListStyle()->rcColumn[1].left);
    input.drag(POINT{58, 12}, POINT{118, 12});
    pump();
    EXPECT_EQ(120, c0->GetFixedWidth());
    EXPECT_EQ(120, list->GetListStyle()->rcColumn[1].left);
}

TEST_F(ListInput, ALinkInATextRowSendsItsIndex)
{
    auto* row = static_cast<CListTextElementUI*>(list->GetItemAt(2));
    ASSERT_EQ(2, row->GetLinkCount());  // recorded by the first paint
    RECT second = row->GetLinkRect(1);
    EXPECT_GE(second.left, list->GetListStyle()->rcColumn[1].left);
    input.click(POINT{(second.left + second.right) / 2, (second.top + second.bottom) / 2});
    EXPECT_EQ(1, count(L"link:r2:1,0"));
    EXPECT_STREQ(L"second", row->GetLinkText(1));
}

namespace {

// The window reaches down near the screen's bottom (1024 x 768 under Xvfb),
// so the lowest combo has no room for its pop-up below.
const wchar_t kCombos[] =
    L"<Window size=\"400,690\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\" inset=\"10,10,10,10\" childpadding=\"10\">"
    L"  <Combo name=\"few\" height=\"24\" width=\"150\" normalimage=\"gray.png\">"
    L"    <ListLabelElement name=\"a\" text=\"Alpha\" height=\"20\"/>"
    L"    <ListLabelElement name=\"b\" text=\"Beta\" height=\"20\"/>"
    L"    <ListLabelElement name=\"c\" text=\"Gamma\" height=\"20\"/>"
    L"  </Combo>"
    L"  <Combo name=\"many\" height=\"24\" width=\"150\" normalimage=\"gray.png\"/>"
    L"  <Control/>"
    L"  <Combo name=\"low\" height=\"24\" width=\"150\" normalimage=\"gray.png\"/>"
    L"</VerticalLayout></Window>";

class ComboInput : public WindowFixture {
protected:
    ComboInput() : WindowFixture(kCombos) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        few = static_cast<CComboUI*>(frame.control(L"few"));
        many = static_cast<CComboUI*>(frame.control(L"many"));
        low = static_cast<CComboUI*>(frame.control(L"low"));
        ASSERT_TRUE(few && many && low);
        for (CComboUI* combo : {many, low}) {
            for (int i = 0; i < 20; ++i) {
                auto* row = new CListLabelElementUI;
                row->SetName((std::wstring(combo == many ? L"m" : L"l") + std::to_wstring(i)).c_str());
                row->SetText((L"Item " + std::to_wstring(i)).c_str());
                row->SetFixedHeight(20);
                combo->Add(row);
            }
        }
        input.activate();
        frame.events.clear();
    }
    void TearDown() override
    {
        // The pop-ups close before the window goes.
        pump();
        WindowFixture::TearDown();
    }
    // The open pop-up of a combo and its screen rectangle.
    HWND popup(CComboUI* combo) const
    {
        CComboWnd* wnd = combo->GetDropDown();
        return wnd ? wnd->GetWindowHandle() : nullptr;
    }
    RECT screenRect(HWND window) const
    {
        RECT r{};
        GetWindowRect(window, &r);
        return r;
    }
    RECT comboOnScreen(CComboUI* combo) const
    {
        RECT r = combo->GetPos();
        MapWindowPoints(frame.GetWindowHandle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // A point in the pop-up, in the main window's client coordinates (which
    // is what the input driver takes).
    POINT inPopup(HWND window, int x, int y) const
    {
        POINT pt{x, y};
        ClientToScreen(window, &pt);
        ScreenToClient(frame.GetWindowHandle(), &pt);
        return pt;
    }
    int count(const std::wstring& entry) const
    {
        return static_cast<int>(std::count(frame.events.begin(), frame.events.end(), entry));
    }
    CComboUI* few = nullptr;
    CComboUI* many = nullptr;
    CComboUI* low = nullptr;
    InputDriver input{frame};
};

}  // namespace

TEST_F(ComboInput, AClickOpensThePopUpAndAClickOnARowSelectsAndClosesIt)
{
    input.click(centreOf(few));
    ASSERT_TRUE(pumpUntil([&] { return popup(few) != nullptr; }));
    HWND window = popup(few);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    EXPECT_STREQ(L"ComboWnd", className);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(1, count(L"dropdown:few"));
    // Three rows of 20 and 4 more; below the combo, as wide as it.
    RECT pop = screenRect(window), combo = comboOnScreen(few);
    EXPECT_EQ(64, pop.bottom - pop.top);
    EXPECT_EQ(combo.bottom, pop.top);
    EXPECT_EQ(combo.left, pop.left);
    EXPECT_EQ(combo.right, pop.right);

    input.click(inPopup(window, 40, 1 + 20 + 10));  // Beta, inside the 1 px border
    ASSERT_TRUE(pumpUntil([&] { return popup(few) == nullptr; }));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1, count(L"itemselect:few:1,-1"));
    EXPECT_EQ(1, few->GetCurSel());
    EXPECT_STREQ(L"Beta", few->GetText());
    // The rows are the combo's again, out of sight.
    EXPECT_EQ(few->GetManager(), frame.control(L"b")->GetManager());
    EXPECT_EQ(0, frame.control(L"b")->GetWidth());
}

TEST_F(ComboInput, EscapeClosesKeepingTheSelectionAndAKeySelectsAndCloses)
{
    ASSERT_TRUE(few->SelectItem(0));
    input.click(centreOf(few));
    ASSERT_TRUE(pumpUntil([&] { return popup(few) != nullptr; }));
    frame.events.clear();
    input.press(VK_ESCAPE);
    ASSERT_TRUE(pumpUntil([&] { return popup(few) == nullptr; }));
    EXPECT_EQ(0, few->GetCurSel());
    EXPECT_STREQ(L"Alpha", few->GetText());
    EXPECT_EQ(0, count(L"itemselect:few:0,0"));

    // A key in the pop-up selects through the combo, which closes it.
    input.click(centreOf(few));
    ASSERT_TRUE(pumpUntil([&] { return popup(few) != nullptr; }));
    input.press(VK_DOWN);
    ASSERT_TRUE(pumpUntil([&] { return popup(few) == nullptr; }));
    EXPECT_EQ(1, few->GetCurSel());
    EXPECT_EQ(1, count(L"itemselect:few:1,0"));
}

TEST_F(ComboInput, ManyRowsBringAScrollBarWhoseClicksKeepThePopUpOpen)
{
    input.click(centreOf(many));
    ASSERT_TRUE(pumpUntil([&] { return popup(many) != nullptr; }));
    HWND window = popup(many);
    RECT pop = screenRect(window);
    EXPECT_EQ(150, pop.bottom - pop.top);
    CScrollBarUI* bar = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        CControlUI* row = frame.control(L"m0");
        auto* layout = row ? static_cast<CContainerUI*>(row->GetParent()) : nullptr;
        bar = layout ? layout->GetVerticalScrollBar() : nullptr;
        return bar && bar->IsVisible();
    }));
    RECT track = bar->GetPos();
    input.click(inPopup(window, (track.left + track.right) / 2, track.bottom - 30));
    pump();
    EXPECT_EQ(window, popup(many));
    EXPECT_GT(bar->GetScrollPos(), 0);
    input.press(VK_RETURN);
    ASSERT_TRUE(pumpUntil([&] { return popup(many) == nullptr; }));
}

TEST_F(ComboInput, NearTheBottomOfTheScreenThePopUpOpensUpwards)
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ASSERT_GT(comboOnScreen(low).bottom + 150, work.bottom);
    input.click(centreOf(low));
    ASSERT_TRUE(pumpUntil([&] { return popup(low) != nullptr; }));
    RECT pop = screenRect(popup(low)), combo = comboOnScreen(low);
    EXPECT_EQ(combo.top, pop.bottom);
    EXPECT_EQ(150, pop.bottom - pop.top);
    input.press(VK_ESCAPE);
    ASSERT_TRUE(pumpUntil([&] { return popup(low) == nullptr; }));
}

namespace {

const wchar_t kTree[] = L"<Window size=\"300,260\">"
                        L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">"
                        L"  <TreeView name=\"tree\" visiblecheckbtn=\"true\" height=\"240\">"
                        L"    <TreeNode name=\"a\" text=\"A\" height=\"20\" "
                        L"folderattr=\"normalimage=&quot;red.png&quot; selectedimage=&quot;blue.png&quot;\""
                        L"      checkboxattr=\"normalimage=&quot;gray.png&quot; selectedimage=&quot;green.png&quot;\">"
                        L"      <TreeNode name=\"a1\" text=\"A1\" height=\"20\"/>"
                        L"      <TreeNode name=\"a2\" text=\"A2\" height=\"20\"><TreeNode name=\"a21\" text=\"A21\" "
                        L"height=\"20\"/></TreeNode>"
                        L"    </TreeNode>"
                        L"    <TreeNode name=\"b\" text=\"B\" height=\"20\"/>"
                        L"  </TreeView>"
                        L"  <Control/>"
                        L"</VerticalLayout></Window>";

class TreeInput : public WindowFixture {
protected:
    TreeInput() : WindowFixture(kTree) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        view = static_cast<CTreeViewUI*>(frame.control(L"tree"));
        ASSERT_NE(nullptr, view);
        input.activate();
        frame.events.clear();
    }
    CTreeNodeUI* node(const wchar_t* name) { return static_cast<CTreeNodeUI*>(frame.control(name)); }
    std::wstring visibleRows()
    {
        std::wstring out;
        for (int i = 0; i < view->GetCount(); ++i) {
            CControlUI* row = view->GetItemAt(i);
            if (!row->IsVisible()) continue;
            if (!out.empty()) out += L",";
            out += row->GetName().GetData();
        }
        return out;
    }
    CTreeViewUI* view = nullptr;
    InputDriver input{frame};
};

}  // namespace

TEST_F(TreeInput, TheFolderButtonCollapsesAndExpandsTheDescendants)
{
    EXPECT_EQ(L"a,a1,a2,a21,b", visibleRows());
    POINT folder = centreOf(node(L"a")->GetFolderButton());
    EXPECT_EQ(0xFF0000u, printedPixel(frame, folder.x, folder.y));
    input.click(folder);
    EXPECT_EQ(L"a,b", visibleRows());
    pump();
    EXPECT_EQ(0x0000FFu, printedPixel(frame, folder.x, folder.y));
    EXPECT_EQ(node(L"b")->GetPos().top, node(L"a")->GetPos().bottom);  // b moved up
    input.click(folder);
    EXPECT_EQ(L"a,a1,a2,a21,b", visibleRows());
}

TEST_F(TreeInput, TheCheckBoxChecksEveryDescendant)
{
    input.click(centreOf(node(L"a")->GetCheckBox()));
    for (const wchar_t* name : {L"a", L"a1", L"a2", L"a21"}) EXPECT_TRUE(node(name)->IsChecked()) << name;
    EXPECT_FALSE(node(L"b")->IsChecked());
    input.click(centreOf(node(L"a2")->GetCheckBox()));
    EXPECT_FALSE(node(L"a21")->IsChecked());
    EXPECT_TRUE(node(L"a1")->IsChecked());
}

TEST_F(TreeInput, ADoubleClickTogglesTheFolder)
{
    POINT text = centreOf(node(L"a2")->GetItemButton());
    input.click(text);
    input.click(text);
    EXPECT_TRUE(frame.saw(L"itemdbclick:a2"));
    EXPECT_EQ(L"a,a1,a2,b", visibleRows());
    EXPECT_EQ(2, view->GetCurSel());
    input.click(text);
    input.click(text);
    EXPECT_EQ(L"a,a1,a2,a21,b", visibleRows());
}
