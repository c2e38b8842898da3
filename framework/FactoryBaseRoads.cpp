// The factory's makers for the browser roads. Each road (NPAPI plug-in object,
// plug-in windows, COM script object, registry script) replaces its body here
// when it joins the library; until then a maker gives nothing.
#include "FactoryBase.h"

#include "ActiveXResources.h"
#include "COMJavascriptObject.h"
#include "DllModule.h"
#include "FrameBaseWinModule.h"
#include "NpapiPlugin.h"
#include "PluginWindowWin.h"
#include "PluginWindowlessWin.h"

namespace FB {

std::shared_ptr<Npapi::NpapiPlugin> FactoryBase::makeNpapiPlugin(
    const std::shared_ptr<Npapi::NpapiBrowserHost>& host, const std::string& mimeType)
{
    return Npapi::createNpapiPlugin(host, mimeType);
}

PluginWindowWin* FactoryBase::makeWindowedWindow(HWND__* window)
{
    return newPluginWindowWin(window);
}

PluginWindowlessWin* FactoryBase::makeWindowlessWindow(HDC__* context)
{
    return newPluginWindowlessWin(context);
}

IDispatchEx* FactoryBase::makeComScriptObject(
    const std::weak_ptr<JSAPI>& api, const std::shared_ptr<ActiveX::ActiveXBrowserHost>& host, bool autoRelease)
{
    return ActiveX::COMJavascriptObject::createDispatchEx(api, host, autoRelease);
}

long FactoryBase::updateRegistry(bool registering)
{
    Atl::DllModule* module = Atl::DllModule::current();
    if (!module) return E_UNEXPECTED;  // not inside the plug-in library
    return module->updateRegistryFromResource(IDR_FBCONTROL, registering, ActiveX::registryReplacementList());
}

}  // namespace FB
