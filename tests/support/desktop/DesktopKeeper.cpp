// Keeps the Wine prefix's desktop up while the tests run: Wine ends a prefix's
// desktop process about a second after its last window user goes and starts it
// again for the next, and programs that start at once then race that start
// (a first window fails with no driver). Started by the build's wine-server
// script, which waits for the file named by its argument: it is made once the
// desktop is up. The keeper ends with the prefix's wineserver.
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // A message-only window makes this process a user of the desktop.
    HWND window = CreateWindowExW(
        0, L"STATIC", L"desktop keeper", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return 1;
    int count = 0;
    if (LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
        if (count > 1) {
            HANDLE ready = CreateFileW(arguments[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
        }
        LocalFree(arguments);
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
