// Implementation details: every site that offers services gets a host of its
// own; the previous host is shut down (its page objects go back) and the
// bridge is bound to the new one. The ready step runs once, from whichever of
// InitNew, Load, activation or SetSite comes first; when a host arrives only
// after it, the bridge is bound to the host then.
#include "FBControl.h"

#include "FactoryBase.h"
#include "ModuleInstance.h"
#include "PluginCore.h"
#include "PluginWindowWin.h"
#include "PluginWindowlessWin.h"
#include "utf8_tools.h"

#include <exdisp.h>
#include <olectl.h>
#include <shlguid.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace FB::ActiveX {

const char FBCONTROL0_MIMETYPE[] = "application/x-parvelplugin";

#define FB_CONTROL_TEMPLATE                                                                                            \
    template <const CLSID* ClassId, const char* MimeType, class Dual, const IID* EventIid, const GUID* LibId>
#define FB_CONTROL CFBControl<ClassId, MimeType, Dual, EventIid, LibId>

FB_CONTROL_TEMPLATE
FB_CONTROL::CFBControl()
    : JSAPI_IDispatchEx<Self, Dual, EventIid>(MimeType),
      BrowserPlugin(MimeType),
      selfReference_(std::make_shared<ShareableReference<Self>>(this)),
      mainThread_(GetCurrentThreadId())
{
    setModulePath(FB::modulePath());
}

FB_CONTROL_TEMPLATE
FB_CONTROL::~CFBControl()
{
    selfReference_.reset();  // queued repaints find nothing from here on
    try {
        shutdown();
    } catch (...) {
        // A destructor never throws; the instance is going anyway.
    }
}

FB_CONTROL_TEMPLATE
const Atl::InterfaceEntry* FB_CONTROL::interfaceEntries()
{
    static const Atl::InterfaceEntry entries[] = {
        Atl::entry<Self, Dual>(__uuidof(Dual)),
        Atl::entry<Self, Dual>(IID_IDispatch),
        Atl::entry<Self, Dual>(__uuidof(IDispatchEx)),
        Atl::entry<Self, IConnectionPointContainer>(IID_IConnectionPointContainer),
        Atl::entry<Self, IConnectionPoint>(IID_IConnectionPoint),
        Atl::entry<Self, JSAPI_IDispatchExBase>(kBridgeMarkerIid),
        Atl::entry<Self, IOleObject>(IID_IOleObject),
        Atl::entry<Self, IOleInPlaceObjectWindowless>(IID_IOleInPlaceObjectWindowless),
        Atl::entry<Self, IOleInPlaceObjectWindowless>(IID_IOleInPlaceObject),
        Atl::entry<Self, IOleInPlaceObjectWindowless>(IID_IOleWindow),
        Atl::entry<Self, IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject),
        Atl::entry<Self, IViewObjectEx>(IID_IViewObjectEx),
        Atl::entry<Self, IViewObjectEx>(IID_IViewObject2),
        Atl::entry<Self, IViewObjectEx>(IID_IViewObject),
        Atl::entry<Self, IObjectWithSite>(IID_IObjectWithSite),
        Atl::entry<Self, IObjectSafety>(IID_IObjectSafety),
        Atl::entry<Self, IPersistPropertyBag>(IID_IPersistPropertyBag),
        Atl::entry<Self, IPersistPropertyBag>(IID_IPersist),
        {},
    };
    return entries;
}

// ---- sites

FB_CONTROL_TEMPLATE
STDMETHODIMP FB_CONTROL::SetClientSite(IOleClientSite* site)
{
    return Com::guarded([&] {
        HRESULT hr = ControlBase::SetClientSite(site);
        if (!site || !core()) {
            shutdown();
            return hr;
        }
        return connectSite(site);
    });
}

FB_CONTROL_TEMPLATE
STDMETHODIMP FB_CONTROL::SetSite(IUnknown* site)
{
    return Com::guarded([&] {
        Atl::ObjectWithSiteImpl<Self>::SetSite(site);
        if (!site || !core()) {
            shutdown();
            return S_OK;
        }
        HRESULT hr = connectSite(site);
        if (FAILED(hr)) return hr;
        core()->setStateFlag(true);
        markControlReady();
        return S_OK;
    });
}

FB_CONTROL_TEMPLATE
HRESULT FB_CONTROL::connectSite(IUnknown* site)
{
    Com::ComPtr<IServiceProvider> services;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, services.PutVoid()))) return E_FAIL;
    serviceProvider_ = services;
    // A new site replaces what the previous one gave.
    webBrowser_ = nullptr;
    this->setPropertyNotifySink(nullptr);
    serviceProvider_->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, webBrowser_.PutVoid());
    serviceProvider_ = nullptr;
    if (webBrowser_) {
        Com::ComPtr<IPropertyNotifySink> sink;
        if (SUCCEEDED(site->QueryInterface(IID_IPropertyNotifySink, sink.PutVoid())))
            this->setPropertyNotifySink(sink.Get());
    }
    createHost();
    return S_OK;
}

FB_CONTROL_TEMPLATE
void FB_CONTROL::createHost()
{
    auto current = std::make_shared<ActiveXBrowserHost>(webBrowser_.Get(), clientSite());
    std::shared_ptr<ActiveXBrowserHost> previous;
    {
        std::lock_guard<std::mutex> guard(hostLock_);
        previous = std::exchange(host_, current);
    }
    if (core()) core()->setHost(current);
    // Already ready: the bridge converts through the new host from now on.
    if (readyDone_ && core()) this->setAPI(core()->scriptApiObject(), current);
    if (previous) previous->shutDownHost();
}

FB_CONTROL_TEMPLATE
std::shared_ptr<ActiveXBrowserHost> FB_CONTROL::browserHost() const
{
    std::lock_guard<std::mutex> guard(hostLock_);
    return host_;
}

// ---- parameters and the ready step

FB_CONTROL_TEMPLATE
STDMETHODIMP FB_CONTROL::InitNew()
{
    return Com::guarded([&] {
        if (core()) core()->setParams(VariantDict());
        markControlReady();
    });
}

FB_CONTROL_TEMPLATE
STDMETHODIMP FB_CONTROL::Load(IPropertyBag* bag, IErrorLog*)
{
    return Com::guarded([&] {
        if (!bag) return E_POINTER;
        // A bag without IPropertyBag2 has no parameters to give.
        VariantDict params;
        Com::ComPtr<IPropertyBag2> bag2;
        if (SUCCEEDED(bag->QueryInterface(IID_IPropertyBag2, bag2.PutVoid()))) params = readParams(bag2.Get());
        if (core()) core()->setParams(params);
        markControlReady();
        return S_OK;
    });
}

FB_CONTROL_TEMPLATE
VariantDict FB_CONTROL::readParams(IPropertyBag2* bag)
{
    VariantDict params;
    ULONG count = 0;
    if (FAILED(bag->CountProperties(&count)) || count == 0) return params;
    std::vector<PROPBAG2> infos(count);
    ULONG described = 0;
    if (FAILED(bag->GetPropertyInfo(0, count, infos.data(), &described))) return params;
    described = std::min(described, count);
    std::vector<VARIANT> values(described);
    for (VARIANT& value : values) VariantInit(&value);
    std::vector<HRESULT> results(described, E_FAIL);
    // Whatever happens while reading, every value and name goes back.
    struct Cleanup {
        std::vector<PROPBAG2>& infos;
        std::vector<VARIANT>& values;
        ULONG described;
        ~Cleanup()
        {
            for (VARIANT& value : values) VariantClear(&value);
            for (ULONG i = 0; i < described; ++i) CoTaskMemFree(infos[i].pstrName);
        }
    } cleanup{infos, values, described};
    if (described == 0 || FAILED(bag->Read(described, infos.data(), nullptr, values.data(), results.data())))
        return params;
    for (ULONG i = 0; i < described; ++i) {
        if (FAILED(results[i]) || !infos[i].pstrName) continue;
        params[wideToUtf8(infos[i].pstrName)] = paramValue(values[i]);
    }
    return params;
}

// Without a host only plain values convert; a page object arrives empty.
FB_CONTROL_TEMPLATE
variant FB_CONTROL::paramValue(const VARIANT& value)
{
    if (std::shared_ptr<ActiveXBrowserHost> current = browserHost()) return current->getVariant(&value);
    return ActiveXBrowserHost::getPlainVariant(&value);
}

FB_CONTROL_TEMPLATE
void FB_CONTROL::markControlReady()
{
    if (readyDone_ || !core()) return;
    readyDone_ = true;
    this->setAPI(core()->scriptApiObject(), browserHost());
    this->setReadyState(READYSTATE_COMPLETE);
    if (IPropertyNotifySink* sink = this->getPropertyNotifySink()) sink->OnChanged(DISPID_READYSTATE);
    if (core()) core()->markReady();
}

// ---- activation, drawing and input

FB_CONTROL_TEMPLATE
HRESULT FB_CONTROL::InPlaceActivate(LONG verb, const RECT* position)
{
    setWantWindowless(core() && core()->wantsWindowless());
    HRESULT hr = ControlBase::InPlaceActivate(verb, position);
    if (FAILED(hr)) return hr;
    if (!pluginWindow_ && core() && isInPlaceActive()) {
        FactoryBasePtr factory = getFactoryInstance();
        if (!factory) return E_UNEXPECTED;
        if (isWindowless()) {
            std::unique_ptr<PluginWindowlessWin> window(factory->makeWindowlessWindow(nullptr));
            if (!window) return E_UNEXPECTED;
            std::weak_ptr<ShareableReference<Self>> self = selfReference_;
            window->setInvalidateCallback([self](uint32_t l, uint32_t t, uint32_t r, uint32_t b) {
                if (auto alive = self.lock()) alive->get()->invalidateArea(l, t, r, b);
            });
            window->setBrowserHWND(containerWindow());
            const RECT& at = objectPosition();
            window->setWindowPosition(at.left, at.top, at.right - at.left, at.bottom - at.top);
            pluginWindow_ = std::move(window);
        } else if (controlWindow()) {
            std::unique_ptr<PluginWindowWin> window(factory->makeWindowedWindow(controlWindow()));
            if (!window) return E_UNEXPECTED;
            window->setBrowserHWND(containerWindow());
            pluginWindow_ = std::move(window);
        }
        if (pluginWindow_) core()->setWindow(pluginWindow_.get());
    }
    markControlReady();
    return S_OK;
}

FB_CONTROL_TEMPLATE
STDMETHODIMP FB_CONTROL::SetObjectRects(LPCRECT position, LPCRECT clip)
{
    return Com::guarded([&] {
        HRESULT hr = ControlBase::SetObjectRects(position, clip);
        if (FAILED(hr) || !isWindowless()) return hr;
        if (auto* window = dynamic_cast<PluginWindowlessWin*>(pluginWindow_.get())) {
            window->setWindowClipping(ScreenRect{clip->top, clip->left, clip->bottom, clip->right});
            window->setWindowPosition(
                position->left, position->top, position->right - position->left, position->bottom - position->top);
        }
        return hr;
    });
}

FB_CONTROL_TEMPLATE
HRESULT FB_CONTROL::OnDraw(const Atl::DrawInfo& info)
{
    if (!isWindowless()) return S_OK;
    if (auto* window = dynamic_cast<PluginWindowlessWin*>(pluginWindow_.get()))
        window->handleDraw(info.context, info.bounds.top, info.bounds.left, info.bounds.bottom, info.bounds.right);
    return S_OK;
}

FB_CONTROL_TEMPLATE
bool FB_CONTROL::processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // The windowed control's messages go to its plug-in window, which subclasses it.
    if (window || !isWindowless()) return false;
    auto* surface = dynamic_cast<PluginWindowlessWin*>(pluginWindow_.get());
    if (!surface) return false;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (isInPlaceActive() && isUIActive()) {
            setCapture(true);
            setFocus(true);
        }
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (windowlessSite() && windowlessSite()->GetCapture() == S_OK) setCapture(false);
        break;
    default: break;
    }
    return surface->handleEvent(message, wParam, lParam, result);
}

FB_CONTROL_TEMPLATE
void FB_CONTROL::invalidateArea(uint32_t left, uint32_t top, uint32_t right, uint32_t bottom)
{
    std::shared_ptr<ActiveXBrowserHost> current = browserHost();
    if (!current) {
        // Without a host there is no road to the main thread: a request from
        // elsewhere is dropped rather than calling the site from its thread.
        if (GetCurrentThreadId() == mainThread_ && isWindowless()) invalidateControl();
        return;
    }
    if (current->isMainThread()) {
        if (isWindowless()) invalidateControl();  // no in-place site: nothing to ask
        return;
    }
    std::weak_ptr<ShareableReference<Self>> self = selfReference_;
    current->mainThreadPost(
        [self, left, top, right, bottom] {
            if (auto alive = self.lock()) alive->get()->invalidateArea(left, top, right, bottom);
        },
        current);
}

FB_CONTROL_TEMPLATE
STDMETHODIMP FB_CONTROL::InPlaceDeactivate()
{
    return Com::guarded([&] {
        if (core()) core()->clearWindow();
        pluginWindow_.reset();
        if (std::shared_ptr<ActiveXBrowserHost> current = browserHost()) {
            // The page's handlers and objects go with the activation.
            current->releaseRetainedObjects();
            this->clearEventSinks();
            current->releaseBrowserObjects();
        }
        return ControlBase::InPlaceDeactivate();
    });
}

// ---- teardown

FB_CONTROL_TEMPLATE
void FB_CONTROL::shutdown()
{
    std::shared_ptr<ActiveXBrowserHost> current;
    {
        std::lock_guard<std::mutex> guard(hostLock_);
        current.swap(host_);
    }
    if (current) current->shutDownHost();
    if (core()) {
        core()->clearWindow();
        core()->beforeShutdown();
    }
    pluginWindow_.reset();
    this->setAPI(JSAPIWeakPtr(), std::weak_ptr<ActiveXBrowserHost>());
    pluginMain.reset();
    this->setPropertyNotifySink(nullptr);
    serviceProvider_ = nullptr;
    webBrowser_ = nullptr;
    this->clearEventSinks();
}

#undef FB_CONTROL
#undef FB_CONTROL_TEMPLATE

template class CFBControl<&CLSID_FBControl0, FBCONTROL0_MIMETYPE, IFBControl, &DIID_IFBComEventSource,
    &LIBID_parvelpluginLib>;

}  // namespace FB::ActiveX
