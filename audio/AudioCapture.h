/*
 * Microphone capture of one audio session: 44100 Hz 16-bit PCM from a wave-in
 * device, in buffers of one AAC frame (1024 samples per channel), each encoded
 * to an ADTS frame for the sink and measured for the capture level.
 *
 * Threading: Start and Stop run on the caller's thread and are serialised by
 * the peer; the buffer work runs on the sound system's callback thread, which
 * calls the sink. Stop must not be called from inside a sink callback, nor
 * while holding a lock that a sink's call may wait for. Stop resets the device
 * so that its buffers come back at once, and waits for them a bounded time;
 * when the device still will not close, the driver may hold the buffers and
 * call back later, so the object must then never be freed (HeldByDriver), and
 * its callback calls nobody any more.
 */
#ifndef AUDIO_AUDIOCAPTURE_H
#define AUDIO_AUDIOCAPTURE_H

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Encfaac.h"
#include "Sondex.h"

class CAudioCapture {
public:
    static constexpr int kBufferCount = 10;

    explicit CAudioCapture(IAudioPeerSink* sink);
    CAudioCapture(const CAudioCapture&) = delete;
    CAudioCapture& operator=(const CAudioCapture&) = delete;
    ~CAudioCapture();

    bool Start(int deviceId, int mode);
    void Stop();
    bool Running() const { return running_.load(); }
    bool HeldByDriver() const { return heldByDriver_.load(); }

    // The per-buffer path from PCM to the sink: encode one buffer, wrap a
    // produced frame in a send packet numbered by frameCounter and hand its
    // payload to the sink. scratch has the encoder's largest output size.
    static void EncodeToSink(CEncfaac& encoder, const int16_t* pcm, std::vector<uint8_t>& scratch,
        uint16_t& frameCounter, uint8_t payloadType, IAudioPeerSink& sink);

private:
    struct Buffer {
        WAVEHDR header{};
        std::vector<uint8_t> data;
        bool prepared = false;
    };

    static void CALLBACK deviceCallback(
        HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
    void onBufferFilled(WAVEHDR* header);
    bool queueBuffer(Buffer& buffer);
    void bufferRetired();
    void closeDevice();

    IAudioPeerSink* sink_;
    std::atomic<bool> running_{false};
    std::atomic<bool> heldByDriver_{false};
    HWAVEIN device_ = nullptr;
    int mode_ = 0;
    WAVEFORMATEX format_{};
    DWORD bufferBytes_ = 0;
    std::unique_ptr<CEncfaac> encoder_;
    HANDLE stopEvent_;
    std::atomic<int> outstanding_{0};
    uint16_t frameCounter_ = 0;
    std::vector<uint8_t> encoded_;
    std::array<Buffer, kBufferCount> buffers_;
    // Held while a finished buffer is handed back, so that none is re-queued
    // after Stop has cleared the running flag.
    std::mutex requeueLock_;
};

#endif
