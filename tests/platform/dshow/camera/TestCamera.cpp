// The test camera: a live source filter with one capture pin ("Capture") that
// says its pin category through IKsPropertySet, lists its RGB24 sizes through
// IAMStreamConfig and, once connected, pushes the known picture of TestPattern.h
// every kFrameIntervalMs. A format chosen with SetFormat becomes the only type
// the pin offers, as with real cameras.
//
// DllRegisterServer registers the COM class and, through IFilterMapper2, the
// filter in the video input device category under its friendly name;
// DllUnregisterServer removes both.
#include "TestPattern.h"

#include "MediaType.h"
#include "SourceFilter.h"

#include <dshow.h>
#include <ks.h>

#include <atomic>
#include <cstring>
#include <vector>

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_liveObjects{0};
std::atomic<IBaseFilter*> g_lastFilter{nullptr};  // the filter made last, while it lives
std::atomic<long> g_serverLocks{0};

// The category's property set GUIDs (ksproxy.h declares the names only).
const GUID kPinPropertySet = AMPROPSETID_Pin;

DShow::MediaType TypeForSize(const TestCamera::FrameSize& size)
{
    DShow::MediaType type;
    AM_MEDIA_TYPE& mt = type.Get();
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.formattype = FORMAT_VideoInfo;
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormat(sizeof(VIDEOINFOHEADER)));
    if (!info) throw std::bad_alloc();
    info->AvgTimePerFrame = static_cast<REFERENCE_TIME>(TestCamera::kFrameIntervalMs) * 10000;
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = size.width;
    info->bmiHeader.biHeight = size.height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 24;
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biSizeImage =
        static_cast<DWORD>(TestCamera::StrideOf(size.width) * static_cast<size_t>(size.height));
    mt.lSampleSize = info->bmiHeader.biSizeImage;
    return type;
}

// The offered size a type describes, or -1.
int OfferedSizeIndex(const AM_MEDIA_TYPE& type)
{
    if (type.majortype != MEDIATYPE_Video || type.subtype != MEDIASUBTYPE_RGB24) return -1;
    const VIDEOINFOHEADER* info = DShow::VideoInfoOf(type);
    if (!info || info->bmiHeader.biBitCount != 24 || info->bmiHeader.biCompression != BI_RGB) return -1;
    for (int i = 0; i < TestCamera::kOfferedSizeCount; ++i) {
        if (info->bmiHeader.biWidth == TestCamera::kOfferedSizes[i].width &&
            info->bmiHeader.biHeight == TestCamera::kOfferedSizes[i].height)
            return i;
    }
    return -1;
}

class CameraPin : public DShow::SourceStreamPin, public IKsPropertySet, public IAMStreamConfig {
public:
    explicit CameraPin(DShow::BaseFilter& filter) : SourceStreamPin(filter, L"Capture", TestCamera::kFrameIntervalMs) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return BasePin::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override
    {
        int index = OfferedSizeIndex(type);
        if (index < 0) return S_FALSE;
        if (chosen_ >= 0 && index != chosen_) return S_FALSE;
        return S_OK;
    }

    HRESULT GetMediaType(int index, DShow::MediaType& type) override
    {
        if (chosen_ >= 0) {
            if (index != 0) return VFW_S_NO_MORE_ITEMS;
            index = chosen_;
        } else if (index < 0 || index >= TestCamera::kOfferedSizeCount) {
            return VFW_S_NO_MORE_ITEMS;
        }
        type = TypeForSize(TestCamera::kOfferedSizes[index]);
        return S_OK;
    }

    HRESULT SetMediaType(const AM_MEDIA_TYPE& type) override
    {
        int index = OfferedSizeIndex(type);
        if (index < 0) return VFW_E_INVALIDMEDIATYPE;
        HRESULT hr = SourceStreamPin::SetMediaType(type);
        if (FAILED(hr)) return hr;
        const auto& size = TestCamera::kOfferedSizes[index];
        frame_ = TestCamera::DibFrame(size.width, size.height);
        return S_OK;
    }

    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES& request) override
    {
        request.cBuffers = request.cBuffers > 2 ? request.cBuffers : 2;
        request.cbBuffer = static_cast<long>(frame_.size());
        if (request.cbAlign <= 0) request.cbAlign = 1;
        ALLOCATOR_PROPERTIES actual{};
        HRESULT hr = allocator->SetProperties(&request, &actual);
        if (FAILED(hr)) return hr;
        return actual.cbBuffer >= request.cbBuffer ? S_OK : E_FAIL;
    }

    HRESULT FillBuffer(IMediaSample* sample) override
    {
        BYTE* data = nullptr;
        if (FAILED(sample->GetPointer(&data)) || !data) return E_FAIL;
        if (static_cast<size_t>(sample->GetSize()) < frame_.size()) return E_FAIL;
        std::memcpy(data, frame_.data(), frame_.size());
        return sample->SetActualDataLength(static_cast<long>(frame_.size()));
    }

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID, DWORD, void*, DWORD, void*, DWORD) override { return E_PROP_ID_UNSUPPORTED; }

    STDMETHODIMP Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD size, DWORD* returned) override
    {
        if (set != kPinPropertySet) return E_PROP_SET_UNSUPPORTED;
        if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
        if (returned) *returned = sizeof(GUID);
        if (!data) return returned ? S_OK : E_POINTER;
        if (size < sizeof(GUID)) return E_UNEXPECTED;
        std::memcpy(data, &PIN_CATEGORY_CAPTURE, sizeof(GUID));
        return S_OK;
    }

    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override
    {
        if (set != kPinPropertySet) return E_PROP_SET_UNSUPPORTED;
        if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
        if (support) *support = KSPROPERTY_SUPPORT_GET;
        return S_OK;
    }

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override
    {
        if (!type) return E_POINTER;
        DShow::Lock lock(filter_.FilterLock());
        if (filter_.State() != State_Stopped) return VFW_E_NOT_STOPPED;
        int index = OfferedSizeIndex(*type);
        if (index < 0) return VFW_E_INVALIDMEDIATYPE;
        if (IsConnected() && index != OfferedSizeIndex(ConnectedType().Get())) return VFW_E_ALREADY_CONNECTED;
        chosen_ = index;
        return S_OK;
    }

    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override
    {
        if (!type) return E_POINTER;
        return Com::guarded([&]() -> HRESULT {
            DShow::Lock lock(filter_.FilterLock());
            DShow::MediaType current;
            if (IsConnected())
                current = ConnectedType();
            else
                current = TypeForSize(TestCamera::kOfferedSizes[chosen_ >= 0 ? chosen_ : 0]);
            *type = DShow::CreateMediaType(current.Get());
            return *type ? S_OK : E_OUTOFMEMORY;
        });
    }

    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override
    {
        if (!count || !size) return E_POINTER;
        *count = TestCamera::kOfferedSizeCount;
        *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
        return S_OK;
    }

    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override
    {
        if (!type || !caps) return E_POINTER;
        if (index < 0 || index >= TestCamera::kOfferedSizeCount) return S_FALSE;
        return Com::guarded([&]() -> HRESULT {
            const auto& size = TestCamera::kOfferedSizes[index];
            DShow::MediaType offered = TypeForSize(size);
            *type = DShow::CreateMediaType(offered.Get());
            if (!*type) return E_OUTOFMEMORY;
            VIDEO_STREAM_CONFIG_CAPS config{};
            config.guid = FORMAT_VideoInfo;
            config.InputSize = {size.width, size.height};
            config.MinCroppingSize = config.MaxCroppingSize = config.InputSize;
            config.MinOutputSize = config.MaxOutputSize = config.InputSize;
            config.CropGranularityX = config.CropGranularityY = 1;
            config.CropAlignX = config.CropAlignY = 1;
            config.OutputGranularityX = config.OutputGranularityY = 1;
            config.MinFrameInterval = config.MaxFrameInterval =
                static_cast<LONGLONG>(TestCamera::kFrameIntervalMs) * 10000;
            LONG bits = static_cast<LONG>(TestCamera::StrideOf(size.width) * static_cast<size_t>(size.height) * 8 *
                (1000 / TestCamera::kFrameIntervalMs));
            config.MinBitsPerSecond = config.MaxBitsPerSecond = bits;
            std::memcpy(caps, &config, sizeof config);
            return S_OK;
        });
    }

protected:
    HRESULT QueryExtraInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IKsPropertySet)
            *out = static_cast<IKsPropertySet*>(this);
        else if (iid == IID_IAMStreamConfig)
            *out = static_cast<IAMStreamConfig*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

private:
    int chosen_ = -1;
    std::vector<uint8_t> frame_;
};

class TestCameraFilter : public DShow::SourceFilter {
public:
    TestCameraFilter() : SourceFilter(TestCamera::kClsid, TestCamera::kFriendlyName), pin_(*this)
    {
        AddPin(pin_);
        ++g_liveObjects;
        g_lastFilter = this;
    }
    ~TestCameraFilter() override
    {
        Stop();
        --g_liveObjects;
        IBaseFilter* self = this;
        g_lastFilter.compare_exchange_strong(self, nullptr);
    }

private:
    CameraPin pin_;
};

class CameraClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Com::guarded([&] {
            auto* filter = new TestCameraFilter();
            HRESULT hr = filter->QueryInterface(iid, out);
            filter->Release();
            return hr;
        });
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        lock ? ++g_serverLocks : --g_serverLocks;
        return S_OK;
    }
};

CameraClassFactory g_factory;

const wchar_t kClassKey[] = L"CLSID\\{775B2C1D-6DF4-4D80-9A07-8D8E29563EDD}";

HRESULT RegisterClassKey()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (!length || length >= MAX_PATH) return E_FAIL;
    std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, server.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
        return SELFREG_E_CLASS;
    const wchar_t model[] = L"Both";
    LONG failed =
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), (length + 1) * sizeof(wchar_t));
    if (!failed)
        failed = RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model), sizeof model);
    RegCloseKey(key);
    return failed ? SELFREG_E_CLASS : S_OK;
}

HRESULT WithFilterMapper(HRESULT (*work)(IFilterMapper2*))
{
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT hr;
    {
        Com::ComPtr<IFilterMapper2> mapper;
        hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper.PutVoid());
        if (SUCCEEDED(hr)) hr = work(mapper.Get());
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return hr;
}

HRESULT RegisterInCategory(IFilterMapper2* mapper)
{
    REGPINTYPES pinType = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
    REGFILTERPINS pin{};
    pin.strName = const_cast<LPWSTR>(L"Capture");
    pin.bOutput = TRUE;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &pinType;
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins = 1;
    filter.rgPins = &pin;
    return mapper->RegisterFilter(
        TestCamera::kClsid, TestCamera::kFriendlyName, nullptr, &CLSID_VideoInputDeviceCategory, nullptr, &filter);
}

HRESULT UnregisterFromCategory(IFilterMapper2* mapper)
{
    return mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, TestCamera::kClsid);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != TestCamera::kClsid) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return g_liveObjects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}

// For tests that look at who holds the camera: the filter made last, with a
// reference for the caller, or null once it is gone.
extern "C" IBaseFilter* WINAPI TestCameraLastFilter()
{
    IBaseFilter* filter = g_lastFilter;
    if (filter) filter->AddRef();
    return filter;
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    return Com::guarded([] {
        HRESULT hr = RegisterClassKey();
        if (FAILED(hr)) return hr;
        return WithFilterMapper(&RegisterInCategory);
    });
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    return Com::guarded([] {
        HRESULT hr = WithFilterMapper(&UnregisterFromCategory);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
        return hr;
    });
}
