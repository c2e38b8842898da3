/*
 * Turns one received ADTS AAC frame into one playback buffer: 1024 stereo
 * 16-bit frames (a mono frame is spread to both channels). The decoder learns
 * the stream's format from the first frame with a valid ADTS header; anything
 * before it plays as silence. Used on one thread at a time (the playback
 * callback thread).
 */
#ifndef AUDIO_AACDECODER_H
#define AUDIO_AACDECODER_H

#include <cstddef>
#include <cstdint>

class CAacDecoder {
public:
    static constexpr size_t kFrames = 1024;

    CAacDecoder() = default;
    CAacDecoder(const CAacDecoder&) = delete;
    CAacDecoder& operator=(const CAacDecoder&) = delete;
    ~CAacDecoder();

    // stereoOut has room for kFrames * 2 samples. False, with stereoOut left
    // alone, when the frame cannot be decoded into a whole buffer.
    bool DecodeFrame(const uint8_t* frame, size_t length, int16_t* stereoOut);

private:
    bool open(const uint8_t* frame, size_t length);

    void* decoder_ = nullptr;
};

#endif
