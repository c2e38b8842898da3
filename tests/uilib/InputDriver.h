// Real input for the window tests: SendInput moves the cursor, presses the
// mouse buttons and types keys or Unicode text, as a person would, into the
// window that has the focus; the window's messages are pumped after each step.
#pragma once

#include "SyntheticInput.h"
#include "TestWindow.h"

namespace testui {

class InputDriver {
public:
    // The window is read at each step: a fixture's driver is made before SetUp opens the window.
    explicit InputDriver(const SkinUI::CWindowWnd& window) : m_window(window) {}

    // Brings the window up and to the front, so that input reaches it.
    void activate()
    {
        ShowWindow(window(), SW_SHOW);
        SetForegroundWindow(window());
        SetActiveWindow(window());
        SetFocus(window());
        UpdateWindow(window());
        pump(4);
    }
    void moveTo(POINT client)
    {
        testinput::moveTo(window(), client);
        pump(3);
    }
    void mouse(DWORD flags, DWORD data = 0)
    {
        testinput::mouse(flags, data);
        pump(3);
    }
    void click(POINT client)
    {
        moveTo(client);
        mouse(MOUSEEVENTF_LEFTDOWN);
        mouse(MOUSEEVENTF_LEFTUP);
    }
    void drag(POINT from, POINT to)
    {
        moveTo(from);
        mouse(MOUSEEVENTF_LEFTDOWN);
        moveTo(POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
        moveTo(to);
        mouse(MOUSEEVENTF_LEFTUP);
    }
    // One wheel notch: positive away from the user.
    void wheel(POINT client, int notches)
    {
        moveTo(client);
        mouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(notches * WHEEL_DELTA));
    }
    void key(WORD vk, bool down)
    {
        testinput::key(vk, down);
        pump(3);
    }
    void press(WORD vk)
    {
        key(vk, true);
        key(vk, false);
    }
    // A key pressed while a modifier is held.
    void chord(WORD modifier, WORD vk)
    {
        key(modifier, true);
        press(vk);
        key(modifier, false);
    }
    void type(const wchar_t* text)
    {
        for (const wchar_t* p = text; *p; ++p) {
            INPUT input[2]{};
            for (int i = 0; i < 2; ++i) {
                input[i].type = INPUT_KEYBOARD;
                input[i].ki.wScan = *p;
                input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
            }
            SendInput(2, input, sizeof(INPUT));
            pump(2);
        }
    }

private:
    HWND window() const { return m_window.GetWindowHandle(); }

    const SkinUI::CWindowWnd& m_window;
};

}  // namespace testui
