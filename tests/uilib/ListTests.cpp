// The list, its header and its rows without a window: the routing of children
// by kind, row indexes and the selection through insertions, moves and
// removals, selection and expansion rules, keeping the selected row in view,
// the column rectangles under horizontal scrolling and with a hidden header;
// and what rows and header items paint into off-screen DIBs.
#include "ListItemUI.h"
#include "ListUI.h"
#include "MemoryCanvas.h"
#include "SkinHarness.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace testui;

namespace {

CListLabelElementUI* labelRow(const wchar_t* name, int height = 20, const wchar_t* text = nullptr)
{
    auto* row = new CListLabelElementUI;
    row->SetName(name);
    row->SetFixedHeight(height);
    if (text) row->SetText(text);
    return row;
}

// "name@index" of every row, in row order.
std::wstring rows(CListUI* list)
{
    std::wstring out;
    for (int i = 0; i < list->GetCount(); ++i) {
        CControlUI* row = list->GetItemAt(i);
        IListItemUI* item = AsListItem(row);
        if (!out.empty()) out += L",";
        out += std::wstring(row->GetName().GetData()) + L"@" + std::to_wstring(item ? item->GetIndex() : -9);
    }
    return out;
}

// A container row whose expansion can be seen, or refused.
class CExpandingRowUI : public CListContainerElementUI {
public:
    bool expanded = false;
    bool refuse = false;
    bool IsExpanded() const override { return expanded; }
    bool Expand(bool expand) override
    {
        if (expand && refuse) return false;
        expanded = expand;
        return true;
    }
};

const wchar_t kFourRows[] =
    L"<List name=\"list\"><ListHeader name=\"head\"><ListHeaderItem name=\"c0\" width=\"50\"/>"
    L"<ListHeaderItem name=\"c1\" width=\"60\"/></ListHeader>"
    L"<ListLabelElement name=\"r0\" height=\"20\"/><ListLabelElement name=\"r1\" height=\"20\"/>"
    L"<ListLabelElement name=\"r2\" height=\"20\"/><ListLabelElement name=\"r3\" height=\"20\"/></List>";

}  // namespace

TEST(List, RoutesHeaderHeaderItemsAndRowsAndKeepsRowsNumbered)
{
    Skin skin(kFourRows);
    auto* list = static_cast<CListUI*>(skin[L"list"]);
    ASSERT_NE(nullptr, list);
    // The skin's header replaced the empty one the list was made with.
    EXPECT_EQ(skin[L"head"], list->GetHeader());
    EXPECT_EQ(2, list->GetListStyle()->nColumns);
    EXPECT_EQ(L"r0@0,r1@1,r2@2,r3@3", rows(list));
    EXPECT_EQ(0, list->GetItemIndex(skin[L"head"]));  // the list's own children
    EXPECT_EQ(1, list->GetItemIndex(skin[L"c1"]));    // the header's
    EXPECT_EQ(2, list->GetItemIndex(skin[L"r2"]));    // the rows'
    EXPECT_EQ(static_cast<IListOwnerUI*>(list), AsListItem(skin[L"r3"])->GetOwner());

    auto* extra = new CListHeaderItemUI;
    ASSERT_TRUE(list->Add(extra));
    EXPECT_EQ(3, list->GetHeader()->GetCount());
    EXPECT_EQ(3, list->GetListStyle()->nColumns);
    EXPECT_EQ(4, list->GetCount());

    ASSERT_TRUE(list->SelectItem(2));
    ASSERT_TRUE(list->AddAt(labelRow(L"x"), 1));
    EXPECT_EQ(L"r0@0,x@1,r1@2,r2@3,r3@4", rows(list));
    EXPECT_EQ(3, list->GetCurSel());  // still r2
    EXPECT_FALSE(list->AddAt(labelRow(L"bad"), 9));

    ASSERT_TRUE(list->SetItemIndex(skin[L"r2"], 0));
    EXPECT_EQ(L"r2@0,r0@1,x@2,r1@3,r3@4", rows(list));
    EXPECT_EQ(0, list->GetCurSel());
    ASSERT_TRUE(list->SetItemIndex(skin[L"r0"], 4));
    EXPECT_EQ(L"r2@0,x@1,r1@2,r3@3,r0@4", rows(list));
    EXPECT_EQ(0, list->GetCurSel());
    EXPECT_FALSE(list->SetItemIndex(extra, 9));

    ASSERT_TRUE(list->SelectItem(3));
    ASSERT_TRUE(list->Remove(skin[L"x"]));
    EXPECT_EQ(L"r2@0,r1@1,r3@2,r0@3", rows(list));
    EXPECT_EQ(2, list->GetCurSel());  // still r3
    EXPECT_FALSE(list->RemoveAt(4));
    EXPECT_FALSE(list->GetItemAt(-1));

    list->RemoveAll();
    EXPECT_EQ(0, list->GetCount());
    EXPECT_EQ(-1, list->GetCurSel());
    EXPECT_EQ(3, list->GetHeader()->GetCount());  // the header stays
}

TEST(List, SelectItemRefusesWhatCannotBeSelectedAndReportsChangesOnce)
{
    Skin skin(L"<List name=\"list\"><ListLabelElement name=\"r0\" height=\"20\"/>"
              L"<ListLabelElement name=\"r1\" height=\"20\" enabled=\"false\"/>"
              L"<ListLabelElement name=\"r2\" height=\"20\" visible=\"false\"/>"
              L"<Control name=\"plain\" height=\"20\"/><ListLabelElement name=\"r4\" height=\"20\"/></List>");
    auto* list = static_cast<CListUI*>(skin[L"list"]);
    NotifyLog log(skin.manager, {L"itemselect"});
    for (int index : {1, 2, 3, 5, -2}) {
        EXPECT_FALSE(list->SelectItem(index)) << index;
        EXPECT_EQ(-1, list->GetCurSel()) << index;
    }
    EXPECT_FALSE(AsListItem(skin[L"r1"])->Select(true));  // a disabled row refuses by itself too
    EXPECT_TRUE(log.seen.empty());

    ASSERT_TRUE(list->SelectItem(0));
    EXPECT_TRUE(list->SelectItem(0));  // already selected: nothing more
    ASSERT_TRUE(list->SelectItem(4));
    EXPECT_EQ((std::vector<std::wstring>{L"itemselect:list:0,-1", L"itemselect:list:4,0"}), log.seen);
    EXPECT_FALSE(AsListItem(skin[L"r0"])->IsSelected());
    EXPECT_TRUE(AsListItem(skin[L"r4"])->IsSelected());

    // Removing the selected row selects the nearest selectable row before it
    // (past the hidden, disabled and plain ones), without a previous index.
    log.seen.clear();
    ASSERT_TRUE(list->Remove(skin[L"r4"]));
    EXPECT_EQ(0, list->GetCurSel());
    EXPECT_EQ(std::vector<std::wstring>{L"itemselect:list:0,-1"}, log.seen);

    // A selected row that is disabled still gives its mark up.
    skin[L"r0"]->SetEnabled(false);
    skin[L"r1"]->SetEnabled(true);
    ASSERT_TRUE(list->SelectItem(1));
    EXPECT_FALSE(AsListItem(skin[L"r0"])->IsSelected());

    // Hiding the selected row clears the selection.
    skin[L"r1"]->SetVisible(false);
    EXPECT_EQ(-1, list->GetCurSel());
    EXPECT_FALSE(AsListItem(skin[L"r1"])->IsSelected());
}

TEST(List, RowsClickActivateAndReturnThroughEvents)
{
    Skin skin(L"<List name=\"list\"><ListLabelElement name=\"r0\" height=\"20\"/>"
              L"<ListLabelElement name=\"r1\" height=\"20\"/></List>");
    NotifyLog log(skin.manager, {L"itemselect"});
    sendEvent(skin[L"r1"], UIEVENT_BUTTONDOWN);
    sendEvent(skin[L"r1"], UIEVENT_DBLCLICK);
    sendEvent(skin[L"r1"], UIEVENT_KEYDOWN, POINT{}, 0, VK_RETURN);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"itemclick:r1", L"itemselect:list:1,-1", L"itemactivate:r1", L"itemactivate:r1"}),
        log.seen);
}

TEST(List, ExpandItemWithAndWithoutMultiExpanding)
{
    CWindowManagerUI manager;
    CListUI list;
    list.SetManager(&manager, nullptr, false);
    CExpandingRowUI* row[4];
    for (auto*& r : row) {
        r = new CExpandingRowUI;
        r->SetFixedHeight(20);
        list.Add(r);
    }
    ASSERT_TRUE(list.ExpandItem(0));
    ASSERT_TRUE(list.ExpandItem(1));
    EXPECT_FALSE(row[0]->expanded);  // one at a time
    EXPECT_TRUE(row[1]->expanded);
    EXPECT_EQ(1, list.GetExpandedItem());

    list.SetAttribute(L"multiexpanding", L"true");
    ASSERT_TRUE(list.ExpandItem(2));
    EXPECT_TRUE(row[1]->expanded);
    EXPECT_TRUE(row[2]->expanded);
    ASSERT_TRUE(list.ExpandItem(1, false));
    EXPECT_FALSE(row[1]->expanded);
    EXPECT_TRUE(row[2]->expanded);

    row[3]->refuse = true;
    EXPECT_FALSE(list.ExpandItem(3));
    row[0]->SetVisible(false);
    EXPECT_FALSE(list.ExpandItem(0));
    EXPECT_FALSE(list.ExpandItem(7));
    EXPECT_EQ(-1, list.GetExpandedItem());
    list.SetManager(nullptr, nullptr, false);
}

TEST(List, EnsureVisibleScrollsTheSelectedRowJustIntoTheBand)
{
    Skin skin(L"<List name=\"list\" header=\"hidden\" vscrollbar=\"true\"/>", RECT{0, 0, 200, 100});
    auto* list = static_cast<CListUI*>(skin[L"list"]);
    for (int i = 0; i < 20; ++i) list->Add(labelRow((L"r" + std::to_wstring(i)).c_str()));
    skin.relayout();
    struct Step {
        int select;
        int scroll;  // the body's vertical position afterwards
    } steps[] = {
        {10, 120},           // below: its bottom comes to the band's bottom
        {11, 140}, {2, 40},  // above: its top comes to the band's top
        {4, 40},             // inside: no scrolling
        {6, 40},             // its bottom on the band's bottom: inside
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(list->SelectItem(step.select)) << step.select;
        EXPECT_EQ(step.scroll, list->GetScrollPos().cy) << step.select;
    }
    EXPECT_EQ("0,80,184,100", text(list->GetItemAt(6)->GetPos()));
}

TEST(List, ColumnRectanglesFollowScrollingAndSurviveAHiddenHeader)
{
    const wchar_t* header = L"<ListHeader height=\"20\"><ListHeaderItem name=\"c0\" width=\"100\"/>"
                            L"<ListHeaderItem name=\"c1\" width=\"150\"/></ListHeader>";
    Skin skin((std::wstring(L"<List name=\"list\" hscrollbar=\"true\">") + header + L"</List>").c_str(),
        RECT{0, 0, 200, 120});
    auto* list = static_cast<CListUI*>(skin[L"list"]);
    for (int i = 0; i < 3; ++i) list->Add(new CListTextElementUI);
    skin.relayout();
    TListStyleUI* style = list->GetListStyle();
    EXPECT_EQ("0,0,100,20", text(style->rcColumn[0]));
    EXPECT_EQ("100,0,250,20", text(style->rcColumn[1]));
    EXPECT_EQ(50, list->GetScrollRange().cx);  // 250 wide in 200
    EXPECT_EQ(250, list->GetItemAt(0)->GetWidth());

    list->SetScrollPos(SIZE{30, 0});
    EXPECT_EQ("-30,0,70,20", text(style->rcColumn[0]));
    EXPECT_EQ("70,0,220,20", text(style->rcColumn[1]));
    EXPECT_EQ(-30, list->GetItemAt(0)->GetPos().left);
    skin.relayout();  // a new layout keeps the columns where the scrolling put them
    EXPECT_EQ("-30,0,70,20", text(style->rcColumn[0]));

    Skin hidden(
        (std::wstring(L"<List name=\"list\" header=\"hidden\">") + header + L"</List>").c_str(), RECT{0, 0, 300, 120});
    auto* plain = static_cast<CListUI*>(hidden[L"list"]);
    EXPECT_EQ(2, plain->GetListStyle()->nColumns);
    EXPECT_EQ("0,0,100,0", text(plain->GetListStyle()->rcColumn[0]));
    EXPECT_EQ("100,0,250,0", text(plain->GetListStyle()->rcColumn[1]));
    EXPECT_FALSE(hidden[L"c0"]->IsVisible());
}

TEST(List, AHeaderOfFortyColumnsGivesThirtyTwoRectangles)
{
    std::wstring xml = L"<List name=\"list\"><ListHeader height=\"20\">";
    for (int i = 0; i < 40; ++i) xml += L"<ListHeaderItem width=\"10\"/>";
    xml += L"</ListHeader></List>";
    Skin skin(xml.c_str(), RECT{0, 0, 500, 100});
    TListStyleUI* style = static_cast<CListUI*>(skin[L"list"])->GetListStyle();
    EXPECT_EQ(32, style->nColumns);
    EXPECT_EQ("310,0,320,20", text(style->rcColumn[31]));
}

namespace {

class PaintedList : public ::testing::Test {
protected:
    void SetUp() override { CWindowManagerUI::SetResourcePath(L"fixtures"); }
    void TearDown() override { CWindowManagerUI::Term(); }
};

uint32_t paintedAt(CControlUI* control, int x, int y, int cx = 100, int cy = 100)
{
    MemoryCanvas canvas(cx, cy);
    control->Paint(canvas.context, RECT{0, 0, cx, cy});
    return canvas.pixel(x, y);
}

}  // namespace

TEST_F(PaintedList, RowBackgroundsByStateTheLaterRuleWinning)
{
    Skin skin(L"<List name=\"list\" header=\"hidden\" itembkcolor=\"#FF102030\" itemhotbkcolor=\"#FF405060\" "
              L"itemselectedbkcolor=\"#FF708090\" itemdisabledbkcolor=\"#FFA0B0C0\" itemaltbk=\"true\" "
              L"itemlinecolor=\"#FF0000FF\"/>",
        RECT{0, 0, 100, 100});
    auto* list = static_cast<CListUI*>(skin[L"list"]);
    for (int i = 0; i < 5; ++i) list->Add(labelRow((L"r" + std::to_wstring(i)).c_str()));
    skin.relayout();
    sendEvent(skin[L"r2"], UIEVENT_MOUSEENTER);
    sendEvent(skin[L"r3"], UIEVENT_MOUSEENTER);
    ASSERT_TRUE(list->SelectItem(3));
    skin[L"r4"]->SetEnabled(false);
    struct Case {
        int y;
        uint32_t rgb;
    } cases[] = {
        {10, 0x102030},  // even row: the background colour
        {30, 0xFFFFFF},  // odd row with the alternate background: none
        {50, 0x405060},  // hot
        {70, 0x708090},  // hot and selected: selected
        {90, 0xA0B0C0},  // disabled
        {19, 0x0000FF},  // the line along a row's bottom
        {18, 0x102030},
    };
    for (const Case& c : cases) EXPECT_EQ(c.rgb, paintedAt(list, 50, c.y)) << c.y;
}

TEST_F(PaintedList, HeaderItemStatesAndTheSeparatorImage)
{
    CWindowManagerUI manager;
    NotifyLog log(manager);
    CListHeaderItemUI item;
    item.SetName(L"h");
    item.SetManager(&manager, nullptr, false);
    item.ApplyAttributeList(L"normalimage=\"red.png\" hotimage=\"green.png\" pushedimage=\"blue.png\" "
                            L"sepimage=\"yellow.png\" sepwidth=\"4\"");
    item.SetPos(RECT{0, 0, 100, 20});
    EXPECT_EQ(0xFF0000u, paintedAt(&item, 50, 10, 100, 20));
    EXPECT_EQ(0xFFFF00u, paintedAt(&item, 97, 10, 100, 20));  // the separator's 4 pixels
    EXPECT_EQ(0xFF0000u, paintedAt(&item, 95, 10, 100, 20));
    sendEvent(&item, UIEVENT_MOUSEENTER, POINT{50, 10});
    EXPECT_EQ(0x00FF00u, paintedAt(&item, 50, 10, 100, 20));
    sendEvent(&item, UIEVENT_BUTTONDOWN, POINT{50, 10});
    EXPECT_EQ(0x0000FFu, paintedAt(&item, 50, 10, 100, 20));
    EXPECT_EQ(std::vector<std::wstring>{L"headerclick:h"}, log.seen);
    sendEvent(&item, UIEVENT_BUTTONUP, POINT{50, 10});
    sendEvent(&item, UIEVENT_BUTTONDOWN, POINT{94, 10});  // on the widened separator: a drag, no click
    EXPECT_EQ(1u, log.seen.size());
    EXPECT_EQ(0x00FF00u, paintedAt(&item, 50, 10, 100, 20));

    CListHeaderItemUI plain;  // an empty state image falls back to the normal one
    plain.SetManager(&manager, nullptr, false);
    plain.ApplyAttributeList(L"normalimage=\"red.png\"");
    plain.SetPos(RECT{0, 0, 100, 20});
    sendEvent(&plain, UIEVENT_MOUSEENTER, POINT{50, 10});
    EXPECT_EQ(0xFF0000u, paintedAt(&plain, 50, 10, 100, 20));
    item.SetManager(nullptr, nullptr, false);
    plain.SetManager(nullptr, nullptr, false);
}

TEST_F(PaintedList, TextRowCellsStayInTheirColumns)
{
    Skin skin(L"<List name=\"list\" itemtextpadding=\"2,0,2,0\" itemtextcolor=\"#FF000000\">"
              L"<ListHeader height=\"20\"><ListHeaderItem width=\"40\"/><ListHeaderItem width=\"60\"/></ListHeader>"
              L"</List>",
        RECT{0, 0, 100, 100});
    auto* list = static_cast<CListUI*>(skin[L"list"]);
    auto* row = new CListTextElementUI;
    row->SetFixedHeight(20);
    row->SetText(0, L"WWWWWWWWWWWWWWWWWWWWWWWW");
    list->Add(row);
    skin.relayout();
    MemoryCanvas canvas(100, 100);
    list->Paint(canvas.context, RECT{0, 0, 100, 100});
    RECT first = {0, 20, 38, 40}, beyond = {38, 20, 100, 40};
    EXPECT_GT(canvas.inked(first), 20);
    EXPECT_EQ(0, canvas.inked(beyond));
    EXPECT_STREQ(L"WWWWWWWWWWWWWWWWWWWWWWWW", row->GetText(0));
    EXPECT_EQ(nullptr, row->GetText(1));
}

TEST_F(PaintedList, TextRowsAskTheProviderAndKeepEightLinksAtMost)
{
    struct Provider : IListTextProviderUI {
        std::vector<std::wstring> asked;
        CUIString GetItemText(CControlUI*, int index, int column) override
        {
            asked.push_back(std::to_wstring(index) + L":" + std::to_wstring(column));
            return CUIString(L"{a p}x{/a} {a q}y{/a} {a r}z{/a} {a s}w{/a} {a t}v{/a}");
        }
    } provider;
    Skin skin(L"<List name=\"list\" itemshowhtml=\"true\"><ListHeader height=\"20\"><ListHeaderItem width=\"150\"/>"
              L"<ListHeaderItem width=\"150\"/></ListHeader></List>",
        RECT{0, 0, 300, 100});
    auto* list = static_cast<CListUI*>(skin[L"list"]);
    auto* row = new CListTextElementUI;
    row->SetFixedHeight(20);
    list->Add(row);
    list->SetTextProvider(&provider);
    skin.relayout();
    MemoryCanvas canvas(300, 100);
    list->Paint(canvas.context, RECT{0, 0, 300, 100});
    EXPECT_EQ((std::vector<std::wstring>{L"0:0", L"0:1"}), provider.asked);
    EXPECT_EQ(8, row->GetLinkCount());  // five in the first column, three of the second
    EXPECT_STREQ(L"r", row->GetLinkText(7));
}
