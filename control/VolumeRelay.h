// The page-side end of the volume reports: a dispatch object in the page's
// apartment that engine threads call (through proxies) and that calls the
// page's current volume function.
//
// The relay is marshalled once; replacing the page's function only retargets it,
// so the engine threads' proxies stay valid. Closing it releases the function,
// and every report that arrives afterwards returns without reaching the page.
//
// Threading: page thread only (the engine threads reach it through COM).
#pragma once

#include "ComSupport.h"
#include "ObjectRoot.h"

#include <oaidl.h>

namespace Plexhost {

class VolumeRelay : public Atl::ObjectRoot, public IDispatch {
public:
    VolumeRelay() = default;

    static const Atl::InterfaceEntry* interfaceEntries();

    // The page function that receives the reports from now on.
    void retarget(IDispatch* callback);
    // No report reaches the page any more; the function is released.
    void close();

    // Volume reports being delivered on this thread, by any relay.
    static int deliveriesOnThisThread();

    // IDispatch: member 0 calls the page function with the same arguments.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
        UINT* argumentError) override;

private:
    Com::ComPtr<IDispatch> target_;
};

}  // namespace Plexhost
