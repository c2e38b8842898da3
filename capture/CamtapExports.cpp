// The library's exports: plain C functions over one process-wide CCamtap. Each
// is a boundary: nothing escapes it, failures are the documented 0/1 results.
// The first capture_Init initialises COM on its thread (a single-threaded
// apartment); capture_Destroy balances that only when it succeeded.
#include "AbiChecks.h"
#include "Camtap.h"
#include "CamtapApi.h"

#include <memory>
#include <mutex>

namespace {

std::mutex g_lock;
std::unique_ptr<CCamtap> g_camtap;
bool g_comInitialized = false;

}  // namespace

extern "C" int capture_Init(const char* cameraName, int width, int height)
{
    try {
        std::lock_guard<std::mutex> guard(g_lock);
        if (!g_camtap) {
            HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            g_comInitialized = SUCCEEDED(hr);
            g_camtap = std::make_unique<CCamtap>();
        }
        return g_camtap->Init(cameraName, width, height) ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

extern "C" int capture()
{
    try {
        std::lock_guard<std::mutex> guard(g_lock);
        if (!g_camtap) return 1;
        return g_camtap->Run() ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

extern "C" int capture_Stop()
{
    try {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_camtap) g_camtap->Stop();
    } catch (...) {
    }
    return 0;
}

extern "C" void capture_Destroy()
{
    try {
        std::lock_guard<std::mutex> guard(g_lock);
        if (!g_camtap) return;
        g_camtap->Destroy();
        g_camtap.reset();
        if (g_comInitialized) CoUninitialize();
        g_comInitialized = false;
    } catch (...) {
    }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, void*)
{
    return TRUE;
}

// The exports keep the C convention their callers use (real in the i686 build).
static_assert(Abi::hasType<int (*)(const char*, int, int)>(&capture_Init));
static_assert(Abi::hasType<int (*)()>(&capture));
static_assert(Abi::hasType<int (*)()>(&capture_Stop));
static_assert(Abi::hasType<void (*)()>(&capture_Destroy));
static_assert(Abi::hasType<BOOL(WINAPI*)(HINSTANCE, DWORD, void*)>(&DllMain));
// The controller's table holds its five operations only: no destructor slots.
static_assert(std::is_polymorphic_v<CCamtap> && !std::has_virtual_destructor_v<CCamtap>);
