// The graph is built in the order of the camera's road: filter graph, capture
// graph builder and sample grabber; the camera by friendly name; its format;
// grabber and renderer; then the capture stream rendered through both. Once
// rendered, the camera's filter is left to the graph, which holds it; Destroy
// finds it there by its name.
#include "Camtap.h"

#include "CaptureDump.h"

#include <cstring>

// Declared by the platform's SDK headers elsewhere; the strmiids library has it.
extern "C" const CLSID CLSID_SampleGrabber;

namespace {

using Com::ComPtr;

constexpr wchar_t kSourceName[] = L"Video Capture";

template <class T>
HRESULT Create(REFCLSID clsid, REFIID iid, ComPtr<T>& out)
{
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out.PutVoid());
}

// The device's friendly name in the thread's ANSI code page, or false.
bool FriendlyNameOf(IMoniker* device, char (&name)[512])
{
    ComPtr<IPropertyBag> bag;
    if (FAILED(device->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) return false;
    Com::Variant value;
    if (FAILED(bag->Read(L"FriendlyName", value.Put(), nullptr)) || value.Type() != VT_BSTR) return false;
    BSTR text = V_BSTR(&value.Get());
    return text && WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, name, sizeof name, nullptr, nullptr) > 0;
}

bool IsRequestedVideoInfo(const AM_MEDIA_TYPE& type, int width, int height)
{
    if (type.majortype != MEDIATYPE_Video || type.formattype != FORMAT_VideoInfo || !type.pbFormat ||
        type.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    return info->bmiHeader.biWidth == width && info->bmiHeader.biHeight == height;
}

}  // namespace

CCamtap::CCamtap() = default;

CCamtap::~CCamtap()
{
    Destroy();
}

bool CCamtap::Init(const char* cameraName, int width, int height)
{
    uint64_t frameBytes = 0;
    if (!cameraName || !VideoShareFrame::FrameBytes(width, height, frameBytes)) return false;
    Destroy();

    std::strncpy(cameraName_, cameraName, sizeof cameraName_ - 1);
    cameraName_[sizeof cameraName_ - 1] = '\0';
    // Without a frame buffer the graph still runs; frames are just not kept.
    frame_.Open(width, height);

    if (!BuildGraph()) return false;
    lastResult_ = FindCamera();
    if (FAILED(lastResult_)) return false;
    lastResult_ = graph_->AddFilter(source_.Get(), kSourceName);
    if (FAILED(lastResult_)) return false;
    lastResult_ = ChooseFormat(width, height);
    if (FAILED(lastResult_)) return false;

    lastResult_ = graph_->AddFilter(grabberFilter_.Get(), L"Grabber");
    if (FAILED(lastResult_)) return false;
    dump_ = new CCaptureDump(this, width, height);
    dumpFilter_ = ComPtr<IBaseFilter>::Adopt(dump_);  // a new filter comes with one reference
    lastResult_ = graph_->AddFilter(dumpFilter_.Get(), L"Capture Dump");
    if (FAILED(lastResult_)) return false;

    lastResult_ = RenderCaptureStream();
    if (FAILED(lastResult_)) return false;
    source_.Reset();
    built_ = true;
    return true;
}

bool CCamtap::BuildGraph()
{
    lastResult_ = Create(CLSID_FilterGraph, IID_IGraphBuilder, graph_);
    if (SUCCEEDED(lastResult_))
        lastResult_ = Create(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2, captureBuilder_);
    if (SUCCEEDED(lastResult_)) lastResult_ = Create(CLSID_SampleGrabber, IID_ISampleGrabber, grabber_);
    if (SUCCEEDED(lastResult_)) lastResult_ = grabber_->QueryInterface(IID_IBaseFilter, grabberFilter_.PutVoid());
    if (SUCCEEDED(lastResult_)) lastResult_ = graph_->QueryInterface(IID_IMediaControl, mediaControl_.PutVoid());
    if (SUCCEEDED(lastResult_)) lastResult_ = graph_->QueryInterface(IID_IVideoWindow, videoWindow_.PutVoid());
    if (SUCCEEDED(lastResult_)) lastResult_ = graph_->QueryInterface(IID_IMediaEventEx, mediaEvent_.PutVoid());
    if (SUCCEEDED(lastResult_)) lastResult_ = captureBuilder_->SetFiltergraph(graph_.Get());
    return SUCCEEDED(lastResult_);
}

HRESULT CCamtap::FindCamera()
{
    ComPtr<ICreateDevEnum> devices;
    HRESULT hr = Create(CLSID_SystemDeviceEnum, IID_ICreateDevEnum, devices);
    if (FAILED(hr)) return hr;
    ComPtr<IEnumMoniker> monikers;
    // An empty category answers S_FALSE and no enumerator.
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0) != S_OK || !monikers)
        return E_FAIL;
    ComPtr<IMoniker> device;
    while (monikers->Next(1, device.Put(), nullptr) == S_OK && device) {
        char name[512];
        if (!FriendlyNameOf(device.Get(), name) || std::strcmp(name, cameraName_) != 0) continue;
        return device->BindToObject(nullptr, nullptr, IID_IBaseFilter, source_.PutVoid());
    }
    return E_FAIL;
}

HRESULT CCamtap::ChooseFormat(int width, int height)
{
    ComPtr<IAMStreamConfig> config;
    HRESULT hr = captureBuilder_->FindInterface(
        &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Interleaved, source_.Get(), IID_IAMStreamConfig, config.PutVoid());
    if (FAILED(hr))
        hr = captureBuilder_->FindInterface(
            &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source_.Get(), IID_IAMStreamConfig, config.PutVoid());
    if (FAILED(hr)) return hr;

    int count = 0;
    int recordSize = 0;
    if (FAILED(config->GetNumberOfCapabilities(&count, &recordSize)) ||
        recordSize != static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)))
        return S_OK;  // not a video camera's records: it keeps its own format
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        if (config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)) != S_OK || !type) continue;
        bool wanted = IsRequestedVideoInfo(*type, width, height);
        if (wanted) config->SetFormat(type);
        DShow::DeleteMediaType(type);
        if (wanted) break;
    }
    return S_OK;
}

HRESULT CCamtap::RenderCaptureStream()
{
    HRESULT hr = captureBuilder_->RenderStream(
        &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source_.Get(), grabberFilter_.Get(), dumpFilter_.Get());
    if (FAILED(hr))
        hr = captureBuilder_->RenderStream(
            &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source_.Get(), grabberFilter_.Get(), dumpFilter_.Get());
    return hr;
}

bool CCamtap::Run()
{
    // A graph that Init could not finish has no camera to run.
    if (!mediaControl_ || !built_) return false;
    lastResult_ = mediaControl_->Run();
    return SUCCEEDED(lastResult_);
}

void CCamtap::Stop()
{
    if (mediaControl_) mediaControl_->Stop();
}

void CCamtap::FitToOwnerWindow()
{
    if (!ownerWindow_ || !videoWindow_) return;
    RECT client{};
    if (GetClientRect(ownerWindow_, &client)) videoWindow_->SetWindowPosition(0, 0, client.right, client.bottom);
}

// The graph's "Video Capture", whether this object still holds it or not.
void CCamtap::RemoveSource()
{
    ComPtr<IBaseFilter> source = source_;
    if (!source && FAILED(graph_->FindFilterByName(kSourceName, source.Put()))) return;
    if (source) graph_->RemoveFilter(source.Get());
}

void CCamtap::Destroy()
{
    if (mediaControl_) {
        mediaControl_->StopWhenReady();
        // The renderer must be stopped before it loses its frame buffer.
        mediaControl_->Stop();
    }
    if (dump_) dump_->DetachOwner();
    if (graph_) {
        if (dumpFilter_) graph_->RemoveFilter(dumpFilter_.Get());
        RemoveSource();
        if (grabberFilter_) graph_->RemoveFilter(grabberFilter_.Get());
    }
    if (videoWindow_) {
        videoWindow_->put_Visible(OAFALSE);
        videoWindow_->put_Owner(0);
    }
    dump_ = nullptr;
    dumpFilter_.Reset();
    source_.Reset();
    grabberFilter_.Reset();
    grabber_.Reset();
    mediaEvent_.Reset();
    videoWindow_.Reset();
    mediaControl_.Reset();
    captureBuilder_.Reset();
    graph_.Reset();
    frame_.Close();
    built_ = false;
}
