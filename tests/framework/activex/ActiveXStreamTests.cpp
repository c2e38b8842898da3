// URL-moniker streams under Wine against a real HTTP server on 127.0.0.1
// (TEST_HTTP_SERVER, started by the test's runner): whole downloads, failures,
// POST, byte ranges, closing, and the objects each download leaves (none).
// Beside them, the callback's own answers and the byte-range reader.
#include "ActiveXBindStatusCallback.h"
#include "ActiveXStream.h"
#include "ActiveXStreamRequest.h"
#include "ActiveXTestSupport.h"
#include "BrowserStreamRequest.h"
#include "ByteRangeResponse.h"
#include "IdleTimer.h"
#include "MonikerTestHost.h"
#include "PluginEvents.h"
#include "SimpleStreamHelper.h"
#include "StreamTestKit.h"
#include "utf8_tools.h"

#include <windows.h>
#include <wininet.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

using FB::ActiveX::ActiveXBindStatusCallback;
using FB::ActiveX::ActiveXStream;
using FB::ActiveX::ActiveXStreamRequest;
using streamtest::EventLog;
using streamtest::parseServerLog;
using streamtest::pattern;
using streamtest::serverBase;
using streamtest::ServerRequest;
using ::testing::ElementsAre;

namespace {

// The plain WinINet download of a URL (the test's own view of the server).
std::string fetch(const std::string& url)
{
    std::string body;
    HINTERNET session = InternetOpenW(L"tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET request = InternetOpenUrlW(
        session, FB::utf8ToWide(url).c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    char buffer[8192];
    DWORD got = 0;
    while (request && InternetReadFile(request, buffer, sizeof buffer, &got) && got) body.append(buffer, got);
    if (request) InternetCloseHandle(request);
    InternetCloseHandle(session);
    return body;
}

class UrlMonikerStreams : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = serverBase();
        ASSERT_FALSE(server.empty()) << "TEST_HTTP_SERVER is not set: run through tests/support/http_server.py";
        fetch(server + "/_reset");
    }
    void TearDown() override
    {
        host->shutDownHost();
        // Every object of every download is gone once the downloads ended.
        EXPECT_TRUE(pumpUntil(
            [] {
                return ActiveXBindStatusCallback::liveCount() == 0 && ActiveXStreamRequest::liveCount() == 0 &&
                    ActiveXStream::liveCount() == 0;
            },
            5000))
            << ActiveXBindStatusCallback::liveCount() << " callbacks, " << ActiveXStreamRequest::liveCount()
            << " requests, " << ActiveXStream::liveCount() << " streams left";
        host.reset();
    }

    bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000)
    {
        return host->pumpUntil(done, timeoutMs);
    }

    std::string url(const std::string& path) const { return server + path; }
    std::vector<ServerRequest> serverLog() const { return parseServerLog(fetch(server + "/_log?format=text")); }

    // Opens a stream for the request with `log` attached.
    std::shared_ptr<FB::BrowserStream> open(FB::BrowserStreamRequest request, const std::shared_ptr<EventLog>& log)
    {
        request.setEventHandler(log);
        return host->openStreamForRequest(request, false);
    }

    std::string server;
    std::shared_ptr<MonikerTestHost> host = std::make_shared<MonikerTestHost>();
};

// ---- whole downloads --------------------------------------------------------------------------------

TEST_F(UrlMonikerStreams, AWholeDownloadArrivesByteIdenticalFastOrSlow)
{
    struct Case {
        const char* name;
        const char* path;
        uint32_t seed;
    };
    const Case cases[] = {
        {"fast", "/data/300000?seed=4", 4},
        {"slow", "/data/300000?seed=5&chunk=10000&delay=0.003", 5},  // reads answer E_PENDING with bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int calls = 0;
        bool success = false;
        std::vector<uint8_t> bytes;
        FB::BrowserStreamRequest request(url(c.path), "GET");
        request.setCallback([&](bool ok, const FB::HeaderMap&, const FB::StreamData& data, size_t size) {
            ++calls;
            success = ok;
            if (data) bytes.assign(data.get(), data.get() + size);
        });
        auto log = std::make_shared<EventLog>();
        request.setEventHandler(log);
        ASSERT_NE(FB::SimpleStreamHelper::asyncRequest(host, request), nullptr);
        ASSERT_TRUE(pumpUntil([&] { return calls > 0; }));
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(success);
        EXPECT_EQ(bytes.size(), 300000u);
        EXPECT_TRUE(bytes == pattern(300000, c.seed));
        // The helper let go of the stream after its callback.
        EXPECT_THAT(log->names, ElementsAre("Created", "Opened", "Data", "Completed(true)", "Destroyed"));
        EXPECT_LE(log->maxProgress(), 100.0f);
    }
}

TEST_F(UrlMonikerStreams, ARefusedAnswerFailsToOpenWithNoDataAndOneRequest)
{
    auto log = std::make_shared<EventLog>();
    std::weak_ptr<FB::BrowserStream> stream = open(FB::BrowserStreamRequest(url("/status/404"), "GET"), log);
    ASSERT_TRUE(pumpUntil([&] { return log->completed(); }));
    pumpUntil([] { return false; }, 200);  // nothing more comes
    EXPECT_THAT(log->names, ElementsAre("Created", "FailedOpen", "Completed(false)", "Destroyed"));
    EXPECT_EQ(log->received, 0u);
    std::vector<ServerRequest> requests = serverLog();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/status/404");
}

// A download that never hears an answer fails to open once; one whose bind
// fails at once never started, and its stream is not announced as created.
TEST_F(UrlMonikerStreams, ABindingWithoutAnyAnswerFailsToOpenOnce)
{
    struct Case {
        const char* name;
        std::string url;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"connection refused", "http://127.0.0.1:1/x", {"Created", "FailedOpen", "Completed(false)"}},
        {"bad URL (the bind fails)", "bogus:zz", {"FailedOpen", "Completed(false)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto log = std::make_shared<EventLog>();
        auto stream = open(FB::BrowserStreamRequest(c.url, "GET"), log);
        ASSERT_NE(stream, nullptr);
        ASSERT_TRUE(pumpUntil([&] { return log->completed(); }));
        pumpUntil([] { return false; }, 100);
        EXPECT_EQ(log->names, c.events);
    }
}

TEST_F(UrlMonikerStreams, ADownloadThatHearsNothingForTheIdleLimitFailsAndLeavesNothing)
{
    ActiveXStream::setIdleLimit(1000);
    struct Case {
        const char* name;
        const char* path;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"no answer", "/never", {"Created", "FailedOpen", "Completed(false)", "Destroyed"}},
        // 3000 of 9000 bytes, then nothing for longer than the limit.
        {"the body stops", "/data/9000?chunk=3000&delay=5",
            {"Created", "Opened", "Data", "Completed(false)", "Destroyed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto log = std::make_shared<EventLog>();
        std::weak_ptr<FB::BrowserStream> stream = open(FB::BrowserStreamRequest(url(c.path), "GET"), log);
        const ULONGLONG started = GetTickCount64();
        ASSERT_TRUE(pumpUntil([&] { return log->completed(); }, 10000));
        EXPECT_LT(GetTickCount64() - started, 4000u);
        EXPECT_TRUE(pumpUntil([&] { return stream.expired(); }, 2000));
        EXPECT_EQ(log->names, c.events);
    }
    EXPECT_EQ(FB::ActiveX::IdleTimer::runningCount(), 0u);
    ActiveXStream::setIdleLimit(0);
}

TEST_F(UrlMonikerStreams, AFileUrlCompletesInsideTheStartInEventOrder)
{
    wchar_t folder[MAX_PATH], name[MAX_PATH];
    ASSERT_TRUE(GetTempPathW(MAX_PATH, folder) && GetTempFileNameW(folder, L"axs", 0, name));
    const std::vector<uint8_t> content = pattern(5000, 8);
    FILE* out = _wfopen(name, L"wb");
    std::fwrite(content.data(), 1, content.size(), out);
    std::fclose(out);
    std::wstring path = name;
    std::replace(path.begin(), path.end(), L'\\', L'/');
    auto log = std::make_shared<EventLog>();
    auto stream = open(FB::BrowserStreamRequest("file:///" + FB::wideToUtf8(path), "GET"), log);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return log->completed(); }));
    EXPECT_THAT(log->names, ElementsAre("Created", "Opened", "Data", "Completed(true)"));
    EXPECT_TRUE(log->joined() == content);
    DeleteFileW(name);
}

TEST_F(UrlMonikerStreams, APostSendsItsBodyAsAForm)
{
    auto log = std::make_shared<EventLog>();
    auto stream = host->requestPostStream(url("/echo"), log, "a=1&b=2", false, false, 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return log->completed(); }));
    EXPECT_THAT(log->names, ElementsAre("Created", "Opened", "Data", "Completed(true)"));
    const std::vector<uint8_t> echoed = log->joined();
    EXPECT_EQ(std::string(echoed.begin(), echoed.end()), "a=1&b=2");
    std::vector<ServerRequest> requests = serverLog();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "a=1&b=2");
    EXPECT_EQ(requests[0].headers["content-type"], "application/x-www-form-urlencoded");
}

// ---- byte ranges -----------------------------------------------------------------------------------

TEST_F(UrlMonikerStreams, RangesArriveAtTheirOffsets)
{
    struct Case {
        const char* name;
        std::vector<FB::BrowserStream::Range> ranges;
        const char* header;  // what the server saw
    };
    const Case cases[] = {
        {"one range (206)", {{200, 300}}, "bytes=200-299"},
        {"two ranges (multipart)", {{0, 100}, {200, 300}}, "bytes=0-99,200-299"},
    };
    const std::vector<uint8_t> whole = pattern(1000, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fetch(server + "/_reset");
        auto log = std::make_shared<EventLog>();
        auto stream = host->requestStream(url("/data/1000?seed=2"), log, false, true, 0);
        ASSERT_NE(stream, nullptr);
        ASSERT_TRUE(pumpUntil([&] { return stream->isOpen(); }));
        EXPECT_TRUE(stream->isSeekable());
        EXPECT_EQ(stream->getLength(), 1000u);
        ASSERT_TRUE(stream->readRanges(c.ranges));
        size_t wanted = 0;
        for (const auto& range : c.ranges) wanted += range.end - range.start;
        ASSERT_TRUE(pumpUntil([&] { return log->received == wanted; }));
        for (const auto& range : c.ranges) {
            ASSERT_EQ(log->chunks.count(range.start), 1u);
            EXPECT_TRUE(log->chunks[range.start] ==
                std::vector<uint8_t>(whole.begin() + range.start, whole.begin() + range.end));
        }
        EXPECT_LE(log->maxProgress(), 100.0f);
        EXPECT_FALSE(log->completed());  // open for more reads
        std::vector<std::string> seen;
        for (ServerRequest& request : serverLog())
            if (request.headers.count("range")) seen.push_back(request.headers["range"]);
        EXPECT_THAT(seen, ElementsAre(c.header));
        EXPECT_TRUE(stream->close());
        EXPECT_THAT(log->names, ElementsAre("Created", "Opened", "Data", "Completed(true)"));
    }
}

// The first download of a seekable stream is not cut off at its headers: it
// runs to its end unreported, and the stream stays open for range reads.
TEST_F(UrlMonikerStreams, ASeekableStreamsFirstDownloadRunsOnUnreported)
{
    auto log = std::make_shared<EventLog>();
    auto stream = host->requestStream(url("/data/300000?seed=6&chunk=10000&delay=0.003"), log, false, true, 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return stream->isOpen(); }));
    std::vector<ServerRequest> requests;
    ASSERT_TRUE(pumpUntil([&] {
        requests = serverLog();
        return requests.size() == 1 && requests[0].ended;
    })) << "the download never ended";
    EXPECT_FALSE(requests[0].aborted) << "the download was cut off";
    ASSERT_TRUE(pumpUntil([] { return ActiveXStreamRequest::liveCount() == 0; })) << "the download never ended";
    EXPECT_EQ(log->received, 0u);
    EXPECT_THAT(log->names, ElementsAre("Created", "Opened"));
    ASSERT_TRUE(stream->readRange(100, 110));
    ASSERT_TRUE(pumpUntil([&] { return log->received == 10; }));
    const std::vector<uint8_t> start = pattern(110, 6);
    EXPECT_TRUE(log->chunks[100] == std::vector<uint8_t>(start.begin() + 100, start.end()));
    EXPECT_TRUE(stream->close());
}

TEST_F(UrlMonikerStreams, RangesAreRefusedWithoutTheServersOfferOrWhenEmptyOrInverted)
{
    auto log = std::make_shared<EventLog>();
    auto plain = host->requestStream(url("/data/1000?ranges=0"), log, false, true, 0);
    ASSERT_TRUE(pumpUntil([&] { return log->completed(); }));  // downloaded whole instead
    EXPECT_FALSE(plain->readRange(0, 10));
    EXPECT_EQ(serverLog().size(), 1u);  // no request for the range

    auto seekLog = std::make_shared<EventLog>();
    auto seekable = host->requestStream(url("/data/1000"), seekLog, false, true, 0);
    ASSERT_TRUE(pumpUntil([&] { return seekable->isOpen(); }));
    EXPECT_FALSE(seekable->readRange(10, 10));
    EXPECT_FALSE(seekable->readRange(20, 10));
    EXPECT_TRUE(seekable->readRanges({}));
    seekable->close();
}

// ---- closing ------------------------------------------------------------------------------------------

TEST_F(UrlMonikerStreams, ClosingTwiceMidDownloadAbortsOnceAndCompletesOnce)
{
    auto log = std::make_shared<EventLog>();
    std::vector<bool> answers;
    std::shared_ptr<FB::BrowserStream> stream;
    log->onData = [&](FB::StreamDataArrivedEvent*) {
        if (!answers.empty()) return;
        answers.push_back(stream->close());
        answers.push_back(stream->close());
    };
    stream = host->requestStream(url("/data/4000000?chunk=8192&delay=0.01"), log, false, false, 0);
    ASSERT_TRUE(pumpUntil([&] { return log->completed(); }));
    EXPECT_THAT(answers, ElementsAre(true, true));
    pumpUntil([] { return false; }, 200);
    EXPECT_THAT(log->names, ElementsAre("Created", "Opened", "Data", "Completed(false)"));
    EXPECT_TRUE(pumpUntil(
        [&] {
            std::vector<ServerRequest> requests = serverLog();
            return requests.size() == 1 && requests[0].aborted;
        },
        10000));  // the server saw the client go away
    stream.reset();
}

// ---- the callback's own answers ------------------------------------------------------------------------

TEST(ActiveXBindStatusCallback, AddsTheRequestHeaders)
{
    struct Case {
        const char* name;
        std::vector<FB::BrowserStream::Range> ranges;
        std::string post;
        std::string postHeaders;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"plain", {}, "", "", L"Accept-Encoding: identity\r\n"},
        {"ranges", {{0, 100}, {200, 300}}, "", "", L"Accept-Encoding: identity\r\nRange: bytes=0-99,200-299\r\n"},
        {"post", {}, "a=1&b=2", "",
            L"Accept-Encoding: identity\r\nContent-Type: application/x-www-form-urlencoded\r\n"},
        {"post with headers", {}, "x", "X-Extra: 1\nContent-Length: 1",
            L"Accept-Encoding: identity\r\nContent-Type: application/x-www-form-urlencoded\r\nX-Extra: 1\r\n"},
        {"post with its own type", {}, "{}", "Content-Type: application/json\r\n",
            L"Accept-Encoding: identity\r\nContent-Type: application/json\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto stream = std::make_shared<ActiveXStream>("http://h/x", false, false, 0);
        if (!c.post.empty()) stream->setPost(c.post, c.postHeaders);
        auto request = std::make_shared<ActiveXStreamRequest>(stream, c.ranges);
        auto* callback = new ActiveXBindStatusCallback(request);
        if (!c.post.empty()) {
            EXPECT_EQ(callback->setPostData(c.post), S_OK);
            EXPECT_EQ(callback->setPostData(c.post), E_FAIL);  // one copy only
        }
        LPWSTR headers = nullptr;
        ASSERT_EQ(callback->BeginningTransaction(L"http://h/x", L"", 0, &headers), S_OK);
        EXPECT_STREQ(headers, c.expected);
        CoTaskMemFree(headers);
        EXPECT_EQ(callback->BeginningTransaction(L"http://h/x", L"", 0, nullptr), E_POINTER);
        callback->releaseRequest();
        callback->Release();
    }
    EXPECT_EQ(ActiveXBindStatusCallback::liveCount(), 0u);
}

TEST(ActiveXBindStatusCallback, BindInfoFillsOnlyTheCallersStructure)
{
    struct Case {
        const char* name;
        bool cached;
        bool post;
        DWORD size;
    };
    const Case cases[] = {
        {"GET, 32-bit size", false, false, 84},
        {"cached GET, full size", true, false, sizeof(BINDINFO)},
        {"POST, full size", false, true, sizeof(BINDINFO)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto stream = std::make_shared<ActiveXStream>("http://h/x", c.cached, false, 0);
        auto request = std::make_shared<ActiveXStreamRequest>(stream);
        auto* callback = new ActiveXBindStatusCallback(request);
        if (c.post) callback->setPostData("a=1&b=2");
        std::vector<unsigned char> memory(sizeof(BINDINFO) + 32, 0xCC);
        auto* info = reinterpret_cast<BINDINFO*>(memory.data());
        info->cbSize = std::min<DWORD>(c.size, sizeof(BINDINFO));
        DWORD flags = 0;
        ASSERT_EQ(callback->GetBindInfo(&flags, info), S_OK);
        EXPECT_EQ(info->cbSize, std::min<DWORD>(c.size, sizeof(BINDINFO)));
        EXPECT_EQ(flags, c.cached ? 131u : 131u | BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE);
        for (size_t i = info->cbSize; i < memory.size(); ++i) ASSERT_EQ(memory[i], 0xCC) << "byte " << i;
        if (c.size > offsetof(BINDINFO, dwBindVerb)) {
            EXPECT_EQ(info->dwBindVerb, c.post ? 1u : 0u);
        }
        if (c.post) {
            EXPECT_EQ(info->stgmedData.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
            EXPECT_EQ(info->cbstgmedData, 7u);
            EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(info->stgmedData.hGlobal)), 7), "a=1&b=2");
            GlobalUnlock(info->stgmedData.hGlobal);
            ReleaseStgMedium(&info->stgmedData);  // the callback's extra reference
        }
        EXPECT_EQ(callback->GetBindInfo(nullptr, info), E_INVALIDARG);
        callback->releaseRequest();
        EXPECT_EQ(callback->Release(), 0u);
    }
}

// ---- byte-range answers ---------------------------------------------------------------------------------

TEST(ByteRangeResponse, ContentRangeIsParsedWithBounds)
{
    struct Case {
        const char* text;
        bool valid;
        uint64_t first, last, total;
    };
    const Case cases[] = {
        {"bytes 200-299/1000", true, 200, 299, 1000},
        {"  bytes 0-0/*", true, 0, 0, 0},
        {"BYTES 5-9/10", true, 5, 9, 10},
        {"bytes 9-5/10", false, 0, 0, 0},
        {"bytes 5-10/10", false, 0, 0, 0},
        {"bytes */1000", false, 0, 0, 0},
        {"bytes 1-2", false, 0, 0, 0},
        {"items 1-2/3", false, 0, 0, 0},
        {"bytes -1-2/3", false, 0, 0, 0},
        {"bytes 99999999999999999999-1/2", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto range = FB::ActiveX::parseContentRange(c.text);
        ASSERT_EQ(range.has_value(), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(range->first, c.first);
        EXPECT_EQ(range->last, c.last);
        EXPECT_EQ(range->total, c.total);
    }
    EXPECT_EQ(FB::ActiveX::byteRangesBoundary("multipart/byteranges; boundary=ABC"), "ABC");
    EXPECT_EQ(FB::ActiveX::byteRangesBoundary("Multipart/ByteRanges;boundary=\"q r\""), "q r");
    EXPECT_EQ(FB::ActiveX::byteRangesBoundary("multipart/mixed; boundary=ABC"), "");
    EXPECT_EQ(FB::ActiveX::byteRangesBoundary("application/octet-stream"), "");
}

TEST(ByteRangeResponse, MultipartPartsArriveAtTheirOffsetsInAnyPieces)
{
    const std::string body = "--B\r\nContent-Type: text/plain\r\nContent-Range: bytes 0-4/100\r\n\r\nhello\r\n"
                             "--B\r\nContent-Range: bytes 50-52/100\r\n\r\nxyz\r\n--B--\r\n";
    for (size_t piece : {1u, 3u, 7u, 1000u}) {
        SCOPED_TRACE(piece);
        FB::ActiveX::MultipartByteRanges parts("B");
        std::string placed(100, '.');
        size_t delivered = 0;
        for (size_t at = 0; at < body.size(); at += piece) {
            ASSERT_TRUE(parts.feed(body.data() + at, std::min(piece, body.size() - at),
                [&](uint64_t offset, const char* bytes, size_t count) {
                    placed.replace(static_cast<size_t>(offset), count, bytes, count);
                    delivered += count;
                }));
        }
        EXPECT_TRUE(parts.complete());
        EXPECT_EQ(delivered, 8u);
        EXPECT_EQ(placed.substr(0, 5), "hello");
        EXPECT_EQ(placed.substr(50, 3), "xyz");
    }
}

TEST(ByteRangeResponse, MalformedMultipartStopsTheReader)
{
    const std::string cases[] = {
        "--B\r\nContent-Type: text/plain\r\n\r\nhello\r\n--B--\r\n",       // no Content-Range
        "--B\r\nContent-Range: bytes 0-2/10\r\n\r\nhello\r\n--B--\r\n",    // longer than announced
        "--B\r\nContent-Range: bytes 0-9/10\r\n\r\nhello\r\n--B--\r\n",    // shorter than announced
        "--B\r\nContent-Range: bytes 0-4/10\r\n\r\nhello\r\n--Bjunk\r\n",  // garbage after a boundary
        "--B\r\nContent-Range: bogus\r\n\r\nhello\r\n--B--\r\n",
    };
    for (const std::string& body : cases) {
        SCOPED_TRACE(body);
        FB::ActiveX::MultipartByteRanges parts("B");
        size_t delivered = 0;
        bool ok =
            parts.feed(body.data(), body.size(), [&](uint64_t, const char*, size_t count) { delivered += count; });
        EXPECT_FALSE(ok);
        EXPECT_TRUE(parts.failed());
        EXPECT_LE(delivered, 5u);
        EXPECT_FALSE(parts.feed("more", 4, [&](uint64_t, const char*, size_t count) { delivered += count; }));
    }
}

TEST(ByteRangeResponse, RequestedRangesAcceptOnlyWhatWasAskedAndKnowWhatIsMissing)
{
    // Asked for [10, 20), [30, 35) and [35, 40) (touching: one span to a server that joins them).
    FB::ActiveX::RequestedRanges asked({{30, 35}, {10, 20}, {35, 40}});
    struct Part {
        uint64_t first, count;
        bool inside;
    };
    const Part parts[] = {
        {10, 10, true},
        {12, 3, true},
        {30, 10, true},  // two asked ranges joined
        {9, 2, false},
        {19, 2, false},  // runs past the asked range
        {20, 10, false},
        {500, 10, false},
        {400000000000ull, 10, false},  // beyond any 32-bit offset
        {UINT64_MAX - 1, 5, false},    // would wrap
        {10, 0, false},
    };
    for (const Part& part : parts) {
        SCOPED_TRACE(testing::Message() << part.first << "+" << part.count);
        EXPECT_EQ(asked.contains(part.first, part.count), part.inside);
    }
    EXPECT_FALSE(asked.allDelivered());
    asked.markDelivered(10, 5);
    asked.markDelivered(15, 5);
    EXPECT_FALSE(asked.allDelivered());  // [30, 40) is missing
    asked.markDelivered(30, 10);
    EXPECT_TRUE(asked.allDelivered());
}

TEST(ByteRangeResponse, AMultipartPartOutsideTheAskedRangesStopsTheReaderBeforeItsBytes)
{
    const FB::ActiveX::RequestedRanges asked({{0, 5}, {50, 53}});
    const std::string cases[] = {
        "--B\r\nContent-Range: bytes 500-504/1000\r\n\r\nhello\r\n--B--\r\n",
        "--B\r\nContent-Range: bytes 2-6/1000\r\n\r\nhello\r\n--B--\r\n",  // partly outside
        "--B\r\nContent-Range: bytes 400000000000-400000000004/*\r\n\r\nhello\r\n--B--\r\n",
    };
    for (const std::string& body : cases) {
        SCOPED_TRACE(body);
        FB::ActiveX::MultipartByteRanges parts("B");
        parts.acceptOnly(asked);
        size_t delivered = 0;
        EXPECT_FALSE(
            parts.feed(body.data(), body.size(), [&](uint64_t, const char*, size_t count) { delivered += count; }));
        EXPECT_EQ(delivered, 0u);
    }
    FB::ActiveX::MultipartByteRanges inside("B");
    inside.acceptOnly(asked);
    const std::string good = "--B\r\nContent-Range: bytes 0-4/100\r\n\r\nhello\r\n--B--\r\n";
    EXPECT_TRUE(inside.feed(good.data(), good.size(), [](uint64_t, const char*, size_t) {}));
    EXPECT_TRUE(inside.complete());
}

}  // namespace
