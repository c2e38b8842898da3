#include "SkinBuilder.h"

#include "AttributeTable.h"
#include "ActiveXUI.h"
#include "ButtonGifUI.h"
#include "ButtonUI.h"
#include "ComboUI.h"
#include "DateTimeUI.h"
#include "EditUI.h"
#include "FlashUI.h"
#include "Layouts.h"
#include "ListItemUI.h"
#include "ListUI.h"
#include "ProgressUI.h"
#include "RenderKit.h"
#include "RichEditUI.h"
#include "ScrollBarUI.h"
#include "TextUI.h"
#include "TreeViewUI.h"
#include "WebBrowserUI.h"

#include <string>

namespace SkinUI {

namespace {

// One skin build, from the outermost builder (or child layout) to its end:
// the builders of its includes and child layouts share its limits.
struct Build {
    int nesting = 0;
    int depth = 0;
    int loads = 0;
    int controls = 0;
    const wchar_t* refusal = nullptr;
};
Build g_build;

template <class Control>
CControlUI* make()
{
    return new Control;
}

bool isResourceId(const wchar_t* skin)
{
    return reinterpret_cast<ULONG_PTR>(skin) < 0x10000;
}

}  // namespace

CControlUI* CSkinBuilder::CreateControl(const wchar_t* tag)
{
    if (!tag) return nullptr;
    struct Entry {
        const wchar_t* tag;
        CControlUI* (*make)();
    };
    // One row per tag; a new control class adds its row here.
    static const Entry kTable[] = {
        {L"Control", make<CControlUI>},
        {L"Container", make<CContainerUI>},
        {L"Label", make<CLabelUI>},
        {L"Text", make<CTextUI>},
        {L"Button", make<CButtonUI>},
        {L"Option", make<COptionUI>},
        {L"CheckBox", make<CCheckBoxUI>},
        {L"Progress", make<CProgressUI>},
        {L"Slider", make<CSliderUI>},
        {L"RichEdit", make<CRichEditUI>},
        {L"Edit", make<CEditUI>},
        {L"DateTime", make<CDateTimeUI>},
        {L"GifButton", make<CButtonGifUI>},
        {L"ActiveX", make<CActiveXUI>},
        {L"WebBrowser", make<CWebBrowserUI>},
        {L"Flash", make<CFlashUI>},
        {L"VerticalLayout", make<CVerticalLayoutUI>},
        {L"HorizontalLayout", make<CHorizontalLayoutUI>},
        {L"TileLayout", make<CTileLayoutUI>},
        {L"TabLayout", make<CTabLayoutUI>},
        {L"ChildLayout", make<CChildLayoutUI>},
        {L"ScrollBar", make<CScrollBarUI>},
        {L"List", make<CListUI>},
        {L"ListHeader", make<CListHeaderUI>},
        {L"ListHeaderItem", make<CListHeaderItemUI>},
        {L"ListTextElement", make<CListTextElementUI>},
        {L"ListLabelElement", make<CListLabelElementUI>},
        {L"ListContainerElement", make<CListContainerElementUI>},
        {L"Combo", make<CComboUI>},
        {L"ComboBox", make<CComboBoxUI>},
        {L"TreeView", make<CTreeViewUI>},
    };
    for (const Entry& entry : kTable)
        if (wcscmp(entry.tag, tag) == 0) return entry.make();
    return nullptr;
}

CSkinBuilder::Nesting::Nesting() : m_outermost(g_build.nesting == 0)
{
    if (m_outermost) g_build = Build{};
    m_ok = ++g_build.nesting <= kMaxNesting && !g_build.refusal;
}

CSkinBuilder::Nesting::~Nesting()
{
    --g_build.nesting;
}

const wchar_t* CSkinBuilder::Nesting::Refusal() const
{
    return g_build.refusal;
}

bool CSkinBuilder::refuse(const wchar_t* why)
{
    if (!g_build.refusal) g_build.refusal = why;
    return false;
}

bool CSkinBuilder::countControl()
{
    return ++g_build.controls <= kMaxControls || refuse(L"Skin makes too many controls");
}

CControlUI* CSkinBuilder::Create(const wchar_t* skin, const wchar_t* type, IDialogBuilderCallback* callback,
    CWindowManagerUI* manager, CControlUI* parent)
{
    Nesting nesting;
    IContainerUI* container = parent ? static_cast<IContainerUI*>(parent->GetInterfaceByName(L"IContainer")) : nullptr;
    int kept = container ? container->GetCount() : 0;
    CControlUI* root = build(nesting, skin, type, callback, manager, parent);
    if (!nesting.m_outermost || !nesting.Refusal()) return root;
    // A refused skin leaves nothing behind.
    m_refusal = nesting.Refusal();
    if (parent) {
        while (container && container->GetCount() > kept) container->RemoveAt(container->GetCount() - 1);
    } else {
        delete root;
    }
    return nullptr;
}

CControlUI* CSkinBuilder::build(const Nesting& nesting, const wchar_t* skin, const wchar_t* type,
    IDialogBuilderCallback* callback, CWindowManagerUI* manager, CControlUI* parent)
{
    if (!nesting || !skin) return nullptr;
    if (++g_build.loads > kMaxLoads) {
        refuse(L"Skin loads too many files");
        return nullptr;
    }
    if (isResourceId(skin)) {
        std::vector<uint8_t> bytes;
        if (!CRenderKit::LoadResourceBytes(skin, type, bytes) || !m_xml.LoadFromMem(bytes.data(), bytes.size()))
            return nullptr;
        m_type = type;
    } else if (skin[0] == L'<') {
        if (!m_xml.Load(skin)) return nullptr;
    } else if (!m_xml.LoadFromFile(skin)) {
        return nullptr;
    }
    m_callback = callback;
    CXmlMarkupNode root = m_xml.GetRoot();
    if (!root.IsValid()) return nullptr;
    if (manager) {
        applyResources(root, manager);
        if (wcscmp(root.GetName(), L"Window") == 0 && manager->GetPaintWindow()) applyWindowAttributes(root, manager);
    }
    return parse(root, parent, manager);
}

void CSkinBuilder::applyResources(CXmlMarkupNode root, CWindowManagerUI* manager)
{
    for (CXmlMarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* tag = node.GetName();
        if (wcscmp(tag, L"Image") == 0) {
            const wchar_t* name = node.GetAttributeValue(L"name");
            if (!name) continue;
            const wchar_t* restype = node.GetAttributeValue(L"restype");
            const wchar_t* mask = node.GetAttributeValue(L"mask");
            manager->AddImage(name, restype, mask ? AttributeValue::ParseColor(mask) : 0);
        } else if (wcscmp(tag, L"Font") == 0) {
            const wchar_t* name = node.GetAttributeValue(L"name");
            if (!name) continue;
            const wchar_t* sizeText = node.GetAttributeValue(L"size");
            int size = sizeText ? AttributeValue::ParseInt(sizeText) : 12;
            bool bold = AttributeValue::ParseBool(node.GetAttributeValue(L"bold"));
            bool underline = AttributeValue::ParseBool(node.GetAttributeValue(L"underline"));
            bool italic = AttributeValue::ParseBool(node.GetAttributeValue(L"italic"));
            manager->AddFont(name, size, bold, underline, italic);
            if (AttributeValue::ParseBool(node.GetAttributeValue(L"default")))
                manager->SetDefaultFont(name, size, bold, underline, italic);
        } else if (wcscmp(tag, L"Default") == 0) {
            const wchar_t* name = node.GetAttributeValue(L"name");
            const wchar_t* value = node.GetAttributeValue(L"value");
            if (name && value) manager->AddDefaultAttributeList(name, value);
        }
    }
}

void CSkinBuilder::applyWindowAttributes(CXmlMarkupNode root, CWindowManagerUI* manager)
{
    using namespace AttributeValue;
    static const AttributeSetter<CWindowManagerUI> kSetters[] = {
        {L"size",
            [](auto& m, auto v) {
                SIZE size = ParseSize(v);
                m.SetInitSize(size.cx, size.cy);
            }},
        {L"sizebox", [](auto& m, auto v) { m.SetSizeBox(ParseRect(v)); }},
        {L"caption", [](auto& m, auto v) { m.SetCaptionRect(ParseRect(v)); }},
        {L"roundcorner",
            [](auto& m, auto v) {
                SIZE size = ParseSize(v);
                m.SetRoundCorner(size.cx, size.cy);
            }},
        {L"mininfo",
            [](auto& m, auto v) {
                SIZE size = ParseSize(v);
                m.SetMinInfo(size.cx, size.cy);
            }},
        {L"maxinfo",
            [](auto& m, auto v) {
                SIZE size = ParseSize(v);
                m.SetMaxInfo(size.cx, size.cy);
            }},
        {L"showdirty", [](auto& m, auto v) { m.SetShowUpdateRect(ParseBool(v)); }},
        {L"alpha", [](auto& m, auto v) { m.SetTransparent(ParseInt(v)); }},
        {L"bktrans", [](auto& m, auto v) { m.SetBackgroundTransparent(ParseBool(v)); }},
        {L"disabledfontcolor", [](auto& m, auto v) { m.SetDefaultDisabledColor(ParseColor(v)); }},
        {L"defaultfontcolor", [](auto& m, auto v) { m.SetDefaultFontColor(ParseColor(v)); }},
        {L"linkfontcolor", [](auto& m, auto v) { m.SetDefaultLinkFontColor(ParseColor(v)); }},
        {L"linkhoverfontcolor", [](auto& m, auto v) { m.SetDefaultLinkHoverFontColor(ParseColor(v)); }},
        {L"selectedcolor", [](auto& m, auto v) { m.SetDefaultSelectedBkColor(ParseColor(v)); }},
    };
    int count = root.GetAttributeCount();
    for (int i = 0; i < count; ++i)
        ApplyAttribute(kSetters, *manager, root.GetAttributeName(i), root.GetAttributeValue(i));
}

void CSkinBuilder::applyAttributes(
    CXmlMarkupNode node, CControlUI* control, const wchar_t* tag, CWindowManagerUI* manager)
{
    if (manager) {
        control->SetManager(manager, nullptr, false);
        const wchar_t* defaults = manager->GetDefaultAttributeList(tag);
        if (defaults) control->ApplyAttributeList(defaults);
    }
    int count = node.GetAttributeCount();
    for (int i = 0; i < count; ++i) control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    if (manager) control->SetManager(nullptr, nullptr, false);
}

bool CSkinBuilder::buildTreeNode(CXmlMarkupNode node, CControlUI* parent, CWindowManagerUI* manager, CControlUI*& built)
{
    built = nullptr;
    auto* treeNode = new CTreeNodeUI;
    auto* parentNode = parent ? static_cast<CTreeNodeUI*>(parent->GetInterfaceByName(L"TreeNode")) : nullptr;
    if (parentNode && !parentNode->AddChildNode(treeNode)) {
        delete treeNode;
        return true;
    }
    applyAttributes(node, treeNode, L"TreeNode", manager);
    if (node.HasChildren()) parse(node, treeNode, manager);
    if (parent && !parentNode) {
        auto* view = static_cast<CTreeViewUI*>(parent->GetInterfaceByName(L"TreeView"));
        if (!view) {
            delete treeNode;
            return false;
        }
        if (!view->AddNode(treeNode)) {
            delete treeNode;
            return true;
        }
    }
    built = treeNode;
    return true;
}

void CSkinBuilder::include(CXmlMarkupNode node, CControlUI* parent, CWindowManagerUI* manager)
{
    // Included controls need a parent to live in; without one they would be lost.
    const wchar_t* sourceText = node.GetAttributeValue(L"source");
    if (!sourceText || !parent) return;
    std::wstring source(sourceText, wcsnlen(sourceText, kMaxIncludeText));
    int count = 1;
    if (const wchar_t* countText = node.GetAttributeValue(L"count"))
        count = AttributeValue::ParseInt(std::wstring(countText, wcsnlen(countText, kMaxIncludeText)).c_str());
    for (int i = 0; i < count && i < 1000 && !g_build.refusal; ++i) {
        CSkinBuilder builder;
        if (m_type) {
            builder.Create(
                MAKEINTRESOURCEW(AttributeValue::ParseInt(source.c_str())), m_type, m_callback, manager, parent);
        } else {
            builder.Create(source.c_str(), nullptr, m_callback, manager, parent);
        }
    }
}

CControlUI* CSkinBuilder::parse(CXmlMarkupNode root, CControlUI* parent, CWindowManagerUI* manager)
{
    struct Level {
        Level() { ++g_build.depth; }
        ~Level() { --g_build.depth; }
    } level;
    if (g_build.depth > kMaxDepth) {
        refuse(L"Skin nests too deep");
        return nullptr;
    }
    IContainerUI* container = nullptr;
    CControlUI* first = nullptr;
    for (CXmlMarkupNode node = root.GetChild(); node.IsValid() && !g_build.refusal; node = node.GetSibling()) {
        const wchar_t* tag = node.GetName();
        if (wcscmp(tag, L"Image") == 0 || wcscmp(tag, L"Font") == 0 || wcscmp(tag, L"Default") == 0) continue;
        if (wcscmp(tag, L"Include") == 0) {
            include(node, parent, manager);
            continue;
        }
        if (wcscmp(tag, L"TreeNode") == 0) {
            CControlUI* built = nullptr;
            if (!countControl()) break;
            if (!buildTreeNode(node, parent, manager, built)) return nullptr;
            if (!first) first = built;
            continue;
        }
        CControlUI* control = CreateControl(tag);
        if (!control && m_callback) control = m_callback->CreateCustomControl(tag);
        if (!control) continue;
        if (!countControl()) {
            delete control;
            break;
        }

        if (node.HasChildren()) parse(node, control, manager);
        if (parent) {
            // Under a tree node a control joins the node's own children.
            auto* parentNode = static_cast<CTreeNodeUI*>(parent->GetInterfaceByName(L"TreeNode"));
            if (!parentNode && !container)
                container = static_cast<IContainerUI*>(parent->GetInterfaceByName(L"IContainer"));
            if (!parentNode && !container) {
                delete control;
                return nullptr;
            }
            if (!(parentNode ? parentNode->Add(control) : container->Add(control))) {
                delete control;
                continue;
            }
        }
        applyAttributes(node, control, tag, manager);
        if (!first) first = control;
    }
    return first;
}

}  // namespace SkinUI
