#include "ClassFactory.h"

namespace Atl {

namespace {

// A class object outside the module's count of live objects.
class UncountedClassFactory final : public ClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return queryInterfaceByTable(static_cast<ClassFactory*>(this), interfaceEntries(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++referenceCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = --referenceCount;
        if (left == 0) delete this;
        return left;
    }
    void setCreator(CreatorFunction made) { creator = made; }
};

}  // namespace

const InterfaceEntry* ClassFactory::interfaceEntries()
{
    static const InterfaceEntry entries[] = {entry<ClassFactory, IClassFactory>(IID_IClassFactory), {}};
    return entries;
}

HRESULT ClassFactory::Create(CreatorFunction creator, REFIID iid, void** out, bool counted)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!creator) return CLASS_E_CLASSNOTAVAILABLE;
    if (!counted) {
        Com::ComPtr<UncountedClassFactory> uncounted(new (std::nothrow) UncountedClassFactory());
        if (!uncounted) return E_OUTOFMEMORY;
        uncounted->setCreator(creator);
        return uncounted->QueryInterface(iid, out);
    }
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
