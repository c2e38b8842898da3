// Sondex.dll over a sound driver that never gives its buffers back: its reset
// does nothing and its close answers that buffers are still queued, so the
// library's bounded stops end with the driver still holding every buffer it
// was handed. Nothing the driver holds may be freed, and a late callback for
// one of them reaches nobody.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <vector>

#include "ImportPatch.h"
#include "ModuleExport.h"
#include "Sondex.h"

namespace {

// What the driver holds of one device: its callback and the buffers, each
// with the data it pointed to when handed over.
struct HeldDevice {
    DWORD_PTR callback = 0;
    DWORD_PTR instance = 0;
    std::vector<std::pair<WAVEHDR*, void*>> buffers;
};

HeldDevice g_input;
HeldDevice g_output;

MMRESULT WINAPI keepingInOpen(LPHWAVEIN device, UINT, LPCWAVEFORMATEX, DWORD_PTR callback, DWORD_PTR instance, DWORD)
{
    *device = reinterpret_cast<HWAVEIN>(&g_input);
    g_input.callback = callback;
    g_input.instance = instance;
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI keepingOutOpen(LPHWAVEOUT device, UINT, LPCWAVEFORMATEX, DWORD_PTR callback, DWORD_PTR instance, DWORD)
{
    *device = reinterpret_cast<HWAVEOUT>(&g_output);
    g_output.callback = callback;
    g_output.instance = instance;
    return MMSYSERR_NOERROR;
}
template <class Device>
MMRESULT WINAPI prepare(Device, LPWAVEHDR header, UINT)
{
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}
template <class Device>
MMRESULT WINAPI unprepare(Device, LPWAVEHDR header, UINT)
{
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}
template <class Device>
MMRESULT WINAPI keep(Device device, LPWAVEHDR header, UINT)
{
    reinterpret_cast<HeldDevice*>(device)->buffers.emplace_back(header, header->lpData);
    return MMSYSERR_NOERROR;
}
template <class Device>
MMRESULT WINAPI doNothing(Device)
{
    return MMSYSERR_NOERROR;
}
template <class Device>
MMRESULT WINAPI refuseToClose(Device)
{
    return WAVERR_STILLPLAYING;
}

// True when the address lies in a block that a heap of the process has in use.
bool inUse(const void* address)
{
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    bool found = false;
    for (DWORD i = 0; i < count && i < heaps.size() && !found; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (!found && HeapWalk(heaps[i], &entry)) {
            const auto* start = static_cast<const BYTE*>(entry.lpData);
            found = (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && address >= start && address < start + entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return found;
}

class CountingSink : public IAudioPeerSink {
public:
    void SONDEX_CALL OnEncodedFrame(const char*, int) override { ++calls; }
    void SONDEX_CALL OnPlaybackLevel(int, int) override { ++calls; }
    void SONDEX_CALL OnCaptureLevel(int) override { ++calls; }
    std::atomic<int> calls{0};
};

TEST(SondexOverAKeepingDriver, WhatTheDriverHoldsIsNeverFreed)
{
    HMODULE sondex = LoadLibraryW(L"Sondex.dll");
    ASSERT_NE(sondex, nullptr);
    auto createPeer = moduleExport<decltype(&CreateAudioPeer)>(sondex, "CreateAudioPeer");
    auto deletePeer = moduleExport<decltype(&DeleteAudioPeer)>(sondex, "DeleteAudioPeer");
    ASSERT_TRUE(createPeer && deletePeer);
    {
        ImportPatch driver(sondex, "winmm.dll",
            {{"waveInOpen", reinterpret_cast<void*>(&keepingInOpen)},
                {"waveInPrepareHeader", reinterpret_cast<void*>(&prepare<HWAVEIN>)},
                {"waveInUnprepareHeader", reinterpret_cast<void*>(&unprepare<HWAVEIN>)},
                {"waveInAddBuffer", reinterpret_cast<void*>(&keep<HWAVEIN>)},
                {"waveInStart", reinterpret_cast<void*>(&doNothing<HWAVEIN>)},
                {"waveInReset", reinterpret_cast<void*>(&doNothing<HWAVEIN>)},
                {"waveInClose", reinterpret_cast<void*>(&refuseToClose<HWAVEIN>)},
                {"waveOutOpen", reinterpret_cast<void*>(&keepingOutOpen)},
                {"waveOutPrepareHeader", reinterpret_cast<void*>(&prepare<HWAVEOUT>)},
                {"waveOutUnprepareHeader", reinterpret_cast<void*>(&unprepare<HWAVEOUT>)},
                {"waveOutWrite", reinterpret_cast<void*>(&keep<HWAVEOUT>)},
                {"waveOutReset", reinterpret_cast<void*>(&doNothing<HWAVEOUT>)},
                {"waveOutClose", reinterpret_cast<void*>(&refuseToClose<HWAVEOUT>)}});
        ASSERT_EQ(driver.Count(), 13u);

        CountingSink sink;
        Sondex::IAudioPeer* peer = createPeer(&sink);
        ASSERT_NE(peer, nullptr);
        ASSERT_TRUE(peer->Init(0, 0));
        ASSERT_TRUE(peer->StartCapture(Sondex::kCaptureModeMono));
        ASSERT_TRUE(peer->AddStream(1));
        const char packet[16] = {static_cast<char>(0x80), 36, 0, 1};
        ASSERT_TRUE(peer->InputPacket(1, packet, sizeof packet));  // opens the stream's output
        ASSERT_EQ(g_input.buffers.size(), 10u);
        ASSERT_EQ(g_output.buffers.size(), 10u);

        peer->StopCapture();  // bounded stops: the driver still holds everything
        EXPECT_TRUE(peer->RemoveStream(1));
        for (const HeldDevice* device : {&g_input, &g_output}) {
            for (const auto& [header, data] : device->buffers) {
                EXPECT_TRUE(inUse(header)) << (device == &g_input ? "capture" : "playback") << " header freed";
                EXPECT_TRUE(inUse(data)) << (device == &g_input ? "capture" : "playback") << " data freed";
            }
        }
        if (HasFailure()) return;  // a late callback would write into freed memory

        // Late callbacks, a filled buffer and a played one: nobody hears of them.
        const int callsBefore = sink.calls;
        WAVEHDR* filled = g_input.buffers.front().first;
        filled->dwBytesRecorded = filled->dwBufferLength;
        reinterpret_cast<LPDRVCALLBACK>(g_input.callback)(
            reinterpret_cast<HDRVR>(&g_input), WIM_DATA, g_input.instance, reinterpret_cast<DWORD_PTR>(filled), 0);
        reinterpret_cast<LPDRVCALLBACK>(g_output.callback)(reinterpret_cast<HDRVR>(&g_output), WOM_DONE,
            g_output.instance, reinterpret_cast<DWORD_PTR>(g_output.buffers.front().first), 0);
        EXPECT_EQ(sink.calls, callsBefore);
        deletePeer(peer);
    }
    FreeLibrary(sondex);
}

}  // namespace
