// The combo box without a window: selection (clamped past the end, refused
// without rows, kept on its row through removals), the keys, the arrow image's
// strip rectangle read from its text, and the arrow's five states painted into
// an off-screen DIB.
#include "ComboUI.h"
#include "ListItemUI.h"
#include "MemoryCanvas.h"
#include "SkinHarness.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace testui;

namespace {

const wchar_t kThreeRows[] =
    L"<Combo name=\"combo\"><ListLabelElement name=\"a\" text=\"A\"/><ListLabelElement name=\"b\" text=\"B\"/>"
    L"<ListLabelElement name=\"c\" text=\"C\"/></Combo>";

}  // namespace

TEST(Combo, SelectItemClampsPastTheEndAndRefusesWithoutRows)
{
    Skin skin(kThreeRows);
    auto* combo = static_cast<CComboUI*>(skin[L"combo"]);
    NotifyLog log(skin.manager, {L"itemselect"});
    ASSERT_TRUE(combo->SelectItem(10));
    EXPECT_EQ(2, combo->GetCurSel());
    EXPECT_STREQ(L"C", combo->GetText());
    ASSERT_TRUE(combo->SelectItem(0));
    EXPECT_TRUE(combo->SelectItem(0));
    EXPECT_EQ((std::vector<std::wstring>{L"itemselect:combo:2,-1", L"itemselect:combo:0,2"}), log.seen);
    EXPECT_TRUE(AsListItem(skin[L"a"])->IsSelected());
    EXPECT_FALSE(AsListItem(skin[L"c"])->IsSelected());

    // Keys move the selection; Up at the first row keeps it.
    sendEvent(combo, UIEVENT_KEYDOWN, POINT{}, 0, VK_DOWN);
    EXPECT_EQ(1, combo->GetCurSel());
    sendEvent(combo, UIEVENT_KEYDOWN, POINT{}, 0, VK_END);
    EXPECT_EQ(2, combo->GetCurSel());
    sendEvent(combo, UIEVENT_SCROLLWHEEL, POINT{}, 0);
    EXPECT_EQ(1, combo->GetCurSel());
    sendEvent(combo, UIEVENT_KEYDOWN, POINT{}, 0, VK_HOME);
    sendEvent(combo, UIEVENT_KEYDOWN, POINT{}, 0, VK_UP);
    EXPECT_EQ(0, combo->GetCurSel());

    // The selection stays on its row; removing it selects the one before.
    ASSERT_TRUE(combo->SelectItem(2));
    ASSERT_TRUE(combo->AddAt(new CListLabelElementUI, 0));
    EXPECT_EQ(3, combo->GetCurSel());
    EXPECT_EQ(3, AsListItem(skin[L"c"])->GetIndex());
    ASSERT_TRUE(combo->Remove(skin[L"c"]));
    EXPECT_EQ(2, combo->GetCurSel());
    EXPECT_STREQ(L"B", combo->GetText());

    combo->RemoveAll();
    EXPECT_EQ(-1, combo->GetCurSel());
    EXPECT_FALSE(combo->SelectItem(0));
    EXPECT_STREQ(L"", combo->GetText());
}

TEST(Combo, ListOnlyItemAttributesLeaveItsStyleAsItWas)
{
    CComboUI combo;
    UINT style = combo.GetListStyle()->uTextStyle;
    combo.ApplyAttributeList(L"itemendellipsis=\"true\" multiexpanding=\"true\"");
    EXPECT_EQ(style, combo.GetListStyle()->uTextStyle);
    combo.ApplyAttributeList(L"itemendellipsis=\"false\" itemtextcolor=\"#FF102030\"");
    EXPECT_EQ(style, combo.GetListStyle()->uTextStyle);
    EXPECT_EQ(0xFF102030u, combo.GetListStyle()->dwTextColor);
}

TEST(ComboBox, ArrowSourceIsReadFromTheImageText)
{
    struct Case {
        const wchar_t* image;
        bool found;
        const char* source;
        const wchar_t* rest;  // the text after the source section
    } cases[] = {
        {L"file='arrows.png' source='0,0,50,10'", true, "0,0,50,10", L""},
        {L"file='arrows.png' source = \"10,2,60,12\" corner='1,1,1,1'", true, "10,2,60,12", L" corner='1,1,1,1'"},
        {L"file='resource/arrows.png' source='0,0,50,10'", true, "0,0,50,10", L""},  // not the file's "source"
        {L"file='arrows.png'", false, "", L""},
        {L"file='arrows.png' source='0,0,50,10", false, "", L""},  // unterminated
        {L"file='arrows.png' source='0,0,50'", false, "", L""},
        {L"file='arrows.png' source='0,0,x,10'", false, "", L""},
        {L"file='arrows.png' source='50,0,0,10'", false, "", L""},
        {L"source=", false, "", L""},
        {L"source", false, "", L""},
    };
    for (const Case& c : cases) {
        RECT source{};
        int start = -1, end = -1;
        bool found = CComboBoxUI::FindArrowSource(c.image, source, start, end);
        ASSERT_EQ(c.found, found) << c.image;
        if (!found) continue;
        EXPECT_EQ(c.source, text(source)) << c.image;
        EXPECT_EQ(0, wcsncmp(c.image + start, L"source", 6)) << c.image;
        EXPECT_STREQ(c.rest, c.image + end) << c.image;
    }
}

namespace {

class PaintedCombo : public ::testing::Test {
protected:
    void SetUp() override { CWindowManagerUI::SetResourcePath(L"fixtures"); }
    void TearDown() override { CWindowManagerUI::Term(); }
};

}  // namespace

TEST_F(PaintedCombo, ArrowShowsItsFiveStates)
{
    struct Case {
        const wchar_t* state;
        void (*apply)(CComboUI*);
        uint32_t rgb;
    } cases[] = {
        {L"normal", [](CComboUI*) {}, 0xFF0000},
        {L"hot",
            [](CComboUI* c) {
                sendEvent(c, UIEVENT_MOUSEENTER, POINT{10, 10});
            },
            0x00FF00},
        {L"pushed",
            [](CComboUI* c) {
                sendEvent(c, UIEVENT_MOUSEENTER, POINT{10, 10});
                sendEvent(c, UIEVENT_BUTTONDOWN, POINT{10, 10});  // no window: nothing opens
            },
            0x0000FF},
        {L"focused", [](CComboUI* c) { sendEvent(c, UIEVENT_SETFOCUS); }, 0xFFFF00},
        {L"disabled", [](CComboUI* c) { c->SetEnabled(false); }, 0x00FFFF},
    };
    for (const Case& c : cases) {
        Skin skin(L"<ComboBox name=\"combo\" bordersize=\"1\" arrowimage=\"file='arrows.png' source='0,0,50,10'\"/>",
            RECT{0, 0, 100, 20});
        auto* combo = static_cast<CComboBoxUI*>(skin[L"combo"]);
        c.apply(combo);
        MemoryCanvas canvas(100, 20);
        combo->Paint(canvas.context, RECT{0, 0, 100, 20});
        EXPECT_EQ(c.rgb, canvas.pixel(94, 10)) << c.state;
        EXPECT_EQ(c.rgb, canvas.pixel(89, 10)) << c.state;  // 10 wide, inside the 1-pixel border
        EXPECT_EQ(0xFFFFFFu, canvas.pixel(87, 10)) << c.state;
        EXPECT_EQ(0xFFFFFFu, canvas.pixel(99, 10)) << c.state;
        EXPECT_EQ(10, combo->GetArrowWidth()) << c.state;
    }
}

TEST_F(PaintedCombo, AMalformedArrowDrawsThePlainCombo)
{
    for (const wchar_t* arrow : {L"file='arrows.png'", L"file='arrows.png' source='0,0,4,10'"}) {
        std::wstring xml =
            L"<ComboBox name=\"combo\" normalimage=\"gray.png\" arrowimage=\"" + std::wstring(arrow) + L"\"/>";
        Skin skin(xml.c_str(), RECT{0, 0, 100, 20});
        auto* combo = static_cast<CComboBoxUI*>(skin[L"combo"]);
        MemoryCanvas canvas(100, 20);
        combo->Paint(canvas.context, RECT{0, 0, 100, 20});
        EXPECT_EQ(0x808080u, canvas.pixel(95, 10)) << arrow;
        EXPECT_EQ(0, combo->GetArrowWidth()) << arrow;
    }
}
