// The native child window that a control opens over itself (the edit's native
// edit, the date picker): the window object deletes itself after its last
// message; a control that goes first detaches itself and closes the window, so
// that the window never calls into a deleted control.
// UI thread only.
#pragma once

#include "WindowImplBase.h"

namespace SkinUI {

template <class Owner>
class CNativeChildWnd : public CWindowWnd {
public:
    // The owner goes: the window must not call into it again.
    void Detach() { m_pOwner = nullptr; }

protected:
    ~CNativeChildWnd() = default;
    Owner* m_pOwner = nullptr;
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
