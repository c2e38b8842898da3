// The test browser's windows: a top-level browser window (it needs a display)
// with a child window per windowed instance, and the drawing records and
// events of windowless instances (a memory DC works without a display).
//
//   TestBrowser::Windows& windows = browser.windows();
//   windows.setWindowed(embed, 10, 20, 200, 100);           // NPP_SetWindow, a child window
//   windows.setWindowless(embed, memoryDC, 100, 50, 200, 100);
//   windows.paint(embed, memoryDC, &area);                    // NPP_HandleEvent(WM_PAINT)
//   windows.sendEvent(embed, WM_LBUTTONDOWN, 0, MAKELPARAM(110, 60));
//   windows.invalidations();                                  // NPN_InvalidateRect, with threads
//
// The browser window is made once per process and serves every later browser
// (destroying a shown window costs Wine seconds without a window manager).
//
// As a browser does, the browser window paints its windowless instances itself
// (white behind them, a grey frame around their areas) and an NPN_InvalidateRect of a windowless instance
// invalidates its area there. NPNVnetscapeWindow answers the browser window
// once it exists, the desktop window before.
//
// Threading: the browser's main thread. The invalidation log is locked: the
// table entry records calls made from any thread (the audit flags them).
#pragma once

#include "NpapiInterface.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

namespace TestBrowser {

class Browser;
struct Instance;

class Windows {
public:
    // The windowed instances' child windows are painted with this colour.
    static constexpr COLORREF kChildColour = RGB(40, 110, 200);
    // The browser frames each windowless instance's area with this colour, one pixel outside it.
    static constexpr COLORREF kFrameColour = RGB(200, 200, 200);
    static constexpr int kBrowserWidth = 640;
    static constexpr int kBrowserHeight = 480;

    explicit Windows(Browser& browser);
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    // Shown with its client area at the screen's top left on first use; null without a display.
    HWND browserWindow();
    HWND netscapeWindow() const;

    // NPP_SetWindow with a child window of the browser window at (x, y): the
    // instance's child is moved (or, with newChild, replaced by another one).
    NPError setWindowed(Instance* instance, int x, int y, int width, int height, bool newChild = false);
    HWND childOf(const Instance* instance) const;
    // NPP_SetWindow with NPWindowTypeDrawable: the drawing area in browser window coordinates.
    NPError setWindowless(Instance* instance, HDC context, int x, int y, int width, int height);
    // NPP_SetWindow with any record, null included (windowless painting stops for the instance).
    NPError setWindowRecord(Instance* instance, NPWindow* record);

    // NPP_HandleEvent with {message, wParam, lParam}.
    int16_t sendEvent(Instance* instance, UINT message, WPARAM wParam, LPARAM lParam);
    // NPP_HandleEvent(WM_PAINT): the context in wParam, the area (or null) in lParam.
    int16_t paint(Instance* instance, HDC context, const RECT* area);

    struct Invalidation {
        NPP instance;
        NPRect rect;
        DWORD thread;
        bool onMainThread;
    };
    std::vector<Invalidation> invalidations() const;
    void clearInvalidations();

    // ---- called by the browser
    void recordInvalidation(NPP instance, const NPRect* rect, bool onMainThread);
    // After NPP_Destroy: the instance's child window goes, as its element does.
    void forget(const Instance* instance);

private:
    struct Placement {
        HWND child = nullptr;
        NPWindow record{};
        bool windowless = false;
    };
    static LRESULT CALLBACK browserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paintBrowserWindow(HWND window);
    NPError handOver(Instance* instance, NPWindow* record);

    Browser& browser_;
    HWND browserWindow_ = nullptr;
    HBRUSH frameBrush_;
    std::map<const Instance*, Placement> placements_;
    mutable std::mutex invalidationsLock_;
    std::vector<Invalidation> invalidations_;
};

}  // namespace TestBrowser
