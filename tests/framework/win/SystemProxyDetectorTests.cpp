// System proxy detection: the choice from a WinINet proxy list as a table, and
// the detector against Wine's WinINet with the Internet settings of this
// process redirected to a scratch registry key (the shared prefix is not
// touched). The environment's http_proxy is covered by the stream_fetch tests.
#include "InternetSettings.h"
#include "SystemProxyDetector.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using FB::ProxySettings;
using FB::SystemProxyDetectorWin;
using fbtest::InternetSettings;

TEST(ProxyList, ChoosesTheEntryForTheScheme)
{
    struct Case {
        const char* list;
        const char* scheme;
        const char* type;  // nullptr: nothing chosen
        const char* hostname;
        const char* port;
    };
    const Case cases[] = {
        {"http=a:1 https=b:2", "https", "https", "b", "2"},
        {"http=a:1 https=b:2", "http", "http", "a", "1"},
        {"http=a:1;https=b:2", "https", "https", "b", "2"},               // ";" lists as well
        {"proxy.example:3128", "http", "http", "proxy.example", "3128"},  // no "=": http
        {"proxy.example:3128", "https", nullptr, nullptr, nullptr},
        {"socks=s:1080", "http", "socks", "s", "1080"},
        {"socks=s:1080 http=a:1", "http", "http", "a", "1"},  // the scheme's own entry wins
        {"http=a:1 socks=s:1080", "http", "http", "a", "1"},  // socks only while nothing matched
        {"socks=s:1 socks=t:2", "ftp", "socks", "s", "1"},    // ...so the first socks entry stays
        {"http=a:1 http=c:3", "http", "http", "c", "3"},      // of several matches the last
        {"http=a", "http", nullptr, nullptr, nullptr},        // missing port
        {"http=a:", "http", nullptr, nullptr, nullptr},
        {"http=:80", "http", nullptr, nullptr, nullptr},
        {"http=[::1]:8080", "http", nullptr, nullptr, nullptr},  // IPv6 is skipped, not mis-parsed
        {"http=http://a:1", "http", nullptr, nullptr, nullptr},  // so is a "scheme://" form
        {"http=a=b:1", "http", nullptr, nullptr, nullptr},       // and a second "="
        {"http=x=y:1 http=good:8", "http", "http", "good", "8"},
        {"", "http", nullptr, nullptr, nullptr},
        {"  ;; ", "http", nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " for " + c.scheme);
        ProxySettings settings;
        const bool chosen = SystemProxyDetectorWin::chooseFromList(c.list, c.scheme, settings);
        EXPECT_EQ(chosen, c.type != nullptr);
        if (!c.type) {
            EXPECT_TRUE(settings.empty());
            continue;
        }
        EXPECT_EQ(settings["type"], c.type);
        EXPECT_EQ(settings["hostname"], c.hostname);
        EXPECT_EQ(settings["port"], c.port);
    }
}

TEST(SystemProxyDetector, ReadsTheSystemSettingThroughWinInet)
{
    struct Case {
        const char* name;
        DWORD enable;
        const wchar_t* server;
        const char* url;
        bool found;
        const char* hostname;
        const char* port;
    };
    const Case cases[] = {
        {"direct", 0, L"px.example:3128", "http://example.test/", false, nullptr, nullptr},
        {"a single proxy", 1, L"px.example:3128", "http://example.test/", true, "px.example", "3128"},
        {"a single proxy, another scheme", 1, L"px.example:3128", "https://example.test/", false, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InternetSettings settings(c.enable, c.server);
        ASSERT_TRUE(settings.overridden());
        ProxySettings found{{"stale", "value"}};
        EXPECT_EQ(FB::SystemProxyDetector::get()->detectProxy(c.url, found), c.found);
        if (!c.found) {
            EXPECT_TRUE(found.empty());
            continue;
        }
        EXPECT_EQ(found["type"], "http");
        EXPECT_EQ(found["hostname"], c.hostname);
        EXPECT_EQ(found["port"], c.port);
    }
}

}  // namespace
