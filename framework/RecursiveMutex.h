// FB::RecursiveMutex: a mutex that its holder may lock again, over std::mutex.
//
//     FB::RecursiveMutex lock;
//     std::lock_guard<FB::RecursiveMutex> guard(lock);   // and again inside
//
// Every recursive lock of the framework is one of these rather than a
// std::recursive_mutex: under this toolchain's posix thread model the native
// lock behind a std::recursive_mutex is made on its first lock and never freed
// (its destructor frees nothing), so each scriptable object, host and manager
// that locked one left a heap block behind. A plain std::mutex has no such
// block, and the holder's own count makes it recursive. The holder is known by
// the system's thread id, which costs less to read than the threads library's
// (every member operation of a scriptable object reads it at least twice).
//
// Threading: any thread. The owner is written only by the thread that holds the
// lock, so a thread finds its own id there only while it holds it.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>

namespace FB {

class RecursiveMutex {
public:
    RecursiveMutex() = default;
    RecursiveMutex(const RecursiveMutex&) = delete;
    RecursiveMutex& operator=(const RecursiveMutex&) = delete;

    void lock()
    {
        const DWORD self = GetCurrentThreadId();
        if (owner_.load(std::memory_order_relaxed) != self) {
            mutex_.lock();
            owner_.store(self, std::memory_order_relaxed);
        }
        ++depth_;
    }

    bool try_lock()
    {
        const DWORD self = GetCurrentThreadId();
        if (owner_.load(std::memory_order_relaxed) != self) {
            if (!mutex_.try_lock()) return false;
            owner_.store(self, std::memory_order_relaxed);
        }
        ++depth_;
        return true;
    }

    // False, and nothing changes, when the calling thread does not hold it.
    bool unlock()
    {
        if (!heldByThisThread()) return false;
        if (--depth_ == 0) {
            owner_.store(0, std::memory_order_relaxed);
            mutex_.unlock();
        }
        return true;
    }

    bool heldByThisThread() const { return owner_.load(std::memory_order_relaxed) == GetCurrentThreadId(); }

private:
    std::mutex mutex_;
    std::atomic<DWORD> owner_{0};
    unsigned depth_ = 0;  // the holder's count of lock() calls
};

}  // namespace FB
