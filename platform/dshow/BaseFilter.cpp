#include "BaseFilter.h"

#include "BasePin.h"
#include "Enumerators.h"

#include <cwchar>

namespace DShow {

BaseFilter::BaseFilter(const CLSID& clsid, const wchar_t* name) : clsid_(clsid), name_(name ? name : L"") {}

BaseFilter::~BaseFilter() = default;

STDMETHODIMP BaseFilter::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter) {
        *out = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    return QueryExtraInterface(iid, out);
}

HRESULT BaseFilter::QueryExtraInterface(REFIID, void**)
{
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) BaseFilter::AddRef()
{
    return ++refs_;
}

STDMETHODIMP_(ULONG) BaseFilter::Release()
{
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
}

STDMETHODIMP BaseFilter::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

STDMETHODIMP BaseFilter::Stop()
{
    Lock lock(filterLock_);
    HRESULT result = S_OK;
    if (state_ != State_Stopped) {
        for (int i = 0; i < PinCount(); ++i) {
            BasePin* pin = PinAt(i);
            if (!pin->IsConnected()) continue;
            HRESULT hr = pin->Inactive();
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
    }
    state_ = State_Stopped;
    return result;
}

STDMETHODIMP BaseFilter::Pause()
{
    Lock lock(filterLock_);
    if (state_ == State_Stopped) {
        for (int i = 0; i < PinCount(); ++i) {
            BasePin* pin = PinAt(i);
            if (!pin->IsConnected()) continue;
            HRESULT hr = pin->Active();
            if (FAILED(hr)) return hr;
        }
    }
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP BaseFilter::Run(REFERENCE_TIME start)
{
    Lock lock(filterLock_);
    if (state_ == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    streamStart_ = start;
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP BaseFilter::GetState(DWORD, FILTER_STATE* state)
{
    if (!state) return E_POINTER;
    *state = state_;
    return S_OK;
}

STDMETHODIMP BaseFilter::SetSyncSource(IReferenceClock* clock)
{
    Lock lock(filterLock_);
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP BaseFilter::GetSyncSource(IReferenceClock** clock)
{
    if (!clock) return E_POINTER;
    Lock lock(filterLock_);
    return clock_.CopyTo(clock);
}

Com::ComPtr<IReferenceClock> BaseFilter::Clock()
{
    Lock lock(filterLock_);
    return clock_;
}

STDMETHODIMP BaseFilter::EnumPins(IEnumPins** pins)
{
    if (!pins) return E_POINTER;
    return CreatePinEnumerator(*this, pins);
}

STDMETHODIMP BaseFilter::FindPin(LPCWSTR id, IPin** pin)
{
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    for (int i = 0; i < PinCount(); ++i) {
        BasePin* candidate = PinAt(i);
        if (candidate->Name() == id) {
            *pin = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP BaseFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info) return E_POINTER;
    Lock lock(filterLock_);
    wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
    info->achName[MAX_FILTER_NAME - 1] = L'\0';
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP BaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    return Com::guarded([&] {
        Lock lock(filterLock_);
        graph_ = graph;
        if (name) name_ = name;
        return S_OK;
    });
}

STDMETHODIMP BaseFilter::QueryVendorInfo(LPWSTR*)
{
    return E_NOTIMPL;
}

HRESULT BaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2)
{
    Com::ComPtr<IMediaEventSink> sink;
    {
        Lock lock(filterLock_);
        if (!graph_) return S_FALSE;
        HRESULT hr = graph_->QueryInterface(IID_IMediaEventSink, sink.PutVoid());
        if (FAILED(hr)) return hr;
    }
    return sink->Notify(code, param1, param2);
}

}  // namespace DShow
