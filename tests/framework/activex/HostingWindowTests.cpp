// The control in the platform's own control-hosting window ("AtlAxWin" of
// atl.dll), an independent container: its site has no IServiceProvider, it asks
// for no property bag, and it tears the control down when its window goes.
//
// Windowed: the registered library (created by ProgID) gets its own window
// inside the hosting window, at the hosting window's size. Windowless: the
// application's core always asks for a window, so this program offers a class
// object of its own for the same class (the control linked in, over a core that
// asks for windowless activation); the hosting window then draws it, and the
// drawing shows "FrameBase Plugin" centred.
//
// With ACTIVEX_SCREENSHOTS set (a Windows folder), the hosting windows' pictures
// are written there as windowed.bmp and windowless.bmp.
#include "ComIdentifiers.h"
#include "FBControl.h"
#include "MemoryCanvas.h"
#include "MessagePump.h"
#include "BrowserRoads.h"
#include "ModuleExport.h"
#include "PluginCore.h"
#include "parvelplugin.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// A core that always asks for windowless activation.
class WindowlessCore : public parvelplugin {
public:
    bool wantsWindowless() override { return true; }
};

class WindowlessFactory : public FB::FactoryBase {
public:
    WindowlessFactory() : FB::FactoryBase(FB::browserRoads()) {}
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string&) override
    {
        return std::make_shared<WindowlessCore>();
    }
};

// The window's client area as the screen shows it.
std::unique_ptr<MemoryCanvas> pictureOf(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    auto picture = std::make_unique<MemoryCanvas>(client.right, client.bottom);
    picture->copyWindow(window);
    return picture;
}

// Pixels of the rectangle that are not the background (the first pixel).
int inkIn(const MemoryCanvas& picture, int left, int top, int right, int bottom)
{
    return picture.differing(left, top, right, bottom, picture.pixel(0, 0));
}

void pump(int milliseconds)
{
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        test_support::dispatchWaitingMessages();
        Sleep(10);
    }
}

void saveIfAsked(const MemoryCanvas& picture, const char* name)
{
    if (const char* folder = std::getenv("ACTIVEX_SCREENSHOTS"))
        picture.writeBmp(std::string(folder) + "\\" + name + ".bmp");
}

class HostingWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        atl = LoadLibraryW(L"atl.dll");
        ASSERT_NE(atl, nullptr);
        auto init = moduleExport<BOOL(WINAPI*)()>(atl, "AtlAxWinInit");
        ASSERT_NE(init, nullptr);
        static const BOOL initialized = init();  // once per process: its class stays registered
        ASSERT_TRUE(initialized);
        frame = CreateWindowExW(0, L"STATIC", L"hosting window", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0,
            0, 480, 320, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(frame, nullptr);
    }
    void TearDown() override
    {
        if (frame) DestroyWindow(frame);
        pump(100);
        OleUninitialize();
    }

    // A hosting window for the class named by text, inside the frame.
    HWND host(const wchar_t* name)
    {
        HWND window = CreateWindowExW(0, L"AtlAxWin", name, WS_CHILD | WS_VISIBLE, 40, 30, 320, 200, frame, nullptr,
            GetModuleHandleW(nullptr), nullptr);
        pump(300);
        return window;
    }
    Com::ComPtr<IUnknown> controlIn(HWND window)
    {
        auto get = moduleExport<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl");
        Com::ComPtr<IUnknown> control;
        if (get) get(window, control.Put());
        return control;
    }
    // A hosting window for the class named by name, the control it made (which
    // says what it is when it is missing) and the control's IOleWindow.
    void hostControl(const wchar_t* name, const char* which, HWND& window, Com::ComPtr<IUnknown>& control,
        Com::ComPtr<IOleWindow>& oleWindow)
    {
        window = host(name);
        ASSERT_NE(window, nullptr);
        control = controlIn(window);
        ASSERT_TRUE(control) << "the " << which << " class was not created";
        ASSERT_HRESULT_SUCCEEDED(control.As(oleWindow));
    }

    HMODULE atl = nullptr;
    HWND frame = nullptr;
};

TEST_F(HostingWindowTest, WindowedTheControlsWindowFillsTheHostingWindow)
{
    HWND window = nullptr;
    Com::ComPtr<IUnknown> control;
    Com::ComPtr<IOleWindow> oleWindow;
    ASSERT_NO_FATAL_FAILURE(hostControl(L"VQuorvanMG.parvelplugin", "registered", window, control, oleWindow));
    HWND own = nullptr;
    ASSERT_HRESULT_SUCCEEDED(oleWindow->GetWindow(&own));
    EXPECT_EQ(GetParent(own), window) << "a child of the hosting window";
    RECT hosting, mine;
    GetClientRect(window, &hosting);
    GetClientRect(own, &mine);
    EXPECT_EQ(mine.right, hosting.right);
    EXPECT_EQ(mine.bottom, hosting.bottom);
    EXPECT_TRUE(IsWindowVisible(own));
    saveIfAsked(*pictureOf(frame), "windowed");

    oleWindow = nullptr;
    control = nullptr;
    DestroyWindow(window);  // Close, InPlaceDeactivate, SetClientSite(NULL): no site services needed
    pump(100);
    EXPECT_FALSE(IsWindow(own));
}

// The class object this program offers for the control's class.
class LinkedClassObject : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        return Atl::ComObject<FB::ActiveX::FBControl0>::Create(outer, iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

TEST_F(HostingWindowTest, WindowlessTheHostingWindowDrawsTheControl)
{
    LinkedClassObject classObject;
    DWORD cookie = 0;
    ASSERT_HRESULT_SUCCEEDED(
        CoRegisterClassObject(CLSID_FBControl0, &classObject, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    HWND window = nullptr;
    Com::ComPtr<IUnknown> control;
    Com::ComPtr<IOleWindow> oleWindow;
    ASSERT_NO_FATAL_FAILURE(
        hostControl(L"{B648CEE1-0175-5981-90F3-4ED94064DFDF}", "linked", window, control, oleWindow));
    HWND own = nullptr;
    EXPECT_EQ(oleWindow->GetWindow(&own), E_FAIL) << "windowless: no window of its own";
    InvalidateRect(window, nullptr, TRUE);
    pump(300);

    std::unique_ptr<MemoryCanvas> picture = pictureOf(window);
    saveIfAsked(*pictureOf(frame), "windowless");
    const int w = picture->width, h = picture->height;
    EXPECT_GT(inkIn(*picture, w / 4, h / 2 - 12, 3 * w / 4, h / 2 + 6), 40) << "the text in the middle";
    EXPECT_EQ(inkIn(*picture, 0, 0, w, h / 4), 0) << "nothing in the top quarter";
    EXPECT_EQ(inkIn(*picture, 0, 3 * h / 4, w, h), 0) << "nothing in the bottom quarter";

    oleWindow = nullptr;
    control = nullptr;
    DestroyWindow(window);
    pump(100);
    CoRevokeClassObject(cookie);
    EXPECT_EQ(FB::PluginCore::activeCount(), 0) << "the control went with its hosting window";
}

}  // namespace

FB::FactoryBasePtr FB::getFactoryInstance()
{
    static FB::FactoryBasePtr factory = std::make_shared<WindowlessFactory>();
    return factory;
}
