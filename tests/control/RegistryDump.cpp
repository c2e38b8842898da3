// Prints registry keys as JSON, for the registration test: one Wine start reads
// every key it needs (a `reg export` per key would cost a Wine start each).
//
//   registry_dump ROOT [-1] KEY ...
//
// ROOT is HKLM or HKCU followed by a path ("HKLM\Software\Classes"); each KEY is
// below it and is printed with all its subkeys, or alone after -1. The output is
// {"key path below ROOT, as listed": {"value name ('' for the default)": text}};
// keys that do not exist are left out. Texts are REG_SZ and REG_EXPAND_SZ values,
// numbers REG_DWORD values as "dword:" and eight hex digits (as reg export
// writes them); other types print as their type number.
#include "Utf8Text.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using test_support::utf8;

std::string quoted(const std::wstring& text)
{
    std::string out = "\"";
    for (char c : utf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

class Dump {
public:
    void key(HKEY parent, const std::wstring& path, bool withSubkeys)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
        values(key, path);
        if (withSubkeys) {
            std::vector<std::wstring> names;
            wchar_t name[256];
            for (DWORD i = 0;; ++i) {
                DWORD length = 256;
                if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
                names.emplace_back(name, length);
            }
            for (const auto& sub : names) this->key(parent, path + L"\\" + sub, true);
        }
        RegCloseKey(key);
    }
    std::string text() const { return "{" + out_ + "}\n"; }

private:
    void values(HKEY key, const std::wstring& path)
    {
        std::string entries;
        std::vector<wchar_t> name(16384);
        std::vector<BYTE> data(65536);
        for (DWORD i = 0;; ++i) {
            DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
            if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
                break;
            std::wstring value;
            if (type == REG_SZ || type == REG_EXPAND_SZ) {
                value.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
                while (!value.empty() && value.back() == L'\0') value.pop_back();
            } else if (type == REG_DWORD && size == sizeof(DWORD)) {
                wchar_t number[16];
                std::swprintf(number, 16, L"dword:%08lx", *reinterpret_cast<const DWORD*>(data.data()));
                value = number;
            } else {
                value = L"type " + std::to_wstring(type);
            }
            if (!entries.empty()) entries += ",";
            entries += quoted(std::wstring(name.data(), nameLength)) + ":" + quoted(value);
        }
        if (!out_.empty()) out_ += ",";
        out_ += quoted(path) + ":{" + entries + "}";
    }

    std::string out_;
};

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    if (argc < 2) {
        std::fprintf(stderr, "usage: registry_dump HKLM|HKCU[\\path] [-1] KEY ...\n");
        return 2;
    }
    std::wstring root = argv[1];
    std::wstring hive = root.substr(0, root.find(L'\\'));
    std::wstring below = root.size() > hive.size() ? root.substr(hive.size() + 1) : L"";
    HKEY base = hive == L"HKLM" ? HKEY_LOCAL_MACHINE : hive == L"HKCU" ? HKEY_CURRENT_USER : nullptr;
    HKEY top = nullptr;
    if (!base || RegOpenKeyExW(base, below.c_str(), 0, KEY_READ, &top) != ERROR_SUCCESS) {
        std::fprintf(stderr, "registry_dump: cannot open the root\n");
        return 1;
    }
    Dump dump;
    bool alone = false;
    for (int i = 2; i < argc; ++i) {
        std::wstring argument = argv[i];
        if (argument == L"-1") {
            alone = true;
            continue;
        }
        dump.key(top, argument, !alone);
        alone = false;
    }
    RegCloseKey(top);
    std::string text = dump.text();
    bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
