#include "PathText.h"

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cwctype>

namespace basetool {
namespace {

std::wstring ConvertToWide(UINT codePage, std::string_view text)
{
    if (text.empty()) return {};
    int needed = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (needed <= 0) return {};
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), needed);
    return wide;
}

std::string ConvertFromWide(UINT codePage, std::wstring_view text)
{
    if (text.empty()) return {};
    int needed =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string narrow(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(
        codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), needed, nullptr, nullptr);
    return narrow;
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool StaysAsIs(unsigned char c)
{
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    // "%" stays so that an escaped URL is not escaped twice; "?", "=" and "&"
    // stay so that the query keeps working.
    static constexpr std::string_view kKept = "!'()*-._~/:%?=&";
    return kKept.find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsDeviceName(std::wstring_view name)
{
    // "CON", "NUL.txt" and the like open devices, whatever the extension; the
    // system drops the blanks before the extension too ("NUL .txt"), and the
    // superscript digits name ports as well as the plain ones ("COM¹").
    std::wstring stem(name.substr(0, name.find(L'.')));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (auto& c : stem) c = static_cast<wchar_t>(std::towupper(c));
    static constexpr std::array<std::wstring_view, 6> kPlain = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (auto device : kPlain)
        if (stem == device) return true;
    if (stem.size() != 4 || !(stem.starts_with(L"COM") || stem.starts_with(L"LPT"))) return false;
    wchar_t digit = stem[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

// A UTF-16 surrogate that is not part of a pair names no character: such a
// name cannot be stored on every file system nor shown in the log.
bool HasLoneSurrogate(std::wstring_view name)
{
    for (size_t i = 0; i < name.size(); ++i) {
        wchar_t c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) return true;
    }
    return false;
}

}  // namespace

std::wstring GetModuleFolder()
{
    return RemoveFileSpec(GetModuleFilePath());
}

bool MakeFolderPath(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    std::wstring parent = RemoveFileSpec(path);
    if (!parent.empty() && parent != path && !MakeFolderPath(parent)) return false;
    return CreateDirectoryW(LongPath(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring FileNamePart(std::wstring_view path)
{
    size_t cut = path.find_last_of(L"\\/");
    return std::wstring(cut == std::wstring_view::npos ? path : path.substr(cut + 1));
}

std::wstring LongPath(const std::wstring& path)
{
    if (path.size() < 248 || path.starts_with(L"\\\\?\\")) return path;
    std::wstring native = path;
    for (auto& c : native)
        if (c == L'/') c = L'\\';
    if (native.size() > 2 && native[1] == L':' && native[2] == L'\\') return L"\\\\?\\" + native;
    if (native.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + native.substr(2);
    return path;
}

std::string WideToCodePage(unsigned codePage, std::wstring_view text)
{
    return ConvertFromWide(codePage, text);
}
std::wstring Utf8ToWide(std::string_view text)
{
    return ConvertToWide(CP_UTF8, text);
}
std::string WideToUtf8(std::wstring_view text)
{
    return ConvertFromWide(CP_UTF8, text);
}

bool IsSafeFileName(std::wstring_view name)
{
    if (name.empty() || name == L"." || name == L"..") return false;
    for (wchar_t c : name) {
        if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
    }
    if (name.back() == L'.' || name.back() == L' ') return false;
    return !HasLoneSurrogate(name) && !IsDeviceName(name);
}

bool IsSafeRelativePath(std::wstring_view path)
{
    if (path.empty()) return false;
    size_t start = 0;
    for (;;) {
        size_t end = path.find_first_of(L"\\/", start);
        std::wstring_view element = path.substr(start, end == std::wstring_view::npos ? end : end - start);
        if (!IsSafeFileName(element)) return false;
        if (end == std::wstring_view::npos) return true;
        start = end + 1;
    }
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
        CSTR_EQUAL;
}

bool LessNoCase(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
        CSTR_LESS_THAN;
}

bool ContainsNoCase(std::wstring_view text, std::wstring_view part)
{
    if (part.empty()) return true;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (EqualsNoCase(text.substr(i, part.size()), part)) return true;
    return false;
}

}  // namespace basetool

// The helpers the whole program shares.

using namespace basetool;

std::wstring GetModuleFilePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring GetCommonAppDataPath()
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path))) return {};
    return path;
}

std::wstring AppendPath(std::wstring_view base, std::wstring_view more)
{
    std::wstring joined(base);
    while (!more.empty() && IsSeparator(more.front())) more.remove_prefix(1);
    if (joined.empty()) return std::wstring(more);
    if (!IsSeparator(joined.back()) && !more.empty()) joined += L'\\';
    joined += more;
    return joined;
}

std::wstring RemoveFileSpec(std::wstring_view path)
{
    size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring_view::npos) return {};
    // Keep the root's separator: "C:\a" -> "C:\".
    if (cut == 2 && path[1] == L':') return std::wstring(path.substr(0, 3));
    if (cut == 0) return std::wstring(path.substr(0, 1));
    return std::wstring(path.substr(0, cut));
}

std::wstring FormatPath(const wchar_t* format, ...)
{
    wchar_t buffer[MAX_PATH] = {};
    va_list values;
    va_start(values, format);
    _vsnwprintf(buffer, MAX_PATH - 1, format, values);
    va_end(values);
    return buffer;
}

std::wstring AnsiToWide(std::string_view text)
{
    return ConvertToWide(CP_THREAD_ACP, text);
}

std::string WideToAnsi(std::wstring_view text)
{
    return ConvertFromWide(CP_THREAD_ACP, text);
}

std::wstring EscapeUrl(std::wstring_view url)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string escaped;
    for (unsigned char c : WideToUtf8(url)) {
        if (StaysAsIs(c)) {
            escaped += static_cast<char>(c);
            continue;
        }
        escaped += '%';
        escaped += kHex[c >> 4];
        escaped += kHex[c & 15];
    }
    return Utf8ToWide(escaped);
}

std::wstring GetUrlFileName(std::wstring_view url)
{
    url = url.substr(0, url.find(L'?'));
    size_t slash = url.rfind(L'/');
    if (slash == std::wstring_view::npos) return {};
    std::wstring_view name = url.substr(slash + 1);
    return IsSafeFileName(name) ? std::wstring(name) : std::wstring();
}
