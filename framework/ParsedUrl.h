// FB::ParsedUrl: a URL split into its parts, and put back together.
//
//     FB::ParsedUrl url = FB::ParsedUrl::fromString("HTTP://Host:8080/a%20b?x=1#top");
//     url.protocol == "http"; url.domain == "host"; url.port == 8080; url.path == "/a b";
//     url.toString() == "http://host:8080/a%20b?x=1#top"
//
// Path and query are kept percent-decoded and encoded again by toString();
// login and fragment are kept as written. The query holds one value per key
// (a later pair with the same key replaces the earlier value) and is written
// in key order.
//
// Parsing refuses malformed input with an exception and returns no record:
// std::runtime_error for a bad protocol or host, std::bad_cast (UrlPortError)
// for a port that is not a number from 0 to 65535.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeinfo>

namespace FB {

class UrlPortError : public std::bad_cast {
public:
    const char* what() const noexcept override { return "URI: invalid port"; }
};

struct ParsedUrl {
    using Query = std::map<std::string, std::string>;

    std::string protocol;    // lower case, without "://"; empty when the text has none
    std::string login;       // user information before the host, as written
    std::string domain;      // lower case; an IPv6 literal without its brackets
    std::uint16_t port = 0;  // 0 when none was given
    std::string path;        // decoded; starts with "/"
    Query query;             // decoded keys and values
    std::string fragment;    // after "#", as written

    ParsedUrl() = default;
    explicit ParsedUrl(std::string_view url) { parse(url); }

    static ParsedUrl fromString(std::string_view url);
    // Replaces the record with the parts of the text; a refused text leaves it unchanged.
    void parse(std::string_view url);
    std::string toString() const;

    static std::string urlEncode(std::string_view text);
    static std::string urlDecode(std::string_view text);
    // Enters the pairs of a query text ("a=1&b") into the record's query.
    static void parseQuery(ParsedUrl& record, std::string_view queryText);
};

}  // namespace FB
