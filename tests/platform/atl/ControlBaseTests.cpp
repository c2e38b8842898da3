// The standard half of an in-place control, driven as a container drives it
// through a recording site: windowless negotiation, activation and
// deactivation, drawing, messages, capture and focus through the site.
#include "ControlBase.h"
#include "FakeInPlaceSite.h"
#include "ObjectRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

using ::testing::ElementsAre;

const CLSID kTestControlId = {0x5e171e11, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10}};

class TestControl : public Atl::ObjectRoot, public Atl::ControlBase {
public:
    static const Atl::InterfaceEntry* interfaceEntries()
    {
        static const Atl::InterfaceEntry entries[] = {Atl::entry<TestControl, IOleObject>(IID_IOleObject),
            Atl::entry<TestControl, IOleInPlaceObjectWindowless>(IID_IOleInPlaceObjectWindowless),
            Atl::entry<TestControl, IOleInPlaceObjectWindowless>(IID_IOleInPlaceObject),
            Atl::entry<TestControl, IViewObjectEx>(IID_IViewObjectEx),
            Atl::entry<TestControl, IViewObjectEx>(IID_IViewObject), {}};
        return entries;
    }
    const CLSID& controlClassId() const override { return kTestControlId; }

    using ControlBase::invalidateControl;
    using ControlBase::setCapture;
    using ControlBase::setFocus;
    using ControlBase::setWantWindowless;

    std::vector<RECT> drawn;
    std::vector<UINT> messages;
    bool handle = false;

protected:
    HRESULT OnDraw(const Atl::DrawInfo& info) override
    {
        drawn.push_back(info.bounds);
        return S_OK;
    }
    bool processWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) override
    {
        messages.push_back(message);
        result = 7;
        return handle;
    }
};

class ControlBaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_HRESULT_SUCCEEDED(Atl::ComObject<TestControl>::Create(nullptr, IID_IOleObject, object.PutVoid()));
        control = static_cast<TestControl*>(object.Get());
        site = Com::ComPtr<FakeInPlaceSite>(new FakeInPlaceSite);
        site->position = {100, 50, 400, 200};
        site->clip = {0, 0, 800, 600};
        ASSERT_HRESULT_SUCCEEDED(object->SetClientSite(site.Get()));
    }
    HRESULT activate(LONG verb = OLEIVERB_INPLACEACTIVATE)
    {
        return object->DoVerb(verb, nullptr, site.Get(), 0, nullptr, nullptr);
    }

    Com::ComPtr<IOleObject> object;
    TestControl* control = nullptr;
    Com::ComPtr<FakeInPlaceSite> site;
};

TEST_F(ControlBaseTest, WindowlessWhenBothAskAndTheSiteAgrees)
{
    control->setWantWindowless(true);
    ASSERT_HRESULT_SUCCEEDED(activate());
    EXPECT_TRUE(control->isInPlaceActive());
    EXPECT_TRUE(control->isWindowless());
    EXPECT_FALSE(control->isUIActive()) << "in-place activation alone does not UI-activate";
    EXPECT_THAT(site->recorded(), ElementsAre("OnInPlaceActivateEx(windowless)"));
    EXPECT_TRUE(EqualRect(&control->objectPosition(), &site->position));
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(control->GetWindow(&window), E_FAIL) << "a windowless control has no window";
    EXPECT_EQ(window, nullptr);
}

TEST_F(ControlBaseTest, NotWindowlessWhenTheSiteDeclines)
{
    control->setWantWindowless(true);
    site->allowWindowless = false;
    site->allowInPlace = false;  // and no in-place activation at all: nothing is made
    EXPECT_EQ(activate(), E_FAIL);
    EXPECT_FALSE(control->isInPlaceActive());
    EXPECT_FALSE(control->isWindowless());
    EXPECT_TRUE(site->recorded().empty());
}

TEST_F(ControlBaseTest, UIActivationTakesFocusThroughTheSiteAndDeactivationGivesEverythingBack)
{
    control->setWantWindowless(true);
    ASSERT_HRESULT_SUCCEEDED(activate(OLEIVERB_UIACTIVATE));
    EXPECT_TRUE(control->isUIActive());
    ASSERT_HRESULT_SUCCEEDED(control->setCapture(true));
    Com::ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_HRESULT_SUCCEEDED(object.As(inPlace));
    ASSERT_HRESULT_SUCCEEDED(inPlace->InPlaceDeactivate());
    EXPECT_THAT(site->recorded(),
        ElementsAre("OnInPlaceActivateEx(windowless)", "OnUIActivate", "SetFocus(1)", "SetCapture(1)", "SetCapture(0)",
            "SetFocus(0)", "OnUIDeactivate", "OnInPlaceDeactivateEx"));
    EXPECT_FALSE(control->isInPlaceActive());
    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK) << "twice is no error";
    inPlace = nullptr;
    object->SetClientSite(nullptr);
    EXPECT_EQ(site->references(), 1u) << "every site reference came back";
}

TEST_F(ControlBaseTest, CloseDeactivatesAndTellsTheAdviseSinks)
{
    control->setWantWindowless(true);
    ASSERT_HRESULT_SUCCEEDED(activate());
    ASSERT_HRESULT_SUCCEEDED(object->Close(OLECLOSE_NOSAVE));
    EXPECT_FALSE(control->isInPlaceActive());
    EXPECT_EQ(site->countOf("OnInPlaceDeactivateEx"), 1u);
}

TEST_F(ControlBaseTest, DrawGoesToOnDrawWithTheBoundsOrTheWindowlessPosition)
{
    Com::ComPtr<IViewObjectEx> view;
    ASSERT_HRESULT_SUCCEEDED(object.As(view));
    HDC context = CreateCompatibleDC(nullptr);
    RECTL bounds{10, 20, 110, 70};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, context, &bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, context, nullptr, nullptr, nullptr, 0),
        E_INVALIDARG)
        << "no bounds and no windowless position";
    EXPECT_EQ(
        view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, context, &bounds, nullptr, nullptr, 0), DV_E_DVASPECT);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr, nullptr, 0),
        E_INVALIDARG);
    control->setWantWindowless(true);
    ASSERT_HRESULT_SUCCEEDED(activate());
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, context, nullptr, nullptr, nullptr, 0), S_OK);
    DeleteDC(context);
    ASSERT_EQ(control->drawn.size(), 2u);
    const RECT expected[] = {{10, 20, 110, 70}, {100, 50, 400, 200}};
    for (size_t i = 0; i < 2; ++i) EXPECT_TRUE(EqualRect(&control->drawn[i], &expected[i])) << i;
}

TEST_F(ControlBaseTest, WindowMessagesGoToTheMessageMap)
{
    Com::ComPtr<IOleInPlaceObjectWindowless> windowless;
    ASSERT_HRESULT_SUCCEEDED(object.As(windowless));
    LRESULT result = 0;
    EXPECT_EQ(windowless->OnWindowMessage(WM_MOUSEMOVE, 0, 0, &result), S_FALSE) << "not handled";
    control->handle = true;
    EXPECT_EQ(windowless->OnWindowMessage(WM_KEYDOWN, 0, 0, &result), S_OK);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(windowless->OnWindowMessage(WM_KEYDOWN, 0, 0, nullptr), E_POINTER);
    EXPECT_THAT(control->messages, ElementsAre(WM_MOUSEMOVE, WM_KEYDOWN));
}

TEST_F(ControlBaseTest, InvalidatingAWindowlessControlAsksTheSiteToRepaintAll)
{
    control->invalidateControl();  // not active: nobody to ask
    EXPECT_TRUE(site->recorded().empty());
    control->setWantWindowless(true);
    ASSERT_HRESULT_SUCCEEDED(activate());
    control->invalidateControl();
    EXPECT_EQ(site->countOf("InvalidateRect(null,1)"), 1u);
}

TEST_F(ControlBaseTest, StatusExtentsAndHitTests)
{
    DWORD status = 0;
    ASSERT_HRESULT_SUCCEEDED(object->GetMiscStatus(DVASPECT_CONTENT, &status));
    EXPECT_EQ(status, 131473u);
    SIZEL size{2000, 1000};
    ASSERT_HRESULT_SUCCEEDED(object->SetExtent(DVASPECT_CONTENT, &size));
    SIZEL got{};
    ASSERT_HRESULT_SUCCEEDED(object->GetExtent(DVASPECT_CONTENT, &got));
    EXPECT_EQ(got.cx, 2000);
    EXPECT_EQ(got.cy, 1000);
    CLSID clsid{};
    ASSERT_HRESULT_SUCCEEDED(object->GetUserClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, kTestControlId));

    Com::ComPtr<IViewObjectEx> view;
    ASSERT_HRESULT_SUCCEEDED(object.As(view));
    RECT bounds{0, 0, 100, 50};
    DWORD hit = 0;
    ASSERT_HRESULT_SUCCEEDED(view->QueryHitPoint(DVASPECT_CONTENT, &bounds, POINT{10, 10}, 0, &hit));
    EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_HIT));
    ASSERT_HRESULT_SUCCEEDED(view->QueryHitPoint(DVASPECT_CONTENT, &bounds, POINT{150, 10}, 0, &hit));
    EXPECT_EQ(hit, static_cast<DWORD>(HITRESULT_OUTSIDE));
}

}  // namespace
