#include "MainThreadBatch.h"

#include <atomic>

namespace FB {
namespace Npapi {

std::shared_ptr<MainThreadBatch> MainThreadBatch::create()
{
    return std::shared_ptr<MainThreadBatch>(new MainThreadBatch());
}

uint64_t MainThreadBatch::nextOrder()
{
    static std::atomic<uint64_t> order{0};
    return ++order;
}

void MainThreadBatch::run(void* batch)
{
    if (auto* self = static_cast<MainThreadBatch*>(batch)) self->runNext();
}

void MainThreadBatch::runNext()
{
    std::shared_ptr<MainThreadBatch> kept;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!waiting_.empty()) {
            std::vector<Call>& calls = waiting_.front().calls;
            running_.insert(running_.end(), calls.begin(), calls.end());
            waiting_.pop_front();
        }
        kept = keptWhileWaiting_;
        if (waiting_.empty()) keptWhileWaiting_.reset();
    }
    // A nested batch (a call that pumps messages) takes the next calls from the same queue.
    while (!running_.empty()) {
        const Call call = running_.front();
        running_.pop_front();
        try {
            call.function(call.data);
        } catch (...) {
            // The browser's thread must not see it; the other calls still run.
        }
    }
}

}  // namespace Npapi
}  // namespace FB
