// The native windows of the UI library. CWindowWnd wraps one native window:
// it registers the window class (its own, or a superclass of a system class),
// creates the window with the object as creation parameter and routes every
// message to the virtual HandleMessage. WindowImplBase is the base of skinned,
// frameless top-level windows: on creation it builds its control tree from the
// skin, attaches it to its embedded manager, answers the non-client messages
// itself and dispatches notifications through static handler tables
// (CNotifyPump). Nothing escapes a window procedure: every handler's
// exceptions are caught at the procedure and the message is answered by
// default processing.
//
// Threading: everything runs on the thread that created the window; other
// threads only post messages to its handle.
#pragma once

#include "SkinBuilder.h"
#include "WindowManagerUI.h"

namespace SkinUI {

class CWindowWnd {
public:
    CWindowWnd() = default;
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetWindowHandle() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    bool RegisterWindowClass();
    bool RegisterSuperclass();
    HWND CreateNativeWindow(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
        int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
    HWND CreateNativeWindow(
        HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu = nullptr);
    HWND Subclass(HWND window);
    void Unsubclass();
    void Show(bool show = true, bool takeFocus = true);
    void CenterOverOwner();
    void PostCloseMessage(UINT code = 0);
    LRESULT SendWindowMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostWindowMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual const wchar_t* GetSuperClassName() const;
    virtual UINT GetClassStyle() const;
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalWindowMessage(HWND window);
    ~CWindowWnd() = default;

    static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    // The body of both procedures; Storage says where the window keeps its object.
    template <class Storage>
    static LRESULT routeMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    WNDPROC m_OldWndProc = ::DefWindowProcW;
    bool m_bSubclassed = false;
};

class CNotifyPump;
using PumpNotifyHandler = void (CNotifyPump::*)(TNotifyMsgUI&);
using PumpParamHandler = void (CNotifyPump::*)(WPARAM, LPARAM);

enum UIHandlerKind { UIHANDLER_END = 0, UIHANDLER_PARAMS = 1, UIHANDLER_NOTIFY = 2 };

struct TMessageMapEntryUI {
    const wchar_t* type;
    const wchar_t* controlName;  // empty: any control
    int kind;
    PumpNotifyHandler notify;
    PumpParamHandler params;
};

struct TMessageMapUI {
    const TMessageMapUI* (*base)();
    const TMessageMapEntryUI* entries;
};

class CNotifyPump {
public:
    CNotifyPump() = default;
    virtual ~CNotifyPump() = default;
    bool AddVirtualWnd(const wchar_t* name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const wchar_t* name);
    // Dispatches through the handler tables (and the virtual windows first).
    void NotifyPump(TNotifyMsgUI& msg);
    bool LoopDispatch(TNotifyMsgUI& msg);
    static const TMessageMapUI* GetThisHandlerTable();

protected:
    virtual const TMessageMapUI* GetHandlerTable() const;

private:
    CStringPtrMapUI m_VirtualWndMap{83};
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    enum SkinSourceKind { UILIB_FILE = 1, UILIB_ZIP = 2, UILIB_RESOURCE = 3, UILIB_ZIPRESOURCE = 4 };

    WindowImplBase() = default;
    ~WindowImplBase() override = default;

    CWindowManagerUI& GetManager() { return m_PaintManager; }
    void OnNotify(TNotifyMsgUI& msg) override;
    LRESULT FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    CControlUI* CreateCustomControl(const wchar_t* tag) override;

    // What happens when the skin cannot be built: by default a message box and
    // the end of the process with exit code 1. Tests install their own.
    using SkinFailureReporter = void (*)();
    static void SetSkinFailureReporter(SkinFailureReporter reporter);

    static const TMessageMapUI* GetThisHandlerTable();

protected:
    const TMessageMapUI* GetHandlerTable() const override;
    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalWindowMessage(HWND window) override;

    virtual void OnControlsReady() {}
    virtual void OnClick(TNotifyMsgUI& msg);
    virtual CUIString GetSkinFolder() = 0;
    virtual CUIString GetSkinFile() = 0;
    virtual bool OnDefaultKey(WPARAM key);
    virtual int GetSkinSourceKind() const { return UILIB_FILE; }
    virtual CUIString GetSkinZipName() { return CUIString(); }
    virtual const wchar_t* GetSkinResourceId() const { return L""; }
    virtual LRESULT OnClose(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnDestroy(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnNcActivate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcCalcSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnNcPaint(UINT, WPARAM, LPARAM, bool&) { return 0; }
    virtual LRESULT OnNcHitTest(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnGetMinMaxInfo(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnMouseWheel(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnMouseHover(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnSize(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnChar(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnKeyDown(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnKillFocus(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnSetFocus(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT OnMouseMove(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LRESULT HandleOtherMessage(UINT, WPARAM, LPARAM, bool& handled) { return LeaveUnhandled(handled); }
    virtual LONG GetCaptionlessStyle() const;

    static LRESULT LeaveUnhandled(bool& handled)
    {
        handled = false;
        return 0;
    }

    CWindowManagerUI m_PaintManager;

private:
    void onClickEntry(TNotifyMsgUI& msg) { OnClick(msg); }
    // Makes the "ZIPRES" resource of GetSkinResourceId the skin archive.
    bool useSkinResource();
    friend struct WindowImplBaseTable;
};

}  // namespace SkinUI
