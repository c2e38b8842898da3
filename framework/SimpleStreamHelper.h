// FB::SimpleStreamHelper: collects a whole download into one buffer and hands
// it to the request's completion callback, once.
//
//     request.setCallback([](bool ok, const FB::HeaderMap& headers, const FB::StreamData& data, size_t size) {});
//     FB::SimpleStreamHelper::asyncRequest(host, request);  // or host->openStreamForRequest(request, true)
//
// Data is placed by its offset into blocks of the request's buffer size (0
// means the default), so blocks that arrive out of order land where they
// belong; the download's size is the highest end seen. On a successful end the
// blocks are joined into one array. A stream that is not seekable must cover
// every byte from 0 to its end: a gap fails the download rather than deliver
// wrong bytes (a seekable stream's gaps read as zeros).
//
// The callback runs exactly once: (true, headers, data, size) on success;
// (false, no headers, no data, bytes received) when the stream fails, when a
// buffer cannot be allocated, or when the stream goes away (or lets the helper
// go) without completing. A helper keeps itself alive until then.
//
// Threading: made on the browser's main thread (asyncRequest and
// makeForRequest hop there from other threads); events and the callback run on
// it.
#pragma once

#include "BrowserStreamRequest.h"
#include "DefaultBrowserStreamHandler.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace FB {

class BrowserHost;

class SimpleStreamHelper : public DefaultBrowserStreamHandler {
public:
    // Opens the request's stream with the helper attached before the browser is
    // asked to start it. Throws std::runtime_error "Invalid callback" when the
    // request has no callback. Empty (and no callback ever runs) when the
    // browser gives no stream.
    static std::shared_ptr<SimpleStreamHelper> asyncRequest(
        const std::shared_ptr<BrowserHost>& host, const BrowserStreamRequest& request);
    // Attaches a new helper to a stream that exists already.
    static std::shared_ptr<SimpleStreamHelper> makeForRequest(
        const std::shared_ptr<BrowserHost>& host, const BrowserStreamPtr& stream, const BrowserStreamRequest& request);

    SimpleStreamHelper(StreamCompletionCallback callback, uint32_t blockSize);
    ~SimpleStreamHelper() override;

    bool onAttached(AttachedEvent* event, BrowserStream* stream) override;
    bool onDetached(DetachedEvent* event, BrowserStream* stream) override;
    bool onStreamDestroyed(StreamDestroyedEvent* event, BrowserStream* stream) override;
    bool onStreamDataArrived(StreamDataArrivedEvent* event, BrowserStream* stream) override;
    bool onStreamOpened(StreamOpenedEvent* event, BrowserStream* stream) override;
    bool onStreamCompleted(StreamCompletedEvent* event, BrowserStream* stream) override;

private:
    void place(const uint8_t* data, size_t length, size_t offset);
    // True when the bytes [0, end) all arrived.
    bool coversWholeRange() const;
    StreamData joinBlocks();
    // Runs the callback (once) and lets the helper go.
    void finish(bool success, const HeaderMap& headers, const StreamData& data, size_t size);
    void failIfUnfinished();

    std::vector<std::unique_ptr<uint8_t[]>> blocks;  // block i holds [i * blockSize, (i + 1) * blockSize)
    std::map<uint64_t, uint64_t> covered;            // merged byte ranges that arrived: start -> end
    uint64_t highestEnd = 0;
    uint32_t blockSize;
    uint64_t received = 0;
    StreamCompletionCallback callback;
    std::shared_ptr<SimpleStreamHelper> self;
    bool finished = false;
    // Set while asyncRequest waits for the browser's answer: a stream dropped
    // because the browser refused it runs no callback.
    bool starting = false;
    // An observer of the request attached beside the helper.
    std::shared_ptr<PluginEventSink> companion;
};

}  // namespace FB
