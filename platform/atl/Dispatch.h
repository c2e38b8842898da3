// IDispatch for a dual interface, driven by the module's type library.
//
// DispatchImpl<I> answers IDispatch for the dual interface I by handing names and
// calls to the type information of I, loaded once from the DLL's own file (so it
// works before and without registration). The object implements I's methods;
// argument conversion, [out, retval] and errors come from the automation runtime.
//
//   class Thing : public Atl::ObjectRoot, public Atl::DispatchImpl<IThing, &IID_IThing> { ... };
//
// Threading: the type information is loaded once per interface under a lock and
// then only read. It is kept for the life of the process (a DLL may be unloaded
// after the automation runtime's own shutdown, so it is not released).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <mutex>

namespace Atl {

// The type information of one interface of the current module's type library.
class TypeInfoHolder {
public:
    explicit TypeInfoHolder(const IID& iid) : iid_(iid) {}
    TypeInfoHolder(const TypeInfoHolder&) = delete;
    TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

    // Not AddRef'd; valid while the holder lives.
    HRESULT get(ITypeInfo** info);

private:
    const IID& iid_;
    std::mutex lock_;
    ITypeInfo* info_ = nullptr;
};

HRESULT invokeThroughTypeInfo(TypeInfoHolder& holder, void* object, DISPID id, WORD flags, DISPPARAMS* params,
    VARIANT* result, EXCEPINFO* exception, UINT* argumentError);
HRESULT namesThroughTypeInfo(TypeInfoHolder& holder, LPOLESTR* names, UINT count, DISPID* ids);
HRESULT typeInfoOf(TypeInfoHolder& holder, UINT index, ITypeInfo** out);

template <class I, const IID* Iid>
class DispatchImpl : public I {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override { return typeInfoOf(holder(), index, out); }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        return namesThroughTypeInfo(holder(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, UINT* argumentError) override
    {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        return invokeThroughTypeInfo(
            holder(), static_cast<I*>(this), id, flags, params, result, exception, argumentError);
    }

private:
    static TypeInfoHolder& holder()
    {
        static TypeInfoHolder instance(*Iid);
        return instance;
    }
};

}  // namespace Atl
