// A tiny plug-in library that proves the test browser: its scriptable object
// offers just enough members to drive every road of the browser.
//   add(a, b)        the sum (numbers)
//   echo(x)          x back (strings copied, objects retained)
//   later(f, x)      calls f(x) from the main thread, posted from a worker thread
//   evaluate(text)   NPN_Evaluate on the window
//   callWindow(name, ...)  NPN_Invoke on the window
//   fail(text)       NPN_SetException(text), then false
//   userAgentOffThread()  calls NPN_UserAgent from a worker thread (a fault)
//   leak()           creates an object and keeps it (a fault)
//   count            a read/write number property
#include "NpapiInterface.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

NPNetscapeFuncs browser{};

struct FakeObject : NPObject {
    NPP npp;
    int count = 0;
};

NPIdentifier id(const char* name)
{
    return browser.getstringidentifier(name);
}

void setString(NPVariant* out, const std::string& text)
{
    auto* copy = static_cast<char*>(browser.memalloc(static_cast<uint32_t>(text.size() + 1)));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    out->type = NPVariantType_String;
    out->value.stringValue.UTF8Characters = copy;
    out->value.stringValue.UTF8Length = static_cast<uint32_t>(text.size());
}

double number(const NPVariant& v)
{
    if (v.type == NPVariantType_Int32) return v.value.intValue;
    if (v.type == NPVariantType_Double) return v.value.doubleValue;
    return 0;
}

std::string text(const NPVariant& v)
{
    if (v.type != NPVariantType_String) return {};
    return std::string(v.value.stringValue.UTF8Characters, v.value.stringValue.UTF8Length);
}

void copyVariant(const NPVariant& in, NPVariant* out)
{
    *out = in;
    if (in.type == NPVariantType_String) setString(out, text(in));
    if (in.type == NPVariantType_Object) browser.retainobject(in.value.objectValue);
}

struct LaterCall {
    NPObject* function;
    NPVariant argument;
};

void deliverLater(void* data)
{
    auto* call = static_cast<LaterCall*>(data);
    NPVariant result;
    result.type = NPVariantType_Void;
    if (browser.invokeDefault(nullptr, call->function, &call->argument, 1, &result))
        browser.releasevariantvalue(&result);
    browser.releasevariantvalue(&call->argument);
    browser.releaseobject(call->function);
    delete call;
}

NPObject* allocate(NPP npp, NPClass*)
{
    auto* object = new FakeObject;
    object->npp = npp;
    return object;
}

void deallocate(NPObject* object)
{
    delete static_cast<FakeObject*>(object);
}

const char* const methods[] = {"add", "echo", "later", "evaluate", "callWindow", "fail", "userAgentOffThread", "leak"};

bool hasMethod(NPObject*, NPIdentifier name)
{
    for (const char* m : methods)
        if (name == id(m)) return true;
    return false;
}

NPObject* windowOf(NPP npp)
{
    NPObject* window = nullptr;
    browser.getvalue(npp, NPNVWindowNPObject, &window);
    return window;
}

bool invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result)
{
    auto* self = static_cast<FakeObject*>(object);
    result->type = NPVariantType_Void;
    if (name == id("add") && count == 2) {
        result->type = NPVariantType_Double;
        result->value.doubleValue = number(args[0]) + number(args[1]);
        return true;
    }
    if (name == id("echo") && count == 1) {
        copyVariant(args[0], result);
        return true;
    }
    if (name == id("later") && count == 2 && args[0].type == NPVariantType_Object) {
        auto* call = new LaterCall{browser.retainobject(args[0].value.objectValue), {}};
        copyVariant(args[1], &call->argument);
        NPP npp = self->npp;
        std::thread([npp, call] { browser.pluginthreadasynccall(npp, deliverLater, call); }).join();
        return true;
    }
    if (name == id("evaluate") && count == 1) {
        NPObject* window = windowOf(self->npp);
        if (!window) return false;
        NPString script = args[0].value.stringValue;
        bool ok = browser.evaluate(self->npp, window, &script, result);
        browser.releaseobject(window);
        return ok;
    }
    if (name == id("callWindow") && count >= 1) {
        NPObject* window = windowOf(self->npp);
        if (!window) return false;
        std::string member = text(args[0]);
        bool ok = browser.invoke(self->npp, window, id(member.c_str()), args + 1, count - 1, result);
        browser.releaseobject(window);
        return ok;
    }
    if (name == id("fail") && count == 1) {
        browser.setexception(object, text(args[0]).c_str());
        return false;
    }
    if (name == id("userAgentOffThread")) {
        NPP npp = self->npp;
        std::string agent;
        std::thread([npp, &agent] { agent = browser.uagent(npp); }).join();
        setString(result, agent);
        return true;
    }
    if (name == id("leak")) {
        browser.createobject(self->npp, object->_class);
        return true;
    }
    return false;
}

bool invokeDefault(NPObject*, const NPVariant*, uint32_t, NPVariant*)
{
    return false;
}

bool hasProperty(NPObject*, NPIdentifier name)
{
    return name == id("count");
}

bool getProperty(NPObject* object, NPIdentifier name, NPVariant* result)
{
    if (name != id("count")) return false;
    result->type = NPVariantType_Int32;
    result->value.intValue = static_cast<FakeObject*>(object)->count;
    return true;
}

bool setProperty(NPObject* object, NPIdentifier name, const NPVariant* value)
{
    if (name != id("count")) return false;
    static_cast<FakeObject*>(object)->count = static_cast<int>(number(*value));
    return true;
}

bool removeProperty(NPObject*, NPIdentifier)
{
    return false;
}

bool enumerate(NPObject*, NPIdentifier** ids, uint32_t* count)
{
    const uint32_t n = sizeof methods / sizeof methods[0] + 1;
    auto* array = static_cast<NPIdentifier*>(browser.memalloc(n * sizeof(NPIdentifier)));
    for (uint32_t i = 0; i + 1 < n; ++i) array[i] = id(methods[i]);
    array[n - 1] = id("count");
    *ids = array;
    *count = n;
    return true;
}

NPClass fakeClass = {NP_CLASS_STRUCT_VERSION, allocate, deallocate, nullptr, hasMethod, invoke, invokeDefault,
    hasProperty, getProperty, setProperty, removeProperty, enumerate, nullptr};

struct InstanceData {
    NPObject* scriptable = nullptr;
};

NPError newInstance(NPMIMEType, NPP instance, uint16_t, int16_t, char**, char**, NPSavedData*)
{
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    instance->pdata = new InstanceData;
    return NPERR_NO_ERROR;
}

NPError destroyInstance(NPP instance, NPSavedData**)
{
    if (!instance || !instance->pdata) return NPERR_INVALID_INSTANCE_ERROR;
    auto* data = static_cast<InstanceData*>(instance->pdata);
    if (data->scriptable) browser.releaseobject(data->scriptable);
    delete data;
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError getValue(NPP instance, NPPVariable variable, void* value)
{
    if (variable == NPPVpluginNameString) {
        *static_cast<const char**>(value) = "Fake plug-in";
        return NPERR_NO_ERROR;
    }
    if (variable != NPPVpluginScriptableNPObject || !instance || !instance->pdata) return NPERR_GENERIC_ERROR;
    auto* data = static_cast<InstanceData*>(instance->pdata);
    if (!data->scriptable) data->scriptable = browser.createobject(instance, &fakeClass);
    *static_cast<NPObject**>(value) = browser.retainobject(data->scriptable);
    return NPERR_NO_ERROR;
}

}  // namespace

extern "C" {

NPError NP_EXPORT_CALL NP_GetEntryPoints(NPPluginFuncs* funcs)
{
    if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
    funcs->newp = newInstance;
    funcs->destroy = destroyInstance;
    funcs->getvalue = getValue;
    return NPERR_NO_ERROR;
}

NPError NP_EXPORT_CALL NP_Initialize(NPNetscapeFuncs* funcs)
{
    if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
    // Only the entries inside the table's own size are read.
    size_t size = funcs->size < sizeof browser ? funcs->size : sizeof browser;
    std::memset(&browser, 0, sizeof browser);
    std::memcpy(&browser, funcs, size);
    return NPERR_NO_ERROR;
}

NPError NP_EXPORT_CALL NP_Shutdown()
{
    return NPERR_NO_ERROR;
}

}  // extern "C"
