// The page side of the volume-report benchmarks: a page function that counts
// the reports and checks that each level is the one after the last, and the
// figures of one measured road.
//
//   page.run(volume_bench::kCounterScript);   // count(v), got, misordered
//   ... the engine reports 0, 1, 2, ... to count ...
//   volume_bench::Result r{volume_bench::pageNumber(page, L"got"), ...};
//   volume_bench::print("  some road", reports, r);
#pragma once

#include "ScriptPage.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace volume_bench {

inline const wchar_t* const kCounterScript = L"var got = 0, misordered = 0, next = 0;"
                                             L"function count(v) { if (v !== next) misordered++; next = v + 1; got++; }"
                                             L"function reset() { got = 0; misordered = 0; next = 0; }";

// Seconds on the performance counter.
inline double now()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// A page global read as a number.
inline long pageNumber(TestBrowser::Page& page, const wchar_t* name)
{
    return std::wcstol(page.text(name).c_str(), nullptr, 10);
}

// Watches the page's count while reports come in: finished once the expected
// count arrived, or once none came for two seconds (then at the last arrival).
// The count is read every 10 ms at most, so reading it costs the reports next
// to nothing.
class Progress {
public:
    Progress(TestBrowser::Page& page, long expected) : page_(page), expected_(expected), last_(now()) {}

    bool finished()
    {
        const double t = now();
        if (t - checked_ < 0.01) return false;
        checked_ = t;
        const long count = pageNumber(page_, L"got");
        if (count != arrived_) {
            arrived_ = count;
            last_ = t;
        }
        if (arrived_ < expected_ && t - last_ <= 2.0) return false;
        end_ = arrived_ >= expected_ ? t : last_;
        return true;
    }
    double end() const { return end_; }

private:
    TestBrowser::Page& page_;
    long expected_;
    long arrived_ = 0;
    double last_;
    double checked_ = 0;
    double end_ = 0;
};

// [reports] [runs] from the command line: 10000 reports, 3 runs unless given.
struct Arguments {
    long reports = 10000;
    int runs = 3;
};

inline Arguments arguments(int argc, char** argv)
{
    Arguments given;
    if (argc > 1 && std::atol(argv[1]) > 0) given.reports = std::atol(argv[1]);
    if (argc > 2 && std::atoi(argv[2]) > 0) given.runs = std::atoi(argv[2]);
    return given;
}

struct Result {
    long arrived = 0;
    long misordered = 0;
    double seconds = 0;
};

inline double perSecond(const Result& r)
{
    return r.seconds > 0 ? r.arrived / r.seconds : 0.0;
}

inline void print(const char* road, long reports, const Result& r)
{
    std::printf("%-40s %6ld reports in %7.1f ms: %6.0f reports/s, lost %ld, misordered %ld\n", road, reports,
        r.seconds * 1000, perSecond(r), reports - r.arrived, r.misordered);
}

// The middle of the runs' ratios (0 without runs).
inline double median(std::vector<double> ratios)
{
    if (ratios.empty()) return 0;
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

// The closing line the bench script reads: "ratio <name>: <median> (<what>, median of <n> runs)".
inline void printRatio(const char* name, const char* what, const std::vector<double>& ratios)
{
    std::printf("ratio %s: %.2f (%s, median of %zu runs)\n", name, median(ratios), what, ratios.size());
}

}  // namespace volume_bench
