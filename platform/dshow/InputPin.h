// InputPin: a pin that receives samples (IPin input side and IMemInputPin).
// It accepts connections whose type CheckMediaType approves, hands out a memory
// allocator when the upstream pin asks for one, and refuses samples while the
// filter is stopped or flushing. Subclasses override Receive for the work.
//
// Receive runs on the upstream streaming thread; everything else on the graph's
// thread under the filter lock.
#pragma once

#include "BasePin.h"

#include <atomic>

namespace DShow {

class InputPin : public BasePin, public IMemInputPin {
public:
    InputPin(BaseFilter& filter, const wchar_t* name);
    ~InputPin() override;

    // IUnknown (shared by both interfaces)
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return BasePin::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }
    // IPin
    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override;

    bool IsFlushing() const { return flushing_; }

protected:
    HRESULT QueryExtraInterface(REFIID iid, void** out) override;
    void BreakConnect() override;
    // S_OK when a sample may be processed now; an error (or S_FALSE while
    // flushing) to hand back from Receive otherwise.
    HRESULT CheckStreaming() const;

private:
    Com::ComPtr<IMemAllocator> allocator_;
    std::atomic<bool> flushing_{false};
};

}  // namespace DShow
