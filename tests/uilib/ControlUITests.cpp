#include "ControlUI.h"
#include "MemoryCanvas.h"

#include <gtest/gtest.h>

using namespace SkinUI;

namespace {

struct Tree {
    CControlUI parent;
    CControlUI child;
    Tree()
    {
        child.SetManager(nullptr, &parent, false);
        parent.SetPos(RECT{0, 0, 200, 100});
    }
};

}  // namespace

TEST(ControlUI, AttributesSetGeometryColoursAndText)
{
    CControlUI c;
    c.ApplyAttributeList(
        L"pos=\"10,20,110,70\" padding=\"1,2,3,4\" bkcolor=\"#FF112233\" bkcolor2=\"FF445566\" "
        L"bordercolor=\"#FF0000FF\" bordersize=\"2\" name=\"box\" text=\"hi\" tooltip=\"one<n>two\" "
        L"enabled=\"false\" minwidth=\"5\" maxheight=\"80\" shortcut=\"K\" userdata=\"u\" borderround=\"4,6\"");
    EXPECT_EQ(10, c.GetFixedOrigin().cx);
    EXPECT_EQ(20, c.GetFixedOrigin().cy);
    EXPECT_EQ(100, c.GetFixedWidth());
    EXPECT_EQ(50, c.GetFixedHeight());
    EXPECT_EQ(4, c.GetPadding().bottom);
    EXPECT_EQ(0xFF112233u, c.GetBkColor());
    EXPECT_EQ(0xFF445566u, c.GetBkColor2());
    EXPECT_EQ(0xFF0000FFu, c.GetBorderColor());
    EXPECT_EQ(2, c.GetBorderSize());
    EXPECT_STREQ(L"box", c.GetName());
    EXPECT_STREQ(L"hi", c.GetText());
    EXPECT_STREQ(L"one\r\ntwo", c.GetToolTip());
    EXPECT_FALSE(c.IsEnabled());
    EXPECT_EQ(5, c.GetMinWidth());
    EXPECT_EQ(80, c.GetMaxHeight());
    EXPECT_EQ(L'K', c.GetShortcut());
    EXPECT_STREQ(L"u", c.GetUserData());
    EXPECT_EQ(6, c.GetBorderRound().cy);
}

TEST(ControlUI, ShortAndMalformedValues)
{
    struct Case {
        const wchar_t* pos;
        long x, y, cx, cy;
    } cases[] = {
        {L"10,20", 10, 20, 0, 0},  // missing fields stay 0, nothing read past the end
        {L"", 0, 0, 0, 0},
        {L"5", 5, 0, 0, 0},
        {L"-50,10,-10,40", -10, 10, 40, 30},
        {L"1,2,3,4,5,6", 1, 2, 2, 2},
        {L"a,b,c,d", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CControlUI control;
        control.SetAttribute(L"pos", c.pos);
        EXPECT_EQ(c.x, control.GetFixedOrigin().cx) << c.pos;
        EXPECT_EQ(c.y, control.GetFixedOrigin().cy) << c.pos;
        EXPECT_EQ(c.cx, control.GetFixedWidth()) << c.pos;
        EXPECT_EQ(c.cy, control.GetFixedHeight()) << c.pos;
    }
    struct Colour {
        const wchar_t* text;
        DWORD value;
    } colours[] = {{L"#FFFF0000", 0xFFFF0000}, {L"FF00FF00", 0xFF00FF00}, {L"  #80123456", 0x80123456}, {L"#", 0},
        {L"", 0}, {L"#FFFFFFFFFF", 0xFFFFFFFF}, {L"zz", 0}};
    for (const Colour& c : colours) EXPECT_EQ(c.value, AttributeValue::ParseColor(c.text)) << c.text;

    CControlUI control;
    control.SetMinWidth(10);
    control.SetMinWidth(-1);
    EXPECT_EQ(10, control.GetMinWidth());
    control.SetFixedWidth(-5);
    EXPECT_EQ(0, control.GetFixedWidth());
    // A missing quote stops the list; earlier pairs stay applied.
    control.ApplyAttributeList(L"name=\"a\" text=\"b");
    EXPECT_STREQ(L"a", control.GetName());
    EXPECT_STREQ(L"", control.GetText());
    control.ApplyAttributeList(L"text=\"b  width=\"7\"");  // the value runs quote to quote
    EXPECT_STREQ(L"b  width=", control.GetText());
    EXPECT_EQ(0, control.GetFixedWidth());
    control.SetText(L"");
    control.ApplyAttributeList(L"name=\"c\"  text=\"d\"");  // two blanks end the list
    EXPECT_STREQ(L"c", control.GetName());
    EXPECT_STREQ(L"", control.GetText());
}

TEST(ControlUI, FloatingControlsAnchorToTheParent)
{
    Tree tree;
    CWindowManagerUI manager;
    tree.child.SetManager(&manager, &tree.parent, false);
    tree.child.SetAttribute(L"float", L"true");
    tree.child.SetAttribute(L"pos", L"-50,10,-10,40");
    EXPECT_EQ(-10, tree.child.GetFixedOrigin().cx);
    EXPECT_EQ(40, tree.child.GetFixedWidth());
    tree.child.SetPos(RECT{150, 10, 190, 40});
    EXPECT_EQ(-10, tree.child.GetFixedOrigin().cx);  // right - parent right
    EXPECT_EQ(10, tree.child.GetFixedOrigin().cy);
    tree.child.SetManager(nullptr, nullptr, false);
}

TEST(ControlUI, PaintsBackgroundsAndBorders)
{
    struct Case {
        const wchar_t* attributes;
        int x, y;
        uint32_t rgb;
    } cases[] = {
        {L"bkcolor=\"#FF00FF00\"", 50, 50, 0x00FF00},
        {L"bordercolor=\"#FF0000FF\" bordersize=\"2\"", 1, 50, 0x0000FF},
        {L"bordercolor=\"#FF0000FF\" bordersize=\"2\"", 2, 50, 0xFFFFFF},
        {L"bordercolor=\"#FF0000FF\" bordersize=\"0,0,0,1\"", 50, 99, 0x0000FF},
        {L"bordercolor=\"#FF0000FF\" bordersize=\"0,0,0,1\"", 0, 50, 0xFFFFFF},
        {L"bordercolor=\"#FF0000FF\" bordersize=\"0,0,0,1\"", 50, 0, 0xFFFFFF},
        {L"bkcolor=\"#FFFF0000\" bkcolor2=\"#FF0000FF\"", 50, 1, 0xFE0000},
        {L"bkimage=\"file='missing.png'\" bkcolor=\"#FF00FF00\"", 50, 50, 0x00FF00},
    };
    CWindowManagerUI::SetResourcePath(L"fixtures");
    for (const Case& c : cases) {
        MemoryCanvas canvas(100, 100);
        CWindowManagerUI manager;
        CControlUI control;
        control.SetManager(&manager, nullptr, false);
        control.ApplyAttributeList(c.attributes);
        control.SetPos(RECT{0, 0, 100, 100});
        control.Paint(canvas.context, RECT{0, 0, 100, 100});
        uint32_t got = canvas.pixel(c.x, c.y);
        if (c.rgb == 0xFE0000)
            EXPECT_GT((got >> 16) & 0xFF, 200u) << c.attributes;
        else
            EXPECT_EQ(c.rgb, got) << c.attributes << " @" << c.x << "," << c.y;
        control.SetManager(nullptr, nullptr, false);
    }
    CWindowManagerUI::Term();
}

TEST(ControlUI, UnloadableBackgroundImageIsClearedAfterOneTry)
{
    CWindowManagerUI::SetResourcePath(L"fixtures");
    MemoryCanvas canvas(20, 20);
    CWindowManagerUI manager;
    CControlUI control;
    control.SetManager(&manager, nullptr, false);
    control.SetBkImage(L"nothere.png");
    control.SetPos(RECT{0, 0, 20, 20});
    control.Paint(canvas.context, RECT{0, 0, 20, 20});
    EXPECT_TRUE(control.GetBkImage().IsEmpty());
    control.SetBkImage(L"red.png");
    control.Paint(canvas.context, RECT{0, 0, 20, 20});
    EXPECT_STREQ(L"red.png", control.GetBkImage());
    EXPECT_EQ(0xFF0000u, canvas.pixel(10, 10));
    control.SetManager(nullptr, nullptr, false);
    CWindowManagerUI::Term();
}

TEST(ControlUI, TranslucentBackgroundFillsTheWholeControlOnPartialPaint)
{
    MemoryCanvas canvas(100, 100);
    CWindowManagerUI manager;
    CControlUI control;
    control.SetManager(&manager, nullptr, false);
    control.SetBkColor(0x800000FF);
    control.SetPos(RECT{0, 0, 100, 100});
    control.Paint(canvas.context, RECT{0, 0, 10, 10});
    EXPECT_NE(0xFFFFFFu, canvas.pixel(90, 90));
    CControlUI opaque;
    opaque.SetManager(&manager, nullptr, false);
    opaque.SetBkColor(0xFF0000FF);
    opaque.SetPos(RECT{0, 0, 100, 100});
    canvas.fill(0xFFFFFF);
    opaque.Paint(canvas.context, RECT{0, 0, 10, 10});
    EXPECT_EQ(0xFFFFFFu, canvas.pixel(90, 90));
    EXPECT_EQ(0x0000FFu, canvas.pixel(5, 5));
    control.SetManager(nullptr, nullptr, false);
    opaque.SetManager(nullptr, nullptr, false);
}

TEST(ControlUI, DelegatesAndEventSources)
{
    struct Counter {
        int calls = 0;
        bool answer = true;
        bool On(void*)
        {
            ++calls;
            return answer;
        }
    } a, b;
    CEventSourceUI source;
    source += MakeDelegate(&a, &Counter::On);
    source += MakeDelegate(&a, &Counter::On);  // an equal delegate is not added twice
    source += MakeDelegate(&b, &Counter::On);
    EXPECT_EQ(2, source.GetCount());
    EXPECT_TRUE(source(nullptr));
    a.answer = false;
    EXPECT_FALSE(source(nullptr));
    EXPECT_EQ(2, a.calls);
    EXPECT_EQ(1, b.calls);  // firing stopped at a
    source -= MakeDelegate(&a, &Counter::On);
    EXPECT_TRUE(source(nullptr));
    EXPECT_EQ(2, b.calls);
}

TEST(WindowManagerResources, FontsImagesDefaultsGroupsAndNames)
{
    CWindowManagerUI manager;
    HFONT big = manager.AddFont(L"Tahoma", 14, false, false, false);
    HFONT small = manager.AddFont(L"Tahoma", 12, true, false, false);
    ASSERT_NE(nullptr, big);
    EXPECT_EQ(big, manager.GetFont(0));
    EXPECT_EQ(small, manager.GetFont(1));
    EXPECT_EQ(manager.GetDefaultFontInfo()->hFont, manager.GetFont(7));
    EXPECT_EQ(small, manager.FindFont(L"Tahoma", 12, true, false, false));
    EXPECT_EQ(nullptr, manager.FindFont(L"Tahoma", 12, false, false, false));
    EXPECT_EQ(12, manager.GetFontInfo(small)->iSize);
    manager.SetDefaultFont(L"Tahoma", 14, false, false, false);
    EXPECT_EQ(14, manager.GetDefaultFontInfo()->iSize);

    CWindowManagerUI child;
    EXPECT_TRUE(child.SetParentManager(&manager));
    EXPECT_FALSE(manager.SetParentManager(&child));  // no cycles
    EXPECT_EQ(small, child.FindFont(L"Tahoma", 12, true, false, false));
    manager.SetDefaultFontColor(0xFF112233);
    EXPECT_EQ(0xFF112233u, child.GetDefaultFontColor());

    manager.AddDefaultAttributeList(L"Button", L"width=\"10\"");
    manager.AddDefaultAttributeList(L"Button", L"width=\"20\"");
    EXPECT_STREQ(L"width=\"10\"", manager.GetDefaultAttributeList(L"Button"));
    EXPECT_STREQ(L"width=\"10\"", child.GetDefaultAttributeList(L"Button"));
    EXPECT_EQ(nullptr, manager.GetDefaultAttributeList(L"Label"));
    child.SetParentManager(nullptr);

    CControlUI a, b;
    EXPECT_TRUE(manager.AddOptionGroup(L"g", &a));
    EXPECT_FALSE(manager.AddOptionGroup(L"g", &a));
    EXPECT_TRUE(manager.AddOptionGroup(L"g", &b));
    EXPECT_EQ(2, manager.GetOptionGroup(L"g")->GetSize());
    manager.RemoveOptionGroup(L"g", &a);
    manager.RemoveOptionGroup(L"g", &b);
    EXPECT_EQ(nullptr, manager.GetOptionGroup(L"g"));

    CWindowManagerUI::SetResourcePath(L"fixtures");
    EXPECT_NE(nullptr, manager.AddImage(L"red.png"));
    EXPECT_EQ(nullptr, manager.AddImage(L"red.png"));  // already present
    EXPECT_EQ(nullptr, manager.AddImage(L"nothere.png"));
    EXPECT_EQ(nullptr, manager.AddImage(L"red.png", L"PNG"));  // a typed name must be a number
    EXPECT_NE(nullptr, manager.GetImageEx(L"red.png"));
    CWindowManagerUI::Term();
}

TEST(WindowManagerResources, ProcessWideSettings)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* stored;
    } cases[] = {{L"skins", L"skins\\"}, {L"skins\\", L"skins\\"}, {L"skins/", L"skins/"}, {L"", L""}};
    for (const Case& c : cases) {
        CWindowManagerUI::SetResourcePath(c.path);
        EXPECT_STREQ(c.stored, CWindowManagerUI::GetResourcePath());
    }
    HANDLE file = CreateFileW(L"fixtures\\skin.zip", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    static char first[4096], second[16];
    DWORD got = 0;
    ReadFile(file, first, sizeof(first), &got, nullptr);
    CloseHandle(file);
    CWindowManagerUI::SetResourceZipBuffer(first, got);
    HZIP kept = CWindowManagerUI::GetZipArchive();
    EXPECT_STREQ(L"membuffer", CWindowManagerUI::GetResourceZip());
    EXPECT_TRUE(CWindowManagerUI::IsZipCached());
    CWindowManagerUI::SetResourceZipBuffer(second, sizeof(second));  // the first buffer stays
    EXPECT_EQ(kept, CWindowManagerUI::GetZipArchive());
    CWindowManagerUI::Term();
    EXPECT_EQ(nullptr, CWindowManagerUI::GetZipArchive());
}
