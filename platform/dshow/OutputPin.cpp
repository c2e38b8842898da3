#include "OutputPin.h"

#include <vector>

namespace DShow {
namespace {

bool FullySpecified(const AM_MEDIA_TYPE* type)
{
    return type && type->majortype != GUID_NULL && type->subtype != GUID_NULL && type->formattype != GUID_NULL;
}

// The receiving pin's own types, in its order.
std::vector<MediaType> TypesOfPin(IPin* pin)
{
    std::vector<MediaType> types;
    Com::ComPtr<IEnumMediaTypes> enumerator;
    if (FAILED(pin->EnumMediaTypes(enumerator.Put())) || !enumerator) return types;
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    while (enumerator->Next(1, &type, &fetched) == S_OK && fetched == 1) {
        MediaType held;
        held.Adopt(*type);
        CoTaskMemFree(type);
        types.push_back(std::move(held));
    }
    return types;
}

}  // namespace

OutputPin::OutputPin(BaseFilter& filter, const wchar_t* name) : BasePin(filter, name, PINDIR_OUTPUT) {}

OutputPin::~OutputPin()
{
    BreakConnect();
}

STDMETHODIMP OutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    if (!receivePin) return E_POINTER;
    return Com::guarded([&]() -> HRESULT {
        Lock lock(filter_.FilterLock());
        if (HRESULT refused = CanConnectTo(receivePin); refused != S_OK) return refused;

        if (FullySpecified(type)) return AttemptConnection(receivePin, *type);

        for (int i = 0;; ++i) {
            MediaType own;
            if (GetMediaType(i, own) != S_OK) break;
            if (MatchesPartialType(own.Get(), type) && SUCCEEDED(AttemptConnection(receivePin, own.Get()))) return S_OK;
        }
        for (const MediaType& theirs : TypesOfPin(receivePin)) {
            if (MatchesPartialType(theirs.Get(), type) && SUCCEEDED(AttemptConnection(receivePin, theirs.Get())))
                return S_OK;
        }
        return VFW_E_NO_ACCEPTABLE_TYPES;
    });
}

HRESULT OutputPin::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE& type)
{
    if (CheckMediaType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = SetMediaType(type);
    if (FAILED(hr)) return hr;
    SetConnection(receivePin);
    hr = receivePin->ReceiveConnection(this, &type);
    if (SUCCEEDED(hr)) {
        hr = receivePin->QueryInterface(IID_IMemInputPin, input_.PutVoid());
        if (SUCCEEDED(hr)) hr = DecideAllocator(input_.Get());
        if (SUCCEEDED(hr)) return S_OK;
        receivePin->Disconnect();
    }
    BreakConnect();
    ClearConnection();
    return hr;
}

HRESULT OutputPin::DecideAllocator(IMemInputPin* input)
{
    ALLOCATOR_PROPERTIES request{};
    input->GetAllocatorRequirements(&request);

    Com::ComPtr<IMemAllocator> allocator;
    if (SUCCEEDED(input->GetAllocator(allocator.Put())) && allocator) {
        ALLOCATOR_PROPERTIES wanted = request;
        if (SUCCEEDED(DecideBufferSize(allocator.Get(), wanted)) &&
            SUCCEEDED(input->NotifyAllocator(allocator.Get(), FALSE))) {
            allocator_ = std::move(allocator);
            return S_OK;
        }
    }
    HRESULT hr =
        CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator, allocator.PutVoid());
    if (FAILED(hr)) return hr;
    ALLOCATOR_PROPERTIES wanted = request;
    hr = DecideBufferSize(allocator.Get(), wanted);
    if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator.Get(), FALSE);
    if (FAILED(hr)) return hr;
    allocator_ = std::move(allocator);
    return S_OK;
}

STDMETHODIMP OutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*)
{
    return E_UNEXPECTED;
}
STDMETHODIMP OutputPin::EndOfStream()
{
    return E_UNEXPECTED;
}
STDMETHODIMP OutputPin::BeginFlush()
{
    return E_UNEXPECTED;
}
STDMETHODIMP OutputPin::EndFlush()
{
    return E_UNEXPECTED;
}

HRESULT OutputPin::Active()
{
    return allocator_ ? allocator_->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT OutputPin::Inactive()
{
    return allocator_ ? allocator_->Decommit() : S_OK;
}

HRESULT OutputPin::GetDeliveryBuffer(IMediaSample** sample)
{
    if (!allocator_) return VFW_E_NO_ALLOCATOR;
    return allocator_->GetBuffer(sample, nullptr, nullptr, 0);
}

HRESULT OutputPin::Deliver(IMediaSample* sample)
{
    if (!input_) return VFW_E_NOT_CONNECTED;
    return input_->Receive(sample);
}

HRESULT OutputPin::DeliverEndOfStream()
{
    IPin* peer = Peer();
    return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

void OutputPin::BreakConnect()
{
    input_.Reset();
    allocator_.Reset();
}

}  // namespace DShow
