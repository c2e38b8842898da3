#include "BridgeTestPlugin.h"

#include <new>

namespace BridgeTestPlugin {

using FB::Npapi::NpapiBrowserHost;
using FB::Npapi::NpapiBrowserHostAsyncWin;
using FB::Npapi::NpapiPluginModule;

bool windowRoad = false;

InstanceData* dataOf(NPP instance)
{
    return instance ? static_cast<InstanceData*>(instance->pdata) : nullptr;
}

namespace {

NPError newInstance(NPMIMEType, NPP instance, uint16_t, int16_t, char**, char**, NPSavedData*)
{
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    try {
        std::shared_ptr<NpapiPluginModule> module = NpapiPluginModule::getDefault();
        std::shared_ptr<NpapiBrowserHost> host;
        if (windowRoad)
            host = std::make_shared<NpapiBrowserHostAsyncWin>(module, instance);
        else
            host = std::make_shared<NpapiBrowserHost>(module, instance);
        host->setBrowserFuncs(&module->browserFuncs());
        instance->pdata = new InstanceData{host, std::make_shared<BridgeTestAPI>()};
        return NPERR_NO_ERROR;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

NPError destroyInstance(NPP instance, NPSavedData**)
{
    InstanceData* data = dataOf(instance);
    if (!data) return NPERR_INVALID_INSTANCE_ERROR;
    try {
        data->host->shutDownHost();
    } catch (...) {
    }
    instance->pdata = nullptr;
    delete data;
    return NPERR_NO_ERROR;
}

NPError getValue(NPP instance, NPPVariable variable, void* value)
{
    InstanceData* data = dataOf(instance);
    if (!data || variable != NPPVpluginScriptableNPObject) return NPERR_GENERIC_ERROR;
    try {
        *static_cast<NPObject**>(value) = data->host->getJSAPIWrapper(data->api, true);
        return NPERR_NO_ERROR;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

}  // namespace

NPError NP_EXPORT_CALL getEntryPoints(NPPluginFuncs* funcs)
{
    NpapiPluginModule::getDefault();
    funcs->newp = newInstance;
    funcs->destroy = destroyInstance;
    funcs->getvalue = getValue;
    return NPERR_NO_ERROR;
}

NPError NP_EXPORT_CALL initialize(NPNetscapeFuncs* funcs)
{
    NpapiPluginModule::getDefault()->setBrowserFuncs(funcs);
    return NPERR_NO_ERROR;
}

NPError NP_EXPORT_CALL shutdown()
{
    NpapiPluginModule::releaseDefault();
    return NPERR_NO_ERROR;
}

}  // namespace BridgeTestPlugin
