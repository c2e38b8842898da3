// Interface ids the test browser needs that mingw's libuuid does not carry.
#pragma once

#include <windows.h>

namespace TestBrowser {

// IActiveScriptParse of this build's pointer width (the 32- and 64-bit
// interfaces have different ids).
extern const IID kIidActiveScriptParse;
extern const IID kIidDispatchEx;
// Private: a page proxy of a plug-in object answers it with itself.
extern const IID kIidPluginObjectProxy;

}  // namespace TestBrowser
