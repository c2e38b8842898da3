// FB::Npapi::MainThreadBatch: calls on their way to the browser's main thread,
// handed to the browser in batches. A call asks the browser, through the
// host's own road (the asynchronous-call entry or the hidden message window),
// to run a new batch; the calls queued after it ride along with that batch
// until it runs, as long as no other batch of the process (another instance's
// host) was handed a call in between.
//
//     bool posted = batch->post(&work, data, [&](QueuedFunction run, void* batch) {
//         return browserPostsOnce(run, batch);   // false: the browser refused
//     });
//
// One browser post per batch instead of one per call: under a stream of
// reports from another thread the poster and the main thread stop waking each
// other for every call, and the browser's queue (a window's message queue is
// bounded) holds one entry.
//
// Calls run one after another in the order queued, each once, never inside
// post; calls of several hosts keep the order in which they were queued, as
// the browser keeps the order of its posts. A batch runs the calls queued
// before it started; calls queued while it runs leave with a later batch. A
// call that pumps the main thread's messages inside a batch lets the next
// batch run nested: it goes on with the same queue, so the order holds.
//
// Threading: post from any thread; batches run on the main thread. The road
// is asked under the batch's lock, so a refused road takes back exactly the
// call that asked (post answers false, nothing stays queued). The object
// keeps itself alive while batches are on their way, so a delivery that comes
// after its host has gone runs the calls still queued (the host's tickets,
// which then find their records gone and do nothing).
#pragma once

#include "AsyncCallManager.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace FB {
namespace Npapi {

class MainThreadBatch : public std::enable_shared_from_this<MainThreadBatch> {
public:
    static std::shared_ptr<MainThreadBatch> create();
    MainThreadBatch(const MainThreadBatch&) = delete;
    MainThreadBatch& operator=(const MainThreadBatch&) = delete;

    // Queues function(data). When it cannot ride along with a batch on its
    // way, road(run, batch) is asked to call run(batch) once on the main
    // thread (true when it will). False, with nothing queued, when refused.
    template <class Road>
    bool post(QueuedFunction function, void* data, Road&& road)
    {
        std::lock_guard<std::mutex> guard(lock_);
        const uint64_t order = nextOrder();
        if (!waiting_.empty() && waiting_.back().last + 1 == order) {
            waiting_.back().calls.push_back({function, data});
            waiting_.back().last = order;
            return true;
        }
        waiting_.push_back({{{function, data}}, order});
        bool asked = false;
        try {
            asked = road(&MainThreadBatch::run, static_cast<void*>(this));
        } catch (...) {
            asked = false;
        }
        if (!asked) {
            waiting_.pop_back();
            return false;
        }
        if (!keptWhileWaiting_) keptWhileWaiting_ = shared_from_this();
        return true;
    }

    // The delivery the browser calls on the main thread; data is the batch.
    static void run(void* batch);

private:
    struct Call {
        QueuedFunction function;
        void* data;
    };
    // The calls of one browser post, and the process-wide order of the last one.
    struct Waiting {
        std::vector<Call> calls;
        uint64_t last;
    };
    MainThreadBatch() = default;
    // Counts every call queued in any batch of the process.
    static uint64_t nextOrder();
    void runNext();

    std::mutex lock_;
    std::deque<Waiting> waiting_;  // one per browser post, in the order asked
    std::shared_ptr<MainThreadBatch> keptWhileWaiting_;
    std::deque<Call> running_;  // taken by a batch that runs; main thread only
};

}  // namespace Npapi
}  // namespace FB
