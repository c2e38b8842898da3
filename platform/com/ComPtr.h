// Com::ComPtr<T>: one counted reference to a COM interface; null is a valid value.
//
//   Com::ComPtr<IStream> stream;
//   HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());  // out parameter
//   Com::ComPtr<IPersist> persist;
//   hr = stream.As(persist);                                           // QueryInterface
//   auto site = Com::ComPtr<IUnknown>::Adopt(createdWithOneReference);
//
// Constructing or assigning from a raw pointer adds a reference of its own;
// Adopt and Attach take over a reference the caller already owns. Copying adds a
// reference, moving hands it over, Detach gives it back to the caller, Put
// releases what is held and lends the slot to a function that fills it.
//
// Threading: as with a raw interface pointer, one ComPtr is not for two threads
// at once, and the interface itself keeps its apartment's rules.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <unknwn.h>

#include <cstddef>
#include <type_traits>
#include <utility>

namespace Com {

template <class T>
class ComPtr {
public:
    using Interface = T;

    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ComPtr(T* pointer) noexcept : p_(pointer) { addRef(); }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(const ComPtr<U>& other) noexcept : ComPtr(static_cast<T*>(other.Get()))
    {
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(ComPtr<U>&& other) noexcept : p_(other.Detach())
    {
    }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(T* pointer) noexcept
    {
        ComPtr(pointer).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept
    {
        Reset();
        return *this;
    }

    // Takes over the caller's reference (no AddRef).
    [[nodiscard]] static ComPtr Adopt(T* pointer) noexcept
    {
        ComPtr held;
        held.p_ = pointer;
        return held;
    }
    void Attach(T* pointer) noexcept
    {
        T* old = std::exchange(p_, pointer);
        if (old) old->Release();
    }
    // Hands the reference to the caller, who must release it.
    [[nodiscard]] T* Detach() noexcept { return std::exchange(p_, nullptr); }
    void Reset() noexcept
    {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

    // For out parameters: releases what is held, then lends the slot.
    T** Put() noexcept
    {
        Reset();
        return &p_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Hands out a new reference (null when empty) through an out parameter.
    HRESULT CopyTo(T** out) const noexcept
    {
        if (!out) return E_POINTER;
        *out = p_;
        addRef();
        return S_OK;
    }

    // QueryInterface into out; E_POINTER when empty (out is then empty too).
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const noexcept
    {
        if (!p_) {
            out.Reset();
            return E_POINTER;
        }
        return p_->QueryInterface(iid, out.PutVoid());
    }
    template <class U>
    HRESULT As(ComPtr<U>& out) const noexcept
    {
        return As(__uuidof(U), out);
    }
    // The interface U of the same object, or an empty pointer.
    template <class U>
    ComPtr<U> Query(REFIID iid = __uuidof(U)) const noexcept
    {
        ComPtr<U> out;
        As(iid, out);
        return out;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
    friend bool operator==(const ComPtr& a, const T* b) noexcept { return a.p_ == b; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

private:
    void addRef() const noexcept
    {
        if (p_) p_->AddRef();
    }

    T* p_ = nullptr;
};

// Whether two interface pointers belong to one COM object (their IUnknowns agree).
inline bool sameObject(IUnknown* a, IUnknown* b) noexcept
{
    if (a == b) return true;
    if (!a || !b) return false;
    ComPtr<IUnknown> identityA;
    ComPtr<IUnknown> identityB;
    if (FAILED(a->QueryInterface(IID_IUnknown, identityA.PutVoid()))) return false;
    if (FAILED(b->QueryInterface(IID_IUnknown, identityB.PutVoid()))) return false;
    return identityA == identityB;
}

}  // namespace Com
