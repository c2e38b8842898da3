// stream_fetch: downloads a URL as a browser stream on either road and tells
// what happened: one "event <Name> ..." line per stream event, then
// "result success=<0|1> size=<bytes> callbacks=<n> completions=<n>".
//
//   stream_fetch npapi|activex URL [--post DATA] [--ranges A-B[,C-D...]] [--buffer N]
//                [--close-after BYTES] [--out FILE] [--timeout SECONDS] [--idle-timeout SECONDS]
//   stream_fetch proxy URL
//
// The NPAPI road runs in the test browser (the plug-in's framework linked in,
// the browser fetching through WinINet); the URL-moniker road on this thread,
// which pumps messages. Without --ranges the stream is one whole download
// through the completion callback; with --ranges it is a seekable stream whose
// ranges (end exclusive) are read once it opens and written at their offsets.
// --close-after closes the stream twice once that many bytes arrived.
// --timeout is the driver's own patience; --idle-timeout how long the road's
// download may hear nothing from the server before it fails (the test
// browser's connect and receive time-outs, the URL-moniker streams' idle limit).
//
// Exit status: 0 success, 1 failure, 2 usage error or timeout.
#include "ActiveXStream.h"
#include "BrowserHost.h"
#include "BrowserStreamRequest.h"
#include "MonikerTestHost.h"
#include "NpapiBrowserHost.h"
#include "PluginEvents.h"
#include "SimpleStreamHelper.h"
#include "StreamTestFactory.h"
#include "SystemProxyDetector.h"
#include "BrowserStreams.h"
#include "TestBrowser.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string road;
    std::string url;
    std::optional<std::string> post;
    std::vector<FB::BrowserStream::Range> ranges;
    uint32_t buffer = 0;
    std::optional<size_t> closeAfter;
    std::string out;
    DWORD timeoutMs = 60000;
    DWORD idleTimeoutMs = 0;  // the road's own default
};

int usage(const char* problem)
{
    std::fprintf(stderr,
        "stream_fetch: %s\n"
        "usage: stream_fetch npapi|activex URL [--post DATA] [--ranges A-B[,C-D...]] [--buffer N]\n"
        "                    [--close-after BYTES] [--out FILE] [--timeout SECONDS] [--idle-timeout SECONDS]\n"
        "       stream_fetch proxy URL\n",
        problem);
    return 2;
}

std::optional<size_t> number(const std::string& text)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return static_cast<size_t>(std::strtoull(text.c_str(), nullptr, 10));
}

bool parseRanges(const std::string& text, std::vector<FB::BrowserStream::Range>& ranges)
{
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(',', at);
        std::string item = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        size_t dash = item.find('-');
        if (dash == std::string::npos) return false;
        std::optional<size_t> start = number(item.substr(0, dash));
        std::optional<size_t> stop = number(item.substr(dash + 1));
        if (!start || !stop) return false;
        ranges.push_back({*start, *stop});
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return !ranges.empty();
}

// Prints the stream's events and drives the --close-after and --ranges modes.
class Reporter : public FB::PluginEventSink {
public:
    Reporter(const Options& options, FILE* out) : options(options), out(out)
    {
        for (const auto& range : options.ranges) wanted += range.end - range.start;
    }

    bool onPluginEvent(FB::PluginEvent* event, FB::PluginEventSource* source) override
    {
        auto* stream = dynamic_cast<FB::BrowserStream*>(source);
        if (dynamic_cast<FB::StreamCreatedEvent*>(event)) std::printf("event Created\n");
        if (dynamic_cast<FB::StreamFailedOpenEvent*>(event)) std::printf("event FailedOpen\n");
        if (dynamic_cast<FB::StreamDestroyedEvent*>(event)) std::printf("event Destroyed\n");
        if (auto* completed = dynamic_cast<FB::StreamCompletedEvent*>(event)) {
            std::printf("event Completed success=%d\n", completed->success ? 1 : 0);
            ++completions;
            completedWell = completed->success;
        }
        if (dynamic_cast<FB::StreamOpenedEvent*>(event)) {
            std::printf("event Opened\n");
            if (!options.ranges.empty() && stream) {
                bool answer = stream->readRanges(options.ranges);
                std::printf("readRanges answer=%d\n", answer ? 1 : 0);
                if (!answer) refused = true;
            }
        }
        if (auto* data = dynamic_cast<FB::StreamDataArrivedEvent*>(event)) {
            std::printf("event DataArrived offset=%zu length=%zu progress=%.1f\n", data->offset, data->length,
                static_cast<double>(data->progress));
            received += data->length;
            if (!options.ranges.empty() && out) {
                std::fseek(out, static_cast<long>(data->offset), SEEK_SET);
                std::fwrite(data->data, 1, data->length, out);
            }
            if (options.closeAfter && !closed && received >= *options.closeAfter && stream) {
                closed = true;
                const bool first = stream->close();
                const bool second = stream->close();
                std::printf("close answer=%d\nclose answer=%d\n", first ? 1 : 0, second ? 1 : 0);
            }
            if (!options.ranges.empty() && received >= wanted && !closed && stream) {
                closed = true;
                stream->close();
            }
        }
        std::fflush(stdout);
        return false;
    }

    const Options& options;
    FILE* out;
    size_t wanted = 0;
    size_t received = 0;
    int completions = 0;
    bool completedWell = false;
    bool closed = false;
    bool refused = false;
};

struct Outcome {
    int callbacks = 0;
    bool success = false;
    size_t size = 0;
};

// One download on the given host; `pump` runs the road's main thread until done or the time is up.
int fetch(const Options& options, const std::shared_ptr<FB::BrowserHost>& host,
    const std::function<bool(const std::function<bool()>&, DWORD)>& pump)
{
    FILE* out = nullptr;
    if (!options.out.empty() && !(out = std::fopen(options.out.c_str(), "wb"))) return usage("cannot write --out");
    auto reporter = std::make_shared<Reporter>(options, out);
    FB::BrowserStreamRequest request(options.url, options.post ? "POST" : "GET");
    if (options.post) request.setPostData(*options.post);
    request.setBufferSize(options.buffer);
    request.setEventHandler(reporter);
    Outcome outcome;
    std::shared_ptr<FB::BrowserStream> stream;
    std::shared_ptr<FB::SimpleStreamHelper> helper;
    bool finished = false;
    if (options.ranges.empty()) {
        request.setCallback([&](bool success, const FB::HeaderMap&, const FB::StreamData& data, size_t size) {
            ++outcome.callbacks;
            outcome.success = success;
            outcome.size = size;
            if (success && out && data) std::fwrite(data.get(), 1, size, out);
        });
        helper = FB::SimpleStreamHelper::asyncRequest(host, request);
        finished = pump([&] { return outcome.callbacks > 0 || !helper; }, options.timeoutMs);
    } else {
        request.setSeekable(true);
        stream = host->openStreamForRequest(request, false);
        finished = pump([&] { return !stream || reporter->completions > 0 || reporter->refused; }, options.timeoutMs);
        if (stream && !stream->isCompleted()) stream->close();
        outcome.success = reporter->completedWell && reporter->received == reporter->wanted;
        outcome.size = reporter->received;
    }
    // A download still running (a timeout) ends here, while what it reports to still exists.
    if (helper && helper->getStream()) helper->getStream()->close();
    if (stream) stream->close();
    helper.reset();
    stream.reset();
    pump([] { return false; }, 50);  // what the end still brings (the browser's last calls)
    reporter->out = nullptr;
    if (out) std::fclose(out);
    std::printf("result success=%d size=%zu callbacks=%d completions=%d\n", outcome.success ? 1 : 0, outcome.size,
        outcome.callbacks, reporter->completions);
    if (!finished) {
        std::fprintf(stderr, "stream_fetch: timed out\n");
        return 2;
    }
    return outcome.success ? 0 : 1;
}

int fetchThroughTestBrowser(const Options& options)
{
    TestBrowser::Config config;
    config.logCalls = false;
    TestBrowser::Browser browser(config);
    if (options.idleTimeoutMs) {
        browser.streams().settings().connectTimeoutMs = options.idleTimeoutMs;
        browser.streams().settings().receiveTimeoutMs = options.idleTimeoutMs;
    }
    if (!browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown))
        return usage("the test browser could not load the plug-in");
    if (!browser.createInstance("plugin", "application/x-stagecast-streams", {})) return usage("no plug-in instance");
    auto host = streamTestControl.lastCore.lock()->getHost();
    int status = fetch(options, host,
        [&](const std::function<bool()>& done, DWORD timeoutMs) { return browser.pumpUntil(done, timeoutMs); });
    host.reset();
    browser.shutdownPlugin();
    for (const std::string& problem : browser.problems()) std::fprintf(stderr, "test browser: %s\n", problem.c_str());
    return browser.problems().empty() ? status : 1;
}

int fetchThroughUrlMonikers(const Options& options)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return usage("COM is not available");
    FB::ActiveX::ActiveXStream::setIdleLimit(options.idleTimeoutMs);
    int status;
    {
        auto host = std::make_shared<MonikerTestHost>();
        status = fetch(options, host,
            [&](const std::function<bool()>& done, DWORD timeoutMs) { return host->pumpUntil(done, timeoutMs); });
        host->shutDownHost();
    }
    CoUninitialize();
    return status;
}

int detectProxy(const std::string& url)
{
    std::map<std::string, std::string> settings;
    if (!FB::SystemProxyDetector::get()->detectProxy(url, settings)) {
        std::printf("proxy none\n");
        return 0;
    }
    std::printf("proxy type=%s hostname=%s port=%s\n", settings["type"].c_str(), settings["hostname"].c_str(),
        settings["port"].c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    if (argc < 3) return usage("a road and a URL are needed");
    Options options;
    options.road = argv[1];
    options.url = argv[2];
    if (options.road == "proxy") return argc == 3 ? detectProxy(options.url) : usage("proxy takes only a URL");
    if (options.road != "npapi" && options.road != "activex") return usage("the road is npapi, activex or proxy");
    for (int i = 3; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) return usage(("a value is missing after " + name).c_str());
        const std::string value = argv[++i];
        if (name == "--post") {
            options.post = value;
        } else if (name == "--ranges") {
            if (!parseRanges(value, options.ranges)) return usage("--ranges takes A-B[,C-D...]");
        } else if (name == "--buffer") {
            std::optional<size_t> size = number(value);
            if (!size || *size > UINT32_MAX) return usage("--buffer takes a number of bytes");
            options.buffer = static_cast<uint32_t>(*size);
        } else if (name == "--close-after") {
            if (!(options.closeAfter = number(value))) return usage("--close-after takes a number of bytes");
        } else if (name == "--out") {
            options.out = value;
        } else if (name == "--timeout") {
            std::optional<size_t> seconds = number(value);
            if (!seconds || *seconds > 3600) return usage("--timeout takes seconds");
            options.timeoutMs = static_cast<DWORD>(*seconds * 1000);
        } else if (name == "--idle-timeout") {
            std::optional<size_t> seconds = number(value);
            if (!seconds || *seconds == 0 || *seconds > 3600) return usage("--idle-timeout takes seconds");
            options.idleTimeoutMs = static_cast<DWORD>(*seconds * 1000);
        } else {
            return usage(("unknown option " + name).c_str());
        }
    }
    int status = options.road == "npapi" ? fetchThroughTestBrowser(options) : fetchThroughUrlMonikers(options);
    std::fflush(stdout);
    return status;
}
