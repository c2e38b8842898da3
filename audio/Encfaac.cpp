#include "Encfaac.h"

CEncfaac::~CEncfaac()
{
    close();
}

void CEncfaac::close()
{
    if (encoder_) faacEncClose(encoder_);
    encoder_ = nullptr;
}

bool CEncfaac::Open(unsigned long sampleRate, unsigned channels, unsigned long totalBitRate)
{
    if (channels < 1 || channels > 6 || encoder_) return false;
    encoder_ = faacEncOpen(sampleRate, channels, &inputSamples_, &maxOutputBytes_);
    if (!encoder_) return false;

    faacEncConfigurationPtr config = faacEncGetCurrentConfiguration(encoder_);
    if (!config || config->version != FAAC_CFG_VERSION) {
        close();
        return false;
    }
    config->mpegVersion = MPEG4;
    config->aacObjectType = LOW;
    config->allowMidside = 1;
    config->useLfe = 1;
    config->useTns = 1;
    config->bitRate = totalBitRate / channels;
    config->bandWidth = 0;
    config->quantqual = 100;
    config->outputFormat = ADTS_STREAM;
    config->inputFormat = FAAC_INPUT_32BIT;
    config->shortctl = SHORTCTL_NORMAL;
    if (!faacEncSetConfiguration(encoder_, config)) {
        close();
        return false;
    }

    channels_ = channels;
    samplesPerChannel_ = static_cast<unsigned>(inputSamples_ / channels);
    try {
        input_.assign(inputSamples_, 0);
    } catch (...) {
        close();
        return false;
    }
    return true;
}

bool CEncfaac::Encode(const int16_t* pcm, uint8_t* out, size_t& outBytes)
{
    outBytes = 0;
    if (!encoder_ || !pcm || !out) return false;
    // 32-bit input carries the sample in its upper 24 bits' range.
    for (size_t i = 0; i < input_.size(); ++i) input_[i] = int32_t{pcm[i]} * 256;
    const int written = faacEncEncode(
        encoder_, input_.data(), static_cast<unsigned>(input_.size()), out, static_cast<unsigned>(maxOutputBytes_));
    if (written < 0) return false;
    outBytes = static_cast<size_t>(written);
    return true;
}
