// Implementation details: the window-free part of the manager — the tree,
// focus and tab order, fonts, images, default attributes, option groups,
// listeners, timers, notifications and the process-wide resource settings.
// Window messages are handled in WindowManagerMessages.cpp.
#include "WindowManagerUI.h"

#include "ControlUI.h"
#include "RenderKit.h"

#include <new>

namespace SkinUI {

namespace {

struct ProcessSettings {
    HINSTANCE instance = nullptr;
    HINSTANCE resourceInstance = nullptr;
    CUIString resourcePath;
    CUIString resourceZip;
    bool zipCached = false;
    HZIP zip = nullptr;
    CUIString defaultFontFace;
    CPtrArrayUI managers;
    HPEN updateRectPen = nullptr;
    bool useHsl = false;
    short hue = 180, saturation = 100, lightness = 100;
};

ProcessSettings& settings()
{
    static ProcessSettings s;
    return s;
}

void closeCachedZip()
{
    ProcessSettings& s = settings();
    if (s.zip) ZipClose(s.zip);
    s.zip = nullptr;
}

// A font beside what it was made from; its metrics are measured again on next use.
void describeFont(TFontInfo& info, HFONT font, const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    info.hFont = font;
    info.sFontName = face;
    info.iSize = size;
    info.bBold = bold;
    info.bUnderline = underline;
    info.bItalic = italic;
    info.tm = TEXTMETRICW{};
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
    ProcessSettings& s = settings();
    if (!s.updateRectPen) {
        s.updateRectPen = CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        LoadLibraryW(L"msimg32.dll");
    }
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfCharSet = DEFAULT_CHARSET;
    if (!s.defaultFontFace.IsEmpty()) {
        lstrcpynW(lf.lfFaceName, s.defaultFontFace, LF_FACESIZE);
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
    CPtrArrayUI& managers = settings().managers;
    int index = managers.Find(this);
    if (index >= 0) managers.Remove(index);
}

void CWindowManagerUI::deleteOffscreen()
{
    if (m_hDcOffscreen) DeleteDC(m_hDcOffscreen);
    if (m_hDcBackground) DeleteDC(m_hDcBackground);
    if (m_hbmpOffscreen) DeleteObject(m_hbmpOffscreen);
    if (m_hbmpBackground) DeleteObject(m_hbmpBackground);
    m_hDcOffscreen = m_hDcBackground = nullptr;
    m_hbmpOffscreen = m_hbmpBackground = nullptr;
}

void CWindowManagerUI::Init(HWND window)
{
    if (!window) return;
    m_hWndPaint = window;
    m_hDcPaint = GetDC(window);
    CPtrArrayUI& managers = settings().managers;
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

CControlUI* CALLBACK CWindowManagerUI::nameMapProc(CControlUI* control, LPVOID data)
{
    CWindowManagerUI* manager = static_cast<CWindowManagerUI*>(data);
    CUIString name = control->GetName();
    if (name.IsEmpty()) return nullptr;
    manager->m_mNameHash.Set(name, control);
    return nullptr;
}

bool CWindowManagerUI::InitControls(CControlUI* control, CControlUI* parent)
{
    if (!control) return false;
    control->SetManager(this, parent ? parent : control->GetParent(), true);
    control->SearchControl(nameMapProc, this, UIFIND_ALL);
    return true;
}

void CWindowManagerUI::ForgetControl(CControlUI* control)
{
    if (!control) return;
    if (control == m_pEventKey) m_pEventKey = nullptr;
    if (control == m_pEventHover) m_pEventHover = nullptr;
    if (control == m_pEventClick) m_pEventClick = nullptr;
    if (control == m_pFocus) m_pFocus = nullptr;
    KillTimers(control);
    CUIString name = control->GetName();
    if (!name.IsEmpty() && m_mNameHash.Find(name, false) == control) m_mNameHash.Remove(name);
    for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i) {
        TNotifyMsgUI* msg = static_cast<TNotifyMsgUI*>(m_aAsyncNotify.GetAt(i));
        if (msg->pSender == control) msg->pSender = nullptr;
    }
    int index = m_aPostPaintControls.Find(control);
    if (index >= 0) m_aPostPaintControls.Remove(index);
}

CControlUI* CWindowManagerUI::FindControlByName(const wchar_t* name) const
{
    if (!name) return nullptr;
    return static_cast<CControlUI*>(const_cast<CStringPtrMapUI&>(m_mNameHash).Find(name));
}

CControlUI* CALLBACK CWindowManagerUI::findAtProc(CControlUI* control, LPVOID)
{
    return control;
}

CControlUI* CWindowManagerUI::FindControlAt(POINT pt) const
{
    if (!m_pRoot) return nullptr;
    return m_pRoot->SearchControl(findAtProc, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
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
    if (control->GetInterfaceByName(L"Container") && !control->IsKeyboardEnabled()) return nullptr;
    search->last = control;
    if (search->forward && (search->nextIsIt || !search->focus)) return control;
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
        if (forward) {
            search = {nullptr, nullptr, true, false};
            next = m_pRoot->SearchControl(tabProc, &search, flags);
        } else {
            search = {nullptr, nullptr, false, false};
            m_pRoot->SearchControl(tabProc, &search, flags);
            next = search.last;
        }
    }
    if (next) SetFocus(next);
    return true;
}

void CWindowManagerUI::Invalidate(RECT& rc)
{
    if (!m_hWndPaint) return;
    // Controls added or changed one by one (thousands of list rows) invalidate
    // the same area again and again before the next paint, and each call is a
    // trip to the window system: an area inside the last one is still invalid.
    RECT joined;
    if (!IsRectEmpty(&m_rcInvalidPending) && UnionRect(&joined, &m_rcInvalidPending, &rc) &&
        EqualRect(&joined, &m_rcInvalidPending))
        return;
    ::InvalidateRect(m_hWndPaint, &rc, FALSE);
    m_rcInvalidPending = rc;
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
    // Fully opaque windows are not layered: layering costs a redirection surface.
    if (m_nOpacity < 255) {
        SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, style | WS_EX_LAYERED);
        setLayered(m_hWndPaint, 0, static_cast<BYTE>(m_nOpacity), LWA_ALPHA);
    } else {
        SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, style & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    }
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

void CWindowManagerUI::fillMetrics(TFontInfo* info)
{
    if (!info || info->tm.tmHeight != 0 || !m_hDcPaint) return;
    HGDIOBJ old = SelectObject(m_hDcPaint, info->hFont);
    GetTextMetricsW(m_hDcPaint, &info->tm);
    SelectObject(m_hDcPaint, old);
}

TFontInfo* CWindowManagerUI::GetDefaultFontInfo()
{
    CWindowManagerUI* root = rootManager();
    root->fillMetrics(&root->m_DefaultFontInfo);
    if (root->m_DefaultFontInfo.tm.tmHeight == 0) fillMetrics(&root->m_DefaultFontInfo);
    return &root->m_DefaultFontInfo;
}

HFONT CWindowManagerUI::makeFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lstrcpynW(lf.lfFaceName, face ? face : L"", LF_FACESIZE);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -size;
    if (bold) lf.lfWeight += FW_BOLD;
    if (underline) lf.lfUnderline = TRUE;
    if (italic) lf.lfItalic = TRUE;
    return CreateFontIndirectW(&lf);
}

void CWindowManagerUI::SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    HFONT font = makeFont(face, size, bold, underline, italic);
    if (!font) return;
    if (m_DefaultFontInfo.hFont && m_DefaultFontInfo.hFont != GetStockObject(DEFAULT_GUI_FONT))
        DeleteObject(m_DefaultFontInfo.hFont);
    describeFont(m_DefaultFontInfo, font, face, size, bold, underline, italic);
    fillMetrics(&m_DefaultFontInfo);
}

HFONT CWindowManagerUI::AddFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    HFONT font = makeFont(face, size, bold, underline, italic);
    if (!font) return nullptr;
    TFontInfo* info = new (std::nothrow) TFontInfo;
    if (!info || !m_aCustomFonts.Add(info)) {
        delete info;
        DeleteObject(font);
        return nullptr;
    }
    describeFont(*info, font, face, size, bold, underline, italic);
    fillMetrics(info);
    return font;
}

HFONT CWindowManagerUI::GetFont(int index)
{
    if (index < 0 || index >= m_aCustomFonts.GetSize()) return GetDefaultFontInfo()->hFont;
    return static_cast<TFontInfo*>(m_aCustomFonts.GetAt(index))->hFont;
}

template <class Test>
TFontInfo* CWindowManagerUI::findCustomFont(Test test, CWindowManagerUI** owner)
{
    for (CWindowManagerUI* manager = this; manager; manager = manager->m_pParentManager) {
        for (int i = 0; i < manager->m_aCustomFonts.GetSize(); ++i) {
            TFontInfo* info = static_cast<TFontInfo*>(manager->m_aCustomFonts.GetAt(i));
            if (!test(*info)) continue;
            if (owner) *owner = manager;
            return info;
        }
    }
    return nullptr;
}

HFONT CWindowManagerUI::FindFont(const wchar_t* face, int size, bool bold, bool underline, bool italic)
{
    TFontInfo* info = findCustomFont([&](const TFontInfo& font) {
        return font.sFontName == (face ? face : L"") && font.iSize == size && font.bBold == bold &&
            font.bUnderline == underline && font.bItalic == italic;
    });
    return info ? info->hFont : nullptr;
}

TFontInfo* CWindowManagerUI::GetFontInfo(int index)
{
    if (index < 0 || index >= m_aCustomFonts.GetSize()) return GetDefaultFontInfo();
    TFontInfo* info = static_cast<TFontInfo*>(m_aCustomFonts.GetAt(index));
    fillMetrics(info);
    return info;
}

TFontInfo* CWindowManagerUI::GetFontInfo(HFONT font)
{
    CWindowManagerUI* owner = nullptr;
    TFontInfo* info = findCustomFont([font](const TFontInfo& custom) { return custom.hFont == font; }, &owner);
    if (!info) return GetDefaultFontInfo();
    owner->fillMetrics(info);
    return info;
}

void CWindowManagerUI::RemoveAllFonts()
{
    for (int i = 0; i < m_aCustomFonts.GetSize(); ++i) {
        TFontInfo* info = static_cast<TFontInfo*>(m_aCustomFonts.GetAt(i));
        DeleteObject(info->hFont);
        delete info;
    }
    m_aCustomFonts.Empty();
}

const TImageInfo* CWindowManagerUI::GetImage(const wchar_t* name)
{
    if (!name) return nullptr;
    return static_cast<TImageInfo*>(m_mImageHash.Find(name));
}

const TImageInfo* CWindowManagerUI::GetImageEx(const wchar_t* name, const wchar_t* type, DWORD mask)
{
    const TImageInfo* image = GetImage(name);
    return image ? image : AddImage(name, type, mask);
}

const TImageInfo* CWindowManagerUI::AddImage(const wchar_t* name, const wchar_t* type, DWORD mask)
{
    if (!name || !*name) return nullptr;
    TImageInfo* image = nullptr;
    if (type && *type) {
        if (name[0] < L'0' || name[0] > L'9') return nullptr;
        int id = AttributeValue::ParseInt(name);
        image = CRenderKit::LoadImage(MAKEINTRESOURCEW(id), type, mask);
    } else {
        image = CRenderKit::LoadImage(name, nullptr, mask);
    }
    if (!image) return nullptr;
    image->sResType = type ? type : L"";
    image->dwMask = mask;
    if (!m_mImageHash.Insert(name, image)) {
        CRenderKit::FreeImage(image);
        return nullptr;
    }
    return image;
}

bool CWindowManagerUI::RemoveImage(const wchar_t* name)
{
    TImageInfo* image = static_cast<TImageInfo*>(m_mImageHash.Find(name, false));
    if (!image) return false;
    CRenderKit::FreeImage(image);
    return m_mImageHash.Remove(name);
}

void CWindowManagerUI::RemoveAllImages()
{
    for (int i = 0; i < m_mImageHash.GetSize(); ++i) {
        const wchar_t* key = m_mImageHash.GetAt(i);
        CRenderKit::FreeImage(static_cast<TImageInfo*>(m_mImageHash.Find(key, false)));
    }
    m_mImageHash.RemoveAll();
}

void CWindowManagerUI::AddDefaultAttributeList(const wchar_t* className, const wchar_t* list)
{
    if (!className || !list) return;
    if (m_DefaultAttrHash.Find(className, false)) return;  // the first text entered holds
    CUIString* text = new (std::nothrow) CUIString(list);
    if (!text) return;
    if (!m_DefaultAttrHash.Insert(className, text)) delete text;
}

const wchar_t* CWindowManagerUI::GetDefaultAttributeList(const wchar_t* className) const
{
    if (!className) return nullptr;
    for (const CWindowManagerUI* manager = this; manager; manager = manager->m_pParentManager) {
        CUIString* text =
            static_cast<CUIString*>(const_cast<CStringPtrMapUI&>(manager->m_DefaultAttrHash).Find(className));
        if (text) return text->GetData();
    }
    return nullptr;
}

void CWindowManagerUI::RemoveAllDefaultAttributeLists()
{
    for (int i = 0; i < m_DefaultAttrHash.GetSize(); ++i)
        delete static_cast<CUIString*>(m_DefaultAttrHash.Find(m_DefaultAttrHash.GetAt(i), false));
    m_DefaultAttrHash.RemoveAll();
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

CControlUI* CALLBACK CWindowManagerUI::forgetProc(CControlUI* control, LPVOID data)
{
    static_cast<CWindowManagerUI*>(data)->ForgetControl(control);
    return nullptr;
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

// --- process-wide settings ---

HINSTANCE CWindowManagerUI::GetModuleInstance()
{
    return settings().instance;
}
void CWindowManagerUI::SetModuleInstance(HINSTANCE instance)
{
    settings().instance = instance;
}

CUIString CWindowManagerUI::GetInstancePath()
{
    if (!settings().instance) return CUIString();
    wchar_t path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameW(settings().instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return CUIString();
    CUIString full(path);
    int slash = full.ReverseFind(L'\\');
    return slash < 0 ? CUIString() : full.Left(slash + 1);
}

HINSTANCE CWindowManagerUI::GetResourceInstance()
{
    return settings().resourceInstance ? settings().resourceInstance : settings().instance;
}
void CWindowManagerUI::SetResourceInstance(HINSTANCE instance)
{
    settings().resourceInstance = instance;
}
const CUIString& CWindowManagerUI::GetResourcePath()
{
    return settings().resourcePath;
}

void CWindowManagerUI::SetResourcePath(const wchar_t* path)
{
    CUIString& stored = settings().resourcePath;
    stored = path;
    if (stored.IsEmpty()) return;
    wchar_t last = stored.GetAt(stored.GetLength() - 1);
    if (last != L'\\' && last != L'/') stored += L'\\';
}

const CUIString& CWindowManagerUI::GetResourceZip()
{
    return settings().resourceZip;
}
bool CWindowManagerUI::IsZipCached()
{
    return settings().zipCached;
}

void CWindowManagerUI::SetResourceZip(const wchar_t* name, bool cached)
{
    ProcessSettings& s = settings();
    if (s.resourceZip == (name ? name : L"") && s.zipCached == cached) return;
    if (s.zipCached) closeCachedZip();
    s.resourceZip = name;
    s.zipCached = cached;
    if (!cached || s.resourceZip.IsEmpty()) return;
    CUIString path = s.resourcePath + s.resourceZip.GetData();
    s.zip = ZipOpen(path.GetData(), 0, ZIP_FILENAME);
}

void CWindowManagerUI::SetResourceZipBuffer(const void* data, unsigned int size)
{
    ProcessSettings& s = settings();
    if (s.resourceZip == L"membuffer") return;
    if (s.zipCached) closeCachedZip();
    s.resourceZip = L"membuffer";
    s.zipCached = true;
    s.zip = ZipOpen(data, size, ZIP_MEMORY);
}

HZIP CWindowManagerUI::GetZipArchive()
{
    return settings().zip;
}
CPtrArrayUI& CWindowManagerUI::liveManagers()
{
    return settings().managers;
}
const CUIString& CWindowManagerUI::GetDefaultFontFace()
{
    return settings().defaultFontFace;
}
void CWindowManagerUI::SetDefaultFontFace(const wchar_t* face)
{
    settings().defaultFontFace = face;
}

void CWindowManagerUI::GetHSL(short* h, short* s, short* l)
{
    *h = settings().hue;
    *s = settings().saturation;
    *l = settings().lightness;
}

void CWindowManagerUI::SetHSL(bool use, short h, short s, short l)
{
    settings().useHsl = use;
    settings().hue = h;
    settings().saturation = s;
    settings().lightness = l;
}

bool CWindowManagerUI::IsHSLUsed()
{
    return settings().useHsl;
}

void CWindowManagerUI::Term()
{
    ProcessSettings& s = settings();
    closeCachedZip();
    s.resourceZip.Empty();
    s.zipCached = false;
    s.resourcePath.Empty();
}

}  // namespace SkinUI
