// The factory through which the browser-specific code creates what belongs to
// one plug-in instance: the application's plug-in core, the NPAPI plug-in
// object, the plug-in windows and the COM script object; plus the hooks for
// process-wide set-up and registry work.
//
// The application provides exactly one factory for the process and returns it
// from getFactoryInstance. The makers for the NPAPI plug-in object, the windows,
// the COM script object and the registry script are the browser roads', handed
// in as FactoryRoads by the library that links the roads (browserRoads() of
// plugin/BrowserRoads.h); a factory without them makes nothing of a road.
//
// Threading: the makers run on the browser's main thread; globalInit and
// globalDeinit run once per module load/unload.
#pragma once

#include <memory>
#include <string>

struct HWND__;
struct HDC__;
struct IDispatchEx;

namespace FB {

class JSAPI;
class PluginCore;
class PluginWindowWin;
class PluginWindowlessWin;

namespace Npapi {
class NpapiPlugin;
class NpapiBrowserHost;
}  // namespace Npapi

namespace ActiveX {
class ActiveXBrowserHost;
}  // namespace ActiveX

// The roads' makers behind FactoryBase's own; an empty slot makes nothing.
struct FactoryRoads {
    std::shared_ptr<Npapi::NpapiPlugin> (*makeNpapiPlugin)(
        const std::shared_ptr<Npapi::NpapiBrowserHost>& host, const std::string& mimeType) = nullptr;
    PluginWindowWin* (*makeWindowedWindow)(HWND__* window) = nullptr;
    PluginWindowlessWin* (*makeWindowlessWindow)(HDC__* context) = nullptr;
    IDispatchEx* (*makeComScriptObject)(const std::weak_ptr<JSAPI>& api,
        const std::shared_ptr<ActiveX::ActiveXBrowserHost>& host, bool autoRelease) = nullptr;
    long (*updateRegistry)(bool registering) = nullptr;
};

class FactoryBase {
public:
    FactoryBase() = default;
    explicit FactoryBase(const FactoryRoads& roads) : roads(roads) {}
    FactoryBase(const FactoryBase&) = delete;
    FactoryBase& operator=(const FactoryBase&) = delete;
    virtual ~FactoryBase();

    virtual std::shared_ptr<PluginCore> makePluginCore(const std::string& mimeType) = 0;
    // Once per process before the first instance, and when the module may unload.
    virtual void globalInit();
    virtual void globalDeinit();

    // The NPAPI plug-in object of one instance.
    virtual std::shared_ptr<Npapi::NpapiPlugin> makeNpapiPlugin(
        const std::shared_ptr<Npapi::NpapiBrowserHost>& host, const std::string& mimeType);
    virtual PluginWindowWin* makeWindowedWindow(HWND__* window);
    virtual PluginWindowlessWin* makeWindowlessWindow(HDC__* context);
    // The COM object that exposes a scriptable object to COM script.
    virtual IDispatchEx* makeComScriptObject(
        const std::weak_ptr<JSAPI>& api, const std::shared_ptr<ActiveX::ActiveXBrowserHost>& host, bool autoRelease);
    // Runs the registry script for registration (true) or removal; an HRESULT
    // (E_UNEXPECTED without the roads).
    virtual long updateRegistry(bool registering);

private:
    const FactoryRoads roads;
};

using FactoryBasePtr = std::shared_ptr<FactoryBase>;

// The process-wide factory; defined by the application.
FactoryBasePtr getFactoryInstance();

}  // namespace FB
