#include "WinMessageWindow.h"

#include "ModuleInstance.h"
#include "TraceLog.h"

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

namespace FB {

namespace {

std::mutex& windowsLock()
{
    static std::mutex lock;
    return lock;
}

std::map<HWND, WinMessageWindow*>& windows()
{
    static std::map<HWND, WinMessageWindow*> map;
    return map;
}

std::atomic<int> windowCounter{0};

}  // namespace

WinMessageWindow::WinMessageWindow()
{
    int number = windowCounter++;
    className_ = L"FrameBaseEventWindow" + std::to_wstring(number);
    std::wstring windowName = L"FBEventWindow" + std::to_wstring(number);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WinMessageWindow::windowProc;
    windowClass.hInstance = moduleInstance();
    windowClass.lpszClassName = className_.c_str();
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("Could not register window class");

    window_ = CreateWindowExW(
        0, className_.c_str(), windowName.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, moduleInstance(), nullptr);
    if (!window_) throw std::runtime_error("Could not create Message Window");

    std::lock_guard<std::mutex> guard(windowsLock());
    windows()[window_] = this;
    handler_ = &WinMessageWindow::asyncCallHandler;
}

WinMessageWindow::~WinMessageWindow()
{
    {
        std::lock_guard<std::mutex> guard(windowsLock());
        windows().erase(window_);
    }
    // Calls still queued would be discarded with the window, and their records lost.
    MSG message;
    while (PeekMessageW(&message, window_, kAsyncCallMessage, kAsyncCallMessage, PM_REMOVE))
        runPostedCall(message.lParam);
    DestroyWindow(window_);
    UnregisterClassW(className_.c_str(), moduleInstance());
    handler_ = nullptr;
}

WinMessageWindow::PostedCalls::~PostedCalls()
{
    for (LPARAM record : records_) runPostedCall(record);
}

WinMessageWindow::PostedCalls WinMessageWindow::takePostedCalls()
{
    PostedCalls taken;
    MSG message;
    while (PeekMessageW(&message, window_, kAsyncCallMessage, kAsyncCallMessage, PM_REMOVE)) {
        try {
            taken.records_.push_back(message.lParam);
        } catch (...) {
            runPostedCall(message.lParam);  // out of memory: run now rather than lose it
        }
    }
    return taken;
}

bool WinMessageWindow::postCall(HWND window, void (*function)(void*), void* userData)
{
    auto* record = new (std::nothrow) PostedCall{function, userData};
    if (!record) return false;
    if (PostMessageW(window, kAsyncCallMessage, 0, reinterpret_cast<LPARAM>(record))) return true;
    delete record;
    return false;
}

void WinMessageWindow::runPostedCall(LPARAM lParam)
{
    auto* record = reinterpret_cast<PostedCall*>(lParam);
    if (!record) return;
    trace("PluginWindow", "Running async function call");
    try {
        if (record->function) record->function(record->userData);
    } catch (...) {
        // A posted call never lets an exception into the message loop.
    }
    delete record;
}

bool WinMessageWindow::asyncCallHandler(HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message != kAsyncCallMessage) return false;
    runPostedCall(lParam);
    result = 0;
    return true;
}

LRESULT CALLBACK WinMessageWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        Handler handler;
        {
            std::lock_guard<std::mutex> guard(windowsLock());
            auto found = windows().find(window);
            if (found != windows().end()) handler = found->second->handler_;
        }
        LRESULT result = 0;
        if (handler && handler(window, message, wParam, lParam, result)) return result;
    } catch (...) {
        // Nothing crosses the window procedure.
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace FB
