// FB::PluginWindowWin: the windowed drawing surface. The browser gives the
// plug-in a child window; this surface subclasses it and turns its paint,
// size, mouse, wheel, key, focus and timer messages into plug-in events for
// its observers (the plug-in core).
//
//     FB::PluginWindowWin* surface = FB::newPluginWindowWin(childWindow);
//     core->setWindow(surface);
//     ...
//     core->clearWindow();
//     delete surface;                  // the browser's procedure is back
//
// Every raw message first goes to the observers as a WindowsEvent; a message
// that neither it nor the translation handles goes to DefWindowProcW, or, with
// the pass-through flag set, to the window's previous procedure.
//
// Subclassing: the previous procedure is also kept as a window property, so a
// subclass that a third party stacked on top of ours still reaches the
// browser's procedure after this surface is gone (our shared procedure stays
// in its chain and forwards). The destructor puts the previous procedure back
// only while ours is the window's current one, and only when it was the last
// surface on the window: two surfaces on one window (a browser that hands one
// window to two instances) share the subclass, the newer one serves, and the
// older one serves again once the newer goes.
//
// Lifetime: an observer may destroy the surface's owner while it handles a
// message (a core that ends its own instance). An owner that holds the
// surface in a shared pointer gets it kept until the message is done; the
// window procedure holds it meanwhile.
//
// Threading: the thread that owns the window (the browser's main thread) only.
// The process-wide map from window handle to surface is used on that thread
// only and is not locked.
#pragma once

#include "PluginWindow.h"

#include <windows.h>

namespace FB {

class PluginWindowWin : public PluginWindow {
public:
    // Subclasses window and enters it in the process-wide map.
    explicit PluginWindowWin(HWND window);
    ~PluginWindowWin() override;

    void invalidateWindow() override;
    // The window's rectangle on the screen.
    ScreenRect getWindowRect() override;
    int getWindowWidth() override;
    int getWindowHeight() override;
    ScreenRect getWindowClipping() override;

    virtual void setSuppressEraseBackground(bool suppress);
    virtual bool getSuppressEraseBackground() const;
    // A derived surface's own handling, asked before anything else; true ends
    // the message with `result`.
    virtual bool customWinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND getHWND() const { return window_; }
    // The browser's top-level window, when its owner knows it.
    HWND getBrowserHWND() const { return browserWindow_; }
    void setBrowserHWND(HWND window) { browserWindow_ = window; }
    // Unhandled messages go to the previous procedure instead of DefWindowProcW.
    void setPassThrough(bool passThrough) { passThrough_ = passThrough; }
    bool getPassThrough() const { return passThrough_; }

    // The windowed translation: true when the message was handled, with its result.
    bool handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The procedure shared by every subclassed window. Never throws.
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    WNDPROC previousProc_ = nullptr;
    bool passThrough_ = false;
    HWND window_;
    HWND browserWindow_ = nullptr;
    bool suppressEraseBackground_ = false;
};

// A new windowed surface over window (the factory's default).
PluginWindowWin* newPluginWindowWin(HWND window);

}  // namespace FB
