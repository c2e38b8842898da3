// Benchmark: the library's whole cost per frame is the copy of one sample into
// "VC_SHARE" (CCaptureDump::DoRenderSample). This times it with a real media
// sample at 1280×720 RGB24 beside a plain memcpy of the same bytes into process
// memory, and once more for a width whose rows are padded (copied row by row).
// Usage: camtap_bench [frames]
#include "Camtap.h"
#include "CaptureDump.h"
#include "FrameCopy.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Com::ComPtr;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Result {
    double copyMicros;
    double memcpyMicros;
};

bool Measure(int width, int height, int frames, Result& result)
{
    const long sampleBytes = static_cast<long>(Rgb24Stride(width) * static_cast<uint64_t>(height));
    ComPtr<IMemAllocator> allocator;
    if (FAILED(CoCreateInstance(
            CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator, allocator.PutVoid())))
        return false;
    ALLOCATOR_PROPERTIES wanted{1, sampleBytes, 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    if (FAILED(allocator->SetProperties(&wanted, &actual)) || FAILED(allocator->Commit())) return false;
    ComPtr<IMediaSample> sample;
    if (FAILED(allocator->GetBuffer(sample.Put(), nullptr, nullptr, 0))) return false;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    for (long i = 0; i < sampleBytes; ++i) data[i] = static_cast<BYTE>(i * 31);
    sample->SetActualDataLength(sampleBytes);

    CCamtap owner;
    if (!owner.Frame().Open(width, height)) return false;
    auto dump = ComPtr<CCaptureDump>::Adopt(new CCaptureDump(&owner, width, height));
    const size_t frameBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    std::vector<BYTE> plain(frameBytes);

    // One round each first, so that every page is touched before timing.
    dump->DoRenderSample(sample.Get());
    std::memcpy(plain.data(), data, frameBytes);

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < frames; ++i) dump->DoRenderSample(sample.Get());
    QueryPerformanceCounter(&end);
    result.copyMicros = Seconds(start, end) * 1e6 / frames;

    volatile BYTE sink = 0;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < frames; ++i) {
        std::memcpy(plain.data(), data, frameBytes);
        sink = sink + plain[static_cast<size_t>(i) % frameBytes];
    }
    QueryPerformanceCounter(&end);
    result.memcpyMicros = Seconds(start, end) * 1e6 / frames;

    dump->DetachOwner();
    dump.Reset();
    sample.Reset();
    allocator->Decommit();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        int frames = argc > 1 ? std::atoi(argv[1]) : 500;
        if (frames <= 0) frames = 500;
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        struct Size {
            int width, height;
            const char* what;
            const char* ratioName;
        } sizes[] = {{1280, 720, "1280x720 (rows unpadded)", "camtap-copy"},
            {1282, 720, "1282x720 (rows padded, repacked)", "camtap-copy-padded"}};
        std::string ratios;
        std::printf("frame copy into VC_SHARE vs memcpy of the same bytes, %d frames each\n", frames);
        int failed = 0;
        for (const Size& size : sizes) {
            Result result{};
            if (!Measure(size.width, size.height, frames, result)) {
                std::printf("%-34s could not be measured\n", size.what);
                failed = 1;
                continue;
            }
            std::printf("%-34s copy %8.1f us/frame   memcpy %8.1f us/frame   ratio %.2f\n", size.what,
                result.copyMicros, result.memcpyMicros, result.copyMicros / result.memcpyMicros);
            char line[160];
            std::snprintf(line, sizeof line, "ratio %s: %.2f (frame copy into VC_SHARE / memcpy, %s)\n", size.ratioName,
                result.copyMicros / result.memcpyMicros, size.what);
            ratios += line;
        }
        std::fputs(ratios.c_str(), stdout);
        CoUninitialize();
        return failed;
    } catch (...) {
        std::printf("benchmark failed\n");
        return 1;
    }
}
