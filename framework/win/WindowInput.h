// What the windowed and windowless surfaces share when they turn window
// messages into plug-in events: the modifier bits, the signed point of a mouse
// message, the key, move and button events, and a dispatch that never lets an
// observer's exception out. An exception must not unwind through the system's
// message dispatch, so an observer that throws counts as "not handled".
//
// Internal to the plug-in windows: not for use elsewhere.
//
// Threading: the thread that receives the window's messages.
#pragma once

#include <windows.h>

#include <optional>

namespace FB {

class PluginEvent;
class PluginEventSource;

namespace detail {

// Shift 1, control 2, alt 4, from the key state of the current message.
unsigned int currentModifiers();

// The signed client point of a mouse message.
inline int messagePointX(LPARAM lParam)
{
    return static_cast<short>(LOWORD(lParam));
}
inline int messagePointY(LPARAM lParam)
{
    return static_cast<short>(HIWORD(lParam));
}

// True when an observer handled the event; false when none did or one threw.
bool dispatchCaught(PluginEventSource& source, PluginEvent& event) noexcept;

// The raw message as a WindowsEvent; when an observer handles it, what it
// wrote as the result.
bool dispatchRaw(PluginEventSource& source, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Key, mouse-move and button down/up messages as events at (x, y): the
// observers' answer, or nothing for any other message. Key and move events
// carry modifiers 0, button events the current ones.
std::optional<bool> dispatchKeyOrMouse(PluginEventSource& source, UINT message, WPARAM wParam, int x, int y);

}  // namespace detail
}  // namespace FB
