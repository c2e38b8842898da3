#include "Dispatch.h"

#include "DllModule.h"

#include "ComSupport.h"

namespace Atl {
namespace {

// The interface's own type information: for a dual interface the type library
// hands out its dispatch view first, whose calls could not reach the vtable.
HRESULT loadInterfaceTypeInfo(const IID& iid, ITypeInfo** out)
{
    *out = nullptr;
    DllModule* module = DllModule::current();
    if (!module) return E_UNEXPECTED;
    Com::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module->modulePath().c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr)) return hr;
    Com::ComPtr<ITypeInfo> info;
    hr = library->GetTypeInfoOfGuid(iid, info.Put());
    if (FAILED(hr)) return hr;
    TYPEATTR* attributes = nullptr;
    hr = info->GetTypeAttr(&attributes);
    if (FAILED(hr)) return hr;
    bool dualDispatchView = attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attributes);
    if (!dualDispatchView) {
        *out = info.Detach();
        return S_OK;
    }
    HREFTYPE interfaceRef = 0;
    hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &interfaceRef);
    Com::ComPtr<ITypeInfo> interfaceInfo;
    if (SUCCEEDED(hr)) hr = info->GetRefTypeInfo(interfaceRef, interfaceInfo.Put());
    if (SUCCEEDED(hr)) *out = interfaceInfo.Detach();
    return hr;
}

}  // namespace

HRESULT TypeInfoHolder::get(ITypeInfo** info)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!info_) {
        HRESULT hr = loadInterfaceTypeInfo(iid_, &info_);
        if (FAILED(hr)) return hr;
    }
    *info = info_;
    return S_OK;
}

HRESULT invokeThroughTypeInfo(TypeInfoHolder& holder, void* object, DISPID id, WORD flags, DISPPARAMS* params,
    VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    return Com::guarded([&] {
        ITypeInfo* info = nullptr;
        HRESULT hr = holder.get(&info);
        if (FAILED(hr)) return hr;
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        if (!params) params = &none;
        // The type information reads the arrays as the counts say: refuse what they cannot hold.
        if ((params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs) ||
            params->cNamedArgs > params->cArgs)
            return E_INVALIDARG;
        return info->Invoke(object, id, flags, params, result, exception, argumentError);
    });
}

HRESULT namesThroughTypeInfo(TypeInfoHolder& holder, LPOLESTR* names, UINT count, DISPID* ids)
{
    return Com::guarded([&] {
        ITypeInfo* info = nullptr;
        HRESULT hr = holder.get(&info);
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    });
}

HRESULT typeInfoOf(TypeInfoHolder& holder, UINT index, ITypeInfo** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return Com::guarded([&] {
        ITypeInfo* info = nullptr;
        HRESULT hr = holder.get(&info);
        if (FAILED(hr)) return hr;
        return Com::ComPtr<ITypeInfo>(info).CopyTo(out);
    });
}

}  // namespace Atl
