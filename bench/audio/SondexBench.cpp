// Benchmarks of the audio library's hot paths, printed, never asserted:
//  - encoding real-time factor of the capture path (PCM buffer -> AAC frame
//    -> send packet -> sink) beside the vo-aacenc encoder alone on the same PCM;
//  - the receive queue's cost per packet (insert + pop) with 10 and with 999
//    packets queued, in order and with neighbours swapped.
// Run: wine-run sondex_bench.exe [seconds of audio, default 60]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <vo-aacenc/cmnMemory.h>
#include <vo-aacenc/voAAC.h>

#include "AudioCapture.h"
#include "Encfaac.h"
#include "JitterBuffer.h"
#include "RtpPacket.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<int16_t> testSignal(int channels, int seconds)
{
    std::vector<int16_t> pcm(static_cast<size_t>(kRate) * seconds * channels);
    unsigned noise = 12345;
    for (size_t i = 0; i < pcm.size() / channels; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double value =
            12000 * std::sin(2 * 3.14159265358979 * 1000 * i / kRate) + ((noise >> 16) % 2001) - 1000.0;
        for (int c = 0; c < channels; ++c) pcm[i * channels + c] = static_cast<int16_t>(value);
    }
    return pcm;
}

class CountingSink : public IAudioPeerSink {
public:
    void SONDEX_CALL OnEncodedFrame(const char*, int length) override
    {
        ++frames;
        bytes += length;
    }
    void SONDEX_CALL OnPlaybackLevel(int, int) override {}
    void SONDEX_CALL OnCaptureLevel(int) override {}
    long frames = 0;
    long bytes = 0;
};

double encoderAlone(const std::vector<int16_t>& pcm, int channels, int bitRate, long& frames)
{
    VO_AUDIO_CODECAPI api{};
    VO_MEM_OPERATOR memory{};
    memory.Alloc = cmnMemAlloc;
    memory.Free = cmnMemFree;
    memory.Set = cmnMemSet;
    memory.Copy = cmnMemCopy;
    memory.Check = cmnMemCheck;
    VO_CODEC_INIT_USERDATA user{VO_IMF_USERMEMOPERATOR, &memory, 0, 0};
    VO_HANDLE handle = nullptr;
    voGetAACEncAPI(&api);
    api.Init(&handle, VO_AUDIO_CodingAAC, &user);
    AACENC_PARAM params{kRate, bitRate, static_cast<short>(channels), 1};
    api.SetParam(handle, VO_PID_AAC_ENCPARAM, &params);
    std::vector<uint8_t> out(8192);
    const size_t frameSamples = 1024 * static_cast<size_t>(channels);
    frames = 0;
    const auto start = Clock::now();
    for (size_t offset = 0; offset + frameSamples <= pcm.size(); offset += frameSamples) {
        VO_CODECBUFFER input{const_cast<VO_PBYTE>(reinterpret_cast<const uint8_t*>(pcm.data() + offset)),
            static_cast<VO_U32>(frameSamples * 2), 0};
        api.SetInputData(handle, &input);
        VO_CODECBUFFER output{out.data(), static_cast<VO_U32>(out.size()), 0};
        VO_AUDIO_OUTPUTINFO info{};
        if (api.GetOutputData(handle, &output, &info) == VO_ERR_NONE && output.Length) ++frames;
    }
    const double elapsed = secondsSince(start);
    api.Uninit(handle);
    return elapsed;
}

double capturePath(const std::vector<int16_t>& pcm, int channels, int bitRate, long& frames)
{
    CEncfaac encoder;
    if (!encoder.Open(kRate, static_cast<unsigned>(channels), static_cast<unsigned long>(bitRate))) return -1;
    CountingSink sink;
    std::vector<uint8_t> scratch(4096);
    uint16_t counter = 0;
    const size_t frameSamples = 1024 * static_cast<size_t>(channels);
    const auto start = Clock::now();
    for (size_t offset = 0; offset + frameSamples <= pcm.size(); offset += frameSamples)
        CAudioCapture::EncodeToSink(
            encoder, pcm.data() + offset, scratch, counter, channels == 1 ? 36 : 37, sink);
    const double elapsed = secondsSince(start);
    frames = sink.frames;
    return elapsed;
}

// Nanoseconds per packet for insert + pop, the queue holding `depth` packets.
double queueCost(size_t depth, bool swapNeighbours, long rounds)
{
    std::vector<CRtpPacket*> pool(65536);
    for (size_t n = 0; n < pool.size(); ++n) {
        const uint8_t header[12] = {0x80, 36, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
        pool[n] = CRtpPacket::MakeReceived(header, sizeof(header));
    }
    auto insert = [&](CJitterBuffer& queue, uint16_t n) {
        pool[n]->AddRef();
        queue.Insert(PacketRef(pool[n]));
    };
    CJitterBuffer queue;
    uint16_t next = 1;
    while (queue.Size() < depth) insert(queue, next++);
    const auto start = Clock::now();
    for (long i = 0; i < rounds; i += 2) {
        if (swapNeighbours) {
            insert(queue, static_cast<uint16_t>(next + 1));
            insert(queue, next);
        } else {
            insert(queue, next);
            insert(queue, static_cast<uint16_t>(next + 1));
        }
        next = static_cast<uint16_t>(next + 2);
        queue.Pop();
        queue.Pop();
    }
    const double elapsed = secondsSince(start);
    for (auto* packet : pool) packet->Release();
    return elapsed * 1e9 / static_cast<double>(rounds);
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
        std::printf("audio: %d s of 44100 Hz PCM per run\n", seconds);
        double stereoRatio = 0;
        for (int channels : {1, 2}) {
            const int bitRate = channels == 1 ? 64000 : 96000;
            const auto pcm = testSignal(channels, seconds);
            long aloneFrames = 0, pathFrames = 0;
            // Best of three runs each, interleaved, so that warm-up and noise weigh alike.
            double alone = 1e9, path = 1e9;
            for (int run = 0; run < 3; ++run) {
                alone = std::min(alone, encoderAlone(pcm, channels, bitRate, aloneFrames));
                path = std::min(path, capturePath(pcm, channels, bitRate, pathFrames));
            }
            std::printf("%s: vo-aacenc alone %.0fx real time (%ld frames), capture path %.0fx real time (%ld frames), "
                        "path/alone time ratio %.3f\n",
                channels == 1 ? "mono  " : "stereo", seconds / alone, aloneFrames, seconds / path, pathFrames,
                path / alone);
            if (channels == 2) stereoRatio = path / alone;
        }
        const long rounds = 400000;
        const double shallow = queueCost(10, false, rounds);
        const double deep = queueCost(999, false, rounds);
        const double shallowSwapped = queueCost(10, true, rounds);
        const double deepSwapped = queueCost(999, true, rounds);
        std::printf("receive queue, in order: %.0f ns per packet at 10 queued, %.0f ns at 999 queued (ratio %.2f)\n",
            shallow, deep, deep / shallow);
        std::printf("receive queue, neighbours swapped: %.0f ns per packet at 10 queued, %.0f ns at 999 queued "
                    "(ratio %.2f)\n",
            shallowSwapped, deepSwapped, deepSwapped / shallowSwapped);
        std::printf("ratio sondex-queue: %.2f (receive queue ns per packet at 999 queued / at 10 queued, neighbours "
                    "swapped)\n",
            deepSwapped / shallowSwapped);
        std::printf("ratio sondex-encode: %.3f (stereo capture path time / vo-aacenc alone)\n", stereoRatio);
        return 0;
    } catch (...) {
        return 1;
    }
}
