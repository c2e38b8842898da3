#include "IdleTimer.h"

#include <algorithm>
#include <map>

namespace FB {
namespace ActiveX {

namespace {

// Thread timers have no window to carry their owner: each thread keeps its own by id.
thread_local std::map<UINT_PTR, IdleTimer*> runningTimers;

}  // namespace

IdleTimer::IdleTimer(DWORD limitMs, std::function<void()> onIdle) : limitMs_(limitMs), onIdle_(std::move(onIdle)) {}

IdleTimer::~IdleTimer()
{
    stop();
}

size_t IdleTimer::runningCount()
{
    return runningTimers.size();
}

void IdleTimer::start()
{
    noteActivity();
    if (timer_) return;
    const DWORD period = std::clamp<DWORD>(limitMs_ / 4, 50, 1000);
    timer_ = SetTimer(nullptr, 0, period, &IdleTimer::onTick);
    if (timer_) runningTimers[timer_] = this;
}

void IdleTimer::stop()
{
    if (!timer_) return;
    KillTimer(nullptr, timer_);
    runningTimers.erase(timer_);
    timer_ = 0;
}

void CALLBACK IdleTimer::onTick(HWND, UINT, UINT_PTR id, DWORD)
{
    // A window procedure's boundary: nothing may escape into the message loop.
    try {
        auto found = runningTimers.find(id);
        if (found != runningTimers.end()) found->second->check();
    } catch (...) {
    }
}

void IdleTimer::check()
{
    if (GetTickCount64() - lastActivity_ < limitMs_) return;
    stop();
    std::function<void()> call = onIdle_;
    if (call) call();
}

}  // namespace ActiveX
}  // namespace FB
