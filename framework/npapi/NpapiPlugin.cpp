#include "NpapiPlugin.h"

#include "ModuleInstance.h"
#include "NPJavascriptObject.h"
#include "NpapiBrowserHost.h"
#include "PluginCore.h"
#include "TraceLog.h"

namespace FB {
namespace Npapi {

NpapiPlugin::NpapiPlugin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType)
    : BrowserPlugin(mimeType),
      host_(host),
      mimeType_(mimeType),
      pluginName_(FB::pluginName()),
      pluginDescription_(FB::pluginDescription(mimeType))
{
    if (pluginMain) pluginMain->setHost(host);
}

NpapiPluginWin::NpapiPluginWin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType)
    : NpapiPlugin(host, mimeType)
{
    PluginCore::setPlatform("Windows", "NPAPI");
    setModulePath(FB::modulePath());
}

NpapiPluginPtr createNpapiPlugin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType)
{
    return std::make_shared<NpapiPluginWin>(host, mimeType);
}

NpapiPlugin::~NpapiPlugin()
{
    if (scriptObject_ && host_) host_->ReleaseObject(scriptObject_);
}

void NpapiPlugin::shutdown()
{
    if (!pluginMain) return;
    pluginMain->clearWindow();
    pluginMain->beforeShutdown();
}

void NpapiPlugin::init(NPMIMEType, int16_t argc, char* argn[], char* argv[])
{
    VariantDict params;
    for (int16_t i = 0; i < argc; ++i) {
        if (!argn || !argv || !argn[i] || !argv[i]) continue;  // attributes without a value are left out
        params[argn[i]] = variant(std::string(argv[i]));
    }
    if (!pluginMain) return;
    pluginMain->setParams(params);
    if (pluginMain->wantsWindowless()) {
        host_->SetValue(NPPVpluginWindowBool, reinterpret_cast<void*>(static_cast<uintptr_t>(false)));
        host_->SetValue(NPPVpluginTransparentBool, reinterpret_cast<void*>(static_cast<uintptr_t>(true)));
    }
    setReady();
}

bool NpapiPlugin::setReady()
{
    if (ready_) return false;
    ready_ = pluginMain && pluginMain->markReady();
    return ready_;
}

NPError NpapiPlugin::setWindow(NPWindow*)
{
    return NPERR_NO_ERROR;
}

// Streams are not offered here: a stream the browser starts is refused and
// data already on its way is stopped.
NPError NpapiPlugin::newStream(NPMIMEType, NPStream*, NPBool, uint16_t*)
{
    return NPERR_GENERIC_ERROR;
}
NPError NpapiPlugin::destroyStream(NPStream*, NPReason)
{
    return NPERR_NO_ERROR;
}
int32_t NpapiPlugin::writeReady(NPStream*)
{
    return -1;
}
int32_t NpapiPlugin::write(NPStream*, int32_t, int32_t, void*)
{
    return -1;
}
void NpapiPlugin::streamAsFile(NPStream*, const char*) {}
void NpapiPlugin::urlNotify(const char*, NPReason, void*) {}

void NpapiPlugin::print(NPPrint*) {}

int16_t NpapiPlugin::handleEvent(void*)
{
    return 0;
}

NPError NpapiPlugin::getValue(NPPVariable variable, void* value)
{
    switch (variable) {
    case NPPVpluginNameString:
        trace("PluginCore", "GetValue(NPPVpluginNameString)");
        *static_cast<const char**>(value) = pluginName_.c_str();
        return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
        trace("PluginCore", "GetValue(NPPVpluginDescriptionString)");
        *static_cast<const char**>(value) = pluginDescription_.c_str();
        return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject:
        trace("PluginCore", "GetValue(NPPVpluginScriptableNPObject)");
        *static_cast<NPObject**>(value) = getScriptableObject();
        return NPERR_NO_ERROR;
    default: trace("PluginCore", "GetValue(Unknown)"); return NPERR_GENERIC_ERROR;
    }
}

NPError NpapiPlugin::setValue(NPNVariable, void*)
{
    return NPERR_NO_ERROR;
}

NPObject* NpapiPlugin::getScriptableObject()
{
    if (!scriptObject_) {
        JSAPIPtr api = pluginMain ? pluginMain->scriptApiObject() : nullptr;
        if (!api) return nullptr;
        // Not through the host's wrapper cache: the instance owns this one reference.
        scriptObject_ = NPJavascriptObject::newObject(api, host_, false);
    }
    if (scriptObject_ && retainReturnedObject_) host_->RetainObject(scriptObject_);
    return scriptObject_;
}

}  // namespace Npapi
}  // namespace FB
