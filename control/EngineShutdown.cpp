#include "EngineShutdown.h"

#include "ObjectRoot.h"

#include <objbase.h>

#include <new>

namespace Plexhost {
namespace {

struct Shutdown {
    IStrevo* engine;
    std::shared_ptr<Strevo::IStrevoObersver> observer;
    HMODULE module;  // kept loaded until the thread has left its code
};

DWORD WINAPI shutDownThread(void* parameter)
{
    auto* shutdown = static_cast<Shutdown*>(parameter);
    HMODULE module = shutdown->module;
    try {
        DeleteStrevo(shutdown->engine);
    } catch (...) {
    }
    delete shutdown;
    Atl::ModuleLock::unlock();
    FreeLibraryAndExitThread(module, 0);
}

HMODULE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&shutDownThread), &module);
    return module;
}

// Waits for the thread while COM delivers calls to this apartment.
void waitLettingCallsIn(HANDLE thread)
{
    DWORD index = 0;
    if (FAILED(CoWaitForMultipleHandles(0, INFINITE, 1, &thread, &index))) WaitForSingleObject(thread, INFINITE);
}

}  // namespace

void shutDownEngine(IStrevo* engine, std::shared_ptr<Strevo::IStrevoObersver> observer, bool waitForIt)
{
    if (!engine) return;
    auto* shutdown = new (std::nothrow) Shutdown{engine, observer, thisModule()};
    HANDLE thread = nullptr;
    if (shutdown && shutdown->module) {
        Atl::ModuleLock::lock();
        thread = CreateThread(nullptr, 0, &shutDownThread, shutdown, 0, nullptr);
        if (!thread) Atl::ModuleLock::unlock();
    }
    if (thread) {
        if (waitForIt) waitLettingCallsIn(thread);
        CloseHandle(thread);
        return;
    }
    // No thread for it. Delete it here when that is safe; from inside a report the
    // engine is left running, with its observer and this module kept for it (it
    // can no longer reach the page).
    if (waitForIt) {
        DeleteStrevo(engine);
        if (shutdown && shutdown->module) FreeLibrary(shutdown->module);
        delete shutdown;
    } else if (!shutdown) {
        new (std::nothrow) std::shared_ptr<Strevo::IStrevoObersver>(std::move(observer));
    }
}

}  // namespace Plexhost
