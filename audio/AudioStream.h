/*
 * One remote stream of an audio session: its packets' payload type sets its
 * mode (35 → 4, 36 → 5 mono, 37 → 6 stereo) and they wait in a receive queue
 * that an output (CAudioOutput) plays. A change of payload type stops the
 * output, starts a new queue and opens an output for the new mode; mode 4 has
 * no output format, so its packets only gather.
 *
 * Threading: PacketIn, Stop and SetMute may be called on any thread, a sink's
 * callback too, and at the same time. A packet of the current mode goes into
 * the queue at once. One that switches the mode is taken by one thread at a
 * time, with no lock held while the device is closed and opened: a packet that
 * arrives meanwhile waits in a list that the working thread empties before it
 * leaves, so no caller waits for another's device. Stop is final: the output
 * stops and later packets are dropped; when another thread is at work on the
 * stream, that thread stops it and Stop returns at once (WaitIdle waits).
 */
#ifndef AUDIO_AUDIOSTREAM_H
#define AUDIO_AUDIOSTREAM_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "AudioOutput.h"
#include "JitterBuffer.h"
#include "RtpPacket.h"
#include "Sondex.h"

class CAudioStream {
public:
    CAudioStream(IAudioPeerSink* sink, int streamId, int spare);
    CAudioStream(const CAudioStream&) = delete;
    CAudioStream& operator=(const CAudioStream&) = delete;
    ~CAudioStream();

    // The mode a payload type selects, 0 for none.
    static int ModeForPayloadType(uint8_t payloadType);

    // Takes a reference of its own when it keeps the packet; false when the
    // payload type selects no mode (the packet is ignored).
    bool PacketIn(CRtpPacket* packet);
    void Stop();
    // Returns once no thread is at work on the stream; never from a sink callback.
    void WaitIdle();
    void SetMute(bool muted) { *muted_ = muted; }

    int Mode() const;
    bool OutputRunning() const;
    size_t QueuedPackets() const;

private:
    void work(std::unique_lock<std::mutex>& lock);
    void drain(std::unique_lock<std::mutex>& lock);
    void switchMode(std::unique_lock<std::mutex>& lock, PacketRef first);

    IAudioPeerSink* sink_;
    int streamId_;
    int spare_;
    std::shared_ptr<std::atomic<bool>> muted_;
    // Never held while a device is opened or closed, nor while the sink is called.
    mutable std::mutex state_;
    std::condition_variable idle_;
    bool working_ = false;
    bool stopping_ = false;
    bool stopped_ = false;
    std::deque<PacketRef> pending_;
    int mode_ = 0;
    std::shared_ptr<CJitterBuffer> queue_;
    OutputPtr output_;
};

#endif
