// Input as a person gives it, through SendInput: the cursor moved to a point
// of a window's client area, mouse buttons, keys. The window may belong to
// another process: the cursor goes by screen coordinates. InputDriver pumps
// its own window after each step; the updater's window probe drives a window
// of another program with the same calls.
#pragma once

#include <windows.h>

namespace testinput {

inline void send(INPUT input)
{
    SendInput(1, &input, sizeof(INPUT));
}

inline void moveTo(HWND window, POINT client)
{
    POINT screen = client;
    ClientToScreen(window, &screen);
    int cx = GetSystemMetrics(SM_CXSCREEN) - 1, cy = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, cx);
    input.mi.dy = MulDiv(screen.y, 65535, cy);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    send(input);
}

inline void mouse(DWORD flags, DWORD data = 0)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    send(input);
}

inline void key(WORD vk, bool down)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    send(input);
}

}  // namespace testinput
