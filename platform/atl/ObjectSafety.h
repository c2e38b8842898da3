// IObjectSafety: the safe-for-scripting options a control supports.
//
// Supported is a fixed mask of INTERFACESAFE_* bits. An interface the object does
// not have is refused with E_NOINTERFACE; asking to set a bit outside the mask
// fails with E_FAIL and changes nothing.
#pragma once

#include "ComSupport.h"

#include <windows.h>
#include <objsafe.h>

namespace Atl {

template <class T, DWORD Supported>
class ObjectSafetyImpl : public IObjectSafety {
public:
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override
    {
        if (!supported || !enabled) return E_POINTER;
        *supported = 0;
        *enabled = 0;
        HRESULT hr = hasInterface(iid);
        if (FAILED(hr)) return hr;
        *supported = Supported;
        *enabled = enabled_;
        return S_OK;
    }
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override
    {
        HRESULT hr = hasInterface(iid);
        if (FAILED(hr)) return E_NOINTERFACE;
        if (mask & ~Supported) return E_FAIL;
        enabled_ = (enabled_ & ~mask) | (enabled & mask);
        return S_OK;
    }

    DWORD enabledSafetyOptions() const { return enabled_; }

private:
    HRESULT hasInterface(REFIID iid)
    {
        Com::ComPtr<IUnknown> unknown;
        return static_cast<IObjectSafety*>(this)->QueryInterface(iid, unknown.PutVoid());
    }

    DWORD enabled_ = 0;
};

}  // namespace Atl
