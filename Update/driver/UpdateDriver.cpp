// Console front end of the update engine, for tools, tests and benchmarks:
// every step the window drives can be run on its own against any folders.
//
//   update_driver check    INSTALL DATA         exit 0: newer version, 3: none
//   update_driver update   INSTALL DATA         check, download, install
//   update_driver install  INSTALL DATA         install the package named by DATA\update.ini
//   update_driver setup    INSTALL DATA         the same without ending processes
//   update_driver download URL FILE [--cancel-at PERCENT]
//   update_driver prove    PACKAGE
//   update_driver unpack   PACKAGE TARGET
//   update_driver bench    PACKAGE TARGET       prints the check, unpack and swap times in ms
//   update_driver find-modules TEXT...          prints the program name per holder
//   update_driver kill-list INSTALL DATA
//   update_driver clean    FOLDER
//   update_driver regdll   DLL
// Options before the command: --log FILE, --modules A.dll,B.dll (the plug-in
// library names whose holders are ended), --limits KEY=VALUE,... (bounds of
// both downloads: connect, send, receive and deadline in ms, redirects, max
// body bytes), --locale LCID (the thread's locale, whose ANSI code page the
// log's values are written in; 2052 as on the updater's users' systems).
#include "FileLogger.h"
#include "Misc.h"
#include "PathText.h"
#include "SevenZipArchive.h"
#include "StagedInstall.h"
#include "Update.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

void Print(const std::wstring& text)
{
    std::string utf8 = basetool::WideToUtf8(text + L"\n");
    fwrite(utf8.data(), 1, utf8.size(), stdout);
    fflush(stdout);
}

std::vector<std::wstring> SplitList(const std::wstring& text)
{
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L',', start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

struct Options {
    std::wstring logFile;
    std::vector<std::wstring> modules;
    std::vector<std::wstring> limits;  // KEY=VALUE
    std::vector<std::wstring> args;    // command first
};

void ApplyLimits(const std::vector<std::wstring>& settings, DownloadLimits& limits)
{
    for (const std::wstring& setting : settings) {
        size_t equals = setting.find(L'=');
        std::wstring key = setting.substr(0, equals);
        unsigned long long value = std::stoull(setting.substr(equals + 1));
        if (key == L"connect")
            limits.connectTimeoutMs = static_cast<DWORD>(value);
        else if (key == L"send")
            limits.sendTimeoutMs = static_cast<DWORD>(value);
        else if (key == L"receive")
            limits.receiveTimeoutMs = static_cast<DWORD>(value);
        else if (key == L"deadline")
            limits.deadlineMs = static_cast<DWORD>(value);
        else if (key == L"redirects")
            limits.maxRedirects = static_cast<unsigned>(value);
        else if (key == L"max")
            limits.maxBodyBytes = value;
        else
            throw std::invalid_argument("unknown limit");
    }
}

UpdateSettings SettingsFor(const Options& options)
{
    UpdateSettings settings;
    settings.installFolder = options.args.at(1);
    settings.dataFolder = options.args.at(2);
    if (!options.modules.empty()) settings.pluginModules = options.modules;
    ApplyLimits(options.limits, settings.descriptionLimits);
    ApplyLimits(options.limits, settings.packageLimits);
    return settings;
}

int Download(const Options& options)
{
    const std::wstring& url = options.args.at(1);
    const std::wstring& file = options.args.at(2);
    int cancelAt = -1;
    if (options.args.size() > 4 && options.args[3] == L"--cancel-at") cancelAt = std::stoi(options.args[4]);
    CHttpDownloader downloader;
    DownloadLimits limits;
    ApplyLimits(options.limits, limits);
    downloader.SetLimits(limits);
    std::thread canceller;
    bool ok = downloader.Download(url, file, [&](const std::wstring&, const std::wstring&, int percent) {
        Print(L"percent " + std::to_wstring(percent));
        // Cancel from another thread, as the window does.
        if (cancelAt >= 0 && percent >= cancelAt && !canceller.joinable())
            canceller = std::thread([&] { downloader.Cancel(); });
    });
    if (canceller.joinable()) canceller.join();
    if (!ok) Print(L"error: " + downloader.LastError());
    return ok ? 0 : 1;
}

int Install(const Options& options, bool endProcesses)
{
    CUpdate update(SettingsFor(options));
    if (!update.ReadUpdateIni(AppendPath(options.args.at(2), L"update.ini"))) {
        Print(L"update.ini incomplete");
        return 2;
    }
    bool installed = endProcesses ? update.Install() : update.Setup();
    Print(installed ? L"installed" : L"install failed");
    return installed ? 0 : 1;
}

int Run(const Options& options)
{
    const std::vector<std::wstring>& a = options.args;
    const std::wstring& command = a.at(0);
    if (command == L"check") {
        CUpdate update(SettingsFor(options));
        bool newer = update.HasNewVersion();
        Print(newer ? L"new version " + update.ServerVersion() : L"no update");
        return newer ? 0 : 3;
    }
    if (command == L"update") {
        CUpdate update(SettingsFor(options));
        if (!update.HasNewVersion()) {
            Print(L"no update");
            return 3;
        }
        if (!update.DownloadPackage()) {
            Print(L"download failed: " + update.LastDownloadError());
            return 1;
        }
        bool installed = update.Install();
        Print(installed ? L"installed " + update.ServerVersion() : L"install failed");
        return installed ? 0 : 1;
    }
    if (command == L"install") return Install(options, true);
    if (command == L"setup") return Install(options, false);
    if (command == L"download") return Download(options);
    if (command == L"prove" || command == L"unpack" || command == L"bench") {
        CUpdate update(UpdateSettings{});
        if (command == L"prove") {
            CSevenZipArchive archive;
            bool proven = archive.Open(a.at(1)) && archive.Prove();
            Print(proven ? L"proven" : L"refused: " + archive.LastError());
            return proven ? 0 : 1;
        }
        if (command == L"bench") {
            // As an installation does: open and check the names, unpack into a
            // staging folder beside the target (decoding, writing and checking
            // every CRC in one pass), then move the tree in.
            LARGE_INTEGER frequency, start, checked, unpacked, swapped;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            CSevenZipArchive archive;
            bool ok = archive.Open(a.at(1)) && archive.CheckNames();
            QueryPerformanceCounter(&checked);
            CStagedInstall staged(a.at(2), CStagedInstall::Mode::Merge);
            ok = ok && staged.Unpack(archive);
            QueryPerformanceCounter(&unpacked);
            ok = ok && staged.Swap();
            QueryPerformanceCounter(&swapped);
            auto ms = [&](LARGE_INTEGER from, LARGE_INTEGER to) {
                return std::to_wstring((to.QuadPart - from.QuadPart) * 1000 / frequency.QuadPart);
            };
            std::wstring error = archive.LastError().empty() ? staged.LastError() : archive.LastError();
            Print(ok ? L"result 0" : L"result failed: " + error);
            Print(L"check_ms " + ms(start, checked) + L" unpack_ms " + ms(checked, unpacked) + L" swap_ms " +
                ms(unpacked, swapped) + L" total_ms " + ms(start, swapped));
            return ok ? 0 : 1;
        }
        int result = update.Unzip7z(a.at(1), a.at(2));
        Print(L"result " + std::to_wstring(result));
        return result == 0 ? 0 : 1;
    }
    if (command == L"find-modules") {
        std::vector<std::wstring> names(a.begin() + 1, a.end());
        for (const auto& name : basetool::CMisc::FindProcessesWithModule(names)) Print(name);
        return 0;
    }
    if (command == L"kill-list") {
        CUpdate update(SettingsFor(options));
        for (const auto& name : update.BuildKillList()) Print(name);
        return 0;
    }
    if (command == L"clean") return basetool::CMisc::DeleteFolder(a.at(1), &CUpdate::KeepFileFilter) ? 0 : 1;
    if (command == L"regdll") return basetool::CMisc::RegDll(a.at(1)) ? 0 : 1;
    Print(L"unknown command " + command);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        Options options;
        for (int i = 1; i < argc; ++i) {
            std::wstring arg = argv[i];
            if (arg == L"--log" && i + 1 < argc)
                options.logFile = argv[++i];
            else if (arg == L"--modules" && i + 1 < argc)
                options.modules = SplitList(argv[++i]);
            else if (arg == L"--limits" && i + 1 < argc)
                options.limits = SplitList(argv[++i]);
            else if (arg == L"--locale" && i + 1 < argc)
                SetThreadLocale(static_cast<LCID>(std::stoul(argv[++i])));
            else
                options.args.push_back(arg);
        }
        if (options.args.empty()) {
            Print(L"usage: update_driver [--log FILE] [--modules A,B] COMMAND ARGS...");
            return 2;
        }
        CFileLogger::Instance().SetDebugOutput(false);
        if (!options.logFile.empty()) CFileLogger::Instance().Open(options.logFile);
        return Run(options);
    } catch (const std::exception& error) {
        Print(L"error: " + AnsiToWide(error.what()));
        return 2;
    }
}
