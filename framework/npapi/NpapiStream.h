// FB::Npapi::NpapiStream: a browser stream on the NPAPI road. It links the
// framework's stream to the browser's NPStream, turns the browser's stream
// calls (NPP_NewStream, NPP_Write, NPP_DestroyStream, NPP_URLNotify, delivered
// by the plug-in object) into stream events, and writes, closes and reads byte
// ranges through the browser.
//
// The browser carries the stream as a plain pointer (NPStream::pdata, and the
// notify data of the request); fromBrowser() turns such a pointer back into the
// stream only while it lives, so a late or foreign pointer is harmless.
//
// Lifetime: a requested stream keeps itself alive from before the browser is
// asked until both the browser's destroy call and its URL notification have
// come (a stream the browser never connected needs only the notification; an
// adopted stream needs only the destroy call). When the host shuts down, the
// browser calls about none of its streams any more, and they let go.
//
// Completion: StreamCompletedEvent is sent once, with the real outcome. A
// seekable stream that ends well stays open for range reads until it is
// closed; closing an open stream completes it, successfully only when it is
// seekable (a download closed before its end did not succeed).
//
// Threading: the browser's main thread.
#pragma once

#include "BrowserStream.h"
#include "NpapiInterface.h"

#include <memory>
#include <string>
#include <vector>

namespace FB {
namespace Npapi {

class NpapiBrowserHost;

class NpapiStream : public BrowserStream {
public:
    // A buffer size of 0 means the default (131072).
    static std::shared_ptr<NpapiStream> create(const std::string& url, bool cache, bool seekable, uint32_t bufferSize,
        const std::shared_ptr<NpapiBrowserHost>& host);
    ~NpapiStream() override;

    // The live stream behind a pointer the browser hands back; empty otherwise.
    static std::shared_ptr<NpapiStream> fromBrowser(void* pointer);
    // The browser of this host will call about none of its streams any more.
    static void abandonAll(const NpapiBrowserHost* host);
    // Streams alive in the process (tests count them).
    static size_t liveCount();

    virtual void keepSelfAlive();
    virtual void streamDestroyed();
    virtual void urlNotified();
    // Delivers up to the buffer size of the block; answers how many bytes were taken, -1 for a malformed block.
    virtual int32_t signalDataArrived(const void* buffer, int32_t length, int32_t offset);
    virtual void signalOpened();
    virtual void signalFailedOpen();
    virtual void signalCompleted(bool success);
    // The file the browser saved the stream to (NPP_StreamAsFile).
    void setCacheFileName(const std::wstring& value) override;
    virtual void setStream(NPStream* stream);
    virtual NPStream* getStream() const;
    virtual std::shared_ptr<NpapiBrowserHost> getHost() const;

    bool readRanges(const std::vector<Range>& ranges) override;
    bool write(const char* data, size_t length, size_t& written) override;
    bool close() override;

    // Drops the self reference taken before the browser was asked (it refused).
    void releaseSelf();
    bool wasConnected() const { return connectedOnce; }

protected:
    NpapiStream(const std::string& url, bool cache, bool seekable, uint32_t bufferSize,
        const std::shared_ptr<NpapiBrowserHost>& host);

private:
    // Asks the browser to destroy its stream, sending no event; the browser's answer.
    bool disconnect();
    void releaseWhenForgotten();

    NPStream* stream = nullptr;
    std::weak_ptr<NpapiBrowserHost> host;
    const NpapiBrowserHost* hostKey;
    std::shared_ptr<NpapiStream> self;
    bool destroyedByBrowser = false;
    bool urlNotified_ = false;
    bool connectedOnce = false;
};

using NpapiStreamPtr = std::shared_ptr<NpapiStream>;

}  // namespace Npapi
}  // namespace FB
