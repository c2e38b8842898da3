#include "BrowserStreamRequest.h"

#include "PluginEventSink.h"

#include <exception>

namespace FB {

namespace {

std::string_view trimmed(std::string_view text)
{
    const char* const blanks = " \t";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

ParsedUrl parsedOrEmpty(const std::string& text)
{
    try {
        return ParsedUrl::fromString(text);
    } catch (const std::exception&) {
        return ParsedUrl();
    }
}

}  // namespace

HeaderMap parseHeaders(std::string_view text)
{
    HeaderMap headers;
    while (!text.empty()) {
        size_t end = text.find_first_of("\r\n");
        std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        size_t colon = line.find(':');
        if (line.empty() || colon == std::string_view::npos) continue;
        headers.emplace(std::string(trimmed(line.substr(0, colon))), std::string(trimmed(line.substr(colon + 1))));
    }
    return headers;
}

BrowserStreamRequest::BrowserStreamRequest(std::string text, std::string method)
    : url(parsedOrEmpty(text)), urlText(std::move(text)), method(std::move(method))
{
}

BrowserStreamRequest::BrowserStreamRequest(const ParsedUrl& parsed, std::string method)
    : url(parsed), urlText(parsed.toString()), method(std::move(method))
{
}

void BrowserStreamRequest::setHeaders(std::string_view text)
{
    headers = parseHeaders(text);
}

}  // namespace FB
