#include "JSAPIImpl.h"

#include "JSObject.h"
#include "utf8_tools.h"

#include <algorithm>

namespace FB {

namespace {

// A copy of the value in which every reference to `from` (also inside lists
// and maps) refers to `to` instead.
variant retargeted(const variant& value, const JSAPI* from, const JSAPIPtr& to)
{
    if (const auto* api = value.getIf<JSAPIPtr>(); api && api->get() == from) return to;
    if (const auto* object = value.getIf<JSObjectPtr>(); object && static_cast<const JSAPI*>(object->get()) == from)
        return to;
    if (const auto* weak = value.getIf<JSAPIWeakPtr>(); weak && weak->lock().get() == from)
        return variant::fromValue(JSAPIWeakPtr(to));
    if (const auto* list = value.getIf<VariantVector>()) {
        VariantVector copy;
        copy.reserve(list->size());
        for (const variant& each : *list) copy.push_back(retargeted(each, from, to));
        return copy;
    }
    if (const auto* dict = value.getIf<VariantDict>()) {
        VariantDict copy;
        for (const auto& [key, each] : *dict) copy.emplace(key, retargeted(each, from, to));
        return copy;
    }
    return value;
}

VariantVector retargeted(const VariantVector& values, const JSAPI* from, const JSAPIPtr& to)
{
    return retargeted(variant(values), from, to).getVariantVector();
}

VariantDict retargeted(const VariantDict& values, const JSAPI* from, const JSAPIPtr& to)
{
    return retargeted(variant(values), from, to).getVariantDict();
}

bool sameObject(const JSObjectPtr& a, const JSObjectPtr& b)
{
    return a->getObjectId() == b->getObjectId();
}

// One handler's failure never stops the delivery to the others.
template <class Call>
void deliverGuarded(Call&& call)
{
    try {
        call();
    } catch (const std::exception&) {
        // The next handler still gets the event.
    }
}

}  // namespace

// --- object ---

JSAPIImpl::JSAPIImpl(int zone) : zoneStack_{zone} {}

JSAPIImpl::~JSAPIImpl() = default;

void JSAPIImpl::invalidate()
{
    valid_ = false;
}

void JSAPIImpl::enterZone(int zone)
{
    zoneLock_.lock();
    zoneStack_.push_back(zone);
}

void JSAPIImpl::leaveZone()
{
    // Only the thread that entered a zone may leave one, and the base zone stays.
    if (!zoneLock_.heldByThisThread()) return;
    if (zoneStack_.size() > 1) zoneStack_.pop_back();
    zoneLock_.unlock();
}

void JSAPIImpl::setBaseZone(int zone)
{
    ObjectLock lock(*this);
    if (!zoneStack_.empty()) zoneStack_.pop_front();
    zoneStack_.push_front(zone);
}

int JSAPIImpl::getBaseZone() const
{
    ObjectLock lock(*this);
    return zoneStack_.front();
}

int JSAPIImpl::currentZone() const
{
    ObjectLock lock(*this);
    return zoneStack_.back();
}

// --- handlers ---

void JSAPIImpl::addEventHandler(const std::string& name, const JSObjectPtr& handler)
{
    if (!handler) throw invalid_arguments();
    std::lock_guard<std::mutex> lock(eventLock_);
    HandlerMap& handlers = eventHandlers_[handler->getEventContext()];
    auto [first, last] = handlers.equal_range(name);
    if (std::any_of(first, last, [&](const auto& entry) { return sameObject(entry.second, handler); })) return;
    handlers.emplace(name, handler);
}

void JSAPIImpl::removeEventHandler(const std::string& name, const JSObjectPtr& handler)
{
    if (!handler) throw invalid_arguments();
    std::lock_guard<std::mutex> lock(eventLock_);
    auto context = eventHandlers_.find(handler->getEventContext());
    if (context == eventHandlers_.end()) return;
    auto [first, last] = context->second.equal_range(name);
    auto found = std::find_if(first, last, [&](const auto& entry) { return sameObject(entry.second, handler); });
    if (found != last) context->second.erase(found);
}

void JSAPIImpl::addEventSinkObject(const JSObjectPtr& sink)
{
    if (!sink) throw invalid_arguments();
    std::lock_guard<std::mutex> lock(eventLock_);
    auto& sinks = eventSinks_[sink->getEventContext()];
    if (std::none_of(sinks.begin(), sinks.end(), [&](const JSObjectPtr& each) { return sameObject(each, sink); }))
        sinks.push_back(sink);
}

void JSAPIImpl::removeEventSinkObject(const JSObjectPtr& sink)
{
    if (!sink) throw invalid_arguments();
    std::lock_guard<std::mutex> lock(eventLock_);
    auto context = eventSinks_.find(sink->getEventContext());
    if (context == eventSinks_.end()) return;
    std::erase_if(context->second, [&](const JSObjectPtr& each) { return sameObject(each, sink); });
}

// --- linked objects ---

void JSAPIImpl::addLinkedObject(const JSAPIWeakPtr& object)
{
    std::lock_guard<std::mutex> lock(linkedObjectsLock_);
    linkedObjects_.push_back(object);
}

void JSAPIImpl::walkLinkedObjects(const JSAPIPtr& object)
{
    std::lock_guard<std::mutex> lock(linkedObjectsLock_);
    std::erase_if(linkedObjects_, [&](const JSAPIWeakPtr& each) {
        JSAPIPtr linked = each.lock();
        return !linked || linked == object;
    });
}

std::vector<std::shared_ptr<JSAPIImpl>> JSAPIImpl::liveLinkedObjects()
{
    std::vector<std::shared_ptr<JSAPIImpl>> live;
    std::lock_guard<std::mutex> lock(linkedObjectsLock_);
    std::erase_if(linkedObjects_, [&](const JSAPIWeakPtr& each) {
        JSAPIPtr linked = each.lock();
        if (!linked) return true;
        if (auto impl = std::dynamic_pointer_cast<JSAPIImpl>(linked)) live.push_back(std::move(impl));
        return false;
    });
    return live;
}

// --- firing ---

void JSAPIImpl::fireEvent(const std::string& name, const VariantVector& args)
{
    deliverGuarded([&] {
        FiringChain chain;
        fireEventChained(name, args, chain);
    });
}

void JSAPIImpl::fireEvent(const std::wstring& name, const VariantVector& args)
{
    deliverGuarded([&] { fireEvent(wideToUtf8(name), args); });
}

void JSAPIImpl::fireScriptEvent(const std::string& name, const VariantDict& members, const VariantVector& args)
{
    deliverGuarded([&] {
        FiringChain chain;
        fireScriptEventChained(name, members, args, chain);
    });
}

void JSAPIImpl::fireEventChained(const std::string& name, const VariantVector& args, FiringChain& chain)
{
    if (!valid_ || !chain.insert(this).second) return;
    for (const auto& linked : liveLinkedObjects())
        deliverGuarded([&] { linked->fireEventChained(name, retargeted(args, this, linked), chain); });
    deliverGuarded([&] { fireEventToHandlers(name, args); });
}

void JSAPIImpl::fireScriptEventChained(
    const std::string& name, const VariantDict& members, const VariantVector& args, FiringChain& chain)
{
    if (!valid_ || !chain.insert(this).second) return;
    for (const auto& linked : liveLinkedObjects()) {
        deliverGuarded([&] {
            linked->fireScriptEventChained(
                name, retargeted(members, this, linked), retargeted(args, this, linked), chain);
        });
    }
    deliverGuarded([&] { deliverScriptEvent(name, makeEventObject(name, members, args)); });
}

VariantDict JSAPIImpl::makeEventObject(const std::string& name, const VariantDict& members, const VariantVector& args)
{
    const variant self = weak_from_this().lock();
    VariantDict event{
        {"type", name},
        {"target", self},
        {"currentTarget", self},
        {"eventPhase", 2},
        {"bubbles", false},
        {"cancelable", false},
        {"namespaceURI", name},
    };
    for (const auto& [key, value] : members) event[key] = value;
    event["arguments"] = args;
    return event;
}

void JSAPIImpl::fireEventToHandlers(const std::string& name, const VariantVector& args)
{
    deliverToHandlersAndSinks(name, args);
}

void JSAPIImpl::deliverScriptEvent(const std::string& name, const VariantDict& eventObject)
{
    deliverToHandlersAndSinks(name, VariantVector{eventObject});
}

void JSAPIImpl::deliverToHandlersAndSinks(const std::string& name, const VariantVector& args)
{
    std::map<const void*, HandlerMap> handlers;
    std::map<const void*, std::vector<JSObjectPtr>> sinks;
    {
        std::lock_guard<std::mutex> lock(eventLock_);
        handlers = eventHandlers_;
        sinks = eventSinks_;
    }

    for (const auto& [context, byName] : handlers) {
        std::vector<JSObjectPtr> direct;
        auto [first, last] = byName.equal_range(name);
        for (auto it = first; it != last; ++it) {
            const JSObjectPtr& handler = it->second;
            deliverGuarded([&] {
                if (!handler->isValid()) return;
                if (handler->supportsDirectCall())
                    direct.push_back(handler);
                else
                    handler->invokeAsync("", args);
            });
        }
        if (!direct.empty()) deliverGuarded([&] { direct.front()->callHandlers(name, args, direct, {}); });
    }

    for (const auto& [context, objects] : sinks) {
        for (const JSObjectPtr& sink : objects) {
            deliverGuarded([&] {
                if (!sink->isValid()) return;
                if (sink->supportsDirectCall())
                    sink->callHandlers(name, args, {}, {sink});
                else
                    sink->invokeAsync(name, args);
            });
        }
    }
}

}  // namespace FB
