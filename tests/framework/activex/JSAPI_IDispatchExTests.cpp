// The IDispatchEx bridge by direct COM calls, as the script engine makes them:
// member ids, invocation and its errors, the built-in members, enumeration and
// the connection point with a reference-counting fake sink. The bridge serves
// the plug-in's scripting object over a host without a page.
#include "ActiveXBrowserHost.h"
#include "ActiveXTestSupport.h"
#include "COMJavascriptObject.h"
#include "CountedUnknown.h"
#include "DispIdTable.h"
#include "FakeDispatch.h"
#include "HeapCensus.h"
#include "JSAPIAuto.h"
#include "parvelpluginAPI.h"

#include <gtest/gtest.h>

#include <mshtmdid.h>
#include <olectl.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

using FB::ActiveX::ActiveXBrowserHost;
using FB::ActiveX::COMJavascriptObject;

namespace {

// A member that shows the argument list it was given.
class ArgumentsAPI : public FB::JSAPIAuto {
public:
    ArgumentsAPI()
    {
        addMethod("join", [](const FB::VariantVector& args) {
            std::string joined;
            for (const auto& arg : args) joined += (joined.empty() ? "" : ",") + arg.convertToString();
            return FB::variant(joined);
        });
    }
};

// An API that shows the sink objects advised to it and can refuse to let one go.
class SinkKeepingAPI : public ArgumentsAPI {
public:
    void addEventSinkObject(const FB::JSObjectPtr& sink) override
    {
        ArgumentsAPI::addEventSinkObject(sink);
        added.push_back(sink.get());
    }
    void removeEventSinkObject(const FB::JSObjectPtr& sink) override
    {
        if (refuse) throw std::runtime_error("kept");
        ArgumentsAPI::removeEventSinkObject(sink);
    }
    std::vector<const void*> added;
    bool refuse = false;
};

// An object that is no dispatch object.
class PlainUnknown : public CountedUnknown<IUnknown> {
public:
    PlainUnknown() : CountedUnknown(1) {}

private:
    void* interfaceFor(REFIID iid) override
    {
        return IsEqualIID(iid, IID_IUnknown) ? static_cast<IUnknown*>(this) : nullptr;
    }
};

std::wstring text(const VARIANT& value)
{
    Com::Variant converted;
    if (FAILED(VariantChangeType(converted.Put(), const_cast<VARIANT*>(&value), 0, VT_BSTR))) return L"<none>";
    return V_BSTR(&converted.Get()) ? V_BSTR(&converted.Get()) : L"";
}

class Bridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = std::make_shared<ActiveXBrowserHost>(nullptr, nullptr);
        api = std::make_shared<parvelpluginAPI>(nullptr, host);
        bridge = wrap(api);
    }
    void TearDown() override
    {
        bridge.Reset();
        api.reset();
        host->shutDownHost();
        host.reset();
    }

    Com::ComPtr<IDispatchEx> wrap(const FB::JSAPIPtr& target)
    {
        return Com::ComPtr<IDispatchEx>::Adopt(COMJavascriptObject::createDispatchEx(target, host, false));
    }

    DISPID idOf(const wchar_t* name, IDispatchEx* object = nullptr)
    {
        Com::Bstr text(name);
        DISPID id = 12345;
        EXPECT_HRESULT_SUCCEEDED((object ? object : bridge.Get())->GetDispID(text.Get(), 1, &id)) << name;
        return id;
    }

    // InvokeEx with arguments in script order (reversed for COM), optionally
    // behind a this value as the engine passes it to a function value.
    HRESULT call(DISPID id, WORD flags, std::vector<Com::Variant> args, VARIANT* result, EXCEPINFO* exception = nullptr,
        IDispatchEx* object = nullptr, IDispatch* thisValue = nullptr)
    {
        std::vector<Com::Variant> reversed;
        if (thisValue) reversed.emplace_back(thisValue);
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(std::move(*it));
        DISPID thisId = DISPID_THIS;
        DISPPARAMS params = {Com::variantArray(reversed.data()), thisValue ? &thisId : nullptr,
            static_cast<UINT>(reversed.size()), thisValue ? 1u : 0u};
        return (object ? object : bridge.Get())
            ->InvokeEx(id, LOCALE_USER_DEFAULT, flags, &params, result, exception, nullptr);
    }

    std::wstring lastException()
    {
        Com::Variant result;
        EXPECT_HRESULT_SUCCEEDED(
            call(idOf(L"getLastException"), DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, result.Put()));
        return text(result.Get());
    }

    std::shared_ptr<ActiveXBrowserHost> host;
    std::shared_ptr<parvelpluginAPI> api;
    Com::ComPtr<IDispatchEx> bridge;
};

TEST_F(Bridge, MemberIdsForKnownNamesAndRefusalsForOthers)
{
    const DISPID echo = idOf(L"echo");
    EXPECT_GE(echo, 100);
    EXPECT_EQ(idOf(L"echo"), echo);
    EXPECT_EQ(echo, FB::ActiveX::dispIdForName(FB::variant(L"echo")));

    Com::Bstr reserved(L"style");
    DISPID id = 0;
    EXPECT_EQ(bridge->GetDispID(reserved.Get(), 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    EXPECT_EQ(bridge->GetDispID(reserved.Get(), 0, nullptr), E_POINTER);

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"echo"), const_cast<LPOLESTR>(L"version")};
    DISPID ids[2] = {};
    EXPECT_HRESULT_SUCCEEDED(bridge->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
    EXPECT_EQ(ids[0], echo);
    EXPECT_EQ(ids[1], idOf(L"version"));

    Com::Bstr name;
    EXPECT_HRESULT_SUCCEEDED(bridge->GetMemberName(echo, name.Put()));
    EXPECT_EQ(name.View(), L"echo");
    EXPECT_EQ(bridge->GetMemberName(echo, nullptr), E_POINTER);
    EXPECT_EQ(bridge->GetMemberName(-2, name.Put()), DISP_E_UNKNOWNNAME);

    // An id that was never handed out, and ids of names the object lacks.
    Com::Variant result;
    EXPECT_EQ(call(-2, DISPATCH_METHOD, {}, result.Put()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(call(99999999, DISPATCH_PROPERTYGET, {}, result.Put()), DISP_E_MEMBERNOTFOUND);
}

TEST_F(Bridge, StandardIdsAnsweredByTheBridgeItself)
{
    EXPECT_EQ(call(DISPID_READYSTATE, DISPATCH_PROPERTYGET, {}, nullptr), E_INVALIDARG);
    EXPECT_EQ(call(DISPID_SECURITYCTX, DISPATCH_PROPERTYGET, {}, nullptr), E_INVALIDARG);
    Com::Variant result;
    ASSERT_HRESULT_SUCCEEDED(call(DISPID_READYSTATE, DISPATCH_PROPERTYGET, {}, result.Put()));
    EXPECT_EQ(result.Type(), VT_I4);
    EXPECT_EQ(V_I4(&result.Get()), 1);
    ASSERT_HRESULT_SUCCEEDED(call(DISPID_ENABLED, DISPATCH_PROPERTYGET, {}, result.Put()));
    EXPECT_EQ(result.Type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result.Get()), VARIANT_TRUE);
    EXPECT_EQ(call(DISPID_SECURITYCTX, DISPATCH_PROPERTYGET, {}, result.Put()), E_NOTIMPL);
}

TEST_F(Bridge, CallsReadsAndWritesReachTheApi)
{
    Com::Variant result;
    std::vector<Com::Variant> five;
    five.emplace_back(5L);
    ASSERT_HRESULT_SUCCEEDED(
        call(idOf(L"echo"), DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(five), result.Put()));
    EXPECT_EQ(text(result.Get()), L"5");

    std::vector<Com::Variant> value;
    value.emplace_back(std::wstring_view(L"caf\u00e9"));
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put = {Com::variantArray(value.data()), &putId, 1, 1};
    ASSERT_HRESULT_SUCCEEDED(
        bridge->InvokeEx(idOf(L"testString"), 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr));
    EXPECT_EQ(api->get_testString(), "caf\xC3\xA9");
    ASSERT_HRESULT_SUCCEEDED(call(idOf(L"testString"), DISPATCH_PROPERTYGET, {}, result.Put()));
    EXPECT_EQ(text(result.Get()), L"caf\u00e9");

    // A property called with its result used answers the property.
    ASSERT_HRESULT_SUCCEEDED(call(idOf(L"version"), DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, result.Put()));
    EXPECT_EQ(text(result.Get()), L"1.0.0.0");

    // A put without its value.
    DISPPARAMS empty = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(bridge->InvokeEx(idOf(L"testString"), 0, DISPATCH_PROPERTYPUT, &empty, nullptr, nullptr, nullptr),
        DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(bridge->InvokeEx(idOf(L"testString"), 0, DISPATCH_PROPERTYPUT, nullptr, nullptr, nullptr, nullptr),
        DISP_E_BADPARAMCOUNT);

    // Read as a value, a method answers its function object, the same one each time.
    Com::Variant first, second;
    ASSERT_HRESULT_SUCCEEDED(call(idOf(L"echo"), DISPATCH_PROPERTYGET, {}, first.Put()));
    ASSERT_HRESULT_SUCCEEDED(call(idOf(L"echo"), DISPATCH_PROPERTYGET, {}, second.Put()));
    ASSERT_EQ(first.Type(), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&first.Get()), V_DISPATCH(&second.Get()));
}

TEST_F(Bridge, ArgumentsArriveInScriptOrderAndTheThisValueIsLeftOut)
{
    auto joiner = std::make_shared<ArgumentsAPI>();
    Com::ComPtr<IDispatchEx> object = wrap(joiner);
    std::vector<Com::Variant> args;
    args.emplace_back(1L);
    args.emplace_back(std::wstring_view(L"x"));
    Com::Variant result;
    ASSERT_HRESULT_SUCCEEDED(
        call(idOf(L"join", object.Get()), DISPATCH_METHOD, args, result.Put(), nullptr, object.Get()));
    EXPECT_EQ(text(result.Get()), L"1,x");
    ASSERT_HRESULT_SUCCEEDED(
        call(idOf(L"join", object.Get()), DISPATCH_METHOD, args, result.Put(), nullptr, object.Get(), object.Get()));
    EXPECT_EQ(text(result.Get()), L"1,x");

    // The function object called as a value, the way the engine calls `f(7)`.
    Com::Variant function;
    ASSERT_HRESULT_SUCCEEDED(call(idOf(L"echo"), DISPATCH_PROPERTYGET, {}, function.Put()));
    Com::ComPtr<IDispatchEx> echo = Com::ComPtr<IDispatch>(V_DISPATCH(&function.Get())).Query<IDispatchEx>();
    ASSERT_TRUE(echo);
    std::vector<Com::Variant> seven;
    seven.emplace_back(7L);
    ASSERT_HRESULT_SUCCEEDED(call(DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(seven), result.Put(),
        nullptr, echo.Get(), echo.Get()));
    EXPECT_EQ(text(result.Get()), L"7");

    // ... and without a this value, as the engine calls `f(7)` where this is undefined.
    std::vector<Com::Variant> eight;
    eight.emplace_back(8L);
    ASSERT_HRESULT_SUCCEEDED(call(
        DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(eight), result.Put(), nullptr, echo.Get()));
    EXPECT_EQ(text(result.Get()), L"8");

    // An object that is no function has no call of its own.
    EXPECT_EQ(call(DISPID_VALUE, DISPATCH_METHOD, {}, result.Put()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(lastException(), L"The specified member does not exist: ");
}

TEST_F(Bridge, ScriptErrorsFillTheExceptionAndTheLastException)
{
    std::vector<Com::Variant> two;
    two.emplace_back(1L);
    two.emplace_back(2L);
    EXCEPINFO exception;
    memset(&exception, 0xCD, sizeof exception);  // the bridge's fields filled, the others left
    Com::Variant result;
    EXPECT_EQ(call(idOf(L"echo"), DISPATCH_METHOD, std::move(two), result.Put(), &exception), DISP_E_EXCEPTION);
    auto source = Com::Bstr::Adopt(exception.bstrSource);
    auto description = Com::Bstr::Adopt(exception.bstrDescription);
    EXPECT_EQ(source.View(), L"SUBOBJECT");
    EXPECT_EQ(description.View(), L"Too many arguments, expected 1.");
    EXPECT_EQ(exception.scode, E_NOTIMPL);
    EXPECT_EQ(exception.bstrHelpFile, nullptr);
    EXPECT_EQ(exception.pfnDeferredFillIn, nullptr);
    EXPECT_EQ(exception.wCode, 0xCDCD);
    EXPECT_EQ(exception.wReserved, 0xCDCD);
    EXPECT_EQ(exception.dwHelpContext, 0xCDCDCDCDu);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(exception.pvReserved), static_cast<uintptr_t>(~uintptr_t(0) / 0xFF * 0xCD));
    EXPECT_EQ(lastException(), L"Too many arguments, expected 1.");

    // An unknown member (a name the object takes as a dynamic property, called).
    EXPECT_EQ(call(idOf(L"nosuch"), DISPATCH_METHOD, {}, result.Put(), &exception), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(lastException(), L"The specified member does not exist: Invalid method or property name");
}

TEST_F(Bridge, BuiltInMembers)
{
    Com::Variant attach;
    ASSERT_HRESULT_SUCCEEDED(call(idOf(L"attachEvent"), DISPATCH_PROPERTYGET, {}, attach.Put()));
    ASSERT_EQ(attach.Type(), VT_DISPATCH);

    std::vector<Com::Variant> one;
    one.emplace_back(std::wstring_view(L"onecho"));
    EXCEPINFO exception{};
    Com::Variant result;
    EXPECT_EQ(call(idOf(L"attachEvent"), DISPATCH_METHOD, std::move(one), result.Put(), &exception), DISP_E_EXCEPTION);
    EXPECT_EQ(Com::Bstr::Adopt(exception.bstrDescription).View(), L"Invalid Arguments");
    SysFreeString(exception.bstrSource);

    // A built-in kept by the page after its bridge went fails as a script error.
    auto function = Com::ComPtr<IDispatch>(V_DISPATCH(&attach.Get())).Query<IDispatchEx>();
    bridge.Reset();
    std::vector<Com::Variant> args;
    args.emplace_back(std::wstring_view(L"onecho"));
    args.emplace_back(static_cast<IDispatch*>(function.Get()));
    exception = EXCEPINFO{};
    EXPECT_EQ(
        call(DISPID_VALUE, DISPATCH_METHOD, std::move(args), result.Put(), &exception, function.Get(), function.Get()),
        DISP_E_EXCEPTION);
    EXPECT_EQ(Com::Bstr::Adopt(exception.bstrDescription).View(), L"Invalid JSAPI object");
    SysFreeString(exception.bstrSource);
}

TEST_F(Bridge, BuiltInMembersAreTheBridgesOwnFunctionObjects)
{
    using FB::ActiveX::JSAPI_IDispatchExBase;
    auto builtIn = [&](const wchar_t* name) -> FB::JSAPIPtr {
        Com::Variant value;
        EXPECT_HRESULT_SUCCEEDED(call(idOf(name), DISPATCH_PROPERTYGET, {}, value.Put())) << name;
        if (value.Type() != VT_DISPATCH) return nullptr;
        void* marker = nullptr;
        if (FAILED(V_DISPATCH(&value.Get())->QueryInterface(FB::ActiveX::kBridgeMarkerIid, &marker))) return nullptr;
        auto owned = Com::ComPtr<IUnknown>::Adopt(static_cast<IUnknown*>(marker));
        return static_cast<JSAPI_IDispatchExBase*>(marker)->getAPI();
    };
    FB::JSAPIPtr attach = builtIn(L"attachEvent");
    FB::JSAPIPtr detach = builtIn(L"detachEvent");
    FB::JSAPIPtr last = builtIn(L"getLastException");
    EXPECT_NE(std::dynamic_pointer_cast<JSAPI_IDispatchExBase::IDisp_AttachEvent>(attach), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<JSAPI_IDispatchExBase::IDisp_DetachEvent>(detach), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<JSAPI_IDispatchExBase::IDisp_GetLastException>(last), nullptr);
    EXPECT_EQ(builtIn(L"attachEvent"), attach);  // made with the bridge, not per read
    EXPECT_EQ(attach->invoke("toString", {}).convertToString(), "attachEvent()");
}

TEST_F(Bridge, EnumerationListsTheMembersThenTheBuiltIns)
{
    std::vector<std::wstring> expected = api->listMemberNamesWide();
    expected.insert(expected.end(), {L"attachEvent", L"detachEvent", L"getLastException"});
    std::vector<std::wstring> seen;
    DISPID id = DISPID_STARTENUM;
    while (bridge->GetNextDispID(fdexEnumAll, id, &id) == S_OK) {
        Com::Bstr name;
        ASSERT_HRESULT_SUCCEEDED(bridge->GetMemberName(id, name.Put()));
        seen.emplace_back(name.View());
        ASSERT_LT(seen.size(), 100u);
    }
    EXPECT_EQ(id, DISPID_UNKNOWN);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(bridge->GetNextDispID(fdexEnumAll, DISPID_STARTENUM, nullptr), E_POINTER);
}

// Counts how often the bridge asks for the member names.
class ListingCountingAPI : public FB::JSAPIAuto {
public:
    using FB::JSAPIAuto::listMemberNames;
    void listMemberNames(std::vector<std::string>& names) const override
    {
        ++listings;
        FB::JSAPIAuto::listMemberNames(names);
    }
    mutable int listings = 0;
};

TEST_F(Bridge, AWalkOverManyMembersAsksForTheNamesOnceAndSeesEachOnce)
{
    auto counting = std::make_shared<ListingCountingAPI>();
    for (int i = 0; i < 500; ++i) counting->setProperty("x" + std::to_string(i), FB::variant(i));
    Com::ComPtr<IDispatchEx> object = wrap(counting);
    auto walk = [&] {
        std::vector<std::wstring> seen;
        DISPID id = DISPID_STARTENUM;
        while (object->GetNextDispID(fdexEnumAll, id, &id) == S_OK && seen.size() < 1000) {
            Com::Bstr name;
            EXPECT_HRESULT_SUCCEEDED(object->GetMemberName(id, name.Put()));
            seen.emplace_back(name.View());
        }
        return seen;
    };
    std::vector<std::wstring> expected = counting->listMemberNamesWide();
    expected.insert(expected.end(), {L"attachEvent", L"detachEvent", L"getLastException"});
    counting->listings = 0;
    EXPECT_EQ(walk(), expected);
    EXPECT_LE(counting->listings, 2);  // the count, then the names: not once per step

    // A member added between walks is in the next one.
    counting->setProperty("added", FB::variant(1));
    expected = counting->listMemberNamesWide();
    expected.insert(expected.end(), {L"attachEvent", L"detachEvent", L"getLastException"});
    counting->listings = 0;
    EXPECT_EQ(walk(), expected);
    EXPECT_LE(counting->listings, 2);
}

TEST_F(Bridge, WithoutHostOrApiNothingIsCalled)
{
    Com::Variant result;
    auto passing = std::make_shared<ActiveXBrowserHost>(nullptr, nullptr);
    auto hostless = Com::ComPtr<IDispatchEx>::Adopt(COMJavascriptObject::createDispatchEx(api, passing, false));
    passing->shutDownHost();
    passing.reset();
    std::vector<Com::Variant> five;
    five.emplace_back(5L);
    EXPECT_EQ(call(idOf(L"echo"), DISPATCH_METHOD, std::move(five), result.Put(), nullptr, hostless.Get()),
        DISP_E_MEMBERNOTFOUND);

    Com::ComPtr<IDispatchEx> orphan = wrap(std::make_shared<FB::JSAPIAuto>());  // its API goes at once
    Com::Bstr name(L"toString");
    DISPID id = 0;
    EXPECT_EQ(orphan->GetDispID(name.Get(), 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(
        call(DISPID_READYSTATE, DISPATCH_PROPERTYGET, {}, result.Put(), nullptr, orphan.Get()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(orphan->GetNextDispID(fdexEnumAll, DISPID_STARTENUM, &id), S_FALSE);
}

// Reading a member as a value makes a function object and its COM wrapper,
// each with its own built-ins; dropping the value must give all of it back.
TEST_F(Bridge, MemberValuesReadAndDroppedLeaveNoHeapBlocksBehind)
{
    for (const wchar_t* member : {L"echo", L"attachEvent", L"getLastException", L"toString"}) {
        const DISPID id = idOf(member);
        auto readAndDrop = [&](int times) {
            for (int i = 0; i < times; ++i) {
                Com::Variant value;
                ASSERT_HRESULT_SUCCEEDED(call(id, DISPATCH_PROPERTYGET, {}, value.Put())) << member;
            }
        };
        readAndDrop(100);  // the caches of the first reads
        const testsupport::HeapCensus grown = testsupport::HeapCensus::growthOver([&] { readAndDrop(10000); });
        EXPECT_LE(grown.blocks, 10u) << member;
        EXPECT_LE(grown.bytes, 1024u) << member;
    }
}

// ---- events ------------------------------------------------------------------------

class BridgeEvents : public Bridge {
protected:
    // echo(1); then the queued handler calls run from the thread's messages.
    void echoOnce()
    {
        std::vector<Com::Variant> one;
        one.emplace_back(1L);
        Com::Variant result;
        ASSERT_HRESULT_SUCCEEDED(call(idOf(L"echo"), DISPATCH_METHOD, std::move(one), result.Put()));
    }
    void drain()
    {
        activextest::pump();
        host->releasePendingObjects();
    }
    Com::ComPtr<IConnectionPoint> connectionPoint()
    {
        auto container = bridge.Query<IConnectionPointContainer>();
        Com::ComPtr<IConnectionPoint> point;
        EXPECT_HRESULT_SUCCEEDED(container->FindConnectionPoint(DIID_IFBComEventSource, point.Put()));
        return point;
    }
};

TEST_F(BridgeEvents, AnAdvisedSinkGetsTheEventByNameLaterAndIsReleasedAfterUnadvise)
{
    auto sink = FakeDispatch::make();
    sink->member(L"onecho");
    const ULONG baseline = sink->references();
    auto point = connectionPoint();
    DWORD cookie = 0;
    ASSERT_HRESULT_SUCCEEDED(point->Advise(sink.Get(), &cookie));
    EXPECT_NE(cookie, 0u);

    echoOnce();
    EXPECT_TRUE(sink->calls(L"onecho").empty()) << "a handler ran inside the call that fired it";
    ASSERT_TRUE(activextest::pumpUntil([&] { return !sink->calls(L"onecho").empty(); }));
    auto calls = sink->calls(L"onecho");
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].args.size(), 2u);
    EXPECT_EQ(text(calls[0].args[0].Get()), L"So far, you clicked this many times: ");
    EXPECT_EQ(calls[0].args[1].Type(), VT_I4);
    EXPECT_FALSE(calls[0].withThis);
    EXPECT_EQ(calls[0].thread, GetCurrentThreadId());

    EXPECT_HRESULT_SUCCEEDED(point->Unadvise(cookie));
    EXPECT_EQ(point->Unadvise(cookie), E_UNEXPECTED);
    drain();
    EXPECT_EQ(sink->references(), baseline);
    echoOnce();
    drain();
    EXPECT_EQ(sink->calls(L"onecho").size(), 1u);
}

TEST_F(BridgeEvents, ConnectionPointRefusals)
{
    auto point = connectionPoint();
    auto notDispatch = Com::ComPtr<PlainUnknown>::Adopt(new PlainUnknown);
    DWORD cookie = 7;
    EXPECT_EQ(point->Advise(notDispatch.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(notDispatch->references(), 1u);
    EXPECT_EQ(point->Unadvise(12345), E_UNEXPECTED);

    auto container = bridge.Query<IConnectionPointContainer>();
    Com::ComPtr<IConnectionPoint> other(point.Get());
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, other.Put()), CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(other);
    EXPECT_EQ(container->FindConnectionPoint(DIID_IFBComEventSource, nullptr), E_POINTER);
    EXPECT_EQ(container->EnumConnectionPoints(nullptr), E_POINTER);

    Com::ComPtr<IEnumConnectionPoints> points;
    ASSERT_HRESULT_SUCCEEDED(container->EnumConnectionPoints(points.Put()));
    IConnectionPoint* found[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, found, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(found[0], point.Get());
    found[0]->Release();

    IID events{};
    EXPECT_HRESULT_SUCCEEDED(point->GetConnectionInterface(&events));
    EXPECT_TRUE(IsEqualIID(events, DIID_IFBComEventSource));
    Com::ComPtr<IConnectionPointContainer> back;
    EXPECT_HRESULT_SUCCEEDED(point->GetConnectionPointContainer(back.Put()));
    EXPECT_TRUE(Com::sameObject(back.Get(), bridge.Get()));
}

// A cookie is the address of the sink's wrapper; an Unadvise the API refuses
// answers S_OK and keeps the entry for a later Unadvise.
TEST_F(BridgeEvents, CookiesAreTheSinkWrappersAndARefusedUnadviseKeepsTheEntry)
{
    auto target = std::make_shared<SinkKeepingAPI>();
    auto object = wrap(target);
    Com::ComPtr<IConnectionPoint> point;
    ASSERT_HRESULT_SUCCEEDED(
        object.Query<IConnectionPointContainer>()->FindConnectionPoint(DIID_IFBComEventSource, point.Put()));
    auto sink = FakeDispatch::make();
    DWORD cookies[2] = {};
    for (DWORD& cookie : cookies) ASSERT_HRESULT_SUCCEEDED(point->Advise(sink.Get(), &cookie));
    ASSERT_EQ(target->added.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(cookies[i], static_cast<DWORD>(reinterpret_cast<uintptr_t>(target->added[i])));

    target->refuse = true;
    EXPECT_EQ(point->Unadvise(cookies[0]), S_OK);
    EXPECT_EQ(point->Unadvise(cookies[0]), S_OK) << "the refused entry went";
    target->refuse = false;
    EXPECT_EQ(point->Unadvise(cookies[0]), S_OK);
    EXPECT_EQ(point->Unadvise(cookies[0]), E_UNEXPECTED);
    EXPECT_EQ(point->Unadvise(cookies[1]), S_OK);
}

TEST_F(BridgeEvents, AttachedFunctionsRunAsThemselvesOnceEachUntilDetached)
{
    auto handler = FakeDispatch::make();
    handler->member(L"");
    const ULONG baseline = handler->references();
    auto attach = [&](const wchar_t* member) {
        std::vector<Com::Variant> args;
        args.emplace_back(std::wstring_view(L"onecho"));
        args.emplace_back(static_cast<IDispatch*>(handler.Get()));
        Com::Variant result;
        EXPECT_HRESULT_SUCCEEDED(call(idOf(member), DISPATCH_METHOD, std::move(args), result.Put()));
    };
    attach(L"attachEvent");
    attach(L"attachEvent");  // the same function twice runs once
    echoOnce();
    ASSERT_TRUE(activextest::pumpUntil([&] { return !handler->calls(L"").empty(); }));
    drain();
    auto calls = handler->calls(L"");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].withThis);
    EXPECT_EQ(calls[0].args.size(), 2u);

    attach(L"detachEvent");
    echoOnce();
    drain();
    EXPECT_EQ(handler->calls(L"").size(), 1u);
    EXPECT_EQ(handler->references(), baseline);
}

}  // namespace
