// FB::fastDynamicPointerCast: std::dynamic_pointer_cast for the tests that the
// value conversions make on every returned object ("is it a page object?").
//
//     if (auto page = FB::fastDynamicPointerCast<IDispatchAPI>(api)) ...
//
// Most objects that script gets back are of one class that is not the target
// (the plug-in's function objects), and a failed dynamic cast walks the whole
// class tree comparing type names. Each target remembers the last dynamic type
// that failed, and an object of that very type fails at once; any other
// object is cast as usual.
//
// Threading: any thread; the remembered type is one atomic pointer per target.
#pragma once

#include <atomic>
#include <memory>
#include <typeinfo>

namespace FB {

template <class Target, class Source>
std::shared_ptr<Target> fastDynamicPointerCast(const std::shared_ptr<Source>& object)
{
    static std::atomic<const std::type_info*> lastMiss{nullptr};
    if (!object) return nullptr;
    const std::type_info* type = &typeid(*object);
    if (type == lastMiss.load(std::memory_order_relaxed)) return nullptr;
    std::shared_ptr<Target> cast = std::dynamic_pointer_cast<Target>(object);
    if (!cast) lastMiss.store(type, std::memory_order_relaxed);
    return cast;
}

}  // namespace FB
