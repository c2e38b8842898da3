// A tiny plug-in library that proves the test browser: its scriptable object
// offers just enough members to drive every road of the browser.
//   add(a, b)        the sum (numbers)
//   echo(x)          x back (strings copied, objects retained)
//   later(f, x)      calls f(x) from the main thread, posted from a worker thread
//   burst(f, n)      calls f(0) ... f(n - 1) from the main thread, posted one after
//                    another by a worker thread as fast as it can (returns at once)
//   burst(f, n, true)  the same, each call taking the page's road of a plug-in
//                    callback: on the main thread it reads the page's delayed-call
//                    function, makes the argument array (window.Array, push) and
//                    hands the function, the array and a delay of 0 to it, so f
//                    runs later from a page timer
//   evaluate(text)   NPN_Evaluate on the window
//   callWindow(name, ...)  NPN_Invoke on the window
//   fail(text)       NPN_SetException(text), then false
//   userAgentOffThread()  calls NPN_UserAgent from a worker thread (a fault)
//   leak()           creates an object and keeps it (a fault)
//   count            a read/write number property
//   asFunction       a read-only property whose value is a function object
//                    answering 0, one per object: asFunction(x) takes the road
//                    of a method presented as a function-valued property
#include "NpapiInterface.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

NPNetscapeFuncs browser{};

struct FakeObject : NPObject {
    NPP npp;
    int count = 0;
    std::thread poster;            // the worker of the last burst
    NPObject* function = nullptr;  // the value of asFunction, made on first read

    void joinPoster()
    {
        if (poster.joinable()) poster.join();
    }
};

NPIdentifier id(const char* name)
{
    return browser.getstringidentifier(name);
}

// The members, methods first. Their identifiers are fetched once, at
// NP_Initialize, so a call costs the page mapping and little else.
enum Member {
    Add,
    Echo,
    Later,
    Burst,
    Evaluate,
    CallWindow,
    Fail,
    UserAgentOffThread,
    Leak,
    Count,
    AsFunction,
    MemberCount
};
const char* const memberNames[MemberCount] = {"add", "echo", "later", "burst", "evaluate", "callWindow", "fail",
    "userAgentOffThread", "leak", "count", "asFunction"};
NPIdentifier memberIds[MemberCount];

NPIdentifier id(Member member)
{
    return memberIds[member];
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
    auto* self = static_cast<FakeObject*>(object);
    self->joinPoster();
    if (self->function) browser.releaseobject(self->function);
    delete self;
}

// The function object behind asFunction: calling it answers 0.
bool functionInvokeDefault(NPObject*, const NPVariant*, uint32_t, NPVariant* result)
{
    result->type = NPVariantType_Int32;
    result->value.intValue = 0;
    return true;
}

NPClass functionClass = {NP_CLASS_STRUCT_VERSION, nullptr, nullptr, nullptr, nullptr, nullptr, functionInvokeDefault,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

bool hasMethod(NPObject*, NPIdentifier name)
{
    for (int member = Add; member < Count; ++member)
        if (name == memberIds[member]) return true;
    return false;
}

NPObject* windowOf(NPP npp)
{
    NPObject* window = nullptr;
    browser.getvalue(npp, NPNVWindowNPObject, &window);
    return window;
}

// The page's road of a plug-in callback: the delayed-call function that the
// plug-in library installs, under a name of its own.
const char kDelayedCallScript[] =
    "window.__FAKE_CALL = function(delay, f, args, fname) {   if (arguments.length == 3)       return "
    "setTimeout(function() { f.apply(null, args); }, delay);   else       return setTimeout(function() { "
    "f[fname].apply(f, args); }, delay);};";

struct PagedCall {
    NPP npp;
    NPObject* window;
    NPObject* function;
    int level;
};

void deliverThroughPage(void* data)
{
    auto* call = static_cast<PagedCall*>(data);
    NPVariant helper, array, ignored;
    helper.type = array.type = ignored.type = NPVariantType_Void;
    if (browser.getproperty(call->npp, call->window, id("__FAKE_CALL"), &helper) &&
        helper.type == NPVariantType_Object &&
        browser.invoke(call->npp, call->window, id("Array"), nullptr, 0, &array) &&
        array.type == NPVariantType_Object) {
        NPVariant level;
        level.type = NPVariantType_Int32;
        level.value.intValue = call->level;
        if (browser.invoke(call->npp, array.value.objectValue, id("push"), &level, 1, &ignored))
            browser.releasevariantvalue(&ignored);
        NPVariant arguments[3];
        arguments[0].type = NPVariantType_Int32;
        arguments[0].value.intValue = 0;
        arguments[1].type = NPVariantType_Object;
        arguments[1].value.objectValue = call->function;
        arguments[2] = array;
        if (browser.invokeDefault(call->npp, helper.value.objectValue, arguments, 3, &ignored))
            browser.releasevariantvalue(&ignored);
    }
    browser.releasevariantvalue(&array);
    browser.releasevariantvalue(&helper);
    browser.releaseobject(call->function);
    browser.releaseobject(call->window);
    delete call;
}

bool invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result)
{
    auto* self = static_cast<FakeObject*>(object);
    result->type = NPVariantType_Void;
    if (name == id(Add) && count == 2) {
        result->type = NPVariantType_Double;
        result->value.doubleValue = number(args[0]) + number(args[1]);
        return true;
    }
    if (name == id(Echo) && count == 1) {
        copyVariant(args[0], result);
        return true;
    }
    if (name == id(Later) && count == 2 && args[0].type == NPVariantType_Object) {
        auto* call = new LaterCall{browser.retainobject(args[0].value.objectValue), {}};
        copyVariant(args[1], &call->argument);
        NPP npp = self->npp;
        std::thread([npp, call] { browser.pluginthreadasynccall(npp, deliverLater, call); }).join();
        return true;
    }
    if (name == id(Burst) && count == 3 && args[0].type == NPVariantType_Object && args[2].type == NPVariantType_Bool &&
        args[2].value.boolValue) {
        self->joinPoster();
        NPObject* window = windowOf(self->npp);
        if (!window) return false;
        NPString script{kDelayedCallScript, static_cast<uint32_t>(sizeof kDelayedCallScript - 1)};
        NPVariant installed;
        installed.type = NPVariantType_Void;
        if (browser.evaluate(self->npp, window, &script, &installed)) browser.releasevariantvalue(&installed);
        int reports = static_cast<int>(number(args[1]));
        std::vector<void*> calls;
        for (int level = 0; level < reports; ++level)
            calls.push_back(new PagedCall{
                self->npp, browser.retainobject(window), browser.retainobject(args[0].value.objectValue), level});
        browser.releaseobject(window);
        NPP npp = self->npp;
        self->poster = std::thread([npp, calls] {
            for (void* call : calls) browser.pluginthreadasynccall(npp, deliverThroughPage, call);
        });
        return true;
    }
    if (name == id(Burst) && count == 2 && args[0].type == NPVariantType_Object) {
        self->joinPoster();
        int reports = static_cast<int>(number(args[1]));
        // Every reference is taken here: only the asynchronous-call entry may be used off the main thread.
        std::vector<LaterCall*> calls;
        for (int level = 0; level < reports; ++level) {
            NPVariant value;
            value.type = NPVariantType_Int32;
            value.value.intValue = level;
            calls.push_back(new LaterCall{browser.retainobject(args[0].value.objectValue), value});
        }
        NPP npp = self->npp;
        self->poster = std::thread([npp, calls] {
            for (LaterCall* call : calls) browser.pluginthreadasynccall(npp, deliverLater, call);
        });
        return true;
    }
    if (name == id(Evaluate) && count == 1) {
        NPObject* window = windowOf(self->npp);
        if (!window) return false;
        NPString script = args[0].value.stringValue;
        bool ok = browser.evaluate(self->npp, window, &script, result);
        browser.releaseobject(window);
        return ok;
    }
    if (name == id(CallWindow) && count >= 1) {
        NPObject* window = windowOf(self->npp);
        if (!window) return false;
        std::string member = text(args[0]);
        bool ok = browser.invoke(self->npp, window, id(member.c_str()), args + 1, count - 1, result);
        browser.releaseobject(window);
        return ok;
    }
    if (name == id(Fail) && count == 1) {
        browser.setexception(object, text(args[0]).c_str());
        return false;
    }
    if (name == id(UserAgentOffThread)) {
        NPP npp = self->npp;
        std::string agent;
        std::thread([npp, &agent] { agent = browser.uagent(npp); }).join();
        setString(result, agent);
        return true;
    }
    if (name == id(Leak)) {
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
    return name == id(Count) || name == id(AsFunction);
}

bool getProperty(NPObject* object, NPIdentifier name, NPVariant* result)
{
    if (name == id(AsFunction)) {
        auto* self = static_cast<FakeObject*>(object);
        if (!self->function) self->function = browser.createobject(self->npp, &functionClass);
        result->type = NPVariantType_Object;
        result->value.objectValue = browser.retainobject(self->function);
        return true;
    }
    if (name != id(Count)) return false;
    result->type = NPVariantType_Int32;
    result->value.intValue = static_cast<FakeObject*>(object)->count;
    return true;
}

bool setProperty(NPObject* object, NPIdentifier name, const NPVariant* value)
{
    if (name != id(Count)) return false;
    static_cast<FakeObject*>(object)->count = static_cast<int>(number(*value));
    return true;
}

bool removeProperty(NPObject*, NPIdentifier)
{
    return false;
}

bool enumerate(NPObject*, NPIdentifier** ids, uint32_t* count)
{
    auto* array = static_cast<NPIdentifier*>(browser.memalloc(MemberCount * sizeof(NPIdentifier)));
    for (int member = 0; member < MemberCount; ++member) array[member] = memberIds[member];
    *ids = array;
    *count = MemberCount;
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
    if (!browser.getstringidentifier) return NPERR_INVALID_FUNCTABLE_ERROR;
    for (int member = 0; member < MemberCount; ++member) memberIds[member] = id(memberNames[member]);
    return NPERR_NO_ERROR;
}

NPError NP_EXPORT_CALL NP_Shutdown()
{
    return NPERR_NO_ERROR;
}

}  // extern "C"
