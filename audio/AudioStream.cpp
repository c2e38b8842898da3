#include "AudioStream.h"

#include <utility>

CAudioStream::CAudioStream(IAudioPeerSink* sink, int streamId, int spare)
    : sink_(sink), streamId_(streamId), spare_(spare), muted_(std::make_shared<std::atomic<bool>>(false))
{
}

CAudioStream::~CAudioStream()
{
    Stop();
    WaitIdle();
}

int CAudioStream::ModeForPayloadType(uint8_t payloadType)
{
    switch (payloadType) {
    case 35: return 4;
    case 36: return Sondex::kCaptureModeMono;
    case 37: return Sondex::kCaptureModeStereo;
    default: return 0;
    }
}

bool CAudioStream::PacketIn(CRtpPacket* packet)
{
    const int mode = ModeForPayloadType(packet->PayloadType());
    if (mode == 0) return false;
    packet->AddRef();
    PacketRef kept(packet);
    std::unique_lock<std::mutex> lock(state_);
    if (stopped_) return true;  // removed: dropped
    if (!working_ && mode == mode_ && queue_) {
        queue_->Insert(std::move(kept));
        return true;
    }
    pending_.push_back(std::move(kept));
    if (working_) return true;  // the thread at work takes it in turn
    work(lock);
    return true;
}

void CAudioStream::Stop()
{
    std::unique_lock<std::mutex> lock(state_);
    if (stopped_) return;
    stopping_ = true;
    if (!working_) work(lock);
}

void CAudioStream::WaitIdle()
{
    std::unique_lock<std::mutex> lock(state_);
    idle_.wait(lock, [this] { return !working_; });
}

// Takes the waiting packets, and a stop, in turn; the lock is let go while an
// output is stopped or opened.
void CAudioStream::work(std::unique_lock<std::mutex>& lock)
{
    working_ = true;
    try {
        drain(lock);
    } catch (...) {
        // memory ran short: what is left waits for the next caller, and
        // nobody waits for this one any more
        working_ = false;
        idle_.notify_all();
        throw;
    }
    working_ = false;
    idle_.notify_all();
}

void CAudioStream::drain(std::unique_lock<std::mutex>& lock)
{
    for (;;) {
        if (stopping_) {
            stopping_ = false;
            stopped_ = true;
            pending_.clear();
            OutputPtr output = std::move(output_);
            std::shared_ptr<CJitterBuffer> queue = std::move(queue_);
            lock.unlock();
            output.reset();
            queue.reset();  // its packets go with the output that played them
            lock.lock();
            continue;
        }
        if (pending_.empty()) break;
        PacketRef next = std::move(pending_.front());
        pending_.pop_front();
        if (ModeForPayloadType(next->PayloadType()) == mode_ && queue_)
            queue_->Insert(std::move(next));
        else
            switchMode(lock, std::move(next));
    }
}

void CAudioStream::switchMode(std::unique_lock<std::mutex>& lock, PacketRef first)
{
    const int mode = ModeForPayloadType(first->PayloadType());
    OutputPtr old = std::move(output_);
    lock.unlock();
    std::shared_ptr<CJitterBuffer> queue;
    OutputPtr output;
    try {
        old.reset();
        queue = std::make_shared<CJitterBuffer>();
        queue->Insert(std::move(first));
        if (mode == Sondex::kCaptureModeMono || mode == Sondex::kCaptureModeStereo) {
            output.reset(new CAudioOutput(sink_, streamId_, queue, muted_));
            if (!output->Open()) output.reset();
        }
    } catch (...) {
        output.reset();  // no device is closed under the lock
        old.reset();
        lock.lock();     // the caller leaves with the lock held
        throw;
    }
    lock.lock();
    mode_ = mode;
    queue_ = std::move(queue);
    output_ = std::move(output);
}

int CAudioStream::Mode() const
{
    std::lock_guard<std::mutex> guard(state_);
    return mode_;
}

bool CAudioStream::OutputRunning() const
{
    std::lock_guard<std::mutex> guard(state_);
    return output_ && output_->Running();
}

size_t CAudioStream::QueuedPackets() const
{
    std::lock_guard<std::mutex> guard(state_);
    return queue_ ? queue_->Size() : 0;
}
