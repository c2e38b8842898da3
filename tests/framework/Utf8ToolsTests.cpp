// UTF-8 / UTF-16 conversion: round trips and the refusal of malformed input.
#include "utf8_tools.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Tools, RoundTrips)
{
    const std::pair<std::string, std::wstring> cases[] = {
        {"", L""},
        {"plain", L"plain"},
        {std::string("nul\0inside", 10), std::wstring(L"nul\0inside", 10)},
        {"\xC3\xA4", L"\x00E4"},
        {"\xE2\x82\xAC", L"\x20AC"},
        {"\xEF\xBF\xBF", L"\xFFFF"},
        {"\xF0\x9D\x84\x9E", L"\xD834\xDD1E"},  // above the basic plane: a surrogate pair
        {"\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},  // the last code point
        {"a\xF0\x9F\x98\x80z", L"a\xD83D\xDE00z"},
    };
    for (const auto& [utf8, utf16] : cases) {
        EXPECT_EQ(FB::utf8ToWide(utf8), utf16) << utf8;
        EXPECT_EQ(FB::wideToUtf8(utf16), utf8) << utf8;
    }
}

TEST(Utf8Tools, MalformedUtf8IsRefusedWithTheLibraryText)
{
    const std::pair<std::string, const char*> cases[] = {
        {"\x80", "Invalid UTF-8"},                                   // stray continuation byte
        {"ab\xBF", "Invalid UTF-8"}, {"\xC0\xAF", "Invalid UTF-8"},  // overlong "/"
        {"\xE0\x80\xAF", "Invalid UTF-8"},                           // overlong, three bytes
        {"\xFF", "Invalid UTF-8"}, {"\xC3(", "Invalid UTF-8"},       // lead byte without its continuation
        {"\xC3", "Not enough space"},                                // cut short by the end of the text
        {"x\xE2\x82", "Not enough space"}, {"\xF0\x9D\x84", "Not enough space"},
        {"\xED\xA0\x80", "Invalid code point"},      // an encoded surrogate
        {"\xF4\x90\x80\x80", "Invalid code point"},  // beyond U+10FFFF
    };
    for (const auto& [input, text] : cases) {
        try {
            FB::utf8ToWide(input);
            ADD_FAILURE() << "accepted " << testing::PrintToString(input);
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), text) << testing::PrintToString(input);
        }
    }
}

TEST(Utf8Tools, UnpairedSurrogatesAreRefused)
{
    const std::wstring cases[] = {
        L"\xD800",        // lead at the end
        L"a\xD800z",      // lead followed by no trail
        L"\xDC00",        // lone trail
        L"\xDC00\xD800",  // reversed pair
        L"\xD800\xD800",
    };
    for (const auto& input : cases) {
        try {
            FB::wideToUtf8(input);
            ADD_FAILURE() << "accepted case " << (&input - cases);
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), "Invalid UTF-16");
        }
    }
}

}  // namespace
