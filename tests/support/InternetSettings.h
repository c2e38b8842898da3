// InternetSettings: the system's Internet settings of this process for one
// test, as WinINet reads them, without touching the prefix's own: while it
// lives, HKEY_CURRENT_USER of the process is redirected to a volatile scratch
// key holding ProxyEnable and ProxyServer.
//
//     fbtest::InternetSettings settings(1, L"px.example:3128");
//     ASSERT_TRUE(settings.overridden());
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

namespace fbtest {

class InternetSettings {
public:
    InternetSettings(DWORD enable, const wchar_t* server)
    {
        // A key of its own right under Software: a volatile key makes the keys it creates volatile too.
        const std::wstring scratch = L"Software\\StagecastProxyUser" + std::to_wstring(GetCurrentProcessId());
        RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
            &root_, nullptr);
        HKEY settings = nullptr;
        RegCreateKeyExW(root_, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, nullptr,
            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &settings, nullptr);
        RegSetValueExW(settings, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
        if (server)
            RegSetValueExW(settings, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server),
                static_cast<DWORD>((wcslen(server) + 1) * sizeof(wchar_t)));
        RegCloseKey(settings);
        overridden_ = RegOverridePredefKey(HKEY_CURRENT_USER, root_) == ERROR_SUCCESS;
        scratch_ = scratch;
    }
    ~InternetSettings()
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(root_);
        RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
    }
    bool overridden() const { return overridden_; }

private:
    HKEY root_ = nullptr;
    std::wstring scratch_;
    bool overridden_ = false;
};
}  // namespace fbtest
