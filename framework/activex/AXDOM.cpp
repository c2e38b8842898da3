// The DOM wrappers of the Internet Explorer road over the page's document
// interfaces.
#include "AXDOM.h"

#include "IDispatchAPI.h"
#include "InvalidCast.h"
#include "ScriptErrors.h"
#include "utf8_tools.h"

#include <stdexcept>

namespace FB::ActiveX::AXDOM {

namespace {

std::wstring textOf(const Com::Bstr& text)
{
    return std::wstring(text.Get() ? text.Get() : L"", text.Length());
}

}  // namespace

// ---- held interfaces ----------------------------------------------------------------

HeldInterface::HeldInterface(const std::shared_ptr<ActiveXBrowserHost>& host, IDispatch* object) : host_(host)
{
    if (object && host) reference_ = host->getShareableReference(object);
}

HeldInterface::~HeldInterface()
{
    // The host gives the reference back on the main thread (at once when on it).
    if (std::shared_ptr<ActiveXBrowserHost> locked = host_.lock(); locked && !reference_.expired())
        locked->deferRelease(reference_);
}

IDispatch* HeldInterface::get() const
{
    std::shared_ptr<ActiveXBrowserHost::DispatchReference> locked = reference_.lock();
    return locked ? locked->get() : nullptr;
}

// ---- Node ---------------------------------------------------------------------------

Node::Node(const std::shared_ptr<IDispatchAPI>& object, IWebBrowser2* browser)
    : DOM::Node(object), host(object ? object->hostIfAlive() : nullptr)
{
    IDispatch* page = object ? object->getIDispatch() : nullptr;
    std::shared_ptr<ActiveXBrowserHost> locked = host.lock();
    if (!page || !locked) throw invalid_cast("This is not a valid object");
    dispatch = std::make_unique<HeldInterface>(locked, page);
    domNode = query(IID_IHTMLDOMNode);
    webBrowser = std::make_unique<HeldInterface>(locked, browser);
}

Node::~Node() = default;

std::shared_ptr<ActiveXBrowserHost> Node::activeXHost() const
{
    std::shared_ptr<ActiveXBrowserHost> locked = host.lock();
    if (!locked) throw script_error("BrowserHost has shut down");
    return locked;
}

std::unique_ptr<HeldInterface> Node::query(REFIID iid) const
{
    Com::ComPtr<IDispatch> page(dispatch ? dispatch->get() : nullptr);
    Com::ComPtr<IDispatch> answer = page.Query<IDispatch>(iid);
    return std::make_unique<HeldInterface>(host.lock(), answer.Get());
}

std::shared_ptr<IDispatchAPI> Node::pageObject(IDispatch* answer) const
{
    return answer ? IDispatchAPI::create(answer, activeXHost()) : nullptr;
}

std::vector<DOM::ElementPtr> Node::elementsOf(IHTMLElementCollection* collection) const
{
    std::vector<DOM::ElementPtr> elements;
    LONG length = 0;
    if (!collection || FAILED(collection->get_length(&length))) return elements;
    std::shared_ptr<ActiveXBrowserHost> locked = activeXHost();
    for (LONG i = 0; i < length; ++i) {
        Com::Variant index(i);
        Com::Variant first(0L);
        Com::ComPtr<IDispatch> item;
        if (FAILED(collection->item(index.Get(), first.Get(), item.Put())) || !item) continue;
        elements.push_back(locked->wrapElement(pageObject(item.Get())));
    }
    return elements;
}

template <class Lister>
std::vector<DOM::ElementPtr> Node::elementsByTagName(REFIID iid, const std::wstring& tagName) const
{
    return onMainThread([this, iid, tagName] {
        Com::ComPtr<Lister> lister = Com::ComPtr<IDispatch>(dispatch->get()).Query<Lister>(iid);
        Com::Bstr name(tagName);
        Com::ComPtr<IHTMLElementCollection> found;
        if (!lister || FAILED(lister->getElementsByTagName(name.Get(), found.Put())))
            throw script_error("Could not get element by tag name");
        return elementsOf(found.Get());
    });
}

DOM::NodePtr Node::appendChild(const DOM::NodePtr& node)
{
    return onMainThread([this, node]() -> DOM::NodePtr {
        auto child = std::dynamic_pointer_cast<Node>(node);
        IHTMLDOMNode* parent = domNode ? domNode->as<IHTMLDOMNode>() : nullptr;
        IHTMLDOMNode* added = child && child->domNode ? child->domNode->as<IHTMLDOMNode>() : nullptr;
        Com::ComPtr<IHTMLDOMNode> answer;
        if (!parent || !added || FAILED(parent->appendChild(added, answer.Put())) || !answer)
            throw std::runtime_error("failed to appendChild!");
        // The answer is a node of its own; this wrapper stays over the parent.
        return activeXHost()->wrapNode(pageObject(answer.Get()));
    });
}

// ---- Element ------------------------------------------------------------------------

Element::Element(const std::shared_ptr<IDispatchAPI>& object, IWebBrowser2* browser)
    : DOM::Node(object), DOM::Element(object), Node(object, browser)
{
}

Element::~Element() = default;

std::string Element::getInnerHTML()
{
    return onMainThread([this] {
        Com::ComPtr<IHTMLElement> element =
            Com::ComPtr<IDispatch>(dispatch->get()).Query<IHTMLElement>(IID_IHTMLElement);
        Com::Bstr html;
        if (!element || FAILED(element->get_innerHTML(html.Put()))) throw script_error("Could not get innerhtml");
        return wideToUtf8(textOf(html));
    });
}

void Element::setInnerHTML(const std::string& html)
{
    onMainThread([this, html] {
        Com::ComPtr<IHTMLElement> element =
            Com::ComPtr<IDispatch>(dispatch->get()).Query<IHTMLElement>(IID_IHTMLElement);
        Com::Bstr text(utf8ToWide(html));
        if (!element || FAILED(element->put_innerHTML(text.Get()))) throw script_error("Could not set innerHtml");
    });
}

std::string Element::getStringAttribute(const std::string& name)
{
    return onMainThread([this, name] {
        Com::ComPtr<IDispatch> object(dispatch->get());
        Com::ComPtr<IHTMLElement> element = object.Query<IHTMLElement>(IID_IHTMLElement);
        // The element is also asked for IHTMLDocument5; the answer is not used.
        object.Query<IHTMLDocument5>();
        Com::Bstr attribute(utf8ToWide(name));
        Com::Variant value;
        if (!element || FAILED(element->getAttribute(attribute.Get(), 0, value.Put()))) return std::string();
        if (value.Type() == VT_EMPTY || value.Type() == VT_NULL) return std::string();
        Com::Variant text;
        if (FAILED(VariantChangeType(text.Put(), &value.Get(), 0, VT_BSTR))) return std::string();
        return wideToUtf8(
            std::wstring(V_BSTR(&text.Get()) ? V_BSTR(&text.Get()) : L"", SysStringLen(V_BSTR(&text.Get()))));
    });
}

std::vector<DOM::ElementPtr> Element::getElementsByTagName(const std::wstring& tagName)
{
    return elementsByTagName<IHTMLElement2>(IID_IHTMLElement2, tagName);
}

std::vector<DOM::ElementPtr> Element::getElementsByTagName(const std::string& tagName)
{
    return getElementsByTagName(utf8ToWide(tagName));
}

// ---- Document -----------------------------------------------------------------------

Document::Document(const std::shared_ptr<IDispatchAPI>& object, IWebBrowser2* browser)
    : DOM::Node(object), DOM::Document(object), Node(object, browser)
{
}

Document::~Document() = default;

DOM::WindowPtr Document::getWindow()
{
    return onMainThread([this]() -> DOM::WindowPtr {
        Com::ComPtr<IHTMLDocument2> document =
            Com::ComPtr<IDispatch>(dispatch->get()).Query<IHTMLDocument2>(IID_IHTMLDocument2);
        Com::ComPtr<IHTMLWindow2> window;
        if (!document || FAILED(document->get_parentWindow(window.Put())) || !window) return nullptr;
        return activeXHost()->wrapWindow(pageObject(window.Get()));
    });
}

DOM::ElementPtr Document::createElement(const std::string& tagName)
{
    return onMainThread([this, tagName] {
        Com::ComPtr<IHTMLDocument2> document =
            Com::ComPtr<IDispatch>(dispatch->get()).Query<IHTMLDocument2>(IID_IHTMLDocument2);
        Com::Bstr tag(utf8ToWide(tagName));
        Com::ComPtr<IHTMLElement> element;
        if (!document || FAILED(document->createElement(tag.Get(), element.Put())) || !element)
            throw script_error("Failed to create element!");
        return activeXHost()->wrapElement(pageObject(element.Get()));
    });
}

DOM::ElementPtr Document::getElementById(const std::string& id)
{
    return onMainThread([this, id]() -> DOM::ElementPtr {
        Com::ComPtr<IHTMLDocument3> document =
            Com::ComPtr<IDispatch>(dispatch->get()).Query<IHTMLDocument3>(IID_IHTMLDocument3);
        if (!document) throw script_error("Document does not support getElementById");
        Com::Bstr text(utf8ToWide(id));
        Com::ComPtr<IHTMLElement> element;
        if (FAILED(document->getElementById(text.Get(), element.Put())) || !element) return nullptr;
        return activeXHost()->wrapElement(pageObject(element.Get()));
    });
}

std::vector<DOM::ElementPtr> Document::getElementsByTagName(const std::wstring& tagName)
{
    return elementsByTagName<IHTMLDocument3>(IID_IHTMLDocument3, tagName);
}

std::vector<DOM::ElementPtr> Document::getElementsByTagName(const std::string& tagName)
{
    return getElementsByTagName(utf8ToWide(tagName));
}

// ---- Window -------------------------------------------------------------------------

Window::Window(const std::shared_ptr<IDispatchAPI>& object, IWebBrowser2* browser)
    : DOM::Node(object), DOM::Window(object), Node(object, browser), window_(query(IID_IHTMLWindow2))
{
    if (!*window_) throw invalid_cast("This is not a valid Window object");
}

Window::~Window() = default;

DOM::DocumentPtr Window::getDocument()
{
    return onMainThread([this]() -> DOM::DocumentPtr {
        IHTMLWindow2* page = window_->as<IHTMLWindow2>();
        Com::ComPtr<IHTMLDocument2> document;
        if (!page || FAILED(page->get_document(document.Put())) || !document) return nullptr;
        return activeXHost()->wrapDocument(pageObject(document.Get()));
    });
}

void Window::alert(const std::wstring& message)
{
    onMainThread([this, message] {
        Com::Bstr text(message);
        if (IHTMLWindow2* page = window_->as<IHTMLWindow2>()) page->alert(text.Get());
    });
}

void Window::alert(const std::string& message)
{
    alert(utf8ToWide(message));
}

std::string Window::getLocation()
{
    return onMainThread([this] {
        IHTMLWindow2* page = window_->as<IHTMLWindow2>();
        Com::ComPtr<IHTMLLocation> location;
        Com::Bstr href;
        if (!page || FAILED(page->get_location(location.Put())) || !location || FAILED(location->get_href(href.Put())))
            return std::string();
        return wideToUtf8(textOf(href));
    });
}

}  // namespace FB::ActiveX::AXDOM
