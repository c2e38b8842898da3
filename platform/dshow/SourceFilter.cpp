#include "SourceFilter.h"

namespace DShow {

SourceStreamPin::SourceStreamPin(BaseFilter& filter, const wchar_t* name, DWORD frameIntervalMs)
    : OutputPin(filter, name),
      frameIntervalMs_(frameIntervalMs),
      stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

SourceStreamPin::~SourceStreamPin()
{
    Inactive();
    if (stopEvent_) CloseHandle(stopEvent_);
}

HRESULT SourceStreamPin::Active()
{
    HRESULT hr = OutputPin::Active();
    if (FAILED(hr)) return hr;
    if (thread_) return S_OK;
    ResetEvent(stopEvent_);
    thread_ = CreateThread(nullptr, 0, &SourceStreamPin::ThreadMain, this, 0, nullptr);
    if (!thread_) {
        OutputPin::Inactive();
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return S_OK;
}

HRESULT SourceStreamPin::Inactive()
{
    SetEvent(stopEvent_);
    HRESULT hr = OutputPin::Inactive();
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return hr;
}

DWORD WINAPI SourceStreamPin::ThreadMain(void* self)
{
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        static_cast<SourceStreamPin*>(self)->Stream();
    } catch (...) {
        // A failed frame ends the stream; the graph's state is untouched.
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void SourceStreamPin::Stream()
{
    while (WaitForSingleObject(stopEvent_, frameIntervalMs_) == WAIT_TIMEOUT) {
        if (filter_.State() == State_Running) DeliverOneFrame();
    }
}

void SourceStreamPin::DeliverOneFrame()
{
    Com::ComPtr<IMediaSample> sample;
    if (FAILED(GetDeliveryBuffer(sample.Put())) || !sample) return;  // decommitted: Stop is on its way
    REFERENCE_TIME interval = static_cast<REFERENCE_TIME>(frameIntervalMs_) * 10000;
    REFERENCE_TIME start = frameNumber_ * interval;
    REFERENCE_TIME end = start + interval;
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    if (FAILED(FillBuffer(sample.Get()))) return;
    ++frameNumber_;
    if (Deliver(sample.Get()) == S_OK) ++framesDelivered_;
}

SourceFilter::SourceFilter(const CLSID& clsid, const wchar_t* name) : BaseFilter(clsid, name) {}

STDMETHODIMP SourceFilter::GetState(DWORD timeoutMs, FILTER_STATE* state)
{
    HRESULT hr = BaseFilter::GetState(timeoutMs, state);
    if (hr == S_OK && *state == State_Paused) return VFW_S_CANT_CUE;
    return hr;
}

BasePin* SourceFilter::PinAt(int index)
{
    if (index < 0 || index >= PinCount()) return nullptr;
    return pins_[static_cast<size_t>(index)];
}

}  // namespace DShow
