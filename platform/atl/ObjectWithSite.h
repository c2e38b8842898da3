// IObjectWithSite: keeps the site the container hands over (one counted reference).
#pragma once

#include "ComSupport.h"

#include <windows.h>
#include <ocidl.h>

namespace Atl {

template <class T>
class ObjectWithSiteImpl : public IObjectWithSite {
public:
    STDMETHODIMP SetSite(IUnknown* site) override
    {
        site_ = site;
        return S_OK;
    }
    STDMETHODIMP GetSite(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!site_) return E_FAIL;
        return site_->QueryInterface(iid, out);
    }

protected:
    Com::ComPtr<IUnknown> site_;
};

}  // namespace Atl
