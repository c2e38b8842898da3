#include "utf8_tools.h"

#include <iterator>
#include <type_traits>
#include <utf8.h>

static_assert(sizeof(wchar_t) == 2, "wide texts are UTF-16");

namespace FB {

namespace {

// The length of the leading run of ASCII units: they read the same in both
// encodings. Member names and most texts are ASCII throughout, and copying
// them as they are costs far less than the converter's unit-by-unit appends.
template <class Unit>
std::size_t asciiPrefix(std::basic_string_view<Unit> text)
{
    std::size_t length = 0;
    while (length < text.size() && static_cast<std::make_unsigned_t<Unit>>(text[length]) < 0x80) ++length;
    return length;
}

}  // namespace

std::wstring utf8ToWide(std::string_view utf8)
{
    const std::size_t ascii = asciiPrefix(utf8);
    std::wstring result(utf8.begin(), utf8.begin() + ascii);
    if (ascii == utf8.size()) return result;
    result.reserve(utf8.size());
    utf8::utf8to16(utf8.begin() + ascii, utf8.end(), std::back_inserter(result));
    return result;
}

std::string wideToUtf8(std::wstring_view utf16)
{
    const std::size_t ascii = asciiPrefix(utf16);
    std::string result(ascii, '\0');
    for (std::size_t i = 0; i < ascii; ++i) result[i] = static_cast<char>(utf16[i]);
    if (ascii == utf16.size()) return result;
    result.reserve(utf16.size());
    utf8::utf16to8(utf16.begin() + ascii, utf16.end(), std::back_inserter(result));
    return result;
}

}  // namespace FB
