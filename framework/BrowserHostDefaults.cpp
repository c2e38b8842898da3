// The browser host's default proxy lookup (the one handed in), its
// DOM-wrapping operations, and the neutral answers of a host without a page.
#include "BrowserHost.h"

#include "TraceLog.h"
#include "dom/Document.h"
#include "dom/Window.h"

#include <stdexcept>

namespace FB {

bool BrowserHost::proxySettingsFor(const std::string& url, std::map<std::string, std::string>& settings)
{
    return defaultProxyLookup && defaultProxyLookup(url, settings);
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

}  // namespace FB
