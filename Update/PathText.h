// Path and text helpers of the updater: the program's folders, joining paths
// without fixed buffers, ANSI/UTF-8/UTF-16 conversions, URL escaping and the
// checks that keep names taken from a server or a package inside one folder.
// The helpers the whole program shares are global; the rest are basetool's.
// No state; callable from any thread.
#pragma once

#include <string>
#include <string_view>

// Full path of the running program.
std::wstring GetModuleFilePath();
// The common application-data folder (CSIDL_COMMON_APPDATA).
std::wstring GetCommonAppDataPath();
// base joined with more by one backslash (no length limit, no normalisation).
std::wstring AppendPath(std::wstring_view base, std::wstring_view more);
// The path without its last element ("C:\a\b.txt" -> "C:\a", "C:\a" -> "C:\").
std::wstring RemoveFileSpec(std::wstring_view path);
// The format (wide printf conventions) filled with the values, in a buffer of
// MAX_PATH characters: a longer result is cut there.
std::wstring FormatPath(const wchar_t* format, ...);
// Conversions with the thread's ANSI code page (CP_THREAD_ACP).
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// Percent-escapes every byte of the URL's UTF-8 form with lowercase hex digits,
// except letters, digits, "!'()*-._~", the path's "/" and ":", "%" (an escaped
// URL is not escaped twice) and the query's own delimiters "?", "=" and "&".
// So "update [1.0].7z" goes out as "update%20%5b1.0%5d.7z"; a "#" is escaped
// like any other byte and is sent as part of the path.
std::wstring EscapeUrl(std::wstring_view url);

// The file name a URL names: the text after the last "/" of the part before
// any "?". Empty when there is none or when it is not a safe plain file
// name (see basetool::IsSafeFileName).
std::wstring GetUrlFileName(std::wstring_view url);

namespace basetool {

// The program's folder.
std::wstring GetModuleFolder();
// Creates the folder with every missing parent; true when it exists as a
// folder afterwards.
bool MakeFolderPath(const std::wstring& path);
// The last element of a path ("\" or "/" separated).
std::wstring FileNamePart(std::wstring_view path);
// A path the file functions accept beyond MAX_PATH: absolute drive and UNC
// paths of 248 characters or more get the "\\?\" prefix.
std::wstring LongPath(const std::wstring& path);

// The text in the given code page (characters it lacks become "?").
std::string WideToCodePage(unsigned codePage, std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// A single file-name element that cannot leave its folder: not empty, no
// separators, no ":" (drives, alternate streams), not "." or "..", no
// characters Windows refuses, no trailing dot or blank, no unpaired UTF-16
// surrogate, no device name (also with blanks before the extension, and the
// console and superscript-digit port names).
bool IsSafeFileName(std::wstring_view name);

// A relative path ("/" or "\" separated) whose every element is a safe file
// name: no drive, no leading separator, no empty, "." or ".." element.
bool IsSafeRelativePath(std::wstring_view path);

// Case-insensitive (ordinal) comparisons.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool LessNoCase(std::wstring_view a, std::wstring_view b);
bool ContainsNoCase(std::wstring_view text, std::wstring_view part);

// Orders file names as Windows tells them apart, for sets of names.
struct NoCaseLess {
    bool operator()(std::wstring_view a, std::wstring_view b) const { return LessNoCase(a, b); }
};

}  // namespace basetool
