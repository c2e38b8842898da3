// Member tables of an automatic scriptable object. Every name that a method,
// property or attribute is registered under has an entry in memberZones_; a
// name without one is never reachable. Callables are held by shared pointer
// and copied out before they run, so a method may replace or remove its own
// entry while it runs.
#include "JSAPIAuto.h"

#include "JSFunction.h"
#include "JSObject.h"

namespace FB {

namespace {

// Removing registered properties is off for every object of the process.
constexpr bool kAllowRemovePropertiesByDefault = false;

const char* const kReservedNames[] = {
    "offsetWidth",
    "offsetHeight",
    "width",
    "height",
    "attributes",
    "nodeType",
    "namespaceURI",
    "localName",
    "wrappedJSObject",
    "prototype",
    "style",
    "id",
    "constructor",
};

}  // namespace

JSAPIAuto::JSAPIAuto(const std::string& description, int zone)
    : JSAPIImpl(zone), allowRemoveProperties_(kAllowRemovePropertiesByDefault), description_(description)
{
    ObjectLock lock(*this);
    ZoneScope builtInZone(*this, 0);
    addMethod("toString", bindMethod(this, &JSAPIAuto::getDescription));
    addMethod("getAttribute", bindMethod(this, &JSAPIAuto::getAttribute));
    addMethod("setAttribute", bindMethod(this, &JSAPIAuto::setAttribute));
    addProperty("value", bindPropertyReadOnly(this, &JSAPIAuto::getDescription));
    addProperty("valid", PropertyFunctors{[] { return variant(true); }, [](const variant&) {}});
    reservedNames_.insert(std::begin(kReservedNames), std::end(kReservedNames));
}

JSAPIAuto::~JSAPIAuto() = default;

// --- registration ---

bool JSAPIAuto::isAccessible(const std::string& name) const
{
    auto zone = memberZones_.find(name);
    return zone != memberZones_.end() && currentZone() >= zone->second;
}

void JSAPIAuto::recordZone(const std::string& name)
{
    memberZones_[name] = currentZone();
}

void JSAPIAuto::addAttribute(const std::string& name, const variant& value, bool readOnly)
{
    ObjectLock lock(*this);
    attributes_[name] = Attribute{value, readOnly};
    recordZone(name);
}

void JSAPIAuto::addReservedName(const std::string& name)
{
    ObjectLock lock(*this);
    reservedNames_.insert(name);
}

void JSAPIAuto::removeMethod(const std::string& name)
{
    ObjectLock lock(*this);
    if (methods_.erase(name)) memberZones_.erase(name);
}

void JSAPIAuto::removeMethod(const std::wstring& name)
{
    removeMethod(detail::memberNameToUtf8(name));
}

void JSAPIAuto::addMethod(const std::string& name, const CallMethodFunctor& method)
{
    ObjectLock lock(*this);
    methods_[name] = std::make_shared<const CallMethodFunctor>(method);
    recordZone(name);
}

void JSAPIAuto::addMethod(const std::wstring& name, const CallMethodFunctor& method)
{
    addMethod(detail::memberNameToUtf8(name), method);
}

void JSAPIAuto::addProperty(const std::string& name, const PropertyFunctors& property)
{
    ObjectLock lock(*this);
    properties_[name] = std::make_shared<const PropertyFunctors>(property);
    recordZone(name);
}

void JSAPIAuto::addProperty(const std::wstring& name, const PropertyFunctors& property)
{
    addProperty(detail::memberNameToUtf8(name), property);
}

void JSAPIAuto::dropProperty(const std::string& name)
{
    ObjectLock lock(*this);
    if (properties_.erase(name)) memberZones_.erase(name);
}

void JSAPIAuto::dropProperty(const std::wstring& name)
{
    dropProperty(detail::memberNameToUtf8(name));
}

std::string JSAPIAuto::getDescription() const
{
    return description_;
}

// --- attributes ---

variant JSAPIAuto::getAttribute(const std::string& name) const
{
    ObjectLock lock(*this);
    auto found = attributes_.find(name);
    return found == attributes_.end() ? variant() : found->second.value;
}

void JSAPIAuto::setAttribute(const std::string& name, const variant& value)
{
    ObjectLock lock(*this);
    auto found = attributes_.find(name);
    if (found != attributes_.end() && found->second.readOnly)
        throw script_error("Cannot set read-only property " + name);
    attributes_[name] = Attribute{value, false};
    recordZone(name);
}

void JSAPIAuto::removeAttribute(const std::string& name)
{
    ObjectLock lock(*this);
    auto found = attributes_.find(name);
    if (found == attributes_.end()) return;
    if (found->second.readOnly) throw script_error("Cannot remove read-only property " + name);
    attributes_.erase(found);
    memberZones_.erase(name);
}

// --- script-facing queries ---

void JSAPIAuto::listMemberNames(std::vector<std::string>& names) const
{
    ObjectLock lock(*this);
    const int zone = currentZone();
    for (const auto& [name, memberZone] : memberZones_) {
        if (memberZone <= zone) names.push_back(name);
    }
}

std::size_t JSAPIAuto::countMembers() const
{
    return listMemberNames().size();
}

bool JSAPIAuto::hasMethod(const std::string& name) const
{
    ObjectLock lock(*this);
    return isValid() && methods_.count(name) && isAccessible(name);
}

bool JSAPIAuto::hasMethodObject(const std::string& name) const
{
    return allowMethodObjects_ && hasMethod(name);
}

bool JSAPIAuto::hasProperty(const std::string& name) const
{
    ObjectLock lock(*this);
    if (!isValid()) return false;
    if (allowDynamicAttributes_ && !methods_.count(name) && !reservedNames_.count(name)) return true;
    if (allowMethodObjects_ && methods_.count(name) && isAccessible(name)) return true;
    return properties_.count(name) || attributes_.count(name);
}

bool JSAPIAuto::hasPropertyIndex(int index) const
{
    ObjectLock lock(*this);
    if (!isValid()) return false;
    return allowDynamicAttributes_ || attributes_.count(std::to_string(index));
}

// --- script-facing operations ---

JSAPIPtr JSAPIAuto::getMethodObject(const std::string& name)
{
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    if (!methods_.count(name) || !isAccessible(name)) throw invalid_member(name);
    const int zone = currentZone();
    std::shared_ptr<JSFunction>& cached = methodObjects_[{name, zone}];
    if (!cached) cached = std::make_shared<JSFunction>(weak_from_this(), name, zone);
    return cached;
}

variant JSAPIAuto::getProperty(const std::string& name)
{
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    if (auto found = properties_.find(name); found != properties_.end()) {
        if (!isAccessible(name)) {
            if (!allowDynamicAttributes_) throw invalid_member(name);
            return variant();
        }
        // A copy that outlives its entry, should the getter drop the property.
        std::shared_ptr<const PropertyFunctors> property = found->second;
        return property->get();
    }
    if (allowMethodObjects_ && methods_.count(name)) return getMethodObject(name);
    if (auto attribute = attributes_.find(name); attribute != attributes_.end()) return attribute->second.value;
    if (!allowDynamicAttributes_) throw invalid_member(name);
    return variant();
}

variant JSAPIAuto::getPropertyIndex(int index)
{
    return getProperty(std::to_string(index));
}

void JSAPIAuto::setProperty(const std::string& name, const variant& value)
{
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    if (auto found = properties_.find(name); found != properties_.end()) {
        if (!isAccessible(name)) throw invalid_member(name);
        std::shared_ptr<const PropertyFunctors> property = found->second;
        try {
            property->set(value);
        } catch (const bad_variant_cast& e) {
            throw invalid_arguments("Could not convert from " + e.from() + " to " + e.to());
        }
        return;
    }
    auto attribute = attributes_.find(name);
    if (attribute != attributes_.end() && attribute->second.readOnly)
        throw script_error("Cannot set read-only property " + name);
    if (!allowDynamicAttributes_ && attribute == attributes_.end()) throw invalid_member(name);
    addAttribute(name, value, false);
}

void JSAPIAuto::setPropertyIndex(int index, const variant& value)
{
    setProperty(std::to_string(index), value);
}

void JSAPIAuto::removeProperty(const std::string& name)
{
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    if (!isAccessible(name)) throw invalid_member(name);
    if (properties_.count(name)) {
        if (allowRemoveProperties_) dropProperty(name);
        return;
    }
    if (!allowDynamicAttributes_) return;
    auto attribute = attributes_.find(name);
    if (attribute != attributes_.end() && !attribute->second.readOnly) removeAttribute(name);
}

void JSAPIAuto::removePropertyIndex(int index)
{
    const std::string name = std::to_string(index);
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    auto attribute = attributes_.find(name);
    if (allowDynamicAttributes_ && attribute != attributes_.end() && !attribute->second.readOnly) {
        removeAttribute(name);
        return;
    }
    throw invalid_member(name);
}

variant JSAPIAuto::invoke(const std::string& name, const VariantVector& args)
{
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    auto found = methods_.find(name);
    if (found == methods_.end() || !isAccessible(name)) throw invalid_member(name);
    std::shared_ptr<const CallMethodFunctor> method = found->second;
    try {
        return (*method)(args);
    } catch (const bad_variant_cast& e) {
        throw invalid_arguments("Could not convert from " + e.from() + " to " + e.to());
    }
}

variant JSAPIAuto::construct(const VariantVector&)
{
    if (!isValid()) throw object_invalidated();
    throw invalid_member("constructor");
}

// --- events ---

JSObjectPtr JSAPIAuto::attributeHandler(const std::string& eventName) const
{
    ObjectLock lock(*this);
    auto attribute = attributes_.find(eventName);
    if (attribute == attributes_.end()) return JSObjectPtr();
    const auto* handler = attribute->second.value.getIf<JSObjectPtr>();
    return handler ? *handler : JSObjectPtr();
}

void JSAPIAuto::fireEventToHandlers(const std::string& name, const VariantVector& args)
{
    JSAPIImpl::fireEventToHandlers(name, args);
    try {
        if (JSObjectPtr handler = attributeHandler(name)) handler->invokeAsync("", args);
    } catch (const std::exception&) {
        // An unreachable attribute handler must not stop the event.
    }
}

void JSAPIAuto::deliverScriptEvent(const std::string& name, const VariantDict& eventObject)
{
    JSAPIImpl::deliverScriptEvent(name, eventObject);
    try {
        if (JSObjectPtr handler = attributeHandler(name)) handler->invokeAsync("", VariantVector{eventObject});
    } catch (const std::exception&) {
        // An unreachable attribute handler must not stop the event.
    }
}

}  // namespace FB
