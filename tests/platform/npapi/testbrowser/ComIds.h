// Interface ids the test browser needs that mingw's libuuid does not carry.
#pragma once

#include <windows.h>

namespace TestBrowser {

extern const IID kIidDispatchEx;
// Private: a page proxy of a plug-in object answers it with itself.
extern const IID kIidPluginObjectProxy;

}  // namespace TestBrowser
