// FB::WrapperCache: the browser host's cache of the script wrappers it made for
// the plug-in's scriptable objects, so that one object reaches the page as one
// browser object while that wrapper lives. Both browser hosts keep one.
//
// An entry is keyed by the object's address and remembers the object itself
// (weakly) beside the wrapper's liveness handle (FB::ShareableReference): an
// address that a later object reuses, or a wrapper that has gone, is never
// handed back. Extra is what a road keeps beside an entry.
//
//     if (Wrapper* live = cache.find(api, [](Entry& stale) { ... })) return retained(live);
//     cache.store(api, made->weakReference());
//
// Threading: the browser's main thread only.
#pragma once

#include "JSAPI.h"
#include "ShareableReference.h"

#include <map>
#include <memory>
#include <variant>

namespace FB {

template <class Wrapper, class Extra = std::monostate>
class WrapperCache {
public:
    using Handle = std::weak_ptr<ShareableReference<Wrapper>>;
    struct Entry {
        Handle wrapper;
        Wrapper* object = nullptr;  // what the handle refers to while it lives
        JSAPIWeakPtr api;           // the object it was made for
        Extra extra{};
    };

    // The live wrapper made for this very object, or null. An entry at its
    // address that no longer holds (the wrapper or the object gone) is erased
    // and handed to forgotten(entry) first.
    template <class Forgotten>
    Wrapper* find(const JSAPIPtr& api, Forgotten&& forgotten)
    {
        auto found = entries_.find(api.get());
        if (found == entries_.end()) return nullptr;
        // The same ownership is this very object: the entry's weak reference keeps
        // an earlier object's ownership record from being reused by a later one.
        // A handle that has not expired still refers to its wrapper: both live
        // on this thread.
        const Entry& entry = found->second;
        const bool sameObject = !entry.api.owner_before(api) && !api.owner_before(entry.api);
        if (sameObject && entry.object && !entry.wrapper.expired()) return entry.object;
        Entry stale = std::move(found->second);
        entries_.erase(found);
        forgotten(stale);
        return nullptr;
    }

    void store(const JSAPIPtr& api, Handle wrapper, Extra extra = {})
    {
        std::shared_ptr<ShareableReference<Wrapper>> live = wrapper.lock();
        Wrapper* object = live ? live->get() : nullptr;
        entries_[api.get()] = Entry{std::move(wrapper), object, api, std::move(extra)};
    }

    // Shows every entry to visit(entry), which may change its extra, and erases
    // those whose wrapper has gone where visit answers true.
    template <class Visit>
    void sweep(Visit&& visit)
    {
        for (auto it = entries_.begin(); it != entries_.end();) {
            const bool erasable = visit(it->second);
            if (erasable && it->second.wrapper.expired())
                it = entries_.erase(it);
            else
                ++it;
        }
    }
    void sweep()
    {
        sweep([](const Entry&) { return true; });
    }

    std::size_t size() const { return entries_.size(); }

private:
    std::map<const JSAPI*, Entry> entries_;
};

}  // namespace FB
