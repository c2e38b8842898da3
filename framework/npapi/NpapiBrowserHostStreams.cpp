// The NPAPI host's streams and proxy lookup: requests become NpapiStreams
// through NPN_GetURLNotify / NPN_PostURLNotify, and the browser's proxy answer
// for a URL (NPN_GetValueForURL) becomes proxy settings.
#include "NpapiBrowserHost.h"

#include "BrowserStreamRequest.h"
#include "NpapiStream.h"
#include "PluginEvents.h"
#include "SystemProxyDetector.h"
#include "TraceLog.h"

#include <string_view>

namespace FB {
namespace Npapi {

namespace {

// The body NPN_PostURLNotify sends: header lines, a blank line, the data.
std::string postBody(const BrowserStreamRequest& request)
{
    if (!request.postHeaders.empty()) return request.postHeaders + "\n\n" + request.postData;
    return "Content-type: application/x-www-form-urlencoded\nContent-Length: " +
        std::to_string(request.postData.size()) + "\n\n" + request.postData;
}

std::string_view trimmed(std::string_view text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::shared_ptr<BrowserStream> NpapiBrowserHost::openBrowserStream(const BrowserStreamRequest& request)
{
    auto self = std::static_pointer_cast<NpapiBrowserHost>(shared_from_this());
    NpapiStreamPtr stream =
        NpapiStream::create(request.getUrl(), request.cache, request.seekable, request.internalBufferSize, self);
    if (auto handler = request.getEventHandler()) stream->addObserver(handler);
    // Alive before the browser is asked: it may call about the stream at once.
    stream->keepSelfAlive();
    NPError answer;
    if (request.method == "GET") {
        answer = GetURLNotify(request.getUrl().c_str(), nullptr, stream.get());
    } else {
        const std::string body = postBody(request);
        answer = PostURLNotify(
            request.getUrl().c_str(), nullptr, static_cast<uint32_t>(body.size()), body.c_str(), false, stream.get());
    }
    if (answer != NPERR_NO_ERROR) {
        stream->releaseSelf();
        return nullptr;
    }
    StreamCreatedEvent created(stream.get());
    stream->dispatchEvent(&created);
    return stream;
}

std::shared_ptr<BrowserStream> NpapiBrowserHost::adoptBrowserStream(const BrowserStreamRequest& request)
{
    trace("NpapiBrowserStream", "Creating an unsolicited stream with url: " + request.getUrl());
    auto self = std::static_pointer_cast<NpapiBrowserHost>(shared_from_this());
    NpapiStreamPtr stream =
        NpapiStream::create(request.getUrl(), false, request.seekable, request.internalBufferSize, self);
    // A request with a callback is the whole-download helper's (NpapiPlugin); the
    // handler of one without is attached before it could miss StreamCreatedEvent.
    if (auto handler = request.getEventHandler(); handler && !request.getCallback()) stream->addObserver(handler);
    stream->keepSelfAlive();
    stream->urlNotified();  // no URL notification comes for a stream the browser started
    StreamCreatedEvent created(stream.get());
    stream->dispatchEvent(&created);
    return stream;
}

bool NpapiBrowserHost::proxySettingsFor(const std::string& url, std::map<std::string, std::string>& settings)
{
    char* value = nullptr;
    uint32_t length = 0;
    const NPError answer = GetValueForURL(NPNURLVProxy, url.c_str(), &value, &length);
    if (answer == NPERR_INCOMPATIBLE_VERSION_ERROR) return SystemProxyDetector::get()->detectProxy(url, settings);
    if (answer != NPERR_NO_ERROR) return false;
    std::string text = value ? std::string(value, length) : std::string();
    if (value) MemFree(value);

    // "PROXY host:port", "SOCKS host:port" or "DIRECT"; of a list ("PROXY a:1; DIRECT") the first.
    std::string_view entry = trimmed(std::string_view(text).substr(0, text.find(';')));
    if (entry == "DIRECT") return false;
    const size_t space = entry.find(' ');
    if (space == std::string_view::npos) return false;
    const std::string_view kind = entry.substr(0, space);
    const std::string_view address = trimmed(entry.substr(space + 1));
    const size_t colon = address.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == address.size()) return false;

    settings.clear();
    if (kind == "PROXY")
        settings["type"] = BrowserStreamRequest(url, "GET").url.protocol;
    else if (kind == "SOCKS")
        settings["type"] = "socks";
    else
        settings["type"] = std::string(kind);
    settings["hostname"] = std::string(address.substr(0, colon));
    settings["port"] = std::string(address.substr(colon + 1));
    return true;
}

}  // namespace Npapi
}  // namespace FB
