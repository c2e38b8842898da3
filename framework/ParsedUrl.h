// FB::ParsedUrl: a URL split into its parts, and put back together.
//
//     FB::ParsedUrl url = FB::ParsedUrl::fromString("HTTP://Host:8080/a%20b?x=1#top");
//     url.protocol == "http"; url.domain == "host"; url.port == 8080; url.path == "/a b";
//     url.toString() == "http://host:8080/a%20b?x=1#top"
//
// Path and query are kept percent-decoded and encoded again by toString();
// login and fragment are kept as written. The query keeps its pairs in text
// order with repeats, so formatting a parsed URL loses none of them;
// queryValue() answers the last value given for a key.
//
// Parsing refuses malformed input with an exception and returns no record:
// std::runtime_error for a bad protocol or host, std::bad_cast (UrlPortError)
// for a port that is not a number from 0 to 65535.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>
#include <vector>

namespace FB {

class UrlPortError : public std::bad_cast {
public:
    const char* what() const noexcept override { return "URI: invalid port"; }
};

struct ParsedUrl {
    using QueryPairs = std::vector<std::pair<std::string, std::string>>;

    std::string protocol;    // lower case, without "://"; empty when the text has none
    std::string login;       // user information before the host, as written
    std::string domain;      // lower case; an IPv6 literal without its brackets
    std::uint16_t port = 0;  // 0 when none was given
    std::string path;        // decoded; starts with "/"
    QueryPairs query;        // decoded, in text order
    std::string fragment;    // after "#", as written

    ParsedUrl() = default;
    explicit ParsedUrl(std::string_view url) { *this = fromString(url); }

    static ParsedUrl fromString(std::string_view url);
    std::string toString() const;

    // The last value given for the key, if any.
    std::optional<std::string> queryValue(std::string_view key) const;

    static std::string urlEncode(std::string_view text);
    static std::string urlDecode(std::string_view text);
    // Appends the pairs of a query text ("a=1&b") to the record.
    static void parseQuery(ParsedUrl& record, std::string_view queryText);
};

}  // namespace FB
