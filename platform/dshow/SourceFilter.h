// A live source: SourceFilter owns output pins of the kind SourceStreamPin, each
// with its own streaming thread. A pin's thread starts when the filter leaves
// the stopped state and delivers one sample per frame interval while the filter
// runs (a live source produces nothing while paused, hence VFW_S_CANT_CUE);
// Stop decommits the allocator, which wakes a thread waiting for a buffer, and
// joins the thread before it returns.
//
// Threading: FillBuffer runs on the pin's streaming thread and must not take the
// filter lock (Stop holds it while it joins the thread).
// Lifetime: the destructor of the filter that owns the pins calls Stop(), so
// that no thread is still filling a buffer while the pins are taken apart.
#pragma once

#include "BaseFilter.h"
#include "OutputPin.h"

#include <atomic>
#include <vector>

namespace DShow {

class SourceStreamPin : public OutputPin {
public:
    SourceStreamPin(BaseFilter& filter, const wchar_t* name, DWORD frameIntervalMs);
    ~SourceStreamPin() override;

    // Fills one sample (data, length, times) on the streaming thread.
    virtual HRESULT FillBuffer(IMediaSample* sample) = 0;

    HRESULT Active() override;
    HRESULT Inactive() override;

    DWORD FrameIntervalMs() const { return frameIntervalMs_; }
    LONGLONG FramesDelivered() const { return framesDelivered_; }

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Stream();
    void DeliverOneFrame();

    DWORD frameIntervalMs_;
    HANDLE stopEvent_;
    HANDLE thread_ = nullptr;
    std::atomic<LONGLONG> framesDelivered_{0};
    LONGLONG frameNumber_ = 0;
};

class SourceFilter : public BaseFilter {
public:
    SourceFilter(const CLSID& clsid, const wchar_t* name);

    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;

    int PinCount() override { return static_cast<int>(pins_.size()); }
    BasePin* PinAt(int index) override;

protected:
    // Called by subclasses' constructors for each pin they own.
    void AddPin(SourceStreamPin& pin) { pins_.push_back(&pin); }

private:
    std::vector<SourceStreamPin*> pins_;
};

}  // namespace DShow
