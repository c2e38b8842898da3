// The native child window that a control opens over itself (the edit's native
// edit, the date picker): the window object deletes itself after its last
// message; a control that goes first detaches itself and closes the window, so
// that the window never calls into a deleted control.
// UI thread only.
#pragma once

#include "WindowImplBase.h"

namespace SkinUI {

// The control's slot for its window: it opens the window, and closes it when
// the control goes.
template <class Window>
class COwnedWindow {
public:
    COwnedWindow() = default;
    COwnedWindow(const COwnedWindow&) = delete;
    COwnedWindow& operator=(const COwnedWindow&) = delete;
    ~COwnedWindow() { Close(); }

    explicit operator bool() const { return m_pWindow != nullptr; }
    Window* operator->() const { return m_pWindow; }
    HWND GetWindowHandle() const { return m_pWindow ? m_pWindow->GetWindowHandle() : nullptr; }

    // Makes the window (Init creates the native window); a window that could
    // not be made is deleted here, since no last message will delete it.
    template <class Owner>
    void Open(Owner* owner)
    {
        m_pWindow = new Window;
        m_pWindow->Init(owner);
        if (m_pWindow && !m_pWindow->GetWindowHandle()) {
            delete m_pWindow;
            m_pWindow = nullptr;
        }
    }
    // Detaches the window and closes it; its last message deletes it.
    void Close()
    {
        if (!m_pWindow) return;
        Window* window = m_pWindow;
        m_pWindow = nullptr;
        window->Detach();
        if (::IsWindow(window->GetWindowHandle())) ::DestroyWindow(window->GetWindowHandle());
    }
    // The window's last message: the object is going by itself.
    void Forget() { m_pWindow = nullptr; }

private:
    Window* m_pWindow = nullptr;
};

// Window is the window class itself; Owner keeps it in its m_pWindow (a
// COwnedWindow) and befriends this base.
template <class Window, class Owner>
class CNativeChildWnd : public CWindowWnd {
public:
    // The owner goes: the window must not call into it again.
    void Detach() { m_pOwner = nullptr; }

protected:
    // The window class's name and the system class it subclasses.
    CNativeChildWnd(const wchar_t* windowClass, const wchar_t* superClass)
        : m_windowClass(windowClass), m_superClass(superClass)
    {
    }
    ~CNativeChildWnd() = default;

    const wchar_t* GetWindowClassName() const override { return m_windowClass; }
    const wchar_t* GetSuperClassName() const override { return m_superClass; }
    // The owner forgets the window and repaints its own picture; then the window object goes.
    void OnFinalWindowMessage(HWND) override
    {
        if (m_pOwner) {
            m_pOwner->m_pWindow.Forget();
            m_pOwner->Invalidate();
        }
        delete static_cast<Window*>(this);
    }

    // Creates the native window as a child of the owner's window, in the owner's font;
    // an owner outside any window (no manager) gets none.
    bool createOverOwner(DWORD style, const RECT& rc)
    {
        CWindowManagerUI* manager = m_pOwner->GetManager();
        if (!manager || !CreateNativeWindow(manager->GetPaintWindow(), nullptr, style, 0, rc)) return false;
        SendWindowMessage(WM_SETFONT, reinterpret_cast<WPARAM>(manager->GetFont(m_pOwner->GetFont())), TRUE);
        return true;
    }
    // Shows the filled window without activating it and gives it the keyboard focus.
    void showFocused()
    {
        ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        ::SetFocus(m_hWnd);
        m_bInit = true;
    }

    Owner* m_pOwner = nullptr;
    // Set once Init has made and filled the native window.
    bool m_bInit = false;

private:
    const wchar_t* m_windowClass;
    const wchar_t* m_superClass;
};

}  // namespace SkinUI
