// BasePin: the IPin half shared by input and output pins: connection record
// (peer and media type), pin information, media-type enumeration through
// GetMediaType, and segment data. Reference counting is the owning filter's.
//
// Connections change only with the filter lock held and the filter stopped.
#pragma once

#include "BaseFilter.h"
#include "MediaType.h"

#include <string>

namespace DShow {

class BasePin : public IPin {
public:
    BasePin(BaseFilter& filter, const wchar_t* name, PIN_DIRECTION direction);
    virtual ~BasePin();
    BasePin(const BasePin&) = delete;
    BasePin& operator=(const BasePin&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPin (Connect and ReceiveConnection are the subclasses')
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // S_OK when the pin can carry the type.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) = 0;
    // The pin's preferred types in order; VFW_S_NO_MORE_ITEMS past the last.
    virtual HRESULT GetMediaType(int index, MediaType& type);
    // Records the connection's type; subclasses may refuse it.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE& type);
    // Drops what a connection set up (allocators, peer interfaces).
    virtual void BreakConnect() {}
    // The filter leaves or enters the stopped state (filter lock held).
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }

    bool IsConnected() const { return peer_ != nullptr; }
    IPin* Peer() const { return peer_.Get(); }
    const MediaType& ConnectedType() const { return type_; }
    const std::wstring& Name() const { return name_; }
    BaseFilter& Filter() { return filter_; }

protected:
    virtual HRESULT QueryExtraInterface(REFIID iid, void** out);
    // S_OK when a connection to other may start (filter lock held): this pin
    // unconnected, the filter stopped and other a pin of the opposite direction.
    HRESULT CanConnectTo(IPin* other) const;
    // Records peer (with a reference) and type after both sides agreed.
    void SetConnection(IPin* peer);
    void ClearConnection();

    BaseFilter& filter_;

private:
    std::wstring name_;
    PIN_DIRECTION direction_;
    Com::ComPtr<IPin> peer_;
    MediaType type_;
    REFERENCE_TIME segmentStart_ = 0;
    REFERENCE_TIME segmentStop_ = 0;
    double segmentRate_ = 1.0;
};

}  // namespace DShow
