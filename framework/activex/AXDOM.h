// FB::ActiveX::AXDOM: the DOM wrappers of the Internet Explorer road. They work
// through the page's own document interfaces (IHTMLDOMNode, IHTMLElement,
// IHTMLElement2, IHTMLDocument2/3, IHTMLWindow2) instead of reading properties
// by name; every operation they do not override stays the generic one.
//
//     auto window = host->windowObject();           // an AXDOM::Window in Internet Explorer
//     window->alert("Ready");
//     for (auto& item : host->documentObject()->getElementsByTagName("div")) ...
//
// The ActiveX browser host makes them (wrapWindow, wrapDocument, wrapElement,
// wrapNode) over its page objects (IDispatchAPI). A page object that is no
// dispatch object, or no window where a window is wanted, is refused with an
// invalid_cast ("This is not a valid object", "This is not a valid Window
// object").
//
// Threading: the COM calls run on the browser's main thread; called elsewhere,
// an operation waits for the main thread (as page objects do). The interfaces
// are held as the host's page-object references, so they go back on the main
// thread whichever thread drops the wrapper last.
#pragma once

#include "ActiveXBrowserHost.h"
#include "dom/Document.h"
#include "dom/Element.h"
#include "dom/Node.h"
#include "dom/Window.h"

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>

#include <memory>
#include <string>
#include <vector>

namespace FB::ActiveX {

class IDispatchAPI;

namespace AXDOM {

// One COM interface of a page object, kept as a reference of the host (which
// lets go of it on the main thread, or at its shutdown).
class HeldInterface {
public:
    HeldInterface() = default;
    // Takes a reference of its own to object (null holds nothing).
    HeldInterface(const std::shared_ptr<ActiveXBrowserHost>& host, IDispatch* object);
    ~HeldInterface();
    HeldInterface(const HeldInterface&) = delete;
    HeldInterface& operator=(const HeldInterface&) = delete;

    // The interface while the host keeps it, else null.
    IDispatch* get() const;
    template <class Interface>
    Interface* as() const
    {
        return static_cast<Interface*>(get());
    }
    explicit operator bool() const { return get() != nullptr; }

private:
    std::weak_ptr<ActiveXBrowserHost> host_;
    std::weak_ptr<ActiveXBrowserHost::DispatchReference> reference_;
};

class Node : public virtual DOM::Node {
public:
    // Throws invalid_cast "This is not a valid object" without a dispatch object.
    Node(const std::shared_ptr<IDispatchAPI>& object, IWebBrowser2* browser);
    ~Node() override;

    // A new node over the answer; this node keeps its own interface.
    DOM::NodePtr appendChild(const DOM::NodePtr& node) override;

protected:
    std::shared_ptr<ActiveXBrowserHost> activeXHost() const;
    // Runs call on the main thread (at once when there) and returns its result.
    template <class Call>
    auto onMainThread(Call call) const
    {
        std::shared_ptr<ActiveXBrowserHost> locked = activeXHost();
        if (locked->isMainThread()) return call();
        return locked->mainThreadCall([self = shared_from_this(), call] { return call(); });
    }
    // Asks the page object for an interface; held by the host when answered.
    std::unique_ptr<HeldInterface> query(REFIID iid) const;
    // The page object of an interface the browser answered, wrapped anew.
    std::shared_ptr<IDispatchAPI> pageObject(IDispatch* answer) const;
    std::vector<DOM::ElementPtr> elementsOf(IHTMLElementCollection* collection) const;
    // The elements of a tag name below this node, asked on the main thread
    // through the interface (IHTMLElement2, IHTMLDocument3) that lists them.
    template <class Lister>
    std::vector<DOM::ElementPtr> elementsByTagName(REFIID iid, const std::wstring& tagName) const;

    std::weak_ptr<ActiveXBrowserHost> host;
    std::unique_ptr<HeldInterface> dispatch;
    std::unique_ptr<HeldInterface> domNode;     // may hold nothing
    std::unique_ptr<HeldInterface> webBrowser;  // may hold nothing
};

class Element : public DOM::Element, public Node {
public:
    Element(const std::shared_ptr<IDispatchAPI>& object, IWebBrowser2* browser);
    ~Element() override;

    std::string getInnerHTML() override;
    void setInnerHTML(const std::string& html) override;
    std::string getStringAttribute(const std::string& name) override;
    std::vector<DOM::ElementPtr> getElementsByTagName(const std::string& tagName) override;
    std::vector<DOM::ElementPtr> getElementsByTagName(const std::wstring& tagName) override;
};

// A document is an element of the generic kind; its element operations of its
// own go through the document interfaces.
class Document : public DOM::Document, public Node {
public:
    Document(const std::shared_ptr<IDispatchAPI>& object, IWebBrowser2* browser);
    ~Document() override;

    DOM::WindowPtr getWindow() override;
    DOM::ElementPtr createElement(const std::string& tagName) override;
    DOM::ElementPtr getElementById(const std::string& id) override;
    std::vector<DOM::ElementPtr> getElementsByTagName(const std::string& tagName) override;
    std::vector<DOM::ElementPtr> getElementsByTagName(const std::wstring& tagName) override;
};

class Window : public DOM::Window, public Node {
public:
    // Throws invalid_cast "This is not a valid Window object" for any other object.
    Window(const std::shared_ptr<IDispatchAPI>& object, IWebBrowser2* browser);
    ~Window() override;

    DOM::DocumentPtr getDocument() override;
    void alert(const std::wstring& message) override;
    void alert(const std::string& message) override;
    std::string getLocation() override;

private:
    std::unique_ptr<HeldInterface> window_;
};

}  // namespace AXDOM
}  // namespace FB::ActiveX
