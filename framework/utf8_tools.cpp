#include "utf8_tools.h"

#include <iterator>
#include <utf8.h>

static_assert(sizeof(wchar_t) == 2, "wide texts are UTF-16");

namespace FB {

std::wstring utf8ToWide(std::string_view utf8)
{
    std::wstring result;
    result.reserve(utf8.size());
    utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(result));
    return result;
}

std::string wideToUtf8(std::wstring_view utf16)
{
    std::string result;
    result.reserve(utf16.size());
    utf8::utf16to8(utf16.begin(), utf16.end(), std::back_inserter(result));
    return result;
}

}  // namespace FB
