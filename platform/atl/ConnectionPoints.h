// A connection-point container with one outgoing (event) interface.
//
// Sinks may Advise and Unadvise; the container keeps them (one counted reference
// each) until Unadvise or its own destruction. Firing events is the owner's
// business; the connection point is part of the owner and shares its reference
// count.
#pragma once

#include "ObjectRoot.h"

#include <ocidl.h>
#include <olectl.h>

#include <utility>
#include <vector>

namespace Atl {

class ConnectionPoint : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& owner, const IID& eventIid) : owner_(owner), eventIid_(eventIid) {}
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return owner_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_.Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    const IID& eventIid() const { return eventIid_; }
    size_t sinkCount() const { return sinks_.size(); }

private:
    IConnectionPointContainer& owner_;
    const IID& eventIid_;
    std::vector<std::pair<DWORD, Com::ComPtr<IUnknown>>> sinks_;
    DWORD nextCookie_ = 1;
};

// Hands out the one connection point of a container.
HRESULT enumerateOnePoint(IConnectionPoint* point, IEnumConnectionPoints** out);

// Point is the connection point's class: ConnectionPoint over the event
// interface given to the constructor, or a class of the owner's made over the
// container alone.
template <class T, class Point = ConnectionPoint>
class ConnectionPointContainerImpl : public IConnectionPointContainer {
public:
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override { return enumerateOnePoint(&point_, out); }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, point_.eventIid())) return CONNECT_E_NOCONNECTION;
        point_.AddRef();
        *out = &point_;
        return S_OK;
    }

protected:
    template <class... EventIid>
    explicit ConnectionPointContainerImpl(const EventIid&... eventIid) : point_(*this, eventIid...)
    {
    }

    Point point_;
};

}  // namespace Atl
