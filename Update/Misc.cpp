#include "Misc.h"

#include "FileLogger.h"
#include "PathText.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>

namespace basetool {
namespace {

// Both folders and program names come from the system; their paths may be long.
std::wstring ProcessImagePath(HANDLE process)
{
    std::wstring path(1024, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &size)) return {};
    path.resize(size);
    return path;
}

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

bool MatchesAny(const std::wstring& name, const std::vector<std::wstring>& names)
{
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return EqualsNoCase(name, n); });
}

std::wstring CurrentDirectory()
{
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(needed, L'\0');
    DWORD length = GetCurrentDirectoryW(needed, directory.data());
    directory.resize(length);
    return directory;
}

struct ClearResult {
    bool everythingHandled = true;
    bool somethingKept = false;
};

void ClearFolder(
    const std::wstring& root, const std::wstring& relative, const DeleteFilterCallback& filter, ClearResult& result)
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
            ClearFolder(root, relPath, filter, result);
            SetFileAttributesW(apiPath.c_str(), FILE_ATTRIBUTE_NORMAL);
            RemoveDirectoryW(apiPath.c_str());  // fails, as it should, while something is kept in it
            continue;
        }
        if (filter && filter(relPath)) {
            LogLine(LogLevel::Info, "basetool::CMisc::DeleteFolder", " ", fullPath, " 文件被过滤，不能删除");
            result.somethingKept = true;
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
            result.everythingHandled = false;
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

bool CMisc::KillAllProcess(const std::vector<ProcessEntry>& processes)
{
    LogLine(LogLevel::Info, "basetool::CMisc::KillAllProcess", " 强杀进程数 = ", processes.size());
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    std::vector<ProcessEntry> running;
    PROCESSENTRY32W found = {};
    found.dwSize = sizeof found;
    for (BOOL more = Process32FirstW(snapshot, &found); more; more = Process32NextW(snapshot, &found))
        running.push_back({found.th32ProcessID, found.szExeFile});
    CloseHandle(snapshot);

    bool allEnded = true;
    DWORD self = GetCurrentProcessId();
    for (const ProcessEntry& entry : processes) {
        if (entry.id == self || entry.id == 0) continue;
        auto now =
            std::find_if(running.begin(), running.end(), [&](const ProcessEntry& r) { return r.id == entry.id; });
        // Processes are ended by id, so there is one " iter_value" line per listed
        // process (not one per running process and name), and "pe_name" is the
        // program now running under that id; empty when it has gone.
        LogLine(LogLevel::Info, "basetool::CMisc::KillAllProcess", " iter_value = ", entry.exeName,
            " pe_name = ", now == running.end() ? std::wstring() : now->exeName);
        // A process that is already gone, or whose id another program now has,
        // is left alone.
        if (now == running.end() || !EqualsNoCase(now->exeName, entry.exeName)) continue;
        SetLastError(0);
        HANDLE process =
            OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.id);
        DWORD openError = GetLastError();
        LogLine(LogLevel::Info, "basetool::CMisc::KillAllProcess", " OpenProcess()", entry.exeName,
            " error_code = ", static_cast<unsigned long>(openError));
        if (!process) {
            if (openError != ERROR_INVALID_PARAMETER) allEnded = false;  // else gone meanwhile
            continue;
        }
        // The id may have been handed to another program since the snapshot.
        if (!EqualsNoCase(FileNamePart(ProcessImagePath(process)), entry.exeName)) {
            CloseHandle(process);
            continue;
        }
        if (TerminateProcess(process, 0)) {
            WaitForSingleObject(process, 5000);
            LogLine(
                LogLevel::Info, "basetool::CMisc::KillAllProcess", " 已结束进程 ", entry.exeName, " pid = ", entry.id);
        } else {
            LogLine(LogLevel::Warning, "basetool::CMisc::KillAllProcess", " TerminateProcess() ", entry.exeName,
                " pid = ", entry.id, " error_code = ", GetLastError());
            allEnded = false;
        }
        CloseHandle(process);
    }
    return allEnded;
}

std::vector<ProcessEntry> CMisc::FindProcessesWithModule(const std::vector<std::wstring>& moduleNames)
{
    std::vector<ProcessEntry> found;
    if (moduleNames.empty()) return found;
    DWORD self = GetCurrentProcessId();
    for (DWORD id : RunningProcessIds()) {
        if (id == self || id == 0) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
        if (!process) continue;
        for (HMODULE module : ProcessModules(process)) {
            std::wstring path = ModulePath(process, module);
            if (!MatchesAny(FileNamePart(path), moduleNames)) continue;
            ProcessEntry entry{id, FileNamePart(ModulePath(process, nullptr))};
            LogLine(LogLevel::Info, "basetool::CMisc::FindProcessesWithModule", " ", entry.exeName, " pid = ", id,
                " 加载了 ", path);
            found.push_back(std::move(entry));
            break;
        }
        CloseHandle(process);
    }
    return found;
}

std::vector<ProcessEntry> CMisc::FindProcessesByName(const std::vector<std::wstring>& exeNames)
{
    std::vector<ProcessEntry> found;
    if (exeNames.empty()) return found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0) continue;
        if (MatchesAny(entry.szExeFile, exeNames)) found.push_back({entry.th32ProcessID, entry.szExeFile});
    }
    CloseHandle(snapshot);
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
    ClearResult result;
    ClearFolder(path, L"", filter, result);
    return result.everythingHandled;
}

}  // namespace basetool
