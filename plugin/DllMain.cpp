// The plug-in library's DllMain: records the library's own module handle and
// path (window classes, resources, the module path handed to the plug-in core),
// for the framework and for the COM server of the ActiveX road.
// Compiled into the library itself, not into a static library, so that the
// linker takes this DllMain and not the runtime's default one.
#include "ActiveXExports.h"
#include "ModuleInstance.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    try {
        FB::recordModule(module);
        if (!FB::ActiveX::comModuleMain(module, reason)) return FALSE;
        DisableThreadLibraryCalls(module);
    } catch (...) {
        return FALSE;  // without its own path the library cannot work
    }
    return TRUE;
}
