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

ActiveXStreamRequest::ActiveXStreamRequest(
    const std::shared_ptr<ActiveXStream>& stream, std::vector<BrowserStream::Range> ranges)
    : stream(stream), ranges(std::move(ranges))
{
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
    const HRESULT result = boundMoniker->BindToStorage(boundContext.Get(), nullptr, IID_IStream, storage.PutVoid());
    if (SUCCEEDED(result) || result == MK_S_ASYNCHRONOUS) return true;
    if (finished) return true;  // ended inside the call, and said so
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

void ActiveXStreamRequest::expectRange(uint64_t first, uint64_t count)
{
    parts.reset();
    rangeStart = first;
    expected = count;
    delivered = 0;
}

void ActiveXStreamRequest::expectParts(const std::string& boundary)
{
    parts.emplace(boundary);
    delivered = 0;
}

void ActiveXStreamRequest::expectWhole(uint64_t length)
{
    expectRange(0, length);
}

void ActiveXStreamRequest::deliver(const char* data, size_t length)
{
    if (failed || aborted || !length) return;
    if (parts) {
        const bool readable = parts->feed(data, length, [this](uint64_t offset, const char* bytes, size_t count) {
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
    stream->signalDataArrived(data, length, static_cast<size_t>(offset));
}

void ActiveXStreamRequest::ended(HRESULT result)
{
    if (finished) return;
    finished = true;
    binding.Reset();
    Com::ComPtr<ActiveXBindStatusCallback> done = std::move(callback);
    const bool whole = parts ? parts->complete() : (!expected || delivered == expected);
    const bool success = SUCCEEDED(result) && !failed && !aborted && whole;
    std::shared_ptr<ActiveXStreamRequest> keep = shared_from_this();
    stream->signalRequestCompleted(keep, success);
}

}  // namespace ActiveX
}  // namespace FB
