// An observer of plug-in event sources (windows, streams).
//
// Sinks are held by shared pointer; sources keep only weak pointers to them, so
// a sink that dies simply stops receiving events.
#pragma once

#include <memory>

namespace FB {

class PluginEvent;
class PluginEventSource;

class PluginEventSink : public std::enable_shared_from_this<PluginEventSink> {
public:
    PluginEventSink() = default;
    PluginEventSink(const PluginEventSink&) = delete;
    PluginEventSink& operator=(const PluginEventSink&) = delete;
    virtual ~PluginEventSink() = default;

    // True when the event was handled; a handled event goes to no later observer.
    virtual bool onPluginEvent(PluginEvent* event, PluginEventSource* source) = 0;
};

using PluginEventSinkPtr = std::shared_ptr<PluginEventSink>;

}  // namespace FB
