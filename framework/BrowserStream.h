// FB::BrowserStream: one URL download done by the browser for the plug-in (or
// offered by the browser on its own), seen as a source of stream events:
// Created, Opened or FailedOpen, DataArrived blocks, Completed once, and
// Destroyed from the destructor.
//
// The browser bindings derive from it (the NPAPI stream, the URL-moniker
// stream) and supply reading ranges, writing and closing; this class keeps the
// flags and texts that both have.
//
// Lifetime: held by shared pointer (the browser binding, the host's stream
// manager and the handlers that observe it). The destructor sends only
// StreamDestroyedEvent; observers must not call the stream back from it.
//
// Threading: used on the browser's main thread, where the browser delivers the
// stream's data.
#pragma once

#include "PluginEventSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace FB {

class PluginEvent;

class BrowserStream : public PluginEventSource {
public:
    // Byte range [start, end).
    struct Range {
        size_t start;
        size_t end;
    };

    BrowserStream(std::string url, bool cache, bool seekableRequested, uint32_t internalBufferSize);
    ~BrowserStream() override;

    virtual std::shared_ptr<BrowserStream> selfPointer();
    virtual bool readRange(size_t start, size_t end);
    virtual bool readRanges(const std::vector<Range>& ranges) = 0;
    virtual bool write(const char* data, size_t length, size_t& written) = 0;
    virtual bool close() = 0;

    virtual std::string getUrl() const;
    virtual bool isSeekableByServer() const;
    virtual bool isSeekableRequested() const;
    // Requested by the plug-in and offered by the server.
    virtual bool isSeekable() const;
    virtual bool isCached() const;
    virtual bool isCompleted() const;
    virtual bool isOpen() const;
    virtual std::string getMimeType() const;
    virtual std::wstring getCacheFileName() const;
    virtual std::string getHeaders() const;
    virtual uint32_t getBufferSize() const;
    virtual uint32_t getLength() const;

    virtual void setUrl(const std::string& value);
    virtual void setSeekableByServer(bool value);
    virtual void setCached(bool value);
    virtual void setCompleted(bool value);
    virtual void setOpen(bool value);
    virtual void setMimeType(const std::string& value);
    virtual void setCacheFileName(const std::wstring& value);
    virtual void setHeaders(const std::string& value);
    virtual void setBufferSize(uint32_t value);
    virtual void setLength(uint32_t value);

protected:
    // Dispatches an event while holding a reference to the stream, so that an
    // observer (the stream manager) may drop the stream during the dispatch.
    bool sendEvent(PluginEvent& event);
    // Progress in percent of a block ending at `end`; 0 when the length is not known.
    float progressAt(size_t end) const;

private:
    std::string url;
    bool seekableRequested;
    bool seekableByServer = false;
    bool cached;
    uint32_t internalBufferSize;
    std::wstring cacheFilename;
    uint32_t length = 0;
    std::string mimeType;
    bool completed = false;
    bool opened = false;
    std::string headers;
};

using BrowserStreamPtr = std::shared_ptr<BrowserStream>;
using BrowserStreamWeakPtr = std::weak_ptr<BrowserStream>;

}  // namespace FB
