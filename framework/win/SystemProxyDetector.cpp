#include "SystemProxyDetector.h"

#include "BrowserStreamRequest.h"
#include "TraceLog.h"
#include "utf8_tools.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace FB {

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separators)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find_first_of(separators, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::string systemMessage(DWORD error)
{
    char* text = nullptr;
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length ? std::string(text, length) : "error " + std::to_string(error);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message;
}

}  // namespace

SystemProxyDetector* SystemProxyDetector::get()
{
    static SystemProxyDetectorWin detector;
    return &detector;
}

bool SystemProxyDetectorWin::chooseFromList(std::string_view list, const std::string& scheme, ProxySettings& settings)
{
    for (std::string_view entry : split(list, " ;")) {
        if (entry.empty()) continue;
        std::vector<std::string_view> named = split(entry, "=");
        if (named.size() > 2) continue;
        const std::string_view type = named.size() == 2 ? named[0] : "http";
        const std::vector<std::string_view> address = split(named.back(), ":");
        if (address.size() != 2 || address[0].empty() || address[1].empty()) continue;
        if (type == scheme || (type == "socks" && !settings.count("type"))) {
            settings["port"] = std::string(address[1]);
            settings["hostname"] = std::string(address[0]);
            settings["type"] = std::string(type);
        }
    }
    return settings.count("type") != 0;
}

bool SystemProxyDetectorWin::detectProxy(const std::string& url, ProxySettings& settings)
{
    settings.clear();
    try {
        DWORD size = 0;
        InternetQueryOptionW(nullptr, INTERNET_OPTION_PROXY, nullptr, &size);
        std::vector<unsigned char> buffer(std::max<DWORD>(size, sizeof(INTERNET_PROXY_INFO)));
        size = static_cast<DWORD>(buffer.size());
        if (!InternetQueryOptionW(nullptr, INTERNET_OPTION_PROXY, buffer.data(), &size))
            throw std::runtime_error("InternetQueryOption(INTERNET_OPTION_PROXY): " + systemMessage(GetLastError()));
        const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data());
        if (info->dwAccessType != INTERNET_OPEN_TYPE_PROXY || !info->lpszProxy) return false;
        // The wide query answers wide texts in the same block.
        const std::string list = wideToUtf8(info->lpszProxy);
        return chooseFromList(list, BrowserStreamRequest(url, "GET").url.protocol, settings);
    } catch (const std::exception& e) {
        trace("SystemProxyDetector", std::string("Could not detect system proxy: ") + e.what());
        settings.clear();
        return false;
    }
}

}  // namespace FB
