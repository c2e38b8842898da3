#include "WindowImplBase.h"

#include "ControlUI.h"
#include "RenderKit.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace SkinUI {

namespace {

void defaultSkinFailure()
{
    ::MessageBoxW(nullptr, L"\x52A0\x8F7D\x8D44\x6E90\x6587\x4EF6\x5931\x8D25", L"SkinUI", MB_ICONERROR);
    ::ExitProcess(1);
}

WindowImplBase::SkinFailureReporter g_skinFailure = defaultSkinFailure;

// Runs a window's handler; nothing may escape into the system's dispatcher.
template <class Fn>
LRESULT guarded(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, Fn fn)
{
    try {
        return fn();
    } catch (...) {
        return ::DefWindowProcW(window, msg, wParam, lParam);
    }
}

// Where a window keeps its object. Windows of the library's own class use
// the user-data slot; superclassed and subclassed controls use a property,
// since their user data may belong to the system class.
struct UserDataStorage {
    static void store(HWND window, CWindowWnd* self)
    {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    static CWindowWnd* load(HWND window)
    {
        return reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    static void clear(HWND window) { ::SetWindowLongPtrW(window, GWLP_USERDATA, 0); }
};

struct PropertyStorage {
    static void store(HWND window, CWindowWnd* self) { ::SetPropW(window, L"WndX", self); }
    static CWindowWnd* load(HWND window) { return static_cast<CWindowWnd*>(::GetPropW(window, L"WndX")); }
    static void clear(HWND window) { ::RemovePropW(window, L"WndX"); }
};

}  // namespace

// --- CWindowWnd ---

const wchar_t* CWindowWnd::GetSuperClassName() const
{
    return nullptr;
}
UINT CWindowWnd::GetClassStyle() const
{
    return 0;
}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_OldWndProc, m_hWnd, msg, wParam, lParam);
}

void CWindowWnd::OnFinalWindowMessage(HWND) {}

bool CWindowWnd::RegisterWindowClass()
{
    WNDCLASSW wc{};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = CWindowWnd::WindowProc;
    wc.hInstance = CWindowManagerUI::GetModuleInstance();
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = GetWindowClassName();
    ATOM atom = ::RegisterClassW(&wc);
    return atom != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
        !::GetClassInfoExW(CWindowManagerUI::GetModuleInstance(), GetSuperClassName(), &wc))
        return false;
    m_OldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = CWindowWnd::ControlProc;
    wc.hInstance = CWindowManagerUI::GetModuleInstance();
    wc.lpszClassName = GetWindowClassName();
    ATOM atom = ::RegisterClassExW(&wc);
    return atom != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::CreateNativeWindow(
    HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu)
{
    return CreateNativeWindow(
        parent, title, style, exStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

HWND CWindowWnd::CreateNativeWindow(
    HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y, int cx, int cy, HMENU menu)
{
    bool registered = GetSuperClassName() ? RegisterSuperclass() : RegisterWindowClass();
    if (!registered) return nullptr;
    HWND window = ::CreateWindowExW(exStyle, GetWindowClassName(), title, style, x, y, cx, cy, parent, menu,
        CWindowManagerUI::GetModuleInstance(), this);
    // A window destroyed while it was being created has been through
    // OnFinalWindowMessage, which may have deleted this object.
    if (window) m_hWnd = window;
    return window;
}

HWND CWindowWnd::Subclass(HWND window)
{
    m_OldWndProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CWindowWnd::ControlProc)));
    if (!m_OldWndProc) return nullptr;
    m_bSubclassed = true;
    m_hWnd = window;
    PropertyStorage::store(window, this);
    return m_hWnd;
}

void CWindowWnd::Unsubclass()
{
    if (!::IsWindow(m_hWnd) || !m_bSubclassed) return;
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_OldWndProc));
    m_OldWndProc = ::DefWindowProcW;
    m_bSubclassed = false;
}

void CWindowWnd::Show(bool show, bool takeFocus)
{
    if (!::IsWindow(m_hWnd)) return;
    ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void CWindowWnd::CenterOverOwner()
{
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    HWND centre = owner ? owner : m_hWnd;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(centre, MONITOR_DEFAULTTONEAREST), &info);
    RECT work = info.rcWork;
    RECT reference = work;
    if (owner) ::GetWindowRect(owner, &reference);
    int width = window.right - window.left, height = window.bottom - window.top;
    int x = (reference.left + reference.right) / 2 - width / 2;
    int y = (reference.top + reference.bottom) / 2 - height / 2;
    if (x < work.left)
        x = work.left;
    else if (x + width > work.right)
        x = work.right - width;
    if (y < work.top)
        y = work.top;
    else if (y + height > work.bottom)
        y = work.bottom - height;
    ::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::PostCloseMessage(UINT code)
{
    if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, code, 0);
}

LRESULT CWindowWnd::SendWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(m_hWnd, msg, wParam, lParam);
}

LRESULT CWindowWnd::PostWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageW(m_hWnd, msg, wParam, lParam);
}

template <class Storage>
LRESULT CWindowWnd::routeMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWindowWnd* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        self = static_cast<CWindowWnd*>(create->lpCreateParams);
        self->m_hWnd = window;
        Storage::store(window, self);
    } else {
        self = Storage::load(window);
        if (msg == WM_NCDESTROY && self) {
            LRESULT result = ::CallWindowProcW(self->m_OldWndProc, window, msg, wParam, lParam);
            Storage::clear(window);
            if (self->m_bSubclassed) self->Unsubclass();
            self->m_hWnd = nullptr;
            guarded(window, msg, wParam, lParam, [&] {
                self->OnFinalWindowMessage(window);
                return LRESULT{0};
            });
            return result;
        }
    }
    if (!self) return ::DefWindowProcW(window, msg, wParam, lParam);
    return guarded(window, msg, wParam, lParam, [&] { return self->HandleMessage(msg, wParam, lParam); });
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return routeMessage<UserDataStorage>(window, msg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return routeMessage<PropertyStorage>(window, msg, wParam, lParam);
}

// --- CNotifyPump ---

const TMessageMapUI* CNotifyPump::GetThisHandlerTable()
{
    static const TMessageMapEntryUI entries[] = {{L"", L"", UIHANDLER_END, nullptr, nullptr}};
    static const TMessageMapUI table = {nullptr, entries};
    return &table;
}

const TMessageMapUI* CNotifyPump::GetHandlerTable() const
{
    return GetThisHandlerTable();
}

bool CNotifyPump::AddVirtualWnd(const wchar_t* name, CNotifyPump* pump)
{
    if (!name || !pump || m_VirtualWndMap.Find(name)) return false;
    return m_VirtualWndMap.Insert(name, pump);
}

bool CNotifyPump::RemoveVirtualWnd(const wchar_t* name)
{
    return name && m_VirtualWndMap.Remove(name);
}

bool CNotifyPump::LoopDispatch(TNotifyMsgUI& msg)
{
    CUIString sender = msg.pSender ? msg.pSender->GetName() : CUIString();
    for (const TMessageMapUI* table = GetHandlerTable(); table; table = table->base ? table->base() : nullptr) {
        const TMessageMapEntryUI* fallback = nullptr;
        const TMessageMapEntryUI* found = nullptr;
        for (const TMessageMapEntryUI* entry = table->entries; entry->kind != UIHANDLER_END; ++entry) {
            if (msg.sType != entry->type) continue;
            if (sender == entry->controlName) {
                found = entry;
                break;
            }
            if (!fallback && entry->controlName[0] == 0) fallback = entry;
        }
        if (!found) found = fallback;
        if (!found) continue;
        if (found->kind == UIHANDLER_PARAMS && found->params) {
            (this->*found->params)(msg.wParam, msg.lParam);
            return true;
        }
        if (found->kind == UIHANDLER_NOTIFY && found->notify) {
            (this->*found->notify)(msg);
            return true;
        }
        return false;
    }
    return false;
}

void CNotifyPump::NotifyPump(TNotifyMsgUI& msg)
{
    if (!msg.sVirtualWnd.IsEmpty()) {
        for (int i = 0; i < m_VirtualWndMap.GetSize(); ++i) {
            const wchar_t* key = m_VirtualWndMap.GetAt(i);
            if (msg.sVirtualWnd.CompareNoCase(key) != 0) continue;
            CNotifyPump* pump = static_cast<CNotifyPump*>(m_VirtualWndMap.Find(key, false));
            if (pump && pump->LoopDispatch(msg)) return;
        }
    }
    LoopDispatch(msg);
}

// --- WindowImplBase ---

struct WindowImplBaseTable {
    static const TMessageMapUI* get()
    {
        static const TMessageMapEntryUI entries[] = {
            {L"click", L"", UIHANDLER_NOTIFY, static_cast<PumpNotifyHandler>(&WindowImplBase::onClickEntry), nullptr},
            {L"", L"", UIHANDLER_END, nullptr, nullptr}};
        static const TMessageMapUI table = {&CNotifyPump::GetThisHandlerTable, entries};
        return &table;
    }
};

const TMessageMapUI* WindowImplBase::GetThisHandlerTable()
{
    return WindowImplBaseTable::get();
}
const TMessageMapUI* WindowImplBase::GetHandlerTable() const
{
    return GetThisHandlerTable();
}

void WindowImplBase::SetSkinFailureReporter(SkinFailureReporter reporter)
{
    g_skinFailure = reporter ? reporter : defaultSkinFailure;
}

UINT WindowImplBase::GetClassStyle() const
{
    return CS_DBLCLKS;
}

void WindowImplBase::OnNotify(TNotifyMsgUI& msg)
{
    NotifyPump(msg);
}

LRESULT WindowImplBase::FilterMessage(UINT msg, WPARAM wParam, LPARAM, bool&)
{
    if (msg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) return OnDefaultKey(wParam) ? 1 : 0;
    return 0;
}

CControlUI* WindowImplBase::CreateCustomControl(const wchar_t*)
{
    return nullptr;
}

bool WindowImplBase::OnDefaultKey(WPARAM key)
{
    if (key != VK_ESCAPE) return false;
    PostCloseMessage(1);
    return true;
}

void WindowImplBase::OnClick(TNotifyMsgUI& msg)
{
    if (!msg.pSender) return;
    CUIString name = msg.pSender->GetName();
    if (name == L"closebtn")
        PostCloseMessage(1);
    else if (name == L"minbtn")
        SendWindowMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn")
        SendWindowMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn")
        SendWindowMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

void WindowImplBase::OnFinalWindowMessage(HWND)
{
    m_PaintManager.RemovePreMessageFilter(this);
    m_PaintManager.RemoveNotifier(this);
    m_PaintManager.ForgetControl(m_PaintManager.GetRoot());
}

LONG WindowImplBase::GetCaptionlessStyle() const
{
    return static_cast<LONG>(::GetWindowLongW(m_hWnd, GWL_STYLE) & 0xFF3FFFFF);
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& handled)
{
    if (::IsIconic(m_hWnd)) handled = false;
    return wParam == 0 ? 1 : 0;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM lParam, bool&)
{
    if (!::IsZoomed(m_hWnd)) return 0;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &info);
    RECT work = info.rcWork;
    OffsetRect(&work, -info.rcMonitor.left, -info.rcMonitor.top);
    auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
    RECT& first = params->rgrc[0];
    first.right = first.left + (work.right - work.left);
    first.bottom = first.top + (work.bottom - work.top);
    return WVR_REDRAW;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&)
{
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(m_hWnd, &pt);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    if (!::IsZoomed(m_hWnd)) {
        RECT box = m_PaintManager.GetSizeBox();
        if (pt.y < client.top + box.top) {
            if (pt.x < client.left + box.left) return HTTOPLEFT;
            if (pt.x > client.right - box.right) return HTTOPRIGHT;
            return HTTOP;
        }
        if (pt.y > client.bottom - box.bottom) {
            if (pt.x < client.left + box.left) return HTBOTTOMLEFT;
            if (pt.x > client.right - box.right) return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (pt.x < client.left + box.left) return HTLEFT;
        if (pt.x > client.right - box.right) return HTRIGHT;
    }
    RECT caption = m_PaintManager.GetCaptionRect();
    if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
        pt.y < caption.bottom) {
        CControlUI* control = m_PaintManager.FindControlAt(pt);
        if (control && _wcsicmp(control->GetClassName(), L"ButtonUI") != 0 &&
            _wcsicmp(control->GetClassName(), L"OptionUI") != 0 && _wcsicmp(control->GetClassName(), L"TextUI") != 0)
            return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &info);
    RECT work = info.rcWork;
    OffsetRect(&work, -info.rcMonitor.left, -info.rcMonitor.top);
    auto* minmax = reinterpret_cast<MINMAXINFO*>(lParam);
    minmax->ptMaxPosition = {work.left, work.top};
    minmax->ptMaxSize = {work.right - work.left, work.bottom - work.top};
    SIZE minimum = m_PaintManager.GetMinInfo();
    minmax->ptMinTrackSize = {minimum.cx, minimum.cy};
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, bool& handled)
{
    SIZE round = m_PaintManager.GetRoundCorner();
    if (!::IsIconic(m_hWnd) && (round.cx != 0 || round.cy != 0)) {
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        OffsetRect(&rc, -rc.left, -rc.top);
        HRGN region = ::CreateRoundRectRgn(0, 0, rc.right + 1, rc.bottom + 1, round.cx, round.cy);
        // The window owns the region after SetWindowRgn succeeds.
        if (!::SetWindowRgn(m_hWnd, region, TRUE)) ::DeleteObject(region);
    }
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (wParam == SC_CLOSE) {
        handled = true;
        SendWindowMessage(WM_CLOSE, 0, 0);
        return 0;
    }
    bool wasZoomed = ::IsZoomed(m_hWnd) != FALSE;
    LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
    bool zoomed = ::IsZoomed(m_hWnd) != FALSE;
    if (wasZoomed != zoomed) {
        CControlUI* maxButton = m_PaintManager.FindControlByName(L"maxbtn");
        CControlUI* restoreButton = m_PaintManager.FindControlByName(L"restorebtn");
        if (maxButton) maxButton->SetVisible(!zoomed);
        if (restoreButton) restoreButton->SetVisible(zoomed);
    }
    return result;
}

bool WindowImplBase::useSkinResource()
{
    const uint8_t* data = nullptr;
    DWORD size = 0;
    if (!CRenderKit::FindResourceData(GetSkinResourceId(), L"ZIPRES", data, size)) return false;
    // One copy per resource, kept for the rest of the process: an archive may
    // still read it while another window opens its own.
    struct Copy {
        const uint8_t* resource;
        std::vector<uint8_t> bytes;
    };
    static auto* copies = new std::vector<std::unique_ptr<Copy>>();
    static const Copy* current = nullptr;
    const Copy* copy = nullptr;
    for (const auto& kept : *copies)
        if (kept->resource == data) copy = kept.get();
    if (!copy) {
        copies->push_back(std::make_unique<Copy>(Copy{data, std::vector<uint8_t>(data, data + size)}));
        copy = copies->back().get();
    }
    // The archive of another resource gives way to this window's own.
    if (current != copy && CWindowManagerUI::GetResourceZip() == L"membuffer") CWindowManagerUI::SetResourceZip(L"");
    current = copy;
    CWindowManagerUI::SetResourceZipBuffer(copy->bytes.data(), size);
    return true;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&)
{
    LONG style = GetCaptionlessStyle() | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, style);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    ::SetWindowPos(m_hWnd, nullptr, client.left, client.top, client.right - client.left, client.bottom - client.top,
        SWP_FRAMECHANGED);
    m_PaintManager.Init(m_hWnd);
    m_PaintManager.AddPreMessageFilter(this);
    if (CWindowManagerUI::GetResourcePath().IsEmpty()) {
        CUIString path = CWindowManagerUI::GetInstancePath() + GetSkinFolder().GetData();
        CWindowManagerUI::SetResourcePath(path);
    }
    int kind = GetSkinSourceKind();
    if (kind == UILIB_ZIP) {
        CWindowManagerUI::SetResourceZip(GetSkinZipName(), true);
    } else if (kind == UILIB_ZIPRESOURCE) {
        if (!useSkinResource()) return 0;
    }
    CSkinBuilder builder;
    CControlUI* root = nullptr;
    if (kind == UILIB_RESOURCE) {
        int id = AttributeValue::ParseInt(GetSkinFile());
        root = builder.Create(MAKEINTRESOURCEW(static_cast<WORD>(id)), L"xml", this, &m_PaintManager);
    } else {
        CUIString file = GetSkinFile();
        root = builder.Create(file.GetData(), nullptr, this, &m_PaintManager);
    }
    if (!root) {
        g_skinFailure();
        return -1;  // a replaced reporter returns: the window is not created
    }
    m_PaintManager.AttachDialog(root);
    m_PaintManager.AddNotifier(this);
    m_PaintManager.SetBackgroundTransparent(true);
    OnControlsReady();
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = true;
    switch (msg) {
    case WM_CREATE: result = OnCreate(msg, wParam, lParam, handled); break;
    case WM_CLOSE: result = OnClose(msg, wParam, lParam, handled); break;
    case WM_DESTROY: result = OnDestroy(msg, wParam, lParam, handled); break;
    case WM_NCACTIVATE: result = OnNcActivate(msg, wParam, lParam, handled); break;
    case WM_NCCALCSIZE: result = OnNcCalcSize(msg, wParam, lParam, handled); break;
    case WM_NCPAINT: result = OnNcPaint(msg, wParam, lParam, handled); break;
    case WM_NCHITTEST: result = OnNcHitTest(msg, wParam, lParam, handled); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(msg, wParam, lParam, handled); break;
    case WM_MOUSEWHEEL: result = OnMouseWheel(msg, wParam, lParam, handled); break;
    case WM_SIZE: result = OnSize(msg, wParam, lParam, handled); break;
    case WM_CHAR: result = OnChar(msg, wParam, lParam, handled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(msg, wParam, lParam, handled); break;
    case WM_KEYDOWN: result = OnKeyDown(msg, wParam, lParam, handled); break;
    case WM_KILLFOCUS: result = OnKillFocus(msg, wParam, lParam, handled); break;
    case WM_SETFOCUS: result = OnSetFocus(msg, wParam, lParam, handled); break;
    case WM_LBUTTONUP: result = OnLButtonUp(msg, wParam, lParam, handled); break;
    case WM_LBUTTONDOWN: result = OnLButtonDown(msg, wParam, lParam, handled); break;
    case WM_MOUSEMOVE: result = OnMouseMove(msg, wParam, lParam, handled); break;
    case WM_MOUSEHOVER: result = OnMouseHover(msg, wParam, lParam, handled); break;
    default: handled = false; break;
    }
    if (handled) return result;
    result = HandleOtherMessage(msg, wParam, lParam, handled);
    if (handled) return result;
    if (m_PaintManager.HandleWindowMessage(msg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

}  // namespace SkinUI
