// The web browser and Flash controls. Wine's browser (without its HTML
// engine) is hosted for real: in place in a host window, its first navigation
// reaching the application's handler, its events disconnected at release. The
// event sinks of both controls are driven directly with tables of dispids,
// argument counts and types; the script-error command, the service provider
// and the accelerators are called as the browser would. No Flash player
// exists here: the Flash control is refused cleanly.
#include "ContainerUI.h"
#include "FlashUI.h"
#include "InputDriver.h"
#include "WebBrowserUI.h"
#include "axcontrol/AxTestControl.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace testui;

namespace {

// One event of a sink's table: what Invoke answers and what the handler saw (null: nothing).
struct EventRow {
    DISPID id;
    VARIANT* args;
    UINT count;
    HRESULT expected;
    const wchar_t* call;
};

template <class Sink, class Handler, std::size_t N>
void expectEventRows(Sink& sink, Handler& handler, const EventRow (&rows)[N])
{
    for (const EventRow& row : rows) {
        handler.calls.clear();
        DISPPARAMS params{row.args, nullptr, row.count, 0};
        EXPECT_EQ(row.expected, sink.Invoke(row.id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr))
            << row.id << " with " << row.count;
        if (row.call) {
            ASSERT_EQ(1u, handler.calls.size()) << row.id;
            EXPECT_EQ(row.call, handler.calls[0]);
        } else {
            EXPECT_TRUE(handler.calls.empty()) << row.id;
        }
    }
}

const wchar_t kPage[] =
    L"<Window size=\"400,300\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\" childpadding=\"10\" inset=\"10,10,10,10\">"
    L"  <Control name=\"top\" height=\"20\"/>"
    L"</VerticalLayout></Window>";

struct OleSession {
    OleSession() { OleInitialize(nullptr); }
    ~OleSession() { OleUninitialize(); }
};

class RecordingBrowserHandler : public IWebBrowserEventsUI {
public:
    std::vector<std::wstring> calls;
    void BeforeNavigate2(IDispatch*, VARIANT*& url, VARIANT*&, VARIANT*&, VARIANT*&, VARIANT*&, VARIANT_BOOL*&) override
    {
        calls.push_back(L"before:" + std::wstring(url && V_VT(url) == VT_BSTR ? V_BSTR(url) : L"?"));
    }
    void NavigateError(IDispatch*, VARIANT*&, VARIANT*&, VARIANT*&, VARIANT_BOOL*&) override
    {
        calls.push_back(L"error");
    }
    void NewWindow3(IDispatch**, VARIANT_BOOL*&, DWORD, BSTR, BSTR url) override
    {
        calls.push_back(L"newwindow:" + std::wstring(url ? url : L""));
    }
    void CommandStateChange(long command, VARIANT_BOOL enable) override
    {
        calls.push_back(L"command:" + std::to_wstring(command) + L"," + std::to_wstring(enable));
    }
    HRESULT GetHostInfo(DOCHOSTUIINFO*) override
    {
        calls.push_back(L"hostinfo");
        return S_OK;
    }
};

class BrowserPage : public WindowFixture {
protected:
    BrowserPage() : WindowFixture(kPage) {}
    void SetUp() override
    {
        WindowFixture::SetUp();
        frame.events.clear();
    }
    void TearDown() override
    {
        static_cast<CContainerUI*>(frame.control(L"root"))->RemoveAll();
        pump(4);
        WindowFixture::TearDown();
    }
    // A browser control added to the window with the handler set before its creation.
    CWebBrowserUI* addBrowser(bool autoNavigate)
    {
        auto* browser = new CWebBrowserUI;
        browser->SetName(L"browser");
        browser->SetFixedHeight(120);
        browser->SetWebBrowserEventHandler(&handler);
        browser->SetAttribute(L"homepage", L"http://127.0.0.1:1/home.html");
        browser->SetAttribute(L"autonavi", autoNavigate ? L"true" : L"false");
        static_cast<CContainerUI*>(frame.control(L"root"))->Add(browser);
        pumpUntil([&] { return browser->IsInPlaceActive(); });
        return browser;
    }
    OleSession ole;
    RecordingBrowserHandler handler;
};

VARIANT byRef(VARIANT* target)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&v) = target;
    return v;
}

}  // namespace

TEST_F(BrowserPage, WineBrowserIsHostedInPlaceAndItsFirstNavigationReachesTheHandler)
{
    CWebBrowserUI* browser = addBrowser(true);
    ASSERT_TRUE(browser->IsInPlaceActive());
    ASSERT_NE(nullptr, browser->GetWebBrowser2());
    EXPECT_TRUE(browser->IsEventsConnected());
    EXPECT_TRUE(frame.saw(L"showactivex:browser"));
    HWND host = browser->GetHostWindow();
    wchar_t name[32] = {};
    GetClassNameW(host, name, 32);
    EXPECT_STREQ(L"ActiveXWnd", name);
    HWND embedding = FindWindowExW(host, nullptr, L"Shell Embedding", nullptr);
    ASSERT_NE(nullptr, embedding);
    RECT rc = windowRectIn(host, frame);
    EXPECT_EQ(browser->GetPos().top, rc.top);
    EXPECT_EQ(browser->GetPos().bottom, rc.bottom);
    pumpUntil([&] { return !handler.calls.empty(); });
    ASSERT_FALSE(handler.calls.empty());
    EXPECT_EQ(L"before:http://127.0.0.1:1/home.html", handler.calls[0]);

    // The layout moves the host window, and its browser window with it.
    RECT moved{20, 150, 220, 250};
    browser->SetPos(moved);
    rc = windowRectIn(host, frame);
    EXPECT_TRUE(EqualRect(&moved, &rc));
    GetClientRect(embedding, &rc);
    EXPECT_EQ(200, rc.right);

    // Released, it hears nothing more.
    browser->ReleaseControl();
    EXPECT_FALSE(browser->IsEventsConnected());
    EXPECT_EQ(nullptr, browser->GetWebBrowser2());
    EXPECT_EQ(nullptr, FindWindowExW(frame, nullptr, L"ActiveXWnd", nullptr));
}

TEST_F(BrowserPage, WithoutAutoNavigationThereIsNoNavigation)
{
    CWebBrowserUI* browser = addBrowser(false);
    ASSERT_TRUE(browser->IsInPlaceActive());
    pump(40);
    EXPECT_TRUE(handler.calls.empty());
    browser->Navigate(L"http://127.0.0.1:1/other.html");
    pumpUntil([&] { return !handler.calls.empty(); });
    ASSERT_FALSE(handler.calls.empty());
    EXPECT_EQ(L"before:http://127.0.0.1:1/other.html", handler.calls[0]);
}

TEST(WebBrowserEvents, InvokeChecksCountsAndTypesBeforeReadingArguments)
{
    CWebBrowserUI browser;
    RecordingBrowserHandler handler;
    browser.SetWebBrowserEventHandler(&handler);

    VARIANT targets[6];
    for (VARIANT& t : targets) VariantInit(&t);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    BSTR url = SysAllocString(L"http://x/");
    V_VT(&targets[5]) = VT_BSTR;
    V_BSTR(&targets[5]) = url;

    VARIANT before[7];
    V_VT(&before[0]) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&before[0]) = &cancel;
    for (int i = 1; i <= 4; ++i) before[i] = byRef(&targets[i]);
    before[5] = byRef(&targets[5]);
    V_VT(&before[6]) = VT_DISPATCH;
    V_DISPATCH(&before[6]) = nullptr;

    VARIANT wrongCancel[7];
    memcpy(wrongCancel, before, sizeof(before));
    V_VT(&wrongCancel[0]) = VT_BOOL;

    VARIANT state[2];
    V_VT(&state[0]) = VT_BOOL;
    V_BOOL(&state[0]) = VARIANT_TRUE;
    V_VT(&state[1]) = VT_I4;
    V_I4(&state[1]) = 2;
    VARIANT stateSwapped[2] = {state[1], state[0]};

    VARIANT status;
    V_VT(&status) = VT_BSTR;
    V_BSTR(&status) = url;
    VARIANT notText;
    V_VT(&notText) = VT_I4;
    V_I4(&notText) = 1;

    const EventRow rows[] = {
        {250, nullptr, 0, DISP_E_BADPARAMCOUNT, nullptr},
        {250, before, 6, DISP_E_BADPARAMCOUNT, nullptr},
        {250, wrongCancel, 7, DISP_E_TYPEMISMATCH, nullptr},
        {250, before, 7, S_OK, L"before:http://x/"},
        {271, before, 7, DISP_E_BADPARAMCOUNT, nullptr},
        {271, before + 2, 5, DISP_E_TYPEMISMATCH, nullptr},
        {273, before, 5, DISP_E_TYPEMISMATCH, nullptr},
        {105, state, 2, S_OK, L"command:2,-1"},
        {105, stateSwapped, 2, DISP_E_TYPEMISMATCH, nullptr},
        {105, state, 1, DISP_E_BADPARAMCOUNT, nullptr},
        {102, &status, 1, S_OK, nullptr},
        {102, &notText, 1, DISP_E_TYPEMISMATCH, nullptr},
        {252, nullptr, 0, DISP_E_BADPARAMCOUNT, nullptr},
        {999, nullptr, 0, DISP_E_MEMBERNOTFOUND, nullptr},
    };
    expectEventRows(browser, handler, rows);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(E_INVALIDARG, browser.Invoke(250, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    SysFreeString(url);
}

TEST(WebBrowserEvents, DocumentHostCommandsServicesAndAccelerators)
{
    CWebBrowserUI browser;
    // Without a handler: the defaults.
    EXPECT_EQ(S_FALSE, browser.ShowContextMenu(0, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, browser.GetHostInfo(nullptr));
    OLECHAR* translated = reinterpret_cast<OLECHAR*>(1);
    EXPECT_EQ(E_NOTIMPL, browser.TranslateUrl(0, nullptr, &translated));
    EXPECT_EQ(nullptr, translated);
    RecordingBrowserHandler handler;
    browser.SetWebBrowserEventHandler(&handler);
    EXPECT_EQ(S_OK, browser.GetHostInfo(nullptr));
    EXPECT_EQ(L"hostinfo", handler.calls.at(0));

    // The script-error command: only in its group, and never harmed by its input.
    const GUID docHost = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, browser.Exec(nullptr, 40, 0, nullptr, &out));
    EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, browser.Exec(&IID_IUnknown, 40, 0, nullptr, &out));
    EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, browser.Exec(&docHost, 41, 0, nullptr, &out));
    EXPECT_TRUE(FAILED(browser.Exec(&docHost, 40, 0, nullptr, &out)));
    EXPECT_EQ(VT_BOOL, V_VT(&out));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&out));
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 5;
    EXPECT_TRUE(FAILED(browser.Exec(&docHost, 40, 0, &number, nullptr)));
    VARIANT empty;
    V_VT(&empty) = VT_UNKNOWN;
    V_UNKNOWN(&empty) = nullptr;
    EXPECT_TRUE(FAILED(browser.Exec(&docHost, 40, 0, &empty, &out)));
    // An object that is no document.
    VARIANT notDocument;
    V_VT(&notDocument) = VT_UNKNOWN;
    V_UNKNOWN(&notDocument) = static_cast<IDispatch*>(&browser);
    EXPECT_TRUE(FAILED(browser.Exec(&docHost, 40, 0, &notDocument, &out)));
    EXPECT_EQ(OLECMDERR_E_NOTSUPPORTED, browser.QueryStatus(nullptr, 0, nullptr, nullptr));

    // No download manager is handed out.
    const GUID downloadManager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};
    void* service = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, browser.QueryService(downloadManager, downloadManager, &service));
    EXPECT_EQ(nullptr, service);

    MSG mouse{nullptr, WM_LBUTTONDOWN, 0, 0, 0, {0, 0}};
    MSG key{nullptr, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_EQ(S_FALSE, browser.TranslateAccelerator(&mouse));
    EXPECT_EQ(E_NOTIMPL, browser.TranslateAccelerator(&key)) << "no browser yet";
    EXPECT_STREQ(L"WebBrowserUI", browser.GetClassName());
    EXPECT_NE(nullptr, browser.GetInterfaceByName(L"WebBrowser"));
    EXPECT_NE(nullptr, browser.GetInterfaceByName(L"ActiveX"));
}

namespace {

class RecordingFlashHandler : public IFlashEventsUI {
public:
    std::vector<std::wstring> calls;
    HRESULT Release() override
    {
        calls.push_back(L"release");
        return S_OK;
    }
    HRESULT AddRef() override { return S_OK; }
    HRESULT OnReadyStateChange(long state) override
    {
        calls.push_back(L"ready:" + std::to_wstring(state));
        return S_OK;
    }
    HRESULT OnProgress(long percent) override
    {
        calls.push_back(L"progress:" + std::to_wstring(percent));
        return S_OK;
    }
    HRESULT FSCommand(BSTR command, BSTR args) override
    {
        calls.push_back(L"fscommand:" + std::wstring(command) + L"," + args);
        return S_OK;
    }
    HRESULT FlashCall(BSTR request) override
    {
        calls.push_back(L"call:" + std::wstring(request));
        return S_OK;
    }
};

}  // namespace

TEST(FlashEvents, InvokeChecksCountsAndTypesAndTheHandlerIsReleased)
{
    RecordingFlashHandler handler;
    {
        CFlashUI flash;
        flash.SetFlashEventHandler(&handler);
        BSTR command = SysAllocString(L"cmd");
        BSTR args = SysAllocString(L"a b");
        VARIANT strings[2];
        V_VT(&strings[0]) = VT_BSTR;
        V_BSTR(&strings[0]) = args;
        V_VT(&strings[1]) = VT_BSTR;
        V_BSTR(&strings[1]) = command;
        VARIANT mixed[2] = {strings[0], strings[1]};
        V_VT(&mixed[0]) = VT_I4;
        V_I4(&mixed[0]) = 7;
        VARIANT number;
        V_VT(&number) = VT_I4;
        V_I4(&number) = 4;
        const EventRow rows[] = {
            {FLASH_FSCOMMAND, strings, 2, S_OK, L"fscommand:cmd,a b"},
            {FLASH_FSCOMMAND, strings, 1, DISP_E_BADPARAMCOUNT, nullptr},
            {FLASH_FSCOMMAND, mixed, 2, DISP_E_TYPEMISMATCH, nullptr},
            {FLASH_CALL, strings, 1, S_OK, L"call:a b"},
            {FLASH_CALL, &number, 1, E_INVALIDARG, nullptr},
            {FLASH_CALL, nullptr, 0, E_INVALIDARG, nullptr},
            {FLASH_READYSTATECHANGE, &number, 1, S_OK, L"ready:4"},
            {FLASH_READYSTATECHANGE, nullptr, 0, DISP_E_BADPARAMCOUNT, nullptr},
            {FLASH_PROGRESS, &number, 1, S_OK, L"progress:4"},
            {FLASH_PROGRESS, nullptr, 0, DISP_E_BADPARAMCOUNT, nullptr},
            {12345, nullptr, 0, S_OK, nullptr},
        };
        expectEventRows(flash, handler, rows);
        SysFreeString(command);
        SysFreeString(args);
        handler.calls.clear();
        IUnknown* events = nullptr;
        EXPECT_EQ(S_OK, flash.QueryInterface(DIID_IShockwaveFlashEvents, reinterpret_cast<void**>(&events)));
        events->Release();
        EXPECT_STREQ(L"Flash", flash.GetClassName());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"release"}), handler.calls);
}

namespace {

// Handlers that throw: what they throw ends at the control's COM boundary.
class ThrowingBrowserHandler : public IWebBrowserEventsUI {
public:
    void CommandStateChange(long, VARIANT_BOOL) override { throw std::runtime_error("handler"); }
    HRESULT GetHostInfo(DOCHOSTUIINFO*) override { throw std::bad_alloc(); }
    HRESULT ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { throw 1; }
};

class ThrowingFlashHandler : public RecordingFlashHandler {
public:
    HRESULT FlashCall(BSTR) override { throw std::runtime_error("handler"); }
};

}  // namespace

TEST(HandlerExceptions, EndAtTheComBoundaryAsResults)
{
    CWebBrowserUI browser;
    ThrowingBrowserHandler browserHandler;
    browser.SetWebBrowserEventHandler(&browserHandler);
    VARIANT state[2];
    V_VT(&state[0]) = VT_BOOL;
    V_BOOL(&state[0]) = VARIANT_TRUE;
    V_VT(&state[1]) = VT_I4;
    V_I4(&state[1]) = 2;
    DISPPARAMS stateChange{state, nullptr, 2, 0};
    EXPECT_EQ(E_UNEXPECTED, browser.Invoke(105, IID_NULL, 0, DISPATCH_METHOD, &stateChange, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_OUTOFMEMORY, browser.GetHostInfo(nullptr));
    EXPECT_EQ(E_UNEXPECTED, browser.ShowContextMenu(0, nullptr, nullptr, nullptr));

    ThrowingFlashHandler flashHandler;
    CFlashUI flash;
    flash.SetFlashEventHandler(&flashHandler);
    BSTR request = SysAllocString(L"<invoke/>");
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = request;
    DISPPARAMS call{&text, nullptr, 1, 0};
    EXPECT_EQ(E_UNEXPECTED, flash.Invoke(FLASH_CALL, IID_NULL, 0, DISPATCH_METHOD, &call, nullptr, nullptr, nullptr));
    SysFreeString(request);
}

TEST_F(BrowserPage, WithoutAPlayerFlashIsRefusedAndTheWindowIsUnaffected)
{
    auto* flash = new CFlashUI;
    flash->SetName(L"flash");
    flash->SetFixedHeight(100);
    static_cast<CContainerUI*>(frame.control(L"root"))->Add(flash);
    pump(20);
    EXPECT_FALSE(flash->IsInPlaceActive());
    EXPECT_FALSE(frame.saw(L"showactivex:flash"));
    EXPECT_EQ(nullptr, flash->GetShockwaveFlash());
    EXPECT_FALSE(flash->DoCreateControl());
    EXPECT_EQ(nullptr, FindWindowExW(frame, nullptr, L"ActiveXWnd", nullptr));
    EXPECT_TRUE(IsWindow(frame));
    MSG key{frame, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_EQ(E_NOTIMPL, flash->TranslateAccelerator(&key));
}

TEST_F(BrowserPage, WithTheStandInPlayerFlashConnectsItsEventsToTheHandler)
{
    HMODULE module = LoadLibraryW(L"AxTestControl.dll");
    ASSERT_NE(nullptr, module);
    auto flashSink =
        reinterpret_cast<AxTestFlashSinkFn>(reinterpret_cast<void*>(GetProcAddress(module, "AxTestFlashSink")));
    ASSERT_NE(nullptr, flashSink);
    RecordingFlashHandler handler;
    auto* flash = new CFlashUI;
    flash->SetName(L"flash");
    flash->SetFixedHeight(100);
    flash->SetFlashEventHandler(&handler);
    flash->SetAttribute(L"modulename", L"AxTestControl.dll");
    flash->SetAttribute(L"homepage", L"ignored");
    static_cast<CContainerUI*>(frame.control(L"root"))->Add(flash);
    pumpUntil([&] { return flash->IsInPlaceActive(); });
    ASSERT_TRUE(flash->IsInPlaceActive());
    EXPECT_TRUE(frame.saw(L"showactivex:flash"));
    EXPECT_NE(nullptr, flash->GetShockwaveFlash());
    EXPECT_TRUE(flash->IsEventsConnected());

    // The player fires through the sink it was given.
    IDispatch* sink = flashSink();
    ASSERT_NE(nullptr, sink);
    BSTR command = SysAllocString(L"play");
    BSTR args = SysAllocString(L"now");
    VARIANT two[2];
    V_VT(&two[0]) = VT_BSTR;
    V_BSTR(&two[0]) = args;
    V_VT(&two[1]) = VT_BSTR;
    V_BSTR(&two[1]) = command;
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 50;
    DISPPARAMS fs{two, nullptr, 2, 0}, call{two, nullptr, 1, 0}, one{&number, nullptr, 1, 0};
    EXPECT_EQ(S_OK, sink->Invoke(FLASH_FSCOMMAND, IID_NULL, 0, DISPATCH_METHOD, &fs, nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, sink->Invoke(FLASH_CALL, IID_NULL, 0, DISPATCH_METHOD, &call, nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, sink->Invoke(FLASH_PROGRESS, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr));
    EXPECT_EQ(
        S_OK, sink->Invoke(FLASH_READYSTATECHANGE, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr));
    sink->Release();
    SysFreeString(command);
    SysFreeString(args);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"fscommand:play,now", L"call:now", L"progress:50", L"ready:50"}), handler.calls);

    // Gone, it leaves the player's connection and calls the handler's release slot.
    handler.calls.clear();
    static_cast<CContainerUI*>(frame.control(L"root"))->Remove(flash);
    pump(4);
    EXPECT_EQ(nullptr, flashSink());
    EXPECT_EQ((std::vector<std::wstring>{L"release"}), handler.calls);
    auto takeSite = reinterpret_cast<AxTestSiteFn>(reinterpret_cast<void*>(GetProcAddress(module, "AxTestGetSite")));
    if (IOleClientSite* site = takeSite()) site->Release();
    EXPECT_EQ(0, CActiveXUI::GetLiveHostObjects());
    FreeLibrary(module);
}
