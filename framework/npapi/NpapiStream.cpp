// The NPAPI stream. Streams are registered by address while they live, which is
// how pointers coming back from the browser are checked before use.
#include "NpapiStream.h"

#include "BrowserStreamRequest.h"
#include "NpapiBrowserHost.h"
#include "PluginEvents.h"

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>

namespace FB {
namespace Npapi {

namespace {

struct Registry {
    struct Entry {
        std::weak_ptr<NpapiStream> stream;
        const NpapiBrowserHost* host;
    };
    std::mutex lock;
    std::map<const void*, Entry> streams;
};

Registry& registry()
{
    static Registry* streams = new Registry;  // lives as long as the process
    return *streams;
}

}  // namespace

std::shared_ptr<NpapiStream> NpapiStream::create(const std::string& url, bool cache, bool seekable, uint32_t bufferSize,
    const std::shared_ptr<NpapiBrowserHost>& host)
{
    std::shared_ptr<NpapiStream> stream(new NpapiStream(url, cache, seekable, bufferSize, host));
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.streams[stream.get()] = {stream, host.get()};
    return stream;
}

NpapiStream::NpapiStream(const std::string& url, bool cache, bool seekable, uint32_t bufferSize,
    const std::shared_ptr<NpapiBrowserHost>& host)
    : BrowserStream(url, cache, seekable, bufferSize ? bufferSize : BrowserStreamRequest::kDefaultBufferSize),
      host(host),
      hostKey(host.get())
{
}

NpapiStream::~NpapiStream()
{
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> guard(r.lock);
        r.streams.erase(this);
    }
    // Still connected: the browser's stream goes too.
    if (stream) {
        if (auto owner = host.lock()) owner->DestroyStream(stream, NPRES_USER_BREAK);
        stream = nullptr;
    }
}

std::shared_ptr<NpapiStream> NpapiStream::fromBrowser(void* pointer)
{
    if (!pointer) return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto found = r.streams.find(pointer);
    return found == r.streams.end() ? nullptr : found->second.stream.lock();
}

void NpapiStream::abandonAll(const NpapiBrowserHost* owner)
{
    std::vector<std::shared_ptr<NpapiStream>> abandoned;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> guard(r.lock);
        for (auto& [key, entry] : r.streams)
            if (entry.host == owner)
                if (auto live = entry.stream.lock()) abandoned.push_back(std::move(live));
    }
    for (const auto& stream : abandoned) {
        stream->stream = nullptr;
        stream->setOpen(false);
        if (!stream->isCompleted()) {
            stream->setCompleted(true);
            StreamCompletedEvent completed(stream.get(), false);
            stream->sendEvent(completed);
        }
        stream->destroyedByBrowser = true;
        stream->urlNotified_ = true;
        stream->self.reset();
    }
}

size_t NpapiStream::liveCount()
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.streams.size();
}

void NpapiStream::keepSelfAlive()
{
    self = std::static_pointer_cast<NpapiStream>(selfPointer());
}

void NpapiStream::releaseSelf()
{
    std::shared_ptr<NpapiStream> dropped = std::move(self);
}

void NpapiStream::streamDestroyed()
{
    destroyedByBrowser = true;
    releaseWhenForgotten();
}

void NpapiStream::urlNotified()
{
    urlNotified_ = true;
    releaseWhenForgotten();
}

void NpapiStream::releaseWhenForgotten()
{
    if (destroyedByBrowser && urlNotified_) releaseSelf();
}

int32_t NpapiStream::signalDataArrived(const void* buffer, int32_t length, int32_t offset)
{
    if (!buffer || length < 0 || offset < 0) return -1;
    const uint32_t bufferSize = std::min<uint32_t>(getBufferSize(), std::numeric_limits<int32_t>::max());
    const int32_t consumed = std::min<int32_t>(length, static_cast<int32_t>(bufferSize));
    if (consumed == 0 || !isOpen()) return consumed;
    const size_t start = static_cast<size_t>(offset);
    StreamDataArrivedEvent arrived(
        this, buffer, static_cast<size_t>(consumed), start, progressAt(start + static_cast<size_t>(length)));
    sendEvent(arrived);
    return consumed;
}

void NpapiStream::signalOpened()
{
    setOpen(true);
    StreamOpenedEvent opened(this);
    sendEvent(opened);
}

void NpapiStream::signalFailedOpen()
{
    StreamFailedOpenEvent failed(this);
    sendEvent(failed);
}

void NpapiStream::signalCompleted(bool success)
{
    if (isCompleted()) return;
    if (success && isSeekable()) return;  // stays open for range reads
    std::shared_ptr<BrowserStream> keep = selfPointer();
    setCompleted(true);
    disconnect();
    StreamCompletedEvent completed(this, success);
    sendEvent(completed);
}

void NpapiStream::setCacheFileName(const std::wstring& value)
{
    BrowserStream::setCacheFileName(value);
}

void NpapiStream::setStream(NPStream* value)
{
    stream = value;
    if (value) connectedOnce = true;
}

NPStream* NpapiStream::getStream() const
{
    return stream;
}

std::shared_ptr<NpapiBrowserHost> NpapiStream::getHost() const
{
    return host.lock();
}

bool NpapiStream::readRanges(const std::vector<Range>& ranges)
{
    if (!stream || !isSeekable() || !isOpen()) return false;
    if (ranges.empty()) return true;
    std::vector<NPByteRange> list(ranges.size());
    for (size_t i = 0; i < ranges.size(); ++i) {
        const Range& range = ranges[i];
        if (range.end <= range.start || range.start > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
            range.end - range.start > std::numeric_limits<uint32_t>::max())
            return false;
        list[i].offset = static_cast<int32_t>(range.start);
        list[i].length = static_cast<uint32_t>(range.end - range.start);
        list[i].next = i + 1 < list.size() ? &list[i + 1] : nullptr;
    }
    auto owner = host.lock();
    return owner && owner->RequestRead(stream, list.data()) == NPERR_NO_ERROR;
}

bool NpapiStream::write(const char* data, size_t length, size_t& written)
{
    written = 0;
    if (!stream || !isOpen() || length > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
    auto owner = host.lock();
    if (!owner) return false;
    const int32_t answer = owner->Write(stream, static_cast<int32_t>(length), const_cast<char*>(data));
    if (answer < 0) return false;  // an error, nothing written
    written = static_cast<size_t>(answer);
    return written == length;
}

bool NpapiStream::close()
{
    if (!stream) return false;
    std::shared_ptr<BrowserStream> keep = selfPointer();
    if (isOpen() && !isCompleted()) {
        setCompleted(true);
        StreamCompletedEvent completed(this, isSeekable());
        sendEvent(completed);
    }
    if (!stream) return true;  // an observer closed it meanwhile
    return disconnect();
}

bool NpapiStream::disconnect()
{
    if (!stream) return false;
    NPStream* browserStream = stream;
    setOpen(false);
    auto owner = host.lock();
    const NPError answer = owner ? owner->DestroyStream(browserStream, NPRES_USER_BREAK) : NPERR_GENERIC_ERROR;
    if (stream == browserStream) stream = nullptr;    // unless the browser's destroy call came back already
    if (answer != NPERR_NO_ERROR) streamDestroyed();  // no destroy call will come back
    return answer == NPERR_NO_ERROR;
}

}  // namespace Npapi
}  // namespace FB
