// A scratch folder for one test, removed with everything in it afterwards,
// plus small file helpers for the updater tests.
#pragma once

#include "PathText.h"

#include <windows.h>

#include <string>

class TestFolder {
public:
    TestFolder()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int counter = 0;
        m_path = AppendPath(
            temp, L"update-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TestFolder() { RemoveTree(m_path); }
    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& relative) const { return AppendPath(m_path, relative); }

    static void RemoveTree(const std::wstring& path)
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(AppendPath(path, L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring child = AppendPath(path, name);
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    RemoveTree(child);
                else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryW(child.c_str());
                else
                    DeleteFileW(child.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path.c_str());
    }

private:
    std::wstring m_path;
};

inline void WriteTextFile(const std::wstring& path, const std::string& content)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::string ReadTextFile(const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
    CloseHandle(file);
    return content;
}

inline bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder of the running test program, where the helpers are built.
inline std::wstring BinFolder()
{
    return basetool::GetModuleFolder();
}
