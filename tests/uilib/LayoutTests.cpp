#include "Layouts.h"
#include "ScrollBarUI.h"
#include "SkinBuilder.h"
#include "SkinHarness.h"

#include <gtest/gtest.h>

#include <string>

using namespace SkinUI;

namespace {

using testui::Skin;
using testui::text;

struct Placement {
    const wchar_t* name;
    const char* rect;
};

void expectPlacements(const Skin& skin, std::initializer_list<Placement> placements)
{
    for (const Placement& p : placements) EXPECT_EQ(p.rect, text(skin.pos(p.name))) << p.name;
}

}  // namespace

TEST(Layouts, VerticalStacksFixedAndStretchingChildren)
{
    struct Case {
        const wchar_t* skin;
        std::initializer_list<Placement> placements;
    };
    const Case cases[] = {
        {L"<VerticalLayout><Control name=\"a\" height=\"100\"/><Control name=\"b\"/><Control name=\"c\"/>"
         L"</VerticalLayout>",
            {{L"a", "0,0,400,100"}, {L"b", "0,100,400,200"}, {L"c", "0,200,400,301"}}},
        {L"<VerticalLayout inset=\"10,20,30,40\" childpadding=\"5\"><Control name=\"a\" height=\"50\" width=\"80\"/>"
         L"<Control name=\"b\" padding=\"3,4,5,6\"/></VerticalLayout>",
            {{L"a", "10,20,90,70"}, {L"b", "13,79,365,261"}}},
        {L"<VerticalLayout><Control name=\"a\" minheight=\"200\"/><Control name=\"b\" maxheight=\"50\"/>"
         L"<Control name=\"c\" height=\"30\" maxwidth=\"100\"/></VerticalLayout>",
            {{L"a", "0,0,400,200"}, {L"b", "0,200,400,250"}, {L"c", "0,250,100,280"}}},
        {L"<VerticalLayout><Control name=\"a\" height=\"100\" visible=\"false\"/><Control "
         L"name=\"b\"/></VerticalLayout>",
            {{L"b", "0,0,400,301"}}},
    };
    for (const Case& c : cases) {
        Skin skin(c.skin);
        ASSERT_NE(nullptr, skin.root) << skin.builder.GetMarkup()->GetLastErrorMessage();
        expectPlacements(skin, c.placements);
    }
}

TEST(Layouts, HorizontalPlacesAlongX)
{
    Skin skin(L"<HorizontalLayout inset=\"2,2,2,2\" childpadding=\"4\"><Control name=\"a\" width=\"50\"/>"
              L"<Control name=\"b\" padding=\"1,1,1,1\"/><Control name=\"c\" width=\"60\" height=\"20\"/>"
              L"<Control name=\"d\" minwidth=\"500\" width=\"10\"/></HorizontalLayout>",
        RECT{0, 0, 300, 100});
    ASSERT_NE(nullptr, skin.root);
    // d is clamped up to its minimum of 500; b stretches over what is left (nothing).
    expectPlacements(skin, {{L"a", "2,2,52,98"}, {L"b", "57,3,58,97"}, {L"c", "62,2,122,22"}, {L"d", "126,2,626,98"}});
}

TEST(Layouts, FloatingChildrenAnchorToTheContainer)
{
    Skin skin(L"<VerticalLayout><Control name=\"f\" float=\"true\" pos=\"-10,5,-2,15\"/>"
              L"<Control name=\"g\" float=\"true\" pos=\"10,-20,30,-5\"/><Control name=\"n\"/></VerticalLayout>",
        RECT{100, 50, 300, 250});
    ASSERT_NE(nullptr, skin.root);
    expectPlacements(skin, {{L"f", "290,55,298,65"}, {L"g", "110,230,130,245"}, {L"n", "100,50,300,250"}});
}

TEST(Layouts, TabShowsOneChildAndFollowsRemovals)
{
    Skin skin(L"<TabLayout name=\"tabs\"><Control name=\"t0\"/><Control name=\"t1\" width=\"50\" height=\"40\"/>"
              L"<Control name=\"t2\"/></TabLayout>",
        RECT{0, 0, 200, 100});
    auto* tabs = static_cast<CTabLayoutUI*>(skin[L"tabs"]);
    ASSERT_NE(nullptr, tabs);
    EXPECT_EQ(0, tabs->GetCurSel());
    EXPECT_TRUE(skin[L"t0"]->IsVisible());
    EXPECT_FALSE(skin[L"t1"]->IsVisible());
    EXPECT_TRUE(tabs->SelectItem(1));
    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_FALSE(skin[L"t0"]->IsVisible());
    EXPECT_EQ("0,0,50,40", text(skin.pos(L"t1")));
    tabs->SetDeferredDelete(false);
    EXPECT_TRUE(tabs->Remove(skin[L"t1"]));  // the selected one: tab 0 again
    EXPECT_EQ(0, tabs->GetCurSel());
    EXPECT_TRUE(tabs->GetItemAt(0)->IsVisible());
    EXPECT_TRUE(tabs->SelectItem(1));
    EXPECT_TRUE(tabs->RemoveAt(0));  // before the selection: the index follows
    EXPECT_EQ(0, tabs->GetCurSel());
    EXPECT_TRUE(tabs->RemoveAt(0));
    EXPECT_EQ(-1, tabs->GetCurSel());
    EXPECT_FALSE(tabs->Remove(nullptr));
}

TEST(Layouts, TileArrangesAGrid)
{
    struct Case {
        const wchar_t* skin;
        RECT area;
        std::initializer_list<Placement> placements;
    };
    const Case cases[] = {
        // Row height is the tallest of the row (40); b is centred in its cell.
        {L"<TileLayout columns=\"3\"><Control name=\"a\" height=\"40\"/>"
         L"<Control name=\"b\" width=\"20\" height=\"20\"/>"
         L"<Control name=\"c\" height=\"30\"/><Control name=\"d\" height=\"10\"/></TileLayout>",
            RECT{0, 0, 300, 200},
            {{L"a", "0,0,100,40"}, {L"b", "140,10,160,30"}, {L"c", "200,5,300,35"}, {L"d", "0,40,100,50"}}},
        {L"<TileLayout itemsize=\"120,0\"><Control name=\"a\" height=\"10\"/><Control name=\"b\" height=\"10\"/>"
         L"<Control name=\"c\" height=\"10\"/></TileLayout>",
            RECT{0, 0, 250, 100}, {{L"a", "0,0,125,10"}, {L"b", "125,0,250,10"}, {L"c", "0,10,125,20"}}},
        // Each child of a row is measured within its own limits: a's maximum
        // does not cut b, so the row is b's 60 high.
        {L"<TileLayout columns=\"2\"><Control name=\"a\" height=\"10\" maxheight=\"20\"/>"
         L"<Control name=\"b\" height=\"60\"/><Control name=\"c\" height=\"10\"/></TileLayout>",
            RECT{0, 0, 200, 200}, {{L"a", "0,25,100,35"}, {L"b", "100,0,200,60"}, {L"c", "0,60,100,70"}}},
    };
    for (const Case& c : cases) {
        Skin skin(c.skin, c.area);
        ASSERT_NE(nullptr, skin.root) << skin.builder.GetMarkup()->GetLastErrorMessage();
        expectPlacements(skin, c.placements);
    }
}

TEST(Layouts, ContentTallerThanTheContainerShowsAndDrivesTheScrollBar)
{
    Skin skin(L"<VerticalLayout name=\"list\" vscrollbar=\"true\"><Control name=\"a\" height=\"200\"/>"
              L"<Control name=\"b\" height=\"200\"/></VerticalLayout>",
        RECT{0, 0, 200, 300});
    auto* list = static_cast<CContainerUI*>(skin[L"list"]);
    ASSERT_NE(nullptr, list);
    CScrollBarUI* bar = list->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(100, bar->GetScrollRange());
    EXPECT_EQ("0,0,184,200", text(skin.pos(L"a")));  // laid out again, narrower
    EXPECT_EQ("184,0,200,300", text(bar->GetPos()));

    TEventMsgUI wheel;
    wheel.Type = UIEVENT_SCROLLWHEEL;
    wheel.wParam = 1;
    list->HandleEvent(wheel);
    int line = skin.manager.GetDefaultFontInfo()->tm.tmHeight + 8;
    EXPECT_EQ(line, list->GetScrollPos().cy);
    EXPECT_EQ(-line, skin.pos(L"a").top);
    TEventMsgUI key;
    key.Type = UIEVENT_KEYDOWN;
    key.chKey = VK_NEXT;
    list->HandleEvent(key);
    EXPECT_EQ(100, list->GetScrollPos().cy);  // a page is 300, clamped to the range
    key.chKey = VK_HOME;
    list->HandleEvent(key);
    EXPECT_EQ(0, list->GetScrollPos().cy);
    EXPECT_EQ(0, skin.pos(L"a").top);

    // Content that fits hides the bar again.
    list->SetDeferredDelete(false);
    list->RemoveAt(1);
    list->SetPos(RECT{0, 0, 200, 300});
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_EQ("0,0,200,200", text(skin.pos(L"a")));
}

TEST(ScrollBar, GeometryAndClamping)
{
    CScrollBarUI bar;
    bar.SetPos(RECT{0, 0, 16, 200});
    bar.SetScrollRange(100);
    EXPECT_EQ("0,0,16,16", text(bar.GetButton1Rect()));
    EXPECT_EQ("0,184,16,200", text(bar.GetButton2Rect()));
    // Thumb: max(16, 200 * 168 / 300) = 112 long, at the top.
    EXPECT_EQ("0,16,16,128", text(bar.GetThumbRect()));
    bar.SetScrollPos(100);
    EXPECT_EQ("0,72,16,184", text(bar.GetThumbRect()));
    bar.SetScrollRange(40);  // shrinks below the position: the position follows
    EXPECT_EQ(40, bar.GetScrollPos());
    bar.SetScrollPos(-5);
    EXPECT_EQ(0, bar.GetScrollPos());
    bar.SetScrollRange(-3);
    EXPECT_EQ(0, bar.GetScrollRange());
    bar.SetPos(RECT{0, 0, 16, 40});  // too short for a thumb
    EXPECT_EQ("0,0,0,0", text(bar.GetThumbRect()));
    EXPECT_EQ("0,0,16,16", text(bar.GetButton1Rect()));
    CScrollBarUI horizontal;
    horizontal.SetHorizontal(true);
    EXPECT_EQ(16, horizontal.GetFixedHeight());
    EXPECT_EQ(0, horizontal.GetFixedWidth());
}

TEST(ScrollBar, ButtonsStepTheOwnerAndRepeatWhileHeld)
{
    Skin skin(L"<VerticalLayout name=\"list\" vscrollbar=\"true\"><Control height=\"500\"/></VerticalLayout>",
        RECT{0, 0, 200, 300});
    auto* list = static_cast<CContainerUI*>(skin[L"list"]);
    CScrollBarUI* bar = list->GetVerticalScrollBar();
    ASSERT_TRUE(bar && bar->IsVisible());
    int line = skin.manager.GetDefaultFontInfo()->tm.tmHeight + 8;
    RECT down = bar->GetButton2Rect();
    TEventMsgUI press;
    press.Type = UIEVENT_BUTTONDOWN;
    press.ptMouse = POINT{(down.left + down.right) / 2, (down.top + down.bottom) / 2};
    bar->HandleEvent(press);
    EXPECT_EQ(line, list->GetScrollPos().cy);  // one line at once
    TEventMsgUI tick;
    tick.Type = UIEVENT_TIMER;
    tick.wParam = CScrollBarUI::kRepeatTimerId;
    for (int i = 0; i < 5; ++i) bar->HandleEvent(tick);
    EXPECT_EQ(line, list->GetScrollPos().cy);  // held, but not yet repeating
    bar->HandleEvent(tick);
    EXPECT_EQ(2 * line, list->GetScrollPos().cy);
    TEventMsgUI release;
    release.Type = UIEVENT_BUTTONUP;
    bar->HandleEvent(release);
    bar->HandleEvent(tick);
    EXPECT_EQ(2 * line, list->GetScrollPos().cy);
    // A press on the track pages towards the point.
    RECT thumb = bar->GetThumbRect();
    press.ptMouse = POINT{(thumb.left + thumb.right) / 2, thumb.bottom + 2};
    bar->HandleEvent(press);
    bar->HandleEvent(release);
    EXPECT_EQ(200, list->GetScrollPos().cy);  // a page of 300, held within the range of 200
}

TEST(Layouts, DraggingTheSeparatorResizesTheLayout)
{
    Skin skin(L"<VerticalLayout><VerticalLayout name=\"top\" height=\"100\" sepheight=\"4\" sepimm=\"true\" "
              L"minheight=\"50\" maxheight=\"150\"/><Control name=\"rest\"/></VerticalLayout>",
        RECT{0, 0, 200, 300});
    auto* top = static_cast<CVerticalLayoutUI*>(skin[L"top"]);
    ASSERT_NE(nullptr, top);
    EXPECT_EQ("0,96,200,100", text(top->GetThumbRect()));
    EXPECT_EQ(static_cast<UINT>(UIFLAG_SETCURSOR), top->GetInputFlags());
    auto send = [&](int type, int y) {
        TEventMsgUI event;
        event.Type = type;
        event.ptMouse = POINT{100, y};
        top->HandleEvent(event);
    };
    struct Step {
        int type, y, height;
    } steps[] = {
        {UIEVENT_BUTTONDOWN, 98, 100}, {UIEVENT_MOUSEMOVE, 128, 128},
        {UIEVENT_MOUSEMOVE, 400, 150},                             // held at the maximum
        {UIEVENT_MOUSEMOVE, 390, 150},                             // moving back, still below the edge
        {UIEVENT_MOUSEMOVE, 140, 140},                             // the edge follows as soon as the cursor passes it
        {UIEVENT_MOUSEMOVE, 20, 50},                               // held at the minimum
        {UIEVENT_MOUSEMOVE, 10, 50},                               // further past it: nothing changes
        {UIEVENT_BUTTONUP, 10, 50}, {UIEVENT_MOUSEMOVE, 120, 50},  // no longer dragging
    };
    for (const Step& step : steps) {
        send(step.type, step.y);
        EXPECT_EQ(step.height, top->GetFixedHeight()) << step.type << "@" << step.y;
    }
    skin.root->SetPos(RECT{0, 0, 200, 300});
    EXPECT_EQ("0,50,200,300", text(skin.pos(L"rest")));
}

namespace {

class CountingCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* tag) override
    {
        asked += std::wstring(tag) + L";";
        if (wcscmp(tag, L"Special") == 0) return new CContainerUI;
        return nullptr;
    }
    std::wstring asked;
};

}  // namespace

TEST(SkinBuilder, ResourcesDefaultsUnknownTagsAndIncludes)
{
    CountingCallback callback;
    Skin skin(
        L"<Window size=\"300,200\" defaultfontcolor=\"#FF112233\">"
        L"<Font name=\"Tahoma\" size=\"14\" default=\"true\"/><Font name=\"Tahoma\" size=\"12\"/><Font size=\"9\"/>"
        L"<Default name=\"Control\" value=\"height=&quot;33&quot; width=&quot;44&quot;\"/>"
        L"<VerticalLayout name=\"top\">"
        L"<Control name=\"withdefault\"/><Control name=\"override\" height=\"10\"/>"
        L"<Unheard name=\"later\"><Control name=\"lost\"/></Unheard>"
        L"<Special name=\"special\"><Control name=\"inside\"/></Special>"
        L"<Include source=\"&lt;Window&gt;&lt;Control name=&quot;inc&quot;/&gt;&lt;/Window&gt;\" count=\"3\"/>"
        L"</VerticalLayout></Window>",
        RECT{0, 0, 300, 200}, &callback);
    ASSERT_NE(nullptr, skin.root);
    EXPECT_STREQ(L"top", skin.root->GetName());
    EXPECT_EQ(2u, skin.manager.GetCustomFontCount());  // a font without a name is ignored
    EXPECT_EQ(14, skin.manager.GetFontInfo(0)->iSize);
    EXPECT_EQ(12, skin.manager.GetFontInfo(1)->iSize);
    EXPECT_EQ(14, skin.manager.GetDefaultFontInfo()->iSize);
    // Without a window the window attributes are left alone.
    EXPECT_EQ(0, skin.manager.GetInitSize().cx);
    EXPECT_EQ(0xFF000000u, skin.manager.GetDefaultFontColor());
    EXPECT_EQ(33, skin[L"withdefault"]->GetFixedHeight());
    EXPECT_EQ(44, skin[L"withdefault"]->GetFixedWidth());
    EXPECT_EQ(10, skin[L"override"]->GetFixedHeight());
    EXPECT_EQ(std::wstring(L"Unheard;Special;"), callback.asked);
    EXPECT_EQ(nullptr, skin[L"later"]);
    EXPECT_EQ(nullptr, skin[L"lost"]);  // skipped with its children
    ASSERT_NE(nullptr, skin[L"inside"]);
    EXPECT_EQ(skin[L"special"], skin[L"inside"]->GetParent());
    auto* top = static_cast<CContainerUI*>(skin.root);
    ASSERT_EQ(6, top->GetCount());  // two controls, special and three included ones
    EXPECT_STREQ(L"inc", top->GetItemAt(5)->GetName());
}

TEST(SkinBuilder, RefusesWhatItCannotBuild)
{
    CWindowManagerUI manager;
    struct Case {
        const wchar_t* skin;
    } cases[] = {
        {L"<Window><Control name=\"x\"></Window>"},  // malformed
        {L"<Window/>"},                              // nothing to build
        {L"<Window><Unheard/></Window>"},            // only unknown tags
    };
    for (const Case& c : cases) {
        CSkinBuilder builder;
        CControlUI* root = builder.Create(c.skin, nullptr, nullptr, &manager);
        EXPECT_EQ(nullptr, root) << c.skin;
        delete root;
    }
    // A skin that includes itself stops at the nesting limit.
    CWindowManagerUI::SetResourcePath(L"fixtures\\skinfolder");
    HANDLE file = CreateFileW(L"fixtures\\skinfolder\\self.xml", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char self[] = "<Window><VerticalLayout><Include source=\"self.xml\"/><Control/></VerticalLayout></Window>";
    DWORD written = 0;
    WriteFile(file, self, sizeof(self) - 1, &written, nullptr);
    CloseHandle(file);
    CSkinBuilder builder;
    CControlUI* root = builder.Create(L"self.xml", nullptr, nullptr, &manager);
    ASSERT_NE(nullptr, root);
    int depth = 0;
    for (CControlUI* c = root; c; ++depth) {
        auto* container = static_cast<CContainerUI*>(c->GetInterfaceByName(L"Container"));
        c = container && container->GetCount() > 1 ? container->GetItemAt(0) : nullptr;
    }
    EXPECT_EQ(CSkinBuilder::kMaxNesting, depth);
    delete root;
    CWindowManagerUI::Term();
}

TEST(SkinBuilder, ASkinBeyondItsLimitsIsRefusedWithItsReason)
{
    CWindowManagerUI::SetResourcePath(L"fixtures");
    CWindowManagerUI::SetResourceZip(L"limits.zip", true);
    CWindowManagerUI manager;
    struct Case {
        const wchar_t* skin;
        const wchar_t* refusal;
    } cases[] = {
        {L"twice.xml", L"Skin loads too many files"},
        {L"crowd.xml", L"Skin makes too many controls"},
        {L"thousand.xml", nullptr},
    };
    for (const Case& c : cases) {
        CSkinBuilder builder;
        CControlUI* root = builder.Create(c.skin, nullptr, nullptr, &manager);
        EXPECT_EQ(c.refusal == nullptr, root != nullptr) << c.skin;
        EXPECT_STREQ(c.refusal, builder.GetRefusal()) << c.skin;
        delete root;
    }
    CWindowManagerUI::Term();
}

TEST(SkinBuilder, ChildLayoutFillsItselfFromItsFile)
{
    CWindowManagerUI::SetResourcePath(L"fixtures\\skinfolder");
    {
        Skin skin(L"<VerticalLayout><ChildLayout name=\"child\" xmlfile=\"child.xml\" height=\"50\"/>"
                  L"<ChildLayout name=\"missing\" xmlfile=\"nothere.xml\"/></VerticalLayout>",
            RECT{0, 0, 200, 100});
        auto* child = static_cast<CContainerUI*>(skin[L"child"]);
        ASSERT_NE(nullptr, child);
        ASSERT_EQ(1, child->GetCount());
        EXPECT_STREQ(L"inner", child->GetItemAt(0)->GetName());
        EXPECT_EQ("30,0,200,50", text(skin.pos(L"right")));
        EXPECT_EQ(0, static_cast<CContainerUI*>(skin[L"missing"])->GetCount());
    }
    CWindowManagerUI::Term();
}
