// A window class of the running program for the tests' own windows. A class
// that an earlier window registered stays as it was: registering it again
// fails quietly, and the name still names it.
//
//     test_support::registerWindowClass(L"ProbeWindow", probeProc);
//     HWND probe = CreateWindowExW(0, L"ProbeWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
#pragma once

#include <windows.h>

namespace test_support {

struct WindowClassLook {
    UINT style = 0;
    HBRUSH background = nullptr;  // the class keeps it for its life
    HCURSOR cursor = nullptr;
};

inline void registerWindowClass(const wchar_t* name, WNDPROC procedure, const WindowClassLook& look = {})
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = look.style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = look.cursor;
    windowClass.hbrBackground = look.background;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

}  // namespace test_support
