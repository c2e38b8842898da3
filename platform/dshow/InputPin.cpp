#include "InputPin.h"

namespace DShow {

InputPin::InputPin(BaseFilter& filter, const wchar_t* name) : BasePin(filter, name, PINDIR_INPUT) {}

InputPin::~InputPin() = default;

HRESULT InputPin::QueryExtraInterface(REFIID iid, void** out)
{
    if (iid != IID_IMemInputPin) return E_NOINTERFACE;
    *out = static_cast<IMemInputPin*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP InputPin::Connect(IPin*, const AM_MEDIA_TYPE*)
{
    // The output side starts every connection.
    return E_UNEXPECTED;
}

STDMETHODIMP InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type)
{
    if (!connector || !type) return E_POINTER;
    return Com::guarded([&]() -> HRESULT {
        Lock lock(filter_.FilterLock());
        if (HRESULT refused = CanConnectTo(connector); refused != S_OK) return refused;
        if (CheckMediaType(*type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        HRESULT hr = SetMediaType(*type);
        if (FAILED(hr)) return hr;
        SetConnection(connector);
        return S_OK;
    });
}

STDMETHODIMP InputPin::EndOfStream()
{
    return S_OK;
}

STDMETHODIMP InputPin::BeginFlush()
{
    flushing_ = true;
    return S_OK;
}

STDMETHODIMP InputPin::EndFlush()
{
    flushing_ = false;
    return S_OK;
}

STDMETHODIMP InputPin::GetAllocator(IMemAllocator** allocator)
{
    if (!allocator) return E_POINTER;
    Lock lock(filter_.FilterLock());
    if (!allocator_) {
        HRESULT hr = CoCreateInstance(
            CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator, allocator_.PutVoid());
        if (FAILED(hr)) {
            *allocator = nullptr;
            return hr;
        }
    }
    return allocator_.CopyTo(allocator);
}

STDMETHODIMP InputPin::NotifyAllocator(IMemAllocator* allocator, BOOL)
{
    if (!allocator) return E_POINTER;
    Lock lock(filter_.FilterLock());
    allocator_ = allocator;
    return S_OK;
}

STDMETHODIMP InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*)
{
    return E_NOTIMPL;
}

HRESULT InputPin::CheckStreaming() const
{
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (flushing_) return S_FALSE;
    if (filter_.State() == State_Stopped) return VFW_E_WRONG_STATE;
    return S_OK;
}

STDMETHODIMP InputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    return CheckStreaming();
}

STDMETHODIMP InputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed)
{
    if (!samples || !processed) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

STDMETHODIMP InputPin::ReceiveCanBlock()
{
    return S_OK;
}

void InputPin::BreakConnect()
{
    allocator_.Reset();
}

}  // namespace DShow
