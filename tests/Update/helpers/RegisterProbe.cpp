// Test DLL for registration. Built three ways: REGISTER_RESULT set to the
// HRESULT that DllRegisterServer returns (after writing "registered.txt" into
// the current directory), or without DllRegisterServer at all. The exports are
// named by the .def files beside this one.
#include <windows.h>

#ifdef REGISTER_RESULT
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
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
