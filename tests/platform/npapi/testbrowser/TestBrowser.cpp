// The browser side of the plug-in interface: the function table, the audited
// runtime behind it, the instances and the main-thread pump.
//
// Identifiers are process-wide and never freed (a plug-in may keep them across
// browser objects). Deallocated object addresses are remembered until the
// address is handed out again, so a retain, release or call on one is reported.
#include "TestBrowser.h"

#include "BrowserStreams.h"
#include "BrowserWindows.h"
#include "MessagePump.h"
#include "ModuleExport.h"
#include "ScriptPage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace TestBrowser {

namespace {

Browser* currentBrowser = nullptr;

struct Identifier {
    bool isString;
    std::string name;
    int32_t number;
};

struct IdentifierTable {
    std::mutex lock;
    std::map<std::string, Identifier*> byName;
    std::map<int32_t, Identifier*> byNumber;
    std::set<const void*> all;
};

IdentifierTable& identifiers()
{
    static IdentifierTable* table = new IdentifierTable;  // lives as long as the process
    return *table;
}

Identifier* identifierFor(NPIdentifier id)
{
    IdentifierTable& table = identifiers();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.all.count(id) ? static_cast<Identifier*>(id) : nullptr;
}

// A call through the table after its browser is gone has no one to report to.
Browser* browserFor(const char* name)
{
    if (!currentBrowser) std::fprintf(stderr, "TestBrowser: NPN %s called with no browser alive\n", name);
    return currentBrowser;
}

}  // namespace

// The table's entries. Each one logs itself, checks its thread and calls the runtime.
struct TableEntries {
    // The browser with the call recorded on it; null (after a complaint) without one.
    static Browser* entered(const char* name)
    {
        Browser* b = browserFor(name);
        if (b) b->enter(name);
        return b;
    }

    // ---- streams (BrowserStreams.cpp)
    static NPError geturl(NPP npp, const char* url, const char* target)
    {
        Browser* b = entered("geturl");
        if (!b) return NPERR_GENERIC_ERROR;
        return b->streams().getUrl(npp, url, target, false, nullptr);
    }
    static NPError posturl(
        NPP npp, const char* url, const char* target, uint32_t length, const char* buffer, NPBool file)
    {
        Browser* b = entered("posturl");
        if (!b) return NPERR_GENERIC_ERROR;
        return b->streams().postUrl(npp, url, target, length, buffer, file, false, nullptr);
    }
    static NPError requestread(NPStream* stream, NPByteRange* ranges)
    {
        Browser* b = entered("requestread");
        if (!b) return NPERR_GENERIC_ERROR;
        return b->streams().requestRead(stream, ranges);
    }
    static NPError newstream(NPP, NPMIMEType, const char*, NPStream**)
    {
        entered("newstream");
        return NPERR_GENERIC_ERROR;
    }
    static int32_t write(NPP, NPStream*, int32_t, void*)
    {
        entered("write");
        return -1;
    }
    static NPError destroystream(NPP npp, NPStream* stream, NPReason reason)
    {
        Browser* b = entered("destroystream");
        if (!b) return NPERR_GENERIC_ERROR;
        return b->streams().destroyStream(npp, stream, reason);
    }
    static void status(NPP, const char*) { entered("status"); }
    static const char* uagent(NPP)
    {
        Browser* b = entered("uagent");
        if (!b) return "";
        return b->userAgent().c_str();
    }
    static void* memalloc(uint32_t size)
    {
        Browser* b = entered("memalloc");
        if (!b) return nullptr;
        return b->memAlloc(size);
    }
    static void memfree(void* block)
    {
        Browser* b = entered("memfree");
        if (!b) return;
        b->memFree(block);
    }
    static uint32_t memflush(uint32_t)
    {
        entered("memflush");
        return 0;
    }
    static void reloadplugins(NPBool) { entered("reloadplugins"); }
    static void* getJavaEnv()
    {
        entered("getJavaEnv");
        return nullptr;
    }
    static void* getJavaPeer(NPP)
    {
        entered("getJavaPeer");
        return nullptr;
    }
    static NPError geturlnotify(NPP npp, const char* url, const char* target, void* notifyData)
    {
        Browser* b = entered("geturlnotify");
        if (!b) return NPERR_GENERIC_ERROR;
        return b->streams().getUrl(npp, url, target, true, notifyData);
    }
    static NPError posturlnotify(NPP npp, const char* url, const char* target, uint32_t length, const char* buffer,
        NPBool file, void* notifyData)
    {
        Browser* b = entered("posturlnotify");
        if (!b) return NPERR_GENERIC_ERROR;
        return b->streams().postUrl(npp, url, target, length, buffer, file, true, notifyData);
    }
    static NPError getvalue(NPP instance, NPNVariable variable, void* value)
    {
        Browser* b = entered("getvalue");
        if (!b) return NPERR_GENERIC_ERROR;
        if (!value) return NPERR_INVALID_PARAM;
        Instance* owner = nullptr;
        for (auto& i : b->instances_)
            if (&i->npp == instance && !i->destroyed) owner = i.get();
        switch (variable) {
        case NPNVWindowNPObject:
            if (!owner) return NPERR_INVALID_INSTANCE_ERROR;
            *static_cast<NPObject**>(value) = b->page().windowObject();
            return NPERR_NO_ERROR;
        case NPNVPluginElementNPObject:
            if (!owner) return NPERR_INVALID_INSTANCE_ERROR;
            *static_cast<NPObject**>(value) = b->page().elementObject(&owner->npp);
            return NPERR_NO_ERROR;
        case NPNVnetscapeWindow: *static_cast<void**>(value) = b->windows().netscapeWindow(); return NPERR_NO_ERROR;
        case NPNVSupportsWindowless:
        case NPNVjavascriptEnabledBool: *static_cast<NPBool*>(value) = 1; return NPERR_NO_ERROR;
        case NPNVisOfflineBool:
        case NPNVprivateModeBool: *static_cast<NPBool*>(value) = 0; return NPERR_NO_ERROR;
        default: return NPERR_GENERIC_ERROR;
        }
    }
    static NPError setvalue(NPP instance, NPPVariable variable, void* value)
    {
        Browser* b = entered("setvalue");
        if (!b) return NPERR_GENERIC_ERROR;
        for (auto& i : b->instances_) {
            if (&i->npp != instance) continue;
            if (variable == NPPVpluginWindowBool) i->windowed = value != nullptr;
            if (variable == NPPVpluginTransparentBool) i->transparent = value != nullptr;
            return NPERR_NO_ERROR;
        }
        return NPERR_INVALID_INSTANCE_ERROR;
    }
    static void invalidaterect(NPP instance, NPRect* rect)
    {
        Browser* b = browserFor("invalidaterect");
        if (!b) return;
        bool onMainThread = b->enter("invalidaterect");
        b->windows().recordInvalidation(instance, rect, onMainThread);
    }
    static void invalidateregion(NPP, NPRegion) { entered("invalidateregion"); }
    static void forceredraw(NPP) { entered("forceredraw"); }
    static NPIdentifier intern(const NPUTF8* name)
    {
        if (!name) return nullptr;
        IdentifierTable& table = identifiers();
        std::lock_guard<std::mutex> guard(table.lock);
        auto& slot = table.byName[name];
        if (!slot) {
            slot = new Identifier{true, name, 0};
            table.all.insert(slot);
        }
        return slot;
    }
    static NPIdentifier getstringidentifier(const NPUTF8* name)
    {
        entered("getstringidentifier");
        return intern(name);
    }
    static void getstringidentifiers(const NPUTF8** names, int32_t count, NPIdentifier* ids)
    {
        entered("getstringidentifiers");
        for (int32_t i = 0; i < count; ++i) ids[i] = intern(names[i]);
    }
    static NPIdentifier internNumber(int32_t number)
    {
        IdentifierTable& table = identifiers();
        std::lock_guard<std::mutex> guard(table.lock);
        auto& slot = table.byNumber[number];
        if (!slot) {
            slot = new Identifier{false, {}, number};
            table.all.insert(slot);
        }
        return slot;
    }
    static NPIdentifier getintidentifier(int32_t number)
    {
        entered("getintidentifier");
        return internNumber(number);
    }
    static bool identifierisstring(NPIdentifier id)
    {
        Browser* b = entered("identifierisstring");
        Identifier* identifier = identifierFor(id);
        if (!identifier) {
            if (b) b->problem("identifierisstring: not an identifier");
            return false;
        }
        return identifier->isString;
    }
    static NPUTF8* utf8fromidentifier(NPIdentifier id)
    {
        Browser* b = entered("utf8fromidentifier");
        if (!b) return nullptr;
        Identifier* identifier = identifierFor(id);
        if (!identifier) {
            b->problem("utf8fromidentifier: not an identifier");
            return nullptr;
        }
        if (!identifier->isString) return nullptr;
        return b->copyString(identifier->name);
    }
    static int32_t intfromidentifier(NPIdentifier id)
    {
        Browser* b = entered("intfromidentifier");
        Identifier* identifier = identifierFor(id);
        if (!identifier) {
            if (b) b->problem("intfromidentifier: not an identifier");
            return 0;
        }
        return identifier->isString ? INT32_MIN : identifier->number;
    }
    static NPObject* createobject(NPP npp, NPClass* objectClass)
    {
        Browser* b = entered("createobject");
        if (!b) return nullptr;
        return b->createObject(npp, objectClass);
    }
    static NPObject* retainobject(NPObject* object)
    {
        Browser* b = entered("retainobject");
        if (!b) return object;
        return b->retainObject(object);
    }
    static void releaseobject(NPObject* object)
    {
        Browser* b = entered("releaseobject");
        if (!b) return;
        b->releaseObject(object);
    }
    static bool invoke(
        NPP, NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result)
    {
        Browser* b = entered("invoke");
        if (!b) return false;
        b->recordObjectAccess("call", name);
        if (!b->isLive(object, "invoke") || !object->_class->invoke) return false;
        return object->_class->invoke(object, name, args, count, result);
    }
    static bool invokeDefault(NPP, NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result)
    {
        Browser* b = entered("invokeDefault");
        if (!b) return false;
        b->recordObjectAccess("call", nullptr);
        if (!b->isLive(object, "invokeDefault") || !object->_class->invokeDefault) return false;
        return object->_class->invokeDefault(object, args, count, result);
    }
    static bool evaluate(NPP, NPObject* object, NPString* script, NPVariant* result)
    {
        Browser* b = entered("evaluate");
        if (!b) return false;
        if (!b->isLive(object, "evaluate") || !script) return false;
        return b->page().evaluateScript(*script, result);
    }
    static bool getproperty(NPP, NPObject* object, NPIdentifier name, NPVariant* result)
    {
        Browser* b = entered("getproperty");
        if (!b) return false;
        b->recordObjectAccess("get", name);
        if (!b->isLive(object, "getproperty") || !object->_class->getProperty) return false;
        return object->_class->getProperty(object, name, result);
    }
    static bool setproperty(NPP, NPObject* object, NPIdentifier name, const NPVariant* value)
    {
        Browser* b = entered("setproperty");
        if (!b) return false;
        b->recordObjectAccess("set", name);
        if (!b->isLive(object, "setproperty") || !object->_class->setProperty) return false;
        return object->_class->setProperty(object, name, value);
    }
    static bool removeproperty(NPP, NPObject* object, NPIdentifier name)
    {
        Browser* b = entered("removeproperty");
        if (!b) return false;
        if (!b->isLive(object, "removeproperty") || !object->_class->removeProperty) return false;
        return object->_class->removeProperty(object, name);
    }
    static bool hasproperty(NPP, NPObject* object, NPIdentifier name)
    {
        Browser* b = entered("hasproperty");
        if (!b) return false;
        if (!b->isLive(object, "hasproperty") || !object->_class->hasProperty) return false;
        return object->_class->hasProperty(object, name);
    }
    static bool hasmethod(NPP, NPObject* object, NPIdentifier name)
    {
        Browser* b = entered("hasmethod");
        if (!b) return false;
        if (!b->isLive(object, "hasmethod") || !object->_class->hasMethod) return false;
        return object->_class->hasMethod(object, name);
    }
    static void releasevariantvalue(NPVariant* variant)
    {
        Browser* b = entered("releasevariantvalue");
        if (!b) return;
        b->releaseVariant(variant);
    }
    static void setexception(NPObject*, const NPUTF8* message)
    {
        Browser* b = entered("setexception");
        if (!b) return;
        b->setException(message ? message : "");
    }
    static void pushpopupsenabledstate(NPP, NPBool) { entered("pushpopupsenabledstate"); }
    static void poppopupsenabledstate(NPP) { entered("poppopupsenabledstate"); }
    static bool enumerate(NPP, NPObject* object, NPIdentifier** ids, uint32_t* count)
    {
        Browser* b = entered("enumerate");
        if (!b) return false;
        if (!b->isLive(object, "enumerate") || !object->_class->enumerate ||
            object->_class->structVersion < NP_CLASS_STRUCT_VERSION_ENUM)
            return false;
        return object->_class->enumerate(object, ids, count);
    }
    static void pluginthreadasynccall(NPP, void (*function)(void*), void* data)
    {
        Browser* b = entered("pluginthreadasynccall");
        if (!b) return;
        {
            std::lock_guard<std::mutex> guard(b->lock_);
            b->asyncQueue_.push_back({function, data});
        }
        SetEvent(b->asyncEvent_);
    }
    static bool construct(NPP, NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result)
    {
        Browser* b = entered("construct");
        if (!b) return false;
        if (!b->isLive(object, "construct") || !object->_class->construct ||
            object->_class->structVersion < NP_CLASS_STRUCT_VERSION_CTOR)
            return false;
        return object->_class->construct(object, args, count, result);
    }
    static NPError getvalueforurl(NPP npp, NPNURLVariable variable, const char* url, char** value, uint32_t* length)
    {
        Browser* b = entered("getvalueforurl");
        if (!b) return NPERR_GENERIC_ERROR;
        return b->streams().getValueForUrl(npp, variable, url, value, length);
    }
    static NPError setvalueforurl(NPP, NPNURLVariable, const char*, const char*, uint32_t)
    {
        entered("setvalueforurl");
        return NPERR_GENERIC_ERROR;
    }
    static NPError getauthenticationinfo(
        NPP, const char*, const char*, int32_t, const char*, const char*, char**, uint32_t*, char**, uint32_t*)
    {
        entered("getauthenticationinfo");
        return NPERR_GENERIC_ERROR;
    }
    static uint32_t scheduletimer(NPP, uint32_t, NPBool, void (*)(NPP, uint32_t))
    {
        entered("scheduletimer");
        return 0;
    }
    static void unscheduletimer(NPP, uint32_t) { entered("unscheduletimer"); }
};

Browser::Browser(Config config) : config_(std::move(config)), mainThread_(GetCurrentThreadId())
{
    if (currentBrowser) std::fprintf(stderr, "TestBrowser: a second browser replaces the first\n");
    currentBrowser = this;
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    asyncEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    windows_ = std::make_unique<Windows>(*this);
    streams_ = std::make_unique<Streams>(*this, [event = asyncEvent_] { SetEvent(event); });
    buildTable();
}

Browser::~Browser()
{
    if (initialized_) shutdownPlugin();
    pump();
    windows_.reset();
    if (library_) FreeLibrary(library_);
    page_.reset();
    streams_.reset();  // joins the fetch workers, which wake the pump through the event
    if (currentBrowser == this) currentBrowser = nullptr;
    CloseHandle(asyncEvent_);
    if (comInitialized_) CoUninitialize();
}

Browser* Browser::current()
{
    return currentBrowser;
}

void Browser::buildTable()
{
    NPNetscapeFuncs& t = fullTable_;
    t = NPNetscapeFuncs{};
    t.size = sizeof(NPNetscapeFuncs);
    t.version = config_.version;
// clang-format off
#define TABLE_ENTRY(name) t.name = &TableEntries::name
    TABLE_ENTRY(geturl); TABLE_ENTRY(posturl); TABLE_ENTRY(requestread); TABLE_ENTRY(newstream);
    TABLE_ENTRY(write); TABLE_ENTRY(destroystream); TABLE_ENTRY(status); TABLE_ENTRY(uagent);
    TABLE_ENTRY(memalloc); TABLE_ENTRY(memfree); TABLE_ENTRY(memflush); TABLE_ENTRY(reloadplugins);
    TABLE_ENTRY(getJavaEnv); TABLE_ENTRY(getJavaPeer); TABLE_ENTRY(geturlnotify); TABLE_ENTRY(posturlnotify);
    TABLE_ENTRY(getvalue); TABLE_ENTRY(setvalue); TABLE_ENTRY(invalidaterect); TABLE_ENTRY(invalidateregion);
    TABLE_ENTRY(forceredraw); TABLE_ENTRY(getstringidentifier); TABLE_ENTRY(getstringidentifiers); TABLE_ENTRY(getintidentifier);
    TABLE_ENTRY(identifierisstring); TABLE_ENTRY(utf8fromidentifier); TABLE_ENTRY(intfromidentifier); TABLE_ENTRY(createobject);
    TABLE_ENTRY(retainobject); TABLE_ENTRY(releaseobject); TABLE_ENTRY(invoke); TABLE_ENTRY(invokeDefault);
    TABLE_ENTRY(evaluate); TABLE_ENTRY(getproperty); TABLE_ENTRY(setproperty); TABLE_ENTRY(removeproperty);
    TABLE_ENTRY(hasproperty); TABLE_ENTRY(hasmethod); TABLE_ENTRY(releasevariantvalue); TABLE_ENTRY(setexception);
    TABLE_ENTRY(pushpopupsenabledstate); TABLE_ENTRY(poppopupsenabledstate); TABLE_ENTRY(enumerate); TABLE_ENTRY(pluginthreadasynccall);
    TABLE_ENTRY(construct); TABLE_ENTRY(getvalueforurl); TABLE_ENTRY(setvalueforurl); TABLE_ENTRY(getauthenticationinfo);
    TABLE_ENTRY(scheduletimer); TABLE_ENTRY(unscheduletimer);
#undef TABLE_ENTRY
    // clang-format on

    // The handed-over copy: the configured entries left out, `size` bytes, then poison.
    NPNetscapeFuncs handed = fullTable_;
    handed.size = config_.size;
    struct Slot {
        const char* name;
        size_t offset;
    };
// clang-format off
#define SLOT(name) {#name, offsetof(NPNetscapeFuncs, name)},
    static const Slot slots[] = {
        SLOT(geturl) SLOT(posturl) SLOT(requestread) SLOT(newstream)
        SLOT(write) SLOT(destroystream) SLOT(status) SLOT(uagent)
        SLOT(memalloc) SLOT(memfree) SLOT(memflush) SLOT(reloadplugins)
        SLOT(getJavaEnv) SLOT(getJavaPeer) SLOT(geturlnotify) SLOT(posturlnotify)
        SLOT(getvalue) SLOT(setvalue) SLOT(invalidaterect) SLOT(invalidateregion)
        SLOT(forceredraw) SLOT(getstringidentifier) SLOT(getstringidentifiers) SLOT(getintidentifier)
        SLOT(identifierisstring) SLOT(utf8fromidentifier) SLOT(intfromidentifier) SLOT(createobject)
        SLOT(retainobject) SLOT(releaseobject) SLOT(invoke) SLOT(invokeDefault)
        SLOT(evaluate) SLOT(getproperty) SLOT(setproperty) SLOT(removeproperty)
        SLOT(hasproperty) SLOT(hasmethod) SLOT(releasevariantvalue) SLOT(setexception)
        SLOT(pushpopupsenabledstate) SLOT(poppopupsenabledstate) SLOT(enumerate) SLOT(pluginthreadasynccall)
        SLOT(construct) SLOT(getvalueforurl) SLOT(setvalueforurl) SLOT(getauthenticationinfo)
        SLOT(scheduletimer) SLOT(unscheduletimer) SLOT(popupcontextmenu) SLOT(convertpoint)
        SLOT(handleevent) SLOT(unfocusinstance) SLOT(urlredirectresponse) SLOT(initasyncsurface)
        SLOT(finalizeasyncsurface) SLOT(setcurrentasyncsurface)
    };
#undef SLOT
    // clang-format on
    for (const auto& name : config_.missing) {
        auto* slot = std::find_if(std::begin(slots), std::end(slots), [&](const Slot& s) { return name == s.name; });
        if (slot == std::end(slots)) {
            problem("configured missing entry is no table entry: " + name);
            continue;
        }
        std::memset(reinterpret_cast<char*>(&handed) + slot->offset, 0, sizeof(void*));
    }
    tableBytes_.assign(sizeof(NPNetscapeFuncs) + 64, kPoison);
    size_t keep = std::min<size_t>(config_.size, sizeof(NPNetscapeFuncs));
    std::memcpy(tableBytes_.data(), &handed, keep);
}

bool Browser::enter(const char* name)
{
    DWORD thread = GetCurrentThreadId();
    bool onMain = thread == mainThread_;
    std::lock_guard<std::mutex> guard(lock_);
    ++callCounts_[name];
    if (config_.logCalls) calls_.push_back({name, thread, onMain});
    if (!onMain && std::strcmp(name, "pluginthreadasynccall") != 0)
        problems_.push_back(std::string("NPN ") + name + " called off the main thread");
    return onMain;
}

void Browser::recordObjectAccess(const char* kind, NPIdentifier name)
{
    std::string access = kind;
    if (Identifier* identifier = name ? identifierFor(name) : nullptr)
        access += " " + (identifier->isString ? identifier->name : std::to_string(identifier->number));
    std::lock_guard<std::mutex> guard(lock_);
    if (config_.logCalls) objectAccesses_.push_back(access);
}

std::vector<std::string> Browser::objectAccesses() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return objectAccesses_;
}

void Browser::clearObjectAccesses()
{
    std::lock_guard<std::mutex> guard(lock_);
    objectAccesses_.clear();
}

void Browser::problem(const std::string& text)
{
    std::lock_guard<std::mutex> guard(lock_);
    problems_.push_back(text);
}

std::vector<std::string> Browser::problems() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return problems_;
}

void Browser::clearProblems()
{
    std::lock_guard<std::mutex> guard(lock_);
    problems_.clear();
}

std::vector<CallRecord> Browser::calls() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

size_t Browser::callCount(const std::string& name) const
{
    std::lock_guard<std::mutex> guard(lock_);
    auto found = callCounts_.find(name);
    return found == callCounts_.end() ? 0 : found->second;
}

void Browser::clearCalls()
{
    std::lock_guard<std::mutex> guard(lock_);
    calls_.clear();
    callCounts_.clear();
}

size_t Browser::liveObjects() const
{
    return objects_.size();
}

size_t Browser::liveObjectsOfClass(const NPClass* objectClass) const
{
    return static_cast<size_t>(std::count_if(
        objects_.begin(), objects_.end(), [&](const auto& entry) { return entry.second.objectClass == objectClass; }));
}

size_t Browser::outstandingAllocations() const
{
    return blocks_.size();
}

size_t Browser::asyncCallsQueued() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return asyncQueue_.size();
}

std::string Browser::lastException() const
{
    return lastException_;
}

std::string Browser::takePendingException()
{
    std::string pending;
    pending.swap(pendingException_);
    return pending;
}

void Browser::setException(const std::string& text)
{
    lastException_ = text;
    pendingException_ = text;
}

// ---- runtime --------------------------------------------------------------------

NPObject* Browser::createObject(NPP npp, NPClass* objectClass)
{
    if (!objectClass) {
        problem("createobject without a class");
        return nullptr;
    }
    NPObject* object = objectClass->allocate ? objectClass->allocate(npp, objectClass)
                                             : static_cast<NPObject*>(std::malloc(sizeof(NPObject)));
    if (!object) return nullptr;
    object->_class = objectClass;
    object->referenceCount = 1;
    deallocated_.erase(object);
    objects_[object] = {objectClass, npp};
    return object;
}

bool Browser::isLive(NPObject* object, const char* use)
{
    if (!object) {
        problem(std::string(use) + " on a null object");
        return false;
    }
    if (objects_.count(object)) return true;
    problem(std::string(use) + (deallocated_.count(object) ? " on a deallocated object" : " on an unknown object"));
    return false;
}

NPObject* Browser::retainObject(NPObject* object)
{
    if (!isLive(object, "retainobject")) return object;
    ++object->referenceCount;
    return object;
}

void Browser::releaseObject(NPObject* object)
{
    if (!object) return;
    if (!objects_.count(object)) {
        problem(deallocated_.count(object) ? "releaseobject of a deallocated object (double release)"
                                           : "releaseobject of an unknown object");
        return;
    }
    if (object->referenceCount == 0) {
        problem("releaseobject of an object with reference count 0");
        return;
    }
    if (--object->referenceCount > 0) return;
    NPClass* objectClass = objects_[object].objectClass;
    objects_.erase(object);
    deallocated_.insert(object);
    if (objectClass->deallocate)
        objectClass->deallocate(object);
    else
        std::free(object);
}

void Browser::releaseVariant(NPVariant* variant)
{
    if (!variant) return;
    if (variant->type == NPVariantType_String) {
        memFree(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
    } else if (variant->type == NPVariantType_Object) {
        releaseObject(variant->value.objectValue);
    }
    variant->type = NPVariantType_Void;
    variant->value.objectValue = nullptr;
}

void* Browser::memAlloc(uint32_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (block) blocks_[block] = size;
    return block;
}

void Browser::memFree(void* block)
{
    if (!block) return;
    auto found = blocks_.find(block);
    if (found == blocks_.end()) {
        problem("memfree of a block that memalloc did not hand out (or freed twice)");
        return;
    }
    blocks_.erase(found);
    std::free(block);
}

char* Browser::copyString(const std::string& text, uint32_t* length)
{
    auto* copy = static_cast<char*>(memAlloc(static_cast<uint32_t>(text.size() + 1)));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    if (length) *length = static_cast<uint32_t>(text.size());
    return copy;
}

void Browser::invalidateObjectsOf(NPP npp)
{
    std::vector<NPObject*> owned;
    for (auto& [object, record] : objects_)
        if (record.owner == npp) owned.push_back(object);
    for (NPObject* object : owned)
        if (objects_.count(object) && object->_class->invalidate) object->_class->invalidate(object);
}

// ---- the plug-in library ------------------------------------------------------------

bool Browser::loadPlugin(const std::wstring& path)
{
    library_ = LoadLibraryW(path.c_str());
    if (!library_) {
        problem("LoadLibrary failed: " + narrow(path));
        return false;
    }
    auto entryPoints = moduleExport<NP_GetEntryPointsFunc>(library_, "NP_GetEntryPoints");
    initialize_ = moduleExport<NP_InitializeFunc>(library_, "NP_Initialize");
    shutdown_ = moduleExport<NP_ShutdownFunc>(library_, "NP_Shutdown");
    if (!entryPoints || !initialize_ || !shutdown_) {
        problem("the library lacks an export: NP_GetEntryPoints, NP_Initialize or NP_Shutdown");
        return false;
    }
    return usePlugin(entryPoints, initialize_, shutdown_);
}

bool Browser::usePlugin(NP_GetEntryPointsFunc entryPoints, NP_InitializeFunc initialize, NP_ShutdownFunc shutdown)
{
    initialize_ = initialize;
    shutdown_ = shutdown;
    pluginFuncs_ = NPPluginFuncs{};
    pluginFuncs_.size = sizeof(NPPluginFuncs);
    entryPointsResult_ = entryPoints(&pluginFuncs_);
    if (entryPointsResult_ != NPERR_NO_ERROR) return false;
    return initializePlugin() == NPERR_NO_ERROR;
}

NPError Browser::initializePlugin()
{
    if (!initialize_) return NPERR_MODULE_LOAD_FAILED_ERROR;
    initializeResult_ = initialize_(table());
    initialized_ = initializeResult_ == NPERR_NO_ERROR;
    return initializeResult_;
}

NPError Browser::shutdownPlugin()
{
    for (auto& instance : instances_)
        if (!instance->destroyed) destroyInstance(instance.get());
    pump();
    if (page_) page_->close();
    page_.reset();
    NPError result = shutdown_ ? shutdown_() : NPERR_GENERIC_ERROR;
    initialized_ = false;
    pump();  // deliveries still queued reach the plug-in after NP_Shutdown, as in a busy browser
    for (auto& [object, record] : objects_) {
        char text[96];
        std::snprintf(text, sizeof text, "object %p still alive after NP_Shutdown (reference count %u)",
            static_cast<void*>(object), object->referenceCount);
        problem(text);
    }
    if (!blocks_.empty()) problem(std::to_string(blocks_.size()) + " MemAlloc blocks still held after NP_Shutdown");
    return result;
}

Page& Browser::page()
{
    if (!page_) page_ = std::make_unique<Page>(*this);
    return *page_;
}

Windows& Browser::windows()
{
    return *windows_;
}

// ---- instances ----------------------------------------------------------------------

Instance* Browser::createInstance(const std::string& id, const std::string& mime, const Params& params, NPError* result)
{
    auto instance = std::make_unique<Instance>();
    instance->id = id;
    instance->mime = mime;
    Instance* raw = instance.get();
    instances_.push_back(std::move(instance));
    page().addElement(&raw->npp, id);  // the element is in the document before its plug-in starts
    std::vector<std::string> names, values;
    for (const auto& [name, value] : params) {
        names.push_back(name);
        values.push_back(value);
    }
    std::vector<char*> argn, argv;
    for (size_t i = 0; i < names.size(); ++i) {
        argn.push_back(names[i].data());
        argv.push_back(values[i].data());
    }
    std::string mimeCopy = mime;
    NPError answer = pluginFuncs_.newp ? pluginFuncs_.newp(mimeCopy.data(), &raw->npp, NP_EMBED,
                                             static_cast<int16_t>(argn.size()), argn.data(), argv.data(), nullptr)
                                       : NPERR_INVALID_FUNCTABLE_ERROR;
    if (result) *result = answer;
    if (answer != NPERR_NO_ERROR) {
        raw->destroyed = true;
        page().removeElement(&raw->npp);
        return nullptr;
    }
    NPObject* scriptable = nullptr;
    if (pluginFuncs_.getvalue &&
        pluginFuncs_.getvalue(&raw->npp, NPPVpluginScriptableNPObject, &scriptable) == NPERR_NO_ERROR && scriptable) {
        if (isLive(scriptable, "the scriptable object")) raw->scriptable = scriptable;
    }
    page().setElementScriptable(&raw->npp, raw->scriptable);
    return raw;
}

NPError Browser::destroyInstance(Instance* instance)
{
    if (!instance || instance->destroyed) return NPERR_INVALID_INSTANCE_ERROR;
    instance->destroyed = true;
    streams_->endStreamsOf(&instance->npp);
    NPSavedData* saved = nullptr;
    NPError result = pluginFuncs_.destroy ? pluginFuncs_.destroy(&instance->npp, &saved) : NPERR_GENERIC_ERROR;
    invalidateObjectsOf(&instance->npp);
    windows_->forget(instance);
    if (page_) page_->removeElement(&instance->npp);
    if (instance->scriptable) releaseObject(instance->scriptable);
    instance->scriptable = nullptr;
    return result;
}

// ---- the main thread ------------------------------------------------------------------

bool Browser::drainAsyncCalls()
{
    std::vector<AsyncCall> due;
    {
        std::lock_guard<std::mutex> guard(lock_);
        due.swap(asyncQueue_);
    }
    for (const auto& call : due) call.function(call.data);
    return !due.empty();
}

bool Browser::drainMessages()
{
    return test_support::dispatchWaitingMessages();
}

void Browser::pump()
{
    // Each round serves every source once: the calls queued when it starts, the
    // window messages, the timers due when it starts. A page that re-arms its
    // timers at 0 ms is never idle; the round limit brings control back.
    for (int round = 0; round < kPumpRounds; ++round) {
        bool worked = drainAsyncCalls();
        worked = drainMessages() || worked;
        worked = streams_->play() || worked;
        if (page_) worked = page_->runDueTimers() || worked;
        if (!worked) return;
    }
}

bool Browser::pumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        pump();
        if (done()) return true;
        ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(end - now, 5));
        if (page_ && page_->pendingTimers()) {
            ULONGLONG due = page_->nextTimerDue();
            wait = due <= now ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(wait, due - now));
        }
        MsgWaitForMultipleObjects(1, &asyncEvent_, FALSE, wait, QS_ALLINPUT);
    }
}

}  // namespace TestBrowser
