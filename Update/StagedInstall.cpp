#include "StagedInstall.h"

#include "FileLogger.h"
#include "PathText.h"
#include "SevenZipArchive.h"

#include <algorithm>

using basetool::LongPath;

namespace {

constexpr const char* kSwap = "CStagedInstall::Swap";
// What an installation clears and what an unpack writes are reported under
// the names the operator knows them by, with the installation's paths.
constexpr const char* kClear = "basetool::CMisc::DeleteFolder";
constexpr const char* kUnpack = "CUpdate::Unzip7z";

struct FolderEntry {
    std::wstring name;
    DWORD attributes;
};

DWORD Attributes(const std::wstring& path)
{
    return GetFileAttributesW(LongPath(path).c_str());
}

bool IsRealFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The entries of a folder, read whole before anything in it is moved, in
// name order so that a swap always takes the same steps.
bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries)
{
    entries.clear();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(
        LongPath(AppendPath(folder, L"*")).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") entries.push_back({std::move(name), found.dwFileAttributes});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(entries.begin(), entries.end(),
        [](const FolderEntry& a, const FolderEntry& b) { return basetool::LessNoCase(a.name, b.name); });
    return true;
}

bool ScheduleDeletion(const std::wstring& path)
{
    return MoveFileExW(LongPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Removes a folder of our own with everything in it; links are removed as
// links, and what is in use is deleted at restart.
void RemoveTree(const std::wstring& folder)
{
    std::vector<FolderEntry> entries;
    ListFolder(folder, entries);
    for (const FolderEntry& entry : entries) {
        std::wstring path = AppendPath(folder, entry.name);
        if (IsRealFolder(entry.attributes)) {
            RemoveTree(path);
        } else if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (!basetool::RemoveLink(LongPath(path))) ScheduleDeletion(path);
        } else {
            SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(LongPath(path).c_str())) ScheduleDeletion(path);
        }
    }
    SetFileAttributesW(LongPath(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryW(LongPath(folder).c_str())) ScheduleDeletion(folder);
}

}  // namespace

CStagedInstall::CStagedInstall(std::wstring target, Mode mode, DeleteFilterCallback keep)
    : m_target(std::move(target)), m_mode(mode), m_keep(std::move(keep))
{
    while (m_target.size() > 3 && (m_target.back() == L'\\' || m_target.back() == L'/')) m_target.pop_back();
}

CStagedInstall::~CStagedInstall()
{
    try {
        if (!m_journal.empty()) RollBack();  // a swap that did not finish
        if (!m_staging.empty()) RemoveTree(m_staging);
        if (!m_backup.empty() && !m_keepBackup) RemoveTree(m_backup);
    } catch (...) {
    }
}

void CStagedInstall::Fail(std::wstring text)
{
    m_lastError = std::move(text);
}

bool CStagedInstall::MakeSibling(const wchar_t* kind, std::wstring& folder)
{
    std::wstring base = m_target + L".update-" + kind + L"." + std::to_wstring(GetCurrentProcessId());
    for (int n = 0; n < 100; ++n) {
        std::wstring candidate = n == 0 ? base : base + L"-" + std::to_wstring(n);
        if (CreateDirectoryW(LongPath(candidate).c_str(), nullptr)) {
            folder = candidate;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    DWORD error = GetLastError();
    Fail(L"无法在 " + m_target + L" 旁建立临时文件夹，错误码：" + std::to_wstring(error));
    LogLine(LogLevel::Error, kSwap, " ", m_lastError);
    return false;
}

bool CStagedInstall::Unpack(CSevenZipArchive& archive)
{
    m_packageFault = false;
    std::wstring parent = RemoveFileSpec(m_target);
    if (!parent.empty() && !basetool::MakeFolderPath(parent)) {
        Fail(L"无法创建 " + parent + L" 错误码：" + std::to_wstring(GetLastError()));
        return false;
    }
    if (!MakeSibling(L"new", m_staging)) return false;
    if (!archive.ExtractTo(m_staging, m_target)) {
        m_packageFault = !archive.IsWriteFailure();
        Fail(archive.LastError());
        RemoveTree(m_staging);
        m_staging.clear();
        return false;
    }
    m_stagedFiles.clear();
    m_stagedFolders.clear();
    CollectStaged(L"");
    return true;
}

void CStagedInstall::CollectStaged(const std::wstring& relative)
{
    std::vector<FolderEntry> entries;
    ListFolder(AppendPath(m_staging, relative), entries);
    for (const FolderEntry& entry : entries) {
        std::wstring path = AppendPath(relative, entry.name);
        if (IsRealFolder(entry.attributes)) {
            m_stagedFolders.insert(path);
            CollectStaged(path);
        } else {
            m_stagedFiles.insert(path);
        }
    }
}

CStagedInstall::Role CStagedInstall::StagedRole(const std::wstring& relative) const
{
    if (m_stagedFiles.count(relative)) return Role::File;
    if (m_stagedFolders.count(relative)) return Role::Folder;
    return Role::None;
}

bool CStagedInstall::IsHelperFolder(const std::wstring& path) const
{
    return basetool::EqualsNoCase(path, m_staging) || basetool::EqualsNoCase(path, m_backup);
}

bool CStagedInstall::Move(const std::wstring& from, const std::wstring& to)
{
    m_journal.reserve(m_journal.size() + 1);  // a step done is always journalled
    if (!MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), 0)) {
        DWORD error = GetLastError();
        Fail(from + L" 无法移动到 " + to + L"，错误码：" + std::to_wstring(error));
        LogLine(LogLevel::Error, kSwap, " ", m_lastError);
        return false;
    }
    m_journal.push_back({Step::Moved, from, to});
    return true;
}

bool CStagedInstall::MakeBackupFolder(const std::wstring& path)
{
    m_journal.reserve(m_journal.size() + 1);
    if (!CreateDirectoryW(LongPath(path).c_str(), nullptr)) {
        DWORD error = GetLastError();
        Fail(L"无法创建 " + path + L"，错误码：" + std::to_wstring(error));
        LogLine(LogLevel::Error, kSwap, " ", m_lastError);
        return false;
    }
    m_journal.push_back({Step::MadeFolder, path, {}});
    return true;
}

bool CStagedInstall::MoveOut(const std::wstring& relative)
{
    std::vector<FolderEntry> entries;
    std::wstring folder = AppendPath(m_target, relative);
    if (!ListFolder(folder, entries)) {
        DWORD error = GetLastError();
        Fail(L"无法读取 " + folder + L"，错误码：" + std::to_wstring(error));
        LogLine(LogLevel::Error, kSwap, " ", m_lastError);
        return false;
    }
    for (const FolderEntry& entry : entries) {
        std::wstring rel = AppendPath(relative, entry.name);
        std::wstring path = AppendPath(m_target, rel);
        if (IsHelperFolder(path)) continue;
        Role role = StagedRole(rel);
        if (m_mode == Mode::Merge && role == Role::None) continue;
        if (m_mode == Mode::Merge && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            // An unpack never writes where a link stands, nor removes it.
            Fail(path + L" 是链接，不写入");
            LogLine(LogLevel::Error, kSwap, " ", m_lastError);
            return false;
        }
        if (m_mode == Mode::Merge && IsRealFolder(entry.attributes) && role == Role::File) {
            // Nor does it drop a whole folder for one file of the package.
            Fail(path + L" 已是文件夹");
            LogLine(LogLevel::Error, kSwap, " ", m_lastError);
            return false;
        }
        if (IsRealFolder(entry.attributes) && role != Role::File) {
            // Entry by entry, so that kept files stay where they are.
            if (!MakeBackupFolder(AppendPath(m_backup, rel)) || !MoveOut(rel)) return false;
            if (role == Role::None) {
                std::wstring api = LongPath(path);
                m_journal.reserve(m_journal.size() + 1);
                SetFileAttributesW(api.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (RemoveDirectoryW(api.c_str()))
                    m_journal.push_back({Step::RemovedFolder, path, {}, entry.attributes});
                else
                    SetFileAttributesW(api.c_str(), entry.attributes);  // something is kept in it
            }
            continue;
        }
        if (role == Role::None && m_keep && m_keep(rel)) {
            LogLine(LogLevel::Info, kClear, " ", path, " 文件被过滤，不能删除");
            continue;
        }
        if (!Move(path, AppendPath(m_backup, rel))) return false;
    }
    return true;
}

bool CStagedInstall::MoveIn(const std::wstring& relative)
{
    std::vector<FolderEntry> entries;
    ListFolder(AppendPath(m_staging, relative), entries);
    for (const FolderEntry& entry : entries) {
        std::wstring rel = AppendPath(relative, entry.name);
        std::wstring from = AppendPath(m_staging, rel);
        std::wstring to = AppendPath(m_target, rel);
        DWORD existing = Attributes(to);
        if (existing == INVALID_FILE_ATTRIBUTES) {
            if (!Move(from, to)) return false;
        } else if (IsRealFolder(entry.attributes) && IsRealFolder(existing)) {
            if (!MoveIn(rel)) return false;
        } else {
            // Only what moved out could stand in the way; something else does.
            Fail(to + L" 已存在，无法替换");
            LogLine(LogLevel::Error, kSwap, " ", m_lastError);
            return false;
        }
    }
    return true;
}

void CStagedInstall::RollBack()
{
    // Until every step is undone, the backup may hold the only copy.
    m_keepBackup = true;
    bool restored = true;
    size_t steps = m_journal.size();
    for (auto step = m_journal.rbegin(); step != m_journal.rend(); ++step) {
        switch (step->kind) {
        case Step::Moved:
            if (!MoveFileExW(LongPath(step->to).c_str(), LongPath(step->from).c_str(), 0)) {
                restored = false;
                LogLine(LogLevel::Error, kSwap, " ", step->to, " 无法移回 ", step->from, "，错误码：", GetLastError());
            }
            break;
        case Step::MadeFolder: RemoveDirectoryW(LongPath(step->from).c_str()); break;
        case Step::RemovedFolder:
            if (!CreateDirectoryW(LongPath(step->from).c_str(), nullptr)) {
                restored = false;
                LogLine(LogLevel::Error, kSwap, " ", step->from, " 无法重建，错误码：", GetLastError());
            }
            SetFileAttributesW(LongPath(step->from).c_str(), step->attributes);
            break;
        }
    }
    m_journal.clear();
    if (restored) {
        m_keepBackup = false;
        LogLine(LogLevel::Info, kSwap, " 已撤销 ", steps, " 步，", m_target, " 已恢复原样");
    } else {
        // Nothing may be lost: what could not be put back stays in the backup.
        LogLine(LogLevel::Error, kSwap, " 未能完全恢复，旧文件保留在 ", m_backup);
    }
}

bool CStagedInstall::Swap()
{
    try {
        return SwapTree();
    } catch (...) {
        Fail(L"内部错误");
        LogLine(LogLevel::Error, kSwap, " ", m_lastError);
        RollBack();
        return false;
    }
}

bool CStagedInstall::SwapTree()
{
    if (m_staging.empty()) {
        if (m_lastError.empty()) Fail(L"没有解压好的文件");
        return false;
    }
    DWORD attributes = Attributes(m_target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Nothing to replace: the staged tree becomes the folder in one rename.
        if (!Move(m_staging, m_target)) return false;
        m_journal.clear();
        m_staging.clear();
        return true;
    }
    if (!IsRealFolder(attributes)) {
        Fail(m_target + L" 不是文件夹");
        LogLine(LogLevel::Error, kSwap, " ", m_lastError);
        return false;
    }
    if (!MakeSibling(L"old", m_backup)) return false;
    if (!MoveOut(L"") || !MoveIn(L"")) {
        RollBack();
        return false;
    }
    m_journal.clear();
    LogLine(LogLevel::Info, kSwap, " ", m_target, " 新文件已就位");
    DiscardBackup(L"");
    return true;
}

void CStagedInstall::DiscardBackup(const std::wstring& relative)
{
    const char* method = m_mode == Mode::Replace ? kClear : kUnpack;
    std::wstring folder = AppendPath(m_backup, relative);
    std::vector<FolderEntry> entries;
    ListFolder(folder, entries);
    for (const FolderEntry& entry : entries) {
        std::wstring rel = AppendPath(relative, entry.name);
        std::wstring path = AppendPath(m_backup, rel);
        std::wstring api = LongPath(path);
        std::wstring original = AppendPath(m_target, rel);
        if (IsRealFolder(entry.attributes)) {
            DiscardBackup(rel);
            continue;
        }
        if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (basetool::RemoveLink(api)) {
                if (m_mode == Mode::Replace) LogLine(LogLevel::Info, kClear, " ", original, " 链接删除成功");
            } else {
                ScheduleDeletion(path);
            }
            continue;
        }
        SetFileAttributesW(api.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(api.c_str())) {
            // An unpack overwrites what it replaces; only a clearing reports it.
            if (m_mode == Mode::Replace) LogLine(LogLevel::Info, kClear, " ", original, " 文件删除成功");
            continue;
        }
        // In use: it goes back beside its successor under another name, as it
        // always has, and goes at restart.
        DWORD error = GetLastError();
        std::wstring aside = original + (m_mode == Mode::Replace ? L".error" : L".old");
        if (m_mode == Mode::Replace)
            LogLine(LogLevel::Warning, method, " ", original, " 文件删除失败,错误码：", error);
        else
            LogLine(LogLevel::Info, method, " ", original, " 打开失败，可能被占用");
        bool moved = StagedRole(rel + (m_mode == Mode::Replace ? L".error" : L".old")) == Role::None &&
            MoveFileExW(api.c_str(), LongPath(aside).c_str(), MOVEFILE_REPLACE_EXISTING);
        if (ScheduleDeletion(moved ? aside : path)) LogLine(LogLevel::Info, method, " ", original, " 重启后，自动删除");
    }
    SetFileAttributesW(LongPath(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryW(LongPath(folder).c_str())) ScheduleDeletion(folder);
    if (relative.empty()) m_backup.clear();
}
