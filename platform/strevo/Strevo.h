// The media engine's contract, as the broadcast controller uses it.
//
// The engine is a library outside this system. It is created with an observer
// and reports the microphone level to it on a thread of its own; everything else
// is called by its owner on the owner's thread. The operations are virtual, in
// slot order; nothing here throws.
#pragma once

#ifdef STREVO_BUILDING
#define STREVO_API __declspec(dllexport)
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
