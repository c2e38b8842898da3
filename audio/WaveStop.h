// The bounded stop of a wave device, shared by capture and playback: reset it
// (the driver hands every buffer back through the callback), wait a bounded
// time for the callback to retire them, and close it; three tries.
//
// False when the device would not close: the driver may then still hold the
// buffers and call back, so the caller frees nothing that the driver or the
// callback can reach. Called with no lock held that the callback takes, since
// the sound system's thread may have to run the callback for the reset or the
// close to end.
#ifndef AUDIO_WAVESTOP_H
#define AUDIO_WAVESTOP_H

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

template <class Device>
bool StopWaveDevice(Device device, const std::atomic<int>& outstanding, HANDLE retired, MMRESULT(WINAPI* reset)(Device),
    MMRESULT(WINAPI* close)(Device))
{
    constexpr int kTries = 3;
    constexpr DWORD kRetireWaitMs = 2000;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (outstanding.load() > 0) {
            reset(device);
            WaitForSingleObject(retired, kRetireWaitMs);
        }
        if (close(device) == MMSYSERR_NOERROR) return true;
    }
    return false;
}

#endif
