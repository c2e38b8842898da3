// Calls per second from JScript page script through the NPAPI road, beside
// calls into a native object of the test browser in the same run.
//
//   npapi_bench [calls] [dll mime expression]
//
// Without a DLL the scriptable object is the bridge's test object, linked in;
// with one, the plug-in library is loaded and `expression` (for example
// "api.ISready()") is timed. The figures are reported, never asserted.
#include "BridgeTestPlugin.h"
#include "ScriptPage.h"
#include "TestBrowser.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double secondsFor(TestBrowser::Page& page, const std::wstring& loop)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    bool ok = page.run(loop);
    QueryPerformanceCounter(&end);
    if (!ok) return -1;
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

void report(const char* what, const std::wstring& expression, long calls, double seconds)
{
    std::printf("%-34s %ld calls of %ls in %.1f ms: %.0f calls/s (%.2f us per call)\n", what, calls, expression.c_str(),
        seconds * 1000, calls / seconds, seconds * 1e6 / calls);
}

}  // namespace

int main(int argc, char** argv)
{
    long calls = argc > 1 ? std::atol(argv[1]) : 200000;
    if (calls <= 0) calls = 200000;
    TestBrowser::Config config;
    config.logCalls = false;
    TestBrowser::Browser browser(config);
    std::wstring expression = L"api.neg()";
    bool loaded;
    if (argc > 4) {
        loaded = browser.loadPlugin(TestBrowser::widen(argv[2]));
        expression = TestBrowser::widen(argv[4]);
    } else {
        loaded = browser.usePlugin(
            BridgeTestPlugin::getEntryPoints, BridgeTestPlugin::initialize, BridgeTestPlugin::shutdown);
    }
    if (!loaded || !browser.createInstance("api", argc > 4 ? argv[3] : "application/x-bridge-test", {})) {
        std::fprintf(stderr, "npapi_bench: the plug-in did not load\n");
        return 1;
    }
    TestBrowser::Page& page = browser.page();
    page.window().defineMethod(L"nativeNoop", [](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_I4;
        result->lVal = -5;
        return S_OK;
    });
    auto loopOf = [&](const std::wstring& call) {
        return L"for (var i = 0; i < " + std::to_wstring(calls) + L"; ++i) " + call + L";";
    };
    secondsFor(page, L"for (var i = 0; i < 1000; ++i) { " + expression + L"; window.nativeNoop(); }");  // warm up
    double npapi = secondsFor(page, loopOf(expression));
    double native = secondsFor(page, loopOf(L"window.nativeNoop()"));
    browser.pump();
    if (npapi <= 0 || native <= 0) {
        std::fprintf(stderr, "npapi_bench: the page script failed\n");
        return 1;
    }
    report("through the NPAPI road:", expression, calls, npapi);
    report("into a native page object:", L"window.nativeNoop()", calls, native);
    std::printf("ratio (NPAPI road / native page object): %.2f\n", npapi / native);
    browser.shutdownPlugin();
    for (const auto& problem : browser.problems()) std::fprintf(stderr, "problem: %s\n", problem.c_str());
    return browser.problems().empty() ? 0 : 1;
}
