// The update engine: learns where the update description lives, downloads
// it, compares versions, downloads the package with progress reports to the
// main window, and installs it.
//
// Installing never leaves the installation half old, half new: the package's
// names are checked, it is unpacked beside the installation with every CRC
// checked, and only then are processes ended and the installation replaced,
// by renames that are all undone if one fails (see CStagedInstall). A package
// that fails is logged as an ERROR and nothing is touched. Only files inside
// the installation folder are written. Every process of a program of the
// browser list, or of a program that holds a plug-in library, is ended,
// never the updater itself.
//
// Threading: the window drives it from three threads:
//   UI thread:       HasNewVersion(), then SetWindow(hwnd)
//   download thread: DownloadPackage()       -> WM_UPDATE_PROGRESS (lParam = percent)
//   setup thread:    Install()               -> WM_SETUP_FINISHED (lParam 0 = installed, 1 = failed)
//   UI thread:       StopDownload() when closing, then wait for both threads.
#pragma once

#include "HttpDownloader.h"
#include "Misc.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

constexpr UINT WM_UPDATE_PROGRESS = 0x4400;
constexpr UINT WM_SETUP_FINISHED = 0x4401;

// Where the engine works and how long it waits. The updater uses
// ForThisProgram(); tests and tools point it at folders of their own and
// shorten the bounds.
struct UpdateSettings {
    std::wstring installFolder;  // holds update_server.ini, AppInfo.ini and the plug-in files
    std::wstring dataFolder;     // receives update.ini and the package
    std::vector<std::wstring> pluginModules = {L"Plexhost.dll", L"npparvelplugin.dll"};
    // The version check runs before the window is shown, where the user
    // cannot cancel: the description must arrive whole within its deadline.
    DownloadLimits descriptionLimits = {.deadlineMs = 30000, .maxBodyBytes = 1 << 20};
    // The package may take long (the window shows progress and can cancel),
    // but it must not stall: no byte for a minute ends it.
    DownloadLimits packageLimits = {.receiveTimeoutMs = 60000};
    // A list asking for more libraries to register ([RegDll] Num of
    // update.ini) or programs to end ([Browser] Num of AppInfo.ini) than this
    // is malformed: a hostile count must not keep the engine reading for days.
    int maxListedFiles = 64;

    // The program's own folder and CSIDL_COMMON_APPDATA\Quorvan\show_plugin.
    static UpdateSettings ForThisProgram();
};

class CUpdate {
public:
    explicit CUpdate(UpdateSettings settings = UpdateSettings::ForThisProgram());
    ~CUpdate();
    CUpdate(const CUpdate&) = delete;
    CUpdate& operator=(const CUpdate&) = delete;

    // Version check (UI thread).
    bool HasNewVersion();
    std::wstring FetchUpdateIni();
    // Reads version, package URL and the DLL list from a downloaded update.ini.
    bool ReadUpdateIni(const std::wstring& path);
    std::wstring GetLocalVersion() const;
    static bool IsOlderVersion(const std::wstring& local, const std::wstring& server);

    void SetWindow(HWND window) { m_window = window; }

    // Download (download thread); StopDownload from the UI thread.
    bool DownloadPackage();
    void OnDownload(const std::wstring& url, const std::wstring& file, int percent);
    void StopDownload();
    std::wstring LastDownloadError();

    // Installation (setup thread). Install checks and unpacks the package
    // beside the installation, ends the holders of the plug-in files, swaps
    // the new tree in and registers the libraries. Setup does the same without
    // ending processes. A library that fails to register fails the result but
    // is not undone.
    bool Install();
    bool Setup();
    bool ProvePackage();
    // The browsers' program names, then those of the holders of the plug-in
    // libraries.
    std::vector<std::wstring> BuildKillList();
    // Unpacks the package into the target folder, both named in the thread's
    // ANSI code page: 0 when every entry was written, else the SDK's result
    // code of a failure.
    int Unzip7z(const std::string& package, const std::string& target);
    // The same with wide names, which lose no character.
    int Unzip7z(const std::wstring& package, const std::wstring& target);
    static bool KeepFileFilter(const std::wstring& relativePath);
    // Moves a file that is in use out of the way of its successor, replacing
    // an earlier one of that name: path + ".old", or empty when it could not
    // be moved.
    static std::wstring MoveLockedFile(const std::wstring& path);

    std::wstring PackagePath() const;
    const std::wstring& ServerVersion() const { return m_serverVersion; }
    const std::wstring& PackageUrl() const { return m_packageUrl; }
    const std::vector<std::wstring>& DllsToRegister() const { return m_dllsToRegister; }

private:
    bool InstallPackage(bool endProcesses);
    bool OpenAndProve(class CSevenZipArchive& archive);
    // Installs under its own COM scope, logs the outcome and posts it to the window.
    bool RunSetup(bool endProcesses);
    int ReadListCount(const std::wstring& file, const wchar_t* section);

    UpdateSettings m_settings;
    std::wstring m_packageUrl;
    std::wstring m_serverVersion;
    HWND m_window = nullptr;
    CRITICAL_SECTION m_lock;
    std::unique_ptr<CHttpDownloader> m_downloader;
    std::vector<std::wstring> m_dllsToRegister;
};
