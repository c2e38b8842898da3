// COM objects whose reference count is guarded by a lock, for objects that other
// threads may reference and release.
//
//   class Wrapper : public Atl::LockedObjectRoot, public IThing {
//   public:
//       static const Atl::InterfaceEntry* interfaceEntries();
//       void FinalRelease();          // optional: runs once, when the last reference goes
//   };
//   Com::ComPtr<Atl::LockedComObject<Wrapper>> made(new Atl::LockedComObject<Wrapper>());
//
// The count changes under the object's critical section, which the object may
// also take for its own state (Lock and Unlock). FinalRelease runs on the thread
// that released the last reference, before the object is destroyed, with the
// lock not held, so it may call out (and release other objects).
#pragma once

#include "ObjectRoot.h"

#include <windows.h>

namespace Atl {

class LockedObjectRoot {
public:
    virtual ~LockedObjectRoot() { DeleteCriticalSection(&section_); }

    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}

    void Lock() { EnterCriticalSection(&section_); }
    void Unlock() { LeaveCriticalSection(&section_); }

protected:
    LockedObjectRoot() { InitializeCriticalSection(&section_); }
    LockedObjectRoot(const LockedObjectRoot&) = delete;
    LockedObjectRoot& operator=(const LockedObjectRoot&) = delete;

    ULONG incrementCount()
    {
        Lock();
        ULONG count = ++count_;
        Unlock();
        return count;
    }
    ULONG decrementCount()
    {
        Lock();
        ULONG count = --count_;
        Unlock();
        return count;
    }

private:
    CRITICAL_SECTION section_;
    ULONG count_ = 0;
};

// The creatable form of T (a LockedObjectRoot): T's interfaces plus their common IUnknown.
template <class T>
class LockedComObject final : public T {
public:
    template <class... Args>
    explicit LockedComObject(Args&&... args) : T(std::forward<Args>(args)...)
    {
        ModuleLock::lock();
    }
    ~LockedComObject() override { ModuleLock::unlock(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return queryInterfaceByTable(static_cast<T*>(this), T::interfaceEntries(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return this->incrementCount(); }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = this->decrementCount();
        if (left == 0) {
            this->FinalRelease();
            delete this;
        }
        return left;
    }
};

}  // namespace Atl
