// The standard half of an in-place ActiveX control: embedding (IOleObject),
// in-place activation windowed or windowless (IOleInPlaceObjectWindowless,
// IOleInPlaceActiveObject), drawing (IViewObjectEx) and property-bag
// persistence (IPersistPropertyBag, which a control usually overrides).
//
//   class Thing : public Atl::ObjectRoot, public Atl::ControlBase {
//   public:
//       static const Atl::InterfaceEntry* interfaceEntries();   // lists the interfaces
//       const CLSID& controlClassId() const override { return CLSID_Thing; }
//       HRESULT OnDraw(const Atl::DrawInfo& info) override;      // paint into info.context
//       bool processWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override;
//   };
//
// Activation: DoVerb (or a derived InPlaceActivate) asks the client site for an
// in-place site. With windowless wanted (setWantWindowless) and a site that
// agrees (IOleInPlaceSiteWindowless::CanWindowlessActivate), the control has no
// window: the container hands it drawing (IViewObject::Draw) and messages
// (OnWindowMessage), and capture, focus and repainting go through the site.
// Otherwise the control makes its own child window of the container's window
// at the position the site gives, and paints and takes messages there.
//
// Every message, windowless or windowed, is offered to processWindowMessage
// first (the control's message map; the window is null when windowless).
//
// Threading: the container's (apartment) thread only.
#pragma once

#include "ComSupport.h"

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

namespace Atl {

// One drawing request: the context and the area to draw in, in its coordinates.
struct DrawInfo {
    HDC context = nullptr;
    RECT bounds{};
};

class ControlBase : public IOleObject,
                    public IOleInPlaceObjectWindowless,
                    public IOleInPlaceActiveObject,
                    public IViewObjectEx,
                    public IPersistPropertyBag {
public:
    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override;
    STDMETHODIMP DoVerb(
        LONG verb, LPMSG message, IOleClientSite* site, LONG index, HWND parent, LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceObject(Windowless)
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    STDMETHODIMP GetDropTarget(IDropTarget** target) override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IViewObject, IViewObject2, IViewObjectEx
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDevice, HDC context,
        LPCRECTL bounds, LPCRECTL metafileBounds, BOOL(STDMETHODCALLTYPE* keepDrawing)(ULONG_PTR),
        ULONG_PTR keepDrawingArgument) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;
    STDMETHODIMP GetRect(DWORD, LPRECTL) override { return E_NOTIMPL; }
    STDMETHODIMP GetViewStatus(DWORD* status) override;
    STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG, DWORD* hit) override;
    STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT area, LONG, DWORD* hit) override;
    STDMETHODIMP GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) override
    {
        return E_NOTIMPL;
    }

    // IPersistPropertyBag: a control without properties by default.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP InitNew() override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag*, IErrorLog*) override { return S_OK; }
    STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) override { return S_OK; }

    // The control's class, for the container.
    virtual const CLSID& controlClassId() const = 0;

    // Activates in place (and, for the verbs that show the control, UI-activates
    // it). A control may wrap it to act around the activation.
    virtual HRESULT InPlaceActivate(LONG verb, const RECT* position = nullptr);

    bool isInPlaceActive() const { return inPlaceActive_; }
    bool isUIActive() const { return uiActive_; }
    bool isWindowless() const { return windowless_; }
    HWND controlWindow() const { return controlWindow_; }
    // The container's window (windowless: the window the control draws into).
    HWND containerWindow() const { return containerWindow_; }
    const RECT& objectPosition() const { return position_; }
    const RECT& objectClip() const { return clip_; }
    IOleClientSite* clientSite() const { return clientSite_.Get(); }
    IOleInPlaceSiteWindowless* windowlessSite() const { return windowlessSite_.Get(); }

protected:
    ControlBase();
    ~ControlBase();
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    // Paints the control; the default paints nothing.
    virtual HRESULT OnDraw(const DrawInfo& info);
    // The control's message map: true when the message was handled, with its result.
    virtual bool processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Asks the container for windowless activation on the next activation.
    void setWantWindowless(bool windowless) { wantWindowless_ = windowless; }
    // Mouse capture and keyboard focus: through the windowless site, or on the control's window.
    HRESULT setCapture(bool capture);
    HRESULT setFocus(bool focus);
    // Asks for a repaint of the whole control: the windowless site's InvalidateRect
    // (null rectangle, erase), the control's window, or the view's advise sink.
    void invalidateControl();

private:
    friend struct ControlWindowAccess;

    HRESULT activateInPlace();
    HRESULT activateUI();
    HRESULT createControlWindow();
    void clipControlWindow();
    LRESULT controlWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Com::ComPtr<IOleClientSite> clientSite_;
    Com::ComPtr<IOleAdviseHolder> adviseHolder_;
    Com::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    Com::ComPtr<IOleInPlaceSite> inPlaceSite_;
    Com::ComPtr<IOleInPlaceSiteEx> inPlaceSiteEx_;
    Com::ComPtr<IOleInPlaceSiteWindowless> windowlessSite_;  // only while active windowless
    Com::ComPtr<IOleInPlaceFrame> frame_;
    Com::ComPtr<IOleInPlaceUIWindow> documentWindow_;
    bool wantWindowless_ = false;
    bool windowless_ = false;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    HWND containerWindow_ = nullptr;
    HWND controlWindow_ = nullptr;
    RECT position_{};
    RECT clip_{};
    SIZEL extent_{};
};

}  // namespace Atl
