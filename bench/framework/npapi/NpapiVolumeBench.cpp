// Volume reports per second on the NPAPI road, over both delivery roads, beside
// the test browser's own floor for calls posted from another thread.
//
//   npapi_volume_bench [reports] [runs]
//
// The test browser loads npparvelplugin.dll; its JScript page hands SetVolCb a
// function that counts the reports and checks that each level is the one after
// the last. The stand-in engine then reports 0, 1, 2, ... from its own thread
// as fast as they are taken, and each report takes the plug-in's road to the
// page: the asynchronous-call entry of the browser (a Firefox user agent) or the
// hidden message window (a Safari user agent), then the page's delayed-call
// function and a page timer. The anchor is a do-nothing plug-in (the test
// browser's fake plug-in) whose worker thread posts the same count through the
// asynchronous-call entry, each call handing its level straight to the page
// function. Beside it the same do-nothing plug-in takes the page's road of a
// plug-in callback for each call (the delayed-call function read from the
// window, the argument array made and filled, the function handed over with a
// delay of 0, the page timer): the floor of any report that has to reach the
// page that way. The browser's audit is on; the figures are reported, never
// asserted.
//
// Each run measures all four; the figures of a road vary a lot between runs on
// a shared machine (a poster that runs ahead of the main thread, or one that
// wakes it for every call), so the closing ratio lines give the median of the
// runs' ratios.

#include "ProgramPath.h"
#include "ScriptPage.h"
#include "StrevoControl.h"
#include "TestBrowser.h"
#include "VolumeReportCount.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using volume_bench::now;
using volume_bench::pageNumber;
using volume_bench::perSecond;
using volume_bench::print;

struct Result : volume_bench::Result {
    bool clean = false;  // the browser's audit found nothing
};

// Pumps the browser until `expected` reports arrived or none came for two
// seconds, then a little longer: anything past the count would be a report
// delivered twice. Then ends the plug-in, and the browser's audit tells
// whether the run was clean.
Result collect(TestBrowser::Browser& browser, long expected, double started)
{
    TestBrowser::Page& page = browser.page();
    volume_bench::Progress progress(page, expected);
    browser.pumpUntil([&] { return progress.finished(); }, 600000);
    browser.pumpUntil([] { return false; }, 200);
    Result result;
    result.arrived = pageNumber(page, L"got");
    result.misordered = pageNumber(page, L"misordered");
    result.seconds = progress.end() - started;
    browser.shutdownPlugin();
    result.clean = browser.problems().empty();
    for (const auto& problem : browser.problems()) std::fprintf(stderr, "problem: %s\n", problem.c_str());
    return result;
}

Result throughPlugin(const char* userAgent, long reports)
{
    strevo_test::reset();
    strevo_test::command("interval 0");
    TestBrowser::Config config;
    config.logCalls = false;
    config.userAgent = userAgent;
    TestBrowser::Browser browser(config);
    Result result;
    if (!browser.loadPlugin(test_support::besideThisProgram(L"npparvelplugin.dll")) ||
        !browser.createInstance("plugin", "application/x-parvelplugin", {}) ||
        !browser.page().run(volume_bench::kCounterScript) || !browser.page().run(L"plugin.SetVolCb(count);")) {
        std::fprintf(stderr, "npapi_volume_bench: the plug-in did not start\n");
        return result;
    }
    double started = now();
    strevo_test::command("burst " + std::to_string(reports));
    return collect(browser, reports, started);
}

// With throughPage, each call takes the page's road of a plug-in callback.
Result throughDoNothingPlugin(long reports, bool throughPage)
{
    TestBrowser::Config config;
    config.logCalls = false;
    TestBrowser::Browser browser(config);
    Result result;
    if (!browser.loadPlugin(test_support::besideThisProgram(L"npfakeplugin.dll")) ||
        !browser.createInstance("fake", "application/x-fake", {}) ||
        !browser.page().run(volume_bench::kCounterScript)) {
        std::fprintf(stderr, "npapi_volume_bench: the fake plug-in did not start\n");
        return result;
    }
    double started = now();
    browser.page().run(L"fake.burst(count, " + std::to_wstring(reports) + (throughPage ? L", true);" : L");"));
    return collect(browser, reports, started);
}

double ratio(double value, double anchor)
{
    return anchor > 0 ? value / anchor : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const auto [reports, runs] = volume_bench::arguments(argc, argv);
    const char* firefox = "Mozilla/5.0 (Windows NT 6.1; rv:52.0) Gecko/20100101 Firefox/52.0";
    const char* safari = "Mozilla/5.0 (Windows) AppleWebKit/534 Safari/534";
    int code = 0;
    // Per run: a road beside the anchor and beside the floor.
    std::vector<double> asyncRatios, windowRatios, asyncFloorRatios, windowFloorRatios;
    for (int run = 0; run < runs; ++run) {
        Result anchor = throughDoNothingPlugin(reports, false);
        Result floor = throughDoNothingPlugin(reports, true);
        Result asyncCall = throughPlugin(firefox, reports);
        Result window = throughPlugin(safari, reports);
        std::printf("run %d\n", run + 1);
        print("  do-nothing plug-in (anchor)", reports, anchor);
        print("  do-nothing plug-in, page road (floor)", reports, floor);
        print("  plug-in, asynchronous-call entry", reports, asyncCall);
        print("  plug-in, message window", reports, window);
        asyncRatios.push_back(ratio(perSecond(asyncCall), perSecond(anchor)));
        windowRatios.push_back(ratio(perSecond(window), perSecond(anchor)));
        asyncFloorRatios.push_back(ratio(perSecond(asyncCall), perSecond(floor)));
        windowFloorRatios.push_back(ratio(perSecond(window), perSecond(floor)));
        std::printf("  at %.0f%% and %.0f%% of the anchor, %.0f%% and %.0f%% of the floor\n", 100 * asyncRatios.back(),
            100 * windowRatios.back(), 100 * asyncFloorRatios.back(), 100 * windowFloorRatios.back());
        for (const Result* r : {&anchor, &floor, &asyncCall, &window})
            if (r->arrived != reports || r->misordered != 0 || !r->clean) code = 2;
    }
    using volume_bench::printRatio;
    printRatio(
        "npapi-volume-window", "reports per second through the message window / do-nothing plug-in", windowRatios);
    printRatio(
        "npapi-volume", "reports per second through the asynchronous-call entry / do-nothing plug-in", asyncRatios);
    printRatio("npapi-volume-window-floor",
        "reports per second through the message window / do-nothing plug-in taking the page's road", windowFloorRatios);
    printRatio("npapi-volume-floor",
        "reports per second through the asynchronous-call entry / do-nothing plug-in taking the page's road",
        asyncFloorRatios);
    return code;
}
