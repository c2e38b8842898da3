// The browser host's default stream, proxy and DOM-wrapping operations.
//
// Streams and proxy detection belong to layers of their own; until a browser
// binding or those layers provide them, the host answers with no stream and no
// proxy.
#include "BrowserHost.h"

#include "TraceLog.h"
#include "dom/Node.h"

#include <stdexcept>

namespace FB {

std::shared_ptr<BrowserStream> BrowserHost::requestStream(
    const std::string& url, const std::shared_ptr<PluginEventSink>&, bool, bool, uint32_t)
{
    trace("BrowserHost", "No stream support for " + url);
    return nullptr;
}

std::shared_ptr<BrowserStream> BrowserHost::openStreamForRequest(const BrowserStreamRequest&, bool)
{
    return nullptr;
}

std::shared_ptr<BrowserStream> BrowserHost::requestPostStream(
    const std::string& url, const std::shared_ptr<PluginEventSink>&, const std::string&, bool, bool, uint32_t)
{
    trace("BrowserHost", "No stream support for " + url);
    return nullptr;
}

std::shared_ptr<BrowserStream> BrowserHost::acceptUnsolicitedStream(const BrowserStreamRequest&)
{
    return nullptr;
}

bool BrowserHost::proxySettingsFor(const std::string&, std::map<std::string, std::string>&)
{
    return false;
}

std::shared_ptr<DOM::Window> BrowserHost::wrapWindow(const std::shared_ptr<JSObject>& object)
{
    return object ? std::make_shared<DOM::Window>(object) : nullptr;
}

std::shared_ptr<DOM::Document> BrowserHost::wrapDocument(const std::shared_ptr<JSObject>& object)
{
    return object ? std::make_shared<DOM::Document>(object) : nullptr;
}

std::shared_ptr<DOM::Element> BrowserHost::wrapElement(const std::shared_ptr<JSObject>& object)
{
    return object ? std::make_shared<DOM::Element>(object) : nullptr;
}

std::shared_ptr<DOM::Node> BrowserHost::wrapNode(const std::shared_ptr<JSObject>& object)
{
    return object ? std::make_shared<DOM::Node>(object) : nullptr;
}

}  // namespace FB

namespace FB {

void* BrowserHost::getInstanceHandle()
{
    return nullptr;
}

std::shared_ptr<DOM::Document> BrowserHost::documentObject()
{
    return nullptr;
}

std::shared_ptr<DOM::Window> BrowserHost::windowObject()
{
    return nullptr;
}

std::shared_ptr<DOM::Element> BrowserHost::pluginElementObject()
{
    return nullptr;
}

void BrowserHost::runScript(const std::string&)
{
    throw std::runtime_error("Cannot find HTML window");
}

void BrowserHost::releasePendingObjects() {}

std::shared_ptr<BrowserStream> BrowserHost::openBrowserStream(const BrowserStreamRequest&)
{
    return nullptr;
}

std::shared_ptr<BrowserStream> BrowserHost::adoptBrowserStream(const BrowserStreamRequest&)
{
    return nullptr;
}

}  // namespace FB
