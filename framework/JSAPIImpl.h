// FB::JSAPIImpl: what every native scriptable object shares besides its
// members: the valid flag, the security-zone stack, the event handlers and
// event sinks registered by page script, the linked objects, and event firing.
//
// Firing an event never throws: each handler's failure is caught on its own,
// so one failing handler never keeps the others from their call. Handlers that
// cannot be called directly are reached by their asynchronous invoke, which
// queues the call onto the browser's main thread. A linked object receives the
// events of this object with references to this object replaced by references
// to itself; a cycle of links fires each object once.
//
// Threading: any thread may fire events and register handlers. Three locks:
// the event lock (handler tables), the linked-objects lock, and the recursive
// zone lock that entering a zone holds until the zone is left; subclasses use
// it as their object lock (ObjectLock). Handlers are called with none of them held.
#pragma once

#include "JSAPI.h"
#include "RecursiveMutex.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <set>

namespace FB {

class JSAPIImpl : public JSAPI {
public:
    explicit JSAPIImpl(int zone = 0);
    ~JSAPIImpl() override;

    void invalidate() override;
    bool isValid() const noexcept { return valid_; }

    void enterZone(int zone) override;
    void leaveZone() override;
    void setBaseZone(int zone) override;
    int getBaseZone() const override;
    int currentZone() const override;

    using JSAPI::addEventHandler;
    using JSAPI::removeEventHandler;
    void addEventHandler(const std::string& name, const JSObjectPtr& handler) override;
    void removeEventHandler(const std::string& name, const JSObjectPtr& handler) override;
    void addEventSinkObject(const JSObjectPtr& sink) override;
    void removeEventSinkObject(const JSObjectPtr& sink) override;

    // Fires to the linked objects, the handlers and the sinks; never throws.
    virtual void fireEvent(const std::string& name, const VariantVector& args);
    virtual void fireEvent(const std::wstring& name, const VariantVector& args);
    // Fires one event object {type, target, ..., members, arguments} instead of the bare arguments.
    virtual void fireScriptEvent(const std::string& name, const VariantDict& members, const VariantVector& args);
    void fireEventWithArgs(const std::string& name, const VariantVector& args) { fireScriptEvent(name, {}, args); }
    void fireEventWithMembers(const std::string& name, const VariantDict& members)
    {
        fireScriptEvent(name, members, {});
    }

    virtual void addLinkedObject(const JSAPIWeakPtr& object);
    // Forgets the given object and every expired one.
    virtual void walkLinkedObjects(const JSAPIPtr& object);

protected:
    // Delivers the arguments to the handlers and sinks registered for the name.
    virtual void fireEventToHandlers(const std::string& name, const VariantVector& args);
    // Delivers a script event's object; by default to handlers and sinks.
    virtual void deliverScriptEvent(const std::string& name, const VariantDict& eventObject);
    VariantDict makeEventObject(const std::string& name, const VariantDict& members, const VariantVector& args);

    // Holds the object's recursive lock (zones and every member operation of
    // subclasses) for a scope.
    class ObjectLock {
    public:
        explicit ObjectLock(const JSAPIImpl& object) : lock_(object.zoneLock_) { lock_.lock(); }
        ~ObjectLock() { lock_.unlock(); }
        ObjectLock(const ObjectLock&) = delete;
        ObjectLock& operator=(const ObjectLock&) = delete;

    private:
        RecursiveMutex& lock_;
    };

private:
    using FiringChain = std::set<const JSAPIImpl*>;
    void fireEventChained(const std::string& name, const VariantVector& args, FiringChain& chain);
    void fireScriptEventChained(
        const std::string& name, const VariantDict& members, const VariantVector& args, FiringChain& chain);
    std::vector<std::shared_ptr<JSAPIImpl>> liveLinkedObjects();
    void deliverToHandlersAndSinks(const std::string& name, const VariantVector& args);

    using HandlerMap = std::multimap<std::string, JSObjectPtr>;
    std::map<const void*, HandlerMap> eventHandlers_;
    std::map<const void*, std::vector<JSObjectPtr>> eventSinks_;
    std::vector<JSAPIWeakPtr> linkedObjects_;
    std::mutex eventLock_;
    std::mutex linkedObjectsLock_;
    mutable RecursiveMutex zoneLock_;
    std::deque<int> zoneStack_;
    std::atomic<bool> valid_{true};
};

}  // namespace FB
