// Member tables of an automatic scriptable object. One table keyed by name
// holds what each name is: its method, its property and the zone it was
// registered in (attributes keep their values apart, their zones here). Every
// name that a method, property or attribute is registered under has a zone; a
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

#include <optional>

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

// What one name is. An entry with none of the three is removed.
struct JSAPIAuto::Member {
    std::shared_ptr<const Method> method;
    std::shared_ptr<const Property> property;
    std::optional<int> zone;

    bool accessibleIn(int currentZone) const { return zone && currentZone >= *zone; }
    bool unused() const { return !method && !property && !zone; }
};

struct JSAPIAuto::Members {
    std::map<std::string, Member, detail::NameOrder> byName;

    Member* find(const std::string& name)
    {
        auto found = byName.find(name);
        return found == byName.end() ? nullptr : &found->second;
    }
    // Drops what `clear` clears from the name's entry, and the entry once it is unused.
    template <class Clear>
    void clear(const std::string& name, Clear clear)
    {
        auto found = byName.find(name);
        if (found == byName.end()) return;
        clear(found->second);
        if (found->second.unused()) byName.erase(found);
    }
};

const std::shared_ptr<JSAPIAuto::Members>& JSAPIAuto::builtInMembers()
{
    // Made once; objects only ever read it (a change copies it first).
    static const std::shared_ptr<Members> table = [] {
        auto members = std::make_shared<Members>();
        auto method = [&](const char* name, CallMethodFunctor (*bind)(JSAPIAuto*)) {
            Member& entry = members->byName[name];
            entry.method = std::make_shared<const Method>(Method{{}, bind});
            entry.zone = 0;
        };
        auto property = [&](const char* name, PropertyFunctors (*bind)(JSAPIAuto*)) {
            Member& entry = members->byName[name];
            entry.property = std::make_shared<const Property>(Property{{}, bind});
            entry.zone = 0;
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

const std::shared_ptr<const std::set<std::string, detail::NameOrder>>& defaultReservedNames()
{
    static const auto names = std::make_shared<const std::set<std::string, detail::NameOrder>>(
        std::begin(kReservedNames), std::end(kReservedNames));
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
    lastKnown_ = false;  // the caller changes the tables
    // Only this object holds its own copy; the shared table is held by the process as well.
    if (members_ == builtInMembers()) members_ = std::make_shared<Members>(*members_);
    return *members_;
}

const JSAPIAuto::Member* JSAPIAuto::member(const std::string& name) const
{
    if (lastKnown_ && detail::sameName(lastName_, name)) return lastMember_;
    const Member* entry = members_->find(name);
    lastKnown_ = false;
    lastName_ = name;  // should this fail, nothing is kept
    lastMember_ = entry;
    lastKnown_ = true;
    return entry;
}

void JSAPIAuto::recordZone(const std::string& name)
{
    ownMembers().byName[name].zone = currentZone();
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

template <class Slot>
void JSAPIAuto::dropMember(const std::string& name, Slot Member::*slot)
{
    ObjectLock lock(*this);
    const Member* entry = member(name);
    if (!entry || !(entry->*slot)) return;
    ownMembers().clear(name, [slot](Member& found) {
        (found.*slot).reset();
        found.zone.reset();
    });
}

void JSAPIAuto::removeMethod(const std::string& name)
{
    dropMember(name, &Member::method);
}

void JSAPIAuto::removeMethod(const std::wstring& name)
{
    removeMethod(detail::memberNameToUtf8(name));
}

void JSAPIAuto::addMethod(const std::string& name, const CallMethodFunctor& method)
{
    ObjectLock lock(*this);
    ownMembers().byName[name].method = std::make_shared<const Method>(Method{method, nullptr});
    recordZone(name);
}

void JSAPIAuto::addMethod(const std::wstring& name, const CallMethodFunctor& method)
{
    addMethod(detail::memberNameToUtf8(name), method);
}

void JSAPIAuto::addProperty(const std::string& name, const PropertyFunctors& property)
{
    ObjectLock lock(*this);
    ownMembers().byName[name].property = std::make_shared<const Property>(Property{property, nullptr});
    recordZone(name);
}

void JSAPIAuto::addProperty(const std::wstring& name, const PropertyFunctors& property)
{
    addProperty(detail::memberNameToUtf8(name), property);
}

void JSAPIAuto::dropProperty(const std::string& name)
{
    dropMember(name, &Member::property);
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
    if (member(name)) ownMembers().clear(name, [](Member& entry) { entry.zone.reset(); });
}

// --- script-facing queries ---

void JSAPIAuto::listMemberNames(std::vector<std::string>& names) const
{
    ObjectLock lock(*this);
    const int zone = currentZone();
    for (const auto& [name, entry] : members_->byName) {
        if (entry.accessibleIn(zone)) names.push_back(name);
    }
}

std::size_t JSAPIAuto::countMembers() const
{
    return listMemberNames().size();
}

bool JSAPIAuto::hasMethod(const std::string& name) const
{
    ObjectLock lock(*this);
    if (!isValid()) return false;
    const Member* entry = member(name);
    return entry && entry->method && entry->accessibleIn(currentZone());
}

bool JSAPIAuto::hasMethodObject(const std::string& name) const
{
    return allowMethodObjects_ && hasMethod(name);
}

bool JSAPIAuto::hasProperty(const std::string& name) const
{
    ObjectLock lock(*this);
    if (!isValid()) return false;
    const Member* entry = member(name);
    const bool isMethod = entry && entry->method;
    if (allowDynamicAttributes_ && !isMethod && !isReserved(name)) return true;
    if (allowMethodObjects_ && isMethod && entry->accessibleIn(currentZone())) return true;
    return (entry && entry->property) || attributes_.count(name);
}

bool JSAPIAuto::hasPropertyIndex(int index) const
{
    ObjectLock lock(*this);
    if (!isValid()) return false;
    return allowDynamicAttributes_ || attributes_.count(std::to_string(index));
}

// --- script-facing operations ---

JSAPIPtr JSAPIAuto::methodObject(const std::string& name, int zone)
{
    auto found = methodObjects_.find(std::pair<std::string_view, int>(name, zone));
    if (found != methodObjects_.end()) return found->second;
    auto made = std::make_shared<JSFunction>(weak_from_this(), name, zone);
    methodObjects_.emplace(MethodObjectKey(name, zone), made);
    return made;
}

JSAPIPtr JSAPIAuto::getMethodObject(const std::string& name)
{
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    const Member* entry = member(name);
    const int zone = currentZone();
    if (!entry || !entry->method || !entry->accessibleIn(zone)) throw invalid_member(name);
    return methodObject(name, zone);
}

variant JSAPIAuto::getProperty(const std::string& name)
{
    ObjectLock lock(*this);
    if (!isValid()) throw object_invalidated();
    const Member* entry = member(name);
    const int zone = currentZone();
    if (entry && !entry->accessibleIn(zone)) {
        if (!allowDynamicAttributes_) throw invalid_member(name);
        return variant();
    }
    if (entry && entry->property) {
        // A copy that outlives its entry, should the getter drop the property.
        std::shared_ptr<const Property> property = entry->property;
        return property->get(*this);
    }
    if (allowMethodObjects_ && entry && entry->method) return methodObject(name, zone);
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
    if (const Member* entry = member(name); entry && entry->property) {
        if (!entry->accessibleIn(currentZone())) throw invalid_member(name);
        std::shared_ptr<const Property> property = entry->property;
        try {
            property->set(*this, value);
        } catch (const bad_variant_cast& e) {
            throw invalid_arguments("Could not convert from " + e.from() + " to " + e.to());
        }
        return;
    }
    // Script that may create attributes may also replace a read-only one.
    auto attribute = attributes_.find(name);
    const bool writable = attribute != attributes_.end() && !attribute->second.readOnly;
    if (!allowDynamicAttributes_ && !writable) throw invalid_member(name);
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
    const Member* entry = member(name);
    if (!entry || !entry->accessibleIn(currentZone())) throw invalid_member(name);
    if (entry->property) {
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
    const Member* entry = member(name);
    if (!entry || !entry->method || !entry->accessibleIn(currentZone())) throw invalid_member(name);
    std::shared_ptr<const Method> method = entry->method;
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
