// The COM side of the plug-in library's DllMain.
#pragma once

#include <windows.h>

namespace FB::ActiveX {

// Records the module's instance and path for the COM server; the library's
// DllMain calls it for every reason it gets.
BOOL comModuleMain(HINSTANCE instance, DWORD reason);

}  // namespace FB::ActiveX
