// A small script container: an STA thread that creates the registered control by
// ProgID, hands it dispatch callbacks and pumps messages, so that volume reports
// from the engine's thread can cross into the page's apartment.
#include "FakeDispatch.h"
#include "MessagePump.h"
#include "ModuleExport.h"
#include "RegisteredControl.h"
#include "StrevoControl.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <climits>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// A page function (FakeDispatch's member L""), reference counted so the test
// can see every reference returned.
Com::ComPtr<FakeDispatch> pageFunction()
{
    auto function = FakeDispatch::make();
    function->member(L"");
    return function;
}

// The levels the page function was called with; a call that is not a method
// call with one integer shows as INT_MIN.
std::vector<int> taken(const FakeDispatch& function)
{
    std::vector<int> levels;
    for (const FakeDispatch::Call& call : function.calls(L"")) {
        const bool level =
            (call.flags & DISPATCH_METHOD) && call.args.size() == 1 && V_VT(&call.args[0].Get()) == VT_I4;
        levels.push_back(level ? V_I4(&call.args[0].Get()) : INT_MIN);
    }
    return levels;
}

std::vector<DWORD> callers(const FakeDispatch& function)
{
    std::vector<DWORD> threads;
    for (const FakeDispatch::Call& call : function.calls(L"")) threads.push_back(call.thread);
    return threads;
}

VARIANT dispatchArgument(IDispatch* callback)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = callback;
    return v;
}

VARIANT integer(int value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT text(const wchar_t* value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(value);
    return v;
}

// Lets COM deliver calls to this apartment until done() holds (or a generous
// safety limit passes, so a broken build fails instead of hanging).
bool pumpUntil(const std::function<bool()>& done)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 20000) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        test_support::dispatchWaitingMessages();
    }
    return true;
}

// The engine reports level from its own thread. The request waits for the
// delivery, which needs this apartment pumping, so it is made from a helper.
void reportWhilePumping(int level)
{
    std::atomic<bool> delivered{false};
    std::thread reporter([&] {
        strevo_test::command("report " + std::to_string(level));
        delivered = true;
    });
    bool finished = pumpUntil([&] { return delivered.load(); });
    reporter.join();
    ASSERT_TRUE(finished);
}

class PlexhostContainer : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        strevo_test::reset();
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(L"Plexhost.FlashX", &clsid), S_OK);
        ASSERT_EQ(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&control)),
            S_OK);
    }
    void TearDown() override
    {
        releaseControl();
        // Nothing of the control is left: no relay, no proxy kept by an engine
        // thread, no engine being deleted.
        EXPECT_TRUE(pumpUntil([] { return canUnloadPlexhost(); })) << "Plexhost.dll still has live objects";
        strevo_test::command("interval 200");
        CoUninitialize();
    }

    static bool canUnloadPlexhost()
    {
        using Entry = HRESULT(WINAPI*)();
        auto canUnload = moduleExport<Entry>(GetModuleHandleW(L"Plexhost.dll"), "DllCanUnloadNow");
        return canUnload && canUnload() == S_OK;
    }

    void releaseControl()
    {
        if (control) control->Release();
        control = nullptr;
    }

    // Late-bound call by name, as page script makes it; arguments in order.
    HRESULT call(const wchar_t* name, std::vector<VARIANT> arguments, VARIANT* result = nullptr)
    {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        HRESULT hr = control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) return hr;
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        VARIANT ignored;
        VariantInit(&ignored);
        hr = control->Invoke(
            id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result ? result : &ignored, nullptr, nullptr);
        VariantClear(&ignored);
        for (VARIANT& v : arguments) {
            if (V_VT(&v) == VT_BSTR) VariantClear(&v);
        }
        return hr;
    }

    void startSending()
    {
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(call(L"Cap", {text(L"Camera 1"), integer(0)}, &result), S_OK);
        ASSERT_EQ(V_I4(&result), 0);
        ASSERT_EQ(
            call(L"sendvideoX",
                {text(L"mic"), text(L"rtmp://127.0.0.1/live"), text(L"640x480"), text(L"1"), integer(0)}, &result),
            S_OK);
        ASSERT_EQ(V_I4(&result), 0);
    }

    IDispatch* control = nullptr;
};

// A container that breaks the dispatch contract: argument arrays that cannot
// hold what their counts say are refused before anything reads them.
TEST_F(PlexhostContainer, ArgumentArraysShorterThanTheirCountsAreRefused)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"SetVol")};
    ASSERT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    VARIANT volume = integer(5);
    DISPID named[2] = {0, 1};
    const struct {
        const char* name;
        DISPPARAMS params;
    } cases[] = {
        {"three arguments without an array", {nullptr, nullptr, 3, 0}},
        {"a named argument without names", {&volume, nullptr, 1, 1}},
        {"more names than arguments", {&volume, named, 1, 2}},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &c.params, &result, nullptr,
                      nullptr),
            E_INVALIDARG);
        VariantClear(&result);
    }
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(call(L"SetVol", {integer(5)}, &result), S_OK) << "a sound call still works";
}

// A kept callback (the log function, the send function) that the page replaces
// from inside its own call, having let go of it, is held until that call returns.
TEST_F(PlexhostContainer, AKeptCallbackReplacedInsideItsOwnCallIsHeldToItsEnd)
{
    struct Road {
        const char* name;
        std::function<HRESULT(IDispatch*)> hand;
        std::function<void()> trigger;  // a call that makes the control call back
    };
    const Road roads[] = {
        {"log", [&](IDispatch* f) { return call(L"LogPrintf", {dispatchArgument(f)}); },
            [&] { ASSERT_EQ(call(L"Cap", {text(L"Camera 1"), integer(0)}), S_OK); }},
        {"send",
            [&](IDispatch* f) {
                return call(L"sendvideoX",
                    {text(L"mic"), text(L"rtmp://127.0.0.1/live"), text(L"640x480"), text(L"1"), dispatchArgument(f)});
            },
            nullptr},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        auto first = pageFunction();
        auto second = pageFunction();
        bool replaced = false;
        ULONG during = 0;
        first->afterCall(L"", [&] {
            if (replaced) return;
            replaced = true;
            road.hand(second.Get());
            during = first->references();
        });
        ASSERT_EQ(road.hand(first.Get()), S_OK);
        if (road.trigger) road.trigger();
        ASSERT_TRUE(replaced);
        EXPECT_GE(during, 2u) << "the control let go of the function inside its own call";
    }
}

TEST_F(PlexhostContainer, VolumeReportsReachTheCallbackOnThePageThread)
{
    auto callback = pageFunction();
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(callback.Get())}), S_OK);
    reportWhilePumping(42);
    reportWhilePumping(7);
    reportWhilePumping(99);
    EXPECT_EQ(taken(*callback), (std::vector<int>{42, 7, 99}));
    for (DWORD thread : callers(*callback)) EXPECT_EQ(thread, GetCurrentThreadId());
    releaseControl();
    EXPECT_EQ(callback->references(), 1u);
}

TEST_F(PlexhostContainer, LaterReportsGoToTheLastDispatchCallback)
{
    auto first = pageFunction(), second = pageFunction();
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(first.Get())}), S_OK);
    reportWhilePumping(1);
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(second.Get())}), S_OK);
    reportWhilePumping(2);
    ASSERT_EQ(call(L"SetVolCb", {integer(5)}), S_OK);  // no dispatch object: nothing changes
    reportWhilePumping(3);
    EXPECT_EQ(taken(*first), (std::vector<int>{1}));
    EXPECT_EQ(taken(*second), (std::vector<int>{2, 3}));
    EXPECT_EQ(first->references(), 1u) << "the replaced function is released at once";
    releaseControl();
    EXPECT_EQ(second->references(), 1u);
}

TEST_F(PlexhostContainer, ReportsWithoutCallbackAreDropped)
{
    reportWhilePumping(5);
    auto late = pageFunction();
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(late.Get())}), S_OK);
    reportWhilePumping(6);
    EXPECT_EQ(taken(*late), (std::vector<int>{6}));
    releaseControl();
}

TEST_F(PlexhostContainer, MarshalledCallbackNobodyTookIsReleased)
{
    auto replaced = pageFunction(), waiting = pageFunction();
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(replaced.Get())}), S_OK);
    EXPECT_GT(replaced->references(), 1u);
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(waiting.Get())}), S_OK);
    EXPECT_EQ(replaced->references(), 1u) << "a replaced stream keeps its reference";
    releaseControl();
    EXPECT_EQ(waiting->references(), 1u) << "a stream waiting at destruction keeps its reference";
    EXPECT_TRUE(taken(*replaced).empty());
    EXPECT_TRUE(taken(*waiting).empty());
}

TEST_F(PlexhostContainer, TeardownWhileReportsAreArriving)
{
    auto callback = pageFunction();
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(callback.Get())}), S_OK);
    strevo_test::command("interval 5");
    startSending();
    ASSERT_TRUE(pumpUntil([&] { return taken(*callback).size() >= 5; }));
    releaseControl();  // the engine stops while its thread may be calling into this apartment
    EXPECT_EQ(strevo_test::command("engines"), "0");
    ASSERT_TRUE(pumpUntil([&] { return callback->references() == 1; }))
        << "the control kept " << callback->references() - 1 << " references";
    size_t delivered = taken(*callback).size();
    strevo_test::command("report 1");  // no engine any more: nobody reports
    EXPECT_EQ(taken(*callback).size(), delivered);
}

TEST_F(PlexhostContainer, ReleasedInsideItsOwnVolumeCallback)
{
    auto callback = pageFunction();
    callback->afterCall(L"", [&] {
        if (taken(*callback).size() == 3) releaseControl();  // the engine thread waits for this very call
    });
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(callback.Get())}), S_OK);
    strevo_test::command("interval 5");
    startSending();
    ASSERT_TRUE(pumpUntil([&] { return control == nullptr; }));
    ASSERT_TRUE(pumpUntil([] { return strevo_test::command("engines") == "0"; })) << "the engine was never deleted";
    EXPECT_EQ(callback->references(), 1u) << "the control kept a reference to the page function";
    EXPECT_EQ(taken(*callback).size(), 3u) << "a report reached the page after it dropped the control";
}

TEST_F(PlexhostContainer, ReportsGoOnWhenTheEngineReplacesItsThread)
{
    auto callback = pageFunction();
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(callback.Get())}), S_OK);
    reportWhilePumping(1);
    reportWhilePumping(2);
    // The old thread releases its proxy as it ends; that call needs this apartment.
    std::atomic<bool> replaced{false};
    std::thread replacer([&] {
        strevo_test::command("replace-threads");
        replaced = true;
    });
    bool finished = pumpUntil([&] { return replaced.load(); });
    replacer.join();
    ASSERT_TRUE(finished);
    reportWhilePumping(3);
    EXPECT_EQ(taken(*callback), (std::vector<int>{1, 2, 3}));
    releaseControl();
    EXPECT_EQ(callback->references(), 1u);
}

}  // namespace

const testing::Environment* const registered = testing::AddGlobalTestEnvironment(new RegisteredControl);
