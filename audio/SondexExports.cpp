// The library's exported functions and entry point: thin boundaries that make
// and destroy the library's objects and let nothing escape.
#include <windows.h>

#include <new>

#include "AudioEnumer.h"
#include "AudioPeer.h"

extern "C" Sondex::IAudioEnumer* CreateAudioEnumer()
{
    try {
        return new Sondex::CAudioEnumer();
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
    try {
        return new Sondex::CAudioPeer(sink);
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
