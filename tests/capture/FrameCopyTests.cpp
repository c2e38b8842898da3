// The frame copy and the frame size rules beneath the library, case by case.
#include "FrameCopy.h"
#include "VideoShareFrame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A padded sample of width × height: row r, byte b holds (r * 16 + b) % 251,
// padding bytes 0xEE.
std::vector<uint8_t> Sample(int width, int height)
{
    size_t stride = static_cast<size_t>(Rgb24Stride(width));
    std::vector<uint8_t> sample(stride * static_cast<size_t>(height), 0xEE);
    for (int r = 0; r < height; ++r)
        for (size_t b = 0; b < static_cast<size_t>(width) * 3; ++b)
            sample[static_cast<size_t>(r) * stride + b] = static_cast<uint8_t>((r * 16 + b) % 251);
    return sample;
}

std::vector<uint8_t> Packed(int width, int height)
{
    std::vector<uint8_t> packed;
    for (int r = 0; r < height; ++r)
        for (size_t b = 0; b < static_cast<size_t>(width) * 3; ++b)
            packed.push_back(static_cast<uint8_t>((r * 16 + b) % 251));
    return packed;
}

TEST(FrameCopy, StrideRoundsRowsUpToFourBytes)
{
    struct Case {
        int width;
        uint64_t stride;
    } cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {66, 200}, {1280, 3840}, {0, 0}, {-5, 0}};
    for (const Case& c : cases) EXPECT_EQ(Rgb24Stride(c.width), c.stride) << c.width;
}

TEST(FrameCopy, PlacesPackedRowsWithinSampleAndCapacity)
{
    struct Case {
        const char* name;
        int width, height;
        size_t sampleBytes;  // SIZE_MAX: the whole sample
        size_t capacity;     // SIZE_MAX: exactly one frame
        size_t written;
    } cases[] = {
        {"unpadded rows in one piece", 4, 3, SIZE_MAX, SIZE_MAX, 36},
        {"padded rows repacked", 66, 5, SIZE_MAX, SIZE_MAX, 990},
        {"odd width", 1, 7, SIZE_MAX, SIZE_MAX, 21},
        {"capacity ends inside a row", 66, 5, SIZE_MAX, 250, 250},
        {"capacity smaller than unpadded frame", 4, 3, SIZE_MAX, 20, 20},
        {"short sample: whole rows only", 66, 5, 2 * 200 + 197, SIZE_MAX, 396},
        {"last row without its padding", 66, 5, 4 * 200 + 198, SIZE_MAX, 990},
        {"short unpadded sample", 4, 3, 30, SIZE_MAX, 30},
        {"no capacity", 66, 5, SIZE_MAX, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> sample = Sample(c.width, c.height);
        size_t sampleBytes = c.sampleBytes == SIZE_MAX ? sample.size() : c.sampleBytes;
        size_t frame = static_cast<size_t>(c.width) * static_cast<size_t>(c.height) * 3;
        size_t capacity = c.capacity == SIZE_MAX ? frame : c.capacity;
        // A guard zone after the capacity shows any write past it.
        std::vector<uint8_t> target(capacity + 64, 0x5A);
        size_t written = CopyRgb24Frame(sample.data(), sampleBytes, c.width, c.height, target.data(), capacity);
        EXPECT_EQ(written, c.written) << c.name;
        std::vector<uint8_t> expected = Packed(c.width, c.height);
        expected.resize(written);
        EXPECT_EQ(std::vector<uint8_t>(target.begin(), target.begin() + static_cast<long>(written)), expected)
            << c.name;
        for (size_t i = written; i < target.size(); ++i) ASSERT_EQ(target[i], 0x5A) << c.name << " wrote byte " << i;
    }
}

TEST(FrameCopy, RefusesMissingBuffersAndEmptySizes)
{
    std::vector<uint8_t> sample = Sample(4, 3);
    std::vector<uint8_t> target(64, 0);
    EXPECT_EQ(CopyRgb24Frame(nullptr, 36, 4, 3, target.data(), 64), 0u);
    EXPECT_EQ(CopyRgb24Frame(sample.data(), 36, 4, 3, nullptr, 64), 0u);
    EXPECT_EQ(CopyRgb24Frame(sample.data(), 36, 0, 3, target.data(), 64), 0u);
    EXPECT_EQ(CopyRgb24Frame(sample.data(), 36, 4, -1, target.data(), 64), 0u);
}

TEST(VideoShareFrame, FrameSizesAreComputedWideAndBounded)
{
    struct Case {
        int width, height;
        bool accepted;
        uint64_t bytes;
    } cases[] = {
        {320, 240, true, 230400},
        {1, 1, true, 3},
        {7680, 4320, true, 99532800},
        {16384, 16384, false, 0},  // 768 MiB: no camera frame
        {0, 240, false, 0},
        {320, 0, false, 0},
        {-320, 240, false, 0},
        {320, -240, false, 0},
        {65536, 65536, false, 0},  // overflows 32 bits
        {2147483647, 2, false, 0},
    };
    for (const Case& c : cases) {
        uint64_t bytes = 0;
        EXPECT_EQ(VideoShareFrame::FrameBytes(c.width, c.height, bytes), c.accepted) << c.width << "x" << c.height;
        if (c.accepted) {
            EXPECT_EQ(bytes, c.bytes);
        }
    }
}

}  // namespace
