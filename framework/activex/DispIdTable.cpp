// The standard rows of the member-id table and the lookups over it.
#include "DispIdTable.h"

#include <cstdint>
#include <iterator>
#include <mutex>
#include <string>
#include <unordered_map>
#include <typeinfo>

namespace FB::ActiveX {

namespace {

// Event-method ids are written as the unsigned values the browser uses.
constexpr long ev(uint32_t id)
{
    return static_cast<long>(static_cast<int32_t>(id));
}

constexpr StandardDispId kStandardRows[] = {
    // Control, ambient and browser ids (the SDK's DISPID_ constants; "toString" takes -1).
    {"value", 0},
    {"toString", -1},
    {"propertyput", -3},
    {"newenum", -4},
    {"evaluate", -5},
    {"constructor", -6},
    {"destructor", -7},
    {"collect", -8},
    {"autosize", -500},
    {"backcolor", -501},
    {"backstyle", -502},
    {"bordercolor", -503},
    {"borderstyle", -504},
    {"borderwidth", -505},
    {"drawmode", -507},
    {"drawstyle", -508},
    {"drawwidth", -509},
    {"fillcolor", -510},
    {"fillstyle", -511},
    {"font", -512},
    {"forecolor", -513},
    {"enabled", -514},
    {"hwnd", -515},
    {"tabstop", -516},
    {"text", -517},
    {"caption", -518},
    {"bordervisible", -519},
    {"appearance", -520},
    {"mousepointer", -521},
    {"mouseicon", -522},
    {"picture", -523},
    {"valid", -524},
    {"readystate", -525},
    {"listindex", -526},
    {"selected", -527},
    {"list", -528},
    {"column", -529},
    {"listcount", -531},
    {"multiselect", -532},
    {"maxlength", -533},
    {"passwordchar", -534},
    {"scrollbars", -535},
    {"wordwrap", -536},
    {"multiline", -537},
    {"numberofrows", -538},
    {"numberofcolumns", -539},
    {"displaystyle", -540},
    {"groupname", -541},
    {"imemode", -542},
    {"accelerator", -543},
    {"enterkeybehavior", -544},
    {"tabkeybehavior", -545},
    {"seltext", -546},
    {"selstart", -547},
    {"sellength", -548},
    {"refresh", -550},
    {"doclick", -551},
    {"aboutbox", -552},
    {"additem", -553},
    {"clear", -554},
    {"removeitem", -555},
    {"click", -600},
    {"dblclick", -601},
    {"keydown", -602},
    {"keypress", -603},
    {"keyup", -604},
    {"mousedown", -605},
    {"mousemove", -606},
    {"mouseup", -607},
    {"errorevent", -608},
    {"readystatechange", -609},
    {"click_value", -610},
    {"righttoleft", -611},
    {"toptobottom", -612},
    {"this", -613},
    {"ambient_backcolor", -701},
    {"ambient_displayname", -702},
    {"ambient_font", -703},
    {"ambient_forecolor", -704},
    {"ambient_localeid", -705},
    {"ambient_messagereflect", -706},
    {"ambient_scaleunits", -707},
    {"ambient_textalign", -708},
    {"ambient_usermode", -709},
    {"ambient_uidead", -710},
    {"ambient_showgrabhandles", -711},
    {"ambient_showhatching", -712},
    {"ambient_displayasdefault", -713},
    {"ambient_supportsmnemonics", -714},
    {"ambient_autoclip", -715},
    {"ambient_appearance", -716},
    {"ambient_codepage", -725},
    {"ambient_palette", -726},
    {"ambient_charsetidforvalue", -727},
    {"ambient_transferpriority", -728},
    {"ambient_righttoleft", -732},
    {"ambient_toptobottom", -733},
    {"name", -800},
    {"delete", -801},
    {"object", -802},
    {"parent", -803},
    {"windowobject", -5500},
    {"locationobject", -5506},
    {"historyobject", -5507},
    {"navigatorobject", -5508},
    {"securityctx", -5511},
    {"ambient_dlcontrol", -5512},
    {"ambient_useragent", -5513},
    {"securitydomain", -5514},
    // The browser's event-method ids (DISPID_EVMETH_), as unsigned 32-bit values.
    {"onabort", ev(0x8001178Cu)},
    {"onactivate", ev(0x800117C7u)},
    {"onafterprint", ev(0x800117B3u)},
    {"onafterupdate", ev(0x80011786u)},
    {"onalert", ev(0x800117D8u)},
    {"onattachevent", ev(0x800117B6u)},
    {"onbeforeactivate", ev(0x800117CAu)},
    {"onbeforecopy", ev(0x800117ABu)},
    {"onbeforecut", ev(0x800117AAu)},
    {"onbeforedeactivate", ev(0x800117BDu)},
    {"onbeforedragover", ev(0x80011787u)},
    {"onbeforedroporpaste", ev(0x80011788u)},
    {"onbeforeeditfocus", ev(0x800117B5u)},
    {"onbeforepaste", ev(0x800117ACu)},
    {"onbeforeprint", ev(0x800117B2u)},
    {"onbeforeunload", ev(0x80011797u)},
    {"onbeforeupdate", ev(0x80011785u)},
    {"onblur", ev(0x8001177Fu)},
    {"onbounce", ev(0x80011784u)},
    {"oncellchange", ev(0x800117B0u)},
    {"onchange", ev(0x8001178Eu)},
    {"onchangeblur", ev(0x8001179Du)},
    {"onchangefocus", ev(0x8001179Cu)},
    {"onclick", ev(0x80011778u)},
    {"oncontentready", ev(0x800117B8u)},
    {"oncontextmenu", ev(0x800117B1u)},
    {"oncontrolselect", ev(0x800117BFu)},
    {"oncopy", ev(0x800117A8u)},
    {"oncut", ev(0x800117A7u)},
    {"ondataavailable", ev(0x80011799u)},
    {"ondatasetchanged", ev(0x80011798u)},
    {"ondatasetcomplete", ev(0x8001179Au)},
    {"ondblclick", ev(0x80011779u)},
    {"ondeactivate", ev(0x800117C8u)},
    {"ondommutation", ev(0x800117DFu)},
    {"ondrag", ev(0x800117A1u)},
    {"ondragend", ev(0x800117A2u)},
    {"ondragenter", ev(0x800117A3u)},
    {"ondragleave", ev(0x800117A5u)},
    {"ondragover", ev(0x800117A4u)},
    {"ondragstart", ev(0x80011793u)},
    {"ondrop", ev(0x800117A6u)},
    {"onerror", ev(0x8001178Du)},
    {"onerrorupdate", ev(0x80011796u)},
    {"onfilter", ev(0x8001179Bu)},
    {"onfinish", ev(0x8001178Au)},
    {"onfocus", ev(0x8001177Eu)},
    {"onfocusin", ev(0x800117CBu)},
    {"onfocusout", ev(0x800117CCu)},
    {"onhashchange", ev(0x800117DDu)},
    {"onhelp", ev(0x8001177Du)},
    {"onhide", ev(0x800117D7u)},
    {"onkeydown", ev(0x80011775u)},
    {"onkeypress", ev(0x80011777u)},
    {"onkeyup", ev(0x80011776u)},
    {"onlayout", ev(0x80011792u)},
    {"onlayoutcomplete", ev(0x800117B9u)},
    {"onlinkedoverflow", ev(0x800117BBu)},
    {"onload", ev(0x80011790u)},
    {"onlosecapture", ev(0x8001179Eu)},
    {"onmessage", ev(0x800117DEu)},
    {"onmousedown", ev(0x80011772u)},
    {"onmouseenter", ev(0x800117C5u)},
    {"onmousehover", ev(0x800117B7u)},
    {"onmouseleave", ev(0x800117C6u)},
    {"onmousemove", ev(0x80011774u)},
    {"onmouseout", ev(0x80011771u)},
    {"onmouseover", ev(0x80011770u)},
    {"onmouseup", ev(0x80011773u)},
    {"onmousewheel", ev(0x800117BCu)},
    {"onmove", ev(0x800117BEu)},
    {"onmoveend", ev(0x800117C2u)},
    {"onmovestart", ev(0x800117C1u)},
    {"onmultilayoutcleanup", ev(0x800117C9u)},
    {"onobjectcontentscrolled", ev(0x800117D3u)},
    {"onoffline", ev(0x800117DCu)},
    {"ononline", ev(0x800117DBu)},
    {"onpage", ev(0x800117BAu)},
    {"onpaste", ev(0x800117A9u)},
    {"onpersistload", ev(0x800117ADu)},
    {"onpersistsave", ev(0x800117A0u)},
    {"onpopupmenuend", ev(0x800117DAu)},
    {"onpopupmenustart", ev(0x800117D9u)},
    {"onpropertychange", ev(0x8001179Fu)},
    {"onreadystatechange", ev(0x80011789u)},
    {"onreset", ev(0x8001177Cu)},
    {"onresize", ev(0x80011794u)},
    {"onresizeend", ev(0x800117C4u)},
    {"onresizestart", ev(0x800117C3u)},
    {"onrowenter", ev(0x80011783u)},
    {"onrowexit", ev(0x80011782u)},
    {"onrowsdelete", ev(0x800117AEu)},
    {"onrowsinserted", ev(0x800117AFu)},
    {"onscroll", ev(0x8001178Fu)},
    {"onselect", ev(0x8001177Au)},
    {"onselectadd", ev(0x800117CEu)},
    {"onselectionchange", ev(0x800117C0u)},
    {"onselectremove", ev(0x800117CFu)},
    {"onselectstart", ev(0x80011795u)},
    {"onselectwithin", ev(0x800117D0u)},
    {"onshow", ev(0x800117D6u)},
    {"onstart", ev(0x8001178Bu)},
    {"onstop", ev(0x800117B4u)},
    {"onstorage", ev(0x800117D4u)},
    {"onstoragecommit", ev(0x800117D5u)},
    {"onsubmit", ev(0x8001177Bu)},
    {"onsystemscrollingend", ev(0x800117D2u)},
    {"onsystemscrollingstart", ev(0x800117D1u)},
    {"onunload", ev(0x80011791u)},
    {"onvaluechange", ev(0x800117CDu)},
    {"ontimeout", ev(0x800117E0u)},
    {"onwheel", ev(0x800117E1u)},
    {"onsvgload", ev(0x800117E2u)},
    {"onsvgunload", ev(0x800117E3u)},
    {"onsvgabort", ev(0x800117E4u)},
    {"onsvgerror", ev(0x800117E5u)},
    {"onsvgresize", ev(0x800117E6u)},
    {"onsvgscroll", ev(0x800117E7u)},
    {"onsvgzoom", ev(0x800117E8u)},
    {"ononmsthumbnailclick", ev(0x800117E9u)},
    {"oncompositionstart", ev(0x800117EAu)},
    {"oncompositionupdate", ev(0x800117EBu)},
    {"oncompositionend", ev(0x800117ECu)},
    {"ondomattrmodified", ev(0x800117EDu)},
    {"ondomcontentloaded", ev(0x800117EEu)},
    {"oninput", ev(0x800117EFu)},
    {"ondomchardatamodified", ev(0x800117F0u)},
    {"ontextinput", ev(0x800117F1u)},
    {"ononmssitemodejumplistitemremoved", ev(0x800117F2u)},
    {"ondomnodeinserted", ev(0x800117F3u)},
    {"ondomnoderemoved", ev(0x800117F4u)},
    {"ondomsubtreemodified", ev(0x800117F5u)},
    {"oncanplay", ev(0x800117F6u)},
    {"oncanplaythrough", ev(0x800117F7u)},
    {"ondurationchange", ev(0x800117F8u)},
    {"onemptied", ev(0x800117F9u)},
    {"onended", ev(0x800117FAu)},
    {"onloadeddata", ev(0x800117FBu)},
    {"onloadedmetadata", ev(0x800117FCu)},
    {"onloadstart", ev(0x800117FDu)},
    {"onpause", ev(0x800117FEu)},
    {"onplay", ev(0x800117FFu)},
    {"onplaying", ev(0x80011800u)},
    {"onprogress", ev(0x80011801u)},
    {"onratechange", ev(0x80011802u)},
    {"onseeked", ev(0x80011803u)},
    {"onseeking", ev(0x80011804u)},
    {"onstalled", ev(0x80011805u)},
    {"onsuspend", ev(0x80011806u)},
    {"ontimeupdate", ev(0x80011807u)},
    {"onvolumechange", ev(0x80011808u)},
    {"onwaiting", ev(0x80011809u)},
};

static_assert(std::size(kStandardRows) == 261);

// Ids handed out for new names start above every standard id (all 0 or negative).
constexpr long kFirstFreeId = 100;

}  // namespace

std::span<const StandardDispId> standardDispIds()
{
    return kStandardRows;
}

TypeIDMap<long>& dispIdTable()
{
    // Filled on first use, before any object of the plug-in asks; cleared when
    // the module unloads.
    static TypeIDMap<long> table(kFirstFreeId);
    static const bool filled = [] {
        for (const StandardDispId& row : kStandardRows) table.setIdForValue(row.id, variant(row.name));
        return true;
    }();
    (void)filled;
    return table;
}

long dispIdForName(const variant& name)
{
    return dispIdTable().idForValue(name);
}

namespace {

// Wide names and their ids, as the table gave them; the table never drops nor
// renumbers a name, so an entry stays right.
struct WideNameIds {
    std::mutex lock;
    std::unordered_map<std::wstring, long> ids;
};

WideNameIds& wideNameIds()
{
    static WideNameIds index;
    return index;
}

}  // namespace

long dispIdForName(const std::wstring& name)
{
    WideNameIds& index = wideNameIds();
    {
        std::lock_guard<std::mutex> guard(index.lock);
        if (auto found = index.ids.find(name); found != index.ids.end()) return found->second;
    }
    const long id = dispIdTable().idForValue(variant(name));
    std::lock_guard<std::mutex> guard(index.lock);
    index.ids.emplace(name, id);
    return id;
}

bool isKnownDispId(long id)
{
    return dispIdTable().hasId(id);
}

std::wstring dispIdToName(long id)
{
    std::optional<variant> name = dispIdTable().valueForId(id);
    if (!name) throw bad_variant_cast(typeid(variant_detail::empty), typeid(std::wstring));
    return name->convertToWString();
}

}  // namespace FB::ActiveX
