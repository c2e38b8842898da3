#include "AacDecoder.h"

#include <cstring>

#include <neaacdec.h>

namespace {

constexpr size_t kAdtsHeaderBytes = 7;

// A whole ADTS frame starts here: the sync word, layer 0, a sampling rate of
// the table and a frame length that covers its header and lies in the data.
bool startsWithAdtsFrame(const uint8_t* data, size_t length)
{
    if (length < kAdtsHeaderBytes) return false;
    if (data[0] != 0xFF || (data[1] & 0xF6) != 0xF0) return false;
    if (((data[2] >> 2) & 0x0F) > 12) return false;
    const bool crc = (data[1] & 0x01) == 0;
    const size_t frameLength = (size_t{data[3] & 0x03u} << 11) | (size_t{data[4]} << 3) | (data[5] >> 5);
    return frameLength >= kAdtsHeaderBytes + (crc ? 2 : 0) && frameLength <= length;
}

}  // namespace

CAacDecoder::~CAacDecoder()
{
    if (decoder_) NeAACDecClose(static_cast<NeAACDecHandle>(decoder_));
}

bool CAacDecoder::open(const uint8_t* frame, size_t length)
{
    // The decoder would take headerless data as raw AAC and keep that format.
    if (!startsWithAdtsFrame(frame, length)) return false;
    NeAACDecHandle decoder = NeAACDecOpen();
    if (!decoder) return false;
    NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(decoder);
    config->outputFormat = FAAD_FMT_16BIT;
    config->downMatrix = 1;
    config->dontUpSampleImplicitSBR = 1;
    NeAACDecSetConfiguration(decoder, config);
    unsigned long sampleRate = 0;
    unsigned char channels = 0;
    if (NeAACDecInit(decoder, const_cast<unsigned char*>(frame), static_cast<unsigned long>(length), &sampleRate,
            &channels) < 0) {
        NeAACDecClose(decoder);
        return false;
    }
    decoder_ = decoder;
    return true;
}

bool CAacDecoder::DecodeFrame(const uint8_t* frame, size_t length, int16_t* stereoOut)
{
    if (!frame || length == 0 || !stereoOut) return false;
    if (!decoder_ && !open(frame, length)) return false;

    NeAACDecFrameInfo info{};
    auto* samples = static_cast<const int16_t*>(NeAACDecDecode(static_cast<NeAACDecHandle>(decoder_), &info,
        const_cast<unsigned char*>(frame), static_cast<unsigned long>(length)));
    if (!samples || info.error != 0 || info.channels == 0) return false;
    if (info.samples != kFrames * info.channels) return false;
    if (info.channels == 2) {
        std::memcpy(stereoOut, samples, kFrames * 2 * sizeof(int16_t));
    } else if (info.channels == 1) {
        for (size_t i = 0; i < kFrames; ++i) stereoOut[2 * i] = stereoOut[2 * i + 1] = samples[i];
    } else {
        return false;
    }
    return true;
}
