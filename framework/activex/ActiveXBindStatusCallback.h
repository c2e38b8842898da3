// FB::ActiveX::ActiveXBindStatusCallback: the COM object that receives a URL
// moniker's notifications for one ActiveXStreamRequest and adds the request's
// headers (IBindStatusCallback and IHttpNegotiate).
//
// It keeps the binding, the data IStream and the bytes read so far. Every byte
// IStream::Read reports is counted, whatever Read answers (the moniker may
// answer E_PENDING together with bytes read). Its reference count starts at 1,
// owned by its creator; the binding's end lets go of the binding, the IStream
// and the request.
//
// Threading: the thread that started the bind; every method is a COM boundary.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "ComPtr.h"

namespace FB {
namespace ActiveX {

class ActiveXStreamRequest;

class ActiveXBindStatusCallback : public IBindStatusCallback, public IHttpNegotiate {
public:
    static constexpr DWORD kBindFlags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA;  // 131

    explicit ActiveXBindStatusCallback(std::shared_ptr<ActiveXStreamRequest> request);
    ActiveXBindStatusCallback(const ActiveXBindStatusCallback&) = delete;
    ActiveXBindStatusCallback& operator=(const ActiveXBindStatusCallback&) = delete;

    static size_t liveCount();

    // POST instead of GET, with a copy of the text in global memory; E_FAIL
    // when the callback has its POST data already.
    HRESULT setPostData(const std::string& text);
    // Lets go of the binding, the data and the request (the binding ended, or never started).
    void releaseRequest();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IBindStatusCallback
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG status, LPCWSTR text) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID iid, IUnknown* object) override;
    // IHttpNegotiate
    HRESULT STDMETHODCALLTYPE BeginningTransaction(
        LPCWSTR url, LPCWSTR headers, DWORD reserved, LPWSTR* additionalHeaders) override;
    HRESULT STDMETHODCALLTYPE OnResponse(
        DWORD status, LPCWSTR responseHeaders, LPCWSTR requestHeaders, LPWSTR* additionalHeaders) override;

    uint64_t getBytesRead() const { return bytesRead_; }

private:
    virtual ~ActiveXBindStatusCallback();
    // The headers BeginningTransaction adds.
    std::wstring requestHeaders() const;
    // A response header through the binding's IWinInetHttpInfo; empty when absent.
    std::string queryInfo(DWORD what) const;

    std::atomic<ULONG> references_{1};
    Com::ComPtr<IBinding> binding_;
    Com::ComPtr<IStream> data_;
    uint64_t bytesRead_ = 0;
    bool redirected_ = false;
    DWORD verb_ = BINDVERB_GET;
    HGLOBAL postData_ = nullptr;
    size_t postLength_ = 0;
    std::shared_ptr<ActiveXStreamRequest> request_;
    std::vector<char> buffer_;
};

}  // namespace ActiveX
}  // namespace FB
