// DOM wrappers: typed views of page objects (window, document, elements).
//
// Each wrapper holds one page script object and works through its properties
// and methods by name. The browser host makes them (wrapWindow, ...), so a
// browser binding can substitute its own subclasses.
#pragma once

#include <memory>

namespace FB {
class JSObject;
}

namespace FB::DOM {

class Node : public std::enable_shared_from_this<Node> {
public:
    explicit Node(std::shared_ptr<JSObject> object) : object(std::move(object)) {}
    virtual ~Node() = default;

    virtual std::shared_ptr<JSObject> getJSObject() const { return object; }

protected:
    std::shared_ptr<JSObject> object;
};

class Element : public virtual Node {
public:
    explicit Element(std::shared_ptr<JSObject> object) : Node(std::move(object)) {}
};

class Document : public Element {
public:
    explicit Document(std::shared_ptr<JSObject> object) : Node(object), Element(object) {}
};

class Window : public virtual Node {
public:
    explicit Window(std::shared_ptr<JSObject> object) : Node(std::move(object)) {}
};

using NodePtr = std::shared_ptr<Node>;
using ElementPtr = std::shared_ptr<Element>;
using DocumentPtr = std::shared_ptr<Document>;
using WindowPtr = std::shared_ptr<Window>;

}  // namespace FB::DOM
