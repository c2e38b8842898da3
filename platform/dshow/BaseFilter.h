// BaseFilter: the IBaseFilter half every filter of ours shares: reference count,
// state (stopped, paused, running), reference clock, the graph it joined and its
// name, and enumeration of the pins a subclass owns.
//
// Pins live inside their filter and share its reference count. State changes and
// connections take the filter lock; streaming code must not take it while it
// holds a lock of its own that a state change waits for.
// A new filter starts with one reference, owned by whoever created it.
#pragma once

#include "ComSupport.h"
#include "CriticalSection.h"

#include <dshow.h>

#include <atomic>
#include <string>

namespace DShow {

class BasePin;

class BaseFilter : public IBaseFilter {
public:
    BaseFilter(const CLSID& clsid, const wchar_t* name);
    virtual ~BaseFilter();
    BaseFilter(const BaseFilter&) = delete;
    BaseFilter& operator=(const BaseFilter&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    virtual int PinCount() = 0;
    virtual BasePin* PinAt(int index) = 0;

    CriticalSection& FilterLock() { return filterLock_; }
    FILTER_STATE State() const { return state_.load(); }
    REFERENCE_TIME StreamStart() const { return streamStart_.load(); }
    // The graph's clock with a reference, or null.
    Com::ComPtr<IReferenceClock> Clock();
    // Sends an event to the graph's event sink, when the filter is in a graph.
    HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

protected:
    // Further interfaces of a subclass; called for anything BaseFilter lacks.
    virtual HRESULT QueryExtraInterface(REFIID iid, void** out);

private:
    std::atomic<ULONG> refs_{1};
    CLSID clsid_;
    std::wstring name_;
    CriticalSection filterLock_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    std::atomic<REFERENCE_TIME> streamStart_{0};
    Com::ComPtr<IReferenceClock> clock_;
    IFilterGraph* graph_ = nullptr;  // not counted: the graph owns its filters
};

}  // namespace DShow
