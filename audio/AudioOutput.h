/*
 * One opened playback device of a remote stream: the first output device in
 * 44100 Hz stereo, fed ten 4096-byte buffers. Each played buffer is refilled on
 * the sound system's callback thread with one packet popped from the stream's
 * queue and decoded; a missing or undecodable packet, or a muted stream, plays
 * silence. The peak level of every played buffer goes to the sink.
 *
 * Lifetime: the stream makes one output per mode and lets go of it through
 * OutputPtr, whose deleter stops the device the bounded way and frees the
 * output. When the driver will not let go of the device, the output is left
 * alive for good instead: a late callback then finds its buffers and its event,
 * and calls nobody.
 *
 * Threading: Open and the deleter run on a thread that holds no lock which the
 * callback or a sink calling back into the peer may wait for; the callback
 * meets them only in the output's own lock.
 */
#ifndef AUDIO_AUDIOOUTPUT_H
#define AUDIO_AUDIOOUTPUT_H

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "AacDecoder.h"
#include "JitterBuffer.h"
#include "Sondex.h"

class CAudioOutput {
public:
    static constexpr int kBufferCount = 10;
    static constexpr DWORD kBufferBytes = 4096;

    struct Retire {
        void operator()(CAudioOutput* output) const;
    };

    CAudioOutput(IAudioPeerSink* sink, int streamId, std::shared_ptr<CJitterBuffer> queue,
        std::shared_ptr<const std::atomic<bool>> muted);
    CAudioOutput(const CAudioOutput&) = delete;
    CAudioOutput& operator=(const CAudioOutput&) = delete;

    // Opens the device and hands it the buffers; false when either fails.
    bool Open();
    bool Running() const { return running_.load(); }

private:
    struct Buffer {
        WAVEHDR header{};
        std::vector<uint8_t> data;
    };

    ~CAudioOutput();
    // False when the driver may still hold the buffers.
    bool stop();
    bool writeBuffer(Buffer& buffer);
    void bufferRetired();
    static void CALLBACK deviceCallback(
        HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
    void onBufferPlayed(WAVEHDR* header);
    void fill(Buffer& buffer);

    IAudioPeerSink* sink_;
    int streamId_;
    std::shared_ptr<CJitterBuffer> queue_;
    std::shared_ptr<const std::atomic<bool>> muted_;
    CAacDecoder decoder_;
    std::atomic<bool> running_{false};
    HWAVEOUT device_ = nullptr;
    WAVEFORMATEX format_{};
    std::atomic<int> outstanding_{0};
    HANDLE stopEvent_;
    std::array<Buffer, kBufferCount> buffers_;
    // Held while a played buffer is handed back, so that none is written
    // after a stop has cleared the running flag.
    std::mutex rewriteLock_;
};

using OutputPtr = std::unique_ptr<CAudioOutput, CAudioOutput::Retire>;

#endif
