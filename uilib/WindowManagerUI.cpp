// Implementation details: the manager's own state — the root it is given,
// focus and Tab order, window sizes and opacity, option groups, listeners,
// deferred deletion, timers and notifications. Resources live in
// WindowManagerResources.cpp, control lookup in WindowManagerLookup.cpp,
// painting in WindowManagerPaint.cpp, window messages in
// WindowManagerMessages.cpp and the message loop in WindowManagerLoop.cpp.
#include "WindowManagerUI.h"

#include "ControlUI.h"

#include <new>

namespace SkinUI {

namespace {

// The common controls and alpha blending are loaded once, by the first manager.
void loadProcessLibraries()
{
    static const bool loaded = [] {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        LoadLibraryW(L"msimg32.dll");
        return true;
    }();
    (void)loaded;
}

struct TabSearch {
    CControlUI* focus;
    CControlUI* last;
    bool forward;
    bool nextIsIt;
};

}  // namespace

CWindowManagerUI::CWindowManagerUI()
{
    loadProcessLibraries();
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfCharSet = DEFAULT_CHARSET;
    if (!GetDefaultFontFace().IsEmpty()) {
        lstrcpynW(lf.lfFaceName, GetDefaultFontFace(), LF_FACESIZE);
    }
    m_DefaultFontInfo.hFont = CreateFontIndirectW(&lf);
    if (!m_DefaultFontInfo.hFont) m_DefaultFontInfo.hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    m_DefaultFontInfo.sFontName = lf.lfFaceName;
    m_DefaultFontInfo.iSize = -lf.lfHeight;
    m_DefaultFontInfo.bBold = lf.lfWeight >= FW_BOLD;
    m_DefaultFontInfo.bUnderline = lf.lfUnderline == TRUE;
    m_DefaultFontInfo.bItalic = lf.lfItalic == TRUE;
    m_ToolTip.cbSize = sizeof(TOOLINFOW);
}

CWindowManagerUI::~CWindowManagerUI()
{
    for (int i = 0; i < m_aDelayedCleanup.GetSize(); ++i) delete static_cast<CControlUI*>(m_aDelayedCleanup.GetAt(i));
    m_aDelayedCleanup.Empty();
    for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i) delete static_cast<TNotifyMsgUI*>(m_aAsyncNotify.GetAt(i));
    m_aAsyncNotify.Empty();
    m_mNameHash.Resize(0);
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
    if (m_DefaultFontInfo.hFont && m_DefaultFontInfo.hFont != GetStockObject(DEFAULT_GUI_FONT))
        DeleteObject(m_DefaultFontInfo.hFont);
    RemoveAllFonts();
    RemoveAllImages();
    RemoveAllDefaultAttributeLists();
    RemoveAllOptionGroups();
    RemoveAllTimers();
    if (m_hwndTooltip) DestroyWindow(m_hwndTooltip);
    deleteOffscreen();
    if (m_hDcPaint) ReleaseDC(m_hWndPaint, m_hDcPaint);
    CPtrArrayUI& managers = liveManagers();
    int index = managers.Find(this);
    if (index >= 0) managers.Remove(index);
}

void CWindowManagerUI::Init(HWND window)
{
    if (!window) return;
    m_hWndPaint = window;
    m_hDcPaint = GetDC(window);
    CPtrArrayUI& managers = liveManagers();
    if (managers.Find(this) < 0) managers.Add(this);
}

bool CWindowManagerUI::AttachDialog(CControlUI* root)
{
    if (!root) return false;
    SetFocus(nullptr);
    m_pEventKey = m_pEventHover = m_pEventClick = nullptr;
    if (m_pRoot) {
        m_aPostPaintControls.Empty();
        AddDelayedCleanup(m_pRoot);
    }
    m_pRoot = root;
    m_bUpdateNeeded = true;
    m_bFirstLayout = true;
    m_bFocusNeeded = true;
    return InitControls(root, nullptr);
}

// The focused control loses focus; the event names the control that takes it.
void CWindowManagerUI::killFocus(CControlUI* sender)
{
    if (!m_pFocus) return;
    TEventMsgUI event = makeEvent(UIEVENT_KILLFOCUS, sender, POINT{});
    CControlUI* old = m_pFocus;
    old->HandleEvent(event);
    SendNotify(old, L"killfocus");
    m_pFocus = nullptr;
}

void CWindowManagerUI::SetFocus(CControlUI* control)
{
    if (m_hWndPaint) {
        HWND focusWindow = ::GetFocus();
        if (focusWindow != m_hWndPaint && control != m_pFocus) ::SetFocus(m_hWndPaint);
    }
    if (control == m_pFocus) return;
    killFocus(control);
    if (!control) return;
    if (control->GetManager() != this || !control->IsVisible() || !control->IsEnabled()) return;
    m_pFocus = control;
    TEventMsgUI event = makeEvent(UIEVENT_SETFOCUS, control, POINT{});
    control->HandleEvent(event);
    SendNotify(control, L"setfocus");
}

CControlUI* CALLBACK CWindowManagerUI::tabProc(CControlUI* control, LPVOID data)
{
    TabSearch* search = static_cast<TabSearch*>(data);
    if (control == search->focus) {
        if (search->forward) {
            search->nextIsIt = true;
            return nullptr;
        }
        return search->last;
    }
    if (!(control->GetInputFlags() & UIFLAG_TABSTOP)) return nullptr;
    search->last = control;
    if (search->nextIsIt || !search->focus) return control;
    return nullptr;
}

void CWindowManagerUI::SetFocusNeeded(CControlUI* control)
{
    if (m_hWndPaint) ::SetFocus(m_hWndPaint);
    if (!control) return;
    killFocus(control);
    TabSearch search = {control, nullptr, true, false};
    if (m_pRoot) m_pFocus = m_pRoot->SearchControl(tabProc, &search, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    m_bFocusNeeded = true;
    if (m_pRoot) m_pRoot->NeedUpdate();
}

bool CWindowManagerUI::SetNextTabControl(bool forward)
{
    if (m_bUpdateNeeded && forward) {
        m_bFocusNeeded = true;
        if (m_hWndPaint) ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
        return true;
    }
    m_bFocusNeeded = false;
    if (!m_pRoot) return false;
    const UINT flags = UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST;
    TabSearch search = {m_pFocus, nullptr, forward, false};
    CControlUI* next = m_pRoot->SearchControl(tabProc, &search, flags);
    if (!next) {
        // Forward wraps to the first tab stop; backward, the search went on
        // past the focus to the last tab stop of the tree.
        if (forward) {
            search = {nullptr, nullptr, true, false};
            next = m_pRoot->SearchControl(tabProc, &search, flags);
        } else {
            next = search.last;
        }
    }
    if (next) SetFocus(next);
    return true;
}

SIZE CWindowManagerUI::GetClientSize() const
{
    RECT client{};
    if (m_hWndPaint) ::GetClientRect(m_hWndPaint, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

void CWindowManagerUI::SetInitSize(int cx, int cy)
{
    m_szInitWindowSize = {cx, cy};
    if (!m_pRoot && m_hWndPaint)
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CWindowManagerUI::SetMinInfo(int cx, int cy)
{
    if (cx < 0 || cy < 0) return;
    m_szMinWindow = {cx, cy};
}

void CWindowManagerUI::SetMaxInfo(int cx, int cy)
{
    if (cx < 0 || cy < 0) return;
    m_szMaxWindow = {cx, cy};
}

void CWindowManagerUI::SetTransparent(int opacity)
{
    m_nOpacity = opacity < 0 ? 0 : opacity > 255 ? 255 : opacity;
    if (!m_hWndPaint) return;
    using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    HMODULE user32 = GetModuleHandleW(L"User32.dll");
    SetLayeredFn setLayered = user32
        ? reinterpret_cast<SetLayeredFn>(reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")))
        : nullptr;
    if (!setLayered) return;
    LONG_PTR style = GetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE);
    SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, style | WS_EX_LAYERED);
    setLayered(m_hWndPaint, 0, static_cast<BYTE>(m_nOpacity), LWA_ALPHA);
}

CWindowManagerUI* CWindowManagerUI::rootManager() const
{
    const CWindowManagerUI* manager = this;
    while (manager->m_pParentManager) manager = manager->m_pParentManager;
    return const_cast<CWindowManagerUI*>(manager);
}

DWORD CWindowManagerUI::GetDefaultDisabledColor() const
{
    return rootManager()->m_dwDefaultDisabledColor;
}
DWORD CWindowManagerUI::GetDefaultFontColor() const
{
    return rootManager()->m_dwDefaultFontColor;
}
DWORD CWindowManagerUI::GetDefaultLinkFontColor() const
{
    return rootManager()->m_dwDefaultLinkFontColor;
}
DWORD CWindowManagerUI::GetDefaultLinkHoverFontColor() const
{
    return rootManager()->m_dwDefaultLinkHoverFontColor;
}
DWORD CWindowManagerUI::GetDefaultSelectedBkColor() const
{
    return rootManager()->m_dwDefaultSelectedBkColor;
}

bool CWindowManagerUI::AddOptionGroup(const wchar_t* group, CControlUI* control)
{
    if (!group || !control) return false;
    CPtrArrayUI* members = static_cast<CPtrArrayUI*>(m_mOptionGroup.Find(group));
    if (members) {
        if (members->Find(control) >= 0) return false;
        return members->Add(control);
    }
    members = new (std::nothrow) CPtrArrayUI(6);
    if (!members) return false;
    if (!members->Add(control) || !m_mOptionGroup.Insert(group, members)) {
        delete members;
        return false;
    }
    return true;
}

CPtrArrayUI* CWindowManagerUI::GetOptionGroup(const wchar_t* group)
{
    if (!group) return nullptr;
    return static_cast<CPtrArrayUI*>(m_mOptionGroup.Find(group));
}

void CWindowManagerUI::RemoveOptionGroup(const wchar_t* group, CControlUI* control)
{
    CPtrArrayUI* members = GetOptionGroup(group);
    if (!members) return;
    int index = members->Find(control);
    if (index >= 0) members->Remove(index);
    if (members->IsEmpty()) {
        delete members;
        m_mOptionGroup.Remove(group);
    }
}

void CWindowManagerUI::RemoveAllOptionGroups()
{
    for (int i = 0; i < m_mOptionGroup.GetSize(); ++i)
        delete static_cast<CPtrArrayUI*>(m_mOptionGroup.Find(m_mOptionGroup.GetAt(i), false));
    m_mOptionGroup.RemoveAll();
}

bool CWindowManagerUI::SetParentManager(CWindowManagerUI* parent)
{
    for (CWindowManagerUI* p = parent; p; p = p->m_pParentManager)
        if (p == this) return false;
    m_pParentManager = parent;
    return true;
}

namespace {

bool addUnique(CPtrArrayUI& list, void* item)
{
    if (!item || list.Find(item) >= 0) return false;
    return list.Add(item);
}

bool removeItem(CPtrArrayUI& list, void* item)
{
    int index = list.Find(item);
    return index >= 0 && list.Remove(index);
}

}  // namespace

bool CWindowManagerUI::AddNotifier(INotifyUI* notifier)
{
    return addUnique(m_aNotifiers, notifier);
}
bool CWindowManagerUI::RemoveNotifier(INotifyUI* notifier)
{
    return removeItem(m_aNotifiers, notifier);
}
bool CWindowManagerUI::AddPreMessageFilter(IMessageFilterUI* f)
{
    return addUnique(m_aPreMessageFilters, f);
}
bool CWindowManagerUI::RemovePreMessageFilter(IMessageFilterUI* f)
{
    return removeItem(m_aPreMessageFilters, f);
}
bool CWindowManagerUI::AddMessageFilter(IMessageFilterUI* f)
{
    return addUnique(m_aMessageFilters, f);
}
bool CWindowManagerUI::RemoveMessageFilter(IMessageFilterUI* f)
{
    return removeItem(m_aMessageFilters, f);
}
bool CWindowManagerUI::AddPostPaint(CControlUI* control)
{
    return addUnique(m_aPostPaintControls, control);
}
bool CWindowManagerUI::RemovePostPaint(CControlUI* control)
{
    return removeItem(m_aPostPaintControls, control);
}
bool CWindowManagerUI::AddTranslateAccelerator(ITranslateAccelerator* a)
{
    return addUnique(m_aTranslateAccelerator, a);
}
bool CWindowManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* a)
{
    return removeItem(m_aTranslateAccelerator, a);
}

bool CWindowManagerUI::AddDelayedCleanup(CControlUI* control)
{
    if (!control) return false;
    // Until it is deleted, a removed control is neither found by name nor focused.
    control->SearchControl(forgetProc, this, UIFIND_ALL);
    control->SetManager(this, nullptr, false);
    if (!addUnique(m_aDelayedCleanup, control)) return false;
    // The window deletes them at its next deferred-deletion message.
    if (m_hWndPaint) ::PostMessageW(m_hWndPaint, WM_UI_DELAYED_CLEANUP, 0, 0);
    return true;
}

bool CWindowManagerUI::SetTimer(CControlUI* control, UINT timerId, UINT elapse)
{
    if (!control) return false;
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TimerRecord* timer = static_cast<TimerRecord*>(m_aTimers.GetAt(i));
        if (timer->sender != control || timer->localId != timerId || timer->window != m_hWndPaint) continue;
        if (!timer->killed) return false;
        if (!::SetTimer(m_hWndPaint, timer->nativeId, elapse, nullptr)) return false;
        timer->killed = false;
        return true;
    }
    // Native ids run 17..254 (4096 % 255 + 1 first); one still in use is skipped,
    // so two live timers never share an id.
    UINT nativeId = 0;
    for (int attempt = 0; attempt < 255 && nativeId == 0; ++attempt) {
        m_uTimerID = (m_uTimerID + 1) % 255;
        if (m_uTimerID == 0) continue;
        bool inUse = false;
        for (int i = 0; i < m_aTimers.GetSize() && !inUse; ++i)
            inUse = static_cast<TimerRecord*>(m_aTimers.GetAt(i))->nativeId == m_uTimerID;
        if (!inUse) nativeId = m_uTimerID;
    }
    if (nativeId == 0) return false;
    if (!::SetTimer(m_hWndPaint, nativeId, elapse, nullptr)) return false;
    TimerRecord* timer = new (std::nothrow) TimerRecord{control, timerId, m_hWndPaint, nativeId, false};
    if (!timer || !m_aTimers.Add(timer)) {
        delete timer;
        if (m_hWndPaint) ::KillTimer(m_hWndPaint, nativeId);
        return false;
    }
    return true;
}

bool CWindowManagerUI::KillTimer(CControlUI* control, UINT timerId)
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TimerRecord* timer = static_cast<TimerRecord*>(m_aTimers.GetAt(i));
        if (timer->sender != control || timer->localId != timerId || timer->window != m_hWndPaint) continue;
        if (!timer->killed && IsWindow(m_hWndPaint)) ::KillTimer(timer->window, timer->nativeId);
        timer->killed = true;
        return true;
    }
    return false;
}

void CWindowManagerUI::KillTimers(CControlUI* control)
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TimerRecord* timer = static_cast<TimerRecord*>(m_aTimers.GetAt(i));
        if (timer->sender != control) continue;
        if (!timer->killed && timer->window && IsWindow(timer->window)) ::KillTimer(timer->window, timer->nativeId);
        delete timer;
        m_aTimers.Remove(i--);
    }
}

void CWindowManagerUI::RemoveAllTimers()
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TimerRecord* timer = static_cast<TimerRecord*>(m_aTimers.GetAt(i));
        if (!timer->killed && timer->window && IsWindow(timer->window)) ::KillTimer(timer->window, timer->nativeId);
        delete timer;
    }
    m_aTimers.Empty();
}

UINT CWindowManagerUI::GetNativeTimerId(CControlUI* control, UINT timerId) const
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TimerRecord* timer = static_cast<TimerRecord*>(m_aTimers.GetAt(i));
        if (timer->sender == control && timer->localId == timerId) return timer->nativeId;
    }
    return 0;
}

void CWindowManagerUI::SetCapture()
{
    if (m_hWndPaint) ::SetCapture(m_hWndPaint);
    m_bMouseCapture = true;
}

void CWindowManagerUI::ReleaseCapture()
{
    ::ReleaseCapture();
    m_bMouseCapture = false;
}

void CWindowManagerUI::SendNotify(TNotifyMsgUI& msg, bool async)
{
    msg.ptMouse = m_ptLastMousePos;
    msg.dwTimestamp = GetTickCount();
    if (m_bUsedVirtualWnd && msg.pSender) msg.sVirtualWnd = msg.pSender->GetVirtualWindowName();
    if (async) {
        TNotifyMsgUI* copy = new (std::nothrow) TNotifyMsgUI(msg);
        if (copy && !m_aAsyncNotify.Add(copy)) delete copy;
        return;
    }
    if (msg.pSender && !msg.pSender->OnNotify(&msg)) return;
    for (int i = 0; i < m_aNotifiers.GetSize(); ++i) static_cast<INotifyUI*>(m_aNotifiers.GetAt(i))->OnNotify(msg);
}

void CWindowManagerUI::SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam, LPARAM lParam, bool async)
{
    TNotifyMsgUI msg;
    msg.pSender = control;
    msg.sType = type;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, async);
}

void CWindowManagerUI::deliverAsyncNotifications()
{
    while (!m_aAsyncNotify.IsEmpty()) {
        TNotifyMsgUI* msg = static_cast<TNotifyMsgUI*>(m_aAsyncNotify.GetAt(0));
        m_aAsyncNotify.Remove(0);
        if (msg->pSender && !msg->pSender->OnNotify(msg)) {
            delete msg;
            continue;
        }
        for (int i = 0; i < m_aNotifiers.GetSize(); ++i) static_cast<INotifyUI*>(m_aNotifiers.GetAt(i))->OnNotify(*msg);
        delete msg;
    }
}

}  // namespace SkinUI
