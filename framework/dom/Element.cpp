#include "Element.h"

#include "BrowserHost.h"
#include "utf8_tools.h"

namespace FB::DOM {

ElementPtr makeElement(const JSObjectPtr& object)
{
    return object ? BrowserHostPtr(object->getWeakHost())->wrapElement(object) : nullptr;
}

Element::Element(JSObjectPtr object) : Node(std::move(object)) {}

Element::~Element() = default;

std::string Element::getInnerHTML()
{
    return getPropertyText("innerHTML");
}

void Element::setInnerHTML(const std::string& html)
{
    setProperty("innerHTML", variant(html));
}

int Element::getWidth()
{
    return getPropertyInt("width");
}

void Element::setWidth(int width)
{
    setProperty("width", variant(width));
}

int Element::getScrollWidth()
{
    return getPropertyInt("scrollWidth");
}

int Element::getHeight()
{
    return getPropertyInt("height");
}

void Element::setHeight(int height)
{
    setProperty("height", variant(height));
}

int Element::getScrollHeight()
{
    return getPropertyInt("scrollHeight");
}

int Element::getChildNodeCount()
{
    NodePtr children = getNode("childNodes");
    return children ? children->getPropertyInt("length") : 0;
}

ElementPtr Element::getChildNode(int index)
{
    ElementPtr children = getElement("childNodes");
    return children ? children->getElement(index) : nullptr;
}

ElementPtr Element::getParentNode()
{
    return getElement("parentNode");
}

ElementPtr Element::getElement(int index)
{
    JSObjectPtr found = getPropertyObject(index);
    return found ? std::make_shared<Element>(found) : nullptr;
}

ElementPtr Element::getElement(const std::string& name)
{
    JSObjectPtr found = getPropertyObject(name);
    return found ? std::make_shared<Element>(found) : nullptr;
}

std::string Element::getStringAttribute(const std::string& name)
{
    variant value = callMethod("getAttribute", VariantVector{variant(name)});
    // Null (or undefined) means the element has no such attribute.
    if (value.isEmpty() || value.isNull()) return std::string();
    return value.convertToString();
}

ElementPtr Element::getElementById(const std::string& id)
{
    return makeElement(callMethod("getElementById", VariantVector{variant(id)}).convertToJSObject());
}

std::vector<ElementPtr> Element::getElementsByTagName(const std::wstring& tagName)
{
    return getElementsByTagName(wideToUtf8(tagName));
}

std::vector<ElementPtr> Element::getElementsByTagName(const std::string& tagName)
{
    JSObjectList found = callMethod("getElementsByTagName", VariantVector{variant(tagName)}).convertToObjectList();
    std::vector<ElementPtr> elements;
    elements.reserve(found.size());
    for (const JSObjectPtr& object : found) elements.push_back(makeElement(object));
    return elements;
}

}  // namespace FB::DOM
