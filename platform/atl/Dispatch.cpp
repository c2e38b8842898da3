#include "Dispatch.h"

#include "DllModule.h"

namespace Atl {
namespace {

// The interface's own type information: for a dual interface the type library
// hands out its dispatch view first, whose calls could not reach the vtable.
HRESULT loadInterfaceTypeInfo(const IID& iid, ITypeInfo** out)
{
    *out = nullptr;
    DllModule* module = DllModule::current();
    if (!module) return E_UNEXPECTED;
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(module->modulePath().c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    ITypeInfo* info = nullptr;
    hr = library->GetTypeInfoOfGuid(iid, &info);
    library->Release();
    if (FAILED(hr)) return hr;
    TYPEATTR* attributes = nullptr;
    hr = info->GetTypeAttr(&attributes);
    if (FAILED(hr)) {
        info->Release();
        return hr;
    }
    bool dualDispatchView = attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attributes);
    if (!dualDispatchView) {
        *out = info;
        return S_OK;
    }
    HREFTYPE interfaceRef = 0;
    ITypeInfo* interfaceInfo = nullptr;
    hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &interfaceRef);
    if (SUCCEEDED(hr)) hr = info->GetRefTypeInfo(interfaceRef, &interfaceInfo);
    info->Release();
    if (SUCCEEDED(hr)) *out = interfaceInfo;
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
    try {
        ITypeInfo* info = nullptr;
        HRESULT hr = holder.get(&info);
        if (FAILED(hr)) return hr;
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        return info->Invoke(object, id, flags, params ? params : &none, result, exception, argumentError);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT namesThroughTypeInfo(TypeInfoHolder& holder, LPOLESTR* names, UINT count, DISPID* ids)
{
    try {
        ITypeInfo* info = nullptr;
        HRESULT hr = holder.get(&info);
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT typeInfoOf(TypeInfoHolder& holder, UINT index, ITypeInfo** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    try {
        ITypeInfo* info = nullptr;
        HRESULT hr = holder.get(&info);
        if (FAILED(hr)) return hr;
        info->AddRef();
        *out = info;
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace Atl
