// Text conversion between the library's two encodings: UTF-8 in std::string
// (every narrow text) and UTF-16 in std::wstring (Windows and COM texts).
//
// Malformed input throws a std::exception whose text names the fault:
// "Invalid UTF-8", "Not enough space" (a sequence cut short by the end of the
// text), "Invalid code point", "Invalid UTF-16" (a lone or reversed surrogate).
// Nothing is returned then.
#pragma once

#include <string>
#include <string_view>

namespace FB {

std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view utf16);

}  // namespace FB
