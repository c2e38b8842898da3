// FB::PluginWindowlessWin: the windowless drawing surface. The plug-in draws
// into the browser's device context, handed over with each paint request, at
// the drawing area that the browser gives it in its own window's coordinates;
// the browser also hands over the input events, which this surface turns into
// plug-in events for its observers (the plug-in core).
//
//     FB::PluginWindowlessWin* surface = FB::newPluginWindowlessWin(nullptr);
//     surface->setWindowPosition(x, y, width, height);
//     surface->setInvalidateCallback([](uint32_t l, uint32_t t, uint32_t r, uint32_t b) { ... });
//     core->setWindow(surface);
//     surface->handleDraw(context, top, left, bottom, right);   // per paint request
//
// When no observer draws a paint request, the surface draws its default
// picture: the text "FrameBase Plugin" centred in the drawing area.
//
// Edges are signed 32-bit values: an area that reaches past the range ends at
// its edge (the right and bottom edges saturate; a negative extent is empty),
// so no edge wraps around to the other side.
//
// Threading: the browser's main thread, except invalidateWindow, which any
// thread may call once the owner has set the callback (the owner's callback
// carries the request to the main thread).
#pragma once

#include "PluginWindow.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

namespace FB {

class PluginWindowlessWin : public PluginWindow {
public:
    // (left, top, right, bottom) of the area to repaint, relative to the drawing area.
    using InvalidateCallback = std::function<void(uint32_t left, uint32_t top, uint32_t right, uint32_t bottom)>;

    explicit PluginWindowlessWin(HDC context);
    ~PluginWindowlessWin() override;

    // Asks the callback, when one is set, to repaint the whole drawing area.
    void invalidateWindow() override;
    // The drawing area in the browser window's coordinates.
    ScreenRect getWindowRect() override;
    int getWindowWidth() override;
    int getWindowHeight() override;
    ScreenRect getWindowClipping() override;

    // Stores the drawing area (a negative extent as 0); any change sends one ResizedEvent.
    void setWindowPosition(int32_t x, int32_t y, int32_t width, int32_t height);
    void setWindowClipping(const ScreenRect& clip) { clip_ = clip; }
    void setInvalidateCallback(InvalidateCallback callback);

    HDC getContext() const { return context_; }
    void setContext(HDC context) { context_ = context; }
    HWND getBrowserHWND() const { return browserWindow_; }
    void setBrowserHWND(HWND window) { browserWindow_ = window; }

    // A paint request: the rectangle (in the order top, left, bottom, right)
    // goes to the observers as a RefreshEvent; when none draws, the default
    // picture is drawn. Always handled.
    bool handleDraw(HDC context, int32_t top, int32_t left, int32_t bottom, int32_t right);
    // The windowless translation of every event but paint: true when handled, with its result.
    bool handleEvent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    void drawDefault(HDC context);

    HDC context_;
    HWND browserWindow_ = nullptr;
    int32_t x_ = 0;
    int32_t y_ = 0;
    std::atomic<int32_t> width_{0};  // read by invalidateWindow on any thread
    std::atomic<int32_t> height_{0};
    ScreenRect clip_;
    InvalidateCallback invalidate_;
};

// A new windowless surface with the given context and everything else zero (the factory's default).
PluginWindowlessWin* newPluginWindowlessWin(HDC context);

}  // namespace FB
