// CWindowManagerUI: the per-window engine of the UI library. One manager
// belongs to one native window; it holds the root of the window's control
// tree, turns window messages into layout, off-screen painting and input
// events, delivers notifications to the window's listeners, owns the window's
// fonts, images and per-class default attributes, and finds controls by name.
// Beside it live the process-wide settings (module instance, resource path,
// skin zip) and the message loop, as static operations.
//
// Threading: UI thread only. Other threads reach a window by posting messages.
#pragma once

#include "Delegate.h"
#include "PointerCollections.h"
#include "UIRect.h"
#include "UIString.h"
#include "ZipArchive.h"

namespace SkinUI {

class CControlUI;

// Event kinds handed to CControlUI::HandleEvent.
enum UIEventKind {
    UIEVENT__FIRST = 1,
    UIEVENT__KEYBEGIN = 2,
    UIEVENT_KEYDOWN = 3,
    UIEVENT_KEYUP = 4,
    UIEVENT_CHAR = 5,
    UIEVENT_SYSKEY = 6,
    UIEVENT__KEYEND = 7,
    UIEVENT__MOUSEBEGIN = 8,
    UIEVENT_MOUSEMOVE = 9,
    UIEVENT_MOUSELEAVE = 10,
    UIEVENT_MOUSEENTER = 11,
    UIEVENT_MOUSEHOVER = 12,
    UIEVENT_BUTTONDOWN = 13,
    UIEVENT_BUTTONUP = 14,
    UIEVENT_RBUTTONDOWN = 15,
    UIEVENT_DBLCLICK = 16,
    UIEVENT_CONTEXTMENU = 17,
    UIEVENT_SCROLLWHEEL = 18,
    UIEVENT__MOUSEEND = 19,
    UIEVENT_KILLFOCUS = 20,
    UIEVENT_SETFOCUS = 21,
    UIEVENT_WINDOWSIZE = 22,
    UIEVENT_SETCURSOR = 23,
    UIEVENT_TIMER = 24,
    UIEVENT__LAST = 25,
};

// The event kinds that come from the mouse.
inline bool IsMouseEventType(int type)
{
    return type > UIEVENT__MOUSEBEGIN && type < UIEVENT__MOUSEEND;
}

// Search flags of CControlUI::SearchControl.
enum : UINT {
    UIFIND_ALL = 0x00000000,
    UIFIND_VISIBLE = 0x00000001,
    UIFIND_ENABLED = 0x00000002,
    UIFIND_HITTEST = 0x00000004,
    UIFIND_TOP_FIRST = 0x00000008,
    UIFIND_ME_FIRST = 0x80000000,
};

// Input flags of CControlUI::GetInputFlags.
enum : UINT { UIFLAG_TABSTOP = 0x00000001, UIFLAG_SETCURSOR = 0x00000002, UIFLAG_WANTRETURN = 0x00000004 };

// Key state bits of TEventMsgUI::wKeyState.
enum : WORD { MK_UI_RBUTTON = 0x01, MK_UI_LBUTTON = 0x02, MK_UI_SHIFT = 0x04, MK_UI_CONTROL = 0x08, MK_UI_ALT = 0x20 };

// The deferred deletion of removed controls.
constexpr UINT WM_UI_DELAYED_CLEANUP = WM_APP + 1;

struct TFontInfo {
    HFONT hFont = nullptr;
    CUIString sFontName;
    int iSize = 0;
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    TEXTMETRICW tm{};
};

struct TImageInfo {
    HBITMAP hBitmap = nullptr;
    int nX = 0;
    int nY = 0;
    bool alphaChannel = false;
    CUIString sResType;
    DWORD dwMask = 0;
};

struct TEventMsgUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};
    wchar_t chKey = 0;
    WORD wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct TNotifyMsgUI {
    CUIString sType;
    CUIString sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void OnNotify(TNotifyMsgUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    virtual LRESULT FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

class ITranslateAccelerator {
public:
    virtual LRESULT TranslateAccelerator(MSG* msg) = 0;

protected:
    ~ITranslateAccelerator() = default;
};

using FINDCONTROLPROC = CControlUI*(CALLBACK*)(CControlUI*, LPVOID);

class CWindowManagerUI {
public:
    CWindowManagerUI();
    ~CWindowManagerUI();
    CWindowManagerUI(const CWindowManagerUI&) = delete;
    CWindowManagerUI& operator=(const CWindowManagerUI&) = delete;

    // Binding and tree.
    void Init(HWND window);
    HWND GetPaintWindow() const { return m_hWndPaint; }
    HDC GetPaintDC() const { return m_hDcPaint; }
    HWND GetTooltipWindow() const { return m_hwndTooltip; }
    bool AttachDialog(CControlUI* root);
    bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
    void ForgetControl(CControlUI* control);
    CControlUI* FindControlByName(const wchar_t* name) const;
    CControlUI* FindControlAt(POINT pt) const;
    CControlUI* GetRoot() const { return m_pRoot; }
    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* control);
    void SetFocusNeeded(CControlUI* control);
    bool SetNextTabControl(bool forward = true);
    void NeedUpdate() { m_bUpdateNeeded = true; }
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    void Invalidate(RECT& rc);
    void ReapObjects(CControlUI* control) { ForgetControl(control); }

    // Window geometry.
    POINT GetMousePos() const { return m_ptLastMousePos; }
    SIZE GetClientSize() const;
    SIZE GetInitSize() const { return m_szInitWindowSize; }
    void SetInitSize(int cx, int cy);
    RECT GetSizeBox() const { return m_rcSizeBox; }
    void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }
    RECT GetCaptionRect() const { return m_rcCaption; }
    void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
    SIZE GetRoundCorner() const { return m_szRoundCorner; }
    void SetRoundCorner(int cx, int cy) { m_szRoundCorner = {cx, cy}; }
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const { return m_szMaxWindow; }
    void SetMaxInfo(int cx, int cy);

    // Appearance.
    int GetTransparent() const { return m_nOpacity; }
    void SetTransparent(int opacity);
    void SetBackgroundTransparent(bool transparent) { m_bAlphaBackground = transparent; }
    bool IsBackgroundTransparent() const { return m_bAlphaBackground; }
    bool IsShowUpdateRect() const { return m_bShowUpdateRect; }
    void SetShowUpdateRect(bool show) { m_bShowUpdateRect = show; }
    void SetOffscreenPaint(bool offscreen) { m_bOffscreenPaint = offscreen; }

    DWORD GetDefaultDisabledColor() const;
    void SetDefaultDisabledColor(DWORD color) { m_dwDefaultDisabledColor = color; }
    DWORD GetDefaultFontColor() const;
    void SetDefaultFontColor(DWORD color) { m_dwDefaultFontColor = color; }
    DWORD GetDefaultLinkFontColor() const;
    void SetDefaultLinkFontColor(DWORD color) { m_dwDefaultLinkFontColor = color; }
    DWORD GetDefaultLinkHoverFontColor() const;
    void SetDefaultLinkHoverFontColor(DWORD color) { m_dwDefaultLinkHoverFontColor = color; }
    DWORD GetDefaultSelectedBkColor() const;
    void SetDefaultSelectedBkColor(DWORD color) { m_dwDefaultSelectedBkColor = color; }

    TFontInfo* GetDefaultFontInfo();
    void SetDefaultFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    DWORD GetCustomFontCount() const { return static_cast<DWORD>(m_aCustomFonts.GetSize()); }
    HFONT AddFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    HFONT GetFont(int index);
    HFONT FindFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    TFontInfo* GetFontInfo(int index);
    TFontInfo* GetFontInfo(HFONT font);
    void RemoveAllFonts();

    const TImageInfo* GetImage(const wchar_t* name);
    const TImageInfo* GetImageEx(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0);
    const TImageInfo* AddImage(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0);
    bool RemoveImage(const wchar_t* name);
    void RemoveAllImages();

    void AddDefaultAttributeList(const wchar_t* className, const wchar_t* list);
    const wchar_t* GetDefaultAttributeList(const wchar_t* className) const;
    void RemoveAllDefaultAttributeLists();

    bool AddOptionGroup(const wchar_t* group, CControlUI* control);
    CPtrArrayUI* GetOptionGroup(const wchar_t* group);
    void RemoveOptionGroup(const wchar_t* group, CControlUI* control);
    void RemoveAllOptionGroups();

    CWindowManagerUI* GetParentManager() const { return m_pParentManager; }
    bool SetParentManager(CWindowManagerUI* parent);

    // Listeners.
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);
    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);
    int GetPostPaintCount() const { return m_aPostPaintControls.GetSize(); }
    bool AddPostPaint(CControlUI* control);
    bool RemovePostPaint(CControlUI* control);
    bool AddTranslateAccelerator(ITranslateAccelerator* accelerator);
    bool RemoveTranslateAccelerator(ITranslateAccelerator* accelerator);
    bool AddDelayedCleanup(CControlUI* control);
    int GetDelayedCleanupCount() const { return m_aDelayedCleanup.GetSize(); }

    // Timers.
    bool SetTimer(CControlUI* control, UINT timerId, UINT elapse);
    bool KillTimer(CControlUI* control, UINT timerId);
    void KillTimers(CControlUI* control);
    void RemoveAllTimers();
    // The native id of a control's timer (0 = none); for diagnosis and tests.
    UINT GetNativeTimerId(CControlUI* control, UINT timerId) const;

    // Capture.
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const { return m_bMouseCapture; }

    // Notifications.
    void SendNotify(TNotifyMsgUI& msg, bool async = false);
    void SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0, bool async = false);
    void SetUseVirtualWindowNames(bool use) { m_bUsedVirtualWnd = use; }
    bool UsesVirtualWindowNames() const { return m_bUsedVirtualWnd; }

    // Messages.
    bool PreMessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Process-wide settings.
    static HINSTANCE GetModuleInstance();
    static void SetModuleInstance(HINSTANCE instance);
    static CUIString GetInstancePath();
    static HINSTANCE GetResourceInstance();
    static void SetResourceInstance(HINSTANCE instance);
    static const CUIString& GetResourcePath();
    static void SetResourcePath(const wchar_t* path);
    static const CUIString& GetResourceZip();
    static bool IsZipCached();
    static void SetResourceZip(const wchar_t* name, bool cached = false);
    static void SetResourceZipBuffer(const void* data, unsigned int size);
    static HZIP GetZipArchive();
    static const CUIString& GetDefaultFontFace();
    static void SetDefaultFontFace(const wchar_t* face);
    static void GetHSL(short* h, short* s, short* l);
    static void SetHSL(bool use, short h, short s, short l);
    static bool IsHSLUsed();
    static bool TranslateLoopMessage(MSG* msg);
    static void RunMessageLoop();
    static void Term();

private:
    struct TimerRecord {
        CControlUI* sender;
        UINT localId;
        HWND window;
        UINT nativeId;
        bool killed;
    };
    static CPtrArrayUI& liveManagers();
    static CControlUI* CALLBACK forgetProc(CControlUI* control, LPVOID data);
    static CControlUI* CALLBACK nameMapProc(CControlUI* control, LPVOID data);
    static CControlUI* CALLBACK findAtProc(CControlUI* control, LPVOID data);
    static CControlUI* CALLBACK tabProc(CControlUI* control, LPVOID data);
    static CControlUI* CALLBACK shortcutProc(CControlUI* control, LPVOID data);
    static CControlUI* CALLBACK needLayoutProc(CControlUI* control, LPVOID data);
    // Offers a message to each filter in turn; the first that handles it gives the result.
    static bool filterMessage(const CPtrArrayUI& filters, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    HFONT makeFont(const wchar_t* face, int size, bool bold, bool underline, bool italic);
    void fillMetrics(TFontInfo* info);
    // The first custom font here or up the parent managers passing the test
    // (null when none does), and the manager holding it.
    template <class Test>
    TFontInfo* findCustomFont(Test test, CWindowManagerUI** owner = nullptr);
    CWindowManagerUI* rootManager() const;
    void deliverAsyncNotifications();
    void paint();
    void layOutPending();
    // The tree painted into the off-screen bitmap, then copied to the window.
    void paintOffscreen(const PAINTSTRUCT& ps, int cx, int cy);
    // Debug aid: the area this paint was asked to cover, outlined in red.
    void outlineUpdate(HDC dc, const RECT& update);
    void deleteOffscreen();
    WORD keyState() const;
    void ensureTooltip();
    void killFocus(CControlUI* sender);
    // One handler per window message; those answering bool say whether the
    // message was answered (the window then does not see it).
    TEventMsgUI makeEvent(int type, CControlUI* sender, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0) const;
    TEventMsgUI makeKeyEvent(int type, CControlUI* sender, WPARAM key) const;
    void deleteDelayedControls();
    void handleClose();
    void printClient(HDC dc, LPARAM flags);
    void limitTrackSize(MINMAXINFO* info) const;
    void handleSize();
    void handleTimer(WPARAM nativeId, LPARAM lParam);
    bool handleMouseHover(LPARAM lParam);
    void handleMouseLeave();
    void handleMouseMove(LPARAM lParam);
    void handleButtonDown(UINT msg, WPARAM wParam, LPARAM lParam);
    // The control that took the button down gets the event that ends the click.
    void endClick(TEventMsgUI& event);
    void handleButtonUp(WPARAM wParam, LPARAM lParam);
    void handleContextMenu(WPARAM wParam, LPARAM lParam);
    void handleMouseWheel(WPARAM wParam, LPARAM lParam);
    void handleKey(UINT msg, WPARAM key);
    bool handleSetCursor(LPARAM lParam);
    bool reflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND m_hWndPaint = nullptr;
    // The last area invalidated since the window was last painted.
    RECT m_rcInvalidPending{0, 0, 0, 0};
    int m_nOpacity = 255;
    HDC m_hDcPaint = nullptr;
    HDC m_hDcOffscreen = nullptr;
    HDC m_hDcBackground = nullptr;
    HBITMAP m_hbmpOffscreen = nullptr;
    HBITMAP m_hbmpBackground = nullptr;
    HWND m_hwndTooltip = nullptr;
    TOOLINFOW m_ToolTip{};
    bool m_bShowUpdateRect = false;

    CControlUI* m_pRoot = nullptr;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pEventKey = nullptr;
    POINT m_ptLastMousePos{-1, -1};
    SIZE m_szMinWindow{0, 0};
    SIZE m_szMaxWindow{0, 0};
    SIZE m_szInitWindowSize{0, 0};
    RECT m_rcSizeBox{0, 0, 0, 0};
    RECT m_rcCaption{0, 0, 0, 0};
    SIZE m_szRoundCorner{0, 0};
    UINT m_uTimerID = 4096;
    bool m_bFirstLayout = true;
    bool m_bUpdateNeeded = false;
    bool m_bFocusNeeded = false;
    bool m_bOffscreenPaint = true;
    bool m_bAlphaBackground = false;
    bool m_bMouseTracking = false;
    bool m_bMouseCapture = false;
    bool m_bUsedVirtualWnd = false;

    CPtrArrayUI m_aNotifiers;
    CPtrArrayUI m_aTimers;
    CPtrArrayUI m_aPreMessageFilters;
    CPtrArrayUI m_aMessageFilters;
    CPtrArrayUI m_aPostPaintControls;
    CPtrArrayUI m_aDelayedCleanup;
    CPtrArrayUI m_aAsyncNotify;
    CStringPtrMapUI m_mNameHash{83};
    CStringPtrMapUI m_mOptionGroup{83};

    CWindowManagerUI* m_pParentManager = nullptr;
    TFontInfo m_DefaultFontInfo;
    CPtrArrayUI m_aCustomFonts;
    CStringPtrMapUI m_mImageHash{83};
    CStringPtrMapUI m_DefaultAttrHash{83};
    CPtrArrayUI m_aTranslateAccelerator;

    DWORD m_dwDefaultDisabledColor = 0xFFA7A6AA;
    DWORD m_dwDefaultFontColor = 0xFF000000;
    DWORD m_dwDefaultLinkFontColor = 0xFF0000FF;
    DWORD m_dwDefaultLinkHoverFontColor = 0xFFD3215F;
    DWORD m_dwDefaultSelectedBkColor = 0xFFBAE4FF;
};

}  // namespace SkinUI
