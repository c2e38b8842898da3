// OutputPin: a pin that delivers samples. Connect negotiates the media type
// (the pin's own types first, then the receiving pin's), then the allocator: the
// downstream pin's when it has one, else a memory allocator of our own, sized by
// the subclass's DecideBufferSize. Active commits the allocator, Inactive
// decommits it (which also wakes a thread waiting for a buffer).
//
// Deliver and GetDeliveryBuffer are for the streaming thread; the connection
// does not change while the filter runs.
#pragma once

#include "BasePin.h"

namespace DShow {

class OutputPin : public BasePin {
public:
    OutputPin(BaseFilter& filter, const wchar_t* name);
    ~OutputPin() override;

    // IPin
    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // Sets buffer count and size on the allocator; request holds what the
    // downstream pin asked for (zeros when it asked nothing).
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) = 0;

    HRESULT Active() override;
    HRESULT Inactive() override;

    HRESULT GetDeliveryBuffer(IMediaSample** sample);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();

protected:
    void BreakConnect() override;

private:
    HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE& type);
    HRESULT DecideAllocator(IMemInputPin* input);

    Com::ComPtr<IMemInputPin> input_;
    Com::ComPtr<IMemAllocator> allocator_;
};

}  // namespace DShow
