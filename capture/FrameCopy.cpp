#include "FrameCopy.h"

#include <algorithm>
#include <cstring>

uint64_t Rgb24Stride(int width)
{
    if (width <= 0) return 0;
    return (static_cast<uint64_t>(width) * 3 + 3) & ~static_cast<uint64_t>(3);
}

size_t CopyRgb24Frame(
    const uint8_t* sample, size_t sampleBytes, int width, int height, uint8_t* target, size_t capacity)
{
    if (!sample || !target || width <= 0 || height <= 0) return 0;
    const uint64_t row = static_cast<uint64_t>(width) * 3;
    const uint64_t stride = Rgb24Stride(width);
    const uint64_t frame = row * static_cast<uint64_t>(height);
    const uint64_t limit = std::min<uint64_t>(frame, capacity);

    if (stride == row) {
        size_t bytes = static_cast<size_t>(std::min<uint64_t>(limit, sampleBytes));
        std::memcpy(target, sample, bytes);
        return bytes;
    }
    uint64_t written = 0;
    for (uint64_t r = 0; r < static_cast<uint64_t>(height) && written < limit; ++r) {
        uint64_t from = r * stride;
        if (from + row > sampleBytes) break;
        size_t bytes = static_cast<size_t>(std::min<uint64_t>(row, limit - written));
        std::memcpy(target + written, sample + from, bytes);
        written += bytes;
    }
    return static_cast<size_t>(written);
}
