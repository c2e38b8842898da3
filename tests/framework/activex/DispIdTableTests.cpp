// The member-id table: its standard rows, ids for new names, the refusal of
// duplicates and the agreement of the control rows with the system headers.
#include "DispIdTable.h"
#include "TypeNames.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <idispids.h>
#include <mshtmdid.h>
#include <olectl.h>
#include <oleauto.h>

#include <cstring>
#include <set>
#include <string>

using namespace FB::ActiveX;

namespace {

long idOf(const char* name)
{
    return dispIdForName(FB::variant(name));
}

constexpr long asSigned(uint32_t id)
{
    return static_cast<long>(static_cast<int32_t>(id));
}

TEST(DispIdTable, HoldsTheStandardRowsInOrder)
{
    auto rows = standardDispIds();
    ASSERT_EQ(rows.size(), 261u);
    std::set<long> ids;
    std::set<std::string> names;
    for (const auto& row : rows) {
        ids.insert(row.id);
        names.insert(row.name);
        EXPECT_EQ(idOf(row.name), row.id) << row.name;
        EXPECT_EQ(dispIdToName(row.id), std::wstring(row.name, row.name + strlen(row.name))) << row.name;
    }
    EXPECT_EQ(ids.size(), 261u);
    EXPECT_EQ(names.size(), 261u);

    const struct {
        const char* name;
        long id;
    } spots[] = {
        {"value", 0},
        {"toString", -1},
        {"this", -613},
        {"securitydomain", -5514},  // last of the control rows
        {"onabort", asSigned(0x8001178C)},
        {"onwaiting", asSigned(0x80011809)},  // last of the event rows
        {"ononmsthumbnailclick", asSigned(0x800117E9)},
        {"ononmssitemodejumplistitemremoved", asSigned(0x800117F2)},
        {"onclick", asSigned(0x80011778)},
    };
    for (const auto& spot : spots) EXPECT_EQ(idOf(spot.name), spot.id) << spot.name;
    EXPECT_STREQ(rows.front().name, "value");
    EXPECT_STREQ(rows[108].name, "securitydomain");
    EXPECT_STREQ(rows[109].name, "onabort");
    EXPECT_STREQ(rows.back().name, "onwaiting");
}

TEST(DispIdTable, NamesOfKnownIdsAndTheFailureForUnknownOnes)
{
    EXPECT_EQ(dispIdToName(-525), L"readystate");
    EXPECT_EQ(dispIdToName(0), L"value");
    EXPECT_EQ(dispIdToName(-1), L"toString");
    EXPECT_TRUE(isKnownDispId(-613));
    EXPECT_FALSE(isKnownDispId(-2));
    EXPECT_FALSE(isKnownDispId(99));
    EXPECT_THROW(dispIdToName(-2), FB::bad_variant_cast);
    try {
        dispIdToName(99);
        FAIL() << "an unknown id has a name";
    } catch (const FB::bad_variant_cast& e) {
        EXPECT_EQ(e.to(), FB::readableTypeName(typeid(std::wstring)));
        EXPECT_STREQ(e.what(), "bad cast");
    }
}

TEST(DispIdTable, NewWideNamesTakeFreshIdsFromOneHundredAndKeepThem)
{
    const long first = dispIdForName(FB::variant(L"firstNewName"));
    const long second = dispIdForName(FB::variant(L"secondNewName"));
    EXPECT_GE(first, 100);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(dispIdForName(FB::variant(L"firstNewName")), first);
    EXPECT_EQ(dispIdToName(second), L"secondNewName");
    EXPECT_TRUE(isKnownDispId(second));

    // The wide "value" is another value than the standard narrow row.
    const long wideValue = dispIdForName(FB::variant(L"value"));
    EXPECT_GE(wideValue, 100);
    EXPECT_EQ(idOf("value"), 0);
}

TEST(DispIdTable, WideNamesGetOneIdWhicheverWayTheyAreAsked)
{
    // Asked as a wide text first, then as a value holding it, and the other way round.
    const long byText = dispIdForName(std::wstring(L"askedAsTextFirst"));
    EXPECT_EQ(dispIdForName(FB::variant(L"askedAsTextFirst")), byText);
    EXPECT_EQ(dispIdForName(std::wstring(L"askedAsTextFirst")), byText);
    const long byValue = dispIdForName(FB::variant(L"askedAsValueFirst"));
    EXPECT_EQ(dispIdForName(std::wstring(L"askedAsValueFirst")), byValue);
    EXPECT_EQ(byValue, byText + 1);
    EXPECT_EQ(dispIdToName(byText), L"askedAsTextFirst");
    // A standard name asked as wide text is a new name, as its value is.
    EXPECT_EQ(dispIdForName(std::wstring(L"value")), dispIdForName(FB::variant(L"value")));
    EXPECT_NE(dispIdForName(std::wstring(L"readystate")), -525);
}

TEST(TypeIDMap, AllocatesFromItsFirstFreeIdAndRefusesDuplicates)
{
    FB::TypeIDMap<long> table(100);
    EXPECT_EQ(table.idForValue(FB::variant(L"a")), 100);
    EXPECT_EQ(table.idForValue(FB::variant(L"b")), 101);
    EXPECT_EQ(table.idForValue(FB::variant(L"a")), 100);
    table.setIdForValue(-5, FB::variant("five"));
    EXPECT_FALSE(table.hasId(5));

    for (auto [id, name] : {std::pair<long, const char*>{-5, "other"}, {-6, "five"}, {100, "x"}}) {
        try {
            table.setIdForValue(id, FB::variant(name));
            FAIL() << "entered a duplicate " << id << " " << name;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "ID or value already defined");
        }
    }
    EXPECT_EQ(table.size(), 3u);
    EXPECT_FALSE(table.hasId(-6));
    EXPECT_EQ(table.valueForId(-5)->convertToString(), "five");
    EXPECT_EQ(table.idForValue(FB::variant("other")), 102);  // still free, so newly allocated
}

// The control rows agree with the constants of the system headers that have
// them. DISPID_OBJECT names another id there (the document object model's).
TEST(DispIdTable, ControlRowsAgreeWithTheSystemHeaders)
{
    const struct {
        const char* name;
        long sdk;
    } rows[] = {
        {"value", DISPID_VALUE},
        {"propertyput", DISPID_PROPERTYPUT},
        {"newenum", DISPID_NEWENUM},
        {"evaluate", DISPID_EVALUATE},
        {"constructor", DISPID_CONSTRUCTOR},
        {"destructor", DISPID_DESTRUCTOR},
        {"collect", DISPID_COLLECT},
        {"autosize", DISPID_AUTOSIZE},
        {"backcolor", DISPID_BACKCOLOR},
        {"backstyle", DISPID_BACKSTYLE},
        {"bordercolor", DISPID_BORDERCOLOR},
        {"borderstyle", DISPID_BORDERSTYLE},
        {"borderwidth", DISPID_BORDERWIDTH},
        {"drawmode", DISPID_DRAWMODE},
        {"drawstyle", DISPID_DRAWSTYLE},
        {"drawwidth", DISPID_DRAWWIDTH},
        {"fillcolor", DISPID_FILLCOLOR},
        {"fillstyle", DISPID_FILLSTYLE},
        {"font", DISPID_FONT},
        {"forecolor", DISPID_FORECOLOR},
        {"enabled", DISPID_ENABLED},
        {"hwnd", DISPID_HWND},
        {"tabstop", DISPID_TABSTOP},
        {"text", DISPID_TEXT},
        {"caption", DISPID_CAPTION},
        {"bordervisible", DISPID_BORDERVISIBLE},
        {"appearance", DISPID_APPEARANCE},
        {"mousepointer", DISPID_MOUSEPOINTER},
        {"mouseicon", DISPID_MOUSEICON},
        {"picture", DISPID_PICTURE},
        {"valid", DISPID_VALID},
        {"readystate", DISPID_READYSTATE},
        {"listindex", DISPID_LISTINDEX},
        {"selected", DISPID_SELECTED},
        {"list", DISPID_LIST},
        {"column", DISPID_COLUMN},
        {"listcount", DISPID_LISTCOUNT},
        {"multiselect", DISPID_MULTISELECT},
        {"maxlength", DISPID_MAXLENGTH},
        {"passwordchar", DISPID_PASSWORDCHAR},
        {"scrollbars", DISPID_SCROLLBARS},
        {"wordwrap", DISPID_WORDWRAP},
        {"multiline", DISPID_MULTILINE},
        {"numberofrows", DISPID_NUMBEROFROWS},
        {"numberofcolumns", DISPID_NUMBEROFCOLUMNS},
        {"displaystyle", DISPID_DISPLAYSTYLE},
        {"groupname", DISPID_GROUPNAME},
        {"imemode", DISPID_IMEMODE},
        {"accelerator", DISPID_ACCELERATOR},
        {"enterkeybehavior", DISPID_ENTERKEYBEHAVIOR},
        {"tabkeybehavior", DISPID_TABKEYBEHAVIOR},
        {"seltext", DISPID_SELTEXT},
        {"selstart", DISPID_SELSTART},
        {"sellength", DISPID_SELLENGTH},
        {"refresh", DISPID_REFRESH},
        {"doclick", DISPID_DOCLICK},
        {"aboutbox", DISPID_ABOUTBOX},
        {"additem", DISPID_ADDITEM},
        {"clear", DISPID_CLEAR},
        {"removeitem", DISPID_REMOVEITEM},
        {"click", DISPID_CLICK},
        {"dblclick", DISPID_DBLCLICK},
        {"keydown", DISPID_KEYDOWN},
        {"keypress", DISPID_KEYPRESS},
        {"keyup", DISPID_KEYUP},
        {"mousedown", DISPID_MOUSEDOWN},
        {"mousemove", DISPID_MOUSEMOVE},
        {"mouseup", DISPID_MOUSEUP},
        {"errorevent", DISPID_ERROREVENT},
        {"readystatechange", DISPID_READYSTATECHANGE},
        {"click_value", DISPID_CLICK_VALUE},
        {"righttoleft", DISPID_RIGHTTOLEFT},
        {"toptobottom", DISPID_TOPTOBOTTOM},
        {"this", DISPID_THIS},
        {"ambient_backcolor", DISPID_AMBIENT_BACKCOLOR},
        {"ambient_displayname", DISPID_AMBIENT_DISPLAYNAME},
        {"ambient_font", DISPID_AMBIENT_FONT},
        {"ambient_forecolor", DISPID_AMBIENT_FORECOLOR},
        {"ambient_localeid", DISPID_AMBIENT_LOCALEID},
        {"ambient_messagereflect", DISPID_AMBIENT_MESSAGEREFLECT},
        {"ambient_scaleunits", DISPID_AMBIENT_SCALEUNITS},
        {"ambient_textalign", DISPID_AMBIENT_TEXTALIGN},
        {"ambient_usermode", DISPID_AMBIENT_USERMODE},
        {"ambient_uidead", DISPID_AMBIENT_UIDEAD},
        {"ambient_showgrabhandles", DISPID_AMBIENT_SHOWGRABHANDLES},
        {"ambient_showhatching", DISPID_AMBIENT_SHOWHATCHING},
        {"ambient_displayasdefault", DISPID_AMBIENT_DISPLAYASDEFAULT},
        {"ambient_supportsmnemonics", DISPID_AMBIENT_SUPPORTSMNEMONICS},
        {"ambient_autoclip", DISPID_AMBIENT_AUTOCLIP},
        {"ambient_appearance", DISPID_AMBIENT_APPEARANCE},
        {"ambient_codepage", DISPID_AMBIENT_CODEPAGE},
        {"ambient_palette", DISPID_AMBIENT_PALETTE},
        {"ambient_charsetidforvalue", DISPID_AMBIENT_CHARSET},
        {"ambient_transferpriority", DISPID_AMBIENT_TRANSFERPRIORITY},
        {"ambient_righttoleft", DISPID_AMBIENT_RIGHTTOLEFT},
        {"ambient_toptobottom", DISPID_AMBIENT_TOPTOBOTTOM},
        {"name", DISPID_Name},
        {"delete", DISPID_Delete},
        {"object", DISPID_Object},
        {"parent", DISPID_Parent},
        {"windowobject", DISPID_WINDOWOBJECT},
        {"locationobject", DISPID_LOCATIONOBJECT},
        {"historyobject", DISPID_HISTORYOBJECT},
        {"navigatorobject", DISPID_NAVIGATOROBJECT},
        {"securityctx", DISPID_SECURITYCTX},
        {"ambient_dlcontrol", DISPID_AMBIENT_DLCONTROL},
        {"ambient_useragent", DISPID_AMBIENT_USERAGENT},
        {"securitydomain", DISPID_SECURITYDOMAIN},
    };
    EXPECT_EQ(std::size(rows), 108u);  // every control row but "toString", which has no constant
    for (const auto& row : rows) EXPECT_EQ(idOf(row.name), row.sdk) << row.name;
    EXPECT_NE(idOf("object"), static_cast<long>(DISPID_OBJECT));
}

}  // namespace
