// The browser host's stream operations. A request becomes a stream through the
// browser binding's openBrowserStream (or adoptBrowserStream for a stream the
// browser offers), a whole download through SimpleStreamHelper; the stream
// manager keeps every stream until it completes. Browser calls are made on the
// main thread, so requests from other threads hop there first.
#include "BrowserHost.h"

#include "BrowserStreamManager.h"
#include "BrowserStreamRequest.h"
#include "SimpleStreamHelper.h"

namespace FB {

std::shared_ptr<BrowserStream> BrowserHost::requestStream(const std::string& url,
    const std::shared_ptr<PluginEventSink>& handler, bool cache, bool seekable, uint32_t bufferSize)
{
    BrowserStreamRequest request(url, "GET");
    request.setEventHandler(handler);
    request.setCacheable(cache);
    request.setSeekable(seekable);
    request.setBufferSize(bufferSize);
    return openStreamForRequest(request, true);
}

std::shared_ptr<BrowserStream> BrowserHost::requestPostStream(const std::string& url,
    const std::shared_ptr<PluginEventSink>& handler, const std::string& postData, bool cache, bool seekable,
    uint32_t bufferSize)
{
    BrowserStreamRequest request(url, "POST");
    request.setEventHandler(handler);
    request.setCacheable(cache);
    request.setSeekable(seekable);
    request.setBufferSize(bufferSize);
    request.setPostData(postData, "");
    return openStreamForRequest(request, true);
}

std::shared_ptr<BrowserStream> BrowserHost::openStreamForRequest(
    const BrowserStreamRequest& request, bool helperAllowed)
{
    if (helperAllowed && request.getCallback() && !request.getEventHandler()) {
        std::shared_ptr<SimpleStreamHelper> helper = SimpleStreamHelper::asyncRequest(shared_from_this(), request);
        return helper ? helper->getStream() : nullptr;
    }
    if (!isMainThread()) {
        return mainThreadCall([this, request] { return openStreamForRequest(request, false); }, shared_from_this());
    }
    if (isShutDown()) return nullptr;
    std::shared_ptr<BrowserStream> stream = openBrowserStream(request);
    if (stream && streamManager) streamManager->retainStream(stream);
    return stream;
}

std::shared_ptr<BrowserStream> BrowserHost::acceptUnsolicitedStream(const BrowserStreamRequest& request)
{
    if (!isMainThread())
        return mainThreadCall([this, request] { return acceptUnsolicitedStream(request); }, shared_from_this());
    if (isShutDown()) return nullptr;
    std::shared_ptr<BrowserStream> stream = adoptBrowserStream(request);
    if (stream && streamManager) streamManager->retainStream(stream);
    return stream;
}

std::shared_ptr<BrowserStream> BrowserHost::openBrowserStream(const BrowserStreamRequest&)
{
    return nullptr;
}

std::shared_ptr<BrowserStream> BrowserHost::adoptBrowserStream(const BrowserStreamRequest&)
{
    return nullptr;
}

size_t BrowserHost::retainedStreamCount() const
{
    return streamManager ? streamManager->retainedCount() : 0;
}

}  // namespace FB
