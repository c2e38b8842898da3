#include "BaseRenderer.h"

namespace DShow {

RendererInputPin::RendererInputPin(BaseRenderer& renderer, const wchar_t* name)
    : InputPin(renderer, name), renderer_(renderer)
{
}

STDMETHODIMP RendererInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return Com::guarded([&] { return renderer_.Receive(sample); });
}

STDMETHODIMP RendererInputPin::EndOfStream()
{
    if (IsFlushing()) return S_FALSE;
    return Com::guarded([&] { return renderer_.EndOfStream(); });
}

STDMETHODIMP RendererInputPin::BeginFlush()
{
    InputPin::BeginFlush();
    renderer_.BeginFlush();
    return S_OK;
}

STDMETHODIMP RendererInputPin::EndFlush()
{
    renderer_.EndFlush();
    return InputPin::EndFlush();
}

HRESULT RendererInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    return renderer_.CheckMediaType(&type);
}

HRESULT RendererInputPin::SetMediaType(const AM_MEDIA_TYPE& type)
{
    HRESULT hr = renderer_.SetMediaType(&type);
    if (FAILED(hr)) return hr;
    return InputPin::SetMediaType(type);
}

BaseRenderer::BaseRenderer(const CLSID& clsid, const wchar_t* name)
    : BaseFilter(clsid, name),
      pin_(*this, L"In"),
      abortEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      timerEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

BaseRenderer::~BaseRenderer()
{
    if (abortEvent_) CloseHandle(abortEvent_);
    if (timerEvent_) CloseHandle(timerEvent_);
}

HRESULT BaseRenderer::QueryExtraInterface(REFIID iid, void** out)
{
    if (iid != IID_IAMFilterMiscFlags) return E_NOINTERFACE;
    *out = static_cast<IAMFilterMiscFlags*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) BaseRenderer::GetMiscFlags()
{
    return AM_FILTER_MISC_FLAGS_IS_RENDERER;
}

STDMETHODIMP BaseRenderer::Stop()
{
    HRESULT hr = BaseFilter::Stop();
    // Ends a wait for a presentation time, then waits out a render in progress.
    SetEvent(abortEvent_);
    Lock wait(receiveLock_);
    return hr;
}

STDMETHODIMP BaseRenderer::Pause()
{
    Lock lock(FilterLock());
    if (State() == State_Stopped) {
        endOfStream_ = false;
        completeSent_ = false;
    }
    ResetEvent(abortEvent_);
    return BaseFilter::Pause();
}

STDMETHODIMP BaseRenderer::Run(REFERENCE_TIME start)
{
    Lock lock(FilterLock());
    if (State() == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    HRESULT hr = BaseFilter::Run(start);
    if (SUCCEEDED(hr) && endOfStream_) SendCompleteOnce();
    return hr;
}

HRESULT BaseRenderer::SetMediaType(const AM_MEDIA_TYPE*)
{
    return S_OK;
}

HRESULT BaseRenderer::ShouldDrawSampleNow(IMediaSample*, REFERENCE_TIME*, REFERENCE_TIME*)
{
    return S_FALSE;
}

HRESULT BaseRenderer::Receive(IMediaSample* sample)
{
    Lock lock(receiveLock_);
    if (State() == State_Stopped) return VFW_E_WRONG_STATE;
    if (endOfStream_) return VFW_E_SAMPLE_REJECTED_EOS;
    if (pin_.IsFlushing()) return S_FALSE;

    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    sample->GetTime(&start, &end);
    if (ShouldDrawSampleNow(sample, &start, &end) == S_FALSE && !WaitForPresentationTime(sample)) return S_OK;
    return DoRenderSample(sample);
}

bool BaseRenderer::WaitForPresentationTime(IMediaSample* sample)
{
    if (State() != State_Running) return true;
    Com::ComPtr<IReferenceClock> clock = Clock();
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    if (!clock || FAILED(sample->GetTime(&start, &end))) return true;
    DWORD_PTR cookie = 0;
    if (FAILED(clock->AdviseTime(StreamStart(), start, reinterpret_cast<HEVENT>(timerEvent_), &cookie))) return true;
    HANDLE events[] = {abortEvent_, timerEvent_};
    DWORD which = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    clock->Unadvise(cookie);
    return which == WAIT_OBJECT_0 + 1;
}

HRESULT BaseRenderer::EndOfStream()
{
    {
        Lock lock(FilterLock());
        if (State() == State_Stopped) return S_OK;
        endOfStream_ = true;
        if (State() != State_Running) return S_OK;
    }
    SendCompleteOnce();
    return S_OK;
}

void BaseRenderer::SendCompleteOnce()
{
    if (completeSent_.exchange(true)) return;
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

void BaseRenderer::BeginFlush()
{
    SetEvent(abortEvent_);
    Lock wait(receiveLock_);
}

void BaseRenderer::EndFlush()
{
    Lock lock(FilterLock());
    ResetEvent(abortEvent_);
    endOfStream_ = false;
    completeSent_ = false;
}

}  // namespace DShow
