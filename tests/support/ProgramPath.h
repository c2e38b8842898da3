// Files that the build puts beside the test program (DLLs, helpers).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test_support {

// The full path of file in the folder of the running program.
inline std::wstring besideThisProgram(const std::wstring& file)
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return file;
        if (length < path.size()) {
            std::wstring program(path.data(), length);
            return program.substr(0, program.find_last_of(L"\\/") + 1) + file;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace test_support
