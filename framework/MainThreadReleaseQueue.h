// FB::MainThreadReleaseQueue: the browser objects (or handles of them) that
// wait for their release on the browser's main thread, where the browser wants
// every release made. Both browser hosts keep one.
//
//     queue.push(object);                          // any thread
//     while (queue.pop(object)) release(object);   // the main thread
//
// Threading: push and pop may be called from any thread; they are serialised
// by the queue's mutex, and one waiter is signalled per push. Releases happen
// outside the lock, so a release that queues another object does not deadlock.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

namespace FB {

template <class Item>
class MainThreadReleaseQueue {
public:
    void push(Item item)
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            items_.push_back(std::move(item));
        }
        pushed_.notify_one();
    }

    // Takes the oldest item; false when none waits.
    bool pop(Item& item)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (items_.empty()) return false;
        item = std::move(items_.front());
        items_.pop_front();
        return true;
    }

private:
    std::mutex lock_;
    std::condition_variable pushed_;
    std::deque<Item> items_;
};

}  // namespace FB
