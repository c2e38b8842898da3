// FB::WinMessageWindow: a hidden message-only window whose procedure runs
// function calls posted to it, so that work queued on any thread runs on the
// thread that created the window (the browser's main thread).
//
//     FB::WinMessageWindow window;                 // on the main thread
//     FB::WinMessageWindow::postCall(window.getHWND(), &work, data);  // any thread
//
// A posted call is message 1025 (WM_USER + 1) carrying a heap record {function,
// user data}; the window's handler calls it and frees the record. Each window
// gets its own class, "FrameBaseEventWindow" followed by a process-wide counter.
//
// Threading: construct and destroy on the thread that pumps the window's
// messages; postCall from any thread. The handle-to-window map is shared by all
// windows of the process and guarded by one mutex, released before a handler
// runs. Destroying the window delivers the calls still queued for it, so none is
// lost and every record is freed; an owner that wants them delivered later,
// after the window has gone, takes them out first (takePostedCalls).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace FB {

class WinMessageWindow {
public:
    static constexpr UINT kAsyncCallMessage = WM_USER + 1;  // 1025

    // (window, message, wParam, lParam, result) -> handled
    using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;

    // Throws std::runtime_error "Could not register window class" or
    // "Could not create Message Window".
    WinMessageWindow();
    ~WinMessageWindow();
    WinMessageWindow(const WinMessageWindow&) = delete;
    WinMessageWindow& operator=(const WinMessageWindow&) = delete;

    HWND getHWND() const { return window_; }
    const std::wstring& className() const { return className_; }

    // Calls taken out of a window's queue; each runs once (and its record is
    // freed) when this goes.
    class PostedCalls {
    public:
        PostedCalls() = default;
        PostedCalls(PostedCalls&& other) noexcept : records_(std::exchange(other.records_, {})) {}
        PostedCalls& operator=(PostedCalls&&) = delete;
        ~PostedCalls();

    private:
        friend class WinMessageWindow;
        std::vector<LPARAM> records_;
    };

    // Posts function(userData) to the window; false (and nothing queued) when the
    // post failed. Safe from any thread.
    static bool postCall(HWND window, void (*function)(void*), void* userData);
    // The calls queued for the window so far, out of its queue. On the window's thread.
    PostedCalls takePostedCalls();

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct PostedCall {
        void (*function)(void*);
        void* userData;
    };
    static bool asyncCallHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    static void runPostedCall(LPARAM record);

    HWND window_ = nullptr;
    std::wstring className_;
    Handler handler_;
};

}  // namespace FB
