// RTP packet construction and checking. A received datagram is copied whole;
// the payload is what lies between the header (with its CSRC list and
// extension) and the padding.
#include "RtpPacket.h"

#include <cstring>
#include <new>

namespace {

constexpr uint8_t kVersion2 = 0x80;
constexpr uint8_t kVersionMask = 0xC0;
constexpr uint8_t kPaddingBit = 0x20;
constexpr uint8_t kExtensionBit = 0x10;
constexpr uint8_t kCsrcCountMask = 0x0F;

uint16_t read16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
uint32_t read32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

CRtpPacket::CRtpPacket(
    std::unique_ptr<uint8_t[]> buffer, size_t payloadOffset, uint16_t payloadLength, size_t trailerLength)
    : buffer_(std::move(buffer)),
      payloadOffset_(payloadOffset),
      payloadLength_(payloadLength),
      trailerLength_(trailerLength)
{
}

CRtpPacket* CRtpPacket::MakeSend(const uint8_t* payload, size_t length)
{
    if (!payload || length == 0 || length > kMaxSendPayloadBytes) return nullptr;
    // One spare byte behind the payload, as every packet buffer has.
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kRtpHeaderBytes + length + 1]);
    if (!buffer) return nullptr;
    std::memset(buffer.get(), 0, kRtpHeaderBytes);
    buffer[0] = kVersion2;
    std::memcpy(buffer.get() + kRtpHeaderBytes, payload, length);
    buffer[kRtpHeaderBytes + length] = 0;
    return new (std::nothrow) CRtpPacket(std::move(buffer), kRtpHeaderBytes, static_cast<uint16_t>(length), 0);
}

CRtpPacket* CRtpPacket::MakeReceived(const uint8_t* datagram, size_t length)
{
    if (!datagram || length < kRtpHeaderBytes || length > 0xFFFF) return nullptr;
    if ((datagram[0] & kVersionMask) != kVersion2) return nullptr;

    size_t offset = kRtpHeaderBytes + 4 * static_cast<size_t>(datagram[0] & kCsrcCountMask);
    if (offset > length) return nullptr;
    if (datagram[0] & kExtensionBit) {
        if (offset + 4 > length) return nullptr;
        offset += 4 + 4 * size_t{read16(datagram + offset + 2)};
        if (offset > length) return nullptr;
    }
    size_t padding = 0;
    if (datagram[0] & kPaddingBit) {
        padding = datagram[length - 1];
        if (padding == 0 || offset + padding > length) return nullptr;
    }

    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length + 1]);
    if (!buffer) return nullptr;
    std::memcpy(buffer.get(), datagram, length);
    buffer[length] = 0;
    return new (std::nothrow)
        CRtpPacket(std::move(buffer), offset, static_cast<uint16_t>(length - offset - padding), padding);
}

uint16_t CRtpPacket::SequenceNumber() const
{
    return read16(header() + 2);
}
uint32_t CRtpPacket::Timestamp() const
{
    return read32(header() + 4);
}
uint32_t CRtpPacket::Ssrc() const
{
    return read32(header() + 8);
}

void CRtpPacket::SetMarker(bool marker)
{
    buffer_[1] = static_cast<uint8_t>((buffer_[1] & 0x7F) | (marker ? 0x80 : 0));
}

void CRtpPacket::SetPayloadType(uint8_t payloadType)
{
    buffer_[1] = static_cast<uint8_t>((buffer_[1] & 0x80) | (payloadType & 0x7F));
}

void CRtpPacket::SetSequenceNumber(uint16_t sequence)
{
    buffer_[2] = static_cast<uint8_t>(sequence >> 8);
    buffer_[3] = static_cast<uint8_t>(sequence);
}
