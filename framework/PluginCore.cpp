#include "PluginCore.h"

#include "BrowserHost.h"
#include "JSAPI.h"
#include "JSObject.h"
#include "PluginWindow.h"
#include "TraceLog.h"
#include "dom/Window.h"

#include <mutex>

namespace FB {

namespace {

struct PlatformNames {
    std::mutex lock;
    std::string os;
    std::string browser;
};

PlatformNames& platformNames()
{
    static PlatformNames names;
    return names;
}

}  // namespace

std::atomic<int> PluginCore::liveCores{0};

PluginCore::PluginCore()
{
    ++liveCores;
}

PluginCore::~PluginCore()
{
    // The road normally shut the host down already; a second shutdown is a no-op.
    if (host) {
        try {
            host->shutDownHost();
        } catch (...) {
            // A destructor never throws; the host is going with the page anyway.
        }
    }
    params.clear();
    modulePath.clear();
    scriptApi.reset();
    host.reset();
    --liveCores;
}

void PluginCore::setPlatform(const std::string& os, const std::string& browser)
{
    PlatformNames& names = platformNames();
    {
        std::lock_guard<std::mutex> guard(names.lock);
        names.os = os;
        names.browser = browser;
    }
    trace("PluginCore", "os: " + os + "; browser: " + browser);
}

std::string PluginCore::platformOs()
{
    PlatformNames& names = platformNames();
    std::lock_guard<std::mutex> guard(names.lock);
    return names.os;
}

std::string PluginCore::platformBrowser()
{
    PlatformNames& names = platformNames();
    std::lock_guard<std::mutex> guard(names.lock);
    return names.browser;
}

int PluginCore::activeCount()
{
    return liveCores.load();
}

void PluginCore::setHost(const std::shared_ptr<BrowserHost>& newHost)
{
    host = newHost;
}

std::shared_ptr<BrowserHost> PluginCore::getHost() const
{
    return host;
}

PluginWindow* PluginCore::getWindow() const
{
    return window;
}

void PluginCore::setStateFlag(bool flag)
{
    stateFlag = flag;
}

bool PluginCore::getStateFlag() const
{
    return stateFlag;
}

void PluginCore::setWindow(PluginWindow* newWindow)
{
    trace("PluginCore", "Window Set");
    if (newWindow == window) return;  // the same window again: already observed
    if (window) clearWindow();
    window = newWindow;
    if (window) window->addObserver(this);
}

void PluginCore::clearWindow()
{
    trace("PluginCore", "Window Cleared");
    if (!window) return;
    PluginWindow* detached = window;
    window = nullptr;
    detached->removeObserver(this);
}

std::shared_ptr<JSAPI> PluginCore::scriptApiObject()
{
    if (!scriptApi) scriptApi = makeScriptApi();
    return scriptApi;
}

bool PluginCore::wantsWindowless()
{
    if (windowless) return *windowless;
    windowless = false;
    auto found = params.find("windowless");
    if (found != params.end()) {
        try {
            windowless = found->second.convertToBool();
        } catch (const std::exception&) {
            windowless = false;  // an unreadable value means windowed
        }
    }
    return *windowless;
}

void PluginCore::setModulePath(const std::string& path)
{
    modulePath = path;
}

void PluginCore::setParams(const VariantDict& newParams)
{
    for (const auto& [name, value] : newParams) {
        if (name.compare(0, 2, "on") != 0) {
            params[name] = value;
            continue;
        }
        try {
            std::shared_ptr<DOM::Window> page = host ? host->windowObject() : nullptr;
            std::shared_ptr<JSObject> pageObject = page ? page->getJSObject() : nullptr;
            if (!pageObject) throw std::runtime_error("no page window");
            JSObjectPtr handler = pageObject->getProperty(value.convertToString()).convertToJSObject();
            params[name] = variant(handler);
            trace("PluginCore", "Found <param> event handler: " + name);
        } catch (const std::exception& e) {
            trace("PluginCore", "Exception processing <param> " + name + ": " + e.what());
            params[name] = value;
        }
    }
}

std::optional<std::string> PluginCore::getParamText(const std::string& name) const
{
    auto found = params.find(name);
    if (found == params.end()) return std::nullopt;
    try {
        return found->second.convertToString();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

variant PluginCore::getParamValue(const std::string& name) const
{
    auto found = params.find(name);
    return found == params.end() ? variant() : found->second;
}

void PluginCore::handleUnsolicitedStream(BrowserStreamRequest&) {}

bool PluginCore::markReady()
{
    trace("PluginCore", "Plugin Ready");
    bool scheduled = false;
    auto onload = params.find("onload");
    if (onload != params.end() && host) {
        try {
            host->installDelayedCallHelper(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this)));
            JSObjectPtr handler = onload->second.convertToJSObject();
            if (handler) {
                trace("PluginCore", "InvokeDelayed(onload)");
                scheduled = host->invokeDelayed(250, handler, VariantVector{variant(scriptApiObject())}, "") != -1;
            }
        } catch (...) {
            // A page that cannot take the call still gets a working plug-in.
        }
    }
    onReady();
    return scheduled;
}

}  // namespace FB
