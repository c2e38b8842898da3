#include "ConnectionPoints.h"

namespace Atl {
namespace {

// Enumerates exactly one connection point.
class OnePointEnumerator : public ObjectRoot, public IEnumConnectionPoints {
public:
    static const InterfaceEntry* interfaceEntries()
    {
        static const InterfaceEntry entries[] = {
            entry<OnePointEnumerator, IEnumConnectionPoints>(IID_IEnumConnectionPoints), {}};
        return entries;
    }
    STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override
    {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        if (count > 0 && position == 0) {
            point.CopyTo(&out[0]);
            given = 1;
            position = 1;
        }
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        if (count == 0) return S_OK;
        bool had = position == 0;
        position = 1;
        return had && count == 1 ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints** out) override
    {
        HRESULT hr = enumerateOnePoint(point.Get(), out);
        if (SUCCEEDED(hr)) static_cast<OnePointEnumerator*>(*out)->position = position;
        return hr;
    }

    Com::ComPtr<IConnectionPoint> point;
    ULONG position = 0;
};

}  // namespace

HRESULT enumerateOnePoint(IConnectionPoint* point, IEnumConnectionPoints** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    Com::ComPtr<ComObject<OnePointEnumerator>> enumerator(new (std::nothrow) ComObject<OnePointEnumerator>());
    if (!enumerator) return E_OUTOFMEMORY;
    enumerator->point = point;
    *out = enumerator.Detach();
    return S_OK;
}

ConnectionPoint::~ConnectionPoint() = default;

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IConnectionPoint*>(this);
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid) return E_POINTER;
    *iid = eventIid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out)
{
    if (!out) return E_POINTER;
    owner_.AddRef();
    *out = &owner_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    Com::ComPtr<IUnknown> events;
    if (FAILED(sink->QueryInterface(eventIid_, events.PutVoid()))) return CONNECT_E_CANNOTCONNECT;
    return Com::guarded([&] {
        sinks_.emplace_back(nextCookie_, std::move(events));
        *cookie = nextCookie_++;
    });
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie)
{
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            Com::ComPtr<IUnknown> sink = std::move(it->second);  // released after the list is consistent
            sinks_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out)
{
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

}  // namespace Atl
