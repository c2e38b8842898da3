// Skin building benchmark: a skin of N named labels in one vertical layout,
// built by the skin builder, attached to a window manager (which maps every
// name) and every control then found by its name, beside the same at N / 4.
// Each size runs ROUNDS times (default 3) and the medians are compared per
// control: a name map whose lookups grow with the count shows as a ratio far
// above 1. No window is needed. Usage: uilib_skin_bench [N [ROUNDS]]
#include "SkinBuilder.h"
#include "BenchSupport.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

using benchui::medianOf;
using benchui::secondsOf;

struct Round {
    double build = 0, find = 0;
};

Round buildOnce(int count)
{
    std::wstring skin = L"<Window><VerticalLayout>";
    for (int i = 0; i < count; ++i) skin += L"<Label name=\"n" + std::to_wstring(i) + L"\"/>";
    skin += L"</VerticalLayout></Window>";
    Round round;
    CWindowManagerUI manager;
    round.build = secondsOf([&] {
        CSkinBuilder builder;
        manager.AttachDialog(builder.Create(skin.c_str(), nullptr, nullptr, &manager));
    });
    int found = 0;
    round.find = secondsOf([&] {
        for (int i = 0; i < count; ++i)
            found += manager.FindControlByName((L"n" + std::to_wstring(i)).c_str()) != nullptr;
    });
    if (found != count) wprintf(L"only %d of %d names found\n", found, count);
    return round;
}

int run(int argc, wchar_t** argv)
{
    int count = argc > 1 ? _wtoi(argv[1]) : 100000;
    int rounds = argc > 2 ? _wtoi(argv[2]) : 3;
    if (count < 4 || rounds < 1) return 2;
    std::vector<Round> small, large;
    for (int i = 0; i < rounds; ++i) {
        small.push_back(buildOnce(count / 4));
        large.push_back(buildOnce(count));
    }
    double smallBuild = medianOf(small, &Round::build), largeBuild = medianOf(large, &Round::build);
    double smallFind = medianOf(small, &Round::find), largeFind = medianOf(large, &Round::find);
    wprintf(L"%-34ls %12ls %12ls\n", L"", L"N / 4", L"N");
    wprintf(L"%-34ls %12d %12d\n", L"named labels", count / 4, count);
    wprintf(L"%-34ls %9.3f ms %9.3f ms\n", L"built and attached", smallBuild * 1000, largeBuild * 1000);
    wprintf(L"%-34ls %9.3f ms %9.3f ms\n", L"every name found", smallFind * 1000, largeFind * 1000);
    // Per control, the large skin beside the small one: 1 when the cost is linear.
    wprintf(L"ratio skin-build: %.2f (per control at N / per control at N/4)\n", largeBuild / (4 * smallBuild));
    wprintf(L"ratio skin-names: %.2f (per lookup at N / per lookup at N/4)\n", largeFind / (4 * smallFind));
    fflush(stdout);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    return benchui::guardedMain(run, argc, argv);
}
