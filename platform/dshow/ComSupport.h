// Small COM helpers of the DirectShow layer: a critical-section lock, an owning
// interface pointer and the boundary guard every COM method uses so that no C++
// exception leaves a method.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <new>
#include <utility>

namespace DShow {

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Lock {
public:
    explicit Lock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~Lock() { section_.Leave(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CriticalSection& section_;
};

// Holds one reference to an interface; null is a valid value.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p)
    {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset()
    {
        if (auto* p = std::exchange(p_, nullptr)) p->Release();
    }
    // For out-parameters: releases the current pointer first.
    T** Put()
    {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }
    void CopyTo(T** out) const
    {
        *out = p_;
        if (p_) p_->AddRef();
    }

    template <class U>
    HRESULT As(ComPtr<U>& out) const
    {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(U), out.PutVoid());
    }

private:
    T* p_ = nullptr;
};

// Runs body and turns any escaping exception into an HRESULT.
template <class Body>
HRESULT Guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace DShow
