// COM object root: reference counting and QueryInterface through a table.
//
// A class lists its interfaces in an interface table and is created as
// Atl::ComObject<Class>, which supplies the one IUnknown of all its interfaces:
//
//   class Thing : public Atl::ObjectRoot, public IThing, public IOther {
//   public:
//       static const Atl::InterfaceEntry* interfaceEntries()
//       {
//           static const Atl::InterfaceEntry entries[] = {
//               Atl::entry<Thing, IThing>(IID_IThing), Atl::entry<Thing, IOther>(IID_IOther), {}};
//           return entries;
//       }
//   };
//   IThing* thing = nullptr;
//   Atl::ComObject<Thing>::Create(nullptr, IID_IThing, (void**)&thing);
//
// The first entry also answers IUnknown. A live object holds a lock on the module
// (Atl::ModuleLock), so DllCanUnloadNow says "not now" while objects exist.
// Reference counts are atomic; everything else is the object's own affair.
#pragma once

#include "ComSupport.h"

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace Atl {

struct InterfaceEntry {
    const IID* iid = nullptr;   // null ends the table
    std::ptrdiff_t offset = 0;  // of the interface inside the object
};

// Where interface I sits inside a T, measured on a made-up address (never dereferenced).
template <class T, class I>
std::ptrdiff_t offsetOfInterface()
{
    constexpr std::uintptr_t probe = 0x10000;
    T* object = reinterpret_cast<T*>(probe);
    return reinterpret_cast<char*>(static_cast<I*>(object)) - reinterpret_cast<char*>(object);
}

template <class T, class I>
InterfaceEntry entry(const IID& iid)
{
    return InterfaceEntry{&iid, offsetOfInterface<T, I>()};
}

// The module's count of live objects and server locks.
class ModuleLock {
public:
    static void lock() { ++count(); }
    static void unlock() { --count(); }
    static long current() { return count().load(); }

private:
    static std::atomic<long>& count()
    {
        static std::atomic<long> value{0};
        return value;
    }
};

// Finds iid in the table and hands out the matching interface of object, AddRef'd.
HRESULT queryInterfaceByTable(void* object, const InterfaceEntry* entries, REFIID iid, void** out);

class ObjectRoot {
public:
    virtual ~ObjectRoot() = default;

    // Runs once the object is fully built; a failure destroys it unborn.
    HRESULT FinalConstruct() { return S_OK; }

protected:
    ObjectRoot() = default;
    ObjectRoot(const ObjectRoot&) = delete;
    ObjectRoot& operator=(const ObjectRoot&) = delete;

    std::atomic<ULONG> referenceCount{0};
};

// The creatable form of T: T's interfaces plus their common IUnknown.
template <class T>
class ComObject final : public T {
public:
    template <class... Args>
    explicit ComObject(Args&&... args) : T(std::forward<Args>(args)...)
    {
        ModuleLock::lock();
    }
    ~ComObject() override { ModuleLock::unlock(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return queryInterfaceByTable(static_cast<T*>(this), T::interfaceEntries(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++this->referenceCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --this->referenceCount;
        if (left == 0) delete this;
        return left;
    }

    // Makes a new object and asks it for iid; aggregation is not offered.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out)
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Com::ComPtr<ComObject> object(new (std::nothrow) ComObject());
        if (!object) return E_OUTOFMEMORY;
        HRESULT hr = object->FinalConstruct();
        if (SUCCEEDED(hr)) hr = object->QueryInterface(iid, out);
        return hr;  // a refused object goes with its last reference here
    }
};

}  // namespace Atl
