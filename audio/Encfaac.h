/*
 * AAC-LC encoder of the capture path: 16-bit PCM buffers of 1024 samples per
 * channel in, one ADTS frame (MPEG-4, constant bit rate) out, through the FAAC
 * encoder calls. Used on one thread at a time.
 */
#ifndef AUDIO_ENCFAAC_H
#define AUDIO_ENCFAAC_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include <faac.h>

class CEncfaac {
public:
    CEncfaac() = default;
    CEncfaac(const CEncfaac&) = delete;
    CEncfaac& operator=(const CEncfaac&) = delete;
    ~CEncfaac();

    // totalBitRate is for all channels together; channels 1 to 6 are asked for.
    bool Open(unsigned long sampleRate, unsigned channels, unsigned long totalBitRate);
    // pcm holds InputSamples() samples; out has MaxOutputBytes() of room.
    // outBytes is 0 when the encoder produced nothing for this buffer.
    bool Encode(const int16_t* pcm, uint8_t* out, size_t& outBytes);

    unsigned Channels() const { return channels_; }
    unsigned SamplesPerChannel() const { return samplesPerChannel_; }
    unsigned long InputSamples() const { return inputSamples_; }
    unsigned long MaxOutputBytes() const { return maxOutputBytes_; }

private:
    void close();

    unsigned channels_ = 0;
    unsigned samplesPerChannel_ = 0;
    unsigned long inputSamples_ = 0;
    unsigned long maxOutputBytes_ = 0;
    faacEncHandle encoder_ = nullptr;
    std::vector<int32_t> input_;
};

#endif
