// The browser host's page-facing operations: kept objects, the delayed-call
// helper and page logging.
#include "BrowserHost.h"

#include "JSAPI.h"
#include "JSObject.h"
#include "ScriptErrors.h"
#include "TraceLog.h"
#include "utf8_tools.h"
#include "dom/Window.h"
#include "variant.h"

#include <cstdio>

namespace FB {

namespace {

// One page log line in flight to the main thread.
struct PageLogCall {
    BrowserHostPtr host;
    std::string message;
};

void deliverPageLog(void* data)
{
    std::unique_ptr<PageLogCall> call(static_cast<PageLogCall*>(data));
    try {
        std::shared_ptr<DOM::Window> window = call->host->windowObject();
        std::shared_ptr<JSObject> page = window ? window->getJSObject() : nullptr;
        if (!page || !page->hasProperty("console")) return;
        std::shared_ptr<JSObject> console = page->getProperty("console").convertToJSObject();
        // The message is page text: never a format string.
        std::printf("Logging: %s\n", call->message.c_str());
        std::fflush(stdout);
        if (console) console->invoke("log", VariantVector{variant(call->message)});
    } catch (const std::exception&) {
        trace("BrowserHost", "Logging to browser console failed");
    } catch (...) {
        trace("BrowserHost", "Logging to browser console failed");
    }
}

std::string delayedCallHelperScript(const std::string& number)
{
    return "window.__FB_CALL_" + number +
        " = function(delay, f, args, fname) {   if (arguments.length == 3)       return setTimeout(function() "
        "{ f.apply(null, args); }, delay);   else       return setTimeout(function() { f[fname].apply(f, "
        "args); }, delay);};";
}

}  // namespace

void BrowserHost::releaseKeptObjectsForShutdown()
{
    std::vector<std::shared_ptr<JSAPI>> kept;
    {
        std::lock_guard<RecursiveMutex> guard(keptObjectsLock);
        kept = keptObjects;
    }
    for (const auto& object : kept) {
        try {
            object->releaseHook();
        } catch (...) {
            // One failing hook must not keep the other objects from being released.
        }
    }
    kept.clear();
    releaseAllKeptObjects();
}

void BrowserHost::runScript(const std::wstring& script)
{
    runScript(wideToUtf8(script));
}

uint32_t BrowserHost::delayedCallSeed() const
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this));
}

void BrowserHost::installDelayedCallHelper(uint32_t seed)
{
    const uint32_t number = seed + seed / 8;
    delayedCallHelperId = std::to_string(number);
    delayedCallHelperName = "__FB_CALL_" + delayedCallHelperId;
    runScript(delayedCallHelperScript(delayedCallHelperId));
}

std::shared_ptr<JSObject> BrowserHost::delayedCallHelper()
{
    std::shared_ptr<DOM::Window> window = windowObject();
    std::shared_ptr<JSObject> page = window ? window->getJSObject() : nullptr;
    if (!page) return nullptr;
    if (delayedCallHelperName.empty()) installDelayedCallHelper(delayedCallSeed());
    std::shared_ptr<JSObject> helper;
    try {
        helper = page->getProperty(delayedCallHelperName).convertToJSObject();
    } catch (const script_error&) {
        // No helper on the page (any more): installed again below.
    } catch (const bad_variant_cast&) {
        // The helper's name holds no function: installed again below.
    }
    if (helper) return helper;
    // The page lost the helper (it navigated, or script replaced it): install it again.
    installDelayedCallHelper(delayedCallSeed());
    return page->getProperty(delayedCallHelperName).convertToJSObject();
}

int BrowserHost::invokeDelayed(int delayMs, const std::shared_ptr<JSObject>& function, const VariantVector& arguments,
    const std::string& methodName)
{
    std::shared_ptr<JSObject> helper = delayedCallHelper();
    if (!helper) return -1;
    VariantVector helperArguments{variant(delayMs), variant(function), variant(arguments)};
    if (!methodName.empty()) helperArguments.push_back(variant(methodName));
    return helper->invoke("", helperArguments).convertToInt();
}

void BrowserHost::logToPage(const std::string& message)
{
    try {
        trace("BrowserHost", "Logging to HTML: " + message);
        if (!pageLogging.load()) return;
        auto* call = new PageLogCall{shared_from_this(), message};
        if (!postMainThreadCall(&deliverPageLog, call)) delete call;
    } catch (...) {
        // Logging never breaks its caller.
    }
}

}  // namespace FB
