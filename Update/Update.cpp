#include "Update.h"

#include "FileLogger.h"
#include "PathText.h"
#include "SevenZipArchive.h"
#include "StagedInstall.h"

#include <objbase.h>

#include <array>
#include <cwctype>
#include <string_view>

namespace {

std::wstring ReadIniText(const std::wstring& file, const wchar_t* section, const wchar_t* key, size_t capacity)
{
    std::wstring text(capacity, L'\0');
    DWORD length = GetPrivateProfileStringW(section, key, L"", text.data(), static_cast<DWORD>(capacity), file.c_str());
    text.resize(length);
    return text;
}

// False, with an ERROR line, when the value is longer than a buffer of
// `capacity` characters holds: a cut value (a shorter URL, another file
// name) must never be used as if it were the one written.
bool ReadFittingIniText(const std::wstring& file, const wchar_t* section, const wchar_t* key, size_t capacity,
    const char* method, std::wstring& value)
{
    value = ReadIniText(file, section, key, capacity + 1);
    if (value.size() < capacity) return true;
    LogLine(LogLevel::Error, method, " [", section, "] ", key, " 超过 ", capacity - 1, " 个字符，",
        basetool::FileNamePart(file), " 无效");
    value.clear();
    return false;
}

int ReadIniNumber(const std::wstring& file, const wchar_t* section, const wchar_t* key)
{
    return static_cast<int>(GetPrivateProfileIntW(section, key, 0, file.c_str()));
}

bool FileExists(const std::wstring& path)
{
    return !path.empty() && GetFileAttributesW(basetool::LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The four numbers of a version as "%d.%d.%d.%d" scans them (parts that do
// not scan are 0, what follows the last number is ignored), each kept as its
// digits without leading zeros: parts of any size compare exactly.
std::array<std::wstring_view, 4> VersionNumbers(std::wstring_view text)
{
    std::array<std::wstring_view, 4> parts;
    size_t at = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != L'.') break;
            ++at;
        }
        while (at < text.size() && iswspace(text[at])) ++at;
        size_t start = at;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') ++at;
        if (at == start) break;
        std::wstring_view digits = text.substr(start, at - start);
        while (digits.size() > 1 && digits.front() == L'0') digits.remove_prefix(1);
        parts[i] = digits == L"0" ? std::wstring_view() : digits;
    }
    return parts;
}

bool IsSmallerNumber(std::wstring_view a, std::wstring_view b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// Ends COM on this thread if this object started it.
struct ComScope {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~ComScope()
    {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
};

}  // namespace

UpdateSettings UpdateSettings::ForThisProgram()
{
    UpdateSettings settings;
    settings.installFolder = basetool::GetModuleFolder();
    settings.dataFolder = AppendPath(GetCommonAppDataPath(), L"Quorvan\\show_plugin");
    return settings;
}

CUpdate::CUpdate(UpdateSettings settings)
    : m_settings(std::move(settings)), m_downloader(std::make_unique<CHttpDownloader>())
{
    InitializeCriticalSectionAndSpinCount(&m_lock, 4000);
}

CUpdate::~CUpdate()
{
    DeleteCriticalSection(&m_lock);
}

std::wstring CUpdate::FetchUpdateIni()
{
    std::wstring serverIni = AppendPath(m_settings.installFolder, L"update_server.ini");
    if (!FileExists(serverIni)) {
        LogLine(LogLevel::Info, "CUpdate::FetchUpdateIni", "update_server.ini 不存在");
        return {};
    }
    std::wstring url;
    bool whole = ReadFittingIniText(serverIni, L"Update", L"URL", 1024, "CUpdate::FetchUpdateIni", url);
    if (whole) LogLine(LogLevel::Info, "CUpdate::FetchUpdateIni", " update.ini下载地址：", url);
    std::wstring target = AppendPath(m_settings.dataFolder, L"update.ini");
    // A failed download must leave no old copy to be read instead.
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(target.c_str());
    if (!whole) return target;
    CHttpDownloader downloader;
    downloader.SetLimits(m_settings.descriptionLimits);
    if (!downloader.Download(url, target))
        LogLine(LogLevel::Error, "CUpdate::FetchUpdateIni", " update.ini下载失败：", downloader.LastError());
    return target;
}

bool CUpdate::ReadUpdateIni(const std::wstring& path)
{
    m_dllsToRegister.clear();
    if (!ReadFittingIniText(path, L"Update", L"Version", 1024, "CUpdate::HasNewVersion", m_serverVersion) ||
        !ReadFittingIniText(path, L"Update", L"URL", 4096, "CUpdate::HasNewVersion", m_packageUrl)) {
        m_serverVersion.clear();
        m_packageUrl.clear();
        return false;
    }
    LogLine(LogLevel::Info, "CUpdate::HasNewVersion", " 服务器最新版本：", m_serverVersion);
    LogLine(LogLevel::Info, "CUpdate::HasNewVersion", " 更新包下载地址：", m_packageUrl);
    int count = ReadListCount(path, L"RegDll");
    if (count < 0) return false;
    for (int i = 0; i < count; ++i) {
        std::wstring name;
        if (!ReadFittingIniText(
                path, L"RegDll", FormatPath(L"Dll%d", i).c_str(), 260, "CUpdate::HasNewVersion", name)) {
            m_dllsToRegister.clear();
            return false;
        }
        // Only DLLs inside the installation folder are ever loaded.
        if (!basetool::IsSafeRelativePath(name)) {
            LogLine(LogLevel::Error, "CUpdate::HasNewVersion", " 拒绝安装目录以外的DLL \"", name, "\"");
            continue;
        }
        m_dllsToRegister.push_back(AppendPath(m_settings.installFolder, name));
    }
    return !m_serverVersion.empty() && !m_packageUrl.empty();
}

// The "Num" of a list section; -1, logged once, when it is more than a list
// may hold, which makes the file malformed.
int CUpdate::ReadListCount(const std::wstring& file, const wchar_t* section)
{
    int count = ReadIniNumber(file, section, L"Num");
    if (count >= 0 && count <= m_settings.maxListedFiles) return count;
    LogLine(LogLevel::Error, "CUpdate::HasNewVersion", " [", section,
        "] Num = ", ReadIniText(file, section, L"Num", 32), " 超过上限 ", m_settings.maxListedFiles, "，",
        basetool::FileNamePart(file), " 无效");
    return -1;
}

bool CUpdate::HasNewVersion()
{
    try {
        std::wstring ini = FetchUpdateIni();
        if (!FileExists(ini)) return false;
        if (!ReadUpdateIni(ini)) return false;
        std::wstring local = GetLocalVersion();
        LogLine(LogLevel::Info, "CUpdate::HasNewVersion", " 本机已安装版本：:", local);
        // An installation without a version is never updated.
        if (local.empty()) return false;
        return IsOlderVersion(local, m_serverVersion);
    } catch (...) {
        LogLine(LogLevel::Error, "CUpdate::HasNewVersion", " 内部错误");
        return false;
    }
}

std::wstring CUpdate::GetLocalVersion() const
{
    return ReadIniText(AppendPath(m_settings.installFolder, L"AppInfo.ini"), L"Info", L"LocalVersion", 1024);
}

bool CUpdate::IsOlderVersion(const std::wstring& local, const std::wstring& server)
{
    std::array<std::wstring_view, 4> a = VersionNumbers(local), b = VersionNumbers(server);
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return IsSmallerNumber(a[i], b[i]);
    return false;
}

std::wstring CUpdate::PackagePath() const
{
    std::wstring name = GetUrlFileName(m_packageUrl);
    return name.empty() ? std::wstring() : AppendPath(m_settings.dataFolder, name);
}

bool CUpdate::DownloadPackage()
{
    try {
        std::wstring target = PackagePath();
        if (target.empty()) {
            LogLine(LogLevel::Error, "CUpdate::DownloadPackage", " 更新包地址没有可用的文件名：", m_packageUrl);
            return false;
        }
        CHttpDownloader* downloader = nullptr;
        EnterCriticalSection(&m_lock);
        downloader = m_downloader.get();
        LeaveCriticalSection(&m_lock);
        if (!downloader) return false;
        downloader->SetLimits(m_settings.packageLimits);
        bool downloaded = downloader->Download(m_packageUrl, target,
            [this](const std::wstring& url, const std::wstring& file, int percent) { OnDownload(url, file, percent); });
        if (downloaded)
            LogLine(LogLevel::Info, "CUpdate::DownloadPackage", " 下载完成：", target);
        else
            LogLine(LogLevel::Error, "CUpdate::DownloadPackage", " 下载失败：", downloader->LastError());
        return downloaded;
    } catch (...) {
        LogLine(LogLevel::Error, "CUpdate::DownloadPackage", " 内部错误");
        return false;
    }
}

void CUpdate::OnDownload(const std::wstring&, const std::wstring&, int percent)
{
    if (m_window && IsWindow(m_window)) PostMessageW(m_window, WM_UPDATE_PROGRESS, 0, percent);
    LogLine(LogLevel::Info, "CUpdate::OnDownload", " 下载进度：", percent);
}

void CUpdate::StopDownload()
{
    EnterCriticalSection(&m_lock);
    if (m_downloader) m_downloader->Cancel();
    LeaveCriticalSection(&m_lock);
}

std::wstring CUpdate::LastDownloadError()
{
    EnterCriticalSection(&m_lock);
    std::wstring error = m_downloader ? m_downloader->LastError() : std::wstring();
    LeaveCriticalSection(&m_lock);
    return error;
}

std::vector<std::wstring> CUpdate::BuildKillList()
{
    std::wstring appInfo = AppendPath(m_settings.installFolder, L"AppInfo.ini");
    std::vector<std::wstring> list;
    int count = ReadListCount(appInfo, L"Browser");
    for (int i = 0; i < count; ++i)
        list.push_back(ReadIniText(appInfo, L"Browser", FormatPath(L"File%d", i).c_str(), 260));
    for (std::wstring& holder : basetool::CMisc::FindProcessesWithModule(m_settings.pluginModules))
        list.push_back(std::move(holder));
    return list;
}

bool CUpdate::OpenAndProve(CSevenZipArchive& archive)
{
    std::wstring package = PackagePath();
    if (package.empty() || !archive.Open(package) || !archive.Prove()) {
        LogLine(LogLevel::Error, "CUpdate::Setup", " 更新包无效，不安装：", package, " ", archive.LastError());
        return false;
    }
    LogLine(LogLevel::Info, "CUpdate::Setup", " 更新包校验通过：", package);
    return true;
}

bool CUpdate::ProvePackage()
{
    try {
        CSevenZipArchive archive;
        return OpenAndProve(archive);
    } catch (...) {
        LogLine(LogLevel::Error, "CUpdate::Setup", " 内部错误");
        return false;
    }
}

bool CUpdate::InstallPackage(bool endProcesses)
{
    std::wstring package = PackagePath();
    CSevenZipArchive archive;
    if (package.empty() || !archive.Open(package) || !archive.CheckNames()) {
        LogLine(LogLevel::Error, "CUpdate::Setup", " 更新包无效，不安装：", package, " ", archive.LastError());
        return false;
    }
    // Decoded, written and CRC-checked beside the installation while the
    // browsers still run; nothing of the installation is touched yet.
    CStagedInstall staged(m_settings.installFolder, CStagedInstall::Mode::Replace, &CUpdate::KeepFileFilter);
    if (!staged.Unpack(archive)) {
        if (staged.PackageFault())
            LogLine(LogLevel::Error, "CUpdate::Setup", " 更新包无效，不安装：", package, " ", staged.LastError());
        else
            LogLine(LogLevel::Error, "CUpdate::Unzip7z", " 解压未完成，不安装：", staged.LastError());
        return false;
    }
    LogLine(LogLevel::Info, "CUpdate::Setup", " 更新包校验通过：", package);
    if (endProcesses) basetool::CMisc::KillAllProcess(BuildKillList());
    if (!staged.Swap()) {
        LogLine(LogLevel::Error, "CUpdate::Setup", " 未能替换安装目录：", staged.LastError());
        return false;
    }
    // The new tree is in place. A library that fails to register is reported,
    // not undone: putting the old files back could not undo what its
    // DllRegisterServer wrote, nor would the old libraries be registered again.
    bool registered = true;
    for (const std::wstring& dll : m_dllsToRegister)
        if (!basetool::CMisc::RegDll(dll)) registered = false;
    return registered;
}

bool CUpdate::RunSetup(bool endProcesses)
{
    bool installed = false;
    try {
        ComScope com;
        installed = InstallPackage(endProcesses);
    } catch (...) {
        LogLine(LogLevel::Error, "CUpdate::Setup", " 内部错误");
        installed = false;
    }
    if (!installed) LogLine(LogLevel::Error, "CUpdate::Setup", " 安装失败");
    // The window shows the completion; without one, the log says it.
    if (m_window && IsWindow(m_window))
        PostMessageW(m_window, WM_SETUP_FINISHED, 0, installed ? 0 : 1);
    else if (installed)
        LogLine(LogLevel::Info, "CUpdate::Setup", " 安装已经完成");
    return installed;
}

bool CUpdate::Install()
{
    return RunSetup(true);
}

bool CUpdate::Setup()
{
    return RunSetup(false);
}

int CUpdate::Unzip7z(const std::wstring& package, const std::wstring& target)
{
    try {
        CSevenZipArchive archive;
        if (!archive.Open(package) || !archive.CheckNames()) {
            LogLine(LogLevel::Error, "CUpdate::Unzip7z", " ", package, " ", archive.LastError());
            return archive.LastResult() ? archive.LastResult() : -1;
        }
        // All or nothing: staged beside the target, then moved in.
        CStagedInstall staged(target, CStagedInstall::Mode::Merge);
        if (!staged.Unpack(archive) || !staged.Swap()) {
            LogLine(LogLevel::Error, "CUpdate::Unzip7z", " ", package, " ", staged.LastError());
            return archive.LastResult() ? archive.LastResult() : CSevenZipArchive::kWriteError;
        }
        return 0;
    } catch (...) {
        LogLine(LogLevel::Error, "CUpdate::Unzip7z", " 内部错误");
        return -1;
    }
}

int CUpdate::Unzip7z(const std::string& package, const std::string& target)
{
    return Unzip7z(AnsiToWide(package), AnsiToWide(target));
}

std::wstring CUpdate::MoveLockedFile(const std::wstring& path)
{
    std::wstring aside = path + L".old";
    if (!MoveFileExW(basetool::LongPath(path).c_str(), basetool::LongPath(aside).c_str(), MOVEFILE_REPLACE_EXISTING))
        return {};
    return aside;
}

bool CUpdate::KeepFileFilter(const std::wstring& relativePath)
{
    static constexpr std::array<const wchar_t*, 4> kKept = {
        L"show.ico", L"unins000.dat", L"unins000.exe", L"Quorvan娱乐直播"};
    for (const wchar_t* kept : kKept)
        if (basetool::ContainsNoCase(relativePath, kept)) return true;
    return false;
}
