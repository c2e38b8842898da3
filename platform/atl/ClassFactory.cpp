#include "ClassFactory.h"

namespace Atl {

const InterfaceEntry* ClassFactory::interfaceEntries()
{
    static const InterfaceEntry entries[] = {entry<ClassFactory, IClassFactory>(IID_IClassFactory), {}};
    return entries;
}

HRESULT ClassFactory::Create(CreatorFunction creator, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!creator) return CLASS_E_CLASSNOTAVAILABLE;
    Com::ComPtr<ComObject<ClassFactory>> factory(new (std::nothrow) ComObject<ClassFactory>());
    if (!factory) return E_OUTOFMEMORY;
    factory->creator = creator;
    return factory->QueryInterface(iid, out);
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (out) *out = nullptr;
    return Com::guarded([&] { return creator(outer, iid, out); });
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        ModuleLock::lock();
    else
        ModuleLock::unlock();
    return S_OK;
}

}  // namespace Atl
