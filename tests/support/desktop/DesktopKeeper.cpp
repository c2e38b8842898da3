// Keeps the Wine prefix's desktop up while the tests run: Wine ends a prefix's
// desktop process about a second after its last window user goes and starts it
// again for the next, and programs that start at once then race that start
// (a first window fails with no driver). Started by the build's wine-server
// script; it ends with the prefix's wineserver.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // A message-only window makes this process a user of the desktop.
    HWND window = CreateWindowExW(
        0, L"STATIC", L"desktop keeper", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
