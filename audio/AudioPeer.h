/*
 * The audio session behind Sondex::IAudioPeer: the capture of one microphone
 * (made on the first StartCapture) and a table of remote streams by id.
 *
 * Threading: AddStream, RemoveStream, InputPacket, SetMuteAll and SetMute may
 * be called on any thread at once, and all but RemoveStream from inside the
 * sink's callbacks too. The peer lock guards the stream table only and is
 * never held while a sound device is opened or closed: the sound system's
 * thread, which may be waiting for it in a sink's call, must be free to run
 * for those to end. A stream taken out of the table is stopped after the lock
 * is let go. Init, StartCapture, StopCapture and Close take no lock: the
 * caller must not run them at the same time as each other.
 * Every slot catches everything and answers with its result.
 */
#ifndef AUDIO_AUDIOPEER_H
#define AUDIO_AUDIOPEER_H

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>

#include "AudioCapture.h"
#include "AudioStream.h"
#include "Sondex.h"

class CAudioPeer final : public Sondex::IAudioPeer {
public:
    explicit CAudioPeer(IAudioPeerSink* sink);
    CAudioPeer(const CAudioPeer&) = delete;
    CAudioPeer& operator=(const CAudioPeer&) = delete;

    bool SONDEX_CALL Init(int captureDeviceId, int spare) override;
    void SONDEX_CALL Close() override;
    bool SONDEX_CALL StartCapture(int mode) override;
    void SONDEX_CALL StopCapture() override;
    bool SONDEX_CALL AddStream(int streamId) override;
    bool SONDEX_CALL RemoveStream(int streamId) override;
    bool SONDEX_CALL InputPacket(int streamId, const char* datagram, unsigned short length) override;
    bool SONDEX_CALL SetMuteAll(int flag) override;
    bool SONDEX_CALL SetMute(int streamId, bool flag) override;
    int SONDEX_CALL Reserved() override { return 0; }
    bool SONDEX_CALL Reserved(int) & override { return true; }
    int SONDEX_CALL Reserved() const override { return 0; }
    bool SONDEX_CALL Reserved(int) const& override { return true; }
    bool SONDEX_CALL Reserved(int) volatile& override { return true; }
    bool SONDEX_CALL Reserved(int) const volatile& override { return true; }
    bool SONDEX_CALL Reserved(int) && override { return true; }
    bool SONDEX_CALL Reserved(int) const&& override { return true; }
    bool SONDEX_CALL Reserved(int) volatile&& override { return true; }
    bool SONDEX_CALL Reserved(int) const volatile&& override { return true; }
    void SONDEX_CALL Destroy() override;

private:
    // The peer lock, a critical section: re-entrant, and it keeps nothing once
    // deleted (under this toolchain a std::recursive_mutex leaves a heap block).
    class CPeerLock {
    public:
        CPeerLock() { InitializeCriticalSection(&section_); }
        ~CPeerLock() { DeleteCriticalSection(&section_); }
        CPeerLock(const CPeerLock&) = delete;
        CPeerLock& operator=(const CPeerLock&) = delete;
        void lock() { EnterCriticalSection(&section_); }
        void unlock() { LeaveCriticalSection(&section_); }

    private:
        CRITICAL_SECTION section_;
    };

    ~CAudioPeer();
    void stopCapture();
    void dropCapture();
    void closeAll();
    std::shared_ptr<CAudioStream> findStream(int streamId);

    bool initialised_ = false;
    IAudioPeerSink* sink_;
    int captureDeviceId_ = 0;
    int spare_ = 0;
    std::unique_ptr<CAudioCapture> capture_;
    std::map<int, std::shared_ptr<CAudioStream>> streams_;
    CPeerLock lock_;
};

#endif
