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
    bool ending = false;  // NPP_Destroy is dismantling it
};

// The asynchronous-call test, computed for the first instance of the process.
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

std::shared_ptr<NpapiPluginModule> defaultModule()
{
    installLifecycle();
    return NpapiPluginModule::getDefault();
}

// Every handler runs on the browser's main thread: the releases that hosts
// gone on other threads left to their module are made there.
void releaseLeftObjects(const InstanceRecord* record)
{
    if (record && record->host) record->host->module()->releasePendingObjects();
}

NpapiBrowserHostPtr makeBrowserHost(const std::shared_ptr<NpapiPluginModule>& module, NPP instance)
{
    if (needsWindowAsyncCalls(module.get(), instance)) {
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
    // An instance that already carries data is refused, not overwritten: what
    // pdata points to may be a live instance of ours (which goes on working and
    // is ended by its NPP_Destroy) or the browser's garbage, never to be read.
    if (instance->pdata) {
        trace("NPAPI", "NPP_New: the instance already has data");
        return NPERR_INVALID_INSTANCE_ERROR;
    }
    NpapiBrowserHostPtr host;
    NpapiPluginPtr plugin;
    try {
        std::shared_ptr<NpapiPluginModule> module = defaultModule();
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
    if (record->ending) return NPERR_NO_ERROR;  // called again from inside the shutdowns below
    record->ending = true;
    NpapiBrowserHostPtr host = record->host;
    NpapiPluginPtr plugin = record->plugin;
    std::shared_ptr<NpapiPluginModule> module = host ? host->module() : nullptr;
    // The instance keeps its record while both shut down: the handlers they cause still find it.
    dismantle(host, plugin);  // the host first, then the plug-in object
    instance->pdata = nullptr;
    delete record;
    try {
        plugin.reset();
        host.reset();
        if (module) module->releasePendingObjects();
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
    InstanceRecord* record = recordOf(instance);
    if (!record) return noInstance;
    releaseLeftObjects(record);
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
    const NPNetscapeFuncs& funcs = module->browserFuncs();
    if (!asyncCallTest.computed) {
        const char* agent = funcs.uagent ? funcs.uagent(instance) : nullptr;
        const bool answer =
            (agent && std::strstr(agent, "Safari")) || funcs.version < NPVERS_HAS_PLUGIN_THREAD_ASYNC_CALL;
        asyncCallTest = {true, answer};
    }
    return asyncCallTest.answer || !funcs.pluginthreadasynccall;  // a missing entry cannot deliver anything
}

// Writes one handler when the browser's table is long enough to hold it: an
// older browser's shorter table ends before the later entries.
#define SET_ENTRY(entry, handler)                                                                                      \
    do {                                                                                                               \
        if (funcs->size >= NPP_ENTRY_END(entry)) funcs->entry = handler;                                               \
    } while (0)

NPError getEntryPoints(NPPluginFuncs* funcs)
{
    try {
        trace("NPAPI", "");
        defaultModule();
        if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
        SET_ENTRY(newp, NPP_New);
        SET_ENTRY(destroy, NPP_Destroy);
        SET_ENTRY(setwindow, NPP_SetWindow);
        SET_ENTRY(newstream, NPP_NewStream);
        SET_ENTRY(destroystream, NPP_DestroyStream);
        SET_ENTRY(asfile, NPP_StreamAsFile);
        SET_ENTRY(writeready, NPP_WriteReady);
        SET_ENTRY(write, NPP_Write);
        SET_ENTRY(print, NPP_Print);
        SET_ENTRY(event, NPP_HandleEvent);
        SET_ENTRY(urlnotify, NPP_URLNotify);
        SET_ENTRY(getvalue, NPP_GetValue);
        SET_ENTRY(setvalue, NPP_SetValue);
        return NPERR_NO_ERROR;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

#undef SET_ENTRY

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
        return NPERR_NO_ERROR;
    } catch (...) {
        return NPERR_GENERIC_ERROR;
    }
}

}  // namespace Npapi
}  // namespace FB
