#include "Elevation.h"

#include <shellapi.h>
#include <shlwapi.h>

ElevationSystem ElevationSystem::Real()
{
    return ElevationSystem{IsUserAdmin, IsUacEnabled, RelaunchElevated};
}

int RunElevatedIfNeeded(const ElevationSystem& system)
{
    if (system.isUserAdmin() || !system.isUacEnabled()) return ELEVATION_GO_ON;
    DWORD error = system.relaunchElevated();
    if (error == ERROR_SUCCESS) return ELEVATION_RELAUNCHED;
    if (error == ERROR_CANCELLED || error == ERROR_FILE_NOT_FOUND) return ELEVATION_REFUSED;
    return ELEVATION_GO_ON;
}

bool IsUserAdmin()
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(
            &nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

bool IsUacEnabled()
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&version) || version.dwMajorVersion < 6) return false;
#pragma GCC diagnostic pop
    DWORD enableLua = 0;
    DWORD size = sizeof(enableLua);
    DWORD type = 0;
    if (SHGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", L"EnableLUA",
            &type, &enableLua, &size) != ERROR_SUCCESS)
        return false;
    return enableLua != 0;
}

DWORD RelaunchElevated()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return ERROR_FILE_NOT_FOUND;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = path;
    info.lpParameters = GetCommandLineW();
    info.nShow = SW_SHOW;
    if (!ShellExecuteExW(&info)) {
        DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
    }
    if (info.hProcess) CloseHandle(info.hProcess);
    return ERROR_SUCCESS;
}
