// The receive queue: play order by sequence number across the 16-bit wrap,
// duplicates, jumps that restart it, the ready threshold and the size bound.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "JitterBuffer.h"

namespace {

PacketRef packetNumbered(uint16_t sequence)
{
    const uint8_t header[12] = {0x80, 36, static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence)};
    return PacketRef(CRtpPacket::MakeReceived(header, sizeof(header)));
}

void insertAll(CJitterBuffer& queue, const std::vector<uint16_t>& numbers)
{
    for (uint16_t n : numbers) queue.Insert(packetNumbered(n));
}

struct OrderCase {
    const char* what;
    std::vector<uint16_t> arrivals;
    std::vector<uint16_t> queued;
    uint16_t lastAppended;
};

}  // namespace

TEST(JitterBuffer, KeepsPacketsInSequenceOrder)
{
    const std::vector<OrderCase> cases = {
        {"reordered in the middle", {1, 5, 3, 4}, {1, 3, 4, 5}, 5},
        {"duplicates play once", {1, 2, 2, 3, 2}, {1, 2, 3}, 3},
        {"a gap is kept", {1, 2, 50}, {1, 2, 50}, 50},
        {"a late packet goes to the front", {10, 11, 12, 9}, {9, 10, 11, 12}, 12},
        {"a jump of more than 100 restarts", {50, 200}, {200}, 200},
        {"a jump of exactly 100 does not", {50, 150}, {50, 150}, 150},
        {"a jump back of more than 100 restarts", {500, 501, 300}, {300}, 300},
        {"the wrap is one step", {65534, 65535, 0, 1}, {65534, 65535, 0, 1}, 1},
        {"reordering across the wrap", {65535, 1, 0}, {65535, 0, 1}, 1},
        {"a late packet from before the wrap", {65534, 0, 65535, 1}, {65534, 65535, 0, 1}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CJitterBuffer queue;
        insertAll(queue, c.arrivals);
        EXPECT_EQ(queue.SequenceNumbers(), c.queued);
        EXPECT_EQ(queue.LastAppended(), c.lastAppended);
    }
}

TEST(JitterBuffer, PlaysOnlyOnceTenPacketsHaveGathered)
{
    CJitterBuffer queue;
    insertAll(queue, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_FALSE(queue.Ready());
    EXPECT_FALSE(queue.Pop());
    queue.Insert(packetNumbered(10));
    EXPECT_TRUE(queue.Ready());

    for (uint16_t expected = 1; expected <= 10; ++expected) {
        PacketRef packet = queue.Pop();
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->SequenceNumber(), expected);
    }
    EXPECT_FALSE(queue.Pop());  // the underrun
    EXPECT_FALSE(queue.Ready());
    insertAll(queue, {11, 12, 13, 14, 15, 16, 17, 18, 19});
    EXPECT_FALSE(queue.Pop());
    queue.Insert(packetNumbered(20));
    ASSERT_TRUE(queue.Ready());
    EXPECT_EQ(queue.Pop()->SequenceNumber(), 11);
}

TEST(JitterBuffer, ARestartKeepsTheReadyFlag)
{
    CJitterBuffer queue;
    insertAll(queue, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    queue.Insert(packetNumbered(5000));
    EXPECT_TRUE(queue.Ready());
    EXPECT_EQ(queue.Pop()->SequenceNumber(), 5000);
}

TEST(JitterBuffer, NeverHoldsAThousandPackets)
{
    CJitterBuffer queue;
    for (int i = 1; i <= 999; ++i) queue.Insert(packetNumbered(static_cast<uint16_t>(i)));
    EXPECT_EQ(queue.Size(), 999u);
    queue.Insert(packetNumbered(1000));
    EXPECT_EQ(queue.Size(), 999u);
    EXPECT_EQ(queue.SequenceNumbers().front(), 2);
    EXPECT_EQ(queue.SequenceNumbers().back(), 1000);
}

TEST(JitterBuffer, ReleasesEveryReferenceItDrops)
{
    PacketRef kept = packetNumbered(7);
    PacketRef duplicate = packetNumbered(7);
    PacketRef flushed = packetNumbered(8);
    {
        CJitterBuffer queue;
        kept->AddRef();
        queue.Insert(PacketRef(kept.get()));
        EXPECT_EQ(kept->RefCountForTesting(), 2);
        duplicate->AddRef();
        queue.Insert(PacketRef(duplicate.get()));
        EXPECT_EQ(duplicate->RefCountForTesting(), 1);  // refused and released
        flushed->AddRef();
        queue.Insert(PacketRef(flushed.get()));
        queue.Insert(packetNumbered(900));  // restart drops 7 and 8
        EXPECT_EQ(kept->RefCountForTesting(), 1);
        EXPECT_EQ(flushed->RefCountForTesting(), 1);
        flushed->AddRef();
        queue.Insert(PacketRef(flushed.get()));
        EXPECT_EQ(flushed->RefCountForTesting(), 2);
    }
    EXPECT_EQ(flushed->RefCountForTesting(), 1);  // the queue's destruction released it
}
