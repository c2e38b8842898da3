// FB::ActiveX::CFBControl: the plug-in as an ActiveX control in Internet
// Explorer. One control is one plug-in instance: a browser plug-in owning the
// application's plug-in core, the IDispatchEx bridge through which page script
// reaches the core's scripting object (under the dual interface), and an
// in-place control (windowed or windowless) that draws and takes input through
// the plug-in windows.
//
// The usual container order: SetClientSite (the browser host is made over the
// site's browser), IPersistPropertyBag::Load or InitNew (parameters, then the
// ready step: the bridge is bound, the ready state turns 4 and the page hears
// of it), DoVerb (the plug-in window), drawing and messages, InPlaceDeactivate,
// SetClientSite(NULL) (the plug-in shuts down). Script hosts give a site
// through IObjectWithSite::SetSite instead.
//
// Real containers also do less: a site without IServiceProvider (no host at
// all), Load before any site, teardown twice. The control then runs without a
// host where it can (parameters and the ready step), and the bridge refuses
// calls with COM codes; the shutdown step may run any number of times.
//
// One host per site: a later site gets a new host, and the previous one is
// shut down.
//
// Threading: the container's (apartment) thread, except invalidateArea, which
// the plug-in's drawing code may call on any thread (it then posts to the main
// thread and reaches only a control that is still there).
#pragma once

#include "ActiveXBrowserHost.h"
#include "BrowserPlugin.h"
#include "ControlBase.h"
#include "JSAPI_IDispatchEx.h"
#include "ObjectRoot.h"
#include "ObjectSafety.h"
#include "ObjectWithSite.h"
#include "ShareableReference.h"

#include <exdisp.h>
#include <objsafe.h>

#include <cstdint>
#include <memory>
#include <mutex>

namespace FB {
class PluginWindow;
}

namespace FB::ActiveX {

template <const CLSID* ClassId, const char* MimeType, class Dual, const IID* EventIid, const GUID* LibId>
class CFBControl : public Atl::ObjectRoot,
                   public Atl::ControlBase,
                   public Atl::ObjectWithSiteImpl<CFBControl<ClassId, MimeType, Dual, EventIid, LibId>>,
                   public Atl::ObjectSafetyImpl<CFBControl<ClassId, MimeType, Dual, EventIid, LibId>,
                       INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA>,
                   public JSAPI_IDispatchEx<CFBControl<ClassId, MimeType, Dual, EventIid, LibId>, Dual, EventIid>,
                   public BrowserPlugin {
public:
    static const Atl::InterfaceEntry* interfaceEntries();

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    // IPersistPropertyBag
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) override { return S_OK; }
    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;

    const CLSID& controlClassId() const override { return *ClassId; }
    HRESULT InPlaceActivate(LONG verb, const RECT* position = nullptr) override;

    // Asks for a repaint of the windowless control (the coordinates are not
    // used: the site repaints the whole control). Any thread.
    void invalidateArea(uint32_t left, uint32_t top, uint32_t right, uint32_t bottom);

    // FB::BrowserPlugin: the shutdown step (idempotent).
    void shutdown() override;

    std::shared_ptr<ActiveXBrowserHost> browserHost() const;
    PluginWindow* pluginWindowForTesting() const { return pluginWindow_.get(); }

protected:
    CFBControl();
    ~CFBControl() override;

    HRESULT OnDraw(const Atl::DrawInfo& info) override;
    bool processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    using Self = CFBControl<ClassId, MimeType, Dual, EventIid, LibId>;

    // The site's services: the container's browser, the property-notify sink,
    // then the host. E_FAIL when the site offers no services.
    HRESULT connectSite(IUnknown* site);
    void createHost();
    void markControlReady();
    VariantDict readParams(IPropertyBag2* bag);
    variant paramValue(const VARIANT& value);

    std::unique_ptr<PluginWindow> pluginWindow_;
    Com::ComPtr<IWebBrowser2> webBrowser_;
    Com::ComPtr<IServiceProvider> serviceProvider_;
    std::shared_ptr<ActiveXBrowserHost> host_;
    mutable std::mutex hostLock_;  // host is read by invalidateArea on any thread
    bool readyDone_ = false;
    // Held weakly by calls queued for this control; gone with the control.
    std::shared_ptr<ShareableReference<Self>> selfReference_;
    // The container's thread, for the repaint requests of a control without a host.
    const DWORD mainThread_;
};

// The control class of the plug-in library.
extern const char FBCONTROL0_MIMETYPE[];
using FBControl0 =
    CFBControl<&CLSID_FBControl0, FBCONTROL0_MIMETYPE, IFBControl, &DIID_IFBComEventSource, &LIBID_parvelpluginLib>;

}  // namespace FB::ActiveX
