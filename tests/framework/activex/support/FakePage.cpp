#include "FakePage.h"

#include <shlguid.h>

#include <algorithm>
#include <mutex>

namespace PageFakes {

namespace {

std::mutex countsLock;
std::map<std::string, int>& counts()
{
    static std::map<std::string, int> live;
    return live;
}

HRESULT giveString(const std::wstring& text, BSTR* out)
{
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

template <class Interface, class Object>
HRESULT give(Object* object, Interface** out)
{
    if (!out) return E_POINTER;
    *out = object;
    if (object) object->AddRef();
    return object ? S_OK : E_FAIL;
}

std::wstring lower(std::wstring text)
{
    for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

}  // namespace

namespace detail {
void countFake(const char* kind, int change)
{
    std::lock_guard<std::mutex> guard(countsLock);
    int& count = counts()[kind];
    count += change;
    if (count == 0) counts().erase(kind);
}
}  // namespace detail

std::map<std::string, int> liveObjects()
{
    std::lock_guard<std::mutex> guard(countsLock);
    return counts();
}

// ---- location, collections, elements ----------------------------------------------------

STDMETHODIMP FakeLocation::get_href(BSTR* out)
{
    return giveString(href, out);
}

FakeElementCollection::FakeElementCollection(std::vector<Com::ComPtr<FakeElement>> items)
    : HostBacked("FakeElementCollection"), items(std::move(items))
{
}

STDMETHODIMP FakeElementCollection::get_length(LONG* length)
{
    if (!length) return E_POINTER;
    *length = static_cast<LONG>(items.size());
    return S_OK;
}

STDMETHODIMP FakeElementCollection::item(VARIANT name, VARIANT, IDispatch** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    VARIANT index;
    VariantInit(&index);
    if (FAILED(VariantChangeType(&index, &name, 0, VT_I4))) return E_INVALIDARG;
    if (index.lVal < 0 || static_cast<size_t>(index.lVal) >= items.size()) return S_OK;  // no such item: null
    return give<IDispatch>(static_cast<IDispatchEx*>(items[index.lVal].Get()), out);
}

FakeElement::FakeElement(std::wstring tag) : HostBacked("FakeElement"), tag(std::move(tag)) {}

IUnknown* FakeElement::extraInterface(REFIID iid)
{
    askedFor_.push_back(iid);
    return HostBacked::extraInterface(iid);
}

size_t FakeElement::timesAskedFor(REFIID iid) const
{
    return static_cast<size_t>(
        std::count_if(askedFor_.begin(), askedFor_.end(), [&](const IID& asked) { return IsEqualIID(asked, iid); }));
}

STDMETHODIMP FakeElement::get_tagName(BSTR* out)
{
    return giveString(tag, out);
}

STDMETHODIMP FakeElement::put_innerHTML(BSTR html)
{
    if (refuseInnerHTML) return E_FAIL;
    innerHTML.assign(html ? html : L"", SysStringLen(html));
    return S_OK;
}

STDMETHODIMP FakeElement::get_innerHTML(BSTR* out)
{
    if (refuseInnerHTML) return E_FAIL;
    return giveString(innerHTML, out);
}

STDMETHODIMP FakeElement::getAttribute(BSTR name, LONG, VARIANT* out)
{
    if (!out) return E_POINTER;
    VariantInit(out);
    auto found = attributes.find(name ? name : L"");
    if (found == attributes.end()) {
        V_VT(out) = VT_NULL;
        return S_OK;
    }
    V_VT(out) = VT_BSTR;
    return giveString(found->second, &V_BSTR(out));
}

void FakeElement::collect(const std::wstring& wanted, std::vector<Com::ComPtr<FakeElement>>& found)
{
    for (auto& child : children) {
        if (wanted == L"*" || lower(child->tag) == lower(wanted)) found.push_back(child);
        child->collect(wanted, found);
    }
}

FakeElement* FakeElement::findById(const std::wstring& id)
{
    for (auto& child : children) {
        auto attribute = child->attributes.find(L"id");
        if (attribute != child->attributes.end() && attribute->second == id) return child.Get();
        if (FakeElement* inner = child->findById(id)) return inner;
    }
    return nullptr;
}

STDMETHODIMP FakeElement::getElementsByTagName(BSTR name, IHTMLElementCollection** out)
{
    std::vector<Com::ComPtr<FakeElement>> found;
    collect(name ? name : L"", found);
    auto collection = Com::ComPtr<FakeElementCollection>::Adopt(new FakeElementCollection(std::move(found)));
    return give<IHTMLElementCollection>(static_cast<IHTMLElementCollection*>(collection.Get()), out);
}

STDMETHODIMP FakeElement::appendChild(IHTMLDOMNode* child, IHTMLDOMNode** out)
{
    if (!out || !child) return E_POINTER;
    *out = nullptr;
    if (refuseAppend) return E_FAIL;
    // Only this page's elements can be appended: the fake behind the node.
    Com::ComPtr<FakeElement> element(static_cast<FakeElement*>(child));
    if (element->parent) std::erase(element->parent->children, element);
    element->parent = this;
    children.push_back(element);
    return give<IHTMLDOMNode>(child, out);
}

// ---- window and document -----------------------------------------------------------------

STDMETHODIMP FakeWindow::execScript(BSTR code, BSTR language, VARIANT* result)
{
    if (result) VariantInit(result);
    if (!onExecScript) return E_FAIL;
    return onExecScript(std::wstring(code ? code : L"", SysStringLen(code)),
        std::wstring(language ? language : L"", SysStringLen(language)));
}

STDMETHODIMP FakeWindow::alert(BSTR message)
{
    alerts.emplace_back(message ? message : L"", SysStringLen(message));
    return S_OK;
}

STDMETHODIMP FakeWindow::get_document(IHTMLDocument2** out)
{
    return give<IHTMLDocument2>(static_cast<IHTMLDocument2*>(document), out);
}

STDMETHODIMP FakeWindow::get_location(IHTMLLocation** out)
{
    return give<IHTMLLocation>(static_cast<IHTMLLocation*>(location.Get()), out);
}

FakeDocument::FakeDocument() : HostBacked("FakeDocument") {}

IUnknown* FakeDocument::extraInterface(REFIID iid)
{
    if (!withDocument3 && IsEqualIID(iid, IID_IHTMLDocument3)) return nullptr;
    return HostBacked::extraInterface(iid);
}

STDMETHODIMP FakeDocument::get_parentWindow(IHTMLWindow2** out)
{
    return give<IHTMLWindow2>(static_cast<IHTMLWindow2*>(window.Get()), out);
}

STDMETHODIMP FakeDocument::get_body(IHTMLElement** out)
{
    return give<IHTMLElement>(static_cast<IHTMLElement*>(body.Get()), out);
}

STDMETHODIMP FakeDocument::createElement(BSTR tag, IHTMLElement** out)
{
    if (!out) return E_POINTER;
    auto element = Com::ComPtr<FakeElement>::Adopt(new FakeElement(tag ? tag : L""));
    return give<IHTMLElement>(static_cast<IHTMLElement*>(element.Get()), out);
}

STDMETHODIMP FakeDocument::getElementById(BSTR id, IHTMLElement** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    FakeElement* found = body ? body->findById(id ? id : L"") : nullptr;
    if (!found) return S_OK;  // no such element: null
    return give<IHTMLElement>(static_cast<IHTMLElement*>(found), out);
}

STDMETHODIMP FakeDocument::getElementsByTagName(BSTR name, IHTMLElementCollection** out)
{
    if (!body) return E_FAIL;
    return body->getElementsByTagName(name, out);
}

// ---- browser and site ---------------------------------------------------------------------

STDMETHODIMP FakeBrowser::get_Document(IDispatch** out)
{
    return give<IDispatch>(static_cast<IDispatchEx*>(document.Get()), out);
}

STDMETHODIMP FakeBrowser::Navigate(BSTR url, VARIANT*, VARIANT* target, VARIANT*, VARIANT*)
{
    Navigation navigation{std::wstring(url ? url : L"", SysStringLen(url)), L""};
    if (target && V_VT(target) == VT_BSTR && V_BSTR(target)) navigation.target = V_BSTR(target);
    navigations.push_back(navigation);
    return S_OK;
}

STDMETHODIMP FakeClientSite::GetExtendedControl(IDispatch** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!extendedControl) return E_NOTIMPL;
    return extendedControl.CopyTo(out);
}

IUnknown* FakeServices::extraInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IServiceProvider)) return static_cast<IServiceProvider*>(this);
    return nullptr;
}

STDMETHODIMP FakeServices::QueryService(REFGUID service, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(service, SID_SWebBrowserApp) || !browser) return E_NOINTERFACE;
    return browser->QueryInterface(iid, out);
}

// ---- the page ------------------------------------------------------------------------------

namespace {

Com::ComPtr<FakeElement> element(const wchar_t* tag, const wchar_t* id, const wchar_t* inner = L"")
{
    auto made = Com::ComPtr<FakeElement>::Adopt(new FakeElement(tag));
    made->attributes[L"id"] = id;
    made->innerHTML = inner;
    return made;
}

void append(FakeElement& parent, const Com::ComPtr<FakeElement>& child)
{
    child->parent = &parent;
    parent.children.push_back(child);
}

}  // namespace

Page Page::make()
{
    Page page;
    page.browser = Com::ComPtr<FakeBrowser>::Adopt(new FakeBrowser);
    page.document = Com::ComPtr<FakeDocument>::Adopt(new FakeDocument);
    page.window = Com::ComPtr<FakeWindow>::Adopt(new FakeWindow);
    page.site = Com::ComPtr<FakeClientSite>::Adopt(new FakeClientSite);
    page.services = Com::ComPtr<FakeServices>::Adopt(new FakeServices(page.browser.Get()));
    page.browser->document = page.document;
    page.document->window = page.window;
    page.window->document = page.document.Get();
    page.window->location = Com::ComPtr<FakeLocation>::Adopt(new FakeLocation(L"http://stagecast.test/caf\u00e9.html"));

    page.document->body = element(L"body", L"");
    FakeElement& body = *page.document->body;
    auto status = element(L"div", L"status", L"Ready");
    status->attributes[L"class"] = L"note";
    append(body, status);
    auto panel = element(L"div", L"panel");
    append(body, panel);
    append(*panel, element(L"span", L"first", L"one"));
    append(*panel, element(L"span", L"second", L"two"));
    auto object = element(L"object", L"plugin");
    append(body, object);
    page.site->extendedControl = static_cast<IDispatch*>(static_cast<IDispatchEx*>(object.Get()));
    return page;
}

void Page::release()
{
    if (site) site->extendedControl = nullptr;
    if (window) {
        window->clearValues();
        window->location = nullptr;
        window->document = nullptr;
    }
    if (document) {
        document->window = nullptr;
        document->body = nullptr;
        document->clearValues();
    }
    if (browser) browser->document = nullptr;
    if (services) services->browser = nullptr;
    services = nullptr;
    site = nullptr;
    window = nullptr;
    document = nullptr;
    browser = nullptr;
}

}  // namespace PageFakes
