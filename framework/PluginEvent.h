// Plug-in events: what windows and browser streams tell their observers.
//
// A sender builds an event on its stack and hands it by pointer to
// PluginEventSource::dispatchEvent; a receiver tells the kinds apart by dynamic
// type (dynamic_cast, or the typed accessors below, which throw std::bad_cast
// for another kind). The event classes themselves are in PluginEvents.h.
#pragma once

#include <typeinfo>

namespace FB {

// What the typed accessors throw for an event (or source) of another kind.
class bad_event_cast : public std::bad_cast {
public:
    const char* what() const noexcept override { return "bad cast"; }
};

class AttachedEvent;
class DetachedEvent;
class MouseDownEvent;
class MouseUpEvent;
class MouseMoveEvent;

class PluginEvent {
public:
    virtual ~PluginEvent() = default;

    MouseDownEvent& asMouseDownEvent();
    MouseUpEvent& asMouseUpEvent();
    MouseMoveEvent& asMouseMoveEvent();
    AttachedEvent& asAttachedEvent();
    DetachedEvent& asDetachedEvent();
};

}  // namespace FB
