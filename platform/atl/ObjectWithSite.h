// IObjectWithSite: keeps the site the container hands over (one counted reference).
#pragma once

#include <windows.h>
#include <ocidl.h>

namespace Atl {

template <class T>
class ObjectWithSiteImpl : public IObjectWithSite {
public:
    STDMETHODIMP SetSite(IUnknown* site) override
    {
        if (site) site->AddRef();
        if (site_) site_->Release();
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
    ~ObjectWithSiteImpl()
    {
        if (site_) site_->Release();
    }
    IUnknown* site_ = nullptr;
};

}  // namespace Atl
