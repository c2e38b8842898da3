// Member tables of an automatic scriptable object. Every name that a method,
// property or attribute is registered under has an entry in the zone table; a
// name without one is never reachable. Callables are held by shared pointer
// and copied out before they run, so a method may replace or remove its own
// entry while it runs.
//
// The built-in members are one table for the whole process: their entries
// bind the object they run on at the time of the call. An object uses that
// table (and the shared reserved names) until it changes a member; then it
// gets a copy of its own, under its lock.
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

// A method: a callable bound to its object, or a built-in bound when it runs.
struct JSAPIAuto::Method {
    CallMethodFunctor bound;
    CallMethodFunctor (*builtIn)(JSAPIAuto* self) = nullptr;

    variant call(JSAPIAuto& self, const VariantVector& args) const
    {
        return builtIn ? builtIn(&self)(args) : bound(args);
    }
};

// A property: a getter and setter bound to their object, or a built-in.
struct JSAPIAuto::Property {
    PropertyFunctors bound;
    PropertyFunctors (*builtIn)(JSAPIAuto* self) = nullptr;

    variant get(JSAPIAuto& self) const { return builtIn ? builtIn(&self).get() : bound.get(); }
    void set(JSAPIAuto& self, const variant& value) const
    {
        if (builtIn)
            builtIn(&self).set(value);
        else
            bound.set(value);
    }
};

struct JSAPIAuto::Members {
    std::map<std::string, std::shared_ptr<const Method>> methods;
    std::map<std::string, std::shared_ptr<const Property>> properties;
    std::map<std::string, int> zones;
};

const std::shared_ptr<JSAPIAuto::Members>& JSAPIAuto::builtInMembers()
{
    // Made once; objects only ever read it (a change copies it first).
    static const std::shared_ptr<Members> table = [] {
        auto members = std::make_shared<Members>();
        auto method = [&](const char* name, CallMethodFunctor (*bind)(JSAPIAuto*)) {
            members->methods[name] = std::make_shared<const Method>(Method{{}, bind});
            members->zones[name] = 0;
        };
        auto property = [&](const char* name, PropertyFunctors (*bind)(JSAPIAuto*)) {
            members->properties[name] = std::make_shared<const Property>(Property{{}, bind});
            members->zones[name] = 0;
        };
        method("toString", [](JSAPIAuto* self) { return bindMethod(self, &JSAPIAuto::getDescription); });
        method("getAttribute", [](JSAPIAuto* self) { return bindMethod(self, &JSAPIAuto::getAttribute); });
        method("setAttribute", [](JSAPIAuto* self) { return bindMethod(self, &JSAPIAuto::setAttribute); });
        property("value", [](JSAPIAuto* self) { return bindPropertyReadOnly(self, &JSAPIAuto::getDescription); });
        property("valid", [](JSAPIAuto*) {
            return PropertyFunctors{[] { return variant(true); }, [](const variant&) {}};
        });
        return members;
    }();
    return table;
}

namespace {

const std::shared_ptr<const std::set<std::string>>& defaultReservedNames()
{
    static const auto names =
        std::make_shared<const std::set<std::string>>(std::begin(kReservedNames), std::end(kReservedNames));
    return names;
}

}  // namespace

JSAPIAuto::JSAPIAuto(const std::string& description, int zone)
    : JSAPIImpl(zone),
      allowRemoveProperties_(kAllowRemovePropertiesByDefault),
      members_(builtInMembers()),
      description_(description),
      reservedNames_(defaultReservedNames())
{
}

JSAPIAuto::~JSAPIAuto() = default;

// --- registration ---

JSAPIAuto::Members& JSAPIAuto::ownMembers()
{
    // Only this object holds its own copy; the shared table is held by the process as well.
    if (members_ == builtInMembers()) members_ = std::make_shared<Members>(*members_);
    return *members_;
}

bool JSAPIAuto::isAccessible(const std::string& name) const
{
    auto zone = members_->zones.find(name);
    return zone != members_->zones.end() && currentZone() >= zone->second;
}

void JSAPIAuto::recordZone(const std::string& name)
{
    ownMembers().zones[name] = currentZone();
}

void JSAPIAuto::clearReservedNames()
{
    ObjectLock lock(*this);
    static const auto none = std::make_shared<const NameSet>();
    reservedNames_ = none;
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
    if (isReserved(name)) return;
    auto names = std::make_shared<NameSet>(*reservedNames_);
    names->insert(name);
    reservedNames_ = std::move(names);
}

void JSAPIAuto::removeMethod(const std::string& name)
{
    ObjectLock lock(*this);
    if (!members_->methods.count(name)) return;
    Members& members = ownMembers();
    members.methods.erase(name);
    members.zones.erase(name);
}

void JSAPIAuto::removeMethod(const std::wstring& name)
{
    removeMethod(detail::memberNameToUtf8(name));
}

void JSAPIAuto::addMethod(const std::string& name, const CallMethodFunctor& method)
{
    ObjectLock lock(*this);
    ownMembers().methods[name] = std::make_shared<const Method>(Method{method, nullptr});
    recordZone(name);
}

void JSAPIAuto::addMethod(const std::wstring& name, const CallMethodFunctor& method)
{
    addMethod(detail::memberNameToUtf8(name), method);
}

void JSAPIAuto::addProperty(const std::string& name, const PropertyFunctors& property)
{
    ObjectLock lock(*this);
    ownMembers().properties[name] = std::make_shared<const Property>(Property{property, nullptr});
    recordZone(name);
}

void JSAPIAuto::addProperty(const std::wstring& name, const PropertyFunctors& property)
{
    addProperty(detail::memberNameToUtf8(name), property);
}

void JSAPIAuto::dropProperty(const std::string& name)
{
    ObjectLock lock(*this);
    if (!members_->properties.count(name)) return;
    Members& members = ownMembers();
    members.properties.erase(name);
    members.zones.erase(name);
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
    ownMembers().zones.erase(name);
}

// --- script-facing queries ---

void JSAPIAuto::listMemberNames(std::vector<std::string>& names) const
{
    ObjectLock lock(*this);
    const int zone = currentZone();
    for (const auto& [name, memberZone] : members_->zones) {
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
    return isValid() && members_->methods.count(name) && isAccessible(name);
}

bool JSAPIAuto::hasMethodObject(const std::string& name) const
{
    return allowMethodObjects_ && hasMethod(name);
}

bool JSAPIAuto::hasProperty(const std::string& name) const
{
    ObjectLock lock(*this);
    if (!isValid()) return false;
    const bool isMethod = members_->methods.count(name) > 0;
    if (allowDynamicAttributes_ && !isMethod && !isReserved(name)) return true;
    if (allowMethodObjects_ && isMethod && isAccessible(name)) return true;
    return members_->properties.count(name) || attributes_.count(name);
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
    if (!members_->methods.count(name) || !isAccessible(name)) throw invalid_member(name);
    const int zone = currentZone();
    std::shared_ptr<JSFunction>& cached = methodObjects_[{name, zone}];
    if (!cached) cached = std::make_shared<JSFunction>(weak_from_this(), name, zone);
    return cached;
}

variant JSAPIAuto::getProperty(const std::string& name)
{
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    if (auto found = members_->properties.find(name); found != members_->properties.end()) {
        if (!isAccessible(name)) {
            if (!allowDynamicAttributes_) throw invalid_member(name);
            return variant();
        }
        // A copy that outlives its entry, should the getter drop the property.
        std::shared_ptr<const Property> property = found->second;
        return property->get(*this);
    }
    if (allowMethodObjects_ && members_->methods.count(name)) return getMethodObject(name);
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
    if (auto found = members_->properties.find(name); found != members_->properties.end()) {
        if (!isAccessible(name)) throw invalid_member(name);
        std::shared_ptr<const Property> property = found->second;
        try {
            property->set(*this, value);
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
    if (members_->properties.count(name)) {
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
    auto found = members_->methods.find(name);
    if (found == members_->methods.end() || !isAccessible(name)) throw invalid_member(name);
    std::shared_ptr<const Method> method = found->second;
    try {
        return method->call(*this, args);
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
