#include "BasePin.h"

#include "Enumerators.h"

#include <cstring>
#include <cwchar>

namespace DShow {

BasePin::BasePin(BaseFilter& filter, const wchar_t* name, PIN_DIRECTION direction)
    : filter_(filter), name_(name), direction_(direction)
{
}

BasePin::~BasePin() = default;

STDMETHODIMP BasePin::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IPin) {
        *out = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    return QueryExtraInterface(iid, out);
}

HRESULT BasePin::QueryExtraInterface(REFIID, void**)
{
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) BasePin::AddRef()
{
    return filter_.AddRef();
}
STDMETHODIMP_(ULONG) BasePin::Release()
{
    return filter_.Release();
}

STDMETHODIMP BasePin::Disconnect()
{
    Lock lock(filter_.FilterLock());
    if (filter_.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!peer_) return S_FALSE;
    BreakConnect();
    ClearConnection();
    return S_OK;
}

STDMETHODIMP BasePin::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    Lock lock(filter_.FilterLock());
    peer_.CopyTo(pin);
    return peer_ ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP BasePin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    Lock lock(filter_.FilterLock());
    if (!peer_) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(*type, type_.Get());
}

STDMETHODIMP BasePin::QueryPinInfo(PIN_INFO* info)
{
    if (!info) return E_POINTER;
    info->pFilter = &filter_;
    filter_.AddRef();
    info->dir = direction_;
    wcsncpy(info->achName, name_.c_str(), MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = L'\0';
    return S_OK;
}

STDMETHODIMP BasePin::QueryDirection(PIN_DIRECTION* direction)
{
    if (!direction) return E_POINTER;
    *direction = direction_;
    return S_OK;
}

STDMETHODIMP BasePin::QueryId(LPWSTR* id)
{
    if (!id) return E_POINTER;
    size_t bytes = (name_.size() + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, name_.c_str(), bytes);
    return S_OK;
}

STDMETHODIMP BasePin::QueryAccept(const AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    return Com::guarded([&] { return CheckMediaType(*type) == S_OK ? S_OK : S_FALSE; });
}

STDMETHODIMP BasePin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (!types) return E_POINTER;
    return CreateMediaTypeEnumerator(*this, types);
}

STDMETHODIMP BasePin::QueryInternalConnections(IPin**, ULONG*)
{
    return E_NOTIMPL;
}

STDMETHODIMP BasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    segmentStart_ = start;
    segmentStop_ = stop;
    segmentRate_ = rate;
    return S_OK;
}

HRESULT BasePin::GetMediaType(int, MediaType&)
{
    return VFW_S_NO_MORE_ITEMS;
}

HRESULT BasePin::SetMediaType(const AM_MEDIA_TYPE& type)
{
    return type_.Set(type);
}

void BasePin::SetConnection(IPin* peer)
{
    peer_ = peer;
}

HRESULT BasePin::CanConnectTo(IPin* other) const
{
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    if (filter_.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    const PIN_DIRECTION opposite = direction_ == PINDIR_INPUT ? PINDIR_OUTPUT : PINDIR_INPUT;
    PIN_DIRECTION direction;
    if (FAILED(other->QueryDirection(&direction)) || direction != opposite) return VFW_E_INVALID_DIRECTION;
    return S_OK;
}

void BasePin::ClearConnection()
{
    peer_.Reset();
    type_.Reset();
}

}  // namespace DShow
