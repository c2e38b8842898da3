// FB::SystemProxyDetector: which proxy the system's own setting names for a
// URL. SystemProxyDetectorWin reads the WinINet setting; the browser host's
// default proxy lookup asks the process-wide detector.
//
//     std::map<std::string, std::string> settings;
//     if (FB::SystemProxyDetector::get()->detectProxy("http://host/", settings))
//         use(settings["type"], settings["hostname"], settings["port"]);
//
// Threading: any thread; the detector keeps no state.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace FB {

using ProxySettings = std::map<std::string, std::string>;

class SystemProxyDetector {
public:
    virtual ~SystemProxyDetector() = default;
    // Empties settings; true (with "type", "hostname" and "port") when a proxy is to be used.
    virtual bool detectProxy(const std::string& url, ProxySettings& settings) = 0;

    // The process-wide detector, made on first use.
    static SystemProxyDetector* get();
};

class SystemProxyDetectorWin : public SystemProxyDetector {
public:
    bool detectProxy(const std::string& url, ProxySettings& settings) override;

    // Chooses from a WinINet proxy list ("host:port", "scheme=host:port", entries
    // apart by spaces or ";") the entry for the scheme, an entry without a
    // scheme counting as "http"; a "socks" entry serves while nothing else
    // matched, and of several matches the last wins. Entries that do not parse
    // as one host and one port (IPv6 addresses, "scheme://" forms, a second
    // "=") are skipped. True when an entry was taken.
    static bool chooseFromList(std::string_view list, const std::string& scheme, ProxySettings& settings);
};

}  // namespace FB
