// The NPClass of the plug-in's script objects. Every entry is a boundary: it
// catches everything, turns script errors into NPN_SetException and false, and
// lets nothing reach the browser.
#include "NPJavascriptObject.h"

#include "JSFunction.h"
#include "NpapiBrowserHost.h"
#include "ScriptErrors.h"
#include "TraceLog.h"

#include <cstring>
#include <string_view>
#include <mutex>
#include <typeinfo>

namespace FB {
namespace Npapi {

namespace {

// Names as views: every entry compares the script's name with them, and a
// different length answers without comparing a byte.
constexpr std::string_view kAddEventListener = "addEventListener";
constexpr std::string_view kRemoveEventListener = "removeEventListener";
constexpr std::string_view kGetLastException = "getLastException";
constexpr std::string_view kToString = "toString";

// The built-in members in their slot order; -1 for any other name.
int builtInIndex(std::string_view name)
{
    if (name == kAddEventListener) return 0;
    if (name == kRemoveEventListener) return 1;
    if (name == kGetLastException) return 2;
    return -1;
}

bool isBuiltInName(std::string_view name)
{
    return builtInIndex(name) >= 0;
}

}  // namespace

// ---- the class entries -----------------------------------------------------------

struct NPJavascriptObjectEntries {
    // Runs `operation` on a live object; the common failure frame of every entry.
    template <class Operation>
    static bool guarded(NPObject* npobj, Operation operation)
    {
        NPJavascriptObject* self = NPJavascriptObject::fromNPObject(npobj);
        std::shared_ptr<NpapiBrowserHost> host;
        try {
            if (!self || !self->valid_ || self->api_.expired()) return false;
            host = self->getHost();
            JSAPIPtr api = self->getAPI();
            return operation(*self, *api, *host);
        } catch (...) {
            return failure(self, host);
        }
    }

    // The frame of the two member tests (hasMethod, hasProperty), which need the
    // API and the identifier only: the host is tested for life, not held, which
    // spares every page call two reference-count updates.
    template <class Query>
    static bool guardedQuery(NPObject* npobj, NPIdentifier identifier, Query query)
    {
        NPJavascriptObject* self = NPJavascriptObject::fromNPObject(npobj);
        try {
            if (!self || !self->valid_ || self->api_.expired() || !self->module_) return false;
            if (self->host_.expired()) {
                self->invalidate();
                return false;
            }
            JSAPIPtr api = self->getAPI();
            return query(*api, self->module_->identifier(identifier));
        } catch (...) {
            return failure(self, self ? self->host_.lock() : nullptr);
        }
    }

    // Inside a catch: the answer to the browser for what was thrown.
    static bool failure(NPJavascriptObject* self, const std::shared_ptr<NpapiBrowserHost>& host)
    {
        try {
            throw;
        } catch (const bad_variant_cast& e) {
            // A value that does not convert is the script's fault: report it as such.
            return fail(self, host, e.what());
        } catch (const std::bad_cast&) {
            return false;  // the API or the host went away meanwhile
        } catch (const script_error& e) {
            return fail(self, host, e.what());
        } catch (const std::exception& e) {
            trace("NPAPI", std::string("Unexpected failure in a script call: ") + e.what());
            return fail(self, host, "Unknown error");
        } catch (...) {
            return fail(self, host, "Unknown error");
        }
    }

    static bool fail(NPJavascriptObject* self, const std::shared_ptr<NpapiBrowserHost>& host, const std::string& text)
    {
        try {
            if (host && !host->isShutDown()) host->SetException(self, text.c_str());
            LastScriptException::set(text);
        } catch (...) {
            // Reporting failed too: the call still answers false to the browser.
        }
        return false;
    }

    // What an identifier names, asked of the browser once (no module: an empty name).
    static const NpapiBrowserHost::Identifier& identified(NpapiBrowserHost& host, NPIdentifier identifier)
    {
        return host.identifier(identifier);
    }

    // The call's arguments in a list borrowed from the host (given back, emptied, when it goes).
    static ArgumentLists::Borrowed arguments(NpapiBrowserHost& host, const NPVariant* args, uint32_t count)
    {
        ArgumentLists::Borrowed borrowed = host.borrowArgumentList();
        VariantVector& list = borrowed.list();
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i) list.push_back(host.getVariant(&args[i]));
        return borrowed;
    }

    // A call's result is void until a value is converted into it: a value
    // without a conversion leaves nothing undefined for the browser.
    static void startVoid(NPVariant* result)
    {
        result->type = NPVariantType_Void;
        result->value.objectValue = nullptr;
    }

    static NPObject* allocate(NPP, NPClass*)
    {
        try {
            return new NPJavascriptObject;
        } catch (...) {
            return nullptr;
        }
    }

    static void deallocate(NPObject* npobj)
    {
        try {
            delete NPJavascriptObject::fromNPObject(npobj);
        } catch (...) {
            // The browser forgets the object either way; nothing may reach it.
        }
    }

    static void invalidate(NPObject* npobj)
    {
        try {
            NPJavascriptObject::fromNPObject(npobj)->invalidate();
        } catch (...) {
            // The browser's call must not see it; the object is dead to the page anyway.
        }
    }

    // A member that script calls as a method; methods with method objects are
    // presented as properties instead.
    static bool methodTest(JSAPI& api, const std::string& name)
    {
        if (name == kToString) return true;
        if (api.hasMethodObject(name)) return false;
        return api.hasMethod(name);
    }

    static bool hasMethod(NPObject* npobj, NPIdentifier identifier)
    {
        return guardedQuery(npobj, identifier,
            [&](JSAPI& api, const NpapiPluginModule::Identifier& id) { return methodTest(api, id.name); });
    }

    static bool hasProperty(NPObject* npobj, NPIdentifier identifier)
    {
        return guardedQuery(npobj, identifier, [&](JSAPI& api, const NpapiPluginModule::Identifier& id) {
            if (!id.isString) return api.hasPropertyIndex(id.index);
            const std::string& name = id.name;
            if (isBuiltInName(name)) return true;
            if (name == kToString) return false;
            if (api.hasMethodObject(name)) return true;
            if (api.hasMethod(name)) return false;
            return api.hasProperty(name);
        });
    }

    static bool getProperty(NPObject* npobj, NPIdentifier identifier, NPVariant* result)
    {
        return guarded(npobj, [&](NPJavascriptObject& self, JSAPI& api, NpapiBrowserHost& host) {
            const auto& id = identified(host, identifier);
            variant value;
            if (!id.isString)
                value = api.getPropertyIndex(id.index);
            else if (isBuiltInName(id.name))
                value = self.builtInMember(id.name);
            else if (api.hasMethodObject(id.name))
                value = api.getMethodObject(id.name);
            else
                value = api.getProperty(id.name);
            host.getNPVariant(result, value);
            return true;
        });
    }

    static bool setProperty(NPObject* npobj, NPIdentifier identifier, const NPVariant* npValue)
    {
        return guarded(npobj, [&](NPJavascriptObject&, JSAPI& api, NpapiBrowserHost& host) {
            variant value = host.getVariant(npValue);
            const auto& id = identified(host, identifier);
            if (!id.isString) {
                api.setPropertyIndex(id.index, value);
                return true;
            }
            if (api.hasMethodObject(id.name)) throw script_error("This property cannot be changed");
            api.setProperty(id.name, value);
            return true;
        });
    }

    static bool removeProperty(NPObject* npobj, NPIdentifier identifier)
    {
        return guarded(npobj, [&](NPJavascriptObject&, JSAPI& api, NpapiBrowserHost& host) {
            const auto& id = identified(host, identifier);
            if (!id.isString)
                api.removePropertyIndex(id.index);
            else
                api.removeProperty(id.name);
            return true;
        });
    }

    static bool invoke(
        NPObject* npobj, NPIdentifier identifier, const NPVariant* args, uint32_t count, NPVariant* result)
    {
        return guarded(npobj, [&](NPJavascriptObject&, JSAPI& api, NpapiBrowserHost& host) {
            startVoid(result);
            ArgumentLists::Borrowed list = arguments(host, args, count);
            variant value = api.invoke(identified(host, identifier).name, list.list());
            host.getNPVariant(result, value);
            return true;
        });
    }

    static bool invokeDefault(NPObject* npobj, const NPVariant* args, uint32_t count, NPVariant* result)
    {
        return guarded(npobj, [&](NPJavascriptObject&, JSAPI& api, NpapiBrowserHost& host) {
            startVoid(result);
            ArgumentLists::Borrowed list = arguments(host, args, count);
            variant value = api.invoke(std::string(), list.list());
            host.getNPVariant(result, value);
            return true;
        });
    }

    static bool construct(NPObject* npobj, const NPVariant* args, uint32_t count, NPVariant* result)
    {
        return guarded(npobj, [&](NPJavascriptObject&, JSAPI& api, NpapiBrowserHost& host) {
            startVoid(result);
            ArgumentLists::Borrowed list = arguments(host, args, count);
            variant value = api.construct(list.list());
            host.getNPVariant(result, value);
            return true;
        });
    }

    static bool enumerate(NPObject* npobj, NPIdentifier** identifiers, uint32_t* count)
    {
        return guarded(npobj, [&](NPJavascriptObject&, JSAPI& api, NpapiBrowserHost& host) {
            std::vector<std::string> names;
            api.listMemberNames(names);
            names.emplace_back(kAddEventListener);
            names.emplace_back(kRemoveEventListener);
            names.emplace_back(kGetLastException);
            auto* array =
                static_cast<NPIdentifier*>(host.MemAlloc(static_cast<uint32_t>(sizeof(NPIdentifier) * names.size())));
            if (!array) return false;
            for (size_t i = 0; i < names.size(); ++i) array[i] = host.GetStringIdentifier(names[i].c_str());
            *identifiers = array;
            *count = static_cast<uint32_t>(names.size());
            return true;
        });
    }
};

NPClass NPJavascriptObjectClass = {NP_CLASS_STRUCT_VERSION, NPJavascriptObjectEntries::allocate,
    NPJavascriptObjectEntries::deallocate, NPJavascriptObjectEntries::invalidate, NPJavascriptObjectEntries::hasMethod,
    NPJavascriptObjectEntries::invoke, NPJavascriptObjectEntries::invokeDefault, NPJavascriptObjectEntries::hasProperty,
    NPJavascriptObjectEntries::getProperty, NPJavascriptObjectEntries::setProperty,
    NPJavascriptObjectEntries::removeProperty, NPJavascriptObjectEntries::enumerate,
    NPJavascriptObjectEntries::construct};

// ---- the object ----------------------------------------------------------------------

bool NPJavascriptObject::isOwnObject(const NPObject* object)
{
    return object && object->_class == &NPJavascriptObjectClass;
}

NPJavascriptObject::NPJavascriptObject()
    : self_(std::make_shared<ShareableReference<NPJavascriptObject>>(this)),
      addEventListener_(std::make_shared<NPO_addEventListener>(self_, true, "attachEvent", "Invalid Arguments")),
      removeEventListener_(std::make_shared<NPO_removeEventListener>(self_, false, "detachEvent", "Invalid Arguments")),
      getLastException_(std::make_shared<NPO_getLastException>())
{
    _class = nullptr;
    referenceCount = 0;
}

void NPJavascriptObject::registerEventHandler(const VariantVector& args, bool attach)
{
    JSAPIPtr api = valid_ ? api_.lock() : nullptr;
    if (!api || !host_.lock() || args.size() < 2 || args.size() > 3) throw invalid_arguments();
    std::string event = "on" + args[0].convertToString();
    JSObjectPtr handler;
    try {
        handler = args[1].convertToJSObject();
    } catch (const bad_variant_cast& e) {
        throw invalid_arguments(e.what());
    }
    if (attach)
        api->addEventHandler(event, handler);
    else
        api->removeEventHandler(event, handler);
}

JSAPIPtr NPJavascriptObject::builtInMember(const std::string& name) const
{
    switch (builtInIndex(name)) {
    case 0: return addEventListener_;
    case 1: return removeEventListener_;
    case 2: return getLastException_;
    default: return nullptr;
    }
}

NPJavascriptObject::~NPJavascriptObject()
{
    self_.reset();
    if (!autoRelease_) return;
    JSAPIPtr api = api_.lock();
    std::shared_ptr<NpapiBrowserHost> host = host_.lock();
    if (api && host) host->releaseKeptObject(api);
}

NPJavascriptObject* NPJavascriptObject::newObject(
    const JSAPIPtr& api, const std::shared_ptr<NpapiBrowserHost>& host, bool autoRelease)
{
    if (!host) return nullptr;
    NPObject* created = host->CreateObject(&NPJavascriptObjectClass);
    if (!created) return nullptr;
    NPJavascriptObject* object = fromNPObject(created);
    object->attach(api, host, autoRelease);
    return object;
}

void NPJavascriptObject::attach(const JSAPIPtr& api, const std::shared_ptr<NpapiBrowserHost>& host, bool autoRelease)
{
    api_ = api;
    host_ = host;
    module_ = host->module();
    autoRelease_ = autoRelease;
    if (autoRelease && api) host->keepObjectAlive(api);
}

JSAPIPtr NPJavascriptObject::getAPI() const
{
    JSAPIPtr api = api_.lock();
    if (!api) throw std::bad_cast();
    return api;
}

std::shared_ptr<NpapiBrowserHost> NPJavascriptObject::getHost()
{
    std::shared_ptr<NpapiBrowserHost> host = host_.lock();
    if (!host) {
        invalidate();
        throw std::bad_cast();
    }
    return host;
}

void NPJavascriptObject::invalidate()
{
    valid_ = false;
    if (JSAPIPtr api = api_.lock()) api->invalidate();
}

}  // namespace Npapi
}  // namespace FB
