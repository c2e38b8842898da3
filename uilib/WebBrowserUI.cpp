#include "WebBrowserUI.h"

#include "AttributeTable.h"

#include "ComGuard.h"

#include <mshtml.h>

namespace SkinUI {

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID kWebBrowserClsid = {0x8856f961, 0x340a, 0x11d0, {0xa9, 0x6b, 0x00, 0xc0, 0x4f, 0xd7, 0x05, 0xa2}};
// {34A715A0-6587-11D0-924A-0020AFC7AC4D}
const IID kWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};
// {F38BC242-B950-11D1-8918-00C04FC2C836}
const GUID kDocHostCommandHandler = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
// {3050F3F0-98B5-11CF-BB82-00AA00BDCE0B}
const IID kCustomDoc = {0x3050f3f0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

constexpr DISPID kBeforeNavigate2 = 250;
constexpr DISPID kNavigateComplete2 = 252;
constexpr DISPID kNavigateError = 271;
constexpr DISPID kNewWindow3 = 273;
constexpr DISPID kCommandStateChange = 105;
constexpr DISPID kStatusTextChange = 102;
constexpr DWORD kShowScriptError = 40;

constexpr VARTYPE kVariantRef = VT_VARIANT | VT_BYREF;
constexpr VARTYPE kBoolRef = VT_BOOL | VT_BYREF;

// The arguments of an event, checked against the types it must have (last
// argument first, as they come).
HRESULT checkArguments(const DISPPARAMS* params, std::initializer_list<VARTYPE> types)
{
    UINT count = params ? params->cArgs : 0;
    if (count != types.size()) return DISP_E_BADPARAMCOUNT;
    UINT i = 0;
    for (VARTYPE type : types) {
        VARTYPE actual = V_VT(&params->rgvarg[i++]);
        bool flags = (type == VT_I4 && actual == VT_UI4);
        if (actual != type && !flags) return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

class WebBrowserDefaults : public IWebBrowserEventsUI {};

}  // namespace

CWebBrowserUI::CWebBrowserUI()
{
    m_clsid = kWebBrowserClsid;
}

CWebBrowserUI::~CWebBrowserUI()
{
    ReleaseControl();
}

const wchar_t* CWebBrowserUI::GetClassName() const
{
    return L"WebBrowserUI";
}

LPVOID CWebBrowserUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"WebBrowser") == 0) return static_cast<CWebBrowserUI*>(this);
    return CActiveXUI::GetInterfaceByName(name);
}

void CWebBrowserUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    static const AttributeSetter<CWebBrowserUI> kSetters[] = {
        {L"homepage", [](auto& w, auto v) { w.SetHomePage(v); }},
        {L"autonavi", [](auto& w, auto v) { w.SetAutoNavigation(AttributeValue::ParseBool(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CActiveXUI::SetAttribute(name, value);
}

IWebBrowserEventsUI& CWebBrowserUI::handler()
{
    static WebBrowserDefaults defaults;
    return m_pWebBrowserEventHandler ? *m_pWebBrowserEventHandler : defaults;
}

bool CWebBrowserUI::DoCreateControl()
{
    if (!CActiveXUI::DoCreateControl()) return false;
    if (m_pManager) m_pManager->AddTranslateAccelerator(this);
    GetControl(IID_IWebBrowser2, m_pWebBrowser2.PutVoid());
    // Connected before the first navigation, whose events come at once.
    connectEvents(kWebBrowserEvents2, static_cast<IDispatch*>(this), m_dwCookie, true);
    if (m_bAutoNavi && !m_sHomePage.IsEmpty()) Navigate(m_sHomePage);
    return true;
}

void CWebBrowserUI::ReleaseControl()
{
    m_bCreated = false;
    if (m_pManager) m_pManager->RemoveTranslateAccelerator(this);
    connectEvents(kWebBrowserEvents2, static_cast<IDispatch*>(this), m_dwCookie, false);
    // The document must not keep pointing at this control.
    setDocumentHandler(m_pWebBrowser2.Get(), nullptr);
    m_pWebBrowser2 = nullptr;
    CActiveXUI::ReleaseControl();
}

void CWebBrowserUI::setDocumentHandler(IWebBrowser2* browser, IDocHostUIHandler* handler)
{
    Com::ComPtr<IDispatch> document;
    if (!browser || FAILED(browser->get_Document(document.Put())) || !document) return;
    if (auto custom = document.Query<ICustomDoc>(kCustomDoc)) custom->SetUIHandler(handler);
}

void CWebBrowserUI::Navigate(const wchar_t* url)
{
    if (!m_pWebBrowser2 || !url) return;
    VARIANT address;
    VariantInit(&address);
    V_VT(&address) = VT_BSTR;
    V_BSTR(&address) = ::SysAllocString(url);
    m_pWebBrowser2->Navigate2(&address, nullptr, nullptr, nullptr, nullptr);
    VariantClear(&address);
}

// --- IUnknown ---

STDMETHODIMP CWebBrowserUI::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    IUnknown* part = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDocHostUIHandler)
        part = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IServiceProvider)
        part = static_cast<IServiceProvider*>(this);
    else if (iid == IID_IOleCommandTarget)
        part = static_cast<IOleCommandTarget*>(this);
    else if (iid == IID_IDispatch)
        part = static_cast<IDispatch*>(this);
    return AnswerInterface(out, part);
}

// --- IDispatch ---

STDMETHODIMP CWebBrowserUI::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    if (iid != IID_NULL) return E_INVALIDARG;
    return Com::guarded([&] {
        switch (id) {
        case kBeforeNavigate2: return beforeNavigate(params);
        case kNavigateComplete2: return navigateComplete(params);
        case kNavigateError: return navigateError(params);
        case kNewWindow3: return newWindow(params);
        case kCommandStateChange: return commandStateChange(params);
        case kStatusTextChange: return checkArguments(params, {VT_BSTR});
        default: return DISP_E_MEMBERNOTFOUND;
        }
    });
}

HRESULT CWebBrowserUI::beforeNavigate(DISPPARAMS* params)
{
    HRESULT hr = checkArguments(
        params, {kBoolRef, kVariantRef, kVariantRef, kVariantRef, kVariantRef, kVariantRef, VT_DISPATCH});
    if (FAILED(hr)) return hr;
    VARIANTARG* a = params->rgvarg;
    handler().BeforeNavigate2(V_DISPATCH(&a[6]), V_VARIANTREF(&a[5]), V_VARIANTREF(&a[4]), V_VARIANTREF(&a[3]),
        V_VARIANTREF(&a[2]), V_VARIANTREF(&a[1]), V_BOOLREF(&a[0]));
    return S_OK;
}

HRESULT CWebBrowserUI::navigateComplete(DISPPARAMS* params)
{
    HRESULT hr = checkArguments(params, {kVariantRef, VT_DISPATCH});
    if (FAILED(hr)) return hr;
    VARIANTARG* a = params->rgvarg;
    // The document answers to this control from now on.
    Com::ComPtr<IWebBrowser2> browser;
    if (V_DISPATCH(&a[1]) && SUCCEEDED(V_DISPATCH(&a[1])->QueryInterface(IID_IWebBrowser2, browser.PutVoid())))
        setDocumentHandler(browser.Get(), static_cast<IDocHostUIHandler*>(this));
    handler().NavigateComplete2(V_DISPATCH(&a[1]), V_VARIANTREF(&a[0]));
    return S_OK;
}

HRESULT CWebBrowserUI::navigateError(DISPPARAMS* params)
{
    HRESULT hr = checkArguments(params, {kBoolRef, kVariantRef, kVariantRef, kVariantRef, VT_DISPATCH});
    if (FAILED(hr)) return hr;
    VARIANTARG* a = params->rgvarg;
    handler().NavigateError(
        V_DISPATCH(&a[4]), V_VARIANTREF(&a[3]), V_VARIANTREF(&a[2]), V_VARIANTREF(&a[1]), V_BOOLREF(&a[0]));
    return S_OK;
}

HRESULT CWebBrowserUI::newWindow(DISPPARAMS* params)
{
    HRESULT hr = checkArguments(params, {VT_BSTR, VT_BSTR, VT_I4, kBoolRef, VT_DISPATCH | VT_BYREF});
    if (FAILED(hr)) return hr;
    VARIANTARG* a = params->rgvarg;
    handler().NewWindow3(
        V_DISPATCHREF(&a[4]), V_BOOLREF(&a[3]), static_cast<DWORD>(V_I4(&a[2])), V_BSTR(&a[1]), V_BSTR(&a[0]));
    return S_OK;
}

HRESULT CWebBrowserUI::commandStateChange(DISPPARAMS* params)
{
    HRESULT hr = checkArguments(params, {VT_BOOL, VT_I4});
    if (FAILED(hr)) return hr;
    handler().CommandStateChange(V_I4(&params->rgvarg[1]), V_BOOL(&params->rgvarg[0]));
    return S_OK;
}

// --- IDocHostUIHandler ---

STDMETHODIMP CWebBrowserUI::ShowContextMenu(DWORD id, POINT* pt, IUnknown* target, IDispatch* reserved)
{
    return Com::guarded([&] { return handler().ShowContextMenu(id, pt, target, reserved); });
}

STDMETHODIMP CWebBrowserUI::GetHostInfo(DOCHOSTUIINFO* info)
{
    return Com::guarded([&] { return handler().GetHostInfo(info); });
}

STDMETHODIMP CWebBrowserUI::ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
    IOleInPlaceFrame* frame, IOleInPlaceUIWindow* doc)
{
    return Com::guarded([&] { return handler().ShowUI(id, active, target, frame, doc); });
}

STDMETHODIMP CWebBrowserUI::HideUI()
{
    return Com::guarded([&] { return handler().HideUI(); });
}

STDMETHODIMP CWebBrowserUI::UpdateUI()
{
    return Com::guarded([&] { return handler().UpdateUI(); });
}

STDMETHODIMP CWebBrowserUI::EnableModeless(BOOL enable)
{
    return Com::guarded([&] { return handler().EnableModeless(enable); });
}

STDMETHODIMP CWebBrowserUI::OnDocWindowActivate(BOOL activate)
{
    return Com::guarded([&] { return handler().OnDocWindowActivate(activate); });
}

STDMETHODIMP CWebBrowserUI::OnFrameWindowActivate(BOOL activate)
{
    return Com::guarded([&] { return handler().OnFrameWindowActivate(activate); });
}

STDMETHODIMP CWebBrowserUI::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow)
{
    return Com::guarded([&] { return handler().ResizeBorder(border, window, frameWindow); });
}

STDMETHODIMP CWebBrowserUI::TranslateAccelerator(LPMSG msg, const GUID* group, DWORD id)
{
    return Com::guarded([&] { return handler().TranslateAccelerator(msg, group, id); });
}

STDMETHODIMP CWebBrowserUI::GetOptionKeyPath(LPOLESTR* key, DWORD reserved)
{
    return Com::guarded([&] { return handler().GetOptionKeyPath(key, reserved); });
}

STDMETHODIMP CWebBrowserUI::GetDropTarget(IDropTarget* target, IDropTarget** out)
{
    return Com::guarded([&] { return handler().GetDropTarget(target, out); });
}

STDMETHODIMP CWebBrowserUI::GetExternal(IDispatch** out)
{
    return Com::guarded([&] { return handler().GetExternal(out); });
}

STDMETHODIMP CWebBrowserUI::TranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** out)
{
    return Com::guarded([&] { return handler().TranslateUrl(translate, url, out); });
}

STDMETHODIMP CWebBrowserUI::FilterDataObject(IDataObject* data, IDataObject** out)
{
    return Com::guarded([&] { return handler().FilterDataObject(data, out); });
}

// --- IServiceProvider ---

STDMETHODIMP CWebBrowserUI::QueryService(REFGUID, REFIID, void** out)
{
    // No download manager is offered: the browser downloads itself.
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}

// --- IOleCommandTarget ---

STDMETHODIMP CWebBrowserUI::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*)
{
    return OLECMDERR_E_NOTSUPPORTED;
}

STDMETHODIMP CWebBrowserUI::Exec(const GUID* group, DWORD id, DWORD, VARIANT* in, VARIANT* out)
{
    if (!group || *group != kDocHostCommandHandler) return OLECMDERR_E_UNKNOWNGROUP;
    if (id != kShowScriptError) return OLECMDERR_E_NOTSUPPORTED;
    HRESULT hr = readScriptError(in);
    // Scripts keep running and no error dialog shows.
    if (out) {
        VariantClear(out);
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = VARIANT_TRUE;
    }
    return hr;
}

HRESULT CWebBrowserUI::readScriptError(VARIANT* in)
{
    if (!in || (V_VT(in) != VT_UNKNOWN && V_VT(in) != VT_DISPATCH) || !V_UNKNOWN(in)) return E_INVALIDARG;
    Com::ComPtr<IHTMLDocument2> document;
    Com::ComPtr<IHTMLWindow2> window;
    Com::ComPtr<IHTMLEventObj> event;
    Com::ComPtr<IDispatch> properties;
    HRESULT hr = V_UNKNOWN(in)->QueryInterface(IID_IHTMLDocument2, document.PutVoid());
    if (SUCCEEDED(hr) && document) hr = document->get_parentWindow(window.Put());
    if (SUCCEEDED(hr) && window) hr = window->get_event(event.Put());
    if (SUCCEEDED(hr) && event) hr = event.As(IID_IDispatch, properties);
    if (SUCCEEDED(hr) && !properties) hr = E_FAIL;
    if (FAILED(hr)) return hr;
    const wchar_t* names[] = {L"errorLine", L"errorCharacter", L"errorCode", L"errorMessage", L"errorUrl"};
    for (const wchar_t* name : names) {
        DISPID dispid = DISPID_UNKNOWN;
        LPOLESTR text = const_cast<LPOLESTR>(name);
        hr = properties->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_SYSTEM_DEFAULT, &dispid);
        if (FAILED(hr)) break;
        DISPPARAMS none{};
        VARIANT value;
        VariantInit(&value);
        hr = properties->Invoke(
            dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
        VariantClear(&value);
    }
    return hr;
}

// --- ITranslateAccelerator ---

LRESULT CWebBrowserUI::TranslateAccelerator(MSG* msg)
{
    return translateObjectAccelerator(m_pWebBrowser2.Get(), msg);
}

}  // namespace SkinUI
