// URL record: parsing, formatting, percent coding and malformed input.
#include "ParsedUrl.h"

#include <gtest/gtest.h>

namespace {

using FB::ParsedUrl;
using Query = ParsedUrl::Query;

struct ParseCase {
    const char* text;
    const char* protocol;
    const char* login;
    const char* domain;
    unsigned port;
    const char* path;
    Query query;
    const char* fragment;
    const char* formatted;
};

const ParseCase kParseCases[] = {
    {"HTTP://WWW.Example.COM:8080/a%20b/c?x=1&y=%41#Frag", "http", "", "www.example.com", 8080, "/a b/c",
        {{"x", "1"}, {"y", "A"}}, "Frag", "http://www.example.com:8080/a%20b/c?x=1&y=A#Frag"},
    {"http://host", "http", "", "host", 0, "/", {}, "", "http://host/"},
    {"host/dir/file", "", "", "host", 0, "/dir/file", {}, "", "://host/dir/file"},
    {"file:///C:/dir/a%20b.txt", "file", "", "", 0, "/C:/dir/a b.txt", {}, "", "file:///C%3a/dir/a%20b.txt"},
    {"rtmp://u@h:1935/live", "rtmp", "u", "h", 1935, "/live", {}, "", "rtmp://u@h:1935/live"},
    {"http://user:p@ss@Host:81/", "http", "user:p@ss", "host", 81, "/", {}, "", "http://user:p@ss@host:81/"},
    {"http://longlogin@h:80/x", "http", "longlogin", "h", 80, "/x", {}, "", "http://longlogin@h:80/x"},
    {"http://ab@host:80/", "http", "ab", "host", 80, "/", {}, "", "http://ab@host:80/"},
    {"http://[::1]:8080/x", "http", "", "::1", 8080, "/x", {}, "", "http://[::1]:8080/x"},
    {"http://[FE80::1]/", "http", "", "fe80::1", 0, "/", {}, "", "http://[fe80::1]/"},
    {"http://host?q=1", "http", "", "host", 0, "/", {{"q", "1"}}, "", "http://host/?q=1"},
    {"http://host#top", "http", "", "host", 0, "/", {}, "top", "http://host/#top"},
    {"http://host:65535/", "http", "", "host", 65535, "/", {}, "", "http://host:65535/"},
    {"http://host:0/", "http", "", "host", 0, "/", {}, "", "http://host/"},
    {"http://host/p?b=2&a=1&b=3", "http", "", "host", 0, "/p", {{"a", "1"}, {"b", "3"}}, "", "http://host/p?a=1&b=3"},
    {"http://h/?a=1&a=2", "http", "", "h", 0, "/", {{"a", "2"}}, "", "http://h/?a=2"},
    {"http://h/?k&v=a=b&&=x", "http", "", "h", 0, "/", {{"k", ""}, {"v", "a"}, {"", "x"}}, "", "http://h/?=x&k=&v=a"},
    {"http://h/?a%20b=c%26d#x%20y", "http", "", "h", 0, "/", {{"a b", "c&d"}}, "x%20y", "http://h/?a%20b=c%26d#x%20y"},
    {"h/?next=http://other/", "", "", "h", 0, "/", {{"next", "http://other/"}}, "", "://h/?next=http%3a//other/"},
    {"http://h/a?x=1#f?g", "http", "", "h", 0, "/a", {{"x", "1"}}, "f?g", "http://h/a?x=1#f?g"},
};

// Each part of the record against the same part of expected (a case or another record).
template <class Expected>
void expectParts(const ParsedUrl& url, const Expected& expected)
{
    EXPECT_EQ(url.protocol, expected.protocol);
    EXPECT_EQ(url.login, expected.login);
    EXPECT_EQ(url.domain, expected.domain);
    EXPECT_EQ(url.port, expected.port);
    EXPECT_EQ(url.path, expected.path);
    EXPECT_EQ(url.query, expected.query);
    EXPECT_EQ(url.fragment, expected.fragment);
}

TEST(ParsedUrl, ParseAndFormat)
{
    for (const auto& c : kParseCases) {
        SCOPED_TRACE(c.text);
        const ParsedUrl url = ParsedUrl::fromString(c.text);
        expectParts(url, c);
        EXPECT_EQ(url.toString(), c.formatted);

        // Formatting loses nothing: parsing the formatted text gives the same record.
        expectParts(ParsedUrl::fromString(url.toString()), url);
    }
}

TEST(ParsedUrl, QueryHoldsTheLastValueOfEachKey)
{
    const ParsedUrl url("http://h/?b=2&a=1&b=3&e");
    EXPECT_EQ(url.query.at("b"), "3");
    EXPECT_EQ(url.query.at("a"), "1");
    EXPECT_EQ(url.query.at("e"), "");
    EXPECT_EQ(url.query.count("missing"), 0u);
}

TEST(ParsedUrl, ParseReplacesTheRecordOnlyWhenTheTextIsAccepted)
{
    ParsedUrl url("http://h:81/a?x=1#f");
    EXPECT_THROW(url.parse("http://h:x/"), std::bad_cast);
    EXPECT_EQ(url.toString(), "http://h:81/a?x=1#f");
    url.parse("b/c");
    EXPECT_EQ(url.toString(), "://b/c");
}

TEST(ParsedUrl, MalformedUrlsAreRefused)
{
    const char* badProtocol[] = {"ht+tp://x/", "a-b://x", "h t://x", "\xC3\xA4://x"};
    for (const char* text : badProtocol) {
        try {
            ParsedUrl::fromString(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "URI: invalid characters in protocol part") << text;
        }
    }
    const char* badPort[] = {"http://host:65536/", "http://host:80a/", "http://host:/", "http://host:-1/",
        "http://host:99999999999999999999/", "http://[::1]:x/", "http://u@h:8o/"};
    for (const char* text : badPort) EXPECT_THROW(ParsedUrl::fromString(text), std::bad_cast) << text;
    const char* badHost[] = {"http://[::1/", "http://[::1]x/"};
    for (const char* text : badHost) EXPECT_THROW(ParsedUrl::fromString(text), std::runtime_error) << text;
}

TEST(ParsedUrl, PercentCoding)
{
    const std::pair<std::string, std::string> encodings[] = {
        {" ", "%20"},
        {"\xE4", "%e4"},
        {"/", "/"},
        {"a~b", "a%7eb"},
        {std::string("\0", 1), "%00"},
        {"!$'()*+,-./_", "!$'()*+,-./_"},
        {"?&=#%", "%3f%26%3d%23%25"},
        {"Az09", "Az09"},
    };
    for (const auto& [plain, encoded] : encodings) {
        EXPECT_EQ(ParsedUrl::urlEncode(plain), encoded);
        EXPECT_EQ(ParsedUrl::urlDecode(encoded), plain);
    }
    const std::pair<const char*, const char*> decodings[] = {
        {"%41%4a%4A", "AJJ"},
        {"100%", "100%"},
        {"%4", "%4"},
        {"x%4", "x%4"},
        {"%zz", "%zz"},
        {"%4g", "%4g"},
        {"a+b", "a+b"},
        {"%%41", "%A"},
    };
    for (const auto& [encoded, plain] : decodings) EXPECT_EQ(ParsedUrl::urlDecode(encoded), plain) << encoded;
}

}  // namespace
