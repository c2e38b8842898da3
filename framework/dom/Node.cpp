#include "Node.h"

#include "BrowserHost.h"
#include "ScriptErrors.h"
#include "utf8_tools.h"

namespace FB::DOM {

namespace {

// The object's host, or std::bad_weak_ptr when it has gone.
BrowserHostPtr hostOf(const JSObjectPtr& object)
{
    return BrowserHostPtr(object->getWeakHost());
}

}  // namespace

NodePtr makeNode(const JSObjectPtr& object)
{
    return object ? hostOf(object)->wrapNode(object) : nullptr;
}

Node::Node(JSObjectPtr object) : object(std::move(object)) {}

Node::~Node() = default;

JSAPI& Node::page() const
{
    if (!object) throw script_error("The DOM wrapper holds no page object");
    return *object;
}

JSObjectPtr Node::getJSObject() const
{
    return object;
}

std::string Node::getPropertyText(const std::string& name) const
{
    return page().getProperty(name).convertToString();
}

int Node::getPropertyInt(const std::string& name) const
{
    return page().getProperty(name).convertToInt();
}

JSObjectPtr Node::getPropertyObject(const std::string& name) const
{
    return page().getProperty(name).convertToJSObject();
}

JSObjectPtr Node::getPropertyObject(int index) const
{
    return page().getPropertyIndex(index).convertToJSObject();
}

variant Node::callMethod(const std::string& name, const VariantVector& args) const
{
    return page().invoke(name, args);
}

NodePtr Node::getNode(int index)
{
    return makeNode(getPropertyObject(index));
}

NodePtr Node::getNode(const std::string& name)
{
    return makeNode(getPropertyObject(name));
}

NodePtr Node::getNode(const std::wstring& name)
{
    return getNode(wideToUtf8(name));
}

void Node::setProperty(int index, const variant& value)
{
    page().setPropertyIndex(index, value);
}

void Node::setProperty(const std::string& name, const variant& value)
{
    page().setProperty(name, value);
}

void Node::setProperty(const std::wstring& name, const variant& value)
{
    setProperty(wideToUtf8(name), value);
}

NodePtr Node::appendChild(const NodePtr& node)
{
    JSObjectPtr child = node ? node->getJSObject() : nullptr;
    return makeNode(callMethod("appendChild", VariantVector{variant(child)}).convertToJSObject());
}

}  // namespace FB::DOM
