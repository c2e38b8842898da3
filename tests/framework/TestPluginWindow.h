// A plug-in window for tests: a bare event source with a fixed size.
#pragma once

#include "PluginWindow.h"

namespace fbtest {

class TestPluginWindow : public FB::PluginWindow {
public:
    void invalidateWindow() override {}
    FB::ScreenRect getWindowRect() override { return {0, 0, 100, 200}; }
    int getWindowWidth() override { return 200; }
    int getWindowHeight() override { return 100; }
    FB::ScreenRect getWindowClipping() override { return getWindowRect(); }
};

}  // namespace fbtest
