// Implementation details: the control keeps the container's sites only while it
// needs them (the client site from SetClientSite to SetClientSite(NULL), the
// in-place sites from activation to deactivation), so that a container that
// forgets to deactivate still gets its sites back when the control goes. The
// windowed control's window carries the control in its user data, cleared when
// the window goes, so no message reaches a control that is gone.
#include "ControlBase.h"

#include <olectl.h>

namespace Atl {

// Reaches the control's private window handling from the window procedure.
struct ControlWindowAccess {
    static LRESULT message(ControlBase& control, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return control.controlWindowMessage(window, message, wParam, lParam);
    }
    static void windowGone(ControlBase& control) { control.controlWindow_ = nullptr; }
};

namespace {

const wchar_t kControlWindowClass[] = L"AtlControlWindow";
// 300 x 150 pixels at 96 dots per inch, in HIMETRIC.
constexpr LONG kDefaultWidth = 7938;
constexpr LONG kDefaultHeight = 3969;
// OLEMISC_RECOMPOSEONRESIZE | CANTLINKINSIDE | INSIDEOUT | ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST.
constexpr DWORD kMiscStatus = 0x00020191;

LRESULT CALLBACK controlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto control = reinterpret_cast<ControlBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && control) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        ControlWindowAccess::windowGone(*control);
        control = nullptr;
    }
    if (!control) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return ControlWindowAccess::message(*control, window, message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);  // nothing leaves a window procedure
    }
}

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&controlWindowProc), &module);
    return module;
}

bool registerControlWindowClass(HINSTANCE module)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = controlWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    // A control that draws nothing shows the window colour, not what lay there before.
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kControlWindowClass;
    return RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

RECT toRect(const RECTL& r)
{
    return RECT{r.left, r.top, r.right, r.bottom};
}

}  // namespace

ControlBase::ControlBase() : extent_{kDefaultWidth, kDefaultHeight} {}

ControlBase::~ControlBase()
{
    if (controlWindow_) {
        SetWindowLongPtrW(controlWindow_, GWLP_USERDATA, 0);
        DestroyWindow(controlWindow_);
    }
}

// ---- IOleObject

STDMETHODIMP ControlBase::SetClientSite(IOleClientSite* site)
{
    clientSite_ = site;
    return S_OK;
}

STDMETHODIMP ControlBase::GetClientSite(IOleClientSite** site)
{
    if (!site) return E_POINTER;
    return clientSite_.CopyTo(site);
}

STDMETHODIMP ControlBase::Close(DWORD)
{
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

STDMETHODIMP ControlBase::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlBase::GetClipboardData(DWORD, IDataObject** data)
{
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlBase::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT position)
{
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE: return InPlaceActivate(verb, position);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (controlWindow_) ShowWindow(controlWindow_, SW_HIDE);
        return S_OK;
    default: return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

STDMETHODIMP ControlBase::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (!verbs) return E_POINTER;
    *verbs = nullptr;
    return OleRegEnumVerbs(controlClassId(), verbs);
}

STDMETHODIMP ControlBase::GetUserClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = controlClassId();
    return S_OK;
}

STDMETHODIMP ControlBase::GetUserType(DWORD form, LPOLESTR* type)
{
    if (!type) return E_POINTER;
    return OleRegGetUserType(controlClassId(), form, type);
}

STDMETHODIMP ControlBase::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP ControlBase::GetExtent(DWORD aspect, SIZEL* size)
{
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP ControlBase::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!adviseHolder_) {
        HRESULT hr = CreateOleAdviseHolder(adviseHolder_.Put());
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP ControlBase::Unadvise(DWORD connection)
{
    if (!adviseHolder_) return OLE_E_NOCONNECTION;
    return adviseHolder_->Unadvise(connection);
}

STDMETHODIMP ControlBase::EnumAdvise(IEnumSTATDATA** advises)
{
    if (!advises) return E_POINTER;
    *advises = nullptr;
    if (!adviseHolder_) return E_FAIL;
    return adviseHolder_->EnumAdvise(advises);
}

STDMETHODIMP ControlBase::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status) return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

// ---- IOleWindow

STDMETHODIMP ControlBase::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = controlWindow_;
    return controlWindow_ ? S_OK : E_FAIL;
}

// ---- activation

HRESULT ControlBase::InPlaceActivate(LONG verb, const RECT*)
{
    if (!clientSite_) return S_OK;  // nothing to activate into yet
    if (!inPlaceActive_) {
        HRESULT hr = activateInPlace();
        if (FAILED(hr)) return hr;
    }
    if (verb == OLEIVERB_INPLACEACTIVATE) return S_OK;
    if (controlWindow_ && verb != OLEIVERB_HIDE) ShowWindow(controlWindow_, SW_SHOW);
    return activateUI();
}

HRESULT ControlBase::activateInPlace()
{
    if (wantWindowless_ && SUCCEEDED(clientSite_.As(windowlessSite_))) {
        inPlaceSite_ = windowlessSite_.Get();
        inPlaceSiteEx_ = windowlessSite_.Get();
    } else {
        windowlessSite_ = nullptr;
        if (SUCCEEDED(clientSite_.As(inPlaceSiteEx_)))
            inPlaceSite_ = inPlaceSiteEx_.Get();
        else if (FAILED(clientSite_.As(inPlaceSite_)))
            return E_FAIL;
    }
    if (inPlaceSite_->CanInPlaceActivate() != S_OK) {
        inPlaceSite_ = nullptr;
        inPlaceSiteEx_ = nullptr;
        windowlessSite_ = nullptr;
        return E_FAIL;
    }
    windowless_ = windowlessSite_ && windowlessSite_->CanWindowlessActivate() == S_OK;
    if (!windowless_) windowlessSite_ = nullptr;

    inPlaceActive_ = true;
    HRESULT hr;
    if (inPlaceSiteEx_) {
        BOOL noRedraw = FALSE;
        hr = inPlaceSiteEx_->OnInPlaceActivateEx(&noRedraw, windowless_ ? ACTIVATE_WINDOWLESS : 0);
    } else {
        hr = inPlaceSite_->OnInPlaceActivate();
    }
    if (FAILED(hr)) {
        inPlaceActive_ = false;
        windowless_ = false;
        inPlaceSite_ = nullptr;
        inPlaceSiteEx_ = nullptr;
        windowlessSite_ = nullptr;
        return hr;
    }

    inPlaceSite_->GetWindow(&containerWindow_);
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    RECT position{}, clip{};
    if (SUCCEEDED(inPlaceSite_->GetWindowContext(frame_.Put(), documentWindow_.Put(), &position, &clip, &frameInfo))) {
        position_ = position;
        clip_ = clip;
    }
    if (windowless_) return S_OK;
    hr = createControlWindow();
    if (FAILED(hr)) InPlaceDeactivate();
    return hr;
}

HRESULT ControlBase::activateUI()
{
    if (uiActive_) return S_OK;
    uiActive_ = true;
    if (inPlaceSite_) inPlaceSite_->OnUIActivate();
    if (windowless_) {
        if (windowlessSite_) windowlessSite_->SetFocus(TRUE);
    } else if (controlWindow_ && GetFocus() != controlWindow_ && !IsChild(controlWindow_, GetFocus())) {
        ::SetFocus(controlWindow_);
    }
    IOleInPlaceActiveObject* self = this;
    if (frame_) frame_->SetActiveObject(self, nullptr);
    if (documentWindow_) documentWindow_->SetActiveObject(self, nullptr);
    if (frame_) frame_->SetBorderSpace(nullptr);
    if (documentWindow_) documentWindow_->SetBorderSpace(nullptr);
    return S_OK;
}

HRESULT ControlBase::createControlWindow()
{
    HINSTANCE module = thisModule();
    if (!registerControlWindowClass(module)) return HRESULT_FROM_WIN32(GetLastError());
    const RECT& p = position_;
    controlWindow_ =
        CreateWindowExW(0, kControlWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, p.left,
            p.top, p.right - p.left, p.bottom - p.top, containerWindow_, nullptr, module, this);
    if (!controlWindow_) return HRESULT_FROM_WIN32(GetLastError());
    clipControlWindow();
    return S_OK;
}

// Shows only the part of the window inside the clip rectangle.
void ControlBase::clipControlWindow()
{
    RECT visible;
    if (!IntersectRect(&visible, &position_, &clip_) || EqualRect(&visible, &position_)) {
        SetWindowRgn(controlWindow_, nullptr, TRUE);
        return;
    }
    OffsetRect(&visible, -position_.left, -position_.top);
    HRGN region = CreateRectRgnIndirect(&visible);
    if (region && !SetWindowRgn(controlWindow_, region, TRUE)) DeleteObject(region);
}

STDMETHODIMP ControlBase::InPlaceDeactivate()
{
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    if (controlWindow_) {
        HWND window = controlWindow_;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        controlWindow_ = nullptr;
        DestroyWindow(window);
    }
    if (inPlaceSiteEx_)
        inPlaceSiteEx_->OnInPlaceDeactivateEx(TRUE);
    else if (inPlaceSite_)
        inPlaceSite_->OnInPlaceDeactivate();
    windowless_ = false;
    containerWindow_ = nullptr;
    frame_ = nullptr;
    documentWindow_ = nullptr;
    windowlessSite_ = nullptr;
    inPlaceSiteEx_ = nullptr;
    inPlaceSite_ = nullptr;
    return S_OK;
}

STDMETHODIMP ControlBase::UIDeactivate()
{
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (windowless_ && windowlessSite_) {
        if (windowlessSite_->GetCapture() == S_OK) windowlessSite_->SetCapture(FALSE);
        windowlessSite_->SetFocus(FALSE);
    }
    if (documentWindow_) documentWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP ControlBase::SetObjectRects(LPCRECT position, LPCRECT clip)
{
    if (!position || !clip) return E_POINTER;
    position_ = *position;
    clip_ = *clip;
    if (controlWindow_) {
        SetWindowPos(controlWindow_, nullptr, position->left, position->top, position->right - position->left,
            position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
        clipControlWindow();
    }
    return S_OK;
}

STDMETHODIMP ControlBase::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (!result) return E_POINTER;
    *result = 0;
    try {
        return processWindowMessage(nullptr, message, wParam, lParam, *result) ? S_OK : S_FALSE;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ControlBase::GetDropTarget(IDropTarget** target)
{
    if (target) *target = nullptr;
    return E_NOTIMPL;
}

// ---- drawing

STDMETHODIMP ControlBase::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC context, LPCRECTL bounds, LPCRECTL,
    BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!context) return E_INVALIDARG;
    DrawInfo info;
    info.context = context;
    if (bounds)
        info.bounds = toRect(*bounds);
    else if (windowless_)
        info.bounds = position_;  // a windowless control draws where the site placed it
    else
        return E_INVALIDARG;
    try {
        return OnDraw(info);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP ControlBase::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors)
{
    if (colors) *colors = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlBase::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    viewAspects_ = aspects;
    viewFlags_ = flags;
    viewSink_ = sink;
    return S_OK;
}

STDMETHODIMP ControlBase::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) viewSink_.CopyTo(sink);
    return S_OK;
}

STDMETHODIMP ControlBase::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

STDMETHODIMP ControlBase::GetViewStatus(DWORD* status)
{
    if (!status) return E_POINTER;
    *status = 0;  // transparent: the container paints what lies behind
    return S_OK;
}

STDMETHODIMP ControlBase::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT point, LONG, DWORD* hit)
{
    if (!bounds || !hit) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    *hit = PtInRect(bounds, point) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

STDMETHODIMP ControlBase::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT area, LONG, DWORD* hit)
{
    if (!bounds || !area || !hit) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    RECT common;
    *hit = IntersectRect(&common, bounds, area) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

// ---- IPersistPropertyBag

STDMETHODIMP ControlBase::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = controlClassId();
    return S_OK;
}

// ---- the control's own hooks

HRESULT ControlBase::OnDraw(const DrawInfo&)
{
    return S_OK;
}

bool ControlBase::processWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

HRESULT ControlBase::setCapture(bool capture)
{
    if (windowless_) return windowlessSite_ ? windowlessSite_->SetCapture(capture) : E_UNEXPECTED;
    if (!controlWindow_) return E_UNEXPECTED;
    if (capture)
        ::SetCapture(controlWindow_);
    else if (GetCapture() == controlWindow_)
        ReleaseCapture();
    return S_OK;
}

HRESULT ControlBase::setFocus(bool focus)
{
    if (windowless_) return windowlessSite_ ? windowlessSite_->SetFocus(focus) : E_UNEXPECTED;
    if (!controlWindow_) return E_UNEXPECTED;
    if (focus) ::SetFocus(controlWindow_);
    return S_OK;
}

void ControlBase::invalidateControl()
{
    if (windowless_ && windowlessSite_)
        windowlessSite_->InvalidateRect(nullptr, TRUE);
    else if (controlWindow_)
        ::InvalidateRect(controlWindow_, nullptr, TRUE);
    else if (viewSink_)
        viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

LRESULT ControlBase::controlWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (processWindowMessage(window, message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC context = BeginPaint(window, &paint);
        if (context) {
            DrawInfo info;
            info.context = context;
            GetClientRect(window, &info.bounds);
            OnDraw(info);
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        // A click on an inactive control makes it the active one.
        if (!uiActive_) InPlaceActivate(OLEIVERB_UIACTIVATE);
        break;
    case WM_SETFOCUS:
        if (!uiActive_) InPlaceActivate(OLEIVERB_UIACTIVATE);
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace Atl
