// Camtap.dll as its users drive it, against the test camera under Wine's real
// device enumerator, filter graph, capture graph builder and sample grabber. A
// second process (vcshare_reader) opens "VC_SHARE" and waits for the camera's
// picture, packed and bottom-up.
#include "CamtapApi.h"
#include "ModuleExport.h"
#include "ProgramPath.h"
#include "camera/CameraRegistration.h"
#include "camera/TestPattern.h"

#include <windows.h>
#include <dshow.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kCamera = TestCamera::kFriendlyNameAnsi;

// Waits for a handle while letting the apartment's messages through.
void WaitPumping(HANDLE handle, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (GetTickCount() - start > timeoutMs) return;
    }
}

// Runs the reader in its own process; its exit code (or -1).
int ReadInOtherProcess(int width, int height, size_t bytes = 0)
{
    std::wstring command = L"\"" + test_support::besideThisProgram(L"vcshare_reader.exe") + L"\" " +
        std::to_wstring(width) + L" " + std::to_wstring(height);
    if (bytes) command += L" " + std::to_wstring(bytes);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    WaitPumping(process.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// Spoils the first pixel of the frame buffer: only a later frame mends it.
void ClearVideoShare()
{
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"VC_SHARE");
    ASSERT_NE(mapping, nullptr);
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    std::memset(view, 0, 3);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

// True when the spoiled first pixel stays spoiled over ten frame intervals.
bool NoFrameArrives()
{
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"VC_SHARE");
    if (!mapping) return false;
    auto* view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 3));
    Sleep(10 * TestCamera::kFrameIntervalMs);
    bool untouched = view && view[0] == 0 && view[1] == 0 && view[2] == 0;
    if (view) UnmapViewOfFile(view);
    CloseHandle(mapping);
    return untouched;
}

// A "VC_SHARE" made before the library, smaller than any frame, held by the test.
class HeldMapping {
public:
    explicit HeldMapping(DWORD bytes)
    {
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, L"VC_SHARE");
        view_ = mapping_ ? static_cast<uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
    }
    ~HeldMapping()
    {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
    }
    uint8_t* View() const { return view_; }

private:
    HANDLE mapping_ = nullptr;
    uint8_t* view_ = nullptr;
};

class CamtapLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() { camera_ = new TestCamera::Registration(); }
    static void TearDownTestSuite()
    {
        delete camera_;
        camera_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(camera_->FirstResult(), S_OK); }
    void TearDown() override { capture_Destroy(); }

    static TestCamera::Registration* camera_;
};

TestCamera::Registration* CamtapLibrary::camera_ = nullptr;

enum class Setup { Plain, NoCameraRegistered, SmallerMappingHeld };

struct CaptureCase {
    const char* name;
    const char* camera;
    int width;
    int height;
    Setup setup;
    int initResult;
};

class CamtapCapture : public CamtapLibrary, public ::testing::WithParamInterface<CaptureCase> {};

constexpr DWORD kHeldMappingBytes = 8192;  // two pages, far below 160x120x3

TEST_P(CamtapCapture, FrameReachesTheOtherProcess)
{
    const CaptureCase& c = GetParam();
    std::unique_ptr<HeldMapping> held;
    if (c.setup == Setup::NoCameraRegistered) {
        ASSERT_EQ(camera_->Unregister(), S_OK);
    }
    if (c.setup == Setup::SmallerMappingHeld) {
        held = std::make_unique<HeldMapping>(kHeldMappingBytes);
        ASSERT_NE(held->View(), nullptr);
    }

    int init = capture_Init(c.camera, c.width, c.height);
    if (c.setup == Setup::NoCameraRegistered) {
        ASSERT_EQ(camera_->Register(), S_OK);
    }
    ASSERT_EQ(init, c.initResult);
    if (c.initResult != 0) {
        EXPECT_EQ(capture(), 1);
        return;
    }
    ASSERT_EQ(capture(), 0);
    if (c.setup != Setup::SmallerMappingHeld) {
        EXPECT_EQ(ReadInOtherProcess(c.width, c.height), 0);
        return;
    }
    // The library's view ends where the mapping does: a copy of the whole
    // frame would run off it on the streaming thread.
    EXPECT_EQ(ReadInOtherProcess(c.width, c.height, kHeldMappingBytes), 0);
    EXPECT_EQ(capture_Stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cameras, CamtapCapture,
    ::testing::Values(CaptureCase{"exact_name", kCamera, 320, 240, Setup::Plain, 0},
        CaptureCase{"offered_smaller_size", kCamera, 160, 120, Setup::Plain, 0},
        CaptureCase{"padded_rows", kCamera, 66, 50, Setup::Plain, 0},
        CaptureCase{"name_in_other_case", "stagecast test camera", 320, 240, Setup::Plain, 1},
        CaptureCase{"name_prefix_only", "Stagecast Test", 320, 240, Setup::Plain, 1},
        CaptureCase{"no_camera_registered", kCamera, 320, 240, Setup::NoCameraRegistered, 1},
        CaptureCase{"size_not_offered", kCamera, 200, 150, Setup::Plain, 1},
        CaptureCase{"smaller_mapping_held_open", kCamera, 160, 120, Setup::SmallerMappingHeld, 0},
        CaptureCase{"no_name", nullptr, 320, 240, Setup::Plain, 1},
        CaptureCase{"zero_width", kCamera, 0, 240, Setup::Plain, 1},
        CaptureCase{"negative_height", kCamera, 320, -240, Setup::Plain, 1},
        CaptureCase{"absurd_size", kCamera, 40000, 40000, Setup::Plain, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct Step {
    enum Op { Init, Capture, Stop, Destroy, ClearFrame, ExpectFrame, ExpectNoFrame } op;
    const char* camera = nullptr;
    int width = 0;
    int height = 0;
    int expected = 0;
};

Step InitStep(const char* camera, int width, int height, int expected)
{
    return {Step::Init, camera, width, height, expected};
}
Step CaptureStep(int expected)
{
    return {Step::Capture, nullptr, 0, 0, expected};
}
Step StopStep()
{
    return {Step::Stop};
}
Step DestroyStep()
{
    return {Step::Destroy};
}
Step ClearStep()
{
    return {Step::ClearFrame};
}
Step FrameStep(int width, int height)
{
    return {Step::ExpectFrame, nullptr, width, height, 0};
}
Step NoFrameStep()
{
    return {Step::ExpectNoFrame};
}

struct LifecycleCase {
    const char* name;
    std::vector<Step> steps;
};

class CamtapLifecycle : public CamtapLibrary, public ::testing::WithParamInterface<LifecycleCase> {};

TEST_P(CamtapLifecycle, StepsGiveTheirResults)
{
    int index = 0;
    for (const Step& step : GetParam().steps) {
        SCOPED_TRACE("step " + std::to_string(index++));
        switch (step.op) {
        case Step::Init: ASSERT_EQ(capture_Init(step.camera, step.width, step.height), step.expected); break;
        case Step::Capture: ASSERT_EQ(capture(), step.expected); break;
        case Step::Stop: ASSERT_EQ(capture_Stop(), 0); break;
        case Step::Destroy: capture_Destroy(); break;
        case Step::ClearFrame: ClearVideoShare(); break;
        case Step::ExpectFrame: ASSERT_EQ(ReadInOtherProcess(step.width, step.height), 0); break;
        case Step::ExpectNoFrame: ASSERT_TRUE(NoFrameArrives()); break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sequences, CamtapLifecycle,
    ::testing::Values(
        LifecycleCase{"calls_before_init", {CaptureStep(1), StopStep(), DestroyStep(), DestroyStep(), CaptureStep(1)}},
        LifecycleCase{"init_capture_stop_capture_destroy_destroy",
            {InitStep(kCamera, 160, 120, 0), CaptureStep(0), FrameStep(160, 120), StopStep(), ClearStep(),
                NoFrameStep(), CaptureStep(0), FrameStep(160, 120), DestroyStep(), DestroyStep(), CaptureStep(1),
                StopStep()}},
        LifecycleCase{"init_twice_builds_anew",
            {InitStep(kCamera, 160, 120, 0), CaptureStep(0), FrameStep(160, 120), InitStep(kCamera, 320, 240, 0),
                CaptureStep(0), FrameStep(320, 240)}},
        LifecycleCase{"failed_init_leaves_nothing_to_run",
            {InitStep("No Such Camera", 160, 120, 1), CaptureStep(1), StopStep(), DestroyStep(), CaptureStep(1)}},
        LifecycleCase{"refused_size_keeps_the_running_camera",
            {InitStep(kCamera, 66, 50, 0), CaptureStep(0), InitStep(kCamera, 0, 50, 1), ClearStep(),
                FrameStep(66, 50)}},
        LifecycleCase{"init_after_destroy",
            {InitStep(kCamera, 320, 240, 0), CaptureStep(0), DestroyStep(), InitStep(kCamera, 66, 50, 0),
                CaptureStep(0), FrameStep(66, 50)}}),
    [](const auto& info) { return std::string(info.param.name); });

// Waits in this process for the first bytes of the picture.
bool FrameArrives(int width, int height)
{
    std::vector<uint8_t> expected = TestCamera::PackedFrame(width, height);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"VC_SHARE");
    if (!mapping) return false;
    auto* view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, expected.size()));
    bool seen = false;
    for (int attempt = 0; view && attempt < 1000 && !seen; ++attempt) {
        seen = std::memcmp(view, expected.data(), expected.size()) == 0;
        if (!seen) Sleep(10);
    }
    if (view) UnmapViewOfFile(view);
    CloseHandle(mapping);
    return seen;
}

// The graph alone holds the camera once capture_Init has built it: taken out
// of the graph, the camera's filter goes, and the library still tears down and
// builds again without it.
TEST_F(CamtapLibrary, OnlyTheGraphHoldsTheCameraAfterInit)
{
    using LastFilter = IBaseFilter*(WINAPI*)();
    auto lastFilter = moduleExport<LastFilter>(GetModuleHandleW(L"TestCamera.dll"), "TestCameraLastFilter");
    ASSERT_NE(lastFilter, nullptr);
    ASSERT_EQ(capture_Init(kCamera, 160, 120), 0);
    IBaseFilter* camera = lastFilter();
    ASSERT_NE(camera, nullptr);
    FILTER_INFO info{};
    ASSERT_EQ(camera->QueryFilterInfo(&info), S_OK);
    ASSERT_NE(info.pGraph, nullptr);
    EXPECT_EQ(info.pGraph->RemoveFilter(camera), S_OK);
    info.pGraph->Release();
    camera->Release();
    EXPECT_EQ(lastFilter(), nullptr) << "a reference besides the graph's keeps the camera";
    capture_Destroy();
    ASSERT_EQ(capture_Init(kCamera, 160, 120), 0);
    ASSERT_EQ(capture(), 0);
    EXPECT_TRUE(FrameArrives(160, 120));
}

// The number of handles this process holds, from the system's handle table
// (the handle-count query of kernel32 answers 0 under Wine).
DWORD OwnHandleCount()
{
    struct Entry {
        void* object;
        ULONG_PTR processId;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    using QuerySystem = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    auto query = moduleExport<QuerySystem>(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
    if (!query) return 0;
    std::vector<uint8_t> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        LONG status =
            query(64 /* extended handle information */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == static_cast<LONG>(0xC0000004) /* length mismatch */) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0) return 0;
        break;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    DWORD own = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i) own += table->entries[i].processId == GetCurrentProcessId();
    return own;
}

// What one capture_Init asks of the platform, without the library: a filter
// graph, and a walk over the video input devices reading their names.
void PlatformStepsOfOneInit()
{
    IGraphBuilder* graph = nullptr;
    if (SUCCEEDED(CoCreateInstance(
            CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(&graph))))
        graph->Release();
    ICreateDevEnum* devices = nullptr;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
            reinterpret_cast<void**>(&devices))))
        return;
    IEnumMoniker* monikers = nullptr;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) == S_OK && monikers) {
        IMoniker* device = nullptr;
        while (monikers->Next(1, &device, nullptr) == S_OK) {
            IPropertyBag* bag = nullptr;
            if (SUCCEEDED(device->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
                VARIANT name;
                VariantInit(&name);
                bag->Read(L"FriendlyName", &name, nullptr);
                VariantClear(&name);
                bag->Release();
            }
            device->Release();
        }
        monikers->Release();
    }
    devices->Release();
}

// Handles gained over five runs of cycle, after two runs to warm up.
template <class Cycle>
long HandlesGainedOverCycles(Cycle cycle)
{
    for (int i = 0; i < 2; ++i) cycle();
    long before = static_cast<long>(OwnHandleCount());
    for (int i = 0; i < 5; ++i) cycle();
    return static_cast<long>(OwnHandleCount()) - before;
}

// Wine's filter graph and device enumerator keep a few handles per use; what
// must stay flat is what the library itself holds, so the same platform steps
// are measured beside it.
TEST_F(CamtapLibrary, HandleCountStaysFlatOverCycles)
{
    ASSERT_GT(OwnHandleCount(), 0u);
    long library = HandlesGainedOverCycles([] {
        ASSERT_EQ(capture_Init(kCamera, 160, 120), 0);
        ASSERT_EQ(capture(), 0);
        ASSERT_TRUE(FrameArrives(160, 120));
        ASSERT_EQ(capture_Stop(), 0);
        ASSERT_EQ(capture_Init(kCamera, 66, 50), 0);
        ASSERT_EQ(capture(), 0);
        ASSERT_TRUE(FrameArrives(66, 50));
        capture_Destroy();
    });
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    long platform = HandlesGainedOverCycles([] {
        PlatformStepsOfOneInit();
        PlatformStepsOfOneInit();
    });
    CoUninitialize();
    EXPECT_EQ(library, platform);
}

}  // namespace
