// FB::JSAPI: the interface of every scriptable object.
//
// The browser bridges see native objects only through this interface: members
// are found, read, written, removed and invoked by name (or by index), and
// events are registered by name. Page objects held by native code
// (FB::JSObject) implement it too. Every wide-text operation converts its
// names to UTF-8 and calls the narrow one; subclasses override the narrow
// forms only.
//
// Failures are FB::script_error exceptions (or subclasses) with the text that
// the bridges hand on to page script.
//
// Threading: see the implementing class. FB::JSAPIAuto serialises all member
// operations on one recursive lock.
#pragma once

#include "variant.h"

#include <memory>
#include <string>
#include <vector>

namespace FB {

namespace detail {
// A wide member name in UTF-8; a malformed one is a script error like any
// other refusal. For the wide forms of scriptable classes.
std::string memberNameToUtf8(const std::wstring& name);
}  // namespace detail

class JSAPI : public std::enable_shared_from_this<JSAPI> {
public:
    JSAPI() = default;
    virtual ~JSAPI();
    JSAPI(const JSAPI&) = delete;
    JSAPI& operator=(const JSAPI&) = delete;

    // Marks the object unusable for good; bridges call it when their instance goes.
    virtual void invalidate() = 0;
    virtual void releaseHook() {}

    // Security zones: members registered in a zone are reachable only while the
    // current zone is at least that zone. Pair enterZone and leaveZone with ZoneScope.
    virtual void enterZone(int /*zone*/) {}
    virtual void leaveZone() {}
    virtual void setBaseZone(int /*zone*/) {}
    virtual int getBaseZone() const { return 0; }
    virtual int currentZone() const { return 0; }

    virtual void addEventHandler(const std::wstring& name, const JSObjectPtr& handler);
    virtual void addEventHandler(const std::string& name, const JSObjectPtr& handler);
    virtual void removeEventHandler(const std::wstring& name, const JSObjectPtr& handler);
    virtual void removeEventHandler(const std::string& name, const JSObjectPtr& handler);
    virtual void addEventSinkObject(const JSObjectPtr& sink);
    virtual void removeEventSinkObject(const JSObjectPtr& sink);

    std::vector<std::string> listMemberNames() const;
    virtual void listMemberNames(std::vector<std::string>& names) const = 0;
    std::vector<std::wstring> listMemberNamesWide() const;
    virtual void listMemberNamesWide(std::vector<std::wstring>& names) const;
    virtual std::size_t countMembers() const = 0;

    virtual bool hasMethod(const std::string& name) const = 0;
    virtual bool hasMethod(const std::wstring& name) const;
    virtual bool hasMethodObject(const std::string& name) const;
    virtual bool hasMethodObject(const std::wstring& name) const;
    virtual bool hasPropertyIndex(int index) const = 0;
    virtual bool hasProperty(const std::string& name) const = 0;
    virtual bool hasProperty(const std::wstring& name) const;

    virtual JSAPIPtr getMethodObject(const std::string& name);
    virtual JSAPIPtr getMethodObject(const std::wstring& name);
    virtual variant getPropertyIndex(int index) = 0;
    virtual variant getProperty(const std::string& name) = 0;
    virtual variant getProperty(const std::wstring& name);
    virtual void setPropertyIndex(int index, const variant& value) = 0;
    virtual void setProperty(const std::string& name, const variant& value) = 0;
    virtual void setProperty(const std::wstring& name, const variant& value);
    virtual void removePropertyIndex(int index) = 0;
    virtual void removeProperty(const std::string& name) = 0;
    virtual void removeProperty(const std::wstring& name);

    virtual variant invoke(const std::string& name, const VariantVector& args) = 0;
    virtual variant invoke(const std::wstring& name, const VariantVector& args);
    virtual variant construct(const VariantVector& args) = 0;
};

// Enters a zone on an object for the life of the scope.
class ZoneScope {
public:
    ZoneScope(JSAPI& object, int zone) : object_(object) { object_.enterZone(zone); }
    ~ZoneScope() { object_.leaveZone(); }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    JSAPI& object_;
};

}  // namespace FB
