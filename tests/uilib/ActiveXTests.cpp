// The ActiveX host control in a real window under Xvfb: the project's test
// control activated windowless (drawn into the window, messages through the
// filter, capture) or windowed (a host window that follows the control), class
// ids and ProgIDs, delayed creation, modules without a class factory or
// without an OLE object, the site's interfaces after release, the container's
// enumerator, and every reference given back. Wine's web browser is the real
// windowed control.
#include "ActiveXUI.h"
#include "ContainerUI.h"
#include "InputDriver.h"
#include "axcontrol/AxTestControl.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace testui;

namespace {

const wchar_t kHosts[] =
    L"<Window size=\"400,300\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\" childpadding=\"10\" inset=\"10,10,10,10\">"
    L"  <ActiveX name=\"windowless\" height=\"60\" modulename=\"AxTestControl.dll\""
    L"     clsid=\"{6E3F1A10-5B2C-4D7E-9A41-0C2B7D9E1F01}\"/>"
    L"  <ActiveX name=\"windowed\" height=\"50\" modulename=\"AxTestControl.dll\""
    L"     clsid=\"{6E3F1A10-5B2C-4D7E-9A41-0C2B7D9E1F02}\"/>"
    L"  <ActiveX name=\"browser\" height=\"80\" modulename=\"gdi32.dll\" clsid=\"Shell.Explorer.2\"/>"
    L"  <Control name=\"rest\"/>"
    L"</VerticalLayout></Window>";

struct OleSession {
    OleSession() { OleInitialize(nullptr); }
    ~OleSession() { OleUninitialize(); }
};

class ActiveXHost : public WindowFixture {
protected:
    ActiveXHost() : WindowFixture(kHosts) {}
    void SetUp() override
    {
        module = LoadLibraryW(L"AxTestControl.dll");
        ASSERT_NE(nullptr, module);
        stats = reinterpret_cast<AxTestStatsFn>(reinterpret_cast<void*>(GetProcAddress(module, "AxTestGetStats")))();
        takeSite = reinterpret_cast<AxTestSiteFn>(reinterpret_cast<void*>(GetProcAddress(module, "AxTestGetSite")));
        WindowFixture::SetUp();
        input.activate();
    }
    void TearDown() override
    {
        // The controls (and their objects) go before the window does.
        if (CControlUI* r = frame.control(L"root")) static_cast<CContainerUI*>(r)->RemoveAll();
        pump(4);
        WindowFixture::TearDown();
        if (IOleClientSite* site = takeSite()) site->Release();
        EXPECT_EQ(0, stats->liveObjects);
        EXPECT_EQ(0, CActiveXUI::GetLiveHostObjects());
        FreeLibrary(module);
    }
    CActiveXUI* host(const wchar_t* name) { return static_cast<CActiveXUI*>(frame.control(name)); }
    CContainerUI* root() { return static_cast<CContainerUI*>(frame.control(L"root")); }
    OleSession ole;
    HMODULE module = nullptr;
    AxTestStats* stats = nullptr;
    AxTestSiteFn takeSite = nullptr;
    InputDriver input{frame};
};

bool sameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

}  // namespace

TEST_F(ActiveXHost, WindowlessObjectDrawsIntoTheWindowAndTakesItsMessages)
{
    CActiveXUI* ax = host(L"windowless");
    ASSERT_TRUE(ax->IsInPlaceActive());
    EXPECT_TRUE(ax->IsWindowless());
    EXPECT_EQ(frame.GetWindowHandle(), ax->GetHostWindow());
    POINT centre = centreOf(ax);
    EXPECT_EQ(0x3366CCu, printedPixel(frame, centre.x, centre.y));
    EXPECT_GT(stats->draws, 0);

    // Mouse messages over it reach it; outside it, only while it holds the capture.
    long before = stats->windowMessages;
    input.moveTo(centre);
    EXPECT_GT(stats->windowMessages, before);
    input.moveTo(centreOf(frame.control(L"rest")));
    before = stats->windowMessages;
    input.moveTo(POINT{centre.x, ax->GetPos().bottom + 30});
    EXPECT_EQ(before, stats->windowMessages);
    input.moveTo(centre);
    input.mouse(MOUSEEVENTF_LEFTDOWN);
    input.moveTo(POINT{centre.x, ax->GetPos().bottom + 30});
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEMOVE), stats->lastMessage);
    before = stats->windowMessages;
    input.mouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(static_cast<UINT>(WM_LBUTTONUP), stats->lastMessage);
    input.moveTo(POINT{centre.x, ax->GetPos().bottom + 40});
    EXPECT_EQ(before + 1, stats->windowMessages) << "capture released";
}

TEST_F(ActiveXHost, TheWheelReachesAWindowlessObjectUnderTheCursor)
{
    // Away from the screen's corner the wheel's screen point is not the window's point.
    SetWindowPos(frame, nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    pump(4);
    CActiveXUI* ax = host(L"windowless");
    ASSERT_TRUE(ax->IsInPlaceActive());
    input.wheel(centreOf(ax), 1);
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEWHEEL), stats->lastMessage);
    input.moveTo(centreOf(frame.control(L"rest")));
    long before = stats->windowMessages;
    input.wheel(centreOf(frame.control(L"rest")), -1);
    EXPECT_EQ(before, stats->windowMessages) << "not under the cursor";
}

TEST_F(ActiveXHost, WindowedObjectLivesInAHostWindowThatFollowsTheControl)
{
    CActiveXUI* ax = host(L"windowed");
    ASSERT_TRUE(ax->IsInPlaceActive());
    EXPECT_FALSE(ax->IsWindowless());
    HWND window = ax->GetHostWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, stats->hostWindow);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    EXPECT_STREQ(L"ActiveXWnd", name);
    EXPECT_EQ(frame.GetWindowHandle(), GetParent(window));
    EXPECT_TRUE(sameRect(ax->GetPos(), windowRectIn(window, frame)));
    RECT origin = ax->GetPos();
    OffsetRect(&origin, -origin.left, -origin.top);
    EXPECT_TRUE(sameRect(origin, stats->objectRect));

    RECT moved{20, 200, 120, 240};
    ax->SetPos(moved);
    EXPECT_TRUE(sameRect(moved, windowRectIn(window, frame)));
    ax->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(window));
    ax->SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(ActiveXHost, WineBrowserIsHostedWindowedThroughAModuleWithoutAClassFactory)
{
    CActiveXUI* browser = host(L"browser");
    CLSID expected{};
    CLSIDFromString(L"{8856F961-340A-11D0-A96B-00C04FD705A2}", &expected);
    EXPECT_TRUE(IsEqualCLSID(expected, browser->GetClisd()));
    ASSERT_TRUE(browser->IsInPlaceActive());
    HWND window = browser->GetHostWindow();
    ASSERT_NE(nullptr, window);
    HWND embedding = FindWindowExW(window, nullptr, L"Shell Embedding", nullptr);
    ASSERT_NE(nullptr, embedding);
    EXPECT_TRUE(IsWindowVisible(embedding));
    RECT moved{30, 210, 230, 280};
    browser->SetPos(moved);
    EXPECT_TRUE(sameRect(moved, windowRectIn(window, frame)));
}

TEST_F(ActiveXHost, ClassIdsProgIdsAndDelayedCreation)
{
    auto* ax = new CActiveXUI;
    EXPECT_FALSE(ax->CreateControl(CLSID_NULL));
    EXPECT_FALSE(ax->CreateControl(L"No.Such.ProgId"));
    EXPECT_FALSE(ax->CreateControl(L"{not a class id}"));
    ax->SetModuleName(L"AxTestControl.dll");
    ASSERT_TRUE(ax->CreateControl(L"{6E3F1A10-5B2C-4D7E-9A41-0C2B7D9E1F01}"));
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_PENDING, ax->GetControl(IID_IUnknown, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, ax->GetControl(IID_IUnknown, nullptr));
    ASSERT_TRUE(root()->Add(ax));
    long live = stats->liveObjects;
    EXPECT_EQ(E_PENDING, ax->GetControl(IID_IUnknown, reinterpret_cast<void**>(&object)));
    // The first layout creates it.
    pumpUntil([&] { return ax->IsInPlaceActive(); });
    EXPECT_EQ(live + 1, stats->liveObjects);
    ASSERT_EQ(S_OK, ax->GetControl(IID_IOleObject, reinterpret_cast<void**>(&object)));
    object->Release();
    EXPECT_TRUE(root()->Remove(ax));
    pump(4);
    EXPECT_EQ(live, stats->liveObjects);

    // Without delay the object comes at once.
    CActiveXUI now;
    now.SetManager(&frame.GetManager(), nullptr, false);
    now.SetModuleName(L"AxTestControl.dll");
    now.SetAttribute(L"delaycreate", L"false");
    EXPECT_TRUE(now.CreateControl(CLSID_AxTestWindowed));
    EXPECT_EQ(live + 1, stats->liveObjects);
    now.ReleaseControl();
    EXPECT_EQ(live, stats->liveObjects);
}

// A control told to create its object before it has a window.
CActiveXUI* windowlessWithoutManager()
{
    auto* ax = new CActiveXUI;
    ax->SetModuleName(L"AxTestControl.dll");
    ax->SetDelayCreate(false);
    EXPECT_FALSE(ax->CreateControl(CLSID_AxTestWindowless));
    EXPECT_FALSE(ax->IsInPlaceActive());
    return ax;
}

TEST_F(ActiveXHost, AnObjectAskedForBeforeTheWindowIsCreatedAtTheFirstLayout)
{
    CActiveXUI* ax = windowlessWithoutManager();
    ASSERT_TRUE(root()->Add(ax));
    EXPECT_TRUE(pumpUntil([&] { return ax->IsInPlaceActive(); }));
    EXPECT_TRUE(ax->IsWindowless());
}

TEST_F(ActiveXHost, TheSiteOfAControlWithoutAManagerRefusesActivation)
{
    CActiveXUI* ax = windowlessWithoutManager();
    ASSERT_TRUE(root()->Add(ax));
    ASSERT_TRUE(pumpUntil([&] { return ax->IsInPlaceActive(); }));
    IOleClientSite* site = takeSite();  // this control's, the last one made
    ASSERT_NE(nullptr, site);
    IOleInPlaceSiteEx* siteEx = nullptr;
    ASSERT_EQ(S_OK, site->QueryInterface(IID_IOleInPlaceSiteEx, reinterpret_cast<void**>(&siteEx)));
    ax->SetManager(nullptr, root(), false);
    BOOL noRedraw = FALSE;
    EXPECT_EQ(E_UNEXPECTED, siteEx->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS));
    EXPECT_EQ(E_UNEXPECTED, siteEx->OnInPlaceActivate());
    ax->SetManager(&frame.GetManager(), root(), false);
    EXPECT_TRUE(ax->IsInPlaceActive()) << "nothing changed";
    siteEx->Release();
    site->Release();
}

TEST_F(ActiveXHost, AModuleWhoseObjectIsNoOleControlIsRefusedAndNothingElseChanges)
{
    CActiveXUI plexhost;
    plexhost.SetManager(&frame.GetManager(), nullptr, false);
    plexhost.SetModuleName(L"Plexhost.dll");
    plexhost.SetDelayCreate(false);
    EXPECT_FALSE(plexhost.CreateControl(L"{F6A91ECD-F6BF-442D-A1F8-1D84A0E36024}"));
    void* object = nullptr;
    EXPECT_EQ(E_PENDING, plexhost.GetControl(IID_IUnknown, &object));
    EXPECT_TRUE(host(L"windowless")->IsInPlaceActive());
    POINT centre = centreOf(host(L"windowless"));
    EXPECT_EQ(0x3366CCu, printedPixel(frame, centre.x, centre.y));
}

TEST_F(ActiveXHost, TheSiteAnswersItsInterfacesAndNothingAfterRelease)
{
    // The last site handed out: the windowed control's.
    CActiveXUI* ax = host(L"windowed");
    IOleClientSite* site = takeSite();
    ASSERT_NE(nullptr, site);
    const IID* answered[] = {&IID_IUnknown, &IID_IOleClientSite, &IID_IOleInPlaceSiteWindowless, &IID_IOleInPlaceSiteEx,
        &IID_IOleInPlaceSite, &IID_IOleWindow, &IID_IOleControlSite, &IID_IObjectWithSite, &IID_IOleContainer};
    for (const IID* iid : answered) {
        IUnknown* part = nullptr;
        EXPECT_EQ(S_OK, site->QueryInterface(*iid, reinterpret_cast<void**>(&part)));
        if (part) part->Release();
    }
    IUnknown* none = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_NOINTERFACE, site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&none)));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, site->QueryInterface(IID_IUnknown, nullptr));
    // One accelerator table per site, whichever call asks.
    EXPECT_NE(nullptr, stats->accelerators[0]);
    EXPECT_EQ(stats->accelerators[0], stats->accelerators[1]);

    IOleInPlaceSiteWindowless* windowless = nullptr;
    ASSERT_EQ(S_OK, site->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&windowless)));
    HWND window = nullptr;
    EXPECT_EQ(S_OK, windowless->GetWindow(&window));
    EXPECT_EQ(ax->GetHostWindow(), window);
    EXPECT_EQ(E_POINTER, windowless->GetWindowContext(nullptr, nullptr, nullptr, nullptr, nullptr));

    ax->ReleaseControl();
    EXPECT_EQ(1, stats->liveObjects);
    EXPECT_EQ(0, stats->frameRefsLeft);
    EXPECT_EQ(E_UNEXPECTED, windowless->GetWindow(&window));
    EXPECT_EQ(E_UNEXPECTED, windowless->CanInPlaceActivate());
    EXPECT_EQ(E_UNEXPECTED, site->ShowObject());
    windowless->Release();
    EXPECT_EQ(0u, site->Release());
}

TEST_F(ActiveXHost, TheContainerEnumeratesItsOneObject)
{
    IOleClientSite* site = takeSite();
    ASSERT_NE(nullptr, site);
    IOleContainer* container = nullptr;
    ASSERT_EQ(S_OK, site->GetContainer(&container));
    IEnumUnknown* objects = nullptr;
    ASSERT_EQ(S_OK, container->EnumObjects(OLECONTF_EMBEDDINGS, &objects));
    IUnknown* got[3] = {};
    ULONG fetched = 9;
    EXPECT_EQ(S_OK, objects->Next(1, got, &fetched));
    EXPECT_EQ(1u, fetched);
    ASSERT_NE(nullptr, got[0]);
    got[0]->Release();
    EXPECT_EQ(S_FALSE, objects->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_OK, objects->Reset());
    got[0] = nullptr;
    EXPECT_EQ(S_FALSE, objects->Next(3, got, &fetched));
    EXPECT_EQ(1u, fetched);
    if (got[0]) got[0]->Release();
    EXPECT_EQ(nullptr, got[1]);
    objects->Reset();
    EXPECT_EQ(E_INVALIDARG, objects->Next(2, got, nullptr));
    EXPECT_EQ(S_OK, objects->Next(1, got, nullptr));
    got[0]->Release();
    objects->Reset();
    EXPECT_EQ(S_OK, objects->Skip(1));
    EXPECT_EQ(S_FALSE, objects->Next(1, got, &fetched));
    IEnumUnknown* clone = reinterpret_cast<IEnumUnknown*>(1);
    EXPECT_EQ(E_NOTIMPL, objects->Clone(&clone));
    EXPECT_EQ(nullptr, clone);
    objects->Release();
    container->Release();
    site->Release();
}

TEST_F(ActiveXHost, EveryReferenceComesBackWhenTheControlGoes)
{
    if (IOleClientSite* site = takeSite()) site->Release();
    ASSERT_EQ(2, stats->liveObjects);
    ASSERT_TRUE(root()->Remove(host(L"windowless")));
    pump(4);
    EXPECT_EQ(1, stats->liveObjects);
    EXPECT_EQ(1, stats->siteRefsLeft) << "only the control's own reference was left";
    EXPECT_EQ(0, stats->frameRefsLeft);
    HWND window = host(L"windowed")->GetHostWindow();
    ASSERT_TRUE(root()->Remove(host(L"windowed")));
    pump(4);
    EXPECT_EQ(0, stats->liveObjects);
    EXPECT_EQ(1, stats->siteRefsLeft);
    EXPECT_FALSE(IsWindow(window));
}
