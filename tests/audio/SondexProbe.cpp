// Drives the audio library through its exports on real sound devices, for the
// device tests and the demo:
//   sondex_probe list
//   sondex_probe capture MODE SECONDS FRAMES.aac LEVELS.txt [loopback]
//   sondex_probe switch COUNT
//   sondex_probe reenter SECONDS
// capture records from input device 0 in MODE (5 mono, 6 stereo), writes every
// encoded frame (ADTS) to FRAMES.aac and every capture level to LEVELS.txt.
// With "loopback" each frame is also framed as an RTP packet and handed to a
// second session's stream, which plays it on output device 0; "loopback-junk"
// first hands that stream a packet whose payload is no AAC frame. "switch"
// feeds a stream packets whose payload type changes COUNT times. "reenter" has
// sinks call back into their peers while streams come and go (see reenter()).
// A summary goes to standard output as key=value lines.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ModuleExport.h"
#include "Sondex.h"

namespace {

struct Exports {
    HMODULE module = LoadLibraryW(L"Sondex.dll");
    template <typename F>
    F get(const char* name)
    {
        return moduleExport<F>(module, name);
    }
    decltype(&CreateAudioEnumer) createEnumer = get<decltype(&CreateAudioEnumer)>("CreateAudioEnumer");
    decltype(&DeleteAudioEnumer) deleteEnumer = get<decltype(&DeleteAudioEnumer)>("DeleteAudioEnumer");
    decltype(&CreateAudioPeer) createPeer = get<decltype(&CreateAudioPeer)>("CreateAudioPeer");
    decltype(&DeleteAudioPeer) deletePeer = get<decltype(&DeleteAudioPeer)>("DeleteAudioPeer");
    bool ok() const { return module && createEnumer && deleteEnumer && createPeer && deletePeer; }
};

std::vector<char> datagram(int payloadType, uint16_t sequence, const char* payload, size_t length)
{
    std::vector<char> bytes(12 + length, 0);
    bytes[0] = static_cast<char>(0x80);
    bytes[1] = static_cast<char>(0x80 | payloadType);
    bytes[2] = static_cast<char>(sequence >> 8);
    bytes[3] = static_cast<char>(sequence);
    if (length) std::memcpy(bytes.data() + 12, payload, length);
    return bytes;
}

// The receiving side: counts playback levels per stream.
class PlaybackSink : public IAudioPeerSink {
public:
    void SONDEX_CALL OnEncodedFrame(const char*, int) override {}
    void SONDEX_CALL OnPlaybackLevel(int, int level) override
    {
        std::lock_guard<std::mutex> guard(lock);
        levels.push_back(level);
    }
    void SONDEX_CALL OnCaptureLevel(int) override {}
    std::mutex lock;
    std::vector<int> levels;
};

// The sending side: keeps frames and levels, and forwards frames as RTP.
class CaptureSink : public IAudioPeerSink {
public:
    void SONDEX_CALL OnEncodedFrame(const char* payload, int length) override
    {
        std::lock_guard<std::mutex> guard(lock);
        frames.emplace_back(payload, payload + length);
        if (!receiver) return;
        ++sequence;
        const auto packet = datagram(payloadType, sequence, payload, static_cast<size_t>(length));
        if (!receiver->InputPacket(1, packet.data(), static_cast<unsigned short>(packet.size()))) ++refused;
    }
    void SONDEX_CALL OnPlaybackLevel(int, int) override {}
    void SONDEX_CALL OnCaptureLevel(int level) override
    {
        std::lock_guard<std::mutex> guard(lock);
        levels.push_back(level);
    }
    std::mutex lock;
    std::vector<std::vector<char>> frames;
    std::vector<int> levels;
    Sondex::IAudioPeer* receiver = nullptr;
    int payloadType = 36;
    uint16_t sequence = 0;
    int refused = 0;
};

int list(Exports& dll)
{
    Sondex::IAudioEnumer* enumer = dll.createEnumer();
    if (!enumer) return 1;
    char name[Sondex::kDeviceNameBytes];
    std::printf("inputs=%d\n", enumer->GetInputDeviceCount());
    for (int id = 0; id < 64; ++id)
        if (enumer->GetInputDeviceName(id, name)) std::printf("input %d: %s\n", id, name);
    std::printf("outputs=%d\n", enumer->GetOutputDeviceCount());
    for (int id = 0; id < 64; ++id)
        if (enumer->GetOutputDeviceName(id, name)) std::printf("output %d: %s\n", id, name);
    dll.deleteEnumer(enumer);
    return 0;
}

long long millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

int capture(
    Exports& dll, int mode, int seconds, const char* framesPath, const char* levelsPath, bool loopback, bool junkFirst)
{
    CaptureSink captureSink;
    PlaybackSink playbackSink;
    captureSink.payloadType = mode == Sondex::kCaptureModeStereo ? 37 : 36;
    Sondex::IAudioPeer* sender = dll.createPeer(&captureSink);
    Sondex::IAudioPeer* receiver = loopback ? dll.createPeer(&playbackSink) : nullptr;
    if (!sender || (loopback && !receiver)) return 1;
    if (receiver) {
        receiver->Init(0, 0);
        receiver->AddStream(1);
        captureSink.receiver = receiver;
        if (junkFirst) {
            // Headerless bytes that a decoder could take for raw AAC, numbered before the first frame.
            const char junk[16] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x11, 0x22, 0x33, 0x44, 0x55};
            const auto packet = datagram(captureSink.payloadType, 0, junk, sizeof junk);
            if (!receiver->InputPacket(1, packet.data(), static_cast<unsigned short>(packet.size())))
                ++captureSink.refused;
        }
    }
    sender->Init(0, 0);
    std::printf("other_modes_refused=%d\n", !sender->StartCapture(4) && !sender->StartCapture(7) ? 1 : 0);
    auto started = std::chrono::steady_clock::now();
    if (!sender->StartCapture(mode)) {
        std::printf("start=failed\n");
        dll.deletePeer(sender);
        dll.deletePeer(receiver);
        return 2;
    }
    std::printf("start_ms=%lld\n", millisecondsSince(started));
    std::printf("second_start_refused=%d\n", sender->StartCapture(mode) ? 0 : 1);
    // With loopback, the stream is muted for the last two seconds.
    size_t mutedFrom = 0;
    if (receiver && seconds > 2) {
        Sleep(static_cast<DWORD>(seconds - 2) * 1000);
        receiver->SetMute(1, true);
        {
            std::lock_guard<std::mutex> guard(playbackSink.lock);
            mutedFrom = playbackSink.levels.size() + 1;  // a buffer being filled may predate the mute
        }
        Sleep(2000);
    } else {
        Sleep(static_cast<DWORD>(seconds) * 1000);
    }
    auto stopping = std::chrono::steady_clock::now();
    sender->StopCapture();
    std::printf("stop_ms=%lld\n", millisecondsSince(stopping));
    if (receiver) {
        Sleep(600);  // the queue plays out
        auto closing = std::chrono::steady_clock::now();
        dll.deletePeer(receiver);
        std::printf("receiver_close_ms=%lld\n", millisecondsSince(closing));
    }
    dll.deletePeer(sender);

    FILE* frames = std::fopen(framesPath, "wb");
    FILE* levels = std::fopen(levelsPath, "w");
    if (!frames || !levels) return 3;
    size_t bytes = 0;
    for (const auto& frame : captureSink.frames) {
        std::fwrite(frame.data(), 1, frame.size(), frames);
        bytes += frame.size();
    }
    for (int level : captureSink.levels) std::fprintf(levels, "%d\n", level);
    std::fclose(frames);
    std::fclose(levels);
    std::printf("frames=%zu\nframe_bytes=%zu\ncapture_levels=%zu\n", captureSink.frames.size(), bytes,
        captureSink.levels.size());
    if (loopback) {
        std::lock_guard<std::mutex> guard(playbackSink.lock);
        const auto& l = playbackSink.levels;
        const auto unmutedEnd = l.begin() + static_cast<std::ptrdiff_t>(std::min(mutedFrom, l.size()));
        std::printf("refused=%d\nplayback_levels=%zu\nplayback_level_max=%d\n", captureSink.refused, l.size(),
            unmutedEnd == l.begin() ? 0 : *std::max_element(l.begin(), unmutedEnd));
        if (mutedFrom)
            std::printf("muted_playback_levels=%zu\nmuted_playback_level_max=%d\n",
                static_cast<size_t>(l.end() - unmutedEnd),
                unmutedEnd == l.end() ? -1 : *std::max_element(unmutedEnd, l.end()));
    }
    return 0;
}

// Feeds one stream bursts of packets whose payload type alternates between
// 36 and 37, so that its output stops and reopens at every switch.
int switchModes(Exports& dll, int switches)
{
    PlaybackSink sink;
    Sondex::IAudioPeer* peer = dll.createPeer(&sink);
    if (!peer) return 1;
    peer->Init(0, 0);
    peer->AddStream(1);
    uint16_t sequence = 0;
    auto started = std::chrono::steady_clock::now();
    for (int s = 0; s < switches; ++s) {
        const char payloadType = s % 2 ? 37 : 36;
        for (int i = 0; i < 12; ++i) {
            ++sequence;
            const char datagram[12] = {
                static_cast<char>(0x80), payloadType, static_cast<char>(sequence >> 8), static_cast<char>(sequence)};
            peer->InputPacket(1, datagram, sizeof(datagram));
        }
        Sleep(100);
    }
    std::printf("switch_ms=%lld\n", millisecondsSince(started));
    dll.deletePeer(peer);
    std::lock_guard<std::mutex> guard(sink.lock);
    std::printf("switch_playback_levels=%zu\n", sink.levels.size());
    return 0;
}

// A sink that calls back into its own peer from the sound thread: every
// playback level report sets its stream's mute (and every tenth all mutes).
class ReenteringSink : public IAudioPeerSink {
public:
    void SONDEX_CALL OnEncodedFrame(const char*, int) override {}
    void SONDEX_CALL OnPlaybackLevel(int streamId, int) override
    {
        if (!peer) return;
        peer->SetMute(streamId, false);
        if (++levels % 10 == 0) peer->SetMuteAll(0);
    }
    void SONDEX_CALL OnCaptureLevel(int) override {}
    Sondex::IAudioPeer* peer = nullptr;
    std::atomic<long> levels{0};
};

// The sending side of reenter: forwards every frame into the receiver's
// stream 1 from the sound thread, and counts the capture reports.
class ForwardingSink : public IAudioPeerSink {
public:
    void SONDEX_CALL OnEncodedFrame(const char* payload, int length) override
    {
        const auto packet = datagram(36, ++sequence, payload, static_cast<size_t>(length));
        receiver->InputPacket(1, packet.data(), static_cast<unsigned short>(packet.size()));
    }
    void SONDEX_CALL OnPlaybackLevel(int, int) override {}
    void SONDEX_CALL OnCaptureLevel(int) override { ++reports; }
    Sondex::IAudioPeer* receiver = nullptr;
    uint16_t sequence = 0;
    std::atomic<long> reports{0};
};

// Sinks call back into their peers on the sound thread while this thread adds
// streams, starts their output with packets of alternating payload types,
// removes them again, and now and then removes and adds the stream the frames
// go to. A watchdog ends the process with exit code 4 when this thread or the
// capture reports stand still for 20 s.
int reenter(Exports& dll, int seconds)
{
    ReenteringSink playbackSink;
    ForwardingSink captureSink;
    Sondex::IAudioPeer* receiver = dll.createPeer(&playbackSink);
    Sondex::IAudioPeer* sender = dll.createPeer(&captureSink);
    if (!receiver || !sender) return 1;
    playbackSink.peer = receiver;
    captureSink.receiver = receiver;
    receiver->Init(0, 0);
    receiver->AddStream(1);
    sender->Init(0, 0);
    if (!sender->StartCapture(Sondex::kCaptureModeMono)) {
        std::printf("start=failed\n");
        return 2;
    }
    std::atomic<long> iterations{0};
    std::thread([&] {
        long lastIterations = -1, lastReports = -1;
        for (int still = 0;; Sleep(1000)) {
            const long nowIterations = iterations.load(), nowReports = captureSink.reports.load();
            still = nowIterations == lastIterations || nowReports == lastReports ? still + 1 : 0;
            lastIterations = nowIterations;
            lastReports = nowReports;
            if (still < 20) continue;
            std::printf("deadlock: %ld iterations, %ld capture reports\n", nowIterations, nowReports);
            std::fflush(stdout);
            ExitProcess(4);
        }
    }).detach();

    uint16_t sequence = 0;
    const char payload[8] = {};
    const auto started = std::chrono::steady_clock::now();
    for (long i = 0; millisecondsSince(started) < seconds * 1000LL; ++i) {
        const int id = 100 + static_cast<int>(i % 5);
        receiver->AddStream(id);
        for (int k = 0; k < 3; ++k) {
            const auto packet = datagram(k % 2 ? 37 : 36, ++sequence, payload, sizeof payload);
            receiver->InputPacket(id, packet.data(), static_cast<unsigned short>(packet.size()));
        }
        Sleep(20);
        receiver->RemoveStream(id);
        if (i % 4 == 0) {
            receiver->RemoveStream(1);
            receiver->AddStream(1);
        }
        ++iterations;
    }
    sender->StopCapture();
    dll.deletePeer(sender);
    dll.deletePeer(receiver);
    std::printf("reenter_iterations=%ld\nreenter_levels=%ld\n", iterations.load(), playbackSink.levels.load());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        Exports dll;
        if (!dll.ok()) {
            std::fprintf(stderr, "Sondex.dll or its exports not found\n");
            return 1;
        }
        if (argc >= 2 && std::strcmp(argv[1], "list") == 0) return list(dll);
        if (argc >= 3 && std::strcmp(argv[1], "switch") == 0) return switchModes(dll, std::atoi(argv[2]));
        if (argc >= 3 && std::strcmp(argv[1], "reenter") == 0) return reenter(dll, std::atoi(argv[2]));
        if (argc >= 6 && std::strcmp(argv[1], "capture") == 0) {
            const bool junk = argc >= 7 && std::strcmp(argv[6], "loopback-junk") == 0;
            return capture(dll, std::atoi(argv[2]), std::atoi(argv[3]), argv[4], argv[5],
                junk || (argc >= 7 && std::strcmp(argv[6], "loopback") == 0), junk);
        }
        std::fprintf(stderr,
            "usage: sondex_probe list | capture MODE SECONDS FRAMES.aac LEVELS.txt "
            "[loopback|loopback-junk] | switch COUNT | reenter SECONDS\n");
        return 2;
    } catch (...) {
        return 1;
    }
}
