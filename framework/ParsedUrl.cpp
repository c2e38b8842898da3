#include "ParsedUrl.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace FB {

namespace {

bool isAsciiAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string asciiLowered(std::string_view text)
{
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
        [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lowered;
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::uint16_t parsePort(std::string_view text)
{
    if (text.empty() || text.size() > 5) throw UrlPortError();
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw UrlPortError();
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535) throw UrlPortError();
    return static_cast<std::uint16_t>(value);
}

// Splits "login@host:port" (host possibly a bracketed IPv6 literal) into the
// record. The login ends at the last "@", since a password may contain one.
void parseAuthority(ParsedUrl& url, std::string_view authority)
{
    if (auto at = authority.rfind('@'); at != std::string_view::npos) {
        url.login = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string_view::npos) throw std::runtime_error("URI: invalid host part");
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') throw std::runtime_error("URI: invalid host part");
            hasPort = true;
            portText = after.substr(1);
        }
    } else if (auto colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        hasPort = true;
        portText = authority.substr(colon + 1);
    }
    if (hasPort) url.port = parsePort(portText);
    url.domain = asciiLowered(host);
}

}  // namespace

ParsedUrl ParsedUrl::fromString(std::string_view text)
{
    ParsedUrl url;
    url.parse(text);
    return url;
}

void ParsedUrl::parse(std::string_view text)
{
    ParsedUrl url;  // filled apart, so that a refused text leaves this record as it was
    std::string_view rest = text;

    // A "://" counts as the end of a scheme only before the first path, query
    // or fragment character: "host/?next=http://other" has no scheme.
    const auto schemeEnd = rest.find("://");
    if (schemeEnd != std::string_view::npos && schemeEnd <= rest.find_first_of("/\\?#")) {
        std::string_view scheme = rest.substr(0, schemeEnd);
        if (!std::all_of(scheme.begin(), scheme.end(), isAsciiAlnum))
            throw std::runtime_error("URI: invalid characters in protocol part");
        url.protocol = asciiLowered(scheme);
        rest.remove_prefix(schemeEnd + 3);
    }

    if (url.protocol != "file") {
        const auto authorityEnd = rest.find_first_of("/\\?#");
        parseAuthority(url, rest.substr(0, authorityEnd));
        rest = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    }

    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        url.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (auto question = rest.find('?'); question != std::string_view::npos) {
        parseQuery(url, rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    url.path = urlDecode(rest);
    if (url.path.empty()) url.path = "/";
    *this = std::move(url);
}

std::string ParsedUrl::toString() const
{
    std::string text = protocol + "://";
    if (!login.empty()) text += login + "@";
    if (domain.find(':') != std::string::npos)
        text += "[" + domain + "]";
    else
        text += domain;
    if (port != 0) text += ":" + std::to_string(port);
    text += urlEncode(path);
    char separator = '?';
    for (const auto& [key, value] : query) {
        text += separator;
        text += urlEncode(key) + "=" + urlEncode(value);
        separator = '&';
    }
    if (!fragment.empty()) text += "#" + fragment;
    return text;
}

std::string ParsedUrl::urlEncode(std::string_view text)
{
    static constexpr std::string_view kept = "!$'()*+,-./_";
    std::string encoded;
    encoded.reserve(text.size());
    for (char c : text) {
        if (isAsciiAlnum(c) || kept.find(c) != std::string_view::npos) {
            encoded += c;
            continue;
        }
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%.2x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        encoded += escape;
    }
    return encoded;
}

std::string ParsedUrl::urlDecode(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexDigitValue(text[i + 1]);
            const int low = hexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

void ParsedUrl::parseQuery(ParsedUrl& record, std::string_view queryText)
{
    while (!queryText.empty()) {
        const auto amp = queryText.find('&');
        std::string_view piece = queryText.substr(0, amp);
        queryText = amp == std::string_view::npos ? std::string_view() : queryText.substr(amp + 1);
        if (piece.empty()) continue;
        const auto equals = piece.find('=');
        std::string_view key = piece.substr(0, equals);
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = piece.substr(equals + 1);
            value = value.substr(0, value.find('='));  // further parts are ignored
        }
        record.query[urlDecode(key)] = urlDecode(value);
    }
}

}  // namespace FB
