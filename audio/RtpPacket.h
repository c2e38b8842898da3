/*
 * One RTP packet (version 2, fixed 12-byte header, one AAC frame as payload),
 * reference counted so that the receive queue and the playback thread can
 * share it.
 *
 * Two ways in: MakeSend wraps an encoded frame behind a fresh header;
 * MakeReceived copies a datagram after checking that it is a well-formed
 * version 2 packet whose CSRC list, extension and padding lie inside it.
 * Header fields are kept in network byte order in the buffer.
 */
#ifndef AUDIO_RTPPACKET_H
#define AUDIO_RTPPACKET_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "RefCount.h"

constexpr size_t kRtpHeaderBytes = 12;
constexpr size_t kMaxSendPayloadBytes = 0xFC00;

class CRtpPacket : public CRefCount {
public:
    // Null when the payload is null, empty, above kMaxSendPayloadBytes, or memory is short.
    static CRtpPacket* MakeSend(const uint8_t* payload, size_t length);
    // Null when the datagram is not a well-formed RTP version 2 packet.
    static CRtpPacket* MakeReceived(const uint8_t* datagram, size_t length);

    uint8_t PayloadType() const { return header()[1] & 0x7F; }
    bool Marker() const { return (header()[1] & 0x80) != 0; }
    uint16_t SequenceNumber() const;
    uint32_t Timestamp() const;
    uint32_t Ssrc() const;
    void SetMarker(bool marker);
    void SetPayloadType(uint8_t payloadType);
    void SetSequenceNumber(uint16_t sequence);

    // The whole packet as sent: header, then payload.
    const uint8_t* Data() const { return buffer_.get(); }
    size_t Size() const { return payloadOffset_ + payloadLength_ + trailerLength_; }
    const uint8_t* Payload() const { return buffer_.get() + payloadOffset_; }
    uint16_t PayloadLength() const { return payloadLength_; }

private:
    CRtpPacket(std::unique_ptr<uint8_t[]> buffer, size_t payloadOffset, uint16_t payloadLength, size_t trailerLength);
    const uint8_t* header() const { return buffer_.get(); }

    std::unique_ptr<uint8_t[]> buffer_;
    size_t payloadOffset_;
    uint16_t payloadLength_;
    size_t trailerLength_;  // padding of a received packet
};

// Holds one reference to a packet and drops it when it goes.
class PacketRef {
public:
    PacketRef() = default;
    explicit PacketRef(CRtpPacket* adopted) : packet_(adopted) {}
    PacketRef(PacketRef&& other) noexcept : packet_(other.packet_) { other.packet_ = nullptr; }
    PacketRef& operator=(PacketRef&& other) noexcept
    {
        if (this != &other) {
            reset();
            packet_ = other.packet_;
            other.packet_ = nullptr;
        }
        return *this;
    }
    PacketRef(const PacketRef&) = delete;
    PacketRef& operator=(const PacketRef&) = delete;
    ~PacketRef() { reset(); }

    CRtpPacket* get() const { return packet_; }
    CRtpPacket* operator->() const { return packet_; }
    explicit operator bool() const { return packet_ != nullptr; }
    void reset()
    {
        if (packet_) packet_->Release();
        packet_ = nullptr;
    }

private:
    CRtpPacket* packet_ = nullptr;
};

#endif
