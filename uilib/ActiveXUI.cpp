#include "ActiveXUI.h"

#include "AttributeTable.h"
#include "ActiveXSite.h"

#include <new>

namespace SkinUI {

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

bool isMouseMessage(UINT msg)
{
    return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST;
}

}  // namespace

CActiveXUI::CActiveXUI() = default;

CActiveXUI::~CActiveXUI()
{
    ReleaseControl();
    // The module's code may run until its object is gone.
    if (m_hModule) ::FreeLibrary(m_hModule);
}

const wchar_t* CActiveXUI::GetClassName() const
{
    return L"ActiveXUI";
}

LPVOID CActiveXUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ActiveX") == 0) return this;
    return CControlUI::GetInterfaceByName(name);
}

bool CActiveXUI::IsWindowless() const
{
    return m_pControl && m_pControl->IsWindowless();
}

bool CActiveXUI::IsInPlaceActive() const
{
    return m_pControl && m_pControl->IsInPlaceActive();
}

bool CActiveXUI::CreateControl(const CLSID& clsid)
{
    if (clsid == CLSID_NULL) return false;
    m_clsid = clsid;
    m_bCreated = false;
    if (!m_bDelayCreate) return DoCreateControl();
    return true;
}

bool CActiveXUI::CreateControl(const wchar_t* clsidOrProgId)
{
    if (!clsidOrProgId) return false;
    wchar_t text[100] = {};
    wcsncpy(text, clsidOrProgId, 99);
    CLSID clsid = CLSID_NULL;
    HRESULT hr = text[0] == L'{' ? ::CLSIDFromString(text, &clsid) : ::CLSIDFromProgID(text, &clsid);
    if (FAILED(hr)) return false;
    return CreateControl(clsid);
}

void CActiveXUI::SetDelayCreate(bool delay)
{
    if (m_bDelayCreate == delay) return;
    if (!delay && !m_bCreated && m_clsid != CLSID_NULL) {
        m_bDelayCreate = delay;
        DoCreateControl();
        return;
    }
    m_bDelayCreate = delay;
}

void CActiveXUI::SetModuleName(const wchar_t* name)
{
    m_sModuleName = name ? name : L"";
}

HRESULT CActiveXUI::GetControl(const IID& iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_pUnk) return E_PENDING;
    return m_pUnk->QueryInterface(iid, out);
}

bool CActiveXUI::createObject()
{
    Com::ComPtr<IOleControl> control;
    if (!m_sModuleName.IsEmpty()) {
        if (!m_hModule) m_hModule = ::LoadLibraryW(m_sModuleName);
        auto getClassObject = m_hModule ? reinterpret_cast<GetClassObjectFn>(
                                              reinterpret_cast<void*>(::GetProcAddress(m_hModule, "DllGetClassObject")))
                                        : nullptr;
        Com::ComPtr<IClassFactory> factory;
        if (getClassObject && SUCCEEDED(getClassObject(m_clsid, IID_IClassFactory, factory.PutVoid())) && factory)
            factory->CreateInstance(nullptr, IID_IOleObject, control.PutVoid());
    }
    if (!control && FAILED(::CoCreateInstance(m_clsid, nullptr, CLSCTX_ALL, IID_IOleControl, control.PutVoid())))
        control = nullptr;
    if (!control) return false;
    return SUCCEEDED(control.As(IID_IOleObject, m_pUnk)) && m_pUnk;
}

bool CActiveXUI::DoCreateControl()
{
    ReleaseControl();
    // Without a window there is nothing to activate in: the first layout in one tries.
    if (!m_pManager) return false;
    m_bCreated = true;
    if (m_clsid == CLSID_NULL || !createObject()) return false;
    m_pControl = Com::ComPtr<CActiveXCtrl>::Adopt(new (std::nothrow) CActiveXCtrl(this));
    if (!m_pControl) {
        ReleaseControl();
        return false;
    }
    DWORD status = 0;
    m_pUnk->GetMiscStatus(DVASPECT_CONTENT, &status);
    bool siteGiven = (status & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteGiven) m_pUnk->SetClientSite(m_pControl.Get());
    auto persist = m_pUnk.Query<IPersistStreamInit>(IID_IPersistStreamInit);
    if (persist && FAILED(persist->InitNew())) {
        ReleaseControl();
        return false;
    }
    if (!siteGiven) m_pUnk->SetClientSite(m_pControl.Get());
    Com::ComPtr<IViewObject>& view = m_pControl->m_pViewObject;
    if (FAILED(m_pUnk.As(IID_IViewObjectEx, view)) && FAILED(m_pUnk.As(IID_IViewObject2, view)) &&
        FAILED(m_pUnk.As(IID_IViewObject, view)))
        view = nullptr;
    m_pUnk->SetHostNames(L"UIActiveX", nullptr);
    m_pManager->SendNotify(this, L"showactivex");
    // The handler may have released or replaced the object.
    if (!m_pUnk || !m_pControl) return false;
    bool activated = true;
    if (!(status & OLEMISC_INVISIBLEATRUNTIME)) {
        RECT rc = m_rcItem;
        activated = SUCCEEDED(
            m_pUnk->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_pControl.Get(), 0, m_pManager->GetPaintWindow(), &rc));
    }
    if (auto withSite = m_pUnk.Query<IObjectWithSite>(IID_IObjectWithSite))
        withSite->SetSite(static_cast<IOleClientSite*>(m_pControl.Get()));
    return activated;
}

void CActiveXUI::ReleaseControl()
{
    m_hwndHost = nullptr;
    if (m_pUnk) {
        if (auto withSite = m_pUnk.Query<IObjectWithSite>(IID_IObjectWithSite)) withSite->SetSite(nullptr);
        m_pUnk->Close(OLECLOSE_NOSAVE);
        m_pUnk->SetClientSite(nullptr);
    }
    if (m_pControl) {
        // What the site still holds of the object goes before the object does,
        // so that no reference cycle keeps either alive.
        m_pControl->OnInPlaceDeactivateEx(TRUE);
        m_pControl->m_pViewObject = nullptr;
        m_pControl->m_pUnkSite = nullptr;
        m_pControl->m_pOwner = nullptr;
        m_pControl = nullptr;
    }
    m_pUnk = nullptr;
    if (m_pManager) m_pManager->RemoveMessageFilter(this);
}

HRESULT CActiveXUI::connectEvents(const IID& events, IUnknown* sink, DWORD& cookie, bool connect)
{
    if (!connect && !cookie) return S_OK;
    Com::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = GetControl(IID_IConnectionPointContainer, container.PutVoid());
    Com::ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(hr) && container) hr = container->FindConnectionPoint(events, point.Put());
    if (SUCCEEDED(hr) && point) {
        if (connect) {
            hr = point->Advise(sink, &cookie);
            if (FAILED(hr)) cookie = 0;
        } else {
            hr = point->Unadvise(cookie);
        }
    }
    if (!connect) cookie = 0;
    return FAILED(hr) ? hr : (point ? S_OK : E_FAIL);
}

LRESULT CActiveXUI::translateObjectAccelerator(IUnknown* object, MSG* msg)
{
    if (!msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return S_FALSE;
    if (!object) return E_NOTIMPL;
    HWND host = GetHostWindow();
    HWND focus = ::GetFocus();
    if (!host || (focus != host && !::IsChild(host, focus))) return S_FALSE;
    Com::ComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(object->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid())) || !active) return S_FALSE;
    return active->TranslateAccelerator(msg);
}

void CActiveXUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    if (!m_bCreated) DoCreateControl();
    if (!m_pUnk || !m_pControl) return;
    SIZEL extent{m_rcItem.right - m_rcItem.left, m_rcItem.bottom - m_rcItem.top};
    HDC screen = ::GetDC(nullptr);
    extent.cx = ::MulDiv(extent.cx, 2540, ::GetDeviceCaps(screen, LOGPIXELSX));
    extent.cy = ::MulDiv(extent.cy, 2540, ::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
    m_pUnk->SetExtent(DVASPECT_CONTENT, &extent);
    if (m_pControl->m_pInPlaceObject) {
        RECT object = m_pControl->ObjectRect();
        m_pControl->m_pInPlaceObject->SetObjectRects(&object, &object);
    }
    if (!m_pControl->IsWindowless() && m_pControl->HostWindow()) {
        ::MoveWindow(m_pControl->HostWindow(), m_rcItem.left, m_rcItem.top, m_rcItem.right - m_rcItem.left,
            m_rcItem.bottom - m_rcItem.top, TRUE);
    }
}

void CActiveXUI::Paint(HDC dc, const RECT& paint)
{
    RECT common{};
    if (!::IntersectRect(&common, &paint, &m_rcItem)) return;
    if (!m_pControl || !m_pControl->IsWindowless() || !m_pControl->m_pViewObject) return;
    RECTL bounds{m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.bottom};
    m_pControl->m_pViewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, &bounds, nullptr, 0);
}

void CActiveXUI::SetVisible(bool visible)
{
    CControlUI::SetVisible(visible);
    if (m_pControl && !m_pControl->IsWindowless() && m_pControl->HostWindow())
        ::ShowWindow(m_pControl->HostWindow(), IsVisible() ? SW_SHOW : SW_HIDE);
}

void CActiveXUI::SetInheritedVisible(bool visible)
{
    CControlUI::SetInheritedVisible(visible);
    if (m_pControl && !m_pControl->IsWindowless() && m_pControl->HostWindow())
        ::ShowWindow(m_pControl->HostWindow(), IsVisible() ? SW_SHOW : SW_HIDE);
}

void CActiveXUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    static const AttributeSetter<CActiveXUI> kSetters[] = {
        {L"clsid", [](auto& a, auto v) { a.CreateControl(v); }},
        {L"modulename", [](auto& a, auto v) { a.SetModuleName(v); }},
        {L"delaycreate", [](auto& a, auto v) { a.SetDelayCreate(AttributeValue::ParseBool(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CControlUI::SetAttribute(name, value);
}

LRESULT CActiveXUI::FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (!m_pControl || !m_pControl->IsInPlaceActive() || !m_pControl->IsWindowless() || !m_pControl->m_pInPlaceObject)
        return 0;
    bool countsAsHandled = true;
    if (msg == WM_SETCURSOR || isMouseMessage(msg)) {
        if (!IsMouseEnabled()) return 0;
        if (!m_pControl->IsCaptured()) {
            POINT pt{};
            if (msg == WM_SETCURSOR) {
                ::GetCursorPos(&pt);
                ::ScreenToClient(m_hwndHost, &pt);
            } else {
                pt = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                // The wheels' points are on the screen, the other mouse messages' in the window.
                if (msg == WM_MOUSEWHEEL || msg == WM_MOUSEHWHEEL) ::ScreenToClient(m_hwndHost, &pt);
            }
            DWORD hit = HITRESULT_OUTSIDE;
            if (auto viewEx = m_pControl->m_pViewObject.Query<IViewObjectEx>(IID_IViewObjectEx))
                viewEx->QueryHitPoint(DVASPECT_CONTENT, &m_rcItem, pt, 0, &hit);
            if (hit != HITRESULT_HIT) return 0;
        }
        countsAsHandled = msg != WM_SETCURSOR;
    } else if (msg == WM_HELP || msg == WM_CONTEXTMENU) {
        countsAsHandled = false;
    } else if (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) {
        if (!IsFocused()) return 0;
    } else {
        return 0;
    }
    auto* windowless = static_cast<IOleInPlaceObjectWindowless*>(m_pControl->m_pInPlaceObject.Get());
    LRESULT result = 0;
    if (windowless->OnWindowMessage(msg, wParam, lParam, &result) == S_OK) handled = countsAsHandled;
    return result;
}

}  // namespace SkinUI
