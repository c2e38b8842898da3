// The FAAC encoder calls on vo-aacenc: what is refused, what the ADTS header
// says, and that a sine comes back from an independent decoder at the same
// pitch and level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <faac.h>
#include <neaacdec.h>

namespace {

constexpr unsigned long kRate = 44100;

struct Encoder {
    faacEncHandle handle = nullptr;
    unsigned long inputSamples = 0;
    unsigned long maxOutputBytes = 0;
    Encoder(unsigned long rate, unsigned channels)
    {
        handle = faacEncOpen(rate, channels, &inputSamples, &maxOutputBytes);
    }
    ~Encoder() { faacEncClose(handle); }
};

void configure(faacEncConfigurationPtr config, unsigned channels, unsigned mpegVersion = MPEG4)
{
    config->mpegVersion = mpegVersion;
    config->aacObjectType = LOW;
    config->allowMidside = 1;
    config->useLfe = 1;
    config->useTns = 1;
    config->bitRate = (channels == 1 ? 64000 : 96000) / channels;
    config->bandWidth = 0;
    config->quantqual = 100;
    config->outputFormat = ADTS_STREAM;
    config->inputFormat = FAAC_INPUT_32BIT;
    config->shortctl = SHORTCTL_NORMAL;
}

// Interleaved 32-bit input (16-bit sample * 256) of a sine on every channel.
std::vector<int32_t> sineFrame(unsigned channels, size_t frameIndex, double hz, double amplitude)
{
    std::vector<int32_t> samples(1024 * channels);
    for (size_t i = 0; i < 1024; ++i) {
        const double t = static_cast<double>(frameIndex * 1024 + i) / kRate;
        const auto value = static_cast<int32_t>(std::lround(amplitude * std::sin(2 * 3.14159265358979323846 * hz * t)));
        for (unsigned c = 0; c < channels; ++c) samples[i * channels + c] = value * 256;
    }
    return samples;
}

std::vector<std::vector<uint8_t>> encodeSine(
    unsigned channels, size_t frames, double hz, double amplitude, unsigned mpegVersion = MPEG4)
{
    Encoder encoder(kRate, channels);
    configure(faacEncGetCurrentConfiguration(encoder.handle), channels, mpegVersion);
    EXPECT_EQ(faacEncSetConfiguration(encoder.handle, faacEncGetCurrentConfiguration(encoder.handle)), 1);
    std::vector<std::vector<uint8_t>> out;
    std::vector<uint8_t> buffer(encoder.maxOutputBytes);
    for (size_t f = 0; f < frames; ++f) {
        auto pcm = sineFrame(channels, f, hz, amplitude);
        const int n = faacEncEncode(encoder.handle, pcm.data(), static_cast<unsigned>(pcm.size()), buffer.data(),
            static_cast<unsigned>(buffer.size()));
        EXPECT_GE(n, 0);
        if (n > 0) out.emplace_back(buffer.begin(), buffer.begin() + n);
    }
    return out;
}

// Decodes ADTS frames; returns the first channel's samples.
std::vector<int16_t> decodeFirstChannel(const std::vector<std::vector<uint8_t>>& frames, unsigned& channels)
{
    NeAACDecHandle decoder = NeAACDecOpen();
    unsigned long rate = 0;
    unsigned char ch = 0;
    std::vector<uint8_t> first = frames.at(0);
    EXPECT_GE(NeAACDecInit(decoder, first.data(), first.size(), &rate, &ch), 0);
    EXPECT_EQ(rate, kRate);
    std::vector<int16_t> out;
    for (auto frame : frames) {
        NeAACDecFrameInfo info{};
        auto* pcm = static_cast<int16_t*>(NeAACDecDecode(decoder, &info, frame.data(), frame.size()));
        EXPECT_EQ(info.error, 0) << NeAACDecGetErrorMessage(info.error);
        if (!pcm || info.channels == 0) continue;
        channels = info.channels;
        for (unsigned long i = 0; i < info.samples; i += info.channels) out.push_back(pcm[i]);
    }
    NeAACDecClose(decoder);
    return out;
}

double zeroCrossingHz(const std::vector<int16_t>& samples)
{
    size_t crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
    return crossings / 2.0 * kRate / static_cast<double>(samples.size());
}

int peak(const std::vector<int16_t>& samples)
{
    int p = 0;
    for (int16_t s : samples) p = std::max(p, std::abs(int{s}));
    return p;
}

}  // namespace

TEST(FaacLayer, OpensOnlyWhatTheEncoderCanDo)
{
    struct Case {
        unsigned long rate;
        unsigned channels;
        bool opens;
    };
    for (const Case c : {Case{44100, 1, true}, Case{44100, 2, true}, Case{48000, 2, true}, Case{44100, 0, false},
             Case{44100, 3, false}, Case{44000, 1, false}, Case{0, 1, false}}) {
        Encoder encoder(c.rate, c.channels);
        EXPECT_EQ(encoder.handle != nullptr, c.opens) << c.rate << " Hz, " << c.channels << " channels";
        if (!encoder.handle) continue;
        EXPECT_EQ(encoder.inputSamples, 1024u * c.channels);
        EXPECT_GE(encoder.maxOutputBytes, 768u * c.channels);
        EXPECT_EQ(faacEncGetCurrentConfiguration(encoder.handle)->version, FAAC_CFG_VERSION);
    }
    EXPECT_EQ(faacEncGetCurrentConfiguration(nullptr), nullptr);
    EXPECT_EQ(faacEncClose(nullptr), 0);
}

TEST(FaacLayer, RefusesSettingsItCannotHonour)
{
    struct Case {
        const char* what;
        void (*change)(faacEncConfiguration&);
    };
    const Case cases[] = {
        {"other version", [](faacEncConfiguration& c) { c.version = 103; }},
        {"main profile", [](faacEncConfiguration& c) { c.aacObjectType = MAIN; }},
        {"unknown output format", [](faacEncConfiguration& c) { c.outputFormat = 2; }},
        {"24-bit input", [](faacEncConfiguration& c) { c.inputFormat = FAAC_INPUT_24BIT; }},
        {"no short blocks", [](faacEncConfiguration& c) { c.shortctl = SHORTCTL_NOSHORT; }},
        {"bit rate too low", [](faacEncConfiguration& c) { c.bitRate = 1000; }},
        {"bit rate too high", [](faacEncConfiguration& c) { c.bitRate = 500000; }},
    };
    for (const auto& c : cases) {
        Encoder encoder(kRate, 1);
        faacEncConfiguration config = *faacEncGetCurrentConfiguration(encoder.handle);
        configure(&config, 1);
        c.change(config);
        EXPECT_EQ(faacEncSetConfiguration(encoder.handle, &config), 0) << c.what;
        int32_t input[1024] = {};
        uint8_t out[1024];
        EXPECT_LT(faacEncEncode(encoder.handle, input, 1024, out, sizeof(out)), 0) << c.what << ": not configured";
    }
}

TEST(FaacLayer, RefusesAnOutputRoomTooSmallAndTooManySamples)
{
    Encoder encoder(kRate, 1);
    configure(faacEncGetCurrentConfiguration(encoder.handle), 1);
    ASSERT_EQ(faacEncSetConfiguration(encoder.handle, faacEncGetCurrentConfiguration(encoder.handle)), 1);
    auto pcm = sineFrame(1, 0, 1000, 20000);
    uint8_t tiny[8];
    EXPECT_LT(faacEncEncode(encoder.handle, pcm.data(), 1024, tiny, sizeof(tiny)), 0);
    std::vector<int32_t> tooMany(2048);
    std::vector<uint8_t> out(encoder.maxOutputBytes);
    EXPECT_LT(faacEncEncode(encoder.handle, tooMany.data(), 2048, out.data(), static_cast<unsigned>(out.size())), 0);
    EXPECT_EQ(faacEncEncode(encoder.handle, pcm.data(), 0, out.data(), static_cast<unsigned>(out.size())), 0);
}

TEST(FaacLayer, AdtsHeaderSaysWhatWasConfigured)
{
    struct Case {
        unsigned channels;
        unsigned mpegVersion;
    };
    for (const Case c : {Case{1, MPEG4}, Case{2, MPEG4}, Case{1, MPEG2}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, mpeg " << c.mpegVersion);
        const auto frames = encodeSine(c.channels, 8, 1000, 16000, c.mpegVersion);
        ASSERT_FALSE(frames.empty());
        for (const auto& frame : frames) {
            ASSERT_GE(frame.size(), 7u);
            EXPECT_EQ(frame[0], 0xFF);
            EXPECT_EQ(frame[1] & 0xF6, 0xF0);  // sync, layer 0
            EXPECT_EQ((frame[1] >> 3) & 1, c.mpegVersion == MPEG2 ? 1 : 0);
            EXPECT_EQ(frame[2] >> 6, LOW - 1);
            EXPECT_EQ((frame[2] >> 2) & 0xF, 4);  // 44100 Hz
            EXPECT_EQ(((frame[2] & 1) << 2) | (frame[3] >> 6), static_cast<int>(c.channels));
            const size_t length = ((frame[3] & 3u) << 11) | (frame[4] << 3) | (frame[5] >> 5);
            EXPECT_EQ(length, frame.size());
        }
    }
}

TEST(FaacLayer, ASineComesBackFromAnIndependentDecoder)
{
    struct Case {
        unsigned channels;
        double hz;
        double amplitude;
    };
    for (const Case c : {Case{1, 1000, 16000}, Case{2, 1000, 8000}, Case{2, 440, 24000}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.hz << " Hz, amplitude " << c.amplitude);
        const auto frames = encodeSine(c.channels, 86, c.hz, c.amplitude);
        ASSERT_GE(frames.size(), 80u);
        unsigned channels = 0;
        auto decoded = decodeFirstChannel(frames, channels);
        ASSERT_GT(decoded.size(), 4096u * 4);
        decoded.erase(decoded.begin(), decoded.begin() + 4096);  // past the decoder's start-up
        EXPECT_NEAR(zeroCrossingHz(decoded), c.hz, c.hz * 0.02);
        EXPECT_NEAR(peak(decoded), c.amplitude, c.amplitude * 0.1);
    }
}
