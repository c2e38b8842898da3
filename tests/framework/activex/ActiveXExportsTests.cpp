// The library's class object and unload check, with the exports linked into
// this program over the test factory: lookups, the factory's process-wide
// set-up once per load, and unloading only when nothing of the module lives.
#include "ActiveXBindStatusCallback.h"
#include "COMJavascriptObject.h"
#include "ComIdentifiers.h"
#include "ControlTestFactory.h"
#include "HeapCensus.h"
#include "JSAPIAuto.h"
#include "PluginCore.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <oaidl.h>

extern "C" {
HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT STDAPICALLTYPE DllCanUnloadNow();
}

namespace {

TEST(ActiveXExportsTest, ClassObjectLookups)
{
    IClassFactory* factory = reinterpret_cast<IClassFactory*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_FBComJavascriptObject, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_FBControl0, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(controlTestRecord.globalInits, 0) << "a failed lookup initialises nothing";

    ASSERT_EQ(DllGetClassObject(CLSID_FBControl0, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* made = reinterpret_cast<IUnknown*>(1);
    IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&made)), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(made, nullptr);
    factory->Release();
}

TEST(ActiveXExportsTest, SetUpOncePerLoadAndUnloadOnlyWhenNothingLives)
{
    OleInitialize(nullptr);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    controlTestRecord = ControlTestRecord();

    IClassFactory* first = nullptr;
    IClassFactory* second = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_FBControl0, IID_IClassFactory, reinterpret_cast<void**>(&first)), S_OK);
    ASSERT_EQ(DllGetClassObject(CLSID_FBControl0, IID_IClassFactory, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_EQ(controlTestRecord.globalInits, 1) << "two class objects, one set-up";
    EXPECT_EQ(FB::PluginCore::platformOs(), "Windows");
    EXPECT_EQ(FB::PluginCore::platformBrowser(), "IE");

    IUnknown* control = nullptr;
    ASSERT_EQ(first->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&control)), S_OK);
    second->Release();
    first->LockServer(TRUE);
    first->Release();
    EXPECT_GT(FB::PluginCore::activeCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a control lives, and the server is locked";
    EXPECT_EQ(controlTestRecord.globalDeinits, 0) << "no tear-down while it answers S_FALSE";
    control->Release();
    EXPECT_EQ(FB::PluginCore::activeCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "the server is locked";
    EXPECT_EQ(controlTestRecord.globalDeinits, 1) << "no plug-in lives: torn down though the server is locked";
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(controlTestRecord.globalDeinits, 1) << "torn down once";
    ASSERT_EQ(DllGetClassObject(CLSID_FBControl0, IID_IClassFactory, reinterpret_cast<void**>(&first)), S_OK);
    EXPECT_EQ(controlTestRecord.globalInits, 2) << "set up again by the next class object";
    first->LockServer(FALSE);
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << "a class object alone (the platform may keep one) does not count";
    first->Release();
    EXPECT_EQ(controlTestRecord.globalDeinits, 2);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    EXPECT_EQ(controlTestRecord.globalDeinits, 2) << "torn down once per set-up";

    ASSERT_EQ(DllGetClassObject(CLSID_FBControl0, IID_IClassFactory, reinterpret_cast<void**>(&first)), S_OK);
    EXPECT_EQ(controlTestRecord.globalInits, 3) << "set up again after the unload check let go";
    first->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    OleUninitialize();
}

// A control made, asked for a member and released gives every byte back.
TEST(ActiveXExportsTest, ControlsMadeAndReleasedLeaveNoHeapBlocksBehind)
{
    OleInitialize(nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_FBControl0, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    auto cycle = [&] {
        IDispatch* control = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&control)), S_OK);
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"toString")};
        DISPID id = 0;
        control->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
        control->Release();
    };
    for (int i = 0; i < 50; ++i) cycle();  // the caches of the first rounds
    const testsupport::HeapCensus grown = testsupport::HeapCensus::growthOver([&] {
        for (int i = 0; i < 2000; ++i) cycle();
    });
    factory->Release();
    EXPECT_LE(grown.blocks, 10u);
    EXPECT_LE(grown.bytes, 1024u);
    OleUninitialize();
}

// Whatever COM object of the module is alive keeps the library loaded.
TEST(ActiveXExportsTest, EveryLiveObjectOfTheModuleKeepsItLoaded)
{
    OleInitialize(nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_FBControl0, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* control = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&control)), S_OK);
    factory->Release();
    IConnectionPointContainer* points = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)), S_OK);
    IEnumConnectionPoints* enumerator = nullptr;
    ASSERT_EQ(points->EnumConnectionPoints(&enumerator), S_OK);
    points->Release();
    auto api = std::make_shared<FB::JSAPIAuto>("test");
    IUnknown* wrapper = FB::ActiveX::COMJavascriptObject::createDispatchEx(api, nullptr, false);
    ASSERT_NE(wrapper, nullptr);
    IUnknown* callback = static_cast<IBindStatusCallback*>(new FB::ActiveX::ActiveXBindStatusCallback(nullptr));

    struct Held {
        const char* what;
        IUnknown* object;
    } held[] = {{"the control", control}, {"an enumerator", enumerator}, {"a script object", wrapper},
        {"a bind-status callback", callback}};
    for (Held& h : held) {
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "while " << h.what << " and those after it live";
        h.object->Release();
    }
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    OleUninitialize();
}

}  // namespace
