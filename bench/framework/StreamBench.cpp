// Benchmark (reported, not asserted): whole downloads into the whole-download
// helper on one road, beside that road's anchor in the same process, in
// alternating rounds.
//
//   stream_bench npapi URL     the NPAPI road in the test browser, beside the
//                              test browser's own WinINet download of the URL
//   stream_bench activex URL   the URL-moniker road, beside a bare URL-moniker
//                              pull loop that reads and drops the bytes, and
//                              the same loop keeping them as the helper must
//                              (copied into fresh blocks of the default buffer
//                              size, joined into one array at the end): the
//                              floor of any whole download through the helper
//
// Prints one line per round, "round=<i> road=<road> ... seconds=<s>
// anchor_seconds=<s> [floor_seconds=<s>] peak_bytes=<n>": peak_bytes is how
// far the program's allocations rose at most during the road's download (the
// helper's blocks plus its final array, and the road's own buffers).
#include "BrowserHost.h"
#include "BrowserStreamRequest.h"
#include "CountedUnknown.h"
#include "MonikerTestHost.h"
#include "SimpleStreamHelper.h"
#include "StreamTestFactory.h"
#include "TestBrowser.h"
#include "BrowserStreams.h"
#include "ComPtr.h"
#include "utf8_tools.h"

#include <windows.h>
#include <objbase.h>
#include <urlmon.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The program's own allocations are counted (Wine's process memory counters
// miss heap growth): live bytes, and the highest count since the last reset.
namespace allocations {
std::atomic<size_t> live{0};
std::atomic<size_t> peak{0};

void* take(size_t size)
{
    auto* block = static_cast<size_t*>(std::malloc(size + 16));
    if (!block) throw std::bad_alloc();
    *block = size;
    const size_t now = live += size;
    size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {}
    return reinterpret_cast<char*>(block) + 16;
}

void give(void* pointer) noexcept
{
    if (!pointer) return;
    auto* block = reinterpret_cast<size_t*>(static_cast<char*>(pointer) - 16);
    live -= *block;
    std::free(block);
}

void resetPeak()
{
    peak = live.load();
}
}  // namespace allocations

void* operator new(size_t size)
{
    return allocations::take(size);
}
void* operator new[](size_t size)
{
    return allocations::take(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocations::take(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocations::take(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* pointer) noexcept
{
    allocations::give(pointer);
}
void operator delete[](void* pointer) noexcept
{
    allocations::give(pointer);
}
void operator delete(void* pointer, size_t) noexcept
{
    allocations::give(pointer);
}
void operator delete[](void* pointer, size_t) noexcept
{
    allocations::give(pointer);
}

namespace {

using Clock = std::chrono::steady_clock;

struct Timed {
    bool success = false;
    size_t bytes = 0;
    double seconds = 0;
    size_t peakRise = 0;
};

// The road: one whole download through the helper; pump runs the road's main thread.
Timed throughHelper(const std::shared_ptr<FB::BrowserHost>& host, const std::string& url,
    const std::function<bool(const std::function<bool()>&)>& pump)
{
    Timed timed;
    bool done = false;
    const size_t liveBefore = allocations::live.load();
    allocations::resetPeak();
    FB::BrowserStreamRequest request(url, "GET");
    request.setCallback([&](bool success, const FB::HeaderMap&, const FB::StreamData&, size_t size) {
        timed.success = success;
        timed.bytes = size;
        done = true;
    });
    const auto start = Clock::now();
    std::shared_ptr<FB::SimpleStreamHelper> helper = FB::SimpleStreamHelper::asyncRequest(host, request);
    if (helper) pump([&] { return done; });
    timed.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    helper.reset();
    timed.peakRise = allocations::peak.load() - liveBefore;
    return timed;
}

// The URL-moniker anchor: a bare pull loop that counts and drops the bytes, or
// (keeping) copies each read into blocks and joins them when the binding ends.
class PullLoop : public CountedUnknown<IBindStatusCallback> {
public:
    explicit PullLoop(bool keeping) : CountedUnknown(1), keeping(keeping) {}
    size_t bytes = 0;
    bool done = false;
    bool success = false;

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR) override
    {
        stream.Reset();
        success = SUCCEEDED(result);
        if (keeping) join();
        done = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override
    {
        *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE;
        const DWORD size = info->cbSize;
        std::memset(info, 0, size);
        info->cbSize = size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override
    {
        if (!stream && medium && medium->tymed == TYMED_ISTREAM) stream = medium->pstm;
        if (!stream) return S_OK;
        for (;;) {
            ULONG got = 0;
            HRESULT read = stream->Read(buffer, sizeof buffer, &got);
            if (keeping) keep(got);
            bytes += got;
            if (read != S_OK || got == 0) break;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

private:
    static constexpr size_t kBlockSize = FB::BrowserStreamRequest::kDefaultBufferSize;

    void* interfaceFor(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IBindStatusCallback ? static_cast<IBindStatusCallback*>(this)
                                                                     : nullptr;
    }

    void keep(size_t count)
    {
        for (size_t at = 0; at < count;) {
            const size_t inBlock = (bytes + at) % kBlockSize;
            if (inBlock == 0) blocks.push_back(std::make_unique_for_overwrite<uint8_t[]>(kBlockSize));
            const size_t piece = std::min(count - at, kBlockSize - inBlock);
            std::memcpy(blocks.back().get() + inBlock, buffer + at, piece);
            at += piece;
        }
    }

    void join()
    {
        auto joined = std::make_shared_for_overwrite<uint8_t[]>(bytes);
        for (size_t i = 0; i < blocks.size(); ++i)
            std::memcpy(joined.get() + i * kBlockSize, blocks[i].get(), std::min(kBlockSize, bytes - i * kBlockSize));
        blocks.clear();
    }

    const bool keeping;
    Com::ComPtr<IStream> stream;
    std::vector<std::unique_ptr<uint8_t[]>> blocks;
    char buffer[kBlockSize];
};

Timed pullLoop(const std::string& url, MonikerTestHost& host, bool keeping)
{
    Timed timed;
    auto loop = Com::ComPtr<PullLoop>::Adopt(new PullLoop(keeping));
    const std::wstring wide = FB::utf8ToWide(url);
    const auto start = Clock::now();
    Com::ComPtr<IMoniker> moniker;
    Com::ComPtr<IBindCtx> context;
    Com::ComPtr<IStream> unused;
    if (SUCCEEDED(CreateURLMonikerEx(nullptr, wide.c_str(), moniker.Put(), URL_MK_UNIFORM)) &&
        SUCCEEDED(CreateAsyncBindCtx(0, loop.Get(), nullptr, context.Put())) &&
        SUCCEEDED(moniker->BindToStorage(context.Get(), nullptr, IID_IStream, unused.PutVoid())))
        host.pumpUntil([&] { return loop->done; }, 600000);
    timed.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    timed.success = loop->success;
    timed.bytes = loop->bytes;
    context.Reset();
    moniker.Reset();
    host.pumpUntil([] { return false; }, 100);
    return timed;
}

// Rounds alternate the road and its anchors, so that each round's figures
// share the machine's load of the moment.
constexpr int kRounds = 9;

// One line per round; false when a download of the round failed.
bool reportRound(const char* road, int round, const Timed& measured, const Timed& anchor, const Timed* floor = nullptr)
{
    std::printf("round=%d road=%s success=%d bytes=%zu seconds=%.4f anchor_success=%d anchor_bytes=%zu "
                "anchor_seconds=%.4f ",
        round, road, measured.success, measured.bytes, measured.seconds, anchor.success, anchor.bytes, anchor.seconds);
    if (floor)
        std::printf(
            "floor_success=%d floor_bytes=%zu floor_seconds=%.4f ", floor->success, floor->bytes, floor->seconds);
    std::printf("peak_bytes=%zu\n", measured.peakRise);
    std::fflush(stdout);
    return measured.success && anchor.success && (!floor || floor->success);
}

int npapiRoad(const std::string& url)
{
    TestBrowser::Config config;
    config.logCalls = false;
    TestBrowser::Browser browser(config);
    if (!browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown)) return 2;
    if (!browser.createInstance("plugin", "application/x-stagecast-streams", {})) return 2;
    std::shared_ptr<FB::BrowserHost> host = streamTestControl.lastCore.lock()->getHost();
    bool allWell = true;
    for (int round = 0; round < kRounds; ++round) {
        const Timed road = throughHelper(
            host, url, [&](const std::function<bool()>& done) { return browser.pumpUntil(done, 600000); });
        Timed direct;
        const auto start = Clock::now();
        std::optional<std::string> body = browser.streams().fetchDirect(url, 600000);
        direct.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        direct.success = body.has_value();
        direct.bytes = body ? body->size() : 0;
        allWell = reportRound("npapi", round, road, direct) && allWell;
    }
    host.reset();
    browser.shutdownPlugin();
    return allWell ? 0 : 1;
}

int monikerRoad(const std::string& url)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    bool allWell = true;
    {
        auto host = std::make_shared<MonikerTestHost>();
        for (int round = 0; round < kRounds; ++round) {
            const Timed road = throughHelper(
                host, url, [&](const std::function<bool()>& done) { return host->pumpUntil(done, 600000); });
            const Timed anchor = pullLoop(url, *host, false);
            const Timed floor = pullLoop(url, *host, true);
            allWell = reportRound("activex", round, road, anchor, &floor) && allWell;
        }
        host->shutDownHost();
    }
    CoUninitialize();
    return allWell ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: stream_bench npapi|activex URL\n");
        return 2;
    }
    const std::string road = argv[1];
    if (road == "npapi") return npapiRoad(argv[2]);
    if (road == "activex") return monikerRoad(argv[2]);
    std::fprintf(stderr, "usage: stream_bench npapi|activex URL\n");
    return 2;
}
