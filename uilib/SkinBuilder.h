// CSkinBuilder turns a skin description (XML) into a tree of controls attached
// to a window manager. The root "Window" element configures the window; its
// "Image", "Font" and "Default" children fill the manager's shared resources;
// every other element names a control class whose attributes go through the
// control's SetAttribute. "Include" pulls in other skin files (nesting,
// depth, files and controls are limited, so a skin that includes itself, or
// grows without end, fails cleanly). Tags the library
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
    // One skin with everything it includes (and the child layouts it fills)
    // may nest builders kMaxNesting deep (deeper ones build nothing), and may
    // nest kMaxDepth element levels, load kMaxLoads files and make kMaxControls
    // controls: beyond those the whole build is refused.
    enum { kMaxNesting = 16, kMaxDepth = CXmlMarkup::kMaxDepth, kMaxLoads = 4096, kMaxControls = 250000 };

    // One level of builder nesting, held for as long as it lives; the
    // outermost one starts a build's count. A child layout holds one across
    // building its file and adding the result, so that the child layouts in
    // that file nest inside it.
    class Nesting {
    public:
        Nesting();
        ~Nesting();
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        explicit operator bool() const { return m_ok; }
        // Why the build this level belongs to was refused, or null.
        const wchar_t* Refusal() const;

    private:
        friend class CSkinBuilder;
        bool m_ok = false;
        bool m_outermost;
    };

    // skin: a resource id (below 0x10000, read with type from the resource
    // module), an XML text (first character "<") or a file name.
    CControlUI* Create(const wchar_t* skin, const wchar_t* type = nullptr, IDialogBuilderCallback* callback = nullptr,
        CWindowManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    CXmlMarkup* GetMarkup() { return &m_xml; }
    // Why the last Create was refused as a whole (too deep, too many files
    // or controls), or null.
    const wchar_t* GetRefusal() const { return m_refusal; }
    // The control for a tag of the library, or null for an unknown tag.
    static CControlUI* CreateControl(const wchar_t* tag);

private:
    CControlUI* build(const Nesting& nesting, const wchar_t* skin, const wchar_t* type,
        IDialogBuilderCallback* callback, CWindowManagerUI* manager, CControlUI* parent);
    CControlUI* parse(CXmlMarkupNode node, CControlUI* parent, CWindowManagerUI* manager);
    // The manager's defaults for the tag, then the element's attributes in order.
    void applyAttributes(CXmlMarkupNode node, CControlUI* control, const wchar_t* tag, CWindowManagerUI* manager);
    // A "TreeNode" element: under a tree node it becomes that node's child,
    // under anything else it is added to the parent's tree view (false: the
    // parent has none, which ends the build).
    bool buildTreeNode(CXmlMarkupNode node, CControlUI* parent, CWindowManagerUI* manager, CControlUI*& built);
    // "Include": count times the source under the same parent.
    void include(CXmlMarkupNode node, CControlUI* parent, CWindowManagerUI* manager);
    // Counts a control against the build's limit (false: refused).
    static bool countControl();
    static bool refuse(const wchar_t* why);
    void applyResources(CXmlMarkupNode root, CWindowManagerUI* manager);
    void applyWindowAttributes(CXmlMarkupNode root, CWindowManagerUI* manager);

    CXmlMarkup m_xml;
    IDialogBuilderCallback* m_callback = nullptr;
    const wchar_t* m_type = nullptr;
    const wchar_t* m_refusal = nullptr;
    enum { kMaxIncludeText = 499 };
};

}  // namespace SkinUI
