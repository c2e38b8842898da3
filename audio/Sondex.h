/*
 * The audio library's binary interface: device listing (Sondex::IAudioEnumer),
 * an audio session (Sondex::IAudioPeer) and the caller's callback object
 * (IAudioPeerSink), plus the four exported functions that make and destroy
 * the library's objects.
 *
 * Callers from any compiler use the interfaces through their slot order: every
 * slot is __stdcall and the interfaces have no virtual destructor (it would
 * add compiler-specific slots); objects are destroyed through their destroy
 * slot, which the Delete* exports call. Nothing is thrown across them.
 *
 * Threading: IAudioPeerSink is called on the sound system's callback threads,
 * never under a lock of the library, and a sink may call back into its peer
 * (SetMute from a level report, InputPacket from a frame report) while the
 * caller adds and removes streams. It must not call StopCapture, RemoveStream,
 * Close or DeleteAudioPeer from inside a callback: they wait for the sound
 * system's buffers, which come back on the thread the sink holds.
 */
#ifndef AUDIO_SONDEX_H
#define AUDIO_SONDEX_H

#define SONDEX_CALL __stdcall

// The caller's object; the library only calls it.
class IAudioPeerSink {
public:
    // One encoded AAC frame (one bare ADTS frame, no RTP header); the pointer is
    // valid during the call only.
    virtual void SONDEX_CALL OnEncodedFrame(const char* payload, int length) = 0;
    // The peak level (0 to 100) of each playback buffer of a stream.
    virtual void SONDEX_CALL OnPlaybackLevel(int streamId, int level) = 0;
    // The peak level (0 to 100) of each captured buffer.
    virtual void SONDEX_CALL OnCaptureLevel(int level) = 0;

protected:
    ~IAudioPeerSink() = default;
};

namespace Sondex {

constexpr int kDeviceNameBytes = 256;

class IAudioEnumer {
public:
    virtual int SONDEX_CALL GetInputDeviceCount() = 0;
    virtual int SONDEX_CALL GetOutputDeviceCount() = 0;
    // out has room for kDeviceNameBytes; left untouched when the id is not listed.
    virtual bool SONDEX_CALL GetInputDeviceName(int deviceId, char* out) = 0;
    virtual bool SONDEX_CALL GetOutputDeviceName(int deviceId, char* out) = 0;
    virtual void SONDEX_CALL Destroy() = 0;

protected:
    ~IAudioEnumer() = default;
};

// Capture modes of StartCapture: 44100 Hz 16-bit PCM encoded to AAC frames.
constexpr int kCaptureModeMono = 5;
constexpr int kCaptureModeStereo = 6;

class IAudioPeer {
public:
    virtual bool SONDEX_CALL Init(int captureDeviceId, int spare) = 0;
    virtual void SONDEX_CALL Close() = 0;
    virtual bool SONDEX_CALL StartCapture(int mode) = 0;
    virtual void SONDEX_CALL StopCapture() = 0;
    virtual bool SONDEX_CALL AddStream(int streamId) = 0;
    virtual bool SONDEX_CALL RemoveStream(int streamId) = 0;
    virtual bool SONDEX_CALL InputPacket(int streamId, const char* datagram, unsigned short length) = 0;
    virtual bool SONDEX_CALL SetMuteAll(int flag) = 0;
    virtual bool SONDEX_CALL SetMute(int streamId, bool flag) = 0;
    // Slots 9 to 18 are reserved and do nothing. They share one name; their
    // qualifiers only tell them apart, and each keeps its place in the table
    // (declaration order).
    virtual int SONDEX_CALL Reserved() = 0;                       // 9
    virtual bool SONDEX_CALL Reserved(int) & = 0;                 // 10
    virtual int SONDEX_CALL Reserved() const = 0;                 // 11
    virtual bool SONDEX_CALL Reserved(int) const& = 0;            // 12
    virtual bool SONDEX_CALL Reserved(int) volatile& = 0;         // 13
    virtual bool SONDEX_CALL Reserved(int) const volatile& = 0;   // 14
    virtual bool SONDEX_CALL Reserved(int) && = 0;                // 15
    virtual bool SONDEX_CALL Reserved(int) const&& = 0;           // 16
    virtual bool SONDEX_CALL Reserved(int) volatile&& = 0;        // 17
    virtual bool SONDEX_CALL Reserved(int) const volatile&& = 0;  // 18
    virtual void SONDEX_CALL Destroy() = 0;

protected:
    ~IAudioPeer() = default;
};

}  // namespace Sondex

// Exported functions (C names, the C calling convention). Null results mean
// memory was short, or, from CreateAudioPeer, that no sink was given; the
// Delete functions ignore null.
extern "C" {
Sondex::IAudioEnumer* CreateAudioEnumer();
void DeleteAudioEnumer(Sondex::IAudioEnumer* enumer);
Sondex::IAudioPeer* CreateAudioPeer(IAudioPeerSink* sink);
void DeleteAudioPeer(Sondex::IAudioPeer* peer);
}

#endif
