// The DirectShow layer against Wine's real filter graph, capture graph builder
// and device enumerator: the test camera (a source built on the layer) found by
// its friendly name, and a renderer built on the layer receiving its frames.
#include "BaseRenderer.h"
#include "MediaType.h"
#include "camera/CameraRegistration.h"
#include "camera/TestPattern.h"

#include <dshow.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

using Com::ComPtr;

namespace {

// {5C0F1E44-2E7B-4F0C-8D3E-6A1B2C3D4E5F}
const CLSID kRecorderClsid = {0x5c0f1e44, 0x2e7b, 0x4f0c, {0x8d, 0x3e, 0x6a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f}};

// Accepts RGB24 video of one size and keeps the bytes of the last sample.
class RecordingRenderer : public DShow::BaseRenderer {
public:
    RecordingRenderer(int width, int height, bool drawAtOnce)
        : BaseRenderer(kRecorderClsid, L"Recorder"),
          width_(width),
          height_(height),
          drawAtOnce_(drawAtOnce),
          rendered_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~RecordingRenderer() override { CloseHandle(rendered_); }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override
    {
        if (!type) return E_INVALIDARG;
        const VIDEOINFOHEADER* info = DShow::VideoInfoOf(*type);
        if (type->majortype != MEDIATYPE_Video || type->subtype != MEDIASUBTYPE_RGB24 || !info) return S_FALSE;
        return info->bmiHeader.biWidth == width_ && info->bmiHeader.biHeight == height_ ? S_OK : S_FALSE;
    }
    HRESULT DoRenderSample(IMediaSample* sample) override
    {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        last_.assign(data, data + sample->GetActualDataLength());
        ++count_;
        SetEvent(rendered_);
        return S_OK;
    }
    HRESULT ShouldDrawSampleNow(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* end) override
    {
        return drawAtOnce_ ? S_OK : BaseRenderer::ShouldDrawSampleNow(sample, start, end);
    }

    bool WaitForSample() { return WaitForSingleObject(rendered_, 10000) == WAIT_OBJECT_0; }
    long Count() const { return count_; }
    std::vector<uint8_t> Last() const { return last_; }

private:
    int width_;
    int height_;
    bool drawAtOnce_;
    HANDLE rendered_;
    std::atomic<long> count_{0};
    std::vector<uint8_t> last_;
};

std::string AnsiOf(const wchar_t* text)
{
    char buffer[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

std::vector<std::string> VideoInputNames()
{
    std::vector<std::string> names;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(
            CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, devices.PutVoid())))
        return names;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0) != S_OK || !monikers)
        return names;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
        Com::Variant name;
        if (SUCCEEDED(bag->Read(L"FriendlyName", name.Put(), nullptr)) && name.Type() == VT_BSTR)
            names.push_back(AnsiOf(V_BSTR(&name.Get())));
    }
    return names;
}

ComPtr<IBaseFilter> BindTestCamera()
{
    ComPtr<IBaseFilter> camera;
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(
            CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, devices.PutVoid())) ||
        devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0) != S_OK)
        return camera;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        Com::Variant name;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) &&
            SUCCEEDED(bag->Read(L"FriendlyName", name.Put(), nullptr)) && name.Type() == VT_BSTR &&
            AnsiOf(V_BSTR(&name.Get())) == TestCamera::kFriendlyNameAnsi)
            moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, camera.PutVoid());
        if (camera) break;
    }
    return camera;
}

class DShowLayer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        registration_ = new TestCamera::Registration();
    }
    static void TearDownTestSuite()
    {
        delete registration_;
        registration_ = nullptr;
        CoUninitialize();
    }
    static TestCamera::Registration* registration_;
};

TestCamera::Registration* DShowLayer::registration_ = nullptr;

TEST(MediaTypeHelpers, PartialTypesMatchByTheirNonNullFields)
{
    DShow::MediaType video;
    video.Get().majortype = MEDIATYPE_Video;
    video.Get().subtype = MEDIASUBTYPE_RGB24;
    video.Get().formattype = FORMAT_VideoInfo;
    struct Case {
        const char* name;
        GUID major, sub, format;
        bool matches;
    } cases[] = {
        {"all wildcards", GUID_NULL, GUID_NULL, GUID_NULL, true},
        {"major only", MEDIATYPE_Video, GUID_NULL, GUID_NULL, true},
        {"other major", MEDIATYPE_Audio, GUID_NULL, GUID_NULL, false},
        {"other subtype", MEDIATYPE_Video, MEDIASUBTYPE_YUY2, GUID_NULL, false},
        {"other format", GUID_NULL, GUID_NULL, FORMAT_WaveFormatEx, false},
        {"exact", MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, true},
    };
    EXPECT_TRUE(DShow::MatchesPartialType(video.Get(), nullptr));
    for (const Case& c : cases) {
        AM_MEDIA_TYPE partial{};
        partial.majortype = c.major;
        partial.subtype = c.sub;
        partial.formattype = c.format;
        EXPECT_EQ(DShow::MatchesPartialType(video.Get(), &partial), c.matches) << c.name;
    }
}

TEST(MediaTypeHelpers, CopiesOwnTheirFormatBlockAndReference)
{
    DShow::MediaType original;
    original.Get().majortype = MEDIATYPE_Video;
    original.Get().formattype = FORMAT_VideoInfo;
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(original.AllocFormat(sizeof(VIDEOINFOHEADER)));
    ASSERT_NE(info, nullptr);
    info->bmiHeader.biWidth = 66;

    AM_MEDIA_TYPE* handedOut = DShow::CreateMediaType(original.Get());
    ASSERT_NE(handedOut, nullptr);
    EXPECT_NE(handedOut->pbFormat, original.Get().pbFormat);
    EXPECT_TRUE(DShow::MediaTypesEqual(*handedOut, original.Get()));
    reinterpret_cast<VIDEOINFOHEADER*>(handedOut->pbFormat)->bmiHeader.biWidth = 67;
    EXPECT_FALSE(DShow::MediaTypesEqual(*handedOut, original.Get()));
    EXPECT_EQ(original.VideoInfo()->bmiHeader.biWidth, 66);
    DShow::DeleteMediaType(handedOut);

    DShow::MediaType copy = original;
    DShow::MediaType moved = std::move(copy);
    EXPECT_TRUE(copy.Empty());
    EXPECT_TRUE(DShow::MediaTypesEqual(moved.Get(), original.Get()));

    AM_MEDIA_TYPE tooShort = original.Get();
    tooShort.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
    EXPECT_EQ(DShow::VideoInfoOf(tooShort), nullptr);
}

TEST_F(DShowLayer, TestCameraIsListedWithItsCapturePinAndSizes)
{
    ASSERT_EQ(registration_->FirstResult(), S_OK);
    EXPECT_THAT(VideoInputNames(), ::testing::Contains(std::string(TestCamera::kFriendlyNameAnsi)));

    ComPtr<IBaseFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    ComPtr<IPin> pin;
    ASSERT_EQ(camera->FindPin(L"Capture", pin.Put()), S_OK);

    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(pin.As(properties), S_OK);
    GUID category = GUID_NULL;
    DWORD returned = 0;
    ASSERT_EQ(
        properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category, &returned),
        S_OK);
    EXPECT_EQ(category, PIN_CATEGORY_CAPTURE);

    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(pin.As(config), S_OK);
    int count = 0;
    int size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(size, 128);
    ASSERT_EQ(count, TestCamera::kOfferedSizeCount);
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
        const VIDEOINFOHEADER* info = DShow::VideoInfoOf(*type);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->bmiHeader.biWidth, TestCamera::kOfferedSizes[i].width);
        EXPECT_EQ(info->bmiHeader.biHeight, TestCamera::kOfferedSizes[i].height);
        EXPECT_EQ(type->subtype, MEDIASUBTYPE_RGB24);
        DShow::DeleteMediaType(type);
    }
}

struct StreamCase {
    const char* name;
    TestCamera::FrameSize size;
    bool drawAtOnce;
};

class DShowStreaming : public DShowLayer, public ::testing::WithParamInterface<StreamCase> {};

// Camera -> our renderer through the capture graph builder; the renderer sees
// the camera's DIB bytes exactly (padding included), and nothing after Stop.
TEST_P(DShowStreaming, RendererReceivesTheCameraPicture)
{
    const StreamCase& c = GetParam();
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid()), S_OK);
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                  builder.PutVoid()),
        S_OK);
    ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);

    ComPtr<IBaseFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    ASSERT_EQ(graph->AddFilter(camera.Get(), L"Video Capture"), S_OK);

    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(builder->FindInterface(
                  &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), IID_IAMStreamConfig, config.PutVoid()),
        S_OK);
    for (int i = 0; i < TestCamera::kOfferedSizeCount; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
        if (DShow::VideoInfoOf(*type)->bmiHeader.biWidth == c.size.width) {
            EXPECT_EQ(config->SetFormat(type), S_OK);
        }
        DShow::DeleteMediaType(type);
    }

    auto* recorder = new RecordingRenderer(c.size.width, c.size.height, c.drawAtOnce);
    auto renderer = ComPtr<IBaseFilter>::Adopt(recorder);
    ASSERT_EQ(graph->AddFilter(renderer.Get(), L"Recorder"), S_OK);
    ASSERT_EQ(
        builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), nullptr, renderer.Get()), S_OK);

    ComPtr<IMediaControl> control;
    ASSERT_EQ(graph.As(control), S_OK);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    ASSERT_TRUE(recorder->WaitForSample()) << "no frame arrived";
    EXPECT_EQ(recorder->Last(), TestCamera::DibFrame(c.size.width, c.size.height));
    ASSERT_EQ(control->Stop(), S_OK);

    long afterStop = recorder->Count();
    Sleep(5 * TestCamera::kFrameIntervalMs);
    EXPECT_EQ(recorder->Count(), afterStop);

    graph->RemoveFilter(renderer.Get());
    graph->RemoveFilter(camera.Get());
}

INSTANTIATE_TEST_SUITE_P(Sizes, DShowStreaming,
    ::testing::Values(StreamCase{"own_size_at_once", {320, 240}, true},
        StreamCase{"smaller_size_on_the_clock", {160, 120}, false}, StreamCase{"padded_rows", {66, 50}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// End of stream makes the renderer refuse samples and tells the graph it is done.
TEST_F(DShowLayer, EndOfStreamCompletesTheGraph)
{
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid()), S_OK);
    ComPtr<IBaseFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    auto* recorder = new RecordingRenderer(320, 240, true);
    auto renderer = ComPtr<IBaseFilter>::Adopt(recorder);
    ASSERT_EQ(graph->AddFilter(camera.Get(), L"Video Capture"), S_OK);
    ASSERT_EQ(graph->AddFilter(renderer.Get(), L"Recorder"), S_OK);
    ComPtr<IPin> out;
    ComPtr<IPin> in;
    ASSERT_EQ(camera->FindPin(L"Capture", out.Put()), S_OK);
    ASSERT_EQ(renderer->FindPin(L"In", in.Put()), S_OK);
    ASSERT_EQ(graph->Connect(out.Get(), in.Get()), S_OK);

    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ASSERT_EQ(graph.As(control), S_OK);
    ASSERT_EQ(graph->QueryInterface(IID_IMediaEvent, events.PutVoid()), S_OK);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    ASSERT_TRUE(recorder->WaitForSample());

    ASSERT_EQ(in->EndOfStream(), S_OK);
    long code = 0;
    ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    long atEnd = recorder->Count();
    Sleep(5 * TestCamera::kFrameIntervalMs);
    EXPECT_EQ(recorder->Count(), atEnd);
    EXPECT_EQ(control->Stop(), S_OK);
}

}  // namespace
