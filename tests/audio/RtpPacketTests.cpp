// RTP packets: what a received datagram must look like to be taken, where its
// payload lies, and how a send packet's header is built.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "RtpPacket.h"

namespace {

std::vector<uint8_t> datagram(std::vector<uint8_t> header, size_t payloadBytes)
{
    for (size_t i = 0; i < payloadBytes; ++i) header.push_back(static_cast<uint8_t>(0xA0 + i));
    return header;
}

const std::vector<uint8_t> kFixed = {0x80, 0x24, 0x12, 0x34, 0, 0, 0, 7, 0, 0, 0, 9};

std::vector<uint8_t> withFirstByte(uint8_t first, std::vector<uint8_t> rest = {})
{
    std::vector<uint8_t> bytes = kFixed;
    bytes[0] = first;
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

struct ReceivedCase {
    const char* what;
    std::vector<uint8_t> bytes;
    bool taken;
    size_t payloadOffset;
    size_t payloadLength;
};

}  // namespace

TEST(RtpPacket, ReceivedDatagramsAreTakenOnlyWhenWellFormed)
{
    const std::vector<ReceivedCase> cases = {
        {"bare header", kFixed, true, 12, 0},
        {"header and payload", datagram(kFixed, 5), true, 12, 5},
        {"11 bytes", std::vector<uint8_t>(kFixed.begin(), kFixed.end() - 1), false, 0, 0},
        {"version 1", withFirstByte(0x40), false, 0, 0},
        {"version 3", withFirstByte(0xC0), false, 0, 0},
        {"version 0", withFirstByte(0x00), false, 0, 0},
        {"one CSRC present", withFirstByte(0x81, {1, 2, 3, 4, 0xEE}), true, 16, 1},
        {"CSRC list beyond the datagram", withFirstByte(0x8F, {1, 2, 3, 4}), false, 0, 0},
        {"extension of one word", withFirstByte(0x90, {0xBE, 0xDE, 0, 1, 9, 9, 9, 9, 0xEE}), true, 20, 1},
        {"extension header cut off", withFirstByte(0x90, {0xBE, 0xDE}), false, 0, 0},
        {"extension length beyond the datagram", withFirstByte(0x90, {0xBE, 0xDE, 0x40, 0, 1}), false, 0, 0},
        {"padding of two", withFirstByte(0xA0, {0xEE, 0, 2}), true, 12, 1},
        {"padding count zero", withFirstByte(0xA0, {0xEE, 0}), false, 0, 0},
        {"padding beyond the payload", withFirstByte(0xA0, {0xEE, 9}), false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PacketRef packet(CRtpPacket::MakeReceived(c.bytes.data(), c.bytes.size()));
        ASSERT_EQ(static_cast<bool>(packet), c.taken);
        if (!packet) continue;
        EXPECT_EQ(packet->PayloadLength(), c.payloadLength);
        EXPECT_EQ(packet->Payload() - packet->Data(), static_cast<ptrdiff_t>(c.payloadOffset));
        EXPECT_EQ(packet->Size(), c.bytes.size());
        if (c.payloadLength) {
            EXPECT_EQ(packet->Payload()[0], c.bytes[c.payloadOffset]);
        }
    }
    EXPECT_EQ(CRtpPacket::MakeReceived(nullptr, 12), nullptr);
}

TEST(RtpPacket, ReceivedHeaderFieldsAreReadInNetworkOrder)
{
    const std::vector<uint8_t> bytes = {0x80, 0xA5, 0xFF, 0xFE, 0x01, 0x02, 0x03, 0x04, 0xCA, 0xFE, 0xBA, 0xBE};
    PacketRef packet(CRtpPacket::MakeReceived(bytes.data(), bytes.size()));
    ASSERT_TRUE(packet);
    EXPECT_TRUE(packet->Marker());
    EXPECT_EQ(packet->PayloadType(), 37);
    EXPECT_EQ(packet->SequenceNumber(), 0xFFFE);
    EXPECT_EQ(packet->Timestamp(), 0x01020304u);
    EXPECT_EQ(packet->Ssrc(), 0xCAFEBABEu);
}

TEST(RtpPacket, SendPacketsWrapOnePayloadBehindAVersion2Header)
{
    const std::vector<uint8_t> big(kMaxSendPayloadBytes + 1, 0x55);
    EXPECT_EQ(CRtpPacket::MakeSend(nullptr, 4), nullptr);
    EXPECT_EQ(CRtpPacket::MakeSend(big.data(), 0), nullptr);
    EXPECT_EQ(CRtpPacket::MakeSend(big.data(), big.size()), nullptr);
    PacketRef largest(CRtpPacket::MakeSend(big.data(), kMaxSendPayloadBytes));
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->PayloadLength(), kMaxSendPayloadBytes);

    const uint8_t frame[] = {0xFF, 0xF1, 0x50, 0x80};
    PacketRef packet(CRtpPacket::MakeSend(frame, sizeof(frame)));
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->RefCountForTesting(), 1);
    const std::vector<uint8_t> fresh(packet->Data(), packet->Data() + 12);
    EXPECT_EQ(fresh, (std::vector<uint8_t>{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    packet->SetMarker(true);
    packet->SetPayloadType(36);
    packet->SetSequenceNumber(0x1234);
    PacketRef echoed(CRtpPacket::MakeReceived(packet->Data(), packet->Size()));
    ASSERT_TRUE(echoed);
    EXPECT_TRUE(echoed->Marker());
    EXPECT_EQ(echoed->PayloadType(), 36);
    EXPECT_EQ(echoed->SequenceNumber(), 0x1234);
    EXPECT_EQ(std::vector<uint8_t>(echoed->Payload(), echoed->Payload() + echoed->PayloadLength()),
        std::vector<uint8_t>(frame, frame + sizeof(frame)));
}
