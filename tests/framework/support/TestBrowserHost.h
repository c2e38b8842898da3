// A browser host for tests: calls queued for the main thread wait in a queue
// until the test pumps it, and delayed page calls are recorded, not run.
// Any thread may queue; pump() runs the calls on the calling thread.
// Destroying the host runs what is still queued, as a shutdown would.
#pragma once

#include "BrowserHost.h"
#include "JSObject.h"

#include <deque>
#include <mutex>
#include <utility>
#include <vector>

class TestBrowserHost : public FB::BrowserHost {
public:
    struct DelayedCall {
        int delayMs;
        FB::JSObjectPtr function;
        FB::VariantVector args;
        std::string methodName;
    };

    ~TestBrowserHost() override { pump(); }

    // Runs every queued call, including those queued meanwhile; returns how many ran.
    std::size_t pump()
    {
        std::size_t ran = 0;
        for (;;) {
            Queued next;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty()) return ran;
                next = queue_.front();
                queue_.pop_front();
            }
            next.function(next.userData);
            ++ran;
        }
    }

    std::size_t queuedCount() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.size();
    }

    std::vector<DelayedCall> takeDelayedCalls()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(delayed_, {});
    }

    // The browser refuses to queue anything while set.
    void refuseCalls(bool refuse)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        refuse_ = refuse;
    }

    int invokeDelayed(int delayMs, const FB::JSObjectPtr& function, const FB::VariantVector& args,
        const std::string& methodName) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        delayed_.push_back({delayMs, function, args, methodName});
        return static_cast<int>(delayed_.size());
    }

protected:
    bool postToMainThread(void (*function)(void*), void* userData) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (refuse_) return false;
        queue_.push_back({function, userData});
        return true;
    }

private:
    struct Queued {
        void (*function)(void*) = nullptr;
        void* userData = nullptr;
    };

    mutable std::mutex mutex_;
    std::deque<Queued> queue_;
    std::vector<DelayedCall> delayed_;
    bool refuse_ = false;
};
