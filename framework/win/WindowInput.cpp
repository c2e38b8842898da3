#include "WindowInput.h"

#include "PluginEventSource.h"
#include "PluginEvents.h"
#include "TraceLog.h"
#include "VirtualKeyCodes.h"

namespace FB {
namespace detail {

unsigned int currentModifiers()
{
    unsigned int modifiers = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000) modifiers |= MouseEvent::Shift;
    if (GetKeyState(VK_CONTROL) & 0x8000) modifiers |= MouseEvent::Control;
    if (GetKeyState(VK_MENU) & 0x8000) modifiers |= MouseEvent::Alt;
    return modifiers;
}

bool dispatchCaught(PluginEventSource& source, PluginEvent& event) noexcept
{
    try {
        return source.dispatchEvent(&event);
    } catch (const std::exception& e) {
        try {
            trace("PluginWindow", std::string("An event handler failed: ") + e.what());
        } catch (...) {
            // The trace itself failed (no memory): the event still counts as unhandled.
        }
    } catch (...) {
        try {
            trace("PluginWindow", "An event handler failed");
        } catch (...) {
            // The trace itself failed (no memory): the event still counts as unhandled.
        }
    }
    return false;
}

bool dispatchRaw(PluginEventSource& source, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // The event's result is pointer-sized on every target; LRESULT is not always the same type.
    intptr_t written = result;
    WindowsEvent raw(window, message, wParam, lParam, &written);
    if (!dispatchCaught(source, raw)) return false;
    result = static_cast<LRESULT>(written);
    return true;
}

namespace {

template <class Event>
bool dispatchButton(PluginEventSource& source, int button, int x, int y)
{
    Event event(button, x, y, currentModifiers());
    return dispatchCaught(source, event);
}

template <class Event>
bool dispatchKey(PluginEventSource& source, WPARAM virtualKey)
{
    const auto systemCode = static_cast<unsigned int>(virtualKey);
    Event event(mapVirtualKeyCode(systemCode), systemCode, 0);
    return dispatchCaught(source, event);
}

}  // namespace

std::optional<bool> dispatchKeyOrMouse(PluginEventSource& source, UINT message, WPARAM wParam, int x, int y)
{
    switch (message) {
    case WM_KEYDOWN: return dispatchKey<KeyDownEvent>(source, wParam);
    case WM_KEYUP: return dispatchKey<KeyUpEvent>(source, wParam);
    case WM_MOUSEMOVE: {
        MouseMoveEvent event(x, y, 0);
        return dispatchCaught(source, event);
    }
    case WM_LBUTTONDOWN: return dispatchButton<MouseDownEvent>(source, MouseButtonEvent::Left, x, y);
    case WM_LBUTTONUP: return dispatchButton<MouseUpEvent>(source, MouseButtonEvent::Left, x, y);
    case WM_RBUTTONDOWN: return dispatchButton<MouseDownEvent>(source, MouseButtonEvent::Right, x, y);
    case WM_RBUTTONUP: return dispatchButton<MouseUpEvent>(source, MouseButtonEvent::Right, x, y);
    case WM_MBUTTONDOWN: return dispatchButton<MouseDownEvent>(source, MouseButtonEvent::Middle, x, y);
    case WM_MBUTTONUP: return dispatchButton<MouseUpEvent>(source, MouseButtonEvent::Middle, x, y);
    default: return std::nullopt;
    }
}

}  // namespace detail
}  // namespace FB
