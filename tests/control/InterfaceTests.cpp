// Plexhost.dll's COM surface beneath the registry: the type library inside the
// DLL, the class object and the interfaces of a FlashX object.
#include "CountedUnknown.h"
#include "FakeDispatch.h"
#include "FlashXEvents.h"
#include "ModuleExport.h"
#include "Plexhost.h"
#include "ScriptingSafety.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace {

using Entry = HRESULT(WINAPI*)();
using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// A COM object that answers IUnknown and, optionally, one more interface.
Com::ComPtr<FakeDispatch> sink(const IID* kind)
{
    auto made = FakeDispatch::make();
    made->answersOnly(kind);
    return made;
}

class PlexhostInterfaces : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        module = LoadLibraryW(L"Plexhost.dll");
        ASSERT_NE(module, nullptr);
        auto getClassObject = moduleExport<GetClassObject>(module, "DllGetClassObject");
        ASSERT_EQ(getClassObject(CLSID_FlashX, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IFlashX, reinterpret_cast<void**>(&flash)), S_OK);
    }
    void TearDown() override
    {
        if (flash) flash->Release();
        if (factory) factory->Release();
        FreeLibrary(module);
        CoUninitialize();
    }

    template <class I>
    I* query(REFIID iid)
    {
        I* out = nullptr;
        EXPECT_EQ(flash->QueryInterface(iid, reinterpret_cast<void**>(&out)), S_OK);
        return out;
    }

    HMODULE module = nullptr;
    IClassFactory* factory = nullptr;
    IFlashX* flash = nullptr;
};

struct MethodCase {
    const wchar_t* name;
    DISPID id;
    std::vector<const wchar_t*> parameters;
};

TEST_F(PlexhostInterfaces, TypeLibraryNamesEveryMethodAndParameter)
{
    const MethodCase methods[] = {
        {L"sendvideoX", 1, {L"audioname", L"streamurl", L"resolution", L"level", L"IsSendStartCallback"}},
        {L"dostop", 2, {L"stop"}},
        {L"Cap", 3, {L"camname", L"IsSendStartCallback"}},
        {L"ISready", 4, {L"IsReadyCallback"}},
        {L"CapStop", 5, {L"IsCapStopCallback"}},
        {L"LogPrintf", 6, {L"LogPrintfCallback"}},
        {L"SetMute", 7, {L"Bmute"}},
        {L"SetVol", 8, {L"Vol"}},
        {L"PrintLog", 9, {}},
        {L"endstream", 10, {}},
        {L"SetVolCb", 11, {L"VolCallback"}},
    };
    for (const MethodCase& method : methods) {
        std::vector<LPOLESTR> names = {const_cast<LPOLESTR>(method.name)};
        for (const wchar_t* p : method.parameters) names.push_back(const_cast<LPOLESTR>(p));
        std::vector<DISPID> ids(names.size(), -1);
        ASSERT_EQ(flash->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0, ids.data()), S_OK)
            << "names of " << std::string(method.name, method.name + wcslen(method.name));
        EXPECT_EQ(ids[0], method.id);
        for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], static_cast<DISPID>(i - 1)) << "parameter position";
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    DISPID id = 0;
    EXPECT_EQ(flash->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(PlexhostInterfaces, TypeLibraryHoldsTheCoclassWithItsEventSource)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(module, path, MAX_PATH);
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &library), S_OK);
    TLIBATTR* libraryAttributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(libraryAttributes->guid, LIBID_PlexhostLib));
    EXPECT_EQ(libraryAttributes->wMajorVerNum, 1);
    EXPECT_EQ(libraryAttributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(libraryAttributes);

    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_FlashX, &coclass), S_OK);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"FlashX");
    EXPECT_STREQ(doc, L"FlashX Class");
    SysFreeString(name);
    SysFreeString(doc);
    bool defaultInterface = false, defaultSource = false;
    for (UINT i = 0; i < 2; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ITypeInfo* implemented = nullptr;
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, &implemented), S_OK);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(implemented->GetTypeAttr(&attributes), S_OK);
        if (IsEqualGUID(attributes->guid, IID_IFlashX))
            defaultInterface = (flags & IMPLTYPEFLAG_FDEFAULT) && (attributes->wTypeFlags & TYPEFLAG_FDUAL);
        if (IsEqualGUID(attributes->guid, DIID__IFlashXEvents))
            defaultSource = (flags & IMPLTYPEFLAG_FSOURCE) && attributes->cFuncs == 0;
        implemented->ReleaseTypeAttr(attributes);
        implemented->Release();
    }
    EXPECT_TRUE(defaultInterface) << "IFlashX, dual, the default interface";
    EXPECT_TRUE(defaultSource) << "_IFlashXEvents, no methods, the source";
    coclass->Release();
    library->Release();
}

TEST_F(PlexhostInterfaces, ClassObjectAndIdentity)
{
    auto getClassObject = moduleExport<GetClassObject>(module, "DllGetClassObject");
    IClassFactory* none = nullptr;
    EXPECT_EQ(getClassObject(LIBID_PlexhostLib, IID_IClassFactory, reinterpret_cast<void**>(&none)),
        CLASS_E_CLASSNOTAVAILABLE);
    IUnknown* aggregated = nullptr;
    EXPECT_EQ(factory->CreateInstance(
                  reinterpret_cast<IUnknown*>(flash), IID_IUnknown, reinterpret_cast<void**>(&aggregated)),
        CLASS_E_NOAGGREGATION);

    IUnknown* identity = query<IUnknown>(IID_IUnknown);
    const IID* interfaces[] = {
        &IID_IDispatch, &IID_IFlashX, &IID_IConnectionPointContainer, &IID_IObjectWithSite, &IID_IObjectSafety};
    for (const IID* iid : interfaces) {
        IUnknown* asked = query<IUnknown>(*iid);
        ASSERT_NE(asked, nullptr);
        IUnknown* back = nullptr;
        ASSERT_EQ(asked->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
        EXPECT_EQ(back, identity) << "one identity for every interface";
        back->Release();
        asked->Release();
    }
    IUnknown* missing = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(flash->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&missing)), E_NOINTERFACE);
    EXPECT_EQ(missing, nullptr);
    identity->Release();
}

TEST_F(PlexhostInterfaces, UnloadOnlyWithoutObjectsAndLocks)
{
    auto canUnload = moduleExport<Entry>(module, "DllCanUnloadNow");
    EXPECT_EQ(canUnload(), S_FALSE) << "an object is alive";
    flash->Release();
    flash = nullptr;
    EXPECT_EQ(canUnload(), S_FALSE) << "the class object is alive";
    factory->LockServer(TRUE);
    factory->Release();
    factory = nullptr;
    EXPECT_EQ(canUnload(), S_FALSE) << "the server is locked";
    auto getClassObject = moduleExport<GetClassObject>(module, "DllGetClassObject");
    ASSERT_EQ(getClassObject(CLSID_FlashX, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    factory = nullptr;
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(PlexhostInterfaces, SafetyOptionsAreTheTwoScriptingBits)
{
    IObjectSafety* safety = query<IObjectSafety>(IID_IObjectSafety);
    expectScriptingSafetyOptions(safety, IID_IPersistPropertyBag);
    safety->Release();
}

TEST_F(PlexhostInterfaces, OneConnectionPointForTheEventInterface)
{
    IConnectionPointContainer* container = query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    IConnectionPoint* point = nullptr;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(DIID__IFlashXEvents, &point), S_OK);
    IID iid = IID_NULL;
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, DIID__IFlashXEvents));
    IConnectionPointContainer* owner = nullptr;
    ASSERT_EQ(point->GetConnectionPointContainer(&owner), S_OK);
    EXPECT_EQ(owner, container);
    owner->Release();

    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint* listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0], point);
    listed[0]->Release();
    points->Release();

    auto wrongKind = sink(nullptr), events = sink(&DIID__IFlashXEvents);
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(wrongKind.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(wrongKind->references(), 1u);
    ASSERT_EQ(point->Advise(events.Get(), &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(events->references(), 2u);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(events->references(), 1u);
    ASSERT_EQ(point->Advise(events.Get(), &cookie), S_OK);
    point->Release();
    container->Release();
    flash->Release();  // the last reference: the object lets go of its sinks
    flash = nullptr;
    EXPECT_EQ(events->references(), 1u);
}

// The event interface's connection point over a container of the test's own:
// it names _IFlashXEvents, gives its container back and keeps only event sinks.
TEST(PlexhostEventPoint, TheProxyOfTheEventInterfaceKeepsOnlyEventSinks)
{
    class Owner : public CountedUnknown<IConnectionPointContainer> {
    public:
        Owner() : CountedUnknown(1) {}
        STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
        STDMETHODIMP FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }

    private:
        void* interfaceFor(REFIID iid) override
        {
            return IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPointContainer)
                ? static_cast<IConnectionPointContainer*>(this)
                : nullptr;
        }
    };
    auto owner = Com::ComPtr<Owner>::Adopt(new Owner);
    auto events = sink(&DIID__IFlashXEvents), wrongKind = sink(nullptr);
    {
        Plexhost::CProxy_IFlashXEvents point(*owner.Get());
        IID iid = IID_NULL;
        EXPECT_EQ(point.GetConnectionInterface(&iid), S_OK);
        EXPECT_TRUE(IsEqualIID(iid, DIID__IFlashXEvents));
        IConnectionPointContainer* back = nullptr;
        ASSERT_EQ(point.GetConnectionPointContainer(&back), S_OK);
        EXPECT_EQ(back, owner.Get());
        back->Release();
        DWORD cookie = 0;
        EXPECT_EQ(point.Advise(wrongKind.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
        ASSERT_EQ(point.Advise(events.Get(), &cookie), S_OK);
        EXPECT_EQ(events->references(), 2u);
    }
    EXPECT_EQ(events->references(), 1u) << "a sink outlived its connection point";
    EXPECT_EQ(owner->references(), 1u);
}

TEST_F(PlexhostInterfaces, SiteIsKeptUntilReplaced)
{
    IObjectWithSite* withSite = query<IObjectWithSite>(IID_IObjectWithSite);
    auto site = sink(&IID_IDispatch);
    IUnknown* got = nullptr;
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, reinterpret_cast<void**>(&got)), E_FAIL);
    EXPECT_EQ(withSite->SetSite(site.Get()), S_OK);
    EXPECT_EQ(site->references(), 2u);
    ASSERT_EQ(withSite->GetSite(IID_IDispatch, reinterpret_cast<void**>(&got)), S_OK);
    EXPECT_EQ(got, static_cast<IUnknown*>(site.Get()));
    got->Release();
    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    EXPECT_EQ(site->references(), 1u);
    withSite->Release();
}

}  // namespace
