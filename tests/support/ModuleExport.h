// A loaded module's export as a typed function pointer (null when it has none),
// cast through void* so that the compiler takes it as the data pointer it is.
//
//   auto entry = moduleExport<HRESULT(STDAPICALLTYPE*)()>(module, "DllRegisterServer");
#pragma once

#include <windows.h>

template <class Function>
Function moduleExport(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
