// Page objects over the browser's runtime calls: the browser side of the
// frame's member operations, with every variant built or filled released after use.
#include "NPObjectAPI.h"

#include "NPJavascriptObject.h"
#include "NpapiBrowserHost.h"
#include "ScriptErrors.h"

#include <mutex>

namespace FB {
namespace Npapi {

namespace {

const char* const kEventIdProperty = "__fb_event_id";

std::mutex objectIdLock;
int32_t objectIdCounter = 0;

// Releases the browser variants of one call when it goes out of scope.
class CallVariants {
public:
    CallVariants(NpapiBrowserHost& host, const VariantVector& values) : host_(host), values_(values.size())
    {
        for (size_t i = 0; i < values.size(); ++i) {
            values_[i].type = NPVariantType_Void;
            host.getNPVariant(&values_[i], values[i]);
        }
        result_.type = NPVariantType_Void;
    }
    ~CallVariants()
    {
        for (auto& value : values_) host_.ReleaseVariantValue(&value);
        host_.ReleaseVariantValue(&result_);
    }
    const NPVariant* data() const { return values_.data(); }
    uint32_t count() const { return static_cast<uint32_t>(values_.size()); }
    NPVariant* result() { return &result_; }

private:
    NpapiBrowserHost& host_;
    std::vector<NPVariant> values_;
    NPVariant result_;
};

}  // namespace

NPObjectAPI::NPObjectAPI(NPObject* object, const std::shared_ptr<NpapiBrowserHost>& host)
    : PageObjectFrame(host), host_(host), object_(object)
{
    if (object_ && host) host->RetainObject(object_);
    if (NPJavascriptObject::isOwnObject(object_)) {
        try {
            JSAPIPtr api = NPJavascriptObject::fromNPObject(object_)->getAPI();
            isOwnObject_ = true;
            inner_ = api;
        } catch (const std::bad_cast&) {
            // an own object whose API is gone: served through the browser like any other
        }
    }
}

NPObjectAPI::~NPObjectAPI()
{
    std::shared_ptr<NpapiBrowserHost> host = host_.lock();
    if (host && object_) host->deferRelease(object_);
}

std::shared_ptr<NpapiBrowserHost> NPObjectAPI::liveHost() const
{
    // A host that has shut down counts as gone: its browser table is cleared.
    std::shared_ptr<NpapiBrowserHost> host = host_.lock();
    return host && !host->isShutDown() ? host : nullptr;
}

JSAPIPtr NPObjectAPI::ownApi() const
{
    return isOwnObject_ ? inner_.lock() : nullptr;
}

void NPObjectAPI::invalidate()
{
    inner_.reset();
}

bool NPObjectAPI::isValid() const
{
    return liveHost() != nullptr;
}

const void* NPObjectAPI::getEventContext() const
{
    std::shared_ptr<NpapiBrowserHost> host = liveHost();
    return host ? host->getInstanceHandle() : nullptr;
}

JSAPIPtr NPObjectAPI::getWrappedJSAPI() const
{
    if (!NPJavascriptObject::isOwnObject(object_)) return nullptr;
    try {
        return NPJavascriptObject::fromNPObject(object_)->getAPI();
    } catch (const std::bad_cast&) {
        return nullptr;
    }
}

std::vector<std::string> NPObjectAPI::browserListMembers(NpapiBrowserHost& host) const
{
    std::vector<std::string> names;
    NPIdentifier* identifiers = nullptr;
    uint32_t count = 0;
    if (!host.Enumerate(object_, &identifiers, &count)) return names;
    names.reserve(count);
    for (uint32_t i = 0; i < count; ++i) names.push_back(host.StringFromIdentifier(identifiers[i]));
    host.MemFree(identifiers);
    return names;
}

std::size_t NPObjectAPI::browserCountMembers(NpapiBrowserHost& host) const
{
    NPIdentifier* identifiers = nullptr;
    uint32_t count = 0;
    if (!host.Enumerate(object_, &identifiers, &count)) return 0;
    host.MemFree(identifiers);
    return count;
}

bool NPObjectAPI::browserHasMethod(NpapiBrowserHost& host, const std::string& name) const
{
    return host.HasMethod(object_, host.GetStringIdentifier(name.c_str()));
}

bool NPObjectAPI::browserHasProperty(NpapiBrowserHost& host, const std::string& name) const
{
    return host.HasProperty(object_, host.GetStringIdentifier(name.c_str()));
}

variant NPObjectAPI::browserGetProperty(NpapiBrowserHost& host, const std::string& name)
{
    CallVariants call(host, {});
    if (!host.GetProperty(object_, host.GetStringIdentifier(name.c_str()), call.result())) throw script_error(name);
    return host.getVariant(call.result());
}

void NPObjectAPI::browserSetProperty(NpapiBrowserHost& host, const std::string& name, const variant& value)
{
    CallVariants call(host, {value});
    if (!host.SetProperty(object_, host.GetStringIdentifier(name.c_str()), call.data())) throw script_error(name);
}

void NPObjectAPI::browserRemoveProperty(NpapiBrowserHost& host, const std::string& name)
{
    if (!host.RemoveProperty(object_, host.GetStringIdentifier(name.c_str()))) throw script_error(name);
}

variant NPObjectAPI::browserInvoke(NpapiBrowserHost& host, const std::string& name, const VariantVector& args)
{
    CallVariants call(host, args);
    bool ok = name.empty()
        ? host.InvokeDefault(object_, call.data(), call.count(), call.result())
        : host.Invoke(object_, host.GetStringIdentifier(name.c_str()), call.data(), call.count(), call.result());
    if (!ok) throw script_error(name);
    return host.getVariant(call.result());
}

variant NPObjectAPI::browserConstruct(NpapiBrowserHost& host, const VariantVector& args)
{
    CallVariants call(host, args);
    if (!host.Construct(object_, call.data(), call.count(), call.result())) throw script_error("constructor");
    return host.getVariant(call.result());
}

const void* NPObjectAPI::getObjectId() const
{
    if (objectId_ != 0) return reinterpret_cast<const void*>(objectId_);
    auto self = std::const_pointer_cast<NPObjectAPI>(std::static_pointer_cast<const NPObjectAPI>(shared_from_this()));
    if (!self->hasProperty(kEventIdProperty)) {
        int32_t next;
        {
            std::lock_guard<std::mutex> guard(objectIdLock);
            next = ++objectIdCounter;
        }
        self->setProperty(kEventIdProperty, variant(next));
    }
    try {
        objectId_ = self->getProperty(kEventIdProperty).convertToInt();
    } catch (const bad_variant_cast& e) {
        throw invalid_arguments(e.what());
    }
    return reinterpret_cast<const void*>(objectId_);
}

void NPObjectAPI::callHandlers(const std::string& event, const VariantVector& args,
    const std::vector<JSObjectPtr>& functionHandlers, const std::vector<JSObjectPtr>& objectHandlers)
{
    auto host = liveHost();
    if (!host) throw script_error("Error calling handlers");
    if (!host->isMainThread()) {
        auto self = std::static_pointer_cast<NPObjectAPI>(shared_from_this());
        auto call = [self, event, args, functionHandlers, objectHandlers] {
            self->callHandlers(event, args, functionHandlers, objectHandlers);
        };
        host->mainThreadCall(call, self);
        return;
    }
    JSObjectPtr helper = host->delayedCallHelper();
    auto helperObject = std::dynamic_pointer_cast<NPObjectAPI>(helper);
    if (!helperObject) throw script_error("Error calling handlers (delegate disappeared)");
    // The helper's arguments: the delay, the handler, the arguments as one page
    // array and, for an object handler, the name of the member to call.
    CallVariants shared(*host, {variant(0), variant(args), variant(event)});
    auto deliver = [&](const JSObjectPtr& handler, bool byEventName) {
        if (!handler) return;
        if (handler->getWrappedJSAPI()) {
            handler->invoke(byEventName ? event : std::string(), args);
            return;
        }
        CallVariants call(*host, {variant(handler)});
        const NPVariant values[] = {shared.data()[0], call.data()[0], shared.data()[1], shared.data()[2]};
        host->InvokeDefault(helperObject->getNPObject(), values, byEventName ? 4 : 3, call.result());
    };
    for (const JSObjectPtr& handler : functionHandlers) deliver(handler, false);
    for (const JSObjectPtr& handler : objectHandlers) deliver(handler, true);
}

}  // namespace Npapi
}  // namespace FB
