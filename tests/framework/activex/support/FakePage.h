// A page of Internet Explorer for tests, made of fakes: the container's
// IWebBrowser2, the document (IHTMLDocument2 and IHTMLDocument3), its window
// (IHTMLWindow2), elements (IHTMLElement, IHTMLElement2, IHTMLDOMNode), element
// collections, the location, and a client site with IOleControlSite.
//
//     auto page = PageFakes::Page::make();
//     page->window->onExecScript = [](const std::wstring& code, const std::wstring& language) { ...; return S_OK; };
//     FB::ActiveX::ActiveXBrowserHost host(page->browser.Get(), page->site.Get());
//
// Each fake is a ScriptHost::HostObject as well (an IDispatchEx with expandos:
// the window's is the page's global object in the page host) and answers its
// typed interfaces through stubs generated from the system headers
// (ComStubs.h), in which every method the fake does not override answers
// E_NOTIMPL. Fakes count themselves, so a test or the page host can see that
// every reference it handed out came back (liveObjects).
//
// Threading: the page's thread only.
#pragma once

#include "ComStubs.h"
#include "ComSupport.h"
#include "HostObject.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace PageFakes {

// Fakes alive in the process, by kind ("FakeWindow" ...).
std::map<std::string, int> liveObjects();

// A HostObject that also answers the stubs' interfaces; their IUnknown and
// IDispatch are the HostObject's.
template <class... Stubs>
class HostBacked : public ScriptHost::HostObject, public Stubs... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return HostObject::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return HostObject::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return HostObject::Release(); }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return HostObject::GetTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override
    {
        return HostObject::GetTypeInfo(index, locale, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override
    {
        return HostObject::GetIDsOfNames(iid, names, count, locale, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, UINT* argError) override
    {
        return HostObject::Invoke(id, iid, locale, flags, params, result, exception, argError);
    }

protected:
    explicit HostBacked(const char* kind);
    ~HostBacked() override;

    IUnknown* extraInterface(REFIID iid) override
    {
        IUnknown* found = nullptr;
        ((found = found                                                 ? found
                 : IsEqualIID(iid, __uuidof(typename Stubs::Interface)) ? static_cast<typename Stubs::Interface*>(this)
                                                                        : nullptr),
            ...);
        return found;
    }

private:
    const char* kind_;
};

namespace detail {
void countFake(const char* kind, int change);
}

template <class... Stubs>
HostBacked<Stubs...>::HostBacked(const char* kind) : kind_(kind)
{
    detail::countFake(kind_, +1);
}

template <class... Stubs>
HostBacked<Stubs...>::~HostBacked()
{
    detail::countFake(kind_, -1);
}

class FakeDocument;
class FakeElement;

class FakeLocation : public HostBacked<ComStubs::IHTMLLocationStub> {
public:
    explicit FakeLocation(std::wstring href) : HostBacked("FakeLocation"), href(std::move(href)) {}
    STDMETHODIMP get_href(BSTR* out) override;
    std::wstring href;
};

class FakeElementCollection : public HostBacked<ComStubs::IHTMLElementCollectionStub> {
public:
    explicit FakeElementCollection(std::vector<Com::ComPtr<FakeElement>> items);
    STDMETHODIMP get_length(LONG* length) override;
    STDMETHODIMP item(VARIANT name, VARIANT index, IDispatch** out) override;
    std::vector<Com::ComPtr<FakeElement>> items;
};

class FakeElement
    : public HostBacked<ComStubs::IHTMLElementStub, ComStubs::IHTMLElement2Stub, ComStubs::IHTMLDOMNodeStub> {
public:
    explicit FakeElement(std::wstring tag);

    // IHTMLElement
    STDMETHODIMP get_tagName(BSTR* out) override;
    STDMETHODIMP put_innerHTML(BSTR html) override;
    STDMETHODIMP get_innerHTML(BSTR* out) override;
    STDMETHODIMP getAttribute(BSTR name, LONG flags, VARIANT* out) override;
    // IHTMLElement2
    STDMETHODIMP getElementsByTagName(BSTR name, IHTMLElementCollection** out) override;
    // IHTMLDOMNode
    STDMETHODIMP appendChild(IHTMLDOMNode* child, IHTMLDOMNode** out) override;

    // Every element below this one with the tag ("*": all), in document order.
    void collect(const std::wstring& tag, std::vector<Com::ComPtr<FakeElement>>& found);
    // How often the element was asked for an interface beyond IDispatchEx's.
    size_t timesAskedFor(REFIID iid) const;
    FakeElement* findById(const std::wstring& id);

    std::wstring tag;
    std::wstring innerHTML;
    std::map<std::wstring, std::wstring> attributes;
    std::vector<Com::ComPtr<FakeElement>> children;
    FakeElement* parent = nullptr;
    bool refuseInnerHTML = false;
    bool refuseAppend = false;

protected:
    IUnknown* extraInterface(REFIID iid) override;

private:
    std::vector<IID> askedFor_;
};

class FakeWindow : public HostBacked<ComStubs::IHTMLWindow2Stub> {
public:
    FakeWindow() : HostBacked("FakeWindow") {}

    STDMETHODIMP execScript(BSTR code, BSTR language, VARIANT* result) override;
    STDMETHODIMP alert(BSTR message) override;
    STDMETHODIMP get_document(IHTMLDocument2** out) override;
    STDMETHODIMP get_location(IHTMLLocation** out) override;

    // What execScript does with the code (E_FAIL when unset).
    std::function<HRESULT(const std::wstring& code, const std::wstring& language)> onExecScript;
    std::vector<std::wstring> alerts;
    FakeDocument* document = nullptr;  // not owned: the document owns its window
    Com::ComPtr<FakeLocation> location;
};

class FakeDocument : public HostBacked<ComStubs::IHTMLDocument2Stub, ComStubs::IHTMLDocument3Stub> {
public:
    FakeDocument();

    // IHTMLDocument2
    STDMETHODIMP get_parentWindow(IHTMLWindow2** out) override;
    STDMETHODIMP get_body(IHTMLElement** out) override;
    STDMETHODIMP createElement(BSTR tag, IHTMLElement** out) override;
    // IHTMLDocument3
    STDMETHODIMP getElementById(BSTR id, IHTMLElement** out) override;
    STDMETHODIMP getElementsByTagName(BSTR name, IHTMLElementCollection** out) override;

    Com::ComPtr<FakeWindow> window;
    Com::ComPtr<FakeElement> body;
    bool withDocument3 = true;  // false: a document without IHTMLDocument3

protected:
    IUnknown* extraInterface(REFIID iid) override;
};

class FakeBrowser : public HostBacked<ComStubs::IWebBrowser2Stub> {
public:
    FakeBrowser() : HostBacked("FakeBrowser") {}

    STDMETHODIMP get_Document(IDispatch** out) override;
    STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* postData, VARIANT* headers) override;

    struct Navigation {
        std::wstring url;
        std::wstring target;
    };
    std::vector<Navigation> navigations;
    Com::ComPtr<FakeDocument> document;
};

class FakeClientSite : public HostBacked<ComStubs::IOleClientSiteStub, ComStubs::IOleControlSiteStub> {
public:
    FakeClientSite() : HostBacked("FakeClientSite") {}
    STDMETHODIMP GetExtendedControl(IDispatch** out) override;
    Com::ComPtr<IDispatch> extendedControl;  // the object element
};

// Answers SID_SWebBrowserApp with the browser, as a page's site does.
class FakeServices : public HostBacked<>, public IServiceProvider {
public:
    explicit FakeServices(FakeBrowser* browser) : HostBacked("FakeServices"), browser(browser) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return HostBacked::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return HostBacked::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return HostBacked::Release(); }
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

    Com::ComPtr<FakeBrowser> browser;

protected:
    IUnknown* extraInterface(REFIID iid) override;
};

// The whole page: browser -> document -> window, a body with a few elements,
// the control's client site whose object element is one of them.
//
//   <body>
//     <div id="status" class="note">Ready</div>
//     <div id="panel"><span id="first">one</span><span id="second">two</span></div>
//     <object id="plugin"></object>
//   </body>
//
// The location is "http://stagecast.test/caf\u00e9.html".
struct Page {
    static Page make();
    // Breaks the cycle between document and window; the fakes go with the last references.
    void release();

    Com::ComPtr<FakeBrowser> browser;
    Com::ComPtr<FakeDocument> document;
    Com::ComPtr<FakeWindow> window;
    Com::ComPtr<FakeClientSite> site;
    Com::ComPtr<FakeServices> services;
};

}  // namespace PageFakes
