// A sender of plug-in events with a list of observers.
//
// Observers are kept weakly, in the order added; an event goes to each live one
// in turn until one handles it. Adding an observer sends it one AttachedEvent,
// removing it one DetachedEvent.
//
// Threading: a recursive lock guards the list and is held while sinks run, so a
// sink may add or remove observers of the same source from its handler.
// Dispatch walks a copy of the list.
#pragma once

#include "RecursiveMutex.h"
#include "PluginEventSink.h"

#include <memory>
#include <mutex>
#include <vector>

namespace FB {

class PluginEventSource : public std::enable_shared_from_this<PluginEventSource> {
public:
    PluginEventSource();
    PluginEventSource(const PluginEventSource&) = delete;
    PluginEventSource& operator=(const PluginEventSource&) = delete;
    virtual ~PluginEventSource();

    virtual void addObserver(const PluginEventSinkPtr& sink);
    virtual void addObserver(PluginEventSink* sink);
    virtual void removeObserver(const PluginEventSinkPtr& sink);
    virtual void removeObserver(PluginEventSink* sink);
    virtual bool dispatchEvent(PluginEvent* event);

    bool isPluginWindow() const;

private:
    std::vector<std::weak_ptr<PluginEventSink>> observers;
    RecursiveMutex observersLock;
};

using PluginEventSourcePtr = std::shared_ptr<PluginEventSource>;

}  // namespace FB
