// FB::BrowserStreamRequest: what to download as a browser stream, and who hears
// about it.
//
//     FB::BrowserStreamRequest request("http://host/file.bin", "GET");
//     request.setCallback([](bool ok, const FB::HeaderMap& headers, const FB::StreamData& data, size_t size) {});
//     host->openStreamForRequest(request, true);
//
// A request names either an event handler (a sink attached to the new stream
// before the browser starts it) or a completion callback (the whole download
// collected by FB::SimpleStreamHelper and handed over once). A request with both
// takes the event-handler road.
//
// The URL is kept as written: the stream fetches exactly that text, while
// `url` holds its parts (empty when the text does not parse as a URL; the
// browser then decides what it means).
//
// A plain value: copies are independent, and any thread may build one.
#pragma once

#include "ParsedUrl.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace FB {

class PluginEventSink;

// Response headers by name; repeated names keep every value, in text order.
using HeaderMap = std::multimap<std::string, std::string>;
// A whole download: `size` bytes (no array when size is 0).
using StreamData = std::shared_ptr<uint8_t[]>;
using StreamCompletionCallback =
    std::function<void(bool success, const HeaderMap& headers, const StreamData& data, size_t size)>;

// Header lines split at CR and LF; blank lines and lines without ':' skipped;
// name and value trimmed of spaces and tabs.
HeaderMap parseHeaders(std::string_view text);

class BrowserStreamRequest {
public:
    static constexpr uint32_t kDefaultBufferSize = 0x20000;

    BrowserStreamRequest(std::string urlText, std::string method);
    BrowserStreamRequest(const ParsedUrl& url, std::string method);

    // Replaces `headers` with the parse of a raw header text.
    void setHeaders(std::string_view text);

    void setEventHandler(std::shared_ptr<PluginEventSink> handler) { eventHandler = std::move(handler); }
    void setCallback(StreamCompletionCallback value) { callback = std::move(value); }
    void setSeekable(bool value) { seekable = value; }
    void setCacheable(bool value) { cache = value; }
    void setBufferSize(uint32_t value) { internalBufferSize = value; }
    void setPostData(std::string data, std::string headerText = "")
    {
        postData = std::move(data);
        postHeaders = std::move(headerText);
    }
    // The plug-in's answer to a stream the browser offers by itself.
    void setAccepted(bool value = true) { accepted = value; }

    std::shared_ptr<PluginEventSink> getEventHandler() const { return eventHandler; }
    StreamCompletionCallback getCallback() const { return callback; }
    const std::string& getUrl() const { return urlText; }
    bool isAccepted() const { return accepted; }

    ParsedUrl url;
    std::string urlText;
    std::string method;
    HeaderMap headers;  // response headers of a stream the browser offers
    bool seekable = false;
    uint32_t internalBufferSize = kDefaultBufferSize;
    bool cache = false;
    std::shared_ptr<PluginEventSink> eventHandler;
    StreamCompletionCallback callback;
    std::string postData;
    std::string postHeaders;  // extra request header lines of a POST
    bool accepted = false;
};

}  // namespace FB
