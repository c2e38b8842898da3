#include "SimpleStreamHelper.h"

#include "BrowserHost.h"
#include "TraceLog.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace FB {

std::shared_ptr<SimpleStreamHelper> SimpleStreamHelper::asyncRequest(
    const std::shared_ptr<BrowserHost>& host, const BrowserStreamRequest& request)
{
    if (!request.getCallback()) throw std::runtime_error("Invalid callback");
    if (!host->isMainThread()) return host->mainThreadCall([host, request] { return asyncRequest(host, request); });

    auto helper = std::make_shared<SimpleStreamHelper>(request.getCallback(), request.internalBufferSize);
    helper->self = helper;
    helper->companion = request.getEventHandler();
    // The browser may deliver the whole download inside the start call, so the
    // helper observes the stream before the browser is asked.
    BrowserStreamRequest own = request;
    own.setEventHandler(helper);
    helper->starting = true;
    BrowserStreamPtr stream;
    try {
        stream = host->openStreamForRequest(own, false);
    } catch (...) {
        helper->starting = false;
        helper->finished = true;
        helper->callback = nullptr;
        helper->self.reset();
        throw;
    }
    helper->starting = false;
    if (!stream) {
        helper->finished = true;
        helper->callback = nullptr;
        helper->releaseStream();
        helper->self.reset();
        return nullptr;
    }
    if (!helper->finished && !helper->getStream()) stream->addObserver(helper);
    return helper;
}

std::shared_ptr<SimpleStreamHelper> SimpleStreamHelper::makeForRequest(
    const std::shared_ptr<BrowserHost>& host, const BrowserStreamPtr& stream, const BrowserStreamRequest& request)
{
    if (!host->isMainThread())
        return host->mainThreadCall([host, stream, request] { return makeForRequest(host, stream, request); });
    auto helper = std::make_shared<SimpleStreamHelper>(request.getCallback(), request.internalBufferSize);
    helper->self = helper;
    stream->addObserver(helper);
    return helper;
}

SimpleStreamHelper::SimpleStreamHelper(StreamCompletionCallback callback, uint32_t blockSize)
    : blockSize(blockSize ? blockSize : BrowserStreamRequest::kDefaultBufferSize), callback(std::move(callback))
{
}

SimpleStreamHelper::~SimpleStreamHelper() = default;

bool SimpleStreamHelper::onAttached(AttachedEvent* event, BrowserStream* attachedTo)
{
    DefaultBrowserStreamHandler::onAttached(event, attachedTo);
    if (std::shared_ptr<PluginEventSink> next = std::exchange(companion, nullptr)) attachedTo->addObserver(next);
    return false;
}

bool SimpleStreamHelper::onDetached(DetachedEvent*, BrowserStream*)
{
    failIfUnfinished();
    releaseStream();
    return false;
}

bool SimpleStreamHelper::onStreamDestroyed(StreamDestroyedEvent*, BrowserStream*)
{
    failIfUnfinished();
    releaseStream();
    return false;
}

bool SimpleStreamHelper::onStreamOpened(StreamOpenedEvent*, BrowserStream*)
{
    return false;
}

bool SimpleStreamHelper::onStreamDataArrived(StreamDataArrivedEvent* event, BrowserStream*)
{
    if (finished) return false;
    try {
        place(static_cast<const uint8_t*>(event->data), event->length, event->offset);
    } catch (const std::exception& e) {
        trace("SimpleStreamHelper", std::string("Buffering failed: ") + e.what());
        finish(false, {}, nullptr, static_cast<size_t>(received));
    }
    return false;
}

bool SimpleStreamHelper::onStreamCompleted(StreamCompletedEvent* event, BrowserStream* completedStream)
{
    if (finished) return false;
    if (!event->success || (!coversWholeRange() && !completedStream->isSeekable())) {
        finish(false, {}, nullptr, static_cast<size_t>(received));
        return false;
    }
    StreamData joined;
    try {
        joined = joinBlocks();
    } catch (const std::exception& e) {
        trace("SimpleStreamHelper", std::string("Joining the download failed: ") + e.what());
        finish(false, {}, nullptr, static_cast<size_t>(received));
        return false;
    }
    finish(true, parseHeaders(completedStream->getHeaders()), joined, static_cast<size_t>(highestEnd));
    return false;
}

void SimpleStreamHelper::place(const uint8_t* bytes, size_t length, size_t offset)
{
    if (!length || !bytes) return;
    const uint64_t start = offset;
    // The download is joined into one array at the end, so no byte may lie beyond the largest object.
    constexpr uint64_t kLargestObject = static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());
    const uint64_t end = start + length;  // both are at most SIZE_MAX: no wrap in 64 bits
    if (end > kLargestObject) throw std::length_error("block beyond the address space");
    uint64_t position = start;
    while (position < end) {
        const size_t index = static_cast<size_t>(position / blockSize);
        if (index >= blocks.size()) blocks.resize(index + 1);
        // Not zeroed: joinBlocks zeroes what never arrived, so every byte is written once.
        if (!blocks[index]) blocks[index] = std::make_unique_for_overwrite<uint8_t[]>(blockSize);
        const uint64_t inBlock = position % blockSize;
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(end - position, blockSize - inBlock));
        std::memcpy(blocks[index].get() + inBlock, bytes + (position - start), piece);
        position += piece;
    }

    // Merge [start, end) into the covered ranges.
    uint64_t mergedStart = start;
    uint64_t mergedEnd = end;
    auto next = covered.upper_bound(start);
    if (next != covered.begin()) {
        auto previous = std::prev(next);
        if (previous->second >= start) {
            mergedStart = previous->first;
            mergedEnd = std::max(mergedEnd, previous->second);
            next = covered.erase(previous);
        }
    }
    while (next != covered.end() && next->first <= mergedEnd) {
        mergedEnd = std::max(mergedEnd, next->second);
        next = covered.erase(next);
    }
    covered.emplace(mergedStart, mergedEnd);

    received += length;
    highestEnd = std::max(highestEnd, end);
}

bool SimpleStreamHelper::coversWholeRange() const
{
    if (highestEnd == 0) return true;
    return covered.size() == 1 && covered.begin()->first == 0 && covered.begin()->second == highestEnd;
}

StreamData SimpleStreamHelper::joinBlocks()
{
    if (highestEnd == 0) return nullptr;
    const size_t size = static_cast<size_t>(highestEnd);
    StreamData joined = std::make_shared_for_overwrite<uint8_t[]>(size);
    for (size_t i = 0; i < blocks.size() && i * static_cast<uint64_t>(blockSize) < highestEnd; ++i) {
        const size_t at = i * blockSize;
        if (blocks[i]) std::memcpy(joined.get() + at, blocks[i].get(), std::min<size_t>(blockSize, size - at));
    }
    blocks.clear();
    // The gaps of a seekable stream read as zeros, whatever their blocks held.
    uint64_t end = 0;
    for (const auto& [start, stop] : covered) {
        if (start > end) std::memset(joined.get() + end, 0, static_cast<size_t>(start - end));
        end = stop;
    }
    return joined;
}

void SimpleStreamHelper::finish(bool success, const HeaderMap& headers, const StreamData& joined, size_t size)
{
    if (finished) return;
    finished = true;
    std::shared_ptr<SimpleStreamHelper> keep = std::move(self);
    StreamCompletionCallback done = std::exchange(callback, nullptr);
    blocks.clear();
    covered.clear();
    if (!done) return;
    try {
        done(success, headers, joined, size);
    } catch (const std::exception& e) {
        trace("SimpleStreamHelper", std::string("Completion callback failed: ") + e.what());
    } catch (...) {
        trace("SimpleStreamHelper", "Completion callback failed");
    }
}

void SimpleStreamHelper::failIfUnfinished()
{
    if (finished || starting) return;
    finish(false, {}, nullptr, static_cast<size_t>(received));
}

}  // namespace FB
