// The ActiveX control as containers drive it, in process: sites given in the
// usual and in hostile orders, the property bag and the ready step, the safety
// options, windowless input and repaint requests. The control is linked in with
// a test factory (support/ControlTestFactory) whose core follows its
// "windowless" parameter.
#include "ControlTestFactory.h"
#include "FBControl.h"
#include "ControlContainer.h"
#include "PluginCore.h"
#include "PluginWindowWin.h"
#include "ScriptingSafety.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace {

using FB::ActiveX::FBControl0;
using ::testing::Contains;
using ::testing::ElementsAre;

class FBControlTest : public ::testing::Test {
public:
    void SetUp() override
    {
        controlTestRecord = ControlTestRecord();
        OleInitialize(nullptr);
        // The platform's own browser object stands for the container's.
        CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IWebBrowser2, browser.PutVoid());
        site = Com::ComPtr<PageSite>(new PageSite);
        site->browser = browser.Get();
        site->position = {100, 50, 400, 200};
        site->clip = {0, 0, 800, 600};
        // The container's window (never shown): a windowed control makes its window in it.
        container = CreateWindowExW(
            0, L"STATIC", L"container", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
        site->window = container;
        ASSERT_HRESULT_SUCCEEDED(Atl::ComObject<FBControl0>::Create(nullptr, IID_IOleObject, object.PutVoid()));
        control = dynamic_cast<FBControl0*>(static_cast<Atl::ControlBase*>(object.Get()));
        ASSERT_NE(control, nullptr);
    }
    void TearDown() override
    {
        control = nullptr;
        object = nullptr;
        site = nullptr;
        browser = nullptr;
        if (container) DestroyWindow(container);
        container = nullptr;
        OleUninitialize();
    }

    HRESULT load(std::vector<std::pair<std::wstring, std::wstring>> values, bool withBag2 = true)
    {
        Com::ComPtr<TextBag> bag(new TextBag(std::move(values)));
        bag->withBag2 = withBag2;
        Com::ComPtr<IPersistPropertyBag> persist;
        HRESULT hr = object.As(persist);
        return SUCCEEDED(hr) ? persist->Load(bag.Get(), nullptr) : hr;
    }
    HRESULT activate() { return object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, nullptr, nullptr); }
    // A member call through the control's dispatch: S_OK, or how it failed.
    HRESULT callEcho(VARIANT* result)
    {
        Com::ComPtr<IDispatchEx> dispatch;
        HRESULT hr = object.As(dispatch);
        if (FAILED(hr)) return hr;
        DISPID id = DISPID_UNKNOWN;
        hr = dispatch->GetDispID(Com::Bstr(L"echo").Get(), fdexNameCaseSensitive, &id);
        if (FAILED(hr)) return hr;
        VARIANT argument;
        V_VT(&argument) = VT_I4;
        V_I4(&argument) = 5;
        DISPPARAMS params{&argument, nullptr, 1, 0};
        return dispatch->InvokeEx(id, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    }
    // Runs the thread's messages until done says so or a second has passed.
    template <class Done>
    static bool pumpUntil(Done done)
    {
        for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
             std::chrono::steady_clock::now() < end;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    Com::ComPtr<IWebBrowser2> browser;
    HWND container = nullptr;
    Com::ComPtr<PageSite> site;
    Com::ComPtr<IOleObject> object;
    FBControl0* control = nullptr;
};

TEST_F(FBControlTest, TheReadyStepRunsOnceAndTellsThePage)
{
    ASSERT_TRUE(browser) << "no browser object to stand for the container's";
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"true"}}));
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"false"}}));
    EXPECT_EQ(controlTestRecord.paramSets, 2) << "the parameters are set each time";
    EXPECT_THAT(site->changes, ElementsAre(DISPID_READYSTATE)) << "the ready step only once";

    Com::ComPtr<IDispatch> dispatch;
    ASSERT_HRESULT_SUCCEEDED(object.As(dispatch));
    Com::Variant state;
    DISPPARAMS none{};
    ASSERT_HRESULT_SUCCEEDED(
        dispatch->Invoke(DISPID_READYSTATE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, state.Put(), nullptr, nullptr));
    EXPECT_EQ(V_VT(&state.Get()), VT_I4);
    EXPECT_EQ(V_I4(&state.Get()), READYSTATE_COMPLETE);

    Com::Variant echoed;
    EXPECT_EQ(callEcho(echoed.Put()), S_OK);
    EXPECT_EQ(V_I4(&echoed.Get()), 5);
}

TEST_F(FBControlTest, ABagWithoutIPropertyBag2GivesNoParameters)
{
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"true"}}, false));
    ASSERT_HRESULT_SUCCEEDED(activate());
    EXPECT_FALSE(control->isWindowless()) << "no parameters: windowed";
    EXPECT_EQ(GetParent(control->controlWindow()), container);
}

TEST_F(FBControlTest, SafetyOptions)
{
    Com::ComPtr<IObjectSafety> safety;
    ASSERT_HRESULT_SUCCEEDED(object.As(IID_IObjectSafety, safety));
    expectScriptingSafetyOptions(safety.Get(), IID_IPersistStreamInit);
}

// Each order a real container may use; none crashes, and a member call either
// works or fails with a COM code.
TEST_F(FBControlTest, HostileOrders)
{
    struct Order {
        const char* name;
        void (*run)(FBControlTest& t);
    };
    const Order orders[] = {
        {"SetSite then SetClientSite",
            [](FBControlTest& t) {
                Com::ComPtr<IObjectWithSite> withSite;
                ASSERT_HRESULT_SUCCEEDED(t.object.As(withSite));
                EXPECT_EQ(withSite->SetSite(static_cast<IServiceProvider*>(t.site.Get())), S_OK);
                auto first = t.control->browserHost();
                ASSERT_TRUE(first);
                EXPECT_EQ(t.object->SetClientSite(t.site.Get()), S_OK);
                auto second = t.control->browserHost();
                EXPECT_TRUE(second);
                EXPECT_NE(second, first) << "a later site gets a host of its own";
                EXPECT_TRUE(first->isShutDown());
                Com::Variant echoed;
                EXPECT_EQ(t.callEcho(echoed.Put()), S_OK) << "the bridge goes on through the new host";
            }},
        {"Load before any site",
            [](FBControlTest& t) {
                EXPECT_EQ(t.load({{L"answer", L"42"}}), S_OK);
                EXPECT_EQ(t.object->SetClientSite(t.site.Get()), S_OK);
                EXPECT_HRESULT_SUCCEEDED(t.activate());
            }},
        {"a site without IServiceProvider, then Load and activation",
            [](FBControlTest& t) {
                t.site->withServices = false;
                EXPECT_EQ(t.object->SetClientSite(t.site.Get()), E_FAIL);
                EXPECT_EQ(t.control->browserHost(), nullptr);
                EXPECT_EQ(t.load({{L"windowless", L"true"}}), S_OK);
                EXPECT_HRESULT_SUCCEEDED(t.activate());
                EXPECT_TRUE(t.control->isWindowless());
            }},
        {"SetClientSite(NULL) twice, then SetSite(NULL)",
            [](FBControlTest& t) {
                EXPECT_EQ(t.object->SetClientSite(t.site.Get()), S_OK);
                EXPECT_EQ(t.object->SetClientSite(nullptr), S_OK);
                EXPECT_EQ(t.object->SetClientSite(nullptr), S_OK);
                Com::ComPtr<IObjectWithSite> withSite;
                ASSERT_HRESULT_SUCCEEDED(t.object.As(withSite));
                EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
            }},
    };
    for (const Order& order : orders) {
        SCOPED_TRACE(order.name);
        TearDown();
        SetUp();
        order.run(*this);
        Com::Variant result;
        HRESULT hr = callEcho(result.Put());
        EXPECT_TRUE(hr == S_OK || hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) << std::hex << hr;
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
    }
}

TEST_F(FBControlTest, WindowlessInputTakesCaptureAndFocusThroughTheSite)
{
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"1"}}));
    ASSERT_HRESULT_SUCCEEDED(activate());
    ASSERT_TRUE(control->isWindowless());
    Com::ComPtr<IOleInPlaceObjectWindowless> windowless;
    ASSERT_HRESULT_SUCCEEDED(object.As(windowless));
    RECT position{100, 50, 400, 200}, clip{0, 0, 800, 600};
    ASSERT_HRESULT_SUCCEEDED(windowless->SetObjectRects(&position, &clip));

    // In place only: the click is the plug-in's, and the control stays as it is.
    LRESULT result = 0;
    EXPECT_EQ(windowless->OnWindowMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 60), &result), S_OK);
    EXPECT_EQ(windowless->OnWindowMessage(WM_LBUTTONUP, 0, MAKELPARAM(110, 60), &result), S_OK);
    EXPECT_FALSE(control->isUIActive());
    EXPECT_EQ(site->countOf("OnUIActivate"), 0u);
    EXPECT_EQ(site->countOf("SetCapture(1)"), 0u);

    ASSERT_HRESULT_SUCCEEDED(object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site.Get(), 0, nullptr, nullptr));
    ASSERT_TRUE(control->isUIActive());
    EXPECT_EQ(windowless->OnWindowMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 60), &result), S_OK);
    EXPECT_TRUE(site->captured);
    EXPECT_TRUE(site->focused);
    EXPECT_EQ(site->countOf("SetCapture(1)"), 1u);
    EXPECT_GE(site->countOf("SetFocus(1)"), 1u);
    EXPECT_EQ(windowless->OnWindowMessage(WM_LBUTTONUP, 0, MAKELPARAM(110, 60), &result), S_OK);
    EXPECT_FALSE(site->captured) << "button up gives the capture back";
    EXPECT_THAT(controlTestRecord.mouse, ElementsAre("down 0 10,10", "up 0 10,10", "down 0 10,10", "up 0 10,10"));
}

TEST_F(FBControlTest, AWindowedControlsPluginWindowLeavesUnhandledMessagesToTheDefault)
{
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"false"}}));
    ASSERT_HRESULT_SUCCEEDED(activate());
    auto* window = dynamic_cast<FB::PluginWindowWin*>(control->pluginWindowForTesting());
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->getPassThrough());
}

TEST_F(FBControlTest, RepaintRequestsReachTheSiteOnTheMainThread)
{
    control->invalidateArea(0, 0, 10, 10);  // no site yet: nothing to ask, nothing breaks
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"true"}}));
    control->invalidateArea(0, 0, 10, 10);  // not active: no in-place site
    EXPECT_EQ(site->countOf("InvalidateRect(null,1)"), 0u);
    ASSERT_HRESULT_SUCCEEDED(activate());

    control->invalidateArea(0, 0, 10, 10);
    EXPECT_EQ(site->countOf("InvalidateRect(null,1)"), 1u) << "at once on the main thread";

    std::thread([this] { control->invalidateArea(1, 2, 3, 4); }).join();
    EXPECT_EQ(site->countOf("InvalidateRect(null,1)"), 1u) << "not from the worker itself";
    EXPECT_TRUE(pumpUntil([&] { return site->countOf("InvalidateRect(null,1)") == 2; }));
    EXPECT_EQ(site->invalidateThreads.back(), GetCurrentThreadId());
    pumpUntil([] { return false; });
    EXPECT_EQ(site->countOf("InvalidateRect(null,1)"), 2u) << "exactly once";
}

// A site without services leaves the control without a host, and so without a
// road to the main thread: a worker's request never reaches the site.
TEST_F(FBControlTest, WithoutAHostOnlyTheMainThreadAsksForARepaint)
{
    site->withServices = false;
    EXPECT_EQ(object->SetClientSite(site.Get()), E_FAIL);
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"true"}}));
    ASSERT_HRESULT_SUCCEEDED(activate());
    ASSERT_TRUE(control->isWindowless());
    ASSERT_EQ(control->browserHost(), nullptr);
    control->invalidateArea(0, 0, 10, 10);
    std::thread([this] { control->invalidateArea(1, 2, 3, 4); }).join();
    pumpUntil([] { return false; });
    EXPECT_THAT(site->invalidateThreads, ElementsAre(GetCurrentThreadId()));
}

TEST_F(FBControlTest, ARepaintQueuedForAControlThatHasGoneReachesNothing)
{
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"true"}}));
    ASSERT_HRESULT_SUCCEEDED(activate());
    std::shared_ptr<FB::ActiveX::ActiveXBrowserHost> host = control->browserHost();
    std::thread([this] { control->invalidateArea(1, 2, 3, 4); }).join();
    object->Close(OLECLOSE_NOSAVE);
    object = nullptr;  // the control goes with its queued repaint
    control = nullptr;
    pumpUntil([] { return false; });
    EXPECT_EQ(site->countOf("InvalidateRect(null,1)"), 0u);
}

// A container that breaks the contract: by-reference arguments pointing nowhere
// arrive empty instead of being read through.
TEST_F(FBControlTest, ByReferenceArgumentsWithoutATargetArriveEmpty)
{
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    ASSERT_HRESULT_SUCCEEDED(load({}));
    Com::ComPtr<IDispatchEx> dispatch;
    ASSERT_HRESULT_SUCCEEDED(object.As(dispatch));
    DISPID echo = DISPID_UNKNOWN;
    ASSERT_HRESULT_SUCCEEDED(dispatch->GetDispID(Com::Bstr(L"echo").Get(), fdexNameCaseSensitive, &echo));
    VARIANT nowhere;
    V_VT(&nowhere) = VT_I4 | VT_BYREF;
    V_BYREF(&nowhere) = nullptr;
    const struct {
        const char* name;
        VARTYPE type;
        void* target;
    } cases[] = {
        {"integer", VT_I4, nullptr},
        {"text", VT_BSTR, nullptr},
        {"object", VT_DISPATCH, nullptr},
        {"variant", VT_VARIANT, nullptr},
        {"variant of a reference to nothing", VT_VARIANT, &nowhere},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VARIANT argument;
        V_VT(&argument) = c.type | VT_BYREF;
        V_BYREF(&argument) = c.target;
        DISPPARAMS params{&argument, nullptr, 1, 0};
        Com::Variant result;
        EXPECT_EQ(dispatch->InvokeEx(echo, 0, DISPATCH_METHOD, &params, result.Put(), nullptr, nullptr), S_OK);
        EXPECT_EQ(result.Type(), VT_EMPTY);
    }
}

TEST_F(FBControlTest, TeardownGivesEverySiteReferenceBack)
{
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    ASSERT_HRESULT_SUCCEEDED(load({{L"windowless", L"true"}}));
    ASSERT_HRESULT_SUCCEEDED(activate());
    ASSERT_HRESULT_SUCCEEDED(object->Close(OLECLOSE_NOSAVE));
    ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(nullptr));
    object = nullptr;
    control = nullptr;
    EXPECT_EQ(site->references(), 1u);
    EXPECT_EQ(FB::PluginCore::activeCount(), 0);
}

}  // namespace
