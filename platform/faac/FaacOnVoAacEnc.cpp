// The FAAC encoder calls on top of vo-aacenc. One Encoder per handle keeps
// the vo-aacenc instance, the configuration record handed out to the caller
// and the configuration that was last accepted (encoding needs one).
#include "faac.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include <vo-aacenc/cmnMemory.h>
#include <vo-aacenc/voAAC.h>

namespace {

constexpr unsigned kFrameSamplesPerChannel = 1024;
// One AAC channel element is at most 6144 bits; ADTS adds a 7-byte header.
constexpr unsigned kMaxFrameBytesPerChannel = 6144 / 8;
constexpr unsigned kAdtsHeaderBytes = 7;
constexpr std::array<unsigned long, 12> kSampleRates = {
    96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};

struct Encoder {
    unsigned long sampleRate = 0;
    unsigned channels = 0;
    VO_AUDIO_CODECAPI api{};
    VO_MEM_OPERATOR memory{};  // vo-aacenc keeps a pointer to it
    VO_HANDLE codec = nullptr;
    faacEncConfiguration current{};
    faacEncConfiguration accepted{};
    bool configured = false;
    std::vector<int16_t> pcm;
    std::vector<unsigned char> frame;

    ~Encoder()
    {
        if (codec) api.Uninit(codec);
    }
    unsigned inputSamples() const { return kFrameSamplesPerChannel * channels; }
    unsigned maxOutputBytes() const { return kMaxFrameBytesPerChannel * channels + kAdtsHeaderBytes; }
};

Encoder* toEncoder(faacEncHandle handle)
{
    return static_cast<Encoder*>(handle);
}

faacEncConfiguration defaultConfiguration(unsigned channels)
{
    faacEncConfiguration config{};
    config.version = FAAC_CFG_VERSION;
    config.name = "vo-aacenc";
    config.copyright = "VisualOn AAC encoder, Apache License 2.0";
    config.mpegVersion = MPEG4;
    config.aacObjectType = LOW;
    config.allowMidside = 1;
    config.useLfe = 0;
    config.useTns = 1;
    config.bitRate = channels == 1 ? 64000 : 48000;
    config.bandWidth = 0;
    config.quantqual = 100;
    config.outputFormat = ADTS_STREAM;
    config.inputFormat = FAAC_INPUT_32BIT;
    config.shortctl = SHORTCTL_NORMAL;
    return config;
}

bool acceptable(const faacEncConfiguration& config, const Encoder& encoder)
{
    if (config.version != FAAC_CFG_VERSION) return false;
    if (config.mpegVersion != MPEG4 && config.mpegVersion != MPEG2) return false;
    if (config.aacObjectType != LOW) return false;  // the encoder is LC only
    if (config.outputFormat != RAW_STREAM && config.outputFormat != ADTS_STREAM) return false;
    if (config.inputFormat != FAAC_INPUT_16BIT && config.inputFormat != FAAC_INPUT_32BIT &&
        config.inputFormat != FAAC_INPUT_FLOAT)
        return false;
    if (config.shortctl != SHORTCTL_NORMAL) return false;
    // Constant bit rate only: the range the encoder takes without changing it.
    const unsigned long perChannel = config.bitRate;
    if (perChannel < 4000 || perChannel > 160000 || perChannel > encoder.sampleRate * 6) return false;
    return true;
}

int16_t clampToSample(long value)
{
    return static_cast<int16_t>(std::clamp<long>(value, -32768, 32767));
}

void convertInput(const Encoder& encoder, const int32_t* input, unsigned count, int16_t* out)
{
    switch (encoder.accepted.inputFormat) {
    case FAAC_INPUT_16BIT: {
        std::memcpy(out, input, count * sizeof(int16_t));
        break;
    }
    case FAAC_INPUT_32BIT:
        for (unsigned i = 0; i < count; ++i) out[i] = clampToSample(input[i] >> 8);
        break;
    case FAAC_INPUT_FLOAT: {
        const float* samples = reinterpret_cast<const float*>(input);
        for (unsigned i = 0; i < count; ++i) out[i] = clampToSample(std::lround(samples[i]));
        break;
    }
    }
}

// vo-aacenc always writes the MPEG-2 ID; the header says what was asked for.
void setAdtsVersion(unsigned char* frame, unsigned length, unsigned mpegVersion)
{
    if (length < kAdtsHeaderBytes || frame[0] != 0xFF || (frame[1] & 0xF0) != 0xF0) return;
    if (mpegVersion == MPEG2)
        frame[1] |= 0x08;
    else
        frame[1] &= static_cast<unsigned char>(~0x08);
}

}  // namespace

extern "C" faacEncHandle faacEncOpen(
    unsigned long sampleRate, unsigned int numChannels, unsigned long* inputSamples, unsigned long* maxOutputBytes)
{
    if (numChannels < 1 || numChannels > 2) return nullptr;
    if (std::find(kSampleRates.begin(), kSampleRates.end(), sampleRate) == kSampleRates.end()) return nullptr;
    Encoder* encoder = new (std::nothrow) Encoder;
    if (!encoder) return nullptr;
    try {
        encoder->sampleRate = sampleRate;
        encoder->channels = numChannels;
        encoder->pcm.assign(encoder->inputSamples(), 0);
        encoder->frame.assign(encoder->maxOutputBytes(), 0);
    } catch (...) {
        delete encoder;
        return nullptr;
    }
    encoder->memory.Alloc = cmnMemAlloc;
    encoder->memory.Copy = cmnMemCopy;
    encoder->memory.Free = cmnMemFree;
    encoder->memory.Set = cmnMemSet;
    encoder->memory.Check = cmnMemCheck;
    VO_CODEC_INIT_USERDATA userData{};
    userData.memflag = VO_IMF_USERMEMOPERATOR;
    userData.memData = &encoder->memory;
    voGetAACEncAPI(&encoder->api);
    if (encoder->api.Init(&encoder->codec, VO_AUDIO_CodingAAC, &userData) != VO_ERR_NONE) {
        encoder->codec = nullptr;
        delete encoder;
        return nullptr;
    }
    encoder->current = defaultConfiguration(numChannels);
    if (inputSamples) *inputSamples = encoder->inputSamples();
    if (maxOutputBytes) *maxOutputBytes = encoder->maxOutputBytes();
    return encoder;
}

extern "C" faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle handle)
{
    Encoder* encoder = toEncoder(handle);
    return encoder ? &encoder->current : nullptr;
}

extern "C" int faacEncSetConfiguration(faacEncHandle handle, faacEncConfigurationPtr config)
{
    Encoder* encoder = toEncoder(handle);
    if (!encoder || !config || !acceptable(*config, *encoder)) return 0;
    AACENC_PARAM params{};
    params.sampleRate = static_cast<int>(encoder->sampleRate);
    params.bitRate = static_cast<int>(config->bitRate * encoder->channels);
    params.nChannels = static_cast<short>(encoder->channels);
    params.adtsUsed = config->outputFormat == ADTS_STREAM ? 1 : 0;
    if (encoder->api.SetParam(encoder->codec, VO_PID_AAC_ENCPARAM, &params) != VO_ERR_NONE) return 0;
    if (config != &encoder->current) encoder->current = *config;
    encoder->accepted = *config;
    encoder->configured = true;
    return 1;
}

extern "C" int faacEncEncode(faacEncHandle handle, int32_t* inputBuffer, unsigned int samplesInput,
    unsigned char* outputBuffer, unsigned int bufferSize)
{
    Encoder* encoder = toEncoder(handle);
    if (!encoder || !encoder->configured) return -1;
    if (samplesInput == 0) return 0;  // nothing is held back: there is nothing to flush
    if (!inputBuffer || !outputBuffer || samplesInput > encoder->inputSamples()) return -1;

    std::fill(encoder->pcm.begin(), encoder->pcm.end(), int16_t{0});
    convertInput(*encoder, inputBuffer, samplesInput, encoder->pcm.data());

    VO_CODECBUFFER input{};
    input.Buffer = reinterpret_cast<VO_PBYTE>(encoder->pcm.data());
    input.Length = static_cast<VO_U32>(encoder->pcm.size() * sizeof(int16_t));
    if (encoder->api.SetInputData(encoder->codec, &input) != VO_ERR_NONE) return -1;

    VO_CODECBUFFER output{};
    output.Buffer = encoder->frame.data();
    output.Length = static_cast<VO_U32>(encoder->frame.size());
    VO_AUDIO_OUTPUTINFO info{};
    const VO_U32 result = encoder->api.GetOutputData(encoder->codec, &output, &info);
    if (result == VO_ERR_INPUT_BUFFER_SMALL) return 0;
    if (result != VO_ERR_NONE) return -1;
    if (output.Length > bufferSize) return -1;
    if (encoder->accepted.outputFormat == ADTS_STREAM)
        setAdtsVersion(encoder->frame.data(), output.Length, encoder->accepted.mpegVersion);
    std::memcpy(outputBuffer, encoder->frame.data(), output.Length);
    return static_cast<int>(output.Length);
}

extern "C" int faacEncClose(faacEncHandle handle)
{
    delete toEncoder(handle);
    return 0;
}
