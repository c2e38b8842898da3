// The module (DLL) that the framework is linked into: its instance handle, for
// window classes and resources, and its own file path (UTF-8).
//
// The library's DllMain records both at process attach (recordModule); before
// that, or in a program, the handle is the image the code is linked into and
// the path is that image's file.
//
// Threading: recordModule runs under the loader lock before any other call;
// the readers may then be called from any thread.
#pragma once

#include <windows.h>

#include <string>

namespace FB {

void recordModule(HINSTANCE module);
HINSTANCE moduleInstance();
const std::string& modulePath();

}  // namespace FB
