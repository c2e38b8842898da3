#include "ActiveXStream.h"

#include "ActiveXStreamRequest.h"
#include "BrowserStreamRequest.h"
#include "PluginEvents.h"

#include <atomic>

namespace FB {
namespace ActiveX {

namespace {
std::atomic<size_t> liveStreams{0};
std::atomic<DWORD> idleLimitMs{ActiveXStream::kDefaultIdleLimitMs};

// IBinding::Abort of a binding whose result is already on its way.
constexpr HRESULT kResultDispatched = static_cast<HRESULT>(0x800C0200);
}  // namespace

std::shared_ptr<ActiveXStream> ActiveXStream::open(const BrowserStreamRequest& request)
{
    auto stream =
        std::make_shared<ActiveXStream>(request.getUrl(), request.cache, request.seekable, request.internalBufferSize);
    if (request.method == "POST") stream->setPost(request.postData, request.postHeaders);
    auto whole = std::make_shared<ActiveXStreamRequest>(stream);
    if (!whole->prepare()) return nullptr;
    if (auto handler = request.getEventHandler()) stream->addObserver(handler);
    stream->createdHeld_ = true;
    stream->starting_ = true;
    const bool started = stream->startRequest(whole);
    stream->starting_ = false;
    // A download that failed inside a start that answered success was no stream to announce.
    if (started && !stream->isCompleted()) stream->announceCreated();
    stream->createdHeld_ = false;
    return stream;
}

ActiveXStream::ActiveXStream(const std::string& url, bool cache, bool seekable, uint32_t bufferSize)
    : BrowserStream(url, cache, seekable, bufferSize ? bufferSize : BrowserStreamRequest::kDefaultBufferSize)
{
    ++liveStreams;
}

ActiveXStream::~ActiveXStream()
{
    --liveStreams;
}

size_t ActiveXStream::liveCount()
{
    return liveStreams.load();
}

void ActiveXStream::setIdleLimit(DWORD ms)
{
    idleLimitMs = ms ? ms : kDefaultIdleLimitMs;
}

DWORD ActiveXStream::idleLimit()
{
    return idleLimitMs.load();
}

void ActiveXStream::setPost(const std::string& data, const std::string& headers)
{
    post_ = true;
    postData_ = data;
    postHeaders_ = headers;
}

bool ActiveXStream::init()
{
    if (isOpen() || responded_ || !requests_.empty()) return true;
    return startRequest(std::make_shared<ActiveXStreamRequest>(std::static_pointer_cast<ActiveXStream>(selfPointer())));
}

bool ActiveXStream::startRequest(const std::shared_ptr<ActiveXStreamRequest>& request)
{
    std::shared_ptr<BrowserStream> keep = selfPointer();
    requests_.insert(request);
    if (request->start()) return true;
    // Refused: the first download ends the stream, a range read only fails
    // (unless the failure was reported inside the start already).
    if (requests_.erase(request) && request->isWhole()) {
        if (!failedOpen_) signalFailedOpen();
        signalCompleted(false);
    }
    return false;
}

bool ActiveXStream::readRanges(const std::vector<Range>& ranges)
{
    if (!isOpen() || !isSeekable() || closing_) return false;
    if (ranges.empty()) return true;
    for (const Range& range : ranges)
        if (range.end <= range.start) return false;
    return startRequest(
        std::make_shared<ActiveXStreamRequest>(std::static_pointer_cast<ActiveXStream>(selfPointer()), ranges));
}

bool ActiveXStream::write(const char*, size_t, size_t& written)
{
    written = 0;
    return false;  // no uploads on this road
}

bool ActiveXStream::abortRequests()
{
    std::set<std::shared_ptr<ActiveXStreamRequest>> running;
    running.swap(requests_);  // their ends, when they come, find nothing to complete
    bool accepted = true;
    for (const auto& request : running) {
        const HRESULT answer = request->abort();
        if (FAILED(answer) && answer != kResultDispatched) accepted = false;
    }
    return accepted;
}

bool ActiveXStream::close()
{
    if (closing_) return true;
    std::shared_ptr<BrowserStream> keep = selfPointer();
    if (!isOpen()) {
        // Nothing opened yet: a download still starting is stopped all the same.
        if (requests_.empty()) return false;
        closing_ = true;
        abortRequests();
        if (!isCompleted()) signalCompleted(false);
        return false;
    }
    closing_ = true;
    setOpen(false);
    const bool accepted = abortRequests();
    if (!isCompleted()) {
        setCompleted(true);
        StreamCompletedEvent completed(this, isSeekable());
        sendEvent(completed);
    }
    return accepted;
}

void ActiveXStream::signalRequestCompleted(const std::shared_ptr<ActiveXStreamRequest>& request, bool success)
{
    std::shared_ptr<BrowserStream> keep = selfPointer();
    if (!requests_.erase(request)) return;  // aborted by close or by the stream's end
    if (request->isSilent()) return;
    if (!success) {
        if (!hasResponse() && !failedOpen_) signalFailedOpen();  // ended without any answer
        signalCompleted(false);
        return;
    }
    if (!isOpen() && !isCompleted()) signalOpened();  // a protocol without answers or data (an empty file)
    if (request->isWhole() && !isSeekable()) signalCompleted(true);
}

void ActiveXStream::announceCreated()
{
    if (!createdHeld_) return;
    createdHeld_ = false;
    StreamCreatedEvent created(this);
    sendEvent(created);
}

size_t ActiveXStream::signalDataArrived(const void* data, size_t length, size_t offset)
{
    if (!length || isCompleted()) return 0;
    announceCreated();
    StreamDataArrivedEvent arrived(this, data, length, offset, progressAt(offset + length));
    sendEvent(arrived);
    return length;
}

void ActiveXStream::signalOpened()
{
    if (isOpen() || isCompleted()) return;
    announceCreated();
    setOpen(true);
    StreamOpenedEvent opened(this);
    sendEvent(opened);
}

void ActiveXStream::signalFailedOpen()
{
    if (failedOpen_) return;
    if (!starting_) announceCreated();
    failedOpen_ = true;
    StreamFailedOpenEvent failed(this);
    sendEvent(failed);
}

void ActiveXStream::signalCompleted(bool success)
{
    if (isCompleted()) return;
    std::shared_ptr<BrowserStream> keep = selfPointer();
    if (!starting_ || success) announceCreated();
    setCompleted(true);
    setOpen(false);
    abortRequests();
    StreamCompletedEvent completed(this, success);
    sendEvent(completed);
}

void ActiveXStream::setRedirected(bool value)
{
    redirected_ = value;
}

bool ActiveXStream::hasResponse() const
{
    return responded_;
}

}  // namespace ActiveX
}  // namespace FB
