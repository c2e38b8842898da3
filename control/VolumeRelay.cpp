#include "VolumeRelay.h"

#include "CallbackNesting.h"

namespace Plexhost {
namespace {

thread_local int volumeDeliveries = 0;

}  // namespace

const Atl::InterfaceEntry* VolumeRelay::interfaceEntries()
{
    static const Atl::InterfaceEntry entries[] = {Atl::entry<VolumeRelay, IDispatch>(IID_IDispatch), {}};
    return entries;
}

void VolumeRelay::retarget(IDispatch* callback)
{
    target_ = callback;
}

void VolumeRelay::close()
{
    target_ = nullptr;
}

int VolumeRelay::deliveriesOnThisThread()
{
    return volumeDeliveries;
}

STDMETHODIMP VolumeRelay::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP VolumeRelay::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP VolumeRelay::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP VolumeRelay::Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
    EXCEPINFO* exception, UINT* argumentError)
{
    if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    // Held for the call: the page may drop the control, and with it this function, inside it.
    Com::ComPtr<IDispatch> target = target_;
    if (!target) return S_OK;  // closed, or no function yet: the report is dropped
    ++volumeDeliveries;
    CallbackNesting::Delivery nested;
    HRESULT hr = target->Invoke(DISPID_VALUE, IID_NULL, locale, flags, params, result, exception, argumentError);
    --volumeDeliveries;
    return hr;
}

}  // namespace Plexhost
