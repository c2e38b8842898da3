// Calls the registration exports of a COM server library, the way an
// installer's registration program does; copied under the name the test needs
// (heat.exe, HEAT.EXE), since the library decides by that name where it
// registers.
//
//   registration_driver DLL register|unregister
//   registration_driver DLL install|uninstall [COMMAND]   (no COMMAND: a null command line)
//
// Prints the HRESULT; exits 0 when it is a success.
#include "ModuleExport.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) {
        std::fprintf(stderr, "usage: registration_driver DLL register|unregister|install|uninstall [COMMAND]\n");
        return 2;
    }
    // Beside the library, not beside this program, is where its own imports are.
    HMODULE library = LoadLibraryExW(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) {
        std::fprintf(stderr, "cannot load the library (%lu)\n", GetLastError());
        return 3;
    }
    const std::wstring action = argv[2];
    const wchar_t* command = argc > 3 ? argv[3] : nullptr;
    HRESULT hr = E_INVALIDARG;
    if (action == L"register" || action == L"unregister") {
        auto entry = moduleExport<HRESULT(STDAPICALLTYPE*)()>(
            library, action == L"register" ? "DllRegisterServer" : "DllUnregisterServer");
        if (entry) hr = entry();
    } else if (action == L"install" || action == L"uninstall") {
        auto entry = moduleExport<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>(library, "DllInstall");
        if (entry) hr = entry(action == L"install", command);
    }
    std::printf("0x%08lX\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}
