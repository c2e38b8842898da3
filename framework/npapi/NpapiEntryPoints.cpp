// The library's NPAPI exports and the thirteen handlers of the plug-in table.
//
// Each handler finds the instance's plug-in object and forwards to it; NPP_New
// and NPP_Destroy also make and dismantle the pair of browser host and plug-in
// object. Every handler is a boundary: nothing it calls may throw into the
// browser, and a failed NPP_New leaves nothing behind.
#include "NpapiEntryPoints.h"

#include "BrowserPlugin.h"
#include "FactoryBase.h"
#include "NpapiBrowserHost.h"
#include "NpapiPlugin.h"
#include "NpapiPluginModule.h"
#include "TraceLog.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <sstream>

namespace FB {
namespace Npapi {

namespace {

// NPP::pdata of every instance that NPP_New accepted.
struct InstanceRecord {
    NpapiBrowserHostPtr host;
    NpapiPluginPtr plugin;
};

// The asynchronous-call test, computed for the first instance after the module
// was made (NP_Shutdown forgets it: a later browser table may differ).
struct AsyncCallTest {
    bool computed = false;
    bool answer = false;
};
AsyncCallTest asyncCallTest;

std::string pointerText(const void* pointer)
{
    std::ostringstream text;
    text << pointer;
    return text.str();
}

InstanceRecord* recordOf(NPP instance)
{
    return instance ? static_cast<InstanceRecord*>(instance->pdata) : nullptr;
}

// A reference of the caller's own: the plug-in object stays while a handler
// runs, even when the core ends the instance (NPP_Destroy) from inside it.
NpapiPluginPtr pluginOf(NPP instance)
{
    InstanceRecord* record = recordOf(instance);
    return record ? record->plugin : nullptr;
}

void factoryGlobalInit()
{
    if (FactoryBasePtr factory = getFactoryInstance()) factory->globalInit();
}

void factoryGlobalDeinit()
{
    if (FactoryBasePtr factory = getFactoryInstance()) factory->globalDeinit();
}

// The module's first and last steps are the plug-in factory's global init and de-init.
void installLifecycle()
{
    NpapiPluginModule::setLifecycle({factoryGlobalInit, factoryGlobalDeinit});
}

NpapiPluginModule* defaultModule()
{
    installLifecycle();
    return NpapiPluginModule::getDefault();
}

NpapiBrowserHostPtr makeBrowserHost(NpapiPluginModule* module, NPP instance)
{
    if (needsWindowAsyncCalls(module, instance)) {
        module->browserFuncs().pluginthreadasynccall = nullptr;
        return std::make_shared<NpapiBrowserHostAsyncWin>(module, instance);
    }
    return std::make_shared<NpapiBrowserHost>(module, instance);
}

void dismantle(const NpapiBrowserHostPtr& host, const NpapiPluginPtr& plugin)
{
    try {
        if (host) host->shutDownHost();
    } catch (...) {
        // The plug-in object is still shut down below.
    }
    try {
        if (plugin) plugin->shutdown();
    } catch (...) {
        // The browser forgets the instance anyway; nothing may reach it.
    }
}

NPError NPP_New(NPMIMEType mimeType, NPP instance, uint16_t, int16_t argc, char* argn[], char* argv[], NPSavedData*)
{
    trace("NPAPI", "NPP_New: " + pointerText(instance));
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    NpapiBrowserHostPtr host;
    NpapiPluginPtr plugin;
    try {
        NpapiPluginModule* module = defaultModule();
        host = makeBrowserHost(module, instance);
        host->setBrowserFuncs(&module->browserFuncs());
        std::string mime = mimeType ? mimeType : "";
        FactoryBasePtr factory = getFactoryInstance();
        plugin = factory ? factory->makeNpapiPlugin(host, mime) : nullptr;
        if (!plugin) {
            dismantle(host, nullptr);
            return NPERR_OUT_OF_MEMORY_ERROR;
        }
        auto* record = new InstanceRecord{host, plugin};
        instance->pdata = record;
        try {
            plugin->init(mimeType, argc, argn, argv);
        } catch (...) {
            instance->pdata = nullptr;
            delete record;
            throw;
        }
        return NPERR_NO_ERROR;
    } catch (const PluginCreateError& e) {
        std::printf("%s\n", e.what());
        dismantle(host, plugin);
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    } catch (const std::bad_alloc& e) {
        std::printf("%s\n", e.what());
        dismantle(host, plugin);
        return NPERR_OUT_OF_MEMORY_ERROR;
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        dismantle(host, plugin);
        return NPERR_GENERIC_ERROR;
    } catch (...) {
        dismantle(host, plugin);
        return NPERR_GENERIC_ERROR;
    }
}

NPError NPP_Destroy(NPP instance, NPSavedData**)
{
    trace("NPAPI", "NPP_Destroy: " + pointerText(instance));
    InstanceRecord* record = recordOf(instance);
    if (!record) return NPERR_INVALID_INSTANCE_ERROR;
    NpapiBrowserHostPtr host = record->host;
    NpapiPluginPtr plugin = record->plugin;
    instance->pdata = nullptr;
    delete record;
    dismantle(host, plugin);  // the host first, then the plug-in object
    try {
        plugin.reset();
        host.reset();
    } catch (...) {
        // The instance is gone for the browser: destruction answers success.
    }
    return NPERR_NO_ERROR;
}

// Runs a forwarding handler: the instance's plug-in object or the given answers.
// The trace line names the instance, then what detail says.
template <class Result, class Operation>
Result forward(NPP instance, Result noInstance, Result noPlugin, Result failed, Operation operation,
    const std::string& detail = std::string())
{
    trace("NPAPI", pointerText(instance) + detail);
    if (!recordOf(instance)) return noInstance;
    NpapiPluginPtr plugin = pluginOf(instance);
    if (!plugin) return noPlugin;
    try {
        return operation(*plugin);
    } catch (...) {
        return failed;
    }
}

template <class Operation>
void forwardVoid(NPP instance, Operation operation)
{
    trace("NPAPI", pointerText(instance));
    NpapiPluginPtr plugin = pluginOf(instance);
    if (!plugin) return;
    try {
        operation(*plugin);
    } catch (...) {
        // A call without an answer has no way to report; the browser goes on.
    }
}

NPError NPP_SetWindow(NPP instance, NPWindow* window)
{
    return forward<NPError>(instance, NPERR_INVALID_INSTANCE_ERROR, NPERR_NO_ERROR, NPERR_GENERIC_ERROR,
        [&](NpapiPlugin& p) { return p.setWindow(window); });
}

NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype)
{
    return forward<NPError>(instance, NPERR_INVALID_INSTANCE_ERROR, NPERR_GENERIC_ERROR, NPERR_GENERIC_ERROR,
        [&](NpapiPlugin& p) { return p.newStream(type, stream, seekable, stype); });
}

NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason)
{
    return forward<NPError>(instance, NPERR_INVALID_INSTANCE_ERROR, NPERR_GENERIC_ERROR, NPERR_GENERIC_ERROR,
        [&](NpapiPlugin& p) { return p.destroyStream(stream, reason); });
}

void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fileName)
{
    forwardVoid(instance, [&](NpapiPlugin& p) { p.streamAsFile(stream, fileName); });
}

// A dead instance stops the stream (-1) rather than report an error code as a byte count.
int32_t NPP_WriteReady(NPP instance, NPStream* stream)
{
    return forward<int32_t>(instance, -1, -1, -1, [&](NpapiPlugin& p) { return p.writeReady(stream); });
}

int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t length, void* buffer)
{
    return forward<int32_t>(
        instance, -1, -1, -1, [&](NpapiPlugin& p) { return p.write(stream, offset, length, buffer); });
}

void NPP_Print(NPP instance, NPPrint* platformPrint)
{
    forwardVoid(instance, [&](NpapiPlugin& p) { p.print(platformPrint); });
}

int16_t NPP_HandleEvent(NPP instance, void* event)
{
    return forward<int16_t>(instance, 0, 0, 0, [&](NpapiPlugin& p) { return p.handleEvent(event); });
}

void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData)
{
    forwardVoid(instance, [&](NpapiPlugin& p) { p.urlNotify(url, reason, notifyData); });
}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value)
{
    trace("NPAPI", pointerText(instance));
    if (!recordOf(instance)) {
        // The texts answered without an instance are built once and live until the process ends.
        const bool text = variable == NPPVpluginNameString || variable == NPPVpluginDescriptionString;
        if (text && !value) return NPERR_INVALID_PARAM;
        try {
            if (variable == NPPVpluginNameString) {
                static const std::string* name = new std::string(pluginName());
                *static_cast<const char**>(value) = name->c_str();
                return NPERR_NO_ERROR;
            }
            if (variable == NPPVpluginDescriptionString) {
                static const std::string* description = new std::string(pluginDescription(""));
                *static_cast<const char**>(value) = description->c_str();
                return NPERR_NO_ERROR;
            }
        } catch (...) {
            // Out of memory: answered as a generic error below.
        }
        return NPERR_GENERIC_ERROR;
    }
    NpapiPluginPtr plugin = pluginOf(instance);
    if (!plugin) return NPERR_NO_ERROR;
    try {
        return plugin->getValue(variable, value);
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

NPError NPP_SetValue(NPP instance, NPNVariable variable, void* value)
{
    return forward<NPError>(
        instance, NPERR_INVALID_INSTANCE_ERROR, NPERR_GENERIC_ERROR, NPERR_GENERIC_ERROR,
        [&](NpapiPlugin& p) { return p.setValue(variable, value); },
        "variable: " + std::to_string(static_cast<int>(variable)));
}

}  // namespace

bool needsWindowAsyncCalls(NpapiPluginModule* module, NPP instance)
{
    if (asyncCallTest.computed) return asyncCallTest.answer;
    const NPNetscapeFuncs& funcs = module->browserFuncs();
    const char* agent = funcs.uagent ? funcs.uagent(instance) : nullptr;
    bool answer = (agent && std::strstr(agent, "Safari")) || funcs.version < NPVERS_HAS_PLUGIN_THREAD_ASYNC_CALL ||
        !funcs.pluginthreadasynccall;  // a missing entry cannot deliver anything
    asyncCallTest = {true, answer};
    return answer;
}

NPError getEntryPoints(NPPluginFuncs* funcs)
{
    try {
        trace("NPAPI", "");
        defaultModule();
        if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
        funcs->newp = NPP_New;
        funcs->destroy = NPP_Destroy;
        funcs->setwindow = NPP_SetWindow;
        funcs->newstream = NPP_NewStream;
        funcs->destroystream = NPP_DestroyStream;
        funcs->asfile = NPP_StreamAsFile;
        funcs->writeready = NPP_WriteReady;
        funcs->write = NPP_Write;
        funcs->print = NPP_Print;
        funcs->event = NPP_HandleEvent;
        funcs->urlnotify = NPP_URLNotify;
        funcs->getvalue = NPP_GetValue;
        funcs->setvalue = NPP_SetValue;
        return NPERR_NO_ERROR;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

NPError initialize(NPNetscapeFuncs* funcs)
{
    try {
        if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
        defaultModule()->setBrowserFuncs(funcs);
        trace("NPAPI", "Initialization done");
        return NPERR_NO_ERROR;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

NPError shutdown()
{
    try {
        trace("NPAPI", "");
        installLifecycle();
        NpapiPluginModule::releaseDefault();
        asyncCallTest = {};
        return NPERR_NO_ERROR;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

}  // namespace Npapi
}  // namespace FB
