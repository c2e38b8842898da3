// The bind-status callback of one URL-moniker download. Implementation notes:
// - The first response decides whether the stream opens; an answer outside 2xx
//   fails it, and the binding is aborted here, since returning E_ABORT from
//   OnResponse does not stop every moniker from delivering the error body.
// - A 206 answer places its bytes by its Content-Range (or by the parts of a
//   multipart answer); its Content-Length is the part's, never the stream's.
// - OnDataAvailable reads until the moniker has nothing more for now, counting
//   the bytes of every Read whatever its answer.
#include "ActiveXBindStatusCallback.h"

#include "ActiveXStream.h"
#include "ActiveXStreamRequest.h"
#include "ByteRangeResponse.h"
#include "ComGuard.h"
#include "ObjectRoot.h"
#include "utf8_tools.h"

#include <wininet.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>

namespace FB {
namespace ActiveX {

#if defined(__i386__)
static_assert(sizeof(BINDINFO) == 84, "the moniker's 32-bit BINDINFO");
#endif

namespace {

std::atomic<size_t> liveCallbacks{0};

std::string lowered(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<uint64_t> decimal(const std::string& text)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(text);
}

// The POST header lines of a request, CRLF-terminated; Content-Length is the moniker's to send.
std::wstring postHeaderLines(const std::string& text, bool& namesContentType)
{
    std::wstring lines;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        std::string line = trimmed(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() + 1 : end + 1;
        if (line.empty() || line.find(':') == std::string::npos) continue;
        const std::string name = lowered(trimmed(line.substr(0, line.find(':'))));
        if (name == "content-length") continue;
        if (name == "content-type") namesContentType = true;
        lines += utf8ToWide(line) + L"\r\n";
    }
    return lines;
}

}  // namespace

ActiveXBindStatusCallback::ActiveXBindStatusCallback(std::shared_ptr<ActiveXStreamRequest> request)
    : request_(std::move(request))
{
    ++liveCallbacks;
    Atl::ModuleLock::lock();  // the moniker may call back while the library is otherwise idle
}

ActiveXBindStatusCallback::~ActiveXBindStatusCallback()
{
    if (postData_) GlobalFree(postData_);
    --liveCallbacks;
    Atl::ModuleLock::unlock();
}

size_t ActiveXBindStatusCallback::liveCount()
{
    return liveCallbacks.load();
}

HRESULT ActiveXBindStatusCallback::setPostData(const std::string& text)
{
    if (postData_) return E_FAIL;
    postData_ = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, std::max<size_t>(text.size(), 1));
    if (!postData_) return E_OUTOFMEMORY;
    std::memcpy(postData_, text.data(), text.size());
    postLength_ = text.size();
    verb_ = BINDVERB_POST;
    return S_OK;
}

void ActiveXBindStatusCallback::releaseRequest()
{
    binding_.Reset();
    data_.Reset();
    request_.reset();
}

// ---- IUnknown

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IBindStatusCallback)
        *object = static_cast<IBindStatusCallback*>(this);
    else if (iid == IID_IHttpNegotiate)
        *object = static_cast<IHttpNegotiate*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE ActiveXBindStatusCallback::AddRef()
{
    return ++references_;
}

ULONG STDMETHODCALLTYPE ActiveXBindStatusCallback::Release()
{
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

// ---- IBindStatusCallback

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::OnStartBinding(DWORD, IBinding* started)
{
    return Com::guarded([&] {
        binding_ = started;
        if (request_) {
            request_->noteActivity();
            request_->setBinding(started);
        }
    });
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::GetPriority(LONG*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::OnLowResource(DWORD)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::OnProgress(ULONG, ULONG, ULONG status, LPCWSTR text)
{
    return Com::guarded([&] {
        std::shared_ptr<ActiveXStreamRequest> current = request_;
        if (!current) return;
        current->noteActivity();
        if (status == BINDSTATUS_REDIRECTING) {
            redirected_ = true;
            current->getStream()->setRedirected(true);
            current->redirecting();
        } else if (status == BINDSTATUS_CACHEFILENAMEAVAILABLE && text) {
            current->getStream()->setCacheFileName(text);
        }
    });
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::OnStopBinding(HRESULT result, LPCWSTR)
{
    return Com::guarded([&] {
        Com::ComPtr<IBindStatusCallback> keep(this);
        std::shared_ptr<ActiveXStreamRequest> ending = request_;
        releaseRequest();
        if (ending) ending->ended(result);
    });
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::GetBindInfo(DWORD* flags, BINDINFO* info)
{
    return Com::guarded([&]() -> HRESULT {
        if (!flags || !info) return E_INVALIDARG;
        if (verb_ != BINDVERB_GET && verb_ != BINDVERB_POST) return E_FAIL;
        std::shared_ptr<ActiveXStreamRequest> current = request_;
        const bool cached = current && current->getStream()->isCached();
        *flags = kBindFlags | (cached ? 0 : BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE);
        // The caller's structure may be older (smaller) than ours: fill only what it has.
        const DWORD size = info->cbSize;
        std::memset(info, 0, size);
        info->cbSize = size;
        if (size >= offsetof(BINDINFO, dwBindVerb) + sizeof info->dwBindVerb) info->dwBindVerb = verb_;
        if (verb_ == BINDVERB_POST && postData_ &&
            size >= offsetof(BINDINFO, cbstgmedData) + sizeof info->cbstgmedData) {
            info->stgmedData.tymed = TYMED_HGLOBAL;
            info->stgmedData.hGlobal = postData_;
            info->stgmedData.pUnkForRelease = static_cast<IBindStatusCallback*>(this);
            AddRef();  // released by the moniker's ReleaseStgMedium
            info->cbstgmedData = static_cast<DWORD>(postLength_);
        }
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::OnDataAvailable(DWORD flags, DWORD, FORMATETC*, STGMEDIUM* medium)
{
    return Com::guarded([&] {
        Com::ComPtr<IBindStatusCallback> keep(this);
        std::shared_ptr<ActiveXStreamRequest> current = request_;
        if (!current) return;
        current->noteActivity();
        if (!data_ && medium && medium->tymed == TYMED_ISTREAM) data_ = medium->pstm;
        Com::ComPtr<IStream> source = data_;
        if (!source) return;
        std::shared_ptr<ActiveXStream> stream = current->getStream();
        if (!stream->hasResponse()) {  // a protocol without HTTP answers (file:)
            stream->setResponded();
            stream->signalOpened();
        }
        buffer_.resize(std::max<uint32_t>(stream->getBufferSize(), 4096));
        while (!current->isAborted() && !current->hasEnded()) {
            ULONG got = 0;
            const HRESULT read = source->Read(buffer_.data(), static_cast<ULONG>(buffer_.size()), &got);
            got = std::min<ULONG>(got, static_cast<ULONG>(buffer_.size()));
            if (got) {
                bytesRead_ += got;
                current->deliver(buffer_.data(), got);
            }
            if (read == E_PENDING || read == S_FALSE || FAILED(read) || got == 0) break;
        }
        if (flags & BSCF_LASTDATANOTIFICATION) data_.Reset();
    });
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::OnObjectAvailable(REFIID, IUnknown*)
{
    return E_NOTIMPL;
}

// ---- IHttpNegotiate

std::wstring ActiveXBindStatusCallback::requestHeaders() const
{
    std::wstring headers = L"Accept-Encoding: identity\r\n";
    if (!request_) return headers;
    const auto& ranges = request_->getRanges();
    if (!ranges.empty()) {
        headers += L"Range: bytes=";
        for (size_t i = 0; i < ranges.size(); ++i) {
            if (i) headers += L",";
            headers += std::to_wstring(ranges[i].start) + L"-" + std::to_wstring(ranges[i].end - 1);
        }
        headers += L"\r\n";
    }
    std::shared_ptr<ActiveXStream> stream = request_->getStream();
    if (verb_ == BINDVERB_POST && stream) {
        bool namesContentType = false;
        const std::wstring extra = postHeaderLines(stream->getPostHeaders(), namesContentType);
        if (postLength_ && !namesContentType) headers += L"Content-Type: application/x-www-form-urlencoded\r\n";
        headers += extra;
    }
    return headers;
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::BeginningTransaction(
    LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders)
{
    if (!additionalHeaders) return E_POINTER;
    *additionalHeaders = nullptr;
    return Com::guarded([&]() -> HRESULT {
        const std::wstring headers = requestHeaders();
        auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((headers.size() + 1) * sizeof(wchar_t)));
        if (!copy) return E_OUTOFMEMORY;
        std::memcpy(copy, headers.c_str(), (headers.size() + 1) * sizeof(wchar_t));
        *additionalHeaders = copy;
        return S_OK;
    });
}

std::string ActiveXBindStatusCallback::queryInfo(DWORD what) const
{
    Com::ComPtr<IWinInetHttpInfo> info;
    if (!binding_ || FAILED(binding_.As(IID_IWinInetHttpInfo, info))) return {};
    std::vector<char> text(1024);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(text.size() - 1);
        DWORD flags = 0;
        if (SUCCEEDED(info->QueryInfo(what, text.data(), &size, &flags, nullptr)))
            return trimmed(std::string(text.data(), std::min<size_t>(size, text.size() - 1)).c_str());
        if (size < text.size()) return {};
        text.resize(size + 1);
    }
    return {};
}

HRESULT STDMETHODCALLTYPE ActiveXBindStatusCallback::OnResponse(
    DWORD status, LPCWSTR responseHeaders, LPCWSTR, LPWSTR* additionalHeaders)
{
    if (additionalHeaders) *additionalHeaders = nullptr;
    return Com::guarded([&]() -> HRESULT {
        Com::ComPtr<IBindStatusCallback> keep(this);
        std::shared_ptr<ActiveXStreamRequest> current = request_;
        if (!current || current->isAborted()) return E_ABORT;
        current->noteActivity();
        std::shared_ptr<ActiveXStream> stream = current->getStream();
        const bool first = !stream->hasResponse();
        stream->setResponded();
        const std::string contentType = queryInfo(HTTP_QUERY_CONTENT_TYPE);
        if (first) {
            try {
                stream->setHeaders(responseHeaders ? wideToUtf8(responseHeaders) : std::string());
            } catch (const std::exception&) {
                stream->setHeaders({});
            }
            stream->setMimeType(contentType);
            stream->setSeekableByServer(lowered(queryInfo(HTTP_QUERY_ACCEPT_RANGES)) == "bytes");
        }

        bool placed = status >= 200 && status <= 299;
        if (placed && status == 206) {
            const std::string boundary = byteRangesBoundary(contentType);
            if (!boundary.empty()) {
                placed = current->expectParts(boundary);
            } else if (std::optional<ContentRange> range = parseContentRange(queryInfo(HTTP_QUERY_CONTENT_RANGE))) {
                placed = current->expectRange(range->first, range->last - range->first + 1);
                if (placed && range->total && range->total <= UINT32_MAX)
                    stream->setLength(static_cast<uint32_t>(range->total));
            } else {
                placed = false;  // bytes of unknown place are never taken as offset 0
            }
        } else if (placed) {
            std::optional<uint64_t> length = decimal(queryInfo(HTTP_QUERY_CONTENT_LENGTH));
            placed = current->expectWhole(length.value_or(0));
            if (placed && length && *length <= UINT32_MAX) stream->setLength(static_cast<uint32_t>(*length));
        }
        if (!placed) {
            current->fail();
            if (first) stream->signalFailedOpen();
            current->abort();
            return E_ABORT;
        }
        if (first) {
            // A seekable stream is read by ranges: its first download runs on unreported.
            if (stream->isSeekable() && current->isWhole()) current->silence();
            stream->signalOpened();
        }
        return S_OK;
    });
}

}  // namespace ActiveX
}  // namespace FB
