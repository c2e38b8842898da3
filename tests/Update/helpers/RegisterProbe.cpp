// Test DLL for registration. Built three ways: REGISTER_RESULT set to the
// HRESULT that DllRegisterServer returns (after writing "registered.txt" into
// the current directory), or without DllRegisterServer at all. The exports are
// named by the .def files beside this one. With REGISTER_DELAY_MS the
// registration takes that long and meanwhile sends a message to every
// top-level window of its process, as registration code that broadcasts a
// change does: a UI thread that waits for it without dispatching would never
// let it finish.
#include <windows.h>

#ifdef REGISTER_DELAY_MS
namespace {
BOOL CALLBACK SendToOwnWindow(HWND window, LPARAM)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) SendMessageW(window, WM_NULL, 0, 0);
    return TRUE;
}
}  // namespace
#endif

#ifdef REGISTER_RESULT
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
#ifdef REGISTER_DELAY_MS
    for (DWORD start = GetTickCount(); GetTickCount() - start < REGISTER_DELAY_MS;) {
        EnumWindows(SendToOwnWindow, 0);
        Sleep(250);
    }
#endif
    HANDLE marker =
        CreateFileW(L"registered.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    return static_cast<HRESULT>(REGISTER_RESULT);
}
#endif

extern "C" int ProbeValue()
{
    return 42;
}
