// FB::JSAPIAuto: a scriptable object built by registering members by name.
//
//     class MyAPI : public FB::JSAPIAuto {
//     public:
//         MyAPI() {
//             addMethod("echo", FB::bindMethod(this, &MyAPI::echo));
//             addProperty("version", FB::bindPropertyReadOnly(this, &MyAPI::version));
//         }
//         FB::variant echo(const FB::variant& value) { return value; }
//         std::string version() const { return "1.0"; }
//     };
//
// Besides methods and properties it keeps attributes: named values that page
// script creates by assigning unregistered names (and that native code may
// add, optionally read-only). Every member remembers the security zone that
// was current when it was added; it is reachable only while the object's
// current zone is at least that zone. Built-in members: "toString",
// "getAttribute", "setAttribute", "value", "valid".
//
// Reading a method as a property gives a function object (FB::JSFunction),
// made once per method and zone.
//
// Making an object is cheap: the built-in members and the reserved names are
// tables shared by every object, copied into an object of its own only when it
// first registers, removes or records a member. A call is cheap too: a name
// is looked up once per operation, in one table that holds its method, its
// property and its zone together.
//
// Threading: every member operation holds the object's recursive lock for its
// whole run, including the call of a method; a method may call back into its
// object on the same thread while other threads wait. Event handlers run
// after the lock is released. A method that replaces or removes itself while
// running stays alive until it returns.
#pragma once

#include "JSAPIImpl.h"
#include "MethodWrappers.h"
#include "NameOrder.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace FB {

class JSFunction;

class JSAPIAuto : public JSAPIImpl {
public:
    explicit JSAPIAuto(const std::string& description = "<JSAPI-Auto Javascript Object>", int zone = 0);
    ~JSAPIAuto() override;

    virtual void addAttribute(const std::string& name, const variant& value, bool readOnly);
    virtual void addReservedName(const std::string& name);
    virtual void removeMethod(const std::string& name);
    virtual void removeMethod(const std::wstring& name);
    virtual void addMethod(const std::string& name, const CallMethodFunctor& method);
    virtual void addMethod(const std::wstring& name, const CallMethodFunctor& method);
    virtual void addProperty(const std::string& name, const PropertyFunctors& property);
    virtual void addProperty(const std::wstring& name, const PropertyFunctors& property);
    virtual void dropProperty(const std::string& name);
    virtual void dropProperty(const std::wstring& name);
    virtual std::string getDescription() const;
    virtual variant getAttribute(const std::string& name) const;
    virtual void setAttribute(const std::string& name, const variant& value);
    virtual void removeAttribute(const std::string& name);

    using JSAPI::listMemberNames;
    void listMemberNames(std::vector<std::string>& names) const override;
    std::size_t countMembers() const override;

    using JSAPI::hasMethod;
    using JSAPI::hasMethodObject;
    using JSAPI::hasProperty;
    bool hasMethod(const std::string& name) const override;
    bool hasMethodObject(const std::string& name) const override;
    bool hasProperty(const std::string& name) const override;
    bool hasPropertyIndex(int index) const override;

    using JSAPI::getMethodObject;
    using JSAPI::getProperty;
    using JSAPI::removeProperty;
    using JSAPI::setProperty;
    JSAPIPtr getMethodObject(const std::string& name) override;
    variant getProperty(const std::string& name) override;
    variant getPropertyIndex(int index) override;
    void setProperty(const std::string& name, const variant& value) override;
    void setPropertyIndex(int index, const variant& value) override;
    void removeProperty(const std::string& name) override;
    void removePropertyIndex(int index) override;

    using JSAPI::invoke;
    variant invoke(const std::string& name, const VariantVector& args) override;
    variant construct(const VariantVector& args) override;

protected:
    void fireEventToHandlers(const std::string& name, const VariantVector& args) override;
    void deliverScriptEvent(const std::string& name, const VariantDict& eventObject) override;

    // Leaves the object without reserved names (function objects have none).
    void clearReservedNames();

    bool allowDynamicAttributes_ = true;
    bool allowRemoveProperties_;
    bool allowMethodObjects_ = true;

private:
    struct Attribute {
        variant value;
        bool readOnly = false;
    };
    struct Method;
    struct Property;
    struct Member;
    struct Members;
    using NameSet = std::set<std::string, detail::NameOrder>;
    using MethodObjectKey = std::pair<std::string, int>;
    // By zone, then name; a (name, zone) pair of any text type finds its entry.
    struct MethodObjectOrder {
        using is_transparent = void;
        template <class Left, class Right>
        bool operator()(const Left& left, const Right& right) const noexcept
        {
            if (left.second != right.second) return left.second < right.second;
            return detail::NameOrder()(left.first, right.first);
        }
    };

    static const std::shared_ptr<Members>& builtInMembers();
    // The object's own tables, copied from the shared ones on the first change.
    Members& ownMembers();
    // The entry of a name, or null; the lock is held. The last answer is kept:
    // the bridges ask about one name several times per script call.
    const Member* member(const std::string& name) const;
    bool isReserved(const std::string& name) const { return reservedNames_->count(name) > 0; }
    void recordZone(const std::string& name);
    // Drops the name's method or property (slot) with its zone; nothing when it has none.
    template <class Slot>
    void dropMember(const std::string& name, Slot Member::*slot);
    // The function object of an accessible method; the lock is held.
    JSAPIPtr methodObject(const std::string& name, int zone);
    // The page function an attribute named like the event holds, if any.
    JSObjectPtr attributeHandler(const std::string& eventName) const;

    std::map<MethodObjectKey, std::shared_ptr<JSFunction>, MethodObjectOrder> methodObjects_;
    std::shared_ptr<Members> members_;
    std::string description_;
    std::map<std::string, Attribute, detail::NameOrder> attributes_;
    std::shared_ptr<const NameSet> reservedNames_;
    // The last name looked up and its entry (null: none); forgotten by every change of the tables.
    mutable std::string lastName_;
    mutable const Member* lastMember_ = nullptr;
    mutable bool lastKnown_ = false;
};

}  // namespace FB
