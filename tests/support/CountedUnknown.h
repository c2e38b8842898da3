// IUnknown for the tests' COM doubles: one atomic reference count for every
// interface the double derives from, deletion at zero, and QueryInterface from
// the double's own interfaceFor, which names the interface an IID asks for.
//
//     class Bag : public CountedUnknown<IPropertyBag> {
//         void* interfaceFor(REFIID iid) override
//         {
//             if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag))
//                 return static_cast<IPropertyBag*>(this);
//             return nullptr;
//         }
//         ...
//     };
//
// Made on the heap. A double that starts held (FakeDispatch) passes its first
// count to the constructor.
//
// Threading: counted from any thread; interfaceFor is called on the caller's.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

template <class... Interfaces>
class CountedUnknown : public Interfaces... {
public:
    virtual ~CountedUnknown() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = interfaceFor(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++count_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --count_;
        if (left == 0) delete this;
        return left;
    }

    ULONG references() const { return count_.load(); }

protected:
    explicit CountedUnknown(ULONG first = 0) : count_(first) {}

    // The interface pointer that answers iid, or nullptr.
    virtual void* interfaceFor(REFIID iid) = 0;

private:
    std::atomic<ULONG> count_;
};
