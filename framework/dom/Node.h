// DOM wrappers: typed views of the page around the plug-in (its window,
// document and elements) for native code.
//
// Each wrapper holds one page script object and does all its work through that
// object's properties and methods by name, with the script value conversions;
// nothing is cached, so every call reads the page afresh. The browser host
// makes them (wrapWindow, wrapDocument, wrapElement, wrapNode), so that a
// browser binding can substitute its own subclasses; the generic versions here
// work in any browser that offers script objects.
//
//     FB::DOM::WindowPtr window = host->windowObject();
//     FB::DOM::ElementPtr status = window->getDocument()->getElementById("status");
//     if (status) status->setInnerHTML("ready");
//
// A binding's subclass constructs the virtual base Node itself:
//     MyElement(const JSObjectPtr& object) : Node(object), Element(object) {}
//
// Failures pass through unchanged: the page object's script errors, and
// FB::bad_variant_cast when a property holds a value of the wrong kind. A page
// object result that is empty (null, undefined) gives an empty wrapper.
//
// Threading: no lock of its own; the page object's operations carry the calls
// to the browser's main thread, so a wrapper may be used on any thread on which
// its page object may be used.
#pragma once

#include "JSObject.h"
#include "variant.h"

#include <memory>
#include <string>

namespace FB::DOM {

class Node;
class Element;
class Document;
class Window;
using NodePtr = std::shared_ptr<Node>;
using ElementPtr = std::shared_ptr<Element>;
using DocumentPtr = std::shared_ptr<Document>;
using WindowPtr = std::shared_ptr<Window>;

class Node : public std::enable_shared_from_this<Node> {
public:
    explicit Node(JSObjectPtr object);
    virtual ~Node();

    virtual JSObjectPtr getJSObject() const;
    // The object of a property (by index or name) wrapped as a node by its host.
    virtual NodePtr getNode(int index);
    virtual NodePtr getNode(const std::string& name);
    virtual NodePtr getNode(const std::wstring& name);
    virtual void setProperty(int index, const variant& value);
    virtual void setProperty(const std::string& name, const variant& value);
    virtual void setProperty(const std::wstring& name, const variant& value);
    // "appendChild"(node's page object); the returned object as a node.
    virtual NodePtr appendChild(const NodePtr& node);

    // The generic reads and calls that every operation is made of.
    std::string getPropertyText(const std::string& name) const;
    int getPropertyInt(const std::string& name) const;
    JSObjectPtr getPropertyObject(const std::string& name) const;
    JSObjectPtr getPropertyObject(int index) const;
    variant callMethod(const std::string& name, const VariantVector& args) const;

protected:
    // The wrapped page object; a wrapper made without one refuses every call.
    JSAPI& page() const;

    JSObjectPtr object;
};

// Wraps a page object as a plain node through its host (empty for empty).
// Throws std::bad_weak_ptr when the object's host has gone.
NodePtr makeNode(const JSObjectPtr& object);

}  // namespace FB::DOM
