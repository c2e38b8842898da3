// The plug-in event family. Which window message makes which event is the
// window code's business; these classes only carry the fields.
#pragma once

#include "PluginEvent.h"

#include <cstddef>
#include <cstdint>

namespace FB {

class BrowserStream;

// Sent by a source to a sink that was just added to it, or removed from it.
class AttachedEvent : public PluginEvent {};
class DetachedEvent : public PluginEvent {};

class ResizedEvent : public PluginEvent {};

// The rectangle to repaint.
class RefreshEvent : public PluginEvent {
public:
    RefreshEvent(int32_t top, int32_t left, int32_t bottom, int32_t right)
        : top(top), left(left), bottom(bottom), right(right)
    {
    }
    int32_t top, left, bottom, right;
};

class TimerEvent : public PluginEvent {
public:
    TimerEvent(unsigned int timerId, void* data) : timerId(timerId), data(data) {}
    unsigned int timerId;
    void* data;
};

// A raw window message; a handler that handles it may write *result.
class WindowsEvent : public PluginEvent {
public:
    WindowsEvent(void* window, unsigned int message, uintptr_t wParam, intptr_t lParam, intptr_t* result)
        : window(window), message(message), wParam(wParam), lParam(lParam), result(result)
    {
    }
    void* window;
    unsigned int message;
    uintptr_t wParam;
    intptr_t lParam;
    intptr_t* result;
};

class KeyEvent : public PluginEvent {
public:
    KeyEvent(unsigned int keyCode, unsigned int systemKeyCode, unsigned int modifiers)
        : keyCode(keyCode), systemKeyCode(systemKeyCode), modifiers(modifiers)
    {
    }
    unsigned int keyCode;        // the framework's key code
    unsigned int systemKeyCode;  // the system's virtual key
    unsigned int modifiers;
};
class KeyDownEvent : public KeyEvent {
    using KeyEvent::KeyEvent;
};
class KeyUpEvent : public KeyEvent {
    using KeyEvent::KeyEvent;
};

class MouseEvent : public PluginEvent {
public:
    enum Modifier : unsigned int { Shift = 1, Control = 2, Alt = 4 };
    MouseEvent(int x, int y, unsigned int modifiers = 0) : x(x), y(y), modifiers(modifiers) {}
    int x, y;
    unsigned int modifiers;
};
class MouseMoveEvent : public MouseEvent {
    using MouseEvent::MouseEvent;
};

// A wheel turn at (x, y): dx horizontal, dy vertical, in wheel units (120 a notch).
class MouseScrollEvent : public MouseEvent {
public:
    MouseScrollEvent(int x, int y, double dx, double dy, unsigned int modifiers = 0)
        : MouseEvent(x, y, modifiers), dx(dx), dy(dy)
    {
    }
    double dx, dy;
};

class MouseButtonEvent : public MouseEvent {
public:
    enum Button : int { Left = 0, Right = 1, Middle = 2 };
    MouseButtonEvent(int button, int x, int y, unsigned int modifiers = 0) : MouseEvent(x, y, modifiers), button(button)
    {
    }
    int button;
};
class MouseDownEvent : public MouseButtonEvent {
    using MouseButtonEvent::MouseButtonEvent;
};
class MouseUpEvent : public MouseButtonEvent {
    using MouseButtonEvent::MouseButtonEvent;
};
class MouseDoubleClickEvent : public MouseButtonEvent {
    using MouseButtonEvent::MouseButtonEvent;
};

// Base of the stream events; carries the stream that sent it.
class StreamEvent : public PluginEvent {
public:
    explicit StreamEvent(BrowserStream* stream) : stream(stream) {}
    BrowserStream* stream;
};

// The browser stream object exists.
class StreamCreatedEvent : public StreamEvent {
    using StreamEvent::StreamEvent;
};
// The browser opened the stream.
class StreamOpenedEvent : public StreamEvent {
    using StreamEvent::StreamEvent;
};
class StreamFailedOpenEvent : public StreamEvent {
    using StreamEvent::StreamEvent;
};
// A block of data at its position in the stream; progress in percent (0 when
// the total length is not known). The data is valid only during the dispatch.
class StreamDataArrivedEvent : public StreamEvent {
public:
    StreamDataArrivedEvent(BrowserStream* stream, const void* data, size_t length, size_t offset, float progress)
        : StreamEvent(stream), data(data), length(length), offset(offset), progress(progress)
    {
    }
    const void* data;
    size_t length;
    size_t offset;
    float progress;
};
// The stream ended; sent once per stream.
class StreamCompletedEvent : public StreamEvent {
public:
    StreamCompletedEvent(BrowserStream* stream, bool success) : StreamEvent(stream), success(success) {}
    bool success;
};
// The stream object is being destroyed: a receiver drops its pointer and must
// not call the stream back.
class StreamDestroyedEvent : public StreamEvent {
    using StreamEvent::StreamEvent;
};

}  // namespace FB
