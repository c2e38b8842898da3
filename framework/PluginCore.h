// The browser-independent half of one plug-in instance.
//
// Keeps the instance's browser host, its parameters (the param values of the
// object or embed element), its window and its root scripting object, and runs
// the "ready" step that calls the page's "onload" handler. The browser-specific
// plug-in objects create a core through the factory, feed it host, parameters
// and window, and tell it when the instance is ready; the application derives
// from it and makes the scripting object.
//
// Parameters whose names begin with "on" name page functions: they are stored
// as the page's function objects when the host can find them, else unchanged.
//
// Threading: used on the browser's main thread. The count of live cores may be
// read on any thread.
#pragma once

#include "PluginEventSink.h"
#include "variant.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace FB {

class BrowserHost;
class BrowserStreamRequest;
class JSAPI;
class PluginWindow;

class PluginCore : public PluginEventSink {
public:
    PluginCore();
    ~PluginCore() override;

    // Stores the names of the operating system and the browser.
    static void setPlatform(const std::string& os, const std::string& browser);
    static std::string platformOs();
    static std::string platformBrowser();
    static int activeCount();

    virtual void setHost(const std::shared_ptr<BrowserHost>& host);
    virtual PluginWindow* getWindow() const;
    virtual void setStateFlag(bool flag);
    virtual bool getStateFlag() const;
    // Attaches a window (the core observes it); another window is detached first.
    virtual void setWindow(PluginWindow* window);
    virtual void clearWindow();
    // Called once by the browser plug-in object when the instance is ready;
    // true when the page's "onload" handler was scheduled.
    virtual bool markReady();
    virtual void onReady() {}
    virtual void beforeShutdown() {}
    virtual std::shared_ptr<JSAPI> makeScriptApi() = 0;
    // The root scripting object, made on the first request and kept.
    virtual std::shared_ptr<JSAPI> scriptApiObject();
    virtual bool wantsWindowless();
    virtual void setModulePath(const std::string& path);
    virtual void setParams(const VariantDict& params);
    // The parameter as text; nothing when absent or not convertible.
    virtual std::optional<std::string> getParamText(const std::string& name) const;
    // The parameter, or the empty value when absent.
    virtual variant getParamValue(const std::string& name) const;
    // A stream the browser started by itself is offered here; marking the
    // request accepted (and giving it a handler or a callback) takes it. The
    // core takes none.
    virtual void handleUnsolicitedStream(BrowserStreamRequest& request);
    virtual std::shared_ptr<BrowserHost> getHost() const;

    const std::string& getModulePath() const { return modulePath; }

protected:
    std::shared_ptr<BrowserHost> host;
    std::string modulePath;
    bool stateFlag = false;
    VariantDict params;
    PluginWindow* window = nullptr;
    std::shared_ptr<JSAPI> scriptApi;
    std::optional<bool> windowless;

private:
    static std::atomic<int> liveCores;
};

using PluginCorePtr = std::shared_ptr<PluginCore>;

}  // namespace FB
