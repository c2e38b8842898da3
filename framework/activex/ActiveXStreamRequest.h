// FB::ActiveX::ActiveXStreamRequest: one download of an ActiveXStream (the
// whole resource, or a set of byte ranges) bound through a URL moniker to one
// ActiveXBindStatusCallback. It places the answer's bytes: a 200 answer from
// offset 0, a single range from its Content-Range, several ranges part by part
// of the multipart answer. An answer to a range request must keep to the
// ranges asked for (a part outside them is refused before any of its bytes,
// so no offset ever lies beyond them) and bring every one of them. A request
// that fails (a refused answer, a malformed or unasked range, more or fewer
// bytes than announced, a range missing at the end) delivers nothing more.
//
// The request gives up by itself, as a browser does, on a server that keeps
// it waiting (no notification for the stream's idle limit) or that redirects
// more than kRedirectLimit times; it then ends at once, whether or not the
// moniker ever reports the binding's end.
//
// Ownership: the stream holds its running requests; a request holds its stream
// and, until the binding ends, its callback (which holds the request back).
// The binding's end, or the request giving up, breaks that cycle.
//
// Threading: the thread that started the bind, like the stream.
#pragma once

#include "BrowserStream.h"
#include "ByteRangeResponse.h"
#include "ComPtr.h"
#include "IdleTimer.h"

#include <urlmon.h>

#include <memory>
#include <optional>
#include <vector>

namespace FB {
namespace ActiveX {

class ActiveXStream;
class ActiveXBindStatusCallback;

class ActiveXStreamRequest : public std::enable_shared_from_this<ActiveXStreamRequest> {
public:
    // Redirects followed; one more fails the request (as in browsers).
    static constexpr unsigned kRedirectLimit = 20;

    // No ranges: the whole resource.
    ActiveXStreamRequest(const std::shared_ptr<ActiveXStream>& stream, std::vector<BrowserStream::Range> ranges = {});
    ~ActiveXStreamRequest();
    ActiveXStreamRequest(const ActiveXStreamRequest&) = delete;
    ActiveXStreamRequest& operator=(const ActiveXStreamRequest&) = delete;

    static size_t liveCount();

    // Makes the moniker, the bind context and the callback; false when the URL
    // cannot be bound at all. Done once.
    bool prepare();
    // Binds (preparing first if needed). True when the bind answered success
    // (the download may have ended inside the call); false when it could not
    // start, also when it failed and said so inside the call.
    bool start();
    // Aborts the binding, once (a binding not started yet is aborted as soon as
    // it starts). The binding's answer; S_OK when there was nothing to abort.
    HRESULT abort();

    // ---- from the callback
    void setBinding(IBinding* binding);
    // Any notification of the binding: the request is not idle.
    void noteActivity() { idle_.noteActivity(); }
    // The moniker follows a redirect; past the limit the request gives up.
    void redirecting();
    // What the answer holds. False when it does not answer what was asked for
    // (then the answer is refused): a single range outside the ranges asked
    // for, or a whole resource for a range request.
    // A range answer: its bytes start at `first` and number `count` (0: as many as come).
    bool expectRange(uint64_t first, uint64_t count);
    bool expectParts(const std::string& boundary);
    bool expectWhole(uint64_t length);
    // Bytes of the answer's body, in order.
    void deliver(const char* data, size_t length);
    // The answer is refused: nothing more is delivered.
    void fail() { failed_ = true; }
    // The whole download of a seekable stream runs on, but neither its bytes
    // nor its end are the stream's (range reads are).
    void silence() { silent_ = true; }
    // The binding ended with `result`; the callback lets go of the request.
    void ended(HRESULT result);

    std::shared_ptr<ActiveXStream> getStream() const { return stream_; }
    const std::vector<BrowserStream::Range>& getRanges() const { return ranges_; }
    bool isWhole() const { return ranges_.empty(); }
    bool isAborted() const { return aborted_; }
    bool hasFailed() const { return failed_; }
    bool isSilent() const { return silent_; }
    bool hasEnded() const { return finished_; }

private:
    // Fails the request and ends it now: the moniker may never report its end.
    void giveUp(HRESULT reason);

    std::shared_ptr<ActiveXStream> stream_;
    std::vector<BrowserStream::Range> ranges_;
    Com::ComPtr<ActiveXBindStatusCallback> callback_;
    Com::ComPtr<IMoniker> moniker_;
    Com::ComPtr<IBindCtx> context_;
    Com::ComPtr<IBinding> binding_;
    std::optional<RequestedRanges> asked_;  // for range requests
    std::optional<MultipartByteRanges> parts_;
    IdleTimer idle_;
    unsigned redirects_ = 0;
    uint64_t rangeStart_ = 0;
    uint64_t expected_ = 0;  // bytes announced, 0 when not known
    uint64_t delivered_ = 0;
    bool prepared_ = false;
    bool aborted_ = false;
    bool failed_ = false;
    bool silent_ = false;
    bool finished_ = false;
};

using ActiveXStreamRequestPtr = std::shared_ptr<ActiveXStreamRequest>;

}  // namespace ActiveX
}  // namespace FB
