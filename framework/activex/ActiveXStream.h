// FB::ActiveX::ActiveXStream: a browser stream on the Internet Explorer road,
// downloaded through the system's URL monikers.
//
//     auto stream = FB::ActiveX::ActiveXStream::open(request);  // the host's openBrowserStream
//
// Each download the stream starts (the whole resource, or a set of byte
// ranges) is an ActiveXStreamRequest bound to one ActiveXBindStatusCallback,
// which receives the moniker's notifications. The first response decides
// Opened or FailedOpen (a status outside 2xx fails; the stream then aborts the
// binding itself, since the moniker may go on delivering the error body); a
// binding that ends without any response (connection refused, a bad URL)
// fails to open as well. Later 2xx answers to range requests are data, each
// block at its own offset (single ranges by their Content-Range, several by
// the parts of the multipart answer).
//
// A stream that is seekable (asked for and offered by the server) is for
// range reads: its first download runs on unreported once the answer's headers
// are in, and the stream stays open until it is closed or a read fails. Any other stream
// completes when its download ends. StreamCompletedEvent is sent once, with
// the real outcome; closing an open stream completes it, successfully only
// when it is seekable.
//
// StreamCreatedEvent goes out only for a stream whose first download started
// (the moniker's bind answered success), and always before anything that
// download reports (a file may be read whole inside the start); a start that
// fails reports FailedOpen and Completed alone.
//
// No download waits for ever: one that hears nothing from the moniker for the
// idle limit (a server that stops sending, or never answers) fails, and so
// does one redirected too often (ActiveXStreamRequest).
//
// Threading: every notification arrives on the thread that started the bind,
// which must pump messages; use the stream on that thread only.
#pragma once

#include "BrowserStream.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace FB {

class BrowserStreamRequest;

namespace ActiveX {

class ActiveXStreamRequest;

class ActiveXStream : public BrowserStream {
public:
    // The stream for a request (GET, or POST with its data and headers), its
    // event handler attached and StreamCreatedEvent sent before the download
    // starts, so that nothing the moniker delivers inside the start is missed.
    // Empty (and no event sent) when no download could be set up for the URL.
    static std::shared_ptr<ActiveXStream> open(const BrowserStreamRequest& request);

    ActiveXStream(const std::string& url, bool cache, bool seekable, uint32_t bufferSize);
    ~ActiveXStream() override;

    // Streams alive in the process (tests count them).
    static size_t liveCount();

    // How long a download may hear nothing before it fails, for the downloads
    // that start afterwards (kDefaultIdleLimitMs unless set; 0 restores it).
    static constexpr DWORD kDefaultIdleLimitMs = 30000;
    static void setIdleLimit(DWORD ms);
    static DWORD idleLimit();

    bool readRanges(const std::vector<Range>& ranges) override;
    bool write(const char* data, size_t length, size_t& written) override;
    bool close() override;

    virtual void signalRequestCompleted(const std::shared_ptr<ActiveXStreamRequest>& request, bool success);
    // Starts the download of the whole resource unless the stream is open already.
    virtual bool init();
    virtual bool startRequest(const std::shared_ptr<ActiveXStreamRequest>& request);
    virtual size_t signalDataArrived(const void* data, size_t length, size_t offset);
    virtual void signalOpened();
    virtual void signalFailedOpen();
    virtual void signalCompleted(bool success);
    virtual void setRedirected(bool value);
    // The first response decides whether the stream opens; later ones only carry data.
    virtual bool hasResponse() const;

    void setPost(const std::string& data, const std::string& headers);
    const std::string& getPostData() const { return postData_; }
    const std::string& getPostHeaders() const { return postHeaders_; }
    bool isPost() const { return post_; }
    bool isRedirected() const { return redirected_; }
    void setResponded() { responded_ = true; }
    bool isClosing() const { return closing_; }
    size_t runningRequests() const { return requests_.size(); }

private:
    // Aborts every running request once; true when every abort was accepted.
    bool abortRequests();

    bool closing_ = false;
    bool post_ = false;
    bool redirected_ = false;
    bool responded_ = false;
    bool failedOpen_ = false;
    // StreamCreatedEvent is due once the first download has started: its
    // first success (opened, data) announces it, even inside the start; a
    // failure inside the start waits for the start's answer.
    bool createdHeld_ = false;
    bool starting_ = false;
    void announceCreated();
    std::set<std::shared_ptr<ActiveXStreamRequest>> requests_;
    std::string postData_;
    std::string postHeaders_;
};

using ActiveXStreamPtr = std::shared_ptr<ActiveXStream>;

}  // namespace ActiveX
}  // namespace FB
