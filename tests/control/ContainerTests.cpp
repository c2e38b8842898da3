// A small script container: an STA thread that creates the registered control by
// ProgID, hands it dispatch callbacks and pumps messages, so that volume reports
// from the engine's thread can cross into the page's apartment.
#include "RegisteredControl.h"
#include "StrevoControl.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// A page function: records the integer arguments of each call and the thread
// that made it. Reference counted so the test can see every reference returned.
class RecordingCallback : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }  // lives on the test's stack
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        if (id != DISPID_VALUE || !(flags & DISPATCH_METHOD) || !params || params->cArgs != 1 ||
            V_VT(&params->rgvarg[0]) != VT_I4)
            return DISP_E_MEMBERNOTFOUND;
        {
            std::lock_guard<std::mutex> guard(lock);
            levels.push_back(V_I4(&params->rgvarg[0]));
            threads.push_back(GetCurrentThreadId());
        }
        if (afterCall) afterCall();
        return S_OK;
    }

    std::vector<int> taken()
    {
        std::lock_guard<std::mutex> guard(lock);
        return levels;
    }
    std::vector<DWORD> callers()
    {
        std::lock_guard<std::mutex> guard(lock);
        return threads;
    }

    std::atomic<ULONG> references{1};
    std::function<void()> afterCall;  // runs inside each call, after it was recorded

private:
    std::mutex lock;
    std::vector<int> levels;
    std::vector<DWORD> threads;
};

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
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
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
        auto canUnload = reinterpret_cast<Entry>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Plexhost.dll"), "DllCanUnloadNow")));
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

TEST_F(PlexhostContainer, VolumeReportsReachTheCallbackOnThePageThread)
{
    RecordingCallback callback;
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&callback)}), S_OK);
    reportWhilePumping(42);
    reportWhilePumping(7);
    reportWhilePumping(99);
    EXPECT_EQ(callback.taken(), (std::vector<int>{42, 7, 99}));
    for (DWORD thread : callback.callers()) EXPECT_EQ(thread, GetCurrentThreadId());
    releaseControl();
    EXPECT_EQ(callback.references.load(), 1u);
}

TEST_F(PlexhostContainer, LaterReportsGoToTheLastDispatchCallback)
{
    RecordingCallback first, second;
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&first)}), S_OK);
    reportWhilePumping(1);
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&second)}), S_OK);
    reportWhilePumping(2);
    ASSERT_EQ(call(L"SetVolCb", {integer(5)}), S_OK);  // no dispatch object: nothing changes
    reportWhilePumping(3);
    EXPECT_EQ(first.taken(), (std::vector<int>{1}));
    EXPECT_EQ(second.taken(), (std::vector<int>{2, 3}));
    EXPECT_EQ(first.references.load(), 1u) << "the replaced function is released at once";
    releaseControl();
    EXPECT_EQ(second.references.load(), 1u);
}

TEST_F(PlexhostContainer, ReportsWithoutCallbackAreDropped)
{
    reportWhilePumping(5);
    RecordingCallback late;
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&late)}), S_OK);
    reportWhilePumping(6);
    EXPECT_EQ(late.taken(), (std::vector<int>{6}));
    releaseControl();
}

TEST_F(PlexhostContainer, MarshalledCallbackNobodyTookIsReleased)
{
    RecordingCallback replaced, waiting;
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&replaced)}), S_OK);
    EXPECT_GT(replaced.references.load(), 1u);
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&waiting)}), S_OK);
    EXPECT_EQ(replaced.references.load(), 1u) << "a replaced stream keeps its reference";
    releaseControl();
    EXPECT_EQ(waiting.references.load(), 1u) << "a stream waiting at destruction keeps its reference";
    EXPECT_TRUE(replaced.taken().empty());
    EXPECT_TRUE(waiting.taken().empty());
}

TEST_F(PlexhostContainer, TeardownWhileReportsAreArriving)
{
    RecordingCallback callback;
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&callback)}), S_OK);
    strevo_test::command("interval 5");
    startSending();
    ASSERT_TRUE(pumpUntil([&] { return callback.taken().size() >= 5; }));
    releaseControl();  // the engine stops while its thread may be calling into this apartment
    EXPECT_EQ(strevo_test::command("engines"), "0");
    ASSERT_TRUE(pumpUntil([&] { return callback.references.load() == 1; }))
        << "the control kept " << callback.references.load() - 1 << " references";
    size_t delivered = callback.taken().size();
    strevo_test::command("report 1");  // no engine any more: nobody reports
    EXPECT_EQ(callback.taken().size(), delivered);
}

TEST_F(PlexhostContainer, ReleasedInsideItsOwnVolumeCallback)
{
    RecordingCallback callback;
    callback.afterCall = [&] {
        if (callback.taken().size() == 3) releaseControl();  // the engine thread waits for this very call
    };
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&callback)}), S_OK);
    strevo_test::command("interval 5");
    startSending();
    ASSERT_TRUE(pumpUntil([&] { return control == nullptr; }));
    ASSERT_TRUE(pumpUntil([] { return strevo_test::command("engines") == "0"; })) << "the engine was never deleted";
    EXPECT_EQ(callback.references.load(), 1u) << "the control kept a reference to the page function";
    EXPECT_EQ(callback.taken().size(), 3u) << "a report reached the page after it dropped the control";
}

TEST_F(PlexhostContainer, ReportsGoOnWhenTheEngineReplacesItsThread)
{
    RecordingCallback callback;
    ASSERT_EQ(call(L"SetVolCb", {dispatchArgument(&callback)}), S_OK);
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
    EXPECT_EQ(callback.taken(), (std::vector<int>{1, 2, 3}));
    releaseControl();
    EXPECT_EQ(callback.references.load(), 1u);
}

}  // namespace

const testing::Environment* const registered = testing::AddGlobalTestEnvironment(new RegisteredControl);
