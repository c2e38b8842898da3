#include "ActiveXSite.h"

#include "ComGuard.h"

#include <atomic>
#include <new>

namespace SkinUI {

namespace {

std::atomic<long> g_liveHostObjects{0};

// IOleInPlaceFrame for the hosted object: the manager's window is its frame.
class CActiveXFrameWnd final : public CComObjectUI<CActiveXFrameWnd, IOleInPlaceFrame> {
    friend class CComObjectUI<CActiveXFrameWnd, IOleInPlaceFrame>;

public:
    explicit CActiveXFrameWnd(CActiveXUI* owner) : m_pOwner(owner) { ++g_liveHostObjects; }
    CActiveXFrameWnd(const CActiveXFrameWnd&) = delete;
    CActiveXFrameWnd& operator=(const CActiveXFrameWnd&) = delete;

    STDMETHOD(QueryInterface)(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        bool frame = iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IOleInPlaceUIWindow ||
            iid == IID_IOleInPlaceFrame;
        return AnswerInterface(out, frame ? this : nullptr);
    }
    STDMETHOD(GetWindow)(HWND* out) override
    {
        if (!out) return E_POINTER;
        *out = m_pOwner && m_pOwner->GetManager() ? m_pOwner->GetManager()->GetPaintWindow() : nullptr;
        return *out ? S_OK : E_FAIL;
    }
    STDMETHOD(ContextSensitiveHelp)(BOOL) override { return S_OK; }
    STDMETHOD(GetBorder)(LPRECT) override { return S_OK; }
    STDMETHOD(RequestBorderSpace)(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHOD(SetBorderSpace)(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHOD(SetActiveObject)(IOleInPlaceActiveObject* object, LPCOLESTR) override
    {
        m_pActiveObject = object;
        return S_OK;
    }
    STDMETHOD(InsertMenus)(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHOD(SetMenu)(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHOD(RemoveMenus)(HMENU) override { return S_OK; }
    STDMETHOD(SetStatusText)(LPCOLESTR) override { return S_OK; }
    STDMETHOD(EnableModeless)(BOOL) override { return S_OK; }
    STDMETHOD(TranslateAccelerator)(LPMSG, WORD) override { return S_FALSE; }

private:
    ~CActiveXFrameWnd() { --g_liveHostObjects; }
    CActiveXUI* m_pOwner;
    Com::ComPtr<IOleInPlaceActiveObject> m_pActiveObject;
};

// IEnumUnknown over the container's one object.
class CActiveXEnum final : public CComObjectUI<CActiveXEnum, IEnumUnknown> {
    friend class CComObjectUI<CActiveXEnum, IEnumUnknown>;

public:
    explicit CActiveXEnum(IUnknown* object) : m_pUnk(object) { ++g_liveHostObjects; }
    CActiveXEnum(const CActiveXEnum&) = delete;
    CActiveXEnum& operator=(const CActiveXEnum&) = delete;

    STDMETHOD(QueryInterface)(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        return AnswerInterface(out, iid == IID_IUnknown || iid == IID_IEnumUnknown ? this : nullptr);
    }
    // Hands out the one object on the first call; a count above 1 fetches just it.
    STDMETHOD(Next)(ULONG count, IUnknown** out, ULONG* fetched) override
    {
        if (fetched) *fetched = 0;
        if (count == 0) return S_OK;
        if (!out) return E_POINTER;
        if (count > 1 && !fetched) return E_INVALIDARG;
        if (m_iPos > 0 || !m_pUnk) return S_FALSE;
        ++m_iPos;
        m_pUnk.CopyTo(&out[0]);
        if (fetched) *fetched = 1;
        return count == 1 ? S_OK : S_FALSE;
    }
    STDMETHOD(Skip)(ULONG count) override
    {
        m_iPos += count;
        return m_iPos > 1 ? S_FALSE : S_OK;
    }
    STDMETHOD(Reset)() override
    {
        m_iPos = 0;
        return S_OK;
    }
    STDMETHOD(Clone)(IEnumUnknown** out) override
    {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    ~CActiveXEnum() { --g_liveHostObjects; }
    ULONG m_iPos = 0;
    Com::ComPtr<IUnknown> m_pUnk;
};

}  // namespace

long CActiveXUI::GetLiveHostObjects()
{
    return g_liveHostObjects;
}

// --- CActiveXWnd ---

HWND CActiveXWnd::Init(CActiveXCtrl* owner, HWND parent)
{
    m_pOwner = owner;
    return CreateNativeWindow(
        parent, L"UIActiveX", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, 0);
}

const wchar_t* CActiveXWnd::GetWindowClassName() const
{
    return L"ActiveXWnd";
}

LRESULT CActiveXWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    IOleObject* object = m_pOwner && m_pOwner->m_pOwner ? m_pOwner->m_pOwner->m_pUnk.Get() : nullptr;
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        ::BeginPaint(m_hWnd, &ps);
        ::EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        if (m_pOwner && m_pOwner->HasViewObject()) return 1;
        break;
    case WM_SETFOCUS:
        if (m_pOwner) {
            m_pOwner->m_bFocused = true;
            if (!m_pOwner->m_bUIActivated && object) {
                RECT rc = m_pOwner->ObjectRect();
                object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, m_pOwner, 0, m_hWnd, &rc);
            }
        }
        break;
    case WM_KILLFOCUS:
        if (m_pOwner) m_pOwner->m_bFocused = false;
        break;
    case WM_MOUSEACTIVATE: {
        if (!object) break;
        DWORD status = 0;
        object->GetMiscStatus(DVASPECT_CONTENT, &status);
        if (status & OLEMISC_NOUIACTIVATE) return 0;
        if (!m_pOwner->m_bInPlaceActive) {
            RECT rc = m_pOwner->ObjectRect();
            object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_pOwner, 0, m_hWnd, &rc);
        }
        break;
    }
    case WM_MOUSEWHEEL: return 0;
    default: break;
    }
    return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

// --- CActiveXCtrl ---

CActiveXCtrl::CActiveXCtrl(CActiveXUI* owner) : m_pOwner(owner)
{
    ++g_liveHostObjects;
}

CActiveXCtrl::~CActiveXCtrl()
{
    destroyHostWindow();
    if (m_hAccel) ::DestroyAcceleratorTable(m_hAccel);
    --g_liveHostObjects;
}

STDMETHODIMP CActiveXCtrl::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    IUnknown* part = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        part = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleInPlaceSiteWindowless || iid == IID_IOleInPlaceSiteEx || iid == IID_IOleInPlaceSite ||
        iid == IID_IOleWindow)
        part = static_cast<IOleInPlaceSiteWindowless*>(this);
    else if (iid == IID_IOleControlSite)
        part = static_cast<IOleControlSite*>(this);
    else if (iid == IID_IObjectWithSite)
        part = static_cast<IObjectWithSite*>(this);
    else if (iid == IID_IOleContainer || iid == IID_IParseDisplayName)
        part = static_cast<IOleContainer*>(this);
    return AnswerInterface(out, part);
}

HWND CActiveXCtrl::HostWindow() const
{
    return m_pWindow ? m_pWindow->GetWindowHandle() : nullptr;
}

RECT CActiveXCtrl::ObjectRect() const
{
    if (!m_pOwner) return RECT{};
    RECT rc = m_pOwner->GetPos();
    if (!m_bWindowless) ::OffsetRect(&rc, -rc.left, -rc.top);
    return rc;
}

HRESULT CActiveXCtrl::createHostWindow()
{
    if (!m_pOwner || !m_pOwner->GetManager()) return E_UNEXPECTED;
    if (HostWindow()) return S_OK;
    destroyHostWindow();
    m_pWindow = new (std::nothrow) CActiveXWnd;
    if (!m_pWindow) return E_OUTOFMEMORY;
    if (!m_pWindow->Init(this, m_pOwner->GetManager()->GetPaintWindow())) {
        delete m_pWindow;
        m_pWindow = nullptr;
        return E_FAIL;
    }
    m_pOwner->m_hwndHost = m_pWindow->GetWindowHandle();
    // The host window is made visible with the control.
    if (!m_pOwner->IsVisible()) ::ShowWindow(m_pWindow->GetWindowHandle(), SW_HIDE);
    return S_OK;
}

void CActiveXCtrl::destroyHostWindow()
{
    if (!m_pWindow) return;
    if (::IsWindow(m_pWindow->GetWindowHandle())) ::DestroyWindow(m_pWindow->GetWindowHandle());
    delete m_pWindow;
    m_pWindow = nullptr;
}

// IOleClientSite

STDMETHODIMP CActiveXCtrl::SaveObject()
{
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::GetMoniker(DWORD, DWORD, IMoniker** out)
{
    if (out) *out = nullptr;
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::GetContainer(IOleContainer** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_pOwner) return E_UNEXPECTED;
    if (m_pUnkSite && SUCCEEDED(m_pUnkSite->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(out))))
        return S_OK;
    return QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(out));
}

STDMETHODIMP CActiveXCtrl::ShowObject()
{
    return Com::guarded([&] {
        if (!m_pOwner) return E_UNEXPECTED;
        HWND window = HostWindow() ? HostWindow() : m_pOwner->m_hwndHost;
        HDC dc = window ? ::GetDC(window) : nullptr;
        if (!dc) return E_FAIL;
        if (m_pViewObject) {
            RECT rc = ObjectRect();
            RECTL bounds{rc.left, rc.top, rc.right, rc.bottom};
            m_pViewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, &bounds, nullptr, 0);
        }
        ::ReleaseDC(window, dc);
        return S_OK;
    });
}

STDMETHODIMP CActiveXCtrl::OnShowWindow(BOOL)
{
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::RequestNewObjectLayout()
{
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

// IOleWindow

STDMETHODIMP CActiveXCtrl::GetWindow(HWND* out)
{
    return Com::guarded([&] {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!m_pOwner) return E_UNEXPECTED;
        if (!m_pOwner->m_hwndHost) createHostWindow();
        *out = m_pOwner->m_hwndHost;
        return *out ? S_OK : E_FAIL;
    });
}

STDMETHODIMP CActiveXCtrl::ContextSensitiveHelp(BOOL)
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

// IOleInPlaceSite

STDMETHODIMP CActiveXCtrl::CanInPlaceActivate()
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceActivate()
{
    BOOL noRedraw = FALSE;
    return OnInPlaceActivateEx(&noRedraw, 0);
}

STDMETHODIMP CActiveXCtrl::OnUIActivate()
{
    if (!m_pOwner) return E_UNEXPECTED;
    m_bUIActivated = true;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetWindowContext(
    IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    return Com::guarded([&] {
        if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
        *frame = nullptr;
        *doc = nullptr;
        if (!m_pOwner || !m_pOwner->GetManager()) return E_UNEXPECTED;
        if (HostWindow()) {
            ::GetClientRect(HostWindow(), pos);
            ::GetClientRect(HostWindow(), clip);
        } else {
            *pos = ObjectRect();
            *clip = *pos;
        }
        *frame = new (std::nothrow) CActiveXFrameWnd(m_pOwner);
        if (!*frame) return E_OUTOFMEMORY;
        // One table per site, destroyed with it.
        if (!m_hAccel) {
            ACCEL empty{};
            m_hAccel = ::CreateAcceleratorTableW(&empty, 1);
        }
        info->cb = sizeof(OLEINPLACEFRAMEINFO);
        info->fMDIApp = FALSE;
        info->hwndFrame = m_pOwner->GetManager()->GetPaintWindow();
        info->haccel = m_hAccel;
        info->cAccelEntries = 1;
        return S_OK;
    });
}

STDMETHODIMP CActiveXCtrl::Scroll(SIZE)
{
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::OnUIDeactivate(BOOL)
{
    if (!m_pOwner) return E_UNEXPECTED;
    m_bUIActivated = false;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::OnInPlaceDeactivate()
{
    return OnInPlaceDeactivateEx(TRUE);
}

STDMETHODIMP CActiveXCtrl::DiscardUndoState()
{
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::DeactivateAndUndo()
{
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::OnPosRectChange(LPCRECT)
{
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

// IOleInPlaceSiteEx

STDMETHODIMP CActiveXCtrl::OnInPlaceActivateEx(BOOL*, DWORD flags)
{
    return Com::guarded([&] {
        if (!m_pOwner || !m_pOwner->m_pUnk || !m_pOwner->GetManager()) return E_UNEXPECTED;
        ::OleLockRunning(m_pOwner->m_pUnk.Get(), TRUE, FALSE);
        m_pInPlaceObject = nullptr;
        HRESULT hr = E_FAIL;
        if (flags & ACTIVATE_WINDOWLESS) {
            m_bWindowless = true;
            hr = m_pOwner->m_pUnk->QueryInterface(IID_IOleInPlaceObjectWindowless, m_pInPlaceObject.PutVoid());
            if (SUCCEEDED(hr)) {
                m_pOwner->m_hwndHost = m_pOwner->GetManager()->GetPaintWindow();
                m_pOwner->GetManager()->AddMessageFilter(m_pOwner);
            }
        }
        if (FAILED(hr)) {
            m_bWindowless = false;
            hr = createHostWindow();
            if (SUCCEEDED(hr)) hr = m_pOwner->m_pUnk->QueryInterface(IID_IOleInPlaceObject, m_pInPlaceObject.PutVoid());
        }
        if (m_pInPlaceObject) {
            RECT rc = ObjectRect();
            m_pInPlaceObject->SetObjectRects(&rc, &rc);
        }
        m_bInPlaceActive = SUCCEEDED(hr);
        return hr;
    });
}

STDMETHODIMP CActiveXCtrl::OnInPlaceDeactivateEx(BOOL)
{
    return Com::guarded([&] {
        m_bInPlaceActive = false;
        m_pInPlaceObject = nullptr;
        if (m_pOwner && m_pOwner->m_hwndHost == HostWindow()) m_pOwner->m_hwndHost = nullptr;
        destroyHostWindow();
        return S_OK;
    });
}

STDMETHODIMP CActiveXCtrl::RequestUIActivate()
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

// IOleInPlaceSiteWindowless

STDMETHODIMP CActiveXCtrl::CanWindowlessActivate()
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::GetCapture()
{
    if (!m_pOwner) return E_UNEXPECTED;
    return m_bCaptured ? S_OK : S_FALSE;
}

STDMETHODIMP CActiveXCtrl::SetCapture(BOOL capture)
{
    return Com::guarded([&] {
        if (!m_pOwner) return E_UNEXPECTED;
        m_bCaptured = capture == TRUE;
        if (m_bCaptured)
            ::SetCapture(m_pOwner->m_hwndHost);
        else
            ::ReleaseCapture();
        return S_OK;
    });
}

STDMETHODIMP CActiveXCtrl::GetFocus()
{
    if (!m_pOwner) return E_UNEXPECTED;
    return m_bFocused ? S_OK : S_FALSE;
}

STDMETHODIMP CActiveXCtrl::SetFocus(BOOL focus)
{
    return Com::guarded([&] {
        if (!m_pOwner) return E_UNEXPECTED;
        if (focus) m_pOwner->SetFocus();
        m_bFocused = focus == TRUE;
        return S_OK;
    });
}

STDMETHODIMP CActiveXCtrl::GetDC(LPCRECT, DWORD flags, HDC* out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_pOwner) return E_UNEXPECTED;
    *out = ::GetDC(m_pOwner->m_hwndHost);
    if (!*out) return E_FAIL;
    if (flags & OLEDC_PAINTBKGND) {
        RECT rc = ObjectRect();
        ::FillRect(*out, &rc, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    }
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ReleaseDC(HDC dc)
{
    if (!m_pOwner) return E_UNEXPECTED;
    ::ReleaseDC(m_pOwner->m_hwndHost, dc);
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::InvalidateRect(LPCRECT rect, BOOL erase)
{
    if (!m_pOwner) return E_UNEXPECTED;
    if (!m_pOwner->m_hwndHost) return E_FAIL;
    return ::InvalidateRect(m_pOwner->m_hwndHost, rect, erase) ? S_OK : E_FAIL;
}

STDMETHODIMP CActiveXCtrl::InvalidateRgn(HRGN region, BOOL erase)
{
    if (!m_pOwner) return E_UNEXPECTED;
    if (!m_pOwner->m_hwndHost) return E_FAIL;
    return ::InvalidateRgn(m_pOwner->m_hwndHost, region, erase) ? S_OK : E_FAIL;
}

STDMETHODIMP CActiveXCtrl::ScrollRect(INT, INT, LPCRECT, LPCRECT)
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::AdjustRect(LPRECT)
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::OnDefWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    return Com::guarded([&] {
        if (!m_pOwner) return E_UNEXPECTED;
        LRESULT answer = ::DefWindowProcW(m_pOwner->m_hwndHost, msg, wParam, lParam);
        if (result) *result = answer;
        return S_OK;
    });
}

// IOleControlSite

STDMETHODIMP CActiveXCtrl::OnControlInfoChanged()
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::LockInPlaceActive(BOOL)
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::GetExtendedControl(IDispatch** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_pOwner || !m_pOwner->m_pUnk) return E_UNEXPECTED;
    return m_pOwner->m_pUnk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

STDMETHODIMP CActiveXCtrl::TransformCoords(POINTL*, POINTF*, DWORD)
{
    return m_pOwner ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::TranslateAccelerator(MSG*, DWORD)
{
    return m_pOwner ? S_FALSE : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::OnFocus(BOOL gotFocus)
{
    if (!m_pOwner) return E_UNEXPECTED;
    m_bFocused = gotFocus == TRUE;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::ShowPropertyFrame()
{
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

// IObjectWithSite

STDMETHODIMP CActiveXCtrl::SetSite(IUnknown* site)
{
    if (!m_pOwner) return E_UNEXPECTED;
    m_pUnkSite = site;
    return S_OK;
}

STDMETHODIMP CActiveXCtrl::GetSite(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_pOwner) return E_UNEXPECTED;
    if (!m_pUnkSite) return E_FAIL;
    return m_pUnkSite->QueryInterface(iid, out);
}

// IOleContainer

STDMETHODIMP CActiveXCtrl::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker** out)
{
    if (out) *out = nullptr;
    return m_pOwner ? E_NOTIMPL : E_UNEXPECTED;
}

STDMETHODIMP CActiveXCtrl::EnumObjects(DWORD, IEnumUnknown** out)
{
    return Com::guarded([&] {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!m_pOwner) return E_UNEXPECTED;
        *out = new (std::nothrow) CActiveXEnum(m_pOwner->m_pUnk.Get());
        return *out ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP CActiveXCtrl::LockContainer(BOOL lock)
{
    if (!m_pOwner) return E_UNEXPECTED;
    m_bLocked = lock != FALSE;
    return S_OK;
}

}  // namespace SkinUI
