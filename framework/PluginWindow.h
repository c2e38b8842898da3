// Base of the plug-in's drawing surfaces (windowed and windowless).
//
// A window is an event source: the plug-in core observes it and receives its
// mouse, keyboard and window events. The concrete surfaces live under win/.
#pragma once

#include "PluginEventSource.h"
#include "ScreenRect.h"

namespace FB {

class PluginWindow : public PluginEventSource {
public:
    ~PluginWindow() override = default;

    virtual void invalidateWindow() = 0;
    virtual ScreenRect getWindowRect() = 0;
    virtual int getWindowWidth() = 0;
    virtual int getWindowHeight() = 0;
    virtual ScreenRect getWindowClipping() = 0;
};

}  // namespace FB
