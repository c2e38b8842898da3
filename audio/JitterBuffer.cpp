// Receive queue. Packets mostly arrive in order, so the place of a new packet
// is searched from the back: an in-order packet costs one comparison however
// long the queue is.
#include "JitterBuffer.h"

#include <cstdlib>

CJitterBuffer::~CJitterBuffer() = default;

void CJitterBuffer::Insert(PacketRef packet)
{
    if (!packet) return;
    const uint16_t sequence = packet->SequenceNumber();
    std::lock_guard<std::mutex> guard(lock_);

    if (std::abs(SequenceDistance(sequence, lastAppended_)) > kReorderWindow) {
        packets_.clear();
        packets_.push_back(std::move(packet));
        lastAppended_ = sequence;
    } else {
        auto position = packets_.end();
        while (position != packets_.begin()) {
            auto before = std::prev(position);
            const int distance = SequenceDistance((*before)->SequenceNumber(), sequence);
            if (distance == 0) return;  // already queued: play it once
            if (distance < 0) break;
            position = before;
        }
        const bool atBack = position == packets_.end();
        packets_.insert(position, std::move(packet));
        if (atBack) lastAppended_ = sequence;
    }

    if (!ready_ && packets_.size() >= kReadyCount) ready_ = true;
    if (packets_.size() >= kCapacity) packets_.pop_front();
}

PacketRef CJitterBuffer::Pop()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!ready_) return {};
    if (packets_.empty()) {
        ready_ = false;
        return {};
    }
    PacketRef front = std::move(packets_.front());
    packets_.pop_front();
    return front;
}

size_t CJitterBuffer::Size() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return packets_.size();
}

bool CJitterBuffer::Ready() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return ready_;
}

uint16_t CJitterBuffer::LastAppended() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return lastAppended_;
}

std::vector<uint16_t> CJitterBuffer::SequenceNumbers() const
{
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<uint16_t> numbers;
    for (const PacketRef& packet : packets_) numbers.push_back(packet->SequenceNumber());
    return numbers;
}
