// The browser-independent stream layer with a fake stream: the whole-download
// helper's buffering and its single callback, header parsing, the seekable
// flags, the stream manager and the host's stream operations.
#include "BrowserHost.h"
#include "BrowserStream.h"
#include "BrowserStreamManager.h"
#include "BrowserStreamRequest.h"
#include "DefaultBrowserStreamHandler.h"
#include "TestBrowserHost.h"
#include "PluginEvents.h"
#include "SimpleStreamHelper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <thread>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

// A stream whose browser side is played by the test.
class FakeStream : public FB::BrowserStream {
public:
    explicit FakeStream(bool seekable = false, uint32_t bufferSize = 0x20000)
        : BrowserStream("http://example.test/file", false, seekable, bufferSize)
    {
    }

    void open(bool seekableByServer = false)
    {
        setSeekableByServer(seekableByServer);
        setOpen(true);
        FB::StreamOpenedEvent opened(this);
        sendEvent(opened);
    }
    void data(const std::vector<uint8_t>& bytes, size_t offset)
    {
        FB::StreamDataArrivedEvent arrived(this, bytes.data(), bytes.size(), offset, 0.0f);
        sendEvent(arrived);
    }
    void complete(bool success)
    {
        FB::StreamCompletedEvent completed(this, success);
        sendEvent(completed);
    }
    void created()
    {
        FB::StreamCreatedEvent event(this);
        sendEvent(event);
    }

    bool readRanges(const std::vector<Range>& ranges) override
    {
        rangesAsked.insert(rangesAsked.end(), ranges.begin(), ranges.end());
        return true;
    }
    bool write(const char*, size_t, size_t& written) override
    {
        written = 0;
        return false;
    }
    bool close() override
    {
        ++closes;
        if (isCompleted()) return false;
        setCompleted(true);
        complete(false);
        return true;
    }

    int closes = 0;
    std::vector<Range> rangesAsked;
};

struct Outcome {
    int calls = 0;
    bool success = false;
    FB::HeaderMap headers;
    std::vector<uint8_t> bytes;
    size_t size = 0;
};

FB::StreamCompletionCallback recordInto(std::shared_ptr<Outcome> outcome)
{
    return [outcome](bool success, const FB::HeaderMap& headers, const FB::StreamData& data, size_t size) {
        ++outcome->calls;
        outcome->success = success;
        outcome->headers = headers;
        outcome->size = size;
        outcome->bytes.assign(data.get(), data.get() + (data ? size : 0));
    };
}

// A GET of url whose completion is recorded into outcome.
FB::BrowserStreamRequest getInto(const std::string& url, std::shared_ptr<Outcome> outcome)
{
    FB::BrowserStreamRequest request(url, "GET");
    request.setCallback(recordInto(std::move(outcome)));
    return request;
}

std::vector<uint8_t> pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    uint32_t state = 12345;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& bytes, size_t start, size_t end)
{
    return {bytes.begin() + start, bytes.begin() + end};
}

// A helper attached to a fresh fake stream, and what its callback saw.
struct HelperRig {
    explicit HelperRig(bool seekable = false, uint32_t blockSize = 0x20000)
    {
        stream = std::make_shared<FakeStream>(seekable);
        FB::BrowserStreamRequest request(stream->getUrl(), "GET");
        request.setCallback(recordInto(outcome));
        request.setBufferSize(blockSize);
        helper = FB::SimpleStreamHelper::makeForRequest(host, stream, request);
    }
    std::shared_ptr<fbtest::TestBrowserHost> host = std::make_shared<fbtest::TestBrowserHost>();
    std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();
    std::shared_ptr<FakeStream> stream;
    std::weak_ptr<FB::SimpleStreamHelper> helper;
};

// ---- buffering ------------------------------------------------------------------------------

struct BufferingCase {
    size_t size;
    size_t chunk;  // 0: one chunk
};

class Buffering : public ::testing::TestWithParam<BufferingCase> {};

TEST_P(Buffering, DeliversTheIdenticalBytesInOneCallback)
{
    const BufferingCase c = GetParam();
    const std::vector<uint8_t> body = pattern(c.size);
    HelperRig rig;
    rig.stream->open();
    const size_t chunk = c.chunk ? c.chunk : std::max<size_t>(c.size, 1);
    for (size_t at = 0; at < c.size; at += chunk) rig.stream->data(slice(body, at, std::min(c.size, at + chunk)), at);
    rig.stream->complete(true);

    EXPECT_EQ(rig.outcome->calls, 1);
    EXPECT_TRUE(rig.outcome->success);
    EXPECT_EQ(rig.outcome->size, c.size);
    EXPECT_TRUE(rig.outcome->bytes == body);
    EXPECT_TRUE(rig.helper.expired());  // it let itself go after the callback
}

INSTANTIATE_TEST_SUITE_P(SizesAndChunks, Buffering, ::testing::ValuesIn([] {
    std::vector<BufferingCase> cases;
    for (size_t size : {0u, 1u, 131071u, 131072u, 131073u, 300000u})
        for (size_t chunk : {0u, 4096u, 100000u}) cases.push_back({size, chunk});
    return cases;
}()),
    [](const auto& info) {
        return std::to_string(info.param.size) + "_by_" + (info.param.chunk ? std::to_string(info.param.chunk) : "all");
    });

TEST(SimpleStreamHelper, OutOfOrderDataLandsByOffset)
{
    struct Case {
        const char* name;
        bool seekable;
        std::vector<std::pair<size_t, size_t>> pieces;  // [start, end) in arrival order
        bool success;
        size_t size;  // what the callback reports
    };
    const std::vector<Case> cases = {
        {"reversed chunks, not seekable", false, {{200000, 300000}, {100000, 200000}, {0, 100000}}, true, 300000},
        {"gap, not seekable", false, {{0, 10}, {200000, 200010}}, false, 20},
        {"gap, seekable", true, {{0, 10}, {200000, 200010}}, true, 200010},
        {"overlap, not seekable", false, {{0, 5000}, {4000, 9000}}, true, 9000},
        {"nothing at 0, not seekable", false, {{10, 20}}, false, 10},
    };
    const std::vector<uint8_t> body = pattern(300000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HelperRig rig(c.seekable);
        rig.stream->open(c.seekable);
        for (auto [start, end] : c.pieces) rig.stream->data(slice(body, start, end), start);
        rig.stream->complete(true);
        ASSERT_EQ(rig.outcome->calls, 1);
        EXPECT_EQ(rig.outcome->success, c.success);
        EXPECT_EQ(rig.outcome->size, c.size);
        if (!c.success) {
            EXPECT_TRUE(rig.outcome->bytes.empty());
            continue;
        }
        ASSERT_EQ(rig.outcome->bytes.size(), c.size);
        std::vector<uint8_t> expected(c.size, 0);  // a seekable stream's gaps read as zeros
        for (auto [start, end] : c.pieces) std::memcpy(expected.data() + start, body.data() + start, end - start);
        EXPECT_TRUE(rig.outcome->bytes == expected);
    }
}

TEST(SimpleStreamHelper, BlockSizeZeroMeansTheDefaultAndTinyBlocksWork)
{
    for (uint32_t blockSize : {0u, 1u, 7u}) {
        SCOPED_TRACE(blockSize);
        const std::vector<uint8_t> body = pattern(1000);
        HelperRig rig(false, blockSize);
        rig.stream->open();
        for (size_t at = 0; at < body.size(); at += 333)
            rig.stream->data(slice(body, at, std::min<size_t>(1000, at + 333)), at);
        rig.stream->complete(true);
        EXPECT_TRUE(rig.outcome->success);
        EXPECT_TRUE(rig.outcome->bytes == body);
    }
}

TEST(SimpleStreamHelper, ABlockBeyondWhatCanBeBufferedFailsOnceAndEscapesNothing)
{
    HelperRig rig;
    rig.stream->open();
    rig.stream->data(pattern(10), 0);
    std::vector<uint8_t> distant = pattern(5);
    FB::StreamDataArrivedEvent huge(
        rig.stream.get(), distant.data(), distant.size(), std::numeric_limits<size_t>::max() - 100, 0);
    EXPECT_NO_THROW(rig.stream->dispatchEvent(&huge));
    EXPECT_EQ(rig.outcome->calls, 1);
    EXPECT_FALSE(rig.outcome->success);
    EXPECT_EQ(rig.outcome->size, 10u);
    rig.stream->data(pattern(10), 10);  // ignored now
    rig.stream->complete(true);
    EXPECT_EQ(rig.outcome->calls, 1);
}

TEST(SimpleStreamHelper, TheCallbackRunsExactlyOnce)
{
    struct Case {
        const char* name;
        std::vector<int> completions;  // 1 success, 0 failure
        bool success;
    };
    for (const Case& c : std::vector<Case>{{"success twice", {1, 1}, true}, {"failure then success", {0, 1}, false},
             {"success then failure", {1, 0}, true}}) {
        SCOPED_TRACE(c.name);
        HelperRig rig;
        rig.stream->open();
        rig.stream->data(pattern(100), 0);
        for (int completion : c.completions) rig.stream->complete(completion == 1);
        EXPECT_EQ(rig.outcome->calls, 1);
        EXPECT_EQ(rig.outcome->success, c.success);
        EXPECT_EQ(rig.outcome->size, 100u);  // the data, or the bytes that did arrive
    }
}

TEST(SimpleStreamHelper, SuccessCarriesTheParsedResponseHeaders)
{
    HelperRig rig;
    rig.stream->setHeaders("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Seen: 1\r\nX-Seen: 2\r\n\r\n");
    rig.stream->open();
    rig.stream->complete(true);
    EXPECT_THAT(rig.outcome->headers,
        ElementsAre(Pair("Content-Type", "text/plain"), Pair("X-Seen", "1"), Pair("X-Seen", "2")));
}

TEST(SimpleStreamHelper, AStreamThatLetsTheHelperGoWithoutCompletingFailsTheDownloadOnce)
{
    HelperRig rig;
    rig.stream->open();
    rig.stream->data(pattern(42), 0);
    std::shared_ptr<FB::SimpleStreamHelper> helper = rig.helper.lock();
    rig.stream->removeObserver(helper);
    helper.reset();
    EXPECT_EQ(rig.outcome->calls, 1);
    EXPECT_FALSE(rig.outcome->success);
    EXPECT_EQ(rig.outcome->size, 42u);
    EXPECT_TRUE(rig.helper.expired());
    rig.stream->complete(true);
    EXPECT_EQ(rig.outcome->calls, 1);
}

TEST(SimpleStreamHelper, ACallbackThatThrowsDoesNotReachTheStream)
{
    auto stream = std::make_shared<FakeStream>();
    auto host = std::make_shared<fbtest::TestBrowserHost>();
    FB::BrowserStreamRequest request(stream->getUrl(), "GET");
    request.setCallback(
        [](bool, const FB::HeaderMap&, const FB::StreamData&, size_t) { throw std::runtime_error("x"); });
    FB::SimpleStreamHelper::makeForRequest(host, stream, request);
    stream->open();
    EXPECT_NO_THROW(stream->complete(true));
}

// ---- header parsing and flags ---------------------------------------------------------------------

TEST(StreamHeaders, ParseKeepsRepeatsInOrderSkipsLinesWithoutColonAndTrims)
{
    struct Case {
        const char* text;
        std::vector<std::pair<std::string, std::string>> pairs;
    };
    const std::vector<Case> cases = {
        {"Content-Type: text/html\r\nSet-Cookie: a=1\r\nSet-Cookie: b=2\r\n",
            {{"Content-Type", "text/html"}, {"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}}},
        {"HTTP/1.1 200 OK\nno colon here\n\n  Spaced  :   value with: colon  \r\n", {{"Spaced", "value with: colon"}}},
        {"A:\r\r\n:b\n", {{"", "b"}, {"A", ""}}},  // a multimap: by name, repeats in text order
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FB::HeaderMap parsed = FB::parseHeaders(c.text);
        std::vector<std::pair<std::string, std::string>> pairs(parsed.begin(), parsed.end());
        EXPECT_EQ(pairs, c.pairs);
    }
    FB::BrowserStreamRequest request("http://h/", "GET");
    request.setHeaders("X: 1\nX: 2");
    EXPECT_EQ(request.headers.count("X"), 2u);
}

TEST(BrowserStream, IsSeekableOnlyWhenRequestedAndOfferedByTheServer)
{
    for (bool requested : {false, true})
        for (bool offered : {false, true}) {
            FakeStream stream(requested);
            stream.setSeekableByServer(offered);
            EXPECT_EQ(stream.isSeekable(), requested && offered) << requested << offered;
        }
}

TEST(BrowserStream, ReadRangeAsksForOneRangeAndDestructionTellsTheObservers)
{
    auto stream = std::make_shared<FakeStream>();
    EXPECT_TRUE(stream->readRange(10, 20));
    ASSERT_EQ(stream->rangesAsked.size(), 1u);
    EXPECT_EQ(stream->rangesAsked[0].start, 10u);
    EXPECT_EQ(stream->rangesAsked[0].end, 20u);

    struct Watcher : FB::DefaultBrowserStreamHandler {
        int destroyed = 0;
        bool onStreamDestroyed(FB::StreamDestroyedEvent* event, FB::BrowserStream* s) override
        {
            ++destroyed;
            return DefaultBrowserStreamHandler::onStreamDestroyed(event, s);
        }
    };
    auto watcher = std::make_shared<Watcher>();
    stream->addObserver(watcher);
    EXPECT_EQ(watcher->getStream(), stream);
    watcher->releaseStream();
    stream.reset();
    EXPECT_EQ(watcher->destroyed, 1);
}

TEST(DefaultBrowserStreamHandler, AnAttachFromASourceThatIsNoStreamIsABadCast)
{
    FB::DefaultBrowserStreamHandler handler;
    FB::PluginEventSource source;
    FB::AttachedEvent attached;
    EXPECT_THROW(handler.onPluginEvent(&attached, &source), std::bad_cast);
}

// ---- the stream manager ------------------------------------------------------------------------

TEST(BrowserStreamManager, KeepsStreamsUntilCompletedAndClosesTheRestOnce)
{
    auto manager = std::make_shared<FB::BrowserStreamManager>();
    auto finishing = std::make_shared<FakeStream>();
    auto lingering = std::make_shared<FakeStream>();
    std::weak_ptr<FakeStream> finishingAlive = finishing;
    FakeStream* lingeringRaw = lingering.get();
    manager->retainStream(finishing);
    manager->retainStream(lingering);
    EXPECT_EQ(manager->retainedCount(), 2u);

    // Dropped during its own completion: the dispatch keeps it alive until it returns.
    FakeStream* finishingRaw = finishing.get();
    finishing.reset();
    finishingRaw->complete(true);
    EXPECT_TRUE(finishingAlive.expired());
    EXPECT_EQ(manager->retainedCount(), 1u);

    lingering.reset();
    std::weak_ptr<FB::BrowserStream> lingeringAlive = lingeringRaw->selfPointer();
    EXPECT_EQ(lingeringRaw->closes, 0);
    auto keep = lingeringAlive.lock();
    manager.reset();
    EXPECT_EQ(static_cast<FakeStream*>(keep.get())->closes, 1);

    auto completed = std::make_shared<FakeStream>();
    completed->setCompleted(true);
    auto other = std::make_shared<FB::BrowserStreamManager>();
    other->retainStream(completed);
    EXPECT_EQ(other->retainedCount(), 0u);  // nothing more will come to release it
}

// ---- the host's stream operations ---------------------------------------------------------------

// Gives fake streams, refuses, or completes the download inside the start call.
class StreamHost : public fbtest::TestBrowserHost {
public:
    enum class Mode { Give, Refuse, CompleteAtOnce };
    Mode mode = Mode::Give;
    std::vector<FB::BrowserStreamRequest> requests;
    std::vector<std::shared_ptr<FakeStream>> given;

    std::shared_ptr<FB::BrowserStream> openBrowserStream(const FB::BrowserStreamRequest& request) override
    {
        requests.push_back(request);
        auto stream = std::make_shared<FakeStream>(request.seekable, request.internalBufferSize);
        if (auto handler = request.getEventHandler()) stream->addObserver(handler);
        if (mode == Mode::Refuse) return nullptr;
        stream->created();
        if (mode == Mode::CompleteAtOnce) {
            stream->open();
            stream->data(pattern(3), 0);
            stream->setCompleted(true);
            stream->complete(true);
        }
        given.push_back(stream);
        return stream;
    }
};

TEST(BrowserHostStreams, RequestsCarryTheirSettings)
{
    auto host = std::make_shared<StreamHost>();
    auto handler = std::make_shared<FB::DefaultBrowserStreamHandler>();
    auto got = host->requestStream("http://h/a", handler, true, true, 4096);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(handler->getStream(), got);
    host->requestPostStream("http://h/b", handler, "a=1", false, false, 0);
    ASSERT_EQ(host->requests.size(), 2u);
    EXPECT_EQ(host->requests[0].method, "GET");
    EXPECT_TRUE(host->requests[0].cache);
    EXPECT_TRUE(host->requests[0].seekable);
    EXPECT_EQ(host->requests[0].internalBufferSize, 4096u);
    EXPECT_EQ(host->requests[1].method, "POST");
    EXPECT_EQ(host->requests[1].postData, "a=1");
    EXPECT_EQ(host->requests[1].postHeaders, "");
    EXPECT_EQ(host->retainedStreamCount(), 2u);
    host->shutDownHost();
    EXPECT_EQ(host->given[0]->closes, 1);
    EXPECT_EQ(host->given[1]->closes, 1);
    EXPECT_EQ(host->requestStream("http://h/c", handler, false, false, 0), nullptr);  // refused after shutdown
}

TEST(BrowserHostStreams, AWholeDownloadGoesThroughTheHelperAndTheManagerLetsGoWhenItCompletes)
{
    auto host = std::make_shared<StreamHost>();
    auto outcome = std::make_shared<Outcome>();
    FB::BrowserStreamRequest request = getInto("http://h/whole", outcome);
    auto stream = host->openStreamForRequest(request, true);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(host->retainedStreamCount(), 1u);
    host->given[0]->open();
    host->given[0]->data(pattern(10), 0);
    host->given[0]->complete(true);
    EXPECT_EQ(outcome->calls, 1);
    EXPECT_TRUE(outcome->bytes == pattern(10));
    EXPECT_EQ(host->retainedStreamCount(), 0u);
}

TEST(BrowserHostStreams, NoStreamFromTheBrowserMeansNoHelperAndNoCallback)
{
    auto host = std::make_shared<StreamHost>();
    host->mode = StreamHost::Mode::Refuse;
    auto outcome = std::make_shared<Outcome>();
    FB::BrowserStreamRequest request = getInto("http://h/refused", outcome);
    EXPECT_EQ(FB::SimpleStreamHelper::asyncRequest(host, request), nullptr);
    EXPECT_EQ(host->openStreamForRequest(request, true), nullptr);
    EXPECT_EQ(outcome->calls, 0);
    EXPECT_EQ(host->retainedStreamCount(), 0u);

    FB::BrowserStreamRequest noCallback("http://h/x", "GET");
    EXPECT_THROW(FB::SimpleStreamHelper::asyncRequest(host, noCallback), std::runtime_error);
}

TEST(BrowserHostStreams, ADownloadThatCompletesInsideTheStartCallReachesTheCallbackOnce)
{
    auto host = std::make_shared<StreamHost>();
    host->mode = StreamHost::Mode::CompleteAtOnce;
    auto outcome = std::make_shared<Outcome>();
    FB::BrowserStreamRequest request = getInto("file:///Z:/x", outcome);
    auto stream = host->openStreamForRequest(request, true);
    EXPECT_NE(stream, nullptr);
    EXPECT_EQ(outcome->calls, 1);
    EXPECT_TRUE(outcome->success);
    EXPECT_EQ(outcome->size, 3u);
    EXPECT_EQ(host->retainedStreamCount(), 0u);  // completed before the manager saw it
}

TEST(BrowserHostStreams, ARequestWithACallbackAndAHandlerTakesTheHandlerRoad)
{
    auto host = std::make_shared<StreamHost>();
    auto outcome = std::make_shared<Outcome>();
    auto handler = std::make_shared<FB::DefaultBrowserStreamHandler>();
    FB::BrowserStreamRequest request = getInto("http://h/both", outcome);
    request.setEventHandler(handler);
    auto stream = host->openStreamForRequest(request, true);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(handler->getStream(), stream);
    host->given[0]->open();
    host->given[0]->complete(true);
    EXPECT_EQ(outcome->calls, 0);

    // asyncRequest itself keeps the handler beside its helper.
    auto both = FB::SimpleStreamHelper::asyncRequest(host, request);
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(handler->getStream(), both->getStream());
    host->given[1]->open();
    host->given[1]->complete(true);
    EXPECT_EQ(outcome->calls, 1);
}

TEST(BrowserHostStreams, AWholeDownloadAskedOffTheMainThreadIsMadeOnIt)
{
    auto host = std::make_shared<StreamHost>();
    auto outcome = std::make_shared<Outcome>();
    FB::BrowserStreamRequest request = getInto("http://h/thread", outcome);
    std::shared_ptr<FB::BrowserStream> stream;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        stream = host->openStreamForRequest(request, true);
        done = true;
    });
    while (!done) {
        host->pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(host->given.size(), 1u);
    host->given[0]->open();
    host->given[0]->complete(true);
    EXPECT_EQ(outcome->calls, 1);
}

TEST(BrowserHostStreams, ShutdownFailsAnUnfinishedWholeDownloadOnce)
{
    auto host = std::make_shared<StreamHost>();
    auto outcome = std::make_shared<Outcome>();
    FB::BrowserStreamRequest request = getInto("http://h/slow", outcome);
    ASSERT_NE(host->openStreamForRequest(request, true), nullptr);
    host->given[0]->open();
    host->given[0]->data(pattern(7), 0);
    host->shutDownHost();
    EXPECT_EQ(outcome->calls, 1);
    EXPECT_FALSE(outcome->success);
    EXPECT_EQ(outcome->size, 7u);
    EXPECT_EQ(host->given[0]->closes, 1);
}

}  // namespace
