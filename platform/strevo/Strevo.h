// The media engine's contract, as the broadcast controller uses it.
//
// The engine is a library outside this system. It is created with an observer
// and reports the microphone level to it on a thread of its own; everything else
// is called by its owner on the owner's thread. The operations are virtual, in
// slot order; nothing here throws.
#pragma once

#include "AbiChecks.h"

#ifdef STREVO_BUILDING
#define STREVO_API  // exported by name through strevo.def
#else
#define STREVO_API __declspec(dllimport)
#endif

namespace Strevo {

class IStrevoObersver {
public:
    // Slot 0. Called on an engine thread with the microphone level.
    virtual void OnVolumeLevel(int level) = 0;

protected:
    ~IStrevoObersver() = default;
};

}  // namespace Strevo

class IStrevo {
public:
    // Slot 0: writes a zero-terminated text into a caller's buffer of 32 wide characters.
    virtual bool GetReadyText(wchar_t* text) = 0;
    // Slot 1: true when the named camera started.
    virtual bool StartCapture(const wchar_t* camera) = 0;
    // Slot 2: true when the camera stopped.
    virtual bool StopCapture() = 0;
    // Slot 3: true when sending to the stream URL started.
    virtual bool StartSend(
        const wchar_t* audio, const wchar_t* streamUrl, const wchar_t* resolution, const wchar_t* level) = 0;
    // Slot 4.
    virtual void StopSend() = 0;

protected:
    ~IStrevo() = default;
};

extern "C" {
STREVO_API IStrevo* CreateStrevo(Strevo::IStrevoObersver* observer);
STREVO_API void DeleteStrevo(IStrevo* engine);
}

// The engine is built by another compiler: its interfaces are bare slot tables
// whose slots take that compiler's member convention (thiscall), its exports
// the C convention. Real in the i686 build.
static_assert(Abi::isSlotTable<IStrevo> && Abi::isSlotTable<Strevo::IStrevoObersver>);
static_assert(Abi::hasType<void (__thiscall Strevo::IStrevoObersver::*)(int)>(&Strevo::IStrevoObersver::OnVolumeLevel));
static_assert(Abi::hasType<bool (__thiscall IStrevo::*)(wchar_t*)>(&IStrevo::GetReadyText));
static_assert(Abi::hasType<bool (__thiscall IStrevo::*)(const wchar_t*)>(&IStrevo::StartCapture));
static_assert(Abi::hasType<bool (__thiscall IStrevo::*)()>(&IStrevo::StopCapture));
static_assert(
    Abi::hasType<bool (__thiscall IStrevo::*)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*)>(
        &IStrevo::StartSend));
static_assert(Abi::hasType<void (__thiscall IStrevo::*)()>(&IStrevo::StopSend));
static_assert(Abi::hasType<IStrevo* (*)(Strevo::IStrevoObersver*)>(&CreateStrevo));
static_assert(Abi::hasType<void (*)(IStrevo*)>(&DeleteStrevo));
