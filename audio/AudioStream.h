/*
 * One remote stream of an audio session: its packets' payload type sets its
 * mode (35 → 4, 36 → 5 mono, 37 → 6 stereo), they wait in a receive queue,
 * and a wave-out device (the first output device, 44100 Hz stereo) plays one
 * decoded packet per 4096-byte buffer; a missing or undecodable packet, or a
 * muted stream, plays silence. Each played buffer's peak level goes to the
 * sink. A change of payload type stops the output, starts a new queue and
 * reopens the output for the new mode; mode 4 has no output format, so its
 * packets only gather.
 *
 * Threading: PacketIn and StopOutput run on the caller's thread under the
 * peer lock; buffers are filled on the sound system's callback thread, which
 * meets PacketIn only in the queue's lock. The mute flag is atomic. StopOutput
 * resets the device and waits a bounded time for the buffers.
 */
#ifndef AUDIO_AUDIOSTREAM_H
#define AUDIO_AUDIOSTREAM_H

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
#include "RtpPacket.h"
#include "Sondex.h"

class CAudioStream {
public:
    static constexpr int kBufferCount = 10;
    static constexpr DWORD kBufferBytes = 4096;

    CAudioStream(IAudioPeerSink* sink, int streamId, int spare);
    CAudioStream(const CAudioStream&) = delete;
    CAudioStream& operator=(const CAudioStream&) = delete;
    ~CAudioStream();

    // The mode a payload type selects, 0 for none.
    static int ModeForPayloadType(uint8_t payloadType);

    // Takes a reference of its own when it keeps the packet; false when the
    // payload type selects no mode (the packet is ignored).
    bool PacketIn(CRtpPacket* packet);
    void StopOutput();
    void SetMute(bool muted) { muted_ = muted; }

    int Mode() const { return mode_; }
    bool OutputRunning() const { return running_.load(); }
    const CJitterBuffer* Queue() const { return queue_.get(); }

private:
    struct Buffer {
        WAVEHDR header{};
        std::vector<uint8_t> data;
    };

    bool openOutput(int mode);
    bool writeBuffer(Buffer& buffer);
    void bufferRetired();
    static void CALLBACK deviceCallback(
        HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
    void onBufferPlayed(WAVEHDR* header);
    void fill(Buffer& buffer);

    std::atomic<bool> running_{false};
    IAudioPeerSink* sink_;
    int streamId_;
    int spare_;
    int mode_ = 0;
    HWAVEOUT device_ = nullptr;
    WAVEFORMATEX format_{};
    std::atomic<int> outstanding_{0};
    HANDLE stopEvent_;
    std::unique_ptr<CJitterBuffer> queue_;
    std::unique_ptr<CAacDecoder> decoder_;
    std::atomic<bool> muted_{false};
    std::array<Buffer, kBufferCount> buffers_;
    std::mutex rewriteLock_;
};

#endif
