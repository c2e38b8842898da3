// What a page gives a control it embeds, for tests and the page host: the
// control's site and the property bag of its object tag.
//
//     Com::ComPtr<PageSite> site(new PageSite);
//     site->browser = browser;                      // answered as SID_SWebBrowserApp
//     control->SetClientSite(site.Get());
//     Com::ComPtr<TextBag> bag(new TextBag({{L"windowless", L"true"}}));
//     persist->Load(bag.Get(), nullptr);
//
// Threading: the page's thread (see FakeInPlaceSite).
#pragma once

#include "ComSupport.h"
#include "FakeInPlaceSite.h"

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <shlguid.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

// A page's site for a control: the in-place (windowless) site of
// FakeInPlaceSite, the page's services (its browser, as SID_SWebBrowserApp),
// the object element (IOleControlSite::GetExtendedControl) and a
// property-notify sink that records what changed. Without services
// (withServices false) it is a site such as the platform's hosting window gives.
class PageSite : public FakeInPlaceSite, public IServiceProvider, public IPropertyNotifySink, public IOleControlSite {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return FakeInPlaceSite::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return FakeInPlaceSite::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return FakeInPlaceSite::Release(); }

    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!browser || !IsEqualGUID(service, SID_SWebBrowserApp)) return E_NOINTERFACE;
        return browser->QueryInterface(iid, out);
    }
    STDMETHODIMP OnChanged(DISPID id) override
    {
        changes.push_back(id);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** out) override
    {
        if (!out) return E_POINTER;
        *out = element;
        if (!element) return E_NOTIMPL;
        element->AddRef();
        return S_OK;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

    bool withServices = true;
    IUnknown* browser = nullptr;   // not owned
    IDispatch* element = nullptr;  // not owned: the object element
    std::vector<DISPID> changes;

protected:
    void* interfaceFor(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_IServiceProvider) && withServices) return static_cast<IServiceProvider*>(this);
        if (IsEqualIID(iid, IID_IPropertyNotifySink)) return static_cast<IPropertyNotifySink*>(this);
        if (IsEqualIID(iid, IID_IOleControlSite)) return static_cast<IOleControlSite*>(this);
        return FakeInPlaceSite::interfaceFor(iid);
    }
};

// A property bag of text values (an object tag's param elements), with
// IPropertyBag2 (or without, withBag2 false). Counted references; made on the heap.
class TextBag : public CountedUnknown<IPropertyBag, IPropertyBag2> {
public:
    explicit TextBag(std::vector<std::pair<std::wstring, std::wstring>> values) : values(std::move(values)) {}

    // IPropertyBag
    STDMETHODIMP Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
    STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    // IPropertyBag2
    STDMETHODIMP Read(ULONG count, PROPBAG2* bags, IErrorLog*, VARIANT* out, HRESULT* results) override
    {
        for (ULONG i = 0; i < count; ++i) {
            for (const auto& [name, value] : values) {
                if (name != bags[i].pstrName) continue;
                V_VT(&out[i]) = VT_BSTR;
                V_BSTR(&out[i]) = SysAllocString(value.c_str());
                results[i] = S_OK;
            }
        }
        return S_OK;
    }
    STDMETHODIMP Write(ULONG, PROPBAG2*, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP CountProperties(ULONG* count) override
    {
        *count = static_cast<ULONG>(values.size());
        return S_OK;
    }
    STDMETHODIMP GetPropertyInfo(ULONG first, ULONG count, PROPBAG2* bags, ULONG* got) override
    {
        *got = 0;
        for (ULONG i = first; i < values.size() && *got < count; ++i, ++*got) {
            bags[*got] = PROPBAG2{};
            bags[*got].vt = VT_BSTR;
            const std::wstring& name = values[i].first;
            bags[*got].pstrName = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(wchar_t)));
            wcscpy(bags[*got].pstrName, name.c_str());
        }
        return S_OK;
    }
    STDMETHODIMP LoadObject(LPCOLESTR, DWORD, IUnknown*, IErrorLog*) override { return E_NOTIMPL; }

    std::vector<std::pair<std::wstring, std::wstring>> values;
    bool withBag2 = true;

protected:
    void* interfaceFor(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) return static_cast<IPropertyBag*>(this);
        if (IsEqualIID(iid, IID_IPropertyBag2) && withBag2) return static_cast<IPropertyBag2*>(this);
        return nullptr;
    }
};
