// The container side of OLE in-place activation for CActiveXUI: the site
// handed to the hosted object (CActiveXCtrl, one COM object with one reference
// count), the host window of a windowed object (CActiveXWnd), the in-place
// frame (CActiveXFrameWnd) and the enumerator of the container's one object
// (CActiveXEnum). The site's owner may be cleared: every slot then answers
// E_UNEXPECTED, so an object that outlives its control never reaches it.
// UI thread only.
#pragma once

#include "ActiveXUI.h"
#include "ComObjectUI.h"
#include "WindowImplBase.h"

#include "ComPtr.h"

namespace SkinUI {

class CActiveXCtrl;

class CActiveXWnd final : public CWindowWnd {
public:
    // Creates the window as a child of the manager's window; null when it cannot.
    HWND Init(CActiveXCtrl* owner, HWND parent);
    ~CActiveXWnd() = default;

protected:
    const wchar_t* GetWindowClassName() const override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    CActiveXCtrl* m_pOwner = nullptr;
};

using CActiveXCtrlParts = CComObjectUI<CActiveXCtrl, IOleClientSite, IOleInPlaceSiteWindowless, IOleControlSite,
    IObjectWithSite, IOleContainer>;

class CActiveXCtrl final : public CActiveXCtrlParts {
    friend class CActiveXUI;
    friend class CActiveXWnd;
    friend CActiveXCtrlParts;

public:
    explicit CActiveXCtrl(CActiveXUI* owner);
    CActiveXCtrl(const CActiveXCtrl&) = delete;
    CActiveXCtrl& operator=(const CActiveXCtrl&) = delete;

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
    // IOleClientSite
    STDMETHOD(SaveObject)() override;
    STDMETHOD(GetMoniker)(DWORD assign, DWORD which, IMoniker** out) override;
    STDMETHOD(GetContainer)(IOleContainer** out) override;
    STDMETHOD(ShowObject)() override;
    STDMETHOD(OnShowWindow)(BOOL show) override;
    STDMETHOD(RequestNewObjectLayout)() override;
    // IOleWindow
    STDMETHOD(GetWindow)(HWND* out) override;
    STDMETHOD(ContextSensitiveHelp)(BOOL enter) override;
    // IOleInPlaceSite
    STDMETHOD(CanInPlaceActivate)() override;
    STDMETHOD(OnInPlaceActivate)() override;
    STDMETHOD(OnUIActivate)() override;
    STDMETHOD(GetWindowContext)
    (IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHOD(Scroll)(SIZE extent) override;
    STDMETHOD(OnUIDeactivate)(BOOL undoable) override;
    STDMETHOD(OnInPlaceDeactivate)() override;
    STDMETHOD(DiscardUndoState)() override;
    STDMETHOD(DeactivateAndUndo)() override;
    STDMETHOD(OnPosRectChange)(LPCRECT pos) override;
    // IOleInPlaceSiteEx
    STDMETHOD(OnInPlaceActivateEx)(BOOL* noRedraw, DWORD flags) override;
    STDMETHOD(OnInPlaceDeactivateEx)(BOOL noRedraw) override;
    STDMETHOD(RequestUIActivate)() override;
    // IOleInPlaceSiteWindowless
    STDMETHOD(CanWindowlessActivate)() override;
    STDMETHOD(GetCapture)() override;
    STDMETHOD(SetCapture)(BOOL capture) override;
    STDMETHOD(GetFocus)() override;
    STDMETHOD(SetFocus)(BOOL focus) override;
    STDMETHOD(GetDC)(LPCRECT rect, DWORD flags, HDC* out) override;
    STDMETHOD(ReleaseDC)(HDC dc) override;
    STDMETHOD(InvalidateRect)(LPCRECT rect, BOOL erase) override;
    STDMETHOD(InvalidateRgn)(HRGN region, BOOL erase) override;
    STDMETHOD(ScrollRect)(INT dx, INT dy, LPCRECT scroll, LPCRECT clip) override;
    STDMETHOD(AdjustRect)(LPRECT rect) override;
    STDMETHOD(OnDefWindowMessage)(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // IOleControlSite
    STDMETHOD(OnControlInfoChanged)() override;
    STDMETHOD(LockInPlaceActive)(BOOL lock) override;
    STDMETHOD(GetExtendedControl)(IDispatch** out) override;
    STDMETHOD(TransformCoords)(POINTL* himetric, POINTF* container, DWORD flags) override;
    STDMETHOD(TranslateAccelerator)(MSG* msg, DWORD modifiers) override;
    STDMETHOD(OnFocus)(BOOL gotFocus) override;
    STDMETHOD(ShowPropertyFrame)() override;
    // IObjectWithSite
    STDMETHOD(SetSite)(IUnknown* site) override;
    STDMETHOD(GetSite)(REFIID iid, void** out) override;
    // IOleContainer
    STDMETHOD(ParseDisplayName)(IBindCtx* context, LPOLESTR name, ULONG* eaten, IMoniker** out) override;
    STDMETHOD(EnumObjects)(DWORD flags, IEnumUnknown** out) override;
    STDMETHOD(LockContainer)(BOOL lock) override;

    HWND HostWindow() const;
    bool IsWindowless() const { return m_bWindowless; }
    bool IsInPlaceActive() const { return m_bInPlaceActive; }
    bool IsCaptured() const { return m_bCaptured; }
    bool HasViewObject() const { return m_pViewObject != nullptr; }
    // The control's rectangle, moved to the origin for a host window of its own.
    RECT ObjectRect() const;

private:
    ~CActiveXCtrl();
    HRESULT createHostWindow();
    void destroyHostWindow();

    CActiveXUI* m_pOwner;
    CActiveXWnd* m_pWindow = nullptr;
    Com::ComPtr<IUnknown> m_pUnkSite;
    Com::ComPtr<IViewObject> m_pViewObject;
    // IOleInPlaceObjectWindowless when windowless, else IOleInPlaceObject.
    Com::ComPtr<IOleInPlaceObject> m_pInPlaceObject;
    HACCEL m_hAccel = nullptr;
    bool m_bLocked = false;
    bool m_bFocused = false;
    bool m_bCaptured = false;
    bool m_bUIActivated = false;
    bool m_bInPlaceActive = false;
    bool m_bWindowless = true;
};

}  // namespace SkinUI
