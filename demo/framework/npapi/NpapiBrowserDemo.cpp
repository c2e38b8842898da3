// A broadcast through the NPAPI road: the test browser loads npparvelplugin.dll
// by its exports, and JScript page script drives it. Prints each script call
// with its result and every callback as the page receives it (from its timers,
// after the call returned).
#include "ScriptPage.h"
#include "StrevoControl.h"
#include "TestBrowser.h"

#include <cstdio>
#include <string>

namespace {

void showConsole(TestBrowser::Page& page, size_t& shown)
{
    std::vector<std::wstring> lines = page.consoleLines();
    for (; shown < lines.size(); ++shown) std::printf("  %ls\n", lines[shown].c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const char* userAgent = argc > 1 ? argv[1] : "Mozilla/5.0 (Windows NT 6.1; rv:52.0) Gecko/20100101 Firefox/52.0";
    strevo_test::reset();
    strevo_test::command("interval 0");
    TestBrowser::Config config;
    config.userAgent = userAgent;
    TestBrowser::Browser browser(config);
    std::printf("browser: table version %u, user agent \"%s\"\n", config.version, userAgent);
    if (!browser.loadPlugin(L"npparvelplugin.dll")) {
        std::printf("browser: npparvelplugin.dll did not load\n");
        return 1;
    }
    TestBrowser::Page& page = browser.page();
    size_t shown = 0;
    page.run(L"function pluginLoaded(p) { console.log('page: onload with the plug-in, version ' + p.version); }"
             L"function note(name) { return function (r) { console.log('page: ' + name + ' callback gets ' + r); }; }"
             L"function call(text) { console.log('script: ' + text + ' returns ' + eval(text)); }");
    if (!browser.createInstance("plugin", "application/x-parvelplugin", {{"onload", "pluginLoaded"}})) {
        std::printf("browser: NPP_New refused the instance\n");
        return 1;
    }
    std::printf("browser: <embed type=\"application/x-parvelplugin\" onload=\"pluginLoaded\"> created\n");
    browser.pumpUntil([&] { return !page.consoleLines().empty(); });
    showConsole(page, shown);
    const wchar_t* steps[] = {
        L"call(\"plugin.ISready(note('ISready'))\")",
        L"call(\"plugin.SetVolCb(note('volume'))\")",
        L"call(\"plugin.sendvideoX('Microphone', 'rtmp://127.0.0.1/live/demo', '640x480', '5', note('sendvideoX'))\")",
        L"call(\"plugin.Cap('Integrated Camera', note('Cap'))\")",
        L"call(\"plugin.sendvideoX('Microphone', 'rtmp://127.0.0.1/live/demo', '640x480', '5', note('sendvideoX'))\")",
        L"'engine reports'",
        L"call(\"plugin.dostop(0)\")",
        L"call(\"plugin.CapStop(note('CapStop'))\")",
    };
    for (const wchar_t* step : steps) {
        if (std::wstring(step) == L"'engine reports'") {
            std::printf("engine: reports the microphone level 12, 48, 31 from its own thread\n");
            for (const char* level : {"12", "48", "31"}) strevo_test::command(std::string("report ") + level);
        } else {
            page.run(step);
        }
        showConsole(page, shown);
        size_t before = page.consoleLines().size();
        browser.pumpUntil([&] { return false; }, 100);  // let the page's timers fire
        if (page.consoleLines().size() == before) continue;
        showConsole(page, shown);
    }
    NPError shutdown = browser.shutdownPlugin();
    std::printf("browser: NP_Shutdown answers %d; %zu objects alive, %zu MemAlloc blocks held, %zu problems\n",
        shutdown, browser.liveObjects(), browser.outstandingAllocations(), browser.problems().size());
    for (const auto& problem : browser.problems()) std::printf("  problem: %s\n", problem.c_str());
    return browser.problems().empty() ? 0 : 1;
}
