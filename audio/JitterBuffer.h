/*
 * The receive queue of one remote stream: packets in play order by 16-bit
 * sequence number, released for playback once ten have gathered.
 *
 * Sequence numbers compare by serial-number arithmetic (the signed 16-bit
 * difference), so the step from 65535 to 0 is a step of one. A packet within
 * 100 of the number appended last is put in order (a duplicate of a queued
 * packet is dropped); a bigger jump either way discards the queue and starts
 * it again from that packet. At most 999 packets stay queued: the front one is
 * dropped when the thousandth arrives. After a pop finds the queue empty,
 * playback waits for ten packets again.
 *
 * Threading: Insert runs on the caller's thread, Pop on the playback callback
 * thread; both take the queue's own lock.
 */
#ifndef AUDIO_JITTERBUFFER_H
#define AUDIO_JITTERBUFFER_H

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <vector>

#include "RtpPacket.h"

class CJitterBuffer {
public:
    static constexpr int kReorderWindow = 100;
    static constexpr size_t kReadyCount = 10;
    static constexpr size_t kCapacity = 1000;

    CJitterBuffer() = default;
    CJitterBuffer(const CJitterBuffer&) = delete;
    CJitterBuffer& operator=(const CJitterBuffer&) = delete;
    ~CJitterBuffer();  // drops every queued reference

    // Takes over one reference of the packet (kept or dropped).
    void Insert(PacketRef packet);
    // The front packet with its reference, or none while not ready.
    PacketRef Pop();

    size_t Size() const;
    bool Ready() const;
    uint16_t LastAppended() const;
    std::vector<uint16_t> SequenceNumbers() const;

private:
    mutable std::mutex lock_;
    std::list<PacketRef> packets_;
    uint16_t lastAppended_ = 0;
    bool ready_ = false;
};

// Signed distance from b to a on the 16-bit sequence circle.
inline int SequenceDistance(uint16_t a, uint16_t b)
{
    return static_cast<int16_t>(static_cast<uint16_t>(a - b));
}

#endif
