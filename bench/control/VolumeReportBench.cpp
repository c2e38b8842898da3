// Volume reports per second through Plexhost, beside plain calls through a
// proxy of the same page function.
//
//   plexhost_volume_bench [reports] [runs]
//
// The test browser's JScript page creates Plexhost.FlashX and hands it a function
// that counts the reports and checks that each level is the one after the last.
// The stand-in engine then reports 0, 1, 2, ... from its own thread as fast as
// they are taken; the page's thread pumps messages like a browser's. The anchor
// is the floor of any cross-apartment report: a thread of the multithreaded
// apartment calling the same page function through a proxy, unmarshalled once.
// The figures are reported, never asserted.
#include "MessagePump.h"
#include "ModuleExport.h"
#include "ScriptPage.h"
#include "StrevoControl.h"
#include "TestBrowser.h"
#include "VolumeReportCount.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using volume_bench::now;
using volume_bench::pageNumber;
using volume_bench::print;
using volume_bench::Result;

const wchar_t* const kPage = L"var x = new ActiveXObject('Plexhost.FlashX');"
                             L"x.SetVolCb(count);";

// Pumps this (the page's) thread until `expected` reports arrived or none came
// for two seconds.
Result collect(TestBrowser::Page& page, long expected, double started)
{
    volume_bench::Progress progress(page, expected);
    for (;;) {
        test_support::dispatchWaitingMessages();
        if (progress.finished()) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    // Anything past the count would be a report delivered twice.
    DWORD settle = GetTickCount() + 200;
    while (GetTickCount() < settle) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(5);
    }
    return Result{pageNumber(page, L"got"), pageNumber(page, L"misordered"), progress.end() - started};
}

// The anchor: reports sent by a thread of the multithreaded apartment through a
// proxy of the page function, unmarshalled once.
Result throughProxy(TestBrowser::Page& page, long reports)
{
    VARIANT function;
    VariantInit(&function);
    if (!page.evaluate(L"count", &function) || function.vt != VT_DISPATCH) return Result{0, 0, 0};
    IStream* stream = nullptr;
    HRESULT marshalled = CoMarshalInterThreadInterfaceInStream(IID_IDispatch, function.pdispVal, &stream);
    VariantClear(&function);
    if (FAILED(marshalled)) return Result{0, 0, 0};
    double started = now();
    std::thread sender([stream, reports] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IDispatch* proxy = nullptr;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, reinterpret_cast<void**>(&proxy)))) {
            for (long level = 0; level < reports; ++level) {
                VARIANT argument;
                VariantInit(&argument);
                argument.vt = VT_I4;
                argument.lVal = level;
                DISPPARAMS params = {&argument, nullptr, 1, 0};
                proxy->Invoke(DISPID_VALUE, IID_NULL, 0x400, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
            }
            proxy->Release();
        }
        CoUninitialize();
    });
    Result result = collect(page, reports, started);
    sender.join();
    return result;
}

Result throughPlexhost(TestBrowser::Page& page, long reports)
{
    double started = now();
    strevo_test::command("burst " + std::to_string(reports));
    return collect(page, reports, started);
}

using Entry = HRESULT(WINAPI*)();

}  // namespace

int main(int argc, char** argv)
{
    const auto [reports, runs] = volume_bench::arguments(argc, argv);
    HMODULE plexhost = LoadLibraryW(L"Plexhost.dll");
    if (!plexhost || moduleExport<Entry>(plexhost, "DllRegisterServer")() != S_OK) {
        std::fprintf(stderr, "plexhost_volume_bench: Plexhost.dll does not register\n");
        return 1;
    }
    int code = 0;
    std::vector<double> ratios;
    {
        strevo_test::reset();
        strevo_test::command("interval 0");
        TestBrowser::Config config;
        config.logCalls = false;
        TestBrowser::Browser browser(config);
        TestBrowser::Page& page = browser.page();
        if (!page.run(volume_bench::kCounterScript) || !page.run(kPage)) {
            std::fprintf(stderr, "plexhost_volume_bench: the page did not start\n");
            code = 1;
        }
        for (int run = 0; run < runs && code == 0; ++run) {
            page.run(L"reset();");
            Result anchor = throughProxy(page, reports);
            page.run(L"reset();");
            Result plexhost = throughPlexhost(page, reports);
            std::printf("run %d\n", run + 1);
            print("  page function through a proxy (anchor)", reports, anchor);
            print("  Plexhost volume reports", reports, plexhost);
            if (anchor.seconds > 0 && plexhost.seconds > 0) {
                const double ratio = volume_bench::perSecond(plexhost) / volume_bench::perSecond(anchor);
                std::printf("  Plexhost at %.0f%% of the proxy floor\n", 100.0 * ratio);
                ratios.push_back(ratio);
            }
            if (plexhost.arrived != reports || plexhost.misordered != 0) code = 2;
        }
        page.run(L"x = null; CollectGarbage();");
    }
    moduleExport<Entry>(plexhost, "DllUnregisterServer")();
    FreeLibrary(plexhost);
    volume_bench::printRatio("plexhost-volume", "Plexhost reports per second / page function through a proxy", ratios);
    return code;
}
