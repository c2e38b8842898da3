// FB::DOM::Element: a page element (see Node.h for what every wrapper shares).
//
// Elements found by id, by tag or made by the document go through the host's
// maker, so a browser binding's own element class serves them. Elements read
// as properties (getElement, getParentNode, getChildNode) are always the
// generic class here, whatever the binding.
#pragma once

#include "Node.h"

#include <vector>

namespace FB::DOM {

class Element : public virtual Node {
public:
    explicit Element(JSObjectPtr object);
    ~Element() override;

    virtual std::string getInnerHTML();
    virtual void setInnerHTML(const std::string& html);
    virtual int getWidth();
    virtual void setWidth(int width);
    virtual int getScrollWidth();
    virtual int getHeight();
    virtual void setHeight(int height);
    virtual int getScrollHeight();
    // The length of "childNodes"; 0 when the element has none.
    virtual int getChildNodeCount();
    virtual ElementPtr getChildNode(int index);
    virtual ElementPtr getParentNode();
    // A generic element over the property's object; empty when it holds none.
    virtual ElementPtr getElement(int index);
    virtual ElementPtr getElement(const std::string& name);
    // "getAttribute"(name) as text; an absent attribute gives the empty text.
    virtual std::string getStringAttribute(const std::string& name);
    virtual ElementPtr getElementById(const std::string& id);
    virtual std::vector<ElementPtr> getElementsByTagName(const std::wstring& tagName);
    virtual std::vector<ElementPtr> getElementsByTagName(const std::string& tagName);
};

// Wraps a page object as an element through its host (empty for empty).
// Throws std::bad_weak_ptr when the object's host has gone.
ElementPtr makeElement(const JSObjectPtr& object);

}  // namespace FB::DOM
