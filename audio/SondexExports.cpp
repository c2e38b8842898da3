// The library's exported functions and entry point: thin boundaries that make
// and destroy the library's objects and let nothing escape.
#include <windows.h>

#include <new>

#include "AbiChecks.h"
#include "AudioEnumer.h"
#include "AudioPeer.h"

extern "C" Sondex::IAudioEnumer* CreateAudioEnumer()
{
    try {
        return new CAudioEnumer();
    } catch (...) {
        return nullptr;
    }
}

extern "C" void DeleteAudioEnumer(Sondex::IAudioEnumer* enumer)
{
    if (enumer) enumer->Destroy();
}

extern "C" Sondex::IAudioPeer* CreateAudioPeer(IAudioPeerSink* sink)
{
    if (!sink) return nullptr;  // the sound threads would call through it
    try {
        return new CAudioPeer(sink);
    } catch (...) {
        return nullptr;
    }
}

extern "C" void DeleteAudioPeer(Sondex::IAudioPeer* peer)
{
    if (!peer) return;
    peer->Close();
    peer->Destroy();
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

// ---- the binary interface as callers of other compilers see it ------------
// Real in the i686 build: the exports take the C convention, every slot
// __stdcall, and each interface is a bare slot table.

static_assert(Abi::hasType<Sondex::IAudioEnumer* (*)()>(&CreateAudioEnumer));
static_assert(Abi::hasType<void (*)(Sondex::IAudioEnumer*)>(&DeleteAudioEnumer));
static_assert(Abi::hasType<Sondex::IAudioPeer* (*)(IAudioPeerSink*)>(&CreateAudioPeer));
static_assert(Abi::hasType<void (*)(Sondex::IAudioPeer*)>(&DeleteAudioPeer));
static_assert(Abi::hasType<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(&DllMain));

static_assert(Abi::isSlotTable<IAudioPeerSink>);
static_assert(Abi::hasType<void (SONDEX_CALL IAudioPeerSink::*)(const char*, int)>(&IAudioPeerSink::OnEncodedFrame));
static_assert(Abi::hasType<void (SONDEX_CALL IAudioPeerSink::*)(int, int)>(&IAudioPeerSink::OnPlaybackLevel));
static_assert(Abi::hasType<void (SONDEX_CALL IAudioPeerSink::*)(int)>(&IAudioPeerSink::OnCaptureLevel));

namespace {

using Sondex::IAudioEnumer;
using Sondex::IAudioPeer;

static_assert(Abi::isSlotTable<IAudioEnumer>);
static_assert(Abi::hasType<int (SONDEX_CALL IAudioEnumer::*)()>(&IAudioEnumer::GetInputDeviceCount));
static_assert(Abi::hasType<int (SONDEX_CALL IAudioEnumer::*)()>(&IAudioEnumer::GetOutputDeviceCount));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioEnumer::*)(int, char*)>(&IAudioEnumer::GetInputDeviceName));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioEnumer::*)(int, char*)>(&IAudioEnumer::GetOutputDeviceName));
static_assert(Abi::hasType<void (SONDEX_CALL IAudioEnumer::*)()>(&IAudioEnumer::Destroy));

static_assert(Abi::isSlotTable<IAudioPeer>);
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int, int)>(&IAudioPeer::Init));
static_assert(Abi::hasType<void (SONDEX_CALL IAudioPeer::*)()>(&IAudioPeer::Close));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int)>(&IAudioPeer::StartCapture));
static_assert(Abi::hasType<void (SONDEX_CALL IAudioPeer::*)()>(&IAudioPeer::StopCapture));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int)>(&IAudioPeer::AddStream));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int)>(&IAudioPeer::RemoveStream));
static_assert(
    Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int, const char*, unsigned short)>(&IAudioPeer::InputPacket));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int)>(&IAudioPeer::SetMuteAll));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int, bool)>(&IAudioPeer::SetMute));
static_assert(Abi::hasType<int (SONDEX_CALL IAudioPeer::*)()>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int) &>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<int (SONDEX_CALL IAudioPeer::*)() const>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int) const&>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int) volatile&>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int) const volatile&>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int) &&>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int) const&&>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int) volatile&&>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<bool (SONDEX_CALL IAudioPeer::*)(int) const volatile&&>(&IAudioPeer::Reserved));
static_assert(Abi::hasType<void (SONDEX_CALL IAudioPeer::*)()>(&IAudioPeer::Destroy));

}  // namespace
