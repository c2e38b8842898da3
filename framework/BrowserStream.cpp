#include "BrowserStream.h"

#include "PluginEvents.h"

namespace FB {

BrowserStream::BrowserStream(std::string url, bool cache, bool seekableRequested, uint32_t internalBufferSize)
    : url(std::move(url)), seekableRequested(seekableRequested), cached(cache), internalBufferSize(internalBufferSize)
{
}

BrowserStream::~BrowserStream()
{
    StreamDestroyedEvent destroyed(this);
    try {
        dispatchEvent(&destroyed);
    } catch (...) {
        // A destructor never throws; a failing listener only misses the event.
    }
}

std::shared_ptr<BrowserStream> BrowserStream::selfPointer()
{
    return std::static_pointer_cast<BrowserStream>(shared_from_this());
}

bool BrowserStream::sendEvent(PluginEvent& event)
{
    std::shared_ptr<PluginEventSource> keep = weak_from_this().lock();
    return dispatchEvent(&event);
}

float BrowserStream::progressAt(size_t end) const
{
    uint32_t total = getLength();
    if (total == 0) return 0.0f;
    return static_cast<float>(static_cast<double>(end) / static_cast<double>(total) * 100.0);
}

bool BrowserStream::readRange(size_t start, size_t end)
{
    return readRanges({Range{start, end}});
}

std::string BrowserStream::getUrl() const
{
    return url;
}
bool BrowserStream::isSeekableByServer() const
{
    return seekableByServer;
}
bool BrowserStream::isSeekableRequested() const
{
    return seekableRequested;
}
bool BrowserStream::isSeekable() const
{
    return isSeekableRequested() && isSeekableByServer();
}
bool BrowserStream::isCached() const
{
    return cached;
}
bool BrowserStream::isCompleted() const
{
    return completed;
}
bool BrowserStream::isOpen() const
{
    return opened;
}
std::string BrowserStream::getMimeType() const
{
    return mimeType;
}
std::wstring BrowserStream::getCacheFileName() const
{
    return cacheFilename;
}
std::string BrowserStream::getHeaders() const
{
    return headers;
}
uint32_t BrowserStream::getBufferSize() const
{
    return internalBufferSize;
}
uint32_t BrowserStream::getLength() const
{
    return length;
}

void BrowserStream::setUrl(const std::string& value)
{
    url = value;
}
void BrowserStream::setSeekableByServer(bool value)
{
    seekableByServer = value;
}
void BrowserStream::setCached(bool value)
{
    cached = value;
}
void BrowserStream::setCompleted(bool value)
{
    completed = value;
}
void BrowserStream::setOpen(bool value)
{
    opened = value;
}
void BrowserStream::setMimeType(const std::string& value)
{
    mimeType = value;
}
void BrowserStream::setCacheFileName(const std::wstring& value)
{
    cacheFilename = value;
}
void BrowserStream::setHeaders(const std::string& value)
{
    headers = value;
}
void BrowserStream::setBufferSize(uint32_t value)
{
    internalBufferSize = value;
}
void BrowserStream::setLength(uint32_t value)
{
    length = value;
}

}  // namespace FB
