// BaseRenderer: a filter with one input pin ("In") that renders each sample it
// receives. A subclass says which media types it takes (CheckMediaType), may
// refuse a connection's type (SetMediaType) and does the work (DoRenderSample).
// ShouldDrawSampleNow decides the timing: S_OK renders at once, S_FALSE waits
// for the sample's presentation time on the graph's clock while running.
// End of stream makes the renderer inactive: later samples are refused and the
// graph hears EC_COMPLETE once the renderer runs.
//
// Threading: Receive, and so DoRenderSample, run on the upstream streaming
// thread under the receive lock. Stop and flushing abort a pending wait and then
// take the receive lock, so when Stop returns no sample is being rendered and
// none will be until the renderer is paused or run again.
#pragma once

#include "BaseFilter.h"
#include "InputPin.h"

#include <atomic>

namespace DShow {

class BaseRenderer;

// The renderer's input pin; it forwards every decision to its renderer.
class RendererInputPin : public InputPin {
public:
    RendererInputPin(BaseRenderer& renderer, const wchar_t* name);

    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE& type) override;

private:
    BaseRenderer& renderer_;
};

class BaseRenderer : public BaseFilter, public IAMFilterMiscFlags {
public:
    BaseRenderer(const CLSID& clsid, const wchar_t* name);
    ~BaseRenderer() override;

    // IUnknown (shared by both interfaces)
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return BaseFilter::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return BaseFilter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BaseFilter::Release(); }
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    int PinCount() override { return 1; }
    BasePin* PinAt(int index) override { return index == 0 ? &pin_ : nullptr; }
    RendererInputPin& InputPinOf() { return pin_; }

    // E_INVALIDARG for a null type, S_OK to accept, S_FALSE to refuse.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
    virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;
    virtual HRESULT ShouldDrawSampleNow(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* end);

    // The receive path of the input pin.
    HRESULT Receive(IMediaSample* sample);
    HRESULT EndOfStream();
    void BeginFlush();
    void EndFlush();

    bool AtEndOfStream() const { return endOfStream_; }
    CriticalSection& ReceiveLock() { return receiveLock_; }

protected:
    HRESULT QueryExtraInterface(REFIID iid, void** out) override;

private:
    // False when the wait was aborted by Stop or a flush.
    bool WaitForPresentationTime(IMediaSample* sample);
    void SendCompleteOnce();

    RendererInputPin pin_;
    CriticalSection receiveLock_;
    HANDLE abortEvent_;  // manual reset: set while waits must end
    HANDLE timerEvent_;  // auto reset: the clock's advise
    std::atomic<bool> endOfStream_{false};
    std::atomic<bool> completeSent_{false};
};

}  // namespace DShow
