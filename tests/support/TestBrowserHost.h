// A browser host for tests, with two ways to reach the "main thread" (the test's
// own thread, which constructs the host):
//   Delivery::Pumped  deliveries wait in a queue until the test calls pump();
//                     a test may share the queue to deliver after the host is gone.
//   Delivery::Window  deliveries are posted to a real message-only window as
//                     message 1025 and run by GetMessageW/DispatchMessageW.
// The page is a TestPage once the test attaches one (attachPage); without it
// the host has no window, delayed calls answer -1 and runScript only records
// the script. With a page, delayed calls become the page's timers, which
// takeDelayedCalls hands to the test without running them.
//
// Destroying the host runs what is still queued for it, as a shutdown would,
// unless the test shares the queue.
#pragma once

#include "BrowserHost.h"
#include "TestPage.h"
#include "WindowClass.h"
#include "dom/Window.h"

#include <windows.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace fbtest {

// A main-thread queue pumped by hand; any thread may push.
class PumpedQueue {
public:
    void push(FB::QueuedFunction function, void* data)
    {
        std::lock_guard<std::mutex> guard(lock);
        entries.emplace_back(function, data);
    }
    // Runs every queued delivery, also those queued while pumping. Returns how many ran.
    int pump()
    {
        int ran = 0;
        for (;;) {
            std::pair<FB::QueuedFunction, void*> next;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (entries.empty()) return ran;
                next = entries.front();
                entries.pop_front();
            }
            next.first(next.second);
            ++ran;
        }
    }
    size_t size()
    {
        std::lock_guard<std::mutex> guard(lock);
        return entries.size();
    }

private:
    std::mutex lock;
    std::deque<std::pair<FB::QueuedFunction, void*>> entries;
};

// A message-only window that runs {function, data} records posted as message 1025.
class CallWindow {
public:
    static constexpr UINT callMessage = WM_USER + 1;
    static constexpr const wchar_t* kClassName = L"FbTestCallWindow";

    CallWindow()
    {
        test_support::registerWindowClass(kClassName, &CallWindow::windowProc);
        handle = CreateWindowExW(
            0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~CallWindow()
    {
        if (handle) DestroyWindow(handle);
    }
    CallWindow(const CallWindow&) = delete;
    CallWindow& operator=(const CallWindow&) = delete;

    bool post(FB::QueuedFunction function, void* data)
    {
        auto* record = new Record{function, data};
        if (PostMessageW(handle, callMessage, 0, reinterpret_cast<LPARAM>(record))) return true;
        delete record;
        return false;
    }
    // Dispatches every message that is waiting for this thread. Returns how many calls ran.
    int pump()
    {
        int before = delivered;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
            DispatchMessageW(&message);
        }
        return delivered - before;
    }
    static int delivered;
    HWND handle = nullptr;

private:
    struct Record {
        FB::QueuedFunction function;
        void* data;
    };
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        try {
            if (message != callMessage) return DefWindowProcW(window, message, wParam, lParam);
            std::unique_ptr<Record> record(reinterpret_cast<Record*>(lParam));
            ++delivered;
            record->function(record->data);
        } catch (...) {
            // A failing delivery must not unwind through the message loop; the test sees its effect missing.
        }
        return 0;
    }
};
inline int CallWindow::delivered = 0;

class TestBrowserHost : public FB::BrowserHost {
public:
    enum class Delivery { Pumped, Window };

    explicit TestBrowserHost(
        Delivery delivery = Delivery::Pumped, std::shared_ptr<PumpedQueue> queue = std::make_shared<PumpedQueue>())
        : delivery(delivery), queue(std::move(queue))
    {
        if (delivery == Delivery::Window) window = std::make_unique<CallWindow>();
    }
    ~TestBrowserHost() override
    {
        if (delivery == Delivery::Pumped && queue.use_count() == 1) queue->pump();
    }

    // Runs what is waiting for the main thread; returns how many deliveries ran.
    int pump() { return delivery == Delivery::Window ? window->pump() : queue->pump(); }
    // Deliveries waiting in the pumped queue.
    size_t queuedCount() const { return queue->size(); }

    bool postToMainThread(FB::QueuedFunction function, void* data) override
    {
        ++postsSeen;
        if (refuseDelivery) return false;
        if (delivery == Delivery::Window) return window->post(function, data);
        queue->push(function, data);
        return true;
    }

    std::shared_ptr<TestPage> attachPage()
    {
        page = std::make_shared<TestPage>(shared_from_this());
        return page;
    }
    // The delayed calls the page has scheduled and not run, oldest first.
    std::vector<TestPage::Timer> takeDelayedCalls()
    {
        if (!page) return {};
        return std::exchange(page->timers, {});
    }

    void* getInstanceHandle() override { return this; }
    std::shared_ptr<FB::DOM::Window> windowObject() override { return page ? wrapWindow(page->window) : nullptr; }
    void runScript(const std::string& script) override
    {
        scripts.push_back(script);
        if (page) page->runScript(script);
    }
    void releasePendingObjects() override { ++pendingReleases; }

    const Delivery delivery;
    std::shared_ptr<PumpedQueue> queue;
    std::unique_ptr<CallWindow> window;
    std::atomic<bool> refuseDelivery{false};
    std::atomic<int> postsSeen{0};
    std::shared_ptr<TestPage> page;
    std::vector<std::string> scripts;
    int pendingReleases = 0;
};

}  // namespace fbtest
