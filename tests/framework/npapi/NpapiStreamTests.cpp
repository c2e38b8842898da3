// NPAPI streams end to end: the plug-in's host asks the test browser, which
// fetches from a real HTTP server on 127.0.0.1 (TEST_HTTP_SERVER, started by
// the test's runner) and plays the stream calls into the plug-in object.
#include "BrowserStreams.h"
#include "NpapiBrowserHost.h"
#include "NpapiStream.h"
#include "PluginEvents.h"
#include "ScriptPage.h"
#include "SimpleStreamHelper.h"
#include "StreamTestFactory.h"
#include "StreamTestKit.h"
#include "TestBrowser.h"
#include "utf8_tools.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>

using streamtest::EventLog;
using streamtest::parseServerLog;
using streamtest::pattern;
using streamtest::serverBase;
using streamtest::ServerRequest;
using TestBrowser::Browser;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct Download {
    int calls = 0;
    bool success = false;
    std::vector<uint8_t> bytes;
    size_t size = 0;
};

class NpapiStreams : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = serverBase();
        ASSERT_FALSE(server.empty()) << "TEST_HTTP_SERVER is not set: run through tests/support/http_server.py";
        streamTestControl = StreamTestControl{};
        browser = std::make_unique<Browser>(config);
        ASSERT_TRUE(browser->usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown));
        embed = browser->createInstance("plugin", "application/x-test", {});
        ASSERT_NE(embed, nullptr);
        host = std::dynamic_pointer_cast<FB::Npapi::NpapiBrowserHost>(streamTestControl.lastCore.lock()->getHost());
        ASSERT_NE(host, nullptr);
        liveBefore = FB::Npapi::NpapiStream::liveCount();
        resetServer();
    }

    // Starts again with another browser configuration.
    void restart(const TestBrowser::Config& changed)
    {
        host.reset();
        browser->shutdownPlugin();
        browser.reset();
        config = changed;
        SetUp();
    }

    void TearDown() override
    {
        host.reset();
        if (!browser) return;
        browser->shutdownPlugin();
        EXPECT_THAT(browser->problems(), IsEmpty());
        EXPECT_EQ(browser->outstandingAllocations(), 0u);
        browser.reset();
        EXPECT_EQ(FB::Npapi::NpapiStream::liveCount(), liveBefore);
    }

    std::string url(const std::string& path) const { return server + path; }

    void resetServer() { ASSERT_TRUE(browser->streams().fetchDirect(url("/_reset"))); }

    std::vector<ServerRequest> serverLog()
    {
        std::optional<std::string> text = browser->streams().fetchDirect(url("/_log?format=text"));
        return text ? parseServerLog(*text) : std::vector<ServerRequest>();
    }

    // A whole download of a path of the server (or of a full URL) into `into`.
    FB::BrowserStreamRequest wholeDownload(const std::string& target, std::shared_ptr<Download> into)
    {
        FB::BrowserStreamRequest request(target.rfind("http", 0) == 0 ? target : url(target), "GET");
        request.setCallback([into](bool success, const FB::HeaderMap&, const FB::StreamData& data, size_t size) {
            ++into->calls;
            into->success = success;
            into->size = size;
            if (data) into->bytes.assign(data.get(), data.get() + size);
        });
        return request;
    }

    bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000)
    {
        return browser->pumpUntil(done, timeoutMs);
    }

    // The last stream the plug-in's side caused (not the test's own fetches).
    TestBrowser::StreamRecord lastRecord() const
    {
        std::vector<TestBrowser::StreamRecord> records = browser->streams().records();
        for (auto it = records.rbegin(); it != records.rend(); ++it)
            if (!it->direct) return *it;
        return {};
    }

    // Plays the browser's stream side one turn at a time (pump() runs until idle).
    bool playUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000)
    {
        const ULONGLONG end = GetTickCount64() + timeoutMs;
        while (!done()) {
            if (GetTickCount64() > end) return false;
            if (!browser->streams().play()) Sleep(1);
        }
        return true;
    }

    TestBrowser::Config config;
    std::string server;
    std::unique_ptr<Browser> browser;
    TestBrowser::Instance* embed = nullptr;
    std::shared_ptr<FB::Npapi::NpapiBrowserHost> host;
    size_t liveBefore = 0;
};

// ---- whole downloads ------------------------------------------------------------------------

TEST_F(NpapiStreams, AWholeDownloadArrivesByteIdenticalWhateverTheBufferSize)
{
    for (uint32_t bufferSize : {0u, 1000u}) {
        SCOPED_TRACE(bufferSize);
        auto download = std::make_shared<Download>();
        FB::BrowserStreamRequest request = wholeDownload("/data/300000?seed=3", download);
        request.setBufferSize(bufferSize);
        ASSERT_NE(host->openStreamForRequest(request, true), nullptr);
        ASSERT_TRUE(pumpUntil([&] { return download->calls > 0; }));
        EXPECT_EQ(download->calls, 1);
        EXPECT_TRUE(download->success);
        EXPECT_EQ(download->size, 300000u);
        EXPECT_TRUE(download->bytes == pattern(300000, 3));

        TestBrowser::StreamRecord record = lastRecord();
        EXPECT_EQ(record.newStreamAnswer, NPERR_NO_ERROR);
        EXPECT_EQ(record.streamType, NP_NORMAL);
        EXPECT_EQ(record.end, 300000u);
        EXPECT_EQ(record.bytesTaken, 300000u);
        if (bufferSize == 1000) {  // the rest of each block was offered again
            EXPECT_EQ(record.lastWriteReady, 1000);
            EXPECT_THAT(record.writeAnswers, ::testing::Each(1000));
        }
        EXPECT_TRUE(pumpUntil([&] { return lastRecord().endCalls.size() == 2; }));
    }
    EXPECT_EQ(host->retainedStreamCount(), 0u);
}

TEST_F(NpapiStreams, ACachedDownloadLearnsTheFileTheBrowserSavedItTo)
{
    auto download = std::make_shared<Download>();
    FB::BrowserStreamRequest request = wholeDownload("/data/5000?seed=4", download);
    request.setCacheable(true);
    std::shared_ptr<FB::BrowserStream> stream = host->openStreamForRequest(request, true);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return lastRecord().endCalls.size() == 2; }));
    const TestBrowser::StreamRecord record = lastRecord();
    EXPECT_EQ(record.streamType, NP_ASFILE);
    ASSERT_FALSE(record.asFile.empty());
    EXPECT_EQ(stream->getCacheFileName(), FB::utf8ToWide(record.asFile));
    EXPECT_TRUE(download->success);
}

TEST_F(NpapiStreams, WritesAreTakenUpToTheBufferSizeWithProgressByLength)
{
    struct Case {
        uint32_t bufferSize;
        uint32_t length;  // the stream's total length, 0 when unknown
        int32_t offset;
        int32_t offered;
        int32_t taken;
        float progress;
    };
    const Case cases[] = {
        {1000, 0, 0, 100000, 1000, 0.0f}, {200000, 0, 0, 100000, 100000, 0.0f}, {1000, 200, 0, 100, 100, 50.0f},
        {1000, 300000, 200000, 100000, 1000, 100.0f},  // of the bytes offered, not of those taken
    };
    std::vector<char> buffer(100000, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bufferSize);
        auto stream = FB::Npapi::NpapiStream::create("http://h/x", false, false, c.bufferSize, host);
        auto log = std::make_shared<EventLog>();
        stream->addObserver(log);
        stream->setLength(c.length);
        stream->signalOpened();
        EXPECT_EQ(stream->signalDataArrived(buffer.data(), c.offered, c.offset), c.taken);
        ASSERT_EQ(log->progress.size(), 1u);
        EXPECT_FLOAT_EQ(log->progress[0], c.progress);
        EXPECT_EQ(log->chunks[static_cast<size_t>(c.offset)].size(), static_cast<size_t>(c.taken));
        EXPECT_EQ(stream->signalDataArrived(buffer.data(), -1, 0), -1);
        EXPECT_EQ(stream->signalDataArrived(nullptr, 10, 0), -1);
    }
}

TEST_F(NpapiStreams, TheDownloadCompletesOnceWhateverTheOrderOfTheEndCalls)
{
    struct Case {
        const char* name;
        TestBrowser::EndOrder order;
        std::optional<NPReason> destroyReason;
        std::optional<NPReason> notifyReason;
        bool success;
    };
    const Case cases[] = {
        {"destroy(done), notify", TestBrowser::EndOrder::DestroyThenNotify, {}, {}, true},
        {"notify(done), destroy", TestBrowser::EndOrder::NotifyThenDestroy, {}, {}, true},
        {"notify(network error), destroy", TestBrowser::EndOrder::NotifyThenDestroy, {}, NPRES_NETWORK_ERR, false},
        {"destroy(user break), notify", TestBrowser::EndOrder::DestroyThenNotify, NPRES_USER_BREAK, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        browser->streams().settings().order = c.order;
        browser->streams().settings().destroyReason = c.destroyReason;
        browser->streams().settings().notifyReason = c.notifyReason;
        auto download = std::make_shared<Download>();
        auto log = std::make_shared<EventLog>();
        FB::BrowserStreamRequest request = wholeDownload("/data/5000?seed=1", download);
        request.setEventHandler(log);
        ASSERT_NE(FB::SimpleStreamHelper::asyncRequest(host, request), nullptr);
        ASSERT_TRUE(pumpUntil([&] { return lastRecord().endCalls.size() == 2; }));
        browser->pump();
        EXPECT_EQ(download->calls, 1);
        EXPECT_EQ(download->success, c.success);
        EXPECT_EQ(log->count("Completed(true)") + log->count("Completed(false)"), 1);
        EXPECT_EQ(log->count(c.success ? "Completed(true)" : "Completed(false)"), 1);
        EXPECT_EQ(log->count("Destroyed"), 1);  // and the stream is gone
    }
}

TEST_F(NpapiStreams, AStreamLivesUntilBothTheDestroyAndTheNotificationHaveCome)
{
    auto log = std::make_shared<EventLog>();
    std::weak_ptr<FB::BrowserStream> stream = host->requestStream(url("/data/1000"), log, false, false, 0);
    ASSERT_FALSE(stream.expired());
    ASSERT_TRUE(playUntil([&] { return lastRecord().endCalls.size() == 1; }));
    EXPECT_THAT(lastRecord().endCalls, ElementsAre("destroy"));
    EXPECT_EQ(log->count("Completed(true)"), 1);
    EXPECT_FALSE(stream.expired());  // the URL notification is still to come
    ASSERT_TRUE(playUntil([&] { return lastRecord().endCalls.size() == 2; }));
    EXPECT_TRUE(stream.expired());
    EXPECT_EQ(log->count("Destroyed"), 1);
}

TEST_F(NpapiStreams, AFailedAnswerGivesOneFailureAndNoData)
{
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {{"404", "/status/404"}, {"refused connection", "http://127.0.0.1:1/x"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto download = std::make_shared<Download>();
        ASSERT_NE(host->openStreamForRequest(wholeDownload(c.path, download), true), nullptr);
        ASSERT_TRUE(pumpUntil([&] { return download->calls > 0; }));
        EXPECT_FALSE(download->success);
        EXPECT_EQ(download->size, 0u);
        TestBrowser::StreamRecord record = lastRecord();
        EXPECT_FALSE(record.newStreamCalled);
        EXPECT_THAT(record.endCalls, ElementsAre("notify"));
        EXPECT_EQ(record.notifyReason, NPRES_NETWORK_ERR);
    }
}

// ---- seeking ------------------------------------------------------------------------------------

TEST_F(NpapiStreams, ASeekableStreamFromAServerThatCannotSeekFailsToOpen)
{
    auto log = std::make_shared<EventLog>();
    ASSERT_NE(host->requestStream(url("/data/1000?ranges=0"), log, false, true, 0), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return lastRecord().endCalls.size() == 1; }));
    TestBrowser::StreamRecord record = lastRecord();
    EXPECT_EQ(record.newStreamAnswer, NPERR_STREAM_NOT_SEEKABLE);
    EXPECT_THAT(record.endCalls, ElementsAre("notify"));
    EXPECT_THAT(log->names, ElementsAre("Created", "FailedOpen", "Completed(false)", "Destroyed"));
}

TEST_F(NpapiStreams, RangesAreReadAtTheirOffsetsAndCloseCompletesTheSeekableStream)
{
    auto log = std::make_shared<EventLog>();
    std::shared_ptr<FB::BrowserStream> stream = host->requestStream(url("/data/1000?seed=9"), log, false, true, 0);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return stream->isOpen(); }));
    EXPECT_EQ(lastRecord().streamType, NP_SEEK);
    EXPECT_TRUE(stream->readRanges({}));  // nothing asked, nothing to do
    ASSERT_TRUE(stream->readRanges({{10, 20}, {30, 35}}));
    ASSERT_TRUE(pumpUntil([&] { return log->chunks.size() == 2 && log->chunks[30].size() == 5; }));
    const std::vector<uint8_t> whole = pattern(1000, 9);
    EXPECT_TRUE(log->chunks[10] == std::vector<uint8_t>(whole.begin() + 10, whole.begin() + 20));
    EXPECT_TRUE(log->chunks[30] == std::vector<uint8_t>(whole.begin() + 30, whole.begin() + 35));
    std::vector<std::string> ranges;
    for (ServerRequest& request : serverLog())
        if (request.headers.count("range")) ranges.push_back(request.headers["range"]);
    EXPECT_THAT(ranges, ::testing::UnorderedElementsAre("bytes=10-19", "bytes=30-34"));

    EXPECT_FALSE(log->completed());  // a seekable stream stays open for more reads
    EXPECT_TRUE(stream->close());
    EXPECT_FALSE(stream->close());
    EXPECT_EQ(log->count("Completed(true)"), 1);
    ASSERT_TRUE(pumpUntil([&] { return lastRecord().endCalls.size() == 2; }));
    EXPECT_EQ(lastRecord().destroyReason, NPRES_USER_BREAK);
}

// ---- POST ------------------------------------------------------------------------------------------

TEST_F(NpapiStreams, APostSendsTheBodyAsAForm)
{
    auto log = std::make_shared<EventLog>();
    ASSERT_NE(host->requestPostStream(url("/echo"), log, "a=1&b=2", false, false, 0), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return log->completed(); }));
    EXPECT_EQ(log->count("Completed(true)"), 1);
    const std::string echoed(log->chunks[0].begin(), log->chunks[0].end());
    EXPECT_EQ(echoed, "a=1&b=2");
    std::vector<ServerRequest> requests = serverLog();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "a=1&b=2");
    EXPECT_EQ(requests[0].headers["content-type"], "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].headers["content-length"], "7");
}

// ---- streams the browser starts, refusals and teardown ----------------------------------------------

TEST_F(NpapiStreams, AStreamTheBrowserStartsIsRefusedUnlessTheCoreAcceptsIt)
{
    const int refused = browser->streams().offer(&embed->npp, url("/data/100"));
    ASSERT_TRUE(pumpUntil([&] { return browser->streams().record(refused)->endCalls.size() == 1; }));
    const TestBrowser::StreamRecord* record = browser->streams().record(refused);
    EXPECT_EQ(record->newStreamAnswer, NPERR_NO_ERROR);
    EXPECT_EQ(record->lastWriteReady, -1);
    NPStream unclaimed{};  // what the browser's stream carries: no plug-in data
    char bytes[4] = {};
    EXPECT_EQ(browser->pluginFuncs().write(&embed->npp, &unclaimed, 0, 4, bytes), -1);

    auto download = std::make_shared<Download>();
    streamTestControl.unsolicited = [&](FB::BrowserStreamRequest& request) {
        request.setCallback(wholeDownload("/x", download).getCallback());
        request.setAccepted();
    };
    const int accepted = browser->streams().offer(&embed->npp, url("/data/70000?seed=5"));
    ASSERT_TRUE(pumpUntil([&] { return download->calls > 0; }));
    EXPECT_TRUE(download->success);
    EXPECT_TRUE(download->bytes == pattern(70000, 5));
    ASSERT_TRUE(pumpUntil([&] { return browser->streams().record(accepted)->endCalls.size() == 1; }));
    EXPECT_THAT(browser->streams().record(accepted)->endCalls, ElementsAre("destroy"));  // no notification
}

TEST_F(NpapiStreams, AnAcceptedStreamTheBrowserStartsGoesToTheCallbackFirstAndElseToTheHandler)
{
    struct Case {
        const char* name;
        bool callback;
        bool handler;
        bool downloaded;                // the callback got the whole body
        std::vector<std::string> seen;  // what the handler saw
    };
    const Case cases[] = {
        {"callback and handler: the callback takes it", true, true, true, {}},
        {"callback only", true, false, true, {}},
        {"handler only", false, true, false, {"Created", "Opened", "Data", "Completed(true)", "Destroyed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto download = std::make_shared<Download>();
        auto log = std::make_shared<EventLog>();
        streamTestControl.unsolicited = [&](FB::BrowserStreamRequest& request) {
            if (c.callback) request.setCallback(wholeDownload("/x", download).getCallback());
            if (c.handler) request.setEventHandler(log);
            request.setAccepted();
        };
        const int offered = browser->streams().offer(&embed->npp, url("/data/70000?seed=6"));
        ASSERT_TRUE(pumpUntil([&] { return browser->streams().record(offered)->endCalls.size() == 1; }));
        browser->pump();
        EXPECT_EQ(download->calls, c.downloaded ? 1 : 0);
        if (c.downloaded) {
            EXPECT_TRUE(download->bytes == pattern(70000, 6));
        }
        EXPECT_EQ(log->names, c.seen);
        if (c.handler && !c.callback) {
            EXPECT_EQ(log->received, 70000u);
        }
    }
}

TEST_F(NpapiStreams, ARequestTheBrowserRefusesGivesNoStreamAndNoCallback)
{
    TestBrowser::Config changed;
    changed.missing = {"geturlnotify"};
    restart(changed);
    auto download = std::make_shared<Download>();
    EXPECT_EQ(host->openStreamForRequest(wholeDownload("/data/10", download), true), nullptr);
    browser->pump();
    EXPECT_EQ(download->calls, 0);
    EXPECT_EQ(FB::Npapi::NpapiStream::liveCount(), liveBefore);
}

TEST_F(NpapiStreams, DestroyingTheInstanceMidDownloadFailsTheDownloadOnce)
{
    auto download = std::make_shared<Download>();
    auto log = std::make_shared<EventLog>();
    FB::BrowserStreamRequest request = wholeDownload("/data/200000?chunk=4096&delay=0.02", download);
    request.setEventHandler(log);
    ASSERT_NE(FB::SimpleStreamHelper::asyncRequest(host, request), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return !log->chunks.empty(); }));
    host.reset();
    browser->destroyInstance(embed);
    EXPECT_EQ(download->calls, 1);
    EXPECT_FALSE(download->success);
    EXPECT_GT(download->size, 0u);
    EXPECT_EQ(log->count("Completed(false)"), 1);
    EXPECT_THAT(lastRecord().endCalls, ElementsAre("destroy", "notify"));
}

// ---- the browser's own bounds ----------------------------------------------------------------------

TEST_F(NpapiStreams, TheBrowsersOwnDownloadKeepsItsCallersTimeOutWhateverTheServerDoes)
{
    const ULONGLONG started = GetTickCount64();
    EXPECT_FALSE(browser->streams().fetchDirect(url("/never"), 1500));
    EXPECT_LT(GetTickCount64() - started, 5000u);  // not held by a worker still waiting for the answer
}

TEST_F(NpapiStreams, AServerThatNeverAnswersFailsTheStreamAfterTheReceiveTimeOut)
{
    browser->streams().settings().receiveTimeoutMs = 1000;
    auto download = std::make_shared<Download>();
    auto log = std::make_shared<EventLog>();
    FB::BrowserStreamRequest request = wholeDownload("/never", download);
    request.setEventHandler(log);
    ASSERT_NE(FB::SimpleStreamHelper::asyncRequest(host, request), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return download->calls > 0; }, 10000));
    EXPECT_FALSE(download->success);
    EXPECT_THAT(log->names, ElementsAre("Created", "FailedOpen", "Completed(false)", "Destroyed"));
}

// ---- proxy ---------------------------------------------------------------------------------------------

TEST_F(NpapiStreams, TheBrowsersProxyAnswerBecomesSettings)
{
    struct Case {
        std::optional<std::string> answer;
        const char* url;
        bool found;
        const char* type;
        const char* hostname;
        const char* port;
    };
    const Case cases[] = {
        {"DIRECT", "http://x/", false, nullptr, nullptr, nullptr},
        {"PROXY h:3128", "https://x/", true, "https", "h", "3128"},
        {"SOCKS s:1080", "http://x/", true, "socks", "s", "1080"},
        {"PROXY a:1; DIRECT", "http://x/", true, "http", "a", "1"},
        {"PROXY h", "http://x/", false, nullptr, nullptr, nullptr},
        {"PROXY h:", "http://x/", false, nullptr, nullptr, nullptr},
        {"", "http://x/", false, nullptr, nullptr, nullptr},
        {std::nullopt, "http://x/", false, nullptr, nullptr, nullptr},  // the browser fails the call
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.value_or("(failure)"));
        browser->streams().settings().proxyAnswer = c.answer;
        std::map<std::string, std::string> settings{{"kept", "1"}};
        EXPECT_EQ(host->proxySettingsFor(c.url, settings), c.found);
        if (!c.found) {
            EXPECT_EQ(settings.count("kept"), 1u);  // untouched
            continue;
        }
        EXPECT_EQ(settings.size(), 3u);
        EXPECT_EQ(settings["type"], c.type);
        EXPECT_EQ(settings["hostname"], c.hostname);
        EXPECT_EQ(settings["port"], c.port);
    }
}

TEST_F(NpapiStreams, WithoutTheBrowsersProxyEntryTheSystemSettingDecides)
{
    TestBrowser::Config changed;
    changed.missing = {"getvalueforurl"};
    restart(changed);
    std::map<std::string, std::string> settings{{"stale", "1"}};
    EXPECT_FALSE(host->proxySettingsFor("http://x/", settings));  // the test prefix has no proxy
    EXPECT_TRUE(settings.empty());
}

}  // namespace
