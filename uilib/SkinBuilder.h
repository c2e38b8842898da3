// CSkinBuilder turns a skin description (XML) into a tree of controls attached
// to a window manager. The root "Window" element configures the window; its
// "Image", "Font" and "Default" children fill the manager's shared resources;
// every other element names a control class whose attributes go through the
// control's SetAttribute. "Include" pulls in other skin files (nesting is
// limited, so a skin that includes itself fails cleanly). Tags the library
// does not know are offered to an IDialogBuilderCallback; without an answer
// the element and its children are skipped. UI thread only.
#pragma once

#include "ControlUI.h"
#include "XmlMarkup.h"

namespace SkinUI {

class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateCustomControl(const wchar_t* tag) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

class CSkinBuilder {
public:
    enum { kMaxNesting = 16 };

    // skin: a resource id (below 0x10000, read with type from the resource
    // module), an XML text (first character "<") or a file name.
    CControlUI* Create(const wchar_t* skin, const wchar_t* type = nullptr, IDialogBuilderCallback* callback = nullptr,
        CWindowManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    CXmlMarkup* GetMarkup() { return &m_xml; }
    // The control for a tag of the library, or null for an unknown tag.
    static CControlUI* CreateControl(const wchar_t* tag);

private:
    CControlUI* parse(CXmlMarkupNode node, CControlUI* parent, CWindowManagerUI* manager);
    // The manager's defaults for the tag, then the element's attributes in order.
    void applyAttributes(CXmlMarkupNode node, CControlUI* control, const wchar_t* tag, CWindowManagerUI* manager);
    // A "TreeNode" element: under a tree node it becomes that node's child,
    // under anything else it is added to the parent's tree view (false: the
    // parent has none, which ends the build).
    bool buildTreeNode(CXmlMarkupNode node, CControlUI* parent, CWindowManagerUI* manager, CControlUI*& built);
    void applyResources(CXmlMarkupNode root, CWindowManagerUI* manager);
    void applyWindowAttributes(CXmlMarkupNode root, CWindowManagerUI* manager);

    CXmlMarkup m_xml;
    IDialogBuilderCallback* m_callback = nullptr;
    const wchar_t* m_type = nullptr;
};

}  // namespace SkinUI
