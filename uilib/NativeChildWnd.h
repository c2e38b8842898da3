// The native child window that a control opens over itself (the edit's native
// edit, the date picker): the window object deletes itself after its last
// message; a control that goes first detaches itself and closes the window, so
// that the window never calls into a deleted control.
// UI thread only.
#pragma once

#include "WindowImplBase.h"

namespace SkinUI {

// Window is the window class itself; Owner keeps it in its m_pWindow and
// befriends this base.
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
            m_pOwner->m_pWindow = nullptr;
            m_pOwner->Invalidate();
        }
        delete static_cast<Window*>(this);
    }

    Owner* m_pOwner = nullptr;
    // Set once Init has made and filled the native window.
    bool m_bInit = false;

private:
    const wchar_t* m_windowClass;
    const wchar_t* m_superClass;
};

// Makes the control's window (Init creates the native window); a window that
// could not be made is deleted here, since no last message will delete it.
template <class Window, class Owner>
void OpenOwnedWindow(Window*& slot, Owner* owner)
{
    slot = new Window;
    slot->Init(owner);
    if (slot && !slot->GetWindowHandle()) {
        delete slot;
        slot = nullptr;
    }
}

// Detaches the control's window and closes it; its last message deletes it.
template <class Window>
void CloseOwnedWindow(Window*& slot)
{
    if (!slot) return;
    Window* window = slot;
    slot = nullptr;
    window->Detach();
    if (::IsWindow(window->GetWindowHandle())) ::DestroyWindow(window->GetWindowHandle());
}

}  // namespace SkinUI
