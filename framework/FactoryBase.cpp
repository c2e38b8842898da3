#include "FactoryBase.h"

#include <windows.h>

namespace FB {

FactoryBase::~FactoryBase() = default;

void FactoryBase::globalInit() {}

void FactoryBase::globalDeinit() {}

std::shared_ptr<Npapi::NpapiPlugin> FactoryBase::makeNpapiPlugin(
    const std::shared_ptr<Npapi::NpapiBrowserHost>& host, const std::string& mimeType)
{
    return roads.makeNpapiPlugin ? roads.makeNpapiPlugin(host, mimeType) : nullptr;
}

PluginWindowWin* FactoryBase::makeWindowedWindow(HWND__* window)
{
    return roads.makeWindowedWindow ? roads.makeWindowedWindow(window) : nullptr;
}

PluginWindowlessWin* FactoryBase::makeWindowlessWindow(HDC__* context)
{
    return roads.makeWindowlessWindow ? roads.makeWindowlessWindow(context) : nullptr;
}

IDispatchEx* FactoryBase::makeComScriptObject(
    const std::weak_ptr<JSAPI>& api, const std::shared_ptr<ActiveX::ActiveXBrowserHost>& host, bool autoRelease)
{
    return roads.makeComScriptObject ? roads.makeComScriptObject(api, host, autoRelease) : nullptr;
}

long FactoryBase::updateRegistry(bool registering)
{
    return roads.updateRegistry ? roads.updateRegistry(registering) : E_UNEXPECTED;
}

}  // namespace FB
