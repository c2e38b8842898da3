// The IUnknown of the library's own COM objects, in the two lifetimes they
// have. Each object names the interfaces it implements as the template's parts
// and writes only its QueryInterface, which ends in AnswerInterface.
// - CComObjectUI: an object of its own (the ActiveX host's site, frame and
//   enumerator), made with one reference and deleted with the last.
// - CComPartsUI: the COM parts of a control (the web browser's, the Flash
//   player's): the count only counts, the parts live as long as the control.
//   CEventPartsUI adds the IDispatch through which a hosted object sends its
//   events by id: no type information, no names.
// UI thread only; the counts are interlocked all the same.
#pragma once

#include <ole2.h>

namespace SkinUI {

// The end of a QueryInterface: the part found (null for none) goes out with a reference.
inline HRESULT AnswerInterface(void** out, IUnknown* part)
{
    *out = part;
    if (!part) return E_NOINTERFACE;
    part->AddRef();
    return S_OK;
}

// Self derives from it and lets it delete Self (a friend where the destructor is private).
template <class Self, class... Parts>
class CComObjectUI : public Parts... {
public:
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(::InterlockedIncrement(&m_dwRef)); }
    STDMETHOD_(ULONG, Release)() override
    {
        LONG left = ::InterlockedDecrement(&m_dwRef);
        if (left == 0) delete static_cast<Self*>(this);
        return static_cast<ULONG>(left);
    }

protected:
    CComObjectUI() = default;
    ~CComObjectUI() = default;

private:
    LONG m_dwRef = 1;
};

template <class... Parts>
class CComPartsUI : public Parts... {
public:
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(::InterlockedIncrement(&m_dwRef)); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(::InterlockedDecrement(&m_dwRef)); }

protected:
    CComPartsUI() = default;
    ~CComPartsUI() = default;

private:
    LONG m_dwRef = 0;
};

// The control's other parts come first, the events' IDispatch last.
template <class... Parts>
class CEventPartsUI : public CComPartsUI<Parts..., IDispatch> {
public:
    STDMETHOD(GetTypeInfoCount)(UINT* count) override
    {
        if (count) *count = 0;
        return E_NOTIMPL;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** out) override
    {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

protected:
    CEventPartsUI() = default;
    ~CEventPartsUI() = default;
};

}  // namespace SkinUI
