#include "ActiveXStreamRequest.h"

#include "ActiveXBindStatusCallback.h"
#include "ActiveXStream.h"
#include "utf8_tools.h"

#include <atomic>
#include <exception>

namespace FB {
namespace ActiveX {

namespace {
std::atomic<size_t> liveRequests{0};
}

namespace {

std::vector<RequestedRanges::Span> spans(const std::vector<BrowserStream::Range>& ranges)
{
    std::vector<RequestedRanges::Span> out;
    for (const auto& range : ranges) out.push_back({range.start, range.end});
    return out;
}

// The binding's end when the request gives up on an idle server.
constexpr HRESULT kTimedOut = INET_E_CONNECTION_TIMEOUT;
// ... and on a redirect past the limit.
constexpr HRESULT kTooManyRedirects = INET_E_REDIRECT_FAILED;

}  // namespace

ActiveXStreamRequest::ActiveXStreamRequest(
    const std::shared_ptr<ActiveXStream>& stream, std::vector<BrowserStream::Range> ranges)
    : stream(stream), ranges(std::move(ranges)), idle(ActiveXStream::idleLimit(), [this] { giveUp(kTimedOut); })
{
    if (!this->ranges.empty()) asked.emplace(spans(this->ranges));
    ++liveRequests;
}

ActiveXStreamRequest::~ActiveXStreamRequest()
{
    --liveRequests;
}

size_t ActiveXStreamRequest::liveCount()
{
    return liveRequests.load();
}

bool ActiveXStreamRequest::prepare()
{
    if (prepared) return true;
    std::wstring url;
    try {
        url = utf8ToWide(stream->getUrl());
    } catch (const std::exception&) {
        return false;
    }
    auto made = Com::ComPtr<ActiveXBindStatusCallback>::Adopt(new ActiveXBindStatusCallback(shared_from_this()));
    if (stream->isPost() && FAILED(made->setPostData(stream->getPostData()))) {
        made->releaseRequest();
        return false;
    }
    Com::ComPtr<IMoniker> urlMoniker;
    Com::ComPtr<IBindCtx> bindContext;
    if (FAILED(CreateURLMonikerEx(nullptr, url.c_str(), urlMoniker.Put(), URL_MK_UNIFORM)) ||
        FAILED(CreateAsyncBindCtx(0, made.Get(), nullptr, bindContext.Put())) ||
        IsValidURL(bindContext.Get(), url.c_str(), 0) != S_OK) {
        made->releaseRequest();
        return false;
    }
    callback = std::move(made);
    moniker = std::move(urlMoniker);
    context = std::move(bindContext);
    prepared = true;
    return true;
}

bool ActiveXStreamRequest::start()
{
    if (!prepare()) return false;
    // The moniker may deliver everything, and end, inside BindToStorage.
    std::shared_ptr<ActiveXStreamRequest> keep = shared_from_this();
    Com::ComPtr<IMoniker> boundMoniker = std::move(moniker);
    Com::ComPtr<IBindCtx> boundContext = std::move(context);
    Com::ComPtr<IStream> storage;
    idle.start();
    const HRESULT result = boundMoniker->BindToStorage(boundContext.Get(), nullptr, IID_IStream, storage.PutVoid());
    if (SUCCEEDED(result) || result == MK_S_ASYNCHRONOUS) return true;
    if (finished) return true;  // ended inside the call, and said so
    idle.stop();
    // Nothing will come for this binding: break the cycle with the callback.
    if (callback) callback->releaseRequest();
    callback.Reset();
    return false;
}

HRESULT ActiveXStreamRequest::abort()
{
    if (aborted) return S_OK;
    aborted = true;
    if (!binding) return S_OK;  // OnStartBinding aborts it
    Com::ComPtr<IBinding> bound = binding;
    return bound->Abort();
}

void ActiveXStreamRequest::setBinding(IBinding* value)
{
    binding = value;
    if (aborted && binding) binding->Abort();
}

void ActiveXStreamRequest::redirecting()
{
    if (++redirects > kRedirectLimit) giveUp(kTooManyRedirects);
}

void ActiveXStreamRequest::giveUp(HRESULT reason)
{
    if (finished) return;
    std::shared_ptr<ActiveXStreamRequest> keep = shared_from_this();
    failed = true;
    abort();  // the moniker may report the end from inside
    if (finished) return;
    if (callback) callback->releaseRequest();
    ended(reason);
}

bool ActiveXStreamRequest::expectRange(uint64_t first, uint64_t count)
{
    if (asked && !asked->contains(first, count)) return false;
    parts.reset();
    rangeStart = first;
    expected = count;
    delivered = 0;
    return true;
}

bool ActiveXStreamRequest::expectParts(const std::string& boundary)
{
    parts.emplace(boundary);
    if (asked) parts->acceptOnly(*asked);
    delivered = 0;
    return true;
}

bool ActiveXStreamRequest::expectWhole(uint64_t length)
{
    if (asked) return false;  // the server ignored the ranges
    return expectRange(0, length);
}

void ActiveXStreamRequest::deliver(const char* data, size_t length)
{
    if (failed || aborted || !length) return;
    if (parts) {
        // Parts lie inside the asked ranges, so their offsets fit in size_t.
        const bool readable = parts->feed(data, length, [this](uint64_t offset, const char* bytes, size_t count) {
            if (asked) asked->markDelivered(offset, count);
            if (!failed && !aborted) stream->signalDataArrived(bytes, count, static_cast<size_t>(offset));
        });
        if (!readable) {
            failed = true;
            abort();
        }
        return;
    }
    if (expected && delivered + length > expected) {  // more than the answer announced
        failed = true;
        abort();
        return;
    }
    const uint64_t offset = rangeStart + delivered;
    delivered += length;
    if (asked) asked->markDelivered(offset, length);
    stream->signalDataArrived(data, length, static_cast<size_t>(offset));
}

void ActiveXStreamRequest::ended(HRESULT result)
{
    if (finished) return;
    finished = true;
    idle.stop();
    binding.Reset();
    Com::ComPtr<ActiveXBindStatusCallback> done = std::move(callback);
    const bool whole =
        (parts ? parts->complete() : (!expected || delivered == expected)) && (!asked || asked->allDelivered());
    const bool success = SUCCEEDED(result) && !failed && !aborted && whole;
    std::shared_ptr<ActiveXStreamRequest> keep = shared_from_this();
    stream->signalRequestCompleted(keep, success);
}

}  // namespace ActiveX
}  // namespace FB
