#include "BrowserRoads.h"

#include "ActiveXResources.h"
#include "COMJavascriptObject.h"
#include "DllModule.h"
#include "FrameBaseWinModule.h"
#include "NpapiPlugin.h"
#include "PluginWindowWin.h"
#include "PluginWindowlessWin.h"

namespace FB {

namespace {

long updateRegistryFromResource(bool registering)
{
    Atl::DllModule* module = Atl::DllModule::current();
    if (!module) return E_UNEXPECTED;  // not inside the plug-in library
    return module->updateRegistryFromResource(IDR_FBCONTROL, registering, ActiveX::registryReplacementList());
}

}  // namespace

FactoryRoads browserRoads()
{
    FactoryRoads roads;
    roads.makeNpapiPlugin = &Npapi::createNpapiPlugin;
    roads.makeWindowedWindow = &newPluginWindowWin;
    roads.makeWindowlessWindow = &newPluginWindowlessWin;
    roads.makeComScriptObject = &ActiveX::COMJavascriptObject::createDispatchEx;
    roads.updateRegistry = &updateRegistryFromResource;
    return roads;
}

}  // namespace FB
