// FB::ActiveX::IdleTimer: calls a function, once, when nothing has been noted
// for a given time; the bound a download keeps on a server that stops
// sending without closing (a reset the moniker never reports, an answer that
// never comes).
//
//     IdleTimer idle(30000, [weak] { if (auto request = weak.lock()) request->giveUp(); });
//     idle.start();
//     ... idle.noteActivity();  // on every notification, cheap
//     idle.stop();
//
// A thread timer (SetTimer without a window) looks every quarter of the bound
// (at least every 50 ms, at most every second) at the time of the last
// activity; noting it costs no system call.
//
// Threading: the thread that starts it, which must dispatch its messages (the
// timer's WM_TIMER); use it on that thread only. The function may destroy the
// timer's owner: it runs from a copy, after the timer has stopped.
#pragma once

#include <windows.h>

#include <functional>

namespace FB {
namespace ActiveX {

class IdleTimer {
public:
    IdleTimer(DWORD limitMs, std::function<void()> onIdle);
    ~IdleTimer();
    IdleTimer(const IdleTimer&) = delete;
    IdleTimer& operator=(const IdleTimer&) = delete;

    // Starts watching (again), counting from now.
    void start();
    void stop();
    void noteActivity() { lastActivity_ = GetTickCount64(); }
    bool isRunning() const { return timer_ != 0; }

    // Timers running on this thread (tests count them).
    static size_t runningCount();

private:
    static void CALLBACK onTick(HWND window, UINT message, UINT_PTR id, DWORD time);
    void check();

    DWORD limitMs_;
    std::function<void()> onIdle_;
    UINT_PTR timer_ = 0;
    ULONGLONG lastActivity_ = 0;
};

}  // namespace ActiveX
}  // namespace FB
