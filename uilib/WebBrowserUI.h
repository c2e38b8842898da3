// CWebBrowserUI: the system web browser control hosted by the ActiveX host.
// It is the browser's document host (IDocHostUIHandler, IOleCommandTarget,
// IServiceProvider), receives its DWebBrowserEvents2 through its own IDispatch
// and passes everything on to the application's handler (IWebBrowserEventsUI,
// installed with SetWebBrowserEventHandler). Without a handler the defaults of
// IWebBrowserEventsUI answer. Script errors of a shown page raise no dialog.
// UI thread only.
#pragma once

#include "ActiveXUI.h"
#include "ComObjectUI.h"

#include "ComPtr.h"

#include <exdisp.h>
#include <mshtmhst.h>
#include <urlmon.h>

namespace SkinUI {

// The application's side of the browser. Every slot has the answer the control
// gives without a handler, so a handler overrides only what it needs.
class IWebBrowserEventsUI {
public:
    virtual void BeforeNavigate2(IDispatch*, VARIANT*& /*url*/, VARIANT*& /*flags*/, VARIANT*& /*targetFrame*/,
        VARIANT*& /*postData*/, VARIANT*& /*headers*/, VARIANT_BOOL*& /*cancel*/)
    {
    }
    virtual void NavigateError(
        IDispatch*, VARIANT*& /*url*/, VARIANT*& /*targetFrame*/, VARIANT*& /*statusCode*/, VARIANT_BOOL*& /*cancel*/)
    {
    }
    virtual void NavigateComplete2(IDispatch*, VARIANT*& /*url*/) {}
    // Not called by the library.
    virtual void ProgressChange(LONG /*progress*/, LONG /*progressMax*/) {}
    virtual void NewWindow3(
        IDispatch** /*newDispatch*/, VARIANT_BOOL*& /*cancel*/, DWORD /*flags*/, BSTR /*urlContext*/, BSTR /*url*/)
    {
    }
    virtual void CommandStateChange(long /*command*/, VARIANT_BOOL /*enable*/) {}

    // The document host's slots, in the order of IDocHostUIHandler.
    virtual HRESULT ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_FALSE; }
    virtual HRESULT GetHostInfo(DOCHOSTUIINFO*) { return E_NOTIMPL; }
    virtual HRESULT ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*, IOleInPlaceUIWindow*)
    {
        return S_OK;
    }
    virtual HRESULT HideUI() { return S_OK; }
    virtual HRESULT UpdateUI() { return S_OK; }
    virtual HRESULT EnableModeless(BOOL) { return E_NOTIMPL; }
    virtual HRESULT OnDocWindowActivate(BOOL) { return E_NOTIMPL; }
    virtual HRESULT OnFrameWindowActivate(BOOL) { return E_NOTIMPL; }
    virtual HRESULT ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return E_NOTIMPL; }
    virtual HRESULT TranslateAccelerator(LPMSG, const GUID*, DWORD) { return S_FALSE; }
    virtual HRESULT GetOptionKeyPath(LPOLESTR*, DWORD) { return E_NOTIMPL; }
    virtual HRESULT GetDropTarget(IDropTarget*, IDropTarget**) { return S_FALSE; }
    virtual HRESULT GetExternal(IDispatch**) { return S_FALSE; }
    virtual HRESULT TranslateUrl(DWORD, OLECHAR*, OLECHAR** translated)
    {
        if (translated) *translated = nullptr;
        return E_NOTIMPL;
    }
    virtual HRESULT FilterDataObject(IDataObject*, IDataObject** filtered)
    {
        if (filtered) *filtered = nullptr;
        return E_NOTIMPL;
    }
    // The download manager's slot; the control offers no download manager, so it is not called.
    virtual HRESULT Download(IMoniker*, IBindCtx*, DWORD /*bindVerb*/, LONG /*bindFlags*/, BINDINFO*,
        LPCOLESTR /*headers*/, LPCOLESTR /*redirect*/, UINT /*codePage*/)
    {
        return E_NOTIMPL;
    }

protected:
    ~IWebBrowserEventsUI() = default;
};

class CWebBrowserUI : public CActiveXUI,
                      public CEventPartsUI<IDocHostUIHandler, IServiceProvider, IOleCommandTarget>,
                      public ITranslateAccelerator {
public:
    CWebBrowserUI();
    ~CWebBrowserUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    bool DoCreateControl() override;
    void ReleaseControl() override;

    void SetHomePage(const wchar_t* url) { m_sHomePage = url ? url : L""; }
    const CUIString& GetHomePage() const { return m_sHomePage; }
    void SetAutoNavigation(bool autoNavigate) { m_bAutoNavi = autoNavigate; }
    bool IsAutoNavigation() const { return m_bAutoNavi; }
    // The application's handler (not owned); null for the defaults.
    void SetWebBrowserEventHandler(IWebBrowserEventsUI* handler) { m_pWebBrowserEventHandler = handler; }
    void Navigate(const wchar_t* url);
    IWebBrowser2* GetWebBrowser2() const { return m_pWebBrowser2.Get(); }
    bool IsEventsConnected() const { return m_dwCookie != 0; }

    // IUnknown (one for every COM part)
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
    // IDispatch: the browser's events
    STDMETHOD(Invoke)(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;
    // IDocHostUIHandler
    STDMETHOD(ShowContextMenu)(DWORD id, POINT* pt, IUnknown* target, IDispatch* reserved) override;
    STDMETHOD(GetHostInfo)(DOCHOSTUIINFO* info) override;
    STDMETHOD(ShowUI)
    (DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target, IOleInPlaceFrame* frame,
        IOleInPlaceUIWindow* doc) override;
    STDMETHOD(HideUI)() override;
    STDMETHOD(UpdateUI)() override;
    STDMETHOD(EnableModeless)(BOOL enable) override;
    STDMETHOD(OnDocWindowActivate)(BOOL activate) override;
    STDMETHOD(OnFrameWindowActivate)(BOOL activate) override;
    STDMETHOD(ResizeBorder)(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    STDMETHOD(TranslateAccelerator)(LPMSG msg, const GUID* group, DWORD id) override;
    STDMETHOD(GetOptionKeyPath)(LPOLESTR* key, DWORD reserved) override;
    STDMETHOD(GetDropTarget)(IDropTarget* target, IDropTarget** out) override;
    STDMETHOD(GetExternal)(IDispatch** out) override;
    STDMETHOD(TranslateUrl)(DWORD translate, OLECHAR* url, OLECHAR** out) override;
    STDMETHOD(FilterDataObject)(IDataObject* data, IDataObject** out) override;
    // IServiceProvider
    STDMETHOD(QueryService)(REFGUID service, REFIID iid, void** out) override;
    // IOleCommandTarget
    STDMETHOD(QueryStatus)(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
    STDMETHOD(Exec)(const GUID* group, DWORD id, DWORD options, VARIANT* in, VARIANT* out) override;
    // ITranslateAccelerator of the window manager
    LRESULT TranslateAccelerator(MSG* msg) override;

private:
    IWebBrowserEventsUI& handler();
    HRESULT readScriptError(VARIANT* in);
    // One step per event of the browser; the arguments come last first.
    HRESULT beforeNavigate(DISPPARAMS* params);
    HRESULT navigateComplete(DISPPARAMS* params);
    HRESULT navigateError(DISPPARAMS* params);
    HRESULT newWindow(DISPPARAMS* params);
    HRESULT commandStateChange(DISPPARAMS* params);
    // The document of a browser answers to this control (or, for null, to no one).
    static void setDocumentHandler(IWebBrowser2* browser, IDocHostUIHandler* handler);

    Com::ComPtr<IWebBrowser2> m_pWebBrowser2;
    DWORD m_dwCookie = 0;
    CUIString m_sHomePage;
    bool m_bAutoNavi = false;
    IWebBrowserEventsUI* m_pWebBrowserEventHandler = nullptr;
};

}  // namespace SkinUI
