// Placing one RGB24 sample into the frame buffer.
//
// A sample holds rows of width × 3 bytes padded to a multiple of 4 (the DIB
// stride); the frame buffer holds the same rows, in the same bottom-up order,
// without padding. The copy never reads past the sample's data length and never
// writes past the buffer's capacity; a short sample fills only its whole rows.
#pragma once

#include <cstddef>
#include <cstdint>

// The DIB stride of an RGB24 row: width × 3 rounded up to 4 bytes.
uint64_t Rgb24Stride(int width);

// Copies a sample of sampleBytes into target (capacity bytes) as packed rows;
// returns the number of bytes written.
size_t CopyRgb24Frame(
    const uint8_t* sample, size_t sampleBytes, int width, int height, uint8_t* target, size_t capacity);
