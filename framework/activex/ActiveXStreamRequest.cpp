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
    : stream_(stream), ranges_(std::move(ranges)), idle_(ActiveXStream::idleLimit(), [this] { giveUp(kTimedOut); })
{
    if (!this->ranges_.empty()) asked_.emplace(spans(this->ranges_));
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
    if (prepared_) return true;
    std::wstring url;
    try {
        url = utf8ToWide(stream_->getUrl());
    } catch (const std::exception&) {
        return false;
    }
    auto made = Com::ComPtr<ActiveXBindStatusCallback>::Adopt(new ActiveXBindStatusCallback(shared_from_this()));
    if (stream_->isPost() && FAILED(made->setPostData(stream_->getPostData()))) {
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
    callback_ = std::move(made);
    moniker_ = std::move(urlMoniker);
    context_ = std::move(bindContext);
    prepared_ = true;
    return true;
}

bool ActiveXStreamRequest::start()
{
    if (!prepare()) return false;
    // The moniker may deliver everything, and end, inside BindToStorage.
    std::shared_ptr<ActiveXStreamRequest> keep = shared_from_this();
    Com::ComPtr<IMoniker> boundMoniker = std::move(moniker_);
    Com::ComPtr<IBindCtx> boundContext = std::move(context_);
    Com::ComPtr<IStream> storage;
    idle_.start();
    const HRESULT result = boundMoniker->BindToStorage(boundContext.Get(), nullptr, IID_IStream, storage.PutVoid());
    if (SUCCEEDED(result) || result == MK_S_ASYNCHRONOUS) return true;
    if (finished_) return false;  // failed, and said so inside the call
    idle_.stop();
    // Nothing will come for this binding: break the cycle with the callback.
    if (callback_) callback_->releaseRequest();
    callback_.Reset();
    return false;
}

HRESULT ActiveXStreamRequest::abort()
{
    if (aborted_) return S_OK;
    aborted_ = true;
    if (!binding_) return S_OK;  // OnStartBinding aborts it
    Com::ComPtr<IBinding> bound = binding_;
    return bound->Abort();
}

void ActiveXStreamRequest::setBinding(IBinding* value)
{
    binding_ = value;
    if (aborted_ && binding_) binding_->Abort();
}

void ActiveXStreamRequest::redirecting()
{
    if (++redirects_ > kRedirectLimit) giveUp(kTooManyRedirects);
}

void ActiveXStreamRequest::giveUp(HRESULT reason)
{
    if (finished_) return;
    std::shared_ptr<ActiveXStreamRequest> keep = shared_from_this();
    failed_ = true;
    abort();  // the moniker may report the end from inside
    if (finished_) return;
    if (callback_) callback_->releaseRequest();
    ended(reason);
}

bool ActiveXStreamRequest::expectRange(uint64_t first, uint64_t count)
{
    if (asked_ && !asked_->contains(first, count)) return false;
    parts_.reset();
    rangeStart_ = first;
    expected_ = count;
    delivered_ = 0;
    return true;
}

bool ActiveXStreamRequest::expectParts(const std::string& boundary)
{
    parts_.emplace(boundary);
    if (asked_) parts_->acceptOnly(*asked_);
    delivered_ = 0;
    return true;
}

bool ActiveXStreamRequest::expectWhole(uint64_t length)
{
    if (asked_) return false;  // the server ignored the ranges
    return expectRange(0, length);
}

void ActiveXStreamRequest::deliver(const char* data, size_t length)
{
    if (failed_ || aborted_ || silent_ || !length) return;
    if (parts_) {
        // Parts lie inside the asked ranges, so their offsets fit in size_t.
        const bool readable = parts_->feed(data, length, [this](uint64_t offset, const char* bytes, size_t count) {
            if (asked_) asked_->markDelivered(offset, count);
            if (!failed_ && !aborted_) stream_->signalDataArrived(bytes, count, static_cast<size_t>(offset));
        });
        if (!readable) {
            failed_ = true;
            abort();
        }
        return;
    }
    if (expected_ && delivered_ + length > expected_) {  // more than the answer announced
        failed_ = true;
        abort();
        return;
    }
    const uint64_t offset = rangeStart_ + delivered_;
    delivered_ += length;
    if (asked_) asked_->markDelivered(offset, length);
    stream_->signalDataArrived(data, length, static_cast<size_t>(offset));
}

void ActiveXStreamRequest::ended(HRESULT result)
{
    if (finished_) return;
    finished_ = true;
    idle_.stop();
    binding_.Reset();
    Com::ComPtr<ActiveXBindStatusCallback> done = std::move(callback_);
    const bool whole =
        (parts_ ? parts_->complete() : (!expected_ || delivered_ == expected_)) && (!asked_ || asked_->allDelivered());
    const bool success = SUCCEEDED(result) && !failed_ && !aborted_ && whole;
    std::shared_ptr<ActiveXStreamRequest> keep = shared_from_this();
    stream_->signalRequestCompleted(keep, success);
}

}  // namespace ActiveX
}  // namespace FB
