#include "PluginEventSource.h"

#include "PluginEvents.h"
#include "PluginWindow.h"

#include <algorithm>
#include <typeinfo>

namespace FB {

namespace {

template <class Event>
Event& eventAs(PluginEvent* event)
{
    auto* typed = dynamic_cast<Event*>(event);
    if (!typed) throw bad_event_cast();
    return *typed;
}

}  // namespace

MouseDownEvent& PluginEvent::asMouseDownEvent()
{
    return eventAs<MouseDownEvent>(this);
}
MouseUpEvent& PluginEvent::asMouseUpEvent()
{
    return eventAs<MouseUpEvent>(this);
}
MouseMoveEvent& PluginEvent::asMouseMoveEvent()
{
    return eventAs<MouseMoveEvent>(this);
}
AttachedEvent& PluginEvent::asAttachedEvent()
{
    return eventAs<AttachedEvent>(this);
}
DetachedEvent& PluginEvent::asDetachedEvent()
{
    return eventAs<DetachedEvent>(this);
}

PluginEventSource::PluginEventSource() = default;

PluginEventSource::~PluginEventSource() = default;

void PluginEventSource::addObserver(const PluginEventSinkPtr& sink)
{
    if (!sink) return;
    std::lock_guard<RecursiveMutex> guard(observersLock);
    // A sink observes a source once: adding it again changes nothing.
    for (const auto& entry : observers)
        if (entry.lock() == sink) return;
    observers.push_back(sink);
    AttachedEvent attached;
    sink->onPluginEvent(&attached, this);
}

void PluginEventSource::addObserver(PluginEventSink* sink)
{
    if (sink) addObserver(sink->shared_from_this());
}

void PluginEventSource::removeObserver(const PluginEventSinkPtr& sink)
{
    std::lock_guard<RecursiveMutex> guard(observersLock);
    std::vector<PluginEventSinkPtr> removed;
    std::erase_if(observers, [&](const std::weak_ptr<PluginEventSink>& entry) {
        PluginEventSinkPtr live = entry.lock();
        if (live && live != sink) return false;
        if (live) removed.push_back(std::move(live));
        return true;
    });
    for (const auto& gone : removed) {
        DetachedEvent detached;
        gone->onPluginEvent(&detached, this);
    }
}

void PluginEventSource::removeObserver(PluginEventSink* sink)
{
    if (!sink) return;
    // A sink that is being destroyed has no shared pointer left: its entry has
    // expired, and the shared form drops expired entries without an event.
    removeObserver(sink->weak_from_this().lock());
}

bool PluginEventSource::dispatchEvent(PluginEvent* event)
{
    std::lock_guard<RecursiveMutex> guard(observersLock);
    const std::vector<std::weak_ptr<PluginEventSink>> snapshot = observers;
    for (const auto& entry : snapshot) {
        PluginEventSinkPtr sink = entry.lock();
        if (sink && sink->onPluginEvent(event, this)) return true;
    }
    return false;
}

bool PluginEventSource::isPluginWindow() const
{
    return dynamic_cast<const PluginWindow*>(this) != nullptr;
}

}  // namespace FB
