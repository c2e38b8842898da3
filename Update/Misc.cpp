#include "Misc.h"

#include "FileLogger.h"
#include "PathText.h"

#include <psapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <algorithm>

namespace basetool {
namespace {

// Module paths come from the system; they may be long.
std::wstring ModulePath(HANDLE process, HMODULE module)
{
    std::wstring path(1024, L'\0');
    DWORD length = GetModuleFileNameExW(process, module, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

std::vector<DWORD> RunningProcessIds()
{
    std::vector<DWORD> ids(1024);
    for (;;) {
        DWORD bytes = 0;
        if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
        if (bytes < ids.size() * sizeof(DWORD)) {
            ids.resize(bytes / sizeof(DWORD));
            return ids;
        }
        ids.resize(ids.size() * 2);
    }
}

std::vector<HMODULE> ProcessModules(HANDLE process)
{
    std::vector<HMODULE> modules(256);
    for (;;) {
        DWORD bytes = 0;
        if (!EnumProcessModulesEx(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &bytes,
                LIST_MODULES_ALL))
            return {};
        size_t count = bytes / sizeof(HMODULE);
        if (count <= modules.size()) {
            modules.resize(count);
            return modules;
        }
        modules.resize(count);
    }
}

std::wstring CurrentDirectory()
{
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(needed, L'\0');
    DWORD length = GetCurrentDirectoryW(needed, directory.data());
    directory.resize(length);
    return directory;
}

void ClearFolder(const std::wstring& root, const std::wstring& relative, const DeleteFilterCallback& filter)
{
    std::wstring folder = relative.empty() ? root : AppendPath(root, relative);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(
        LongPath(AppendPath(folder, L"*")).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring relPath = relative.empty() ? name : AppendPath(relative, name);
        std::wstring fullPath = AppendPath(root, relPath);
        std::wstring apiPath = LongPath(fullPath);
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;

        if (isFolder && !isLink) {
            ClearFolder(root, relPath, filter);
            SetFileAttributesW(apiPath.c_str(), FILE_ATTRIBUTE_NORMAL);
            RemoveDirectoryW(apiPath.c_str());  // fails, as it should, while something is kept in it
            continue;
        }
        if (filter && filter(relPath)) {
            LogLine(LogLevel::Info, "basetool::CMisc::DeleteFolder", " ", fullPath, " 文件被过滤，不能删除");
            continue;
        }
        if (isLink) {
            // A link is removed itself, or else left alone: what it points to is
            // never touched, never renamed, never followed.
            if (RemoveLink(apiPath))
                LogLine(LogLevel::Info, "basetool::CMisc::DeleteFolder", " ", fullPath, " 链接删除成功");
            else
                LogLine(LogLevel::Warning, "basetool::CMisc::DeleteFolder", " ", fullPath, " 链接删除失败,错误码：",
                    GetLastError());
            continue;
        }
        SetFileAttributesW(apiPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(apiPath.c_str())) {
            LogLine(LogLevel::Info, "basetool::CMisc::DeleteFolder", " ", fullPath, " 文件删除成功");
            continue;
        }
        DWORD error = GetLastError();
        LogLine(LogLevel::Warning, "basetool::CMisc::DeleteFolder", " ", fullPath, " 文件删除失败,错误码：", error);
        std::wstring asideApi = LongPath(fullPath + L".error");
        if (!MoveFileExW(apiPath.c_str(), asideApi.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            LogLine(
                LogLevel::Error, "basetool::CMisc::DeleteFolder", " ", fullPath, " 无法改名，错误码：", GetLastError());
            continue;
        }
        if (MoveFileExW(asideApi.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            LogLine(LogLevel::Info, "basetool::CMisc::DeleteFolder", " ", fullPath, " 重启后，自动删除");
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

// Opened as the link, not what it points to, and marked for deletion
// through its own handle.
bool RemoveLink(const std::wstring& apiPath)
{
    HANDLE link = CreateFileW(apiPath.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (link == INVALID_HANDLE_VALUE) return false;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    BOOL removed = SetFileInformationByHandle(link, FileDispositionInfo, &disposition, sizeof disposition);
    DWORD error = GetLastError();
    CloseHandle(link);
    SetLastError(error);
    return removed;
}

bool CMisc::KillAllProcess(const std::vector<std::wstring>& exeNames)
{
    LogLine(LogLevel::Info, "basetool::CMisc::KillAllProcess", " 强杀进程数 = ", exeNames.size());
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W found = {};
    found.dwSize = sizeof found;
    if (!Process32FirstW(snapshot, &found)) {
        CloseHandle(snapshot);
        return false;
    }
    DWORD self = GetCurrentProcessId();
    // Every entry is compared, the first too: it is a real program here.
    do {
        for (const std::wstring& name : exeNames) {
            LogLine(LogLevel::Info, "basetool::CMisc::KillAllProcess", " iter_value = ", name,
                " pe_name = ", found.szExeFile);
            if (StrCmpIW(name.c_str(), found.szExeFile) != 0 || found.th32ProcessID == self || found.th32ProcessID == 0)
                continue;
            SetLastError(0);
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, found.th32ProcessID);
            LogLine(LogLevel::Info, "basetool::CMisc::KillAllProcess", " OpenProcess()", name,
                " error_code = ", static_cast<unsigned long>(GetLastError()));
            if (!process) continue;
            // Its files are released only once it has gone.
            if (TerminateProcess(process, 0)) WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    } while (Process32NextW(snapshot, &found));
    CloseHandle(snapshot);
    return true;
}

std::vector<std::wstring> CMisc::FindProcessesWithModule(const std::vector<std::wstring>& moduleTexts)
{
    std::vector<std::wstring> found;
    if (moduleTexts.empty()) return found;
    DWORD self = GetCurrentProcessId();
    for (DWORD id : RunningProcessIds()) {
        if (id == self || id == 0) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
        if (!process) continue;
        for (HMODULE module : ProcessModules(process)) {
            std::wstring path = ModulePath(process, module);
            if (std::any_of(moduleTexts.begin(), moduleTexts.end(),
                    [&](const std::wstring& text) { return StrStrIW(path.c_str(), text.c_str()) != nullptr; }))
                found.push_back(FileNamePart(ModulePath(process, nullptr)));
        }
        CloseHandle(process);
    }
    return found;
}

bool CMisc::RegDll(const std::wstring& path)
{
    if (GetFileAttributesW(LongPath(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        LogLine(LogLevel::Error, "basetool::CMisc::RegDll", " ", path, " 文件不存在");
        return false;
    }
    std::wstring previous = CurrentDirectory();
    SetCurrentDirectoryW(RemoveFileSpec(path).c_str());
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library) {
        LogLine(LogLevel::Error, "basetool::CMisc::RegDll", " ", path, " 加载失败，错误码：", GetLastError());
        SetCurrentDirectoryW(previous.c_str());
        return false;
    }
    bool registered = false;
    using RegisterServer = HRESULT(STDAPICALLTYPE*)();
    auto registerServer =
        reinterpret_cast<RegisterServer>(reinterpret_cast<void*>(GetProcAddress(library, "DllRegisterServer")));
    if (!registerServer) {
        LogLine(LogLevel::Error, "basetool::CMisc::RegDll", " ", path, " 未实现DllRegisterServer");
    } else {
        HRESULT hr = registerServer();
        registered = SUCCEEDED(hr);
        if (registered)
            LogLine(LogLevel::Info, "basetool::CMisc::RegDll", " ", path, " 注册成功");
        else
            LogLine(LogLevel::Error, "basetool::CMisc::RegDll", " ", path, " 注册失败，错误码：",
                static_cast<unsigned long>(hr));
    }
    FreeLibrary(library);
    SetCurrentDirectoryW(previous.c_str());
    return registered;
}

bool CMisc::DeleteFolder(const std::wstring& path, const DeleteFilterCallback& filter)
{
    DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        LogLine(LogLevel::Error, "basetool::CMisc::DeleteFolder", " ", path, " 文件不存在");
        return false;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        LogLine(LogLevel::Error, "basetool::CMisc::DeleteFolder", " ", path, " 不是文件夹");
        return false;
    }
    ClearFolder(path, L"", filter);
    std::wstring apiPath = LongPath(path);
    SetFileAttributesW(apiPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(apiPath.c_str());  // fails, as it should, while something is kept in it
    return true;
}

}  // namespace basetool
