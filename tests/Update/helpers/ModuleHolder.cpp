// Test helper: loads the DLL named on the command line, writes the ready file
// and waits to be ended (it leaves by itself after two minutes, so a failing
// test never leaves it running). With "--open FILE" it holds the file open
// without sharing instead of loading a DLL.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    std::wstring mode = argv[1];
    HANDLE held = nullptr;
    if (mode == L"--open" && argc >= 4) {
        held = CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) return 3;
        argv += 1;
    } else if (!LoadLibraryW(argv[1])) {
        return 3;
    }
    HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 4;
    CloseHandle(ready);
    Sleep(120000);
    return 0;
}
