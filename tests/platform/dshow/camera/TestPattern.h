// What the test camera is and what it shows: its class id, its friendly name,
// the RGB24 sizes it offers (one with padded rows), and the known picture of
// every frame, both as the camera delivers it (a bottom-up DIB, rows padded to 4
// bytes with kPaddingByte) and as a reader of the packed frame buffer expects it
// (the same rows, bottom-up, without padding).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace TestCamera {

// {775B2C1D-6DF4-4D80-9A07-8D8E29563EDD}
inline constexpr CLSID kClsid = {0x775b2c1d, 0x6df4, 0x4d80, {0x9a, 0x07, 0x8d, 0x8e, 0x29, 0x56, 0x3e, 0xdd}};
inline constexpr wchar_t kFriendlyName[] = L"Stagecast Test Camera";
inline constexpr char kFriendlyNameAnsi[] = "Stagecast Test Camera";

struct FrameSize {
    int width;
    int height;
};
// The first is the camera's own format until one is chosen.
inline constexpr FrameSize kOfferedSizes[] = {{320, 240}, {160, 120}, {66, 50}};
inline constexpr int kOfferedSizeCount = sizeof kOfferedSizes / sizeof kOfferedSizes[0];
inline constexpr uint8_t kPaddingByte = 0xAB;
inline constexpr DWORD kFrameIntervalMs = 15;

inline size_t StrideOf(int width)
{
    return (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
}

// Byte of channel c (0 blue, 1 green, 2 red) of the pixel in column x of picture
// row y, counted from the top: different in every row and column, so a flipped,
// shifted or padded copy shows.
inline uint8_t PatternByte(int x, int yFromTop, int channel)
{
    return static_cast<uint8_t>(x * 3 + yFromTop * 7 + channel * 85 + ((x ^ yFromTop) & 0x10));
}

// Row r of a bottom-up picture, rows of `row` bytes, shows picture row
// height - 1 - r; the bytes of a row past its pixels are kPaddingByte.
inline std::vector<uint8_t> BottomUpFrame(int width, int height, size_t row)
{
    std::vector<uint8_t> frame(row * static_cast<size_t>(height), kPaddingByte);
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                frame[static_cast<size_t>(r) * row + static_cast<size_t>(x) * 3 + static_cast<size_t>(c)] =
                    PatternByte(x, height - 1 - r, c);
    return frame;
}

// Rows padded to four bytes, as a DIB's.
inline std::vector<uint8_t> DibFrame(int width, int height)
{
    return BottomUpFrame(width, height, StrideOf(width));
}

inline std::vector<uint8_t> PackedFrame(int width, int height)
{
    return BottomUpFrame(width, height, static_cast<size_t>(width) * 3);
}

}  // namespace TestCamera
