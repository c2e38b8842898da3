// Calls per second from JScript page script through the NPAPI road, beside two
// anchors measured in the same run: calls into a native object of the test
// browser's page, and calls into a do-nothing plug-in object (the test
// browser's fake plug-in, "fake.echo(null)") through the same page mapping of
// plug-in objects. Beside the anchor, the same do-nothing object called through
// a function-valued member ("fake.asFunction(null)"): the road every method of
// the plug-in's scripting object takes (the page asks hasMethod, then reads the
// member and calls its value), the part of a call no plug-in object can avoid.
//
//   npapi_bench [calls] [dll mime expression]
//
// Without a DLL the scriptable object is the bridge's test object, linked in;
// with one, the plug-in library is loaded and `expression` (for example
// "api.ISready(null)") is timed. Each figure is the best of a few rounds, the
// browser's audit on; the figures are reported, never asserted.
#include "BridgeTestPlugin.h"
#include "ProgramPath.h"
#include "ScriptPage.h"
#include "TestBrowser.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kRounds = 3;
const wchar_t* const kNativeCall = L"window.nativeNoop()";
const wchar_t* const kAnchorCall = L"fake.echo(null)";
const wchar_t* const kFunctionCall = L"fake.asFunction(null)";

// Seconds for `calls` evaluations of `call` in one script loop; negative when the script failed.
double secondsFor(TestBrowser::Page& page, const std::wstring& call, long calls)
{
    page.run(L"for (var i = 0; i < 1000; ++i) " + call + L";");  // warm up
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    bool ok = page.run(L"for (var i = 0; i < " + std::to_wstring(calls) + L"; ++i) " + call + L";");
    QueryPerformanceCounter(&end);
    if (!ok || !page.errors().empty()) return -1;
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

bool reportProblems(TestBrowser::Browser& browser)
{
    for (const auto& problem : browser.problems()) std::fprintf(stderr, "problem: %s\n", problem.c_str());
    return browser.problems().empty();
}

struct Plugin {
    const char* dll;  // null: the bridge's test plug-in, linked in
    std::string mime;
    std::wstring expression;
};

// One round with the measured plug-in: its call and the native page object.
bool measurePlugin(const Plugin& plugin, long calls, double& road, double& native)
{
    TestBrowser::Config config;
    config.logCalls = false;
    TestBrowser::Browser browser(config);
    bool loaded = plugin.dll
        ? browser.loadPlugin(TestBrowser::widen(plugin.dll))
        : browser.usePlugin(BridgeTestPlugin::getEntryPoints, BridgeTestPlugin::initialize, BridgeTestPlugin::shutdown);
    if (!loaded || !browser.createInstance("api", plugin.mime, {})) {
        std::fprintf(stderr, "npapi_bench: the plug-in did not load\n");
        return false;
    }
    TestBrowser::Page& page = browser.page();
    page.window().defineMethod(L"nativeNoop", [](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_I4;
        result->lVal = -5;
        return S_OK;
    });
    double seconds = secondsFor(page, plugin.expression, calls);
    double nativeSeconds = secondsFor(page, kNativeCall, calls);
    browser.pump();
    browser.shutdownPlugin();
    if (seconds <= 0 || nativeSeconds <= 0) {
        std::fprintf(stderr, "npapi_bench: the page script failed\n");
        return false;
    }
    road = std::min(road, seconds);
    native = std::min(native, nativeSeconds);
    return reportProblems(browser);
}

// One round with the do-nothing plug-in object: its method, then its function-valued member.
bool measureAnchor(long calls, double& anchor, double& function)
{
    TestBrowser::Config config;
    config.logCalls = false;
    TestBrowser::Browser browser(config);
    if (!browser.loadPlugin(test_support::besideThisProgram(L"npfakeplugin.dll")) ||
        !browser.createInstance("fake", "application/x-fake", {})) {
        std::fprintf(stderr, "npapi_bench: the fake plug-in did not load\n");
        return false;
    }
    double seconds = secondsFor(browser.page(), kAnchorCall, calls);
    double functionSeconds = secondsFor(browser.page(), kFunctionCall, calls);
    browser.shutdownPlugin();
    if (seconds <= 0 || functionSeconds <= 0) {
        std::fprintf(stderr, "npapi_bench: the page script failed\n");
        return false;
    }
    anchor = std::min(anchor, seconds);
    function = std::min(function, functionSeconds);
    return reportProblems(browser);
}

void report(const char* what, const std::wstring& expression, long calls, double seconds)
{
    std::printf("%-36s %ld calls of %ls in %.1f ms: %.0f calls/s (%.2f us per call)\n", what, calls, expression.c_str(),
        seconds * 1000, calls / seconds, seconds * 1e6 / calls);
}

}  // namespace

int main(int argc, char** argv)
{
    long calls = argc > 1 ? std::atol(argv[1]) : 200000;
    if (calls <= 0) calls = 200000;
    Plugin plugin{nullptr, "application/x-bridge-test", L"api.neg()"};
    if (argc > 4) plugin = {argv[2], argv[3], TestBrowser::widen(argv[4])};

    double road = 1e30, native = 1e30, anchor = 1e30, function = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        if (!measurePlugin(plugin, calls, road, native) || !measureAnchor(calls, anchor, function)) return 1;
    }
    std::printf("best of %d rounds, the test browser's audit on:\n", kRounds);
    report("through the NPAPI road:", plugin.expression, calls, road);
    report("into a do-nothing plug-in object:", kAnchorCall, calls, anchor);
    report("  through a function-valued member:", kFunctionCall, calls, function);
    report("into a native page object:", kNativeCall, calls, native);
    std::printf("NPAPI road / native page object: %.2f\n", road / native);
    std::printf("function-valued member / do-nothing plug-in object: %.2f\n", function / anchor);
    std::printf("ratio npapi-call: %.2f (%s / do-nothing plug-in object)\n", road / anchor,
        TestBrowser::narrow(plugin.expression).c_str());
    return 0;
}
