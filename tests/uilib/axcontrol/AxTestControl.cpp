// A minimal OLE control for the host's tests; see AxTestControl.h.
#include "AxTestControl.h"

#include <ocidl.h>
#include <oleidl.h>
#include <olectl.h>

namespace {

AxTestStats g_stats{};
IOleClientSite* g_lastSite = nullptr;

// The player's interface and events, as the host declares them.
const IID kShockwaveFlash = {0xd27cdb6c, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kShockwaveFlashEvents = {0xd27cdb6d, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The stand-in player's one connection point (it lives as long as the module).
class FlashEventsPoint final : public IConnectionPoint {
public:
    IDispatch* sink = nullptr;
    IConnectionPointContainer* container = nullptr;

    STDMETHOD(QueryInterface)(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetConnectionInterface)(IID* iid) override
    {
        if (!iid) return E_POINTER;
        *iid = kShockwaveFlashEvents;
        return S_OK;
    }
    STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** out) override
    {
        if (!out) return E_POINTER;
        *out = container;
        if (container) container->AddRef();
        return container ? S_OK : E_FAIL;
    }
    STDMETHOD(Advise)(IUnknown* unknown, DWORD* cookie) override
    {
        if (!unknown || !cookie) return E_POINTER;
        if (sink) return CONNECT_E_ADVISELIMIT;
        if (FAILED(unknown->QueryInterface(kShockwaveFlashEvents, reinterpret_cast<void**>(&sink))))
            return E_NOINTERFACE;
        *cookie = 1;
        return S_OK;
    }
    STDMETHOD(Unadvise)(DWORD cookie) override
    {
        if (cookie != 1 || !sink) return CONNECT_E_NOCONNECTION;
        sink->Release();
        sink = nullptr;
        return S_OK;
    }
    STDMETHOD(EnumConnections)(IEnumConnections** out) override
    {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
};

FlashEventsPoint g_flashEvents;

class TestObject final : public IOleObject,
                         public IOleInPlaceObjectWindowless,
                         public IViewObjectEx,
                         public IDispatch,
                         public IConnectionPointContainer {
public:
    TestObject(bool windowless, bool flash) : m_windowless(windowless), m_flash(flash) { ++g_stats.liveObjects; }

    STDMETHOD(QueryInterface)(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleObject)
            *out = static_cast<IOleObject*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject ||
            (m_windowless && iid == IID_IOleInPlaceObjectWindowless))
            *out = static_cast<IOleInPlaceObjectWindowless*>(this);
        else if (iid == IID_IViewObject || iid == IID_IViewObject2 || iid == IID_IViewObjectEx)
            *out = static_cast<IViewObjectEx*>(this);
        else if (m_flash && iid == kShockwaveFlash)
            *out = static_cast<IDispatch*>(this);
        else if (m_flash && iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override
    {
        ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

    // IOleObject
    STDMETHOD(SetClientSite)(IOleClientSite* site) override
    {
        if (site) site->AddRef();
        if (m_site) g_stats.siteRefsLeft = static_cast<long>(m_site->Release());
        m_site = site;
        if (site) {
            site->AddRef();
            if (g_lastSite) g_lastSite->Release();
            g_lastSite = site;
        }
        return S_OK;
    }
    STDMETHOD(GetClientSite)(IOleClientSite** out) override
    {
        if (!out) return E_POINTER;
        *out = m_site;
        if (m_site) m_site->AddRef();
        return S_OK;
    }
    STDMETHOD(SetHostNames)(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHOD(Close)(DWORD) override
    {
        InPlaceDeactivate();
        return S_OK;
    }
    STDMETHOD(SetMoniker)(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHOD(InitFromData)(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetClipboardData)(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHOD(DoVerb)(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) override
    {
        if (verb != OLEIVERB_INPLACEACTIVATE || m_inPlaceSite) return S_OK;
        if (!site) return E_INVALIDARG;
        HRESULT hr = E_FAIL;
        IOleInPlaceSiteWindowless* windowless = nullptr;
        if (m_windowless &&
            SUCCEEDED(site->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&windowless)))) {
            if (windowless->CanWindowlessActivate() == S_OK) {
                BOOL noRedraw = FALSE;
                hr = windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
            }
            m_inPlaceSite = windowless;
        } else {
            if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&m_inPlaceSite))))
                return E_NOINTERFACE;
            if (m_inPlaceSite->CanInPlaceActivate() == S_OK) hr = m_inPlaceSite->OnInPlaceActivate();
            if (SUCCEEDED(hr)) m_inPlaceSite->GetWindow(&g_stats.hostWindow);
        }
        if (FAILED(hr)) return hr;
        IOleInPlaceUIWindow* document = nullptr;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO info{};
        for (int i = 0; i < 2; ++i) {
            IOleInPlaceFrame* frame = nullptr;
            if (FAILED(m_inPlaceSite->GetWindowContext(&frame, &document, &pos, &clip, &info))) break;
            g_stats.accelerators[i] = info.haccel;
            if (document) document->Release();
            if (m_frame) m_frame->Release();
            m_frame = frame;
        }
        return S_OK;
    }
    STDMETHOD(EnumVerbs)(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHOD(Update)() override { return S_OK; }
    STDMETHOD(IsUpToDate)() override { return S_OK; }
    STDMETHOD(GetUserClassID)(CLSID*) override { return E_NOTIMPL; }
    STDMETHOD(GetUserType)(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHOD(SetExtent)(DWORD, SIZEL*) override { return S_OK; }
    STDMETHOD(GetExtent)(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHOD(Advise)(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(Unadvise)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(EnumAdvise)(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHOD(GetMiscStatus)(DWORD, DWORD* status) override
    {
        if (!status) return E_POINTER;
        *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE;
        return S_OK;
    }
    STDMETHOD(SetColorScheme)(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject(Windowless)
    STDMETHOD(GetWindow)(HWND* out) override
    {
        if (out) *out = nullptr;
        return E_FAIL;
    }
    STDMETHOD(ContextSensitiveHelp)(BOOL) override { return S_OK; }
    STDMETHOD(InPlaceDeactivate)() override
    {
        if (!m_inPlaceSite) return S_OK;
        m_inPlaceSite->OnInPlaceDeactivate();
        m_inPlaceSite->Release();
        m_inPlaceSite = nullptr;
        if (m_frame) g_stats.frameRefsLeft = static_cast<long>(m_frame->Release());
        m_frame = nullptr;
        return S_OK;
    }
    STDMETHOD(UIDeactivate)() override { return S_OK; }
    STDMETHOD(SetObjectRects)(LPCRECT pos, LPCRECT) override
    {
        if (pos) g_stats.objectRect = *pos;
        return S_OK;
    }
    STDMETHOD(ReactivateAndUndo)() override { return E_NOTIMPL; }
    STDMETHOD(OnWindowMessage)(UINT msg, WPARAM, LPARAM, LRESULT* result) override
    {
        ++g_stats.windowMessages;
        g_stats.lastMessage = msg;
        if (result) *result = 0;
        auto* site = static_cast<IOleInPlaceSiteWindowless*>(m_inPlaceSite);
        if (site && m_windowless && msg == WM_LBUTTONDOWN) site->SetCapture(TRUE);
        if (site && m_windowless && msg == WM_LBUTTONUP) site->SetCapture(FALSE);
        return S_OK;
    }
    STDMETHOD(GetDropTarget)(IDropTarget**) override { return E_NOTIMPL; }

    // IViewObject, IViewObject2, IViewObjectEx
    STDMETHOD(Draw)
    (DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
        ULONG_PTR) override
    {
        if (!dc || !bounds) return E_INVALIDARG;
        ++g_stats.draws;
        RECT rc{bounds->left, bounds->top, bounds->right, bounds->bottom};
        HBRUSH brush = CreateSolidBrush(kAxTestColour);
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
        return S_OK;
    }
    STDMETHOD(GetColorSet)(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHOD(Freeze)(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(Unfreeze)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(SetAdvise)(DWORD, DWORD, IAdviseSink*) override { return E_NOTIMPL; }
    STDMETHOD(GetAdvise)(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
    STDMETHOD(GetExtent)(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL) override { return E_NOTIMPL; }
    STDMETHOD(GetRect)(DWORD, LPRECTL) override { return E_NOTIMPL; }
    STDMETHOD(GetViewStatus)(DWORD* status) override
    {
        if (status) *status = VIEWSTATUS_OPAQUE;
        return S_OK;
    }
    STDMETHOD(QueryHitPoint)(DWORD, LPCRECT bounds, POINT pt, LONG, DWORD* hit) override
    {
        if (!bounds || !hit) return E_POINTER;
        *hit = PtInRect(bounds, pt) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    STDMETHOD(QueryHitRect)(DWORD, LPCRECT, LPCRECT, LONG, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(GetNaturalExtent)(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override
    {
        return E_NOTIMPL;
    }

    // IDispatch of the stand-in player: nothing is called through it.
    STDMETHOD(GetTypeInfoCount)(UINT* count) override
    {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    // IConnectionPointContainer
    STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** out) override
    {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(FindConnectionPoint)(REFIID iid, IConnectionPoint** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != kShockwaveFlashEvents) return CONNECT_E_NOCONNECTION;
        *out = &g_flashEvents;
        return S_OK;
    }

private:
    ~TestObject()
    {
        InPlaceDeactivate();
        if (m_site) m_site->Release();
        --g_stats.liveObjects;
    }
    ULONG m_refs = 1;
    bool m_windowless;
    bool m_flash;
    IOleClientSite* m_site = nullptr;
    IOleInPlaceSite* m_inPlaceSite = nullptr;
    IOleInPlaceFrame* m_frame = nullptr;
};

class Factory final : public IClassFactory {
public:
    Factory(bool windowless, bool flash) : m_windowless(windowless), m_flash(flash) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new TestObject(m_windowless, m_flash);
        HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    STDMETHOD(LockServer)(BOOL) override { return S_OK; }

private:
    bool m_windowless;
    bool m_flash;
};

Factory g_windowless(true, false);
Factory g_windowed(false, false);
Factory g_flashPlayer(false, true);

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid == CLSID_AxTestWindowless) return g_windowless.QueryInterface(iid, out);
    if (clsid == CLSID_AxTestWindowed) return g_windowed.QueryInterface(iid, out);
    if (clsid == CLSID_AxTestFlashPlayer) return g_flashPlayer.QueryInterface(iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return g_stats.liveObjects == 0 ? S_OK : S_FALSE;
}

AxTestStats* WINAPI AxTestGetStats()
{
    return &g_stats;
}

IOleClientSite* WINAPI AxTestGetSite()
{
    IOleClientSite* site = g_lastSite;
    g_lastSite = nullptr;
    return site;
}
}

extern "C" IDispatch* WINAPI AxTestFlashSink()
{
    if (g_flashEvents.sink) g_flashEvents.sink->AddRef();
    return g_flashEvents.sink;
}
