// The updater's window beneath the screen: its pages, the download percent,
// the installing animation, the click table by sender name, the finished
// page after a good and a failed installation, the keys and system commands
// it refuses, and closing while a worker runs. The frame is built from the
// real skin (this program carries the updater's resources) with an engine
// that finds no newer version, whose close request the fixture takes back.
#include "ContainerUI.h"
#include "MainFrame.h"
#include "ProgressUI.h"
#include "SkinResource.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

// Delivers queued messages as the program's loop does.
void pump(int rounds = 10)
{
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            if (CWindowManagerUI::TranslateLoopMessage(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

// Takes a queued message back: its wParam, or -1 when none was queued.
long long takePosted(HWND window, UINT message)
{
    MSG msg;
    if (!PeekMessageW(&msg, window, message, message, PM_REMOVE)) return -1;
    return static_cast<long long>(msg.wParam);
}

// A worker that stands for the setup thread's registration code: it sends a
// message to the window while the window waits for it to end, asks for a
// second close meanwhile, and notes what it saw.
struct BlockingWorker {
    HWND window = nullptr;
    std::atomic<bool> answered{false};
    std::atomic<bool> windowAliveAtEnd{false};
};
BlockingWorker g_worker;

unsigned __stdcall blockingWorkerProc(void*)
{
    Sleep(300);
    DWORD_PTR result = 0;
    g_worker.answered = SendMessageTimeoutW(g_worker.window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result) != 0;
    PostMessageW(g_worker.window, WM_CLOSE, 1, 0);
    Sleep(300);
    g_worker.windowAliveAtEnd = IsWindow(g_worker.window) != FALSE;
    return 0;
}

class FrameUnderTest : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    using CMainFrame::DownloadThread;
    using CMainFrame::Page;
    using CMainFrame::SetupThread;

    std::vector<std::wstring> opened;
    int workersAsked = 0;
    // What the window showed when the last worker was asked for.
    int pageAtStart = -1;
    bool timerAtStart = false;
    enum class Workers { Real, Failing, Blocking } workers = Workers::Real;

    CControlUI* control(const wchar_t* name) { return GetManager().FindControlByName(name); }
    CProgressUI* progress(const wchar_t* name) { return dynamic_cast<CProgressUI*>(control(name)); }
    void click(const wchar_t* name)
    {
        TNotifyMsgUI msg;
        msg.sType = L"click";
        msg.pSender = control(name);
        ASSERT_NE(nullptr, msg.pSender) << name;
        OnNotify(msg);
    }
    // A click from a control of that name, in the skin or not: the frame
    // goes by the sender's name alone.
    void clickFrom(const wchar_t* name)
    {
        CControlUI sender;
        sender.SetName(name);
        TNotifyMsgUI msg;
        msg.sType = L"click";
        msg.pSender = &sender;
        OnNotify(msg);
    }
    // The page shown: the index of the one visible page, or -1.
    int visiblePage()
    {
        int shown = -1;
        for (size_t i = 0; i < 4; ++i) {
            if (!Page(i)->IsVisible()) continue;
            if (shown != -1) return -2;
            shown = static_cast<int>(i);
        }
        return shown;
    }

protected:
    void OpenShowPage(const std::wstring& address) override { opened.push_back(address); }
    HANDLE StartWorker(unsigned(__stdcall* proc)(void*)) override
    {
        ++workersAsked;
        pageAtStart = visiblePage();
        timerAtStart = KillTimer(GetWindowHandle(), TIMER_SETUP_PROGRESS);
        if (timerAtStart) SetTimer(GetWindowHandle(), TIMER_SETUP_PROGRESS, SETUP_PROGRESS_PERIOD_MS, nullptr);
        if (workers == Workers::Failing) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (workers == Workers::Blocking) {
            g_worker.window = GetWindowHandle();
            return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, blockingWorkerProc, nullptr, 0, nullptr));
        }
        return CMainFrame::StartWorker(proc);
    }
};

enum Pages { LATEST, UPDATING, SETUPING, FINISH };

// A frame that counts its ends, and whose window may refuse to be created.
int g_framesFreed = 0;
class CountedFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    ~CountedFrame() override { ++g_framesFreed; }
    bool refuseCreate = false;

protected:
    LRESULT OnCreate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        if (!refuseCreate) return CMainFrame::OnCreate(msg, wParam, lParam, handled);
        handled = true;
        return -1;
    }
};

TEST(MainFrameWindow, AFrameWhoseWindowCannotBeMadeIsFreedOnce)
{
    TestFolder install, data;
    struct Case {
        const char* label;
        HWND owner;
        bool refuseCreate;
    } cases[] = {
        {"no such owner", reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xDEAD0)), false},
        {"creation refused", nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        g_framesFreed = 0;
        auto* frame = new CountedFrame(UpdateSettings{install.path(), data.path()});
        frame->refuseCreate = c.refuseCreate;
        EXPECT_EQ(nullptr, CMainFrame::CreateMainWindow(frame, c.owner));
        EXPECT_EQ(1, g_framesFreed);
    }
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the refused window's end asked for one
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static SkinResource skin = LoadSkinResource(GetModuleHandleW(nullptr));
        ASSERT_TRUE(skin.IsValid());
        CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
        CWindowManagerUI::SetResourceZipBuffer(skin.data, skin.size);
        WriteTextFile(install / L"AppInfo.ini", "[Info]\r\nLocalVersion=1.0.0.9\r\n");
        frame = new FrameUnderTest(UpdateSettings{install.path(), data.path()});
        window = frame->CreateNativeWindow(nullptr, MAIN_FRAME_TITLE, 0x10CF0000, 0);
        ASSERT_NE(nullptr, window);
        // Without "update_server.ini" there is no newer version: the window
        // asked to be closed, with code 1.
        ASSERT_EQ(1, takePosted(window, WM_CLOSE));
        pump();
    }
    void TearDown() override
    {
        if (IsWindow(window)) DestroyWindow(window);  // the frame deletes itself
        pump();
    }

    TestFolder install;
    TestFolder data;
    FrameUnderTest* frame = nullptr;
    HWND window = nullptr;
};

TEST_F(MainFrameTest, WindowIsBuiltFromTheSkin)
{
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(L"MainFrame", className);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(330, client.right);
    EXPECT_EQ(200, client.bottom);
    for (size_t i = 0; i < 4; ++i) EXPECT_NE(nullptr, frame->Page(i)) << i;
    EXPECT_NE(nullptr, frame->progress(L"progress_update"));
    EXPECT_NE(nullptr, frame->progress(L"progress_setup"));
    // "fasle" is not "true": the page that lists programs to close stays hidden.
    EXPECT_FALSE(frame->control(L"container_ask")->IsVisible());
    EXPECT_EQ(LATEST, frame->visiblePage());
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON)));
    // The title bar holds the spacer and the title, nothing else.
    auto* root = dynamic_cast<CContainerUI*>(frame->GetManager().GetRoot());
    ASSERT_NE(nullptr, root);
    auto* titleBar = dynamic_cast<CContainerUI*>(root->GetItemAt(0));
    ASSERT_NE(nullptr, titleBar);
    ASSERT_EQ(2, titleBar->GetCount());
    EXPECT_EQ(10, titleBar->GetItemAt(0)->GetFixedWidth());
    EXPECT_EQ(L"Quorvan娱乐插件更新程序", std::wstring(titleBar->GetItemAt(1)->GetText().GetData()));
    EXPECT_EQ(nullptr, frame->control(L"closebtn"));
}

TEST_F(MainFrameTest, EachStepShowsItsPageAndTimerAsItStartsItsThread)
{
    // The download: the page first, then the thread.
    frame->click(L"button_update");
    EXPECT_EQ(UPDATING, frame->pageAtStart);
    EXPECT_FALSE(frame->timerAtStart);
    // The setup: the timer, then the thread, then the page.
    SendMessageW(window, WM_DOWNLOAD_FINISHED, 0, 0);
    EXPECT_EQ(UPDATING, frame->pageAtStart);
    EXPECT_TRUE(frame->timerAtStart);
    EXPECT_EQ(SETUPING, frame->visiblePage());
}

TEST_F(MainFrameTest, ShowPageShowsOnlyThePages)
{
    for (int page : {FINISH, UPDATING, SETUPING, LATEST}) {
        EXPECT_TRUE(frame->ShowPage(frame->Page(page)));
        EXPECT_EQ(page, frame->visiblePage());
    }
    frame->ShowPage(frame->Page(UPDATING));
    for (const wchar_t* other : {L"container_ask", L"button_update", L"progress_update"}) {
        CControlUI* control = frame->control(other);
        bool wasVisible = control->IsVisible();
        EXPECT_FALSE(frame->ShowPage(control)) << other;
        EXPECT_EQ(UPDATING, frame->visiblePage()) << other;
        EXPECT_EQ(wasVisible, control->IsVisible()) << other;
    }
    EXPECT_FALSE(frame->ShowPage(nullptr));
    EXPECT_EQ(UPDATING, frame->visiblePage());
}

TEST_F(MainFrameTest, DownloadPercentSetsTextAndValueAndOneHundredMovesOn)
{
    CProgressUI* bar = frame->progress(L"progress_update");
    EXPECT_EQ(L"0%", std::wstring(bar->GetText().GetData()));
    for (int percent : {0, 1, 57, 99}) {
        SendMessageW(window, WM_UPDATE_PROGRESS, 0, percent);
        EXPECT_EQ(std::to_wstring(percent) + L"%", std::wstring(bar->GetText().GetData()));
        EXPECT_EQ(percent, bar->GetValue());
        EXPECT_EQ(-1, takePosted(window, WM_DOWNLOAD_FINISHED)) << percent;
    }
    SendMessageW(window, WM_UPDATE_PROGRESS, 0, 100);
    EXPECT_EQ(L"100%", std::wstring(bar->GetText().GetData()));
    EXPECT_EQ(100, bar->GetValue());
    EXPECT_EQ(0, takePosted(window, WM_DOWNLOAD_FINISHED));
    EXPECT_EQ(-1, takePosted(window, WM_DOWNLOAD_FINISHED));
}

TEST_F(MainFrameTest, SetupTimerRunsTheBarRoundInTens)
{
    CProgressUI* bar = frame->progress(L"progress_setup");
    std::vector<int> values;
    for (int i = 0; i < 13; ++i) {
        SendMessageW(window, WM_TIMER, TIMER_SETUP_PROGRESS, 0);
        values.push_back(bar->GetValue());
    }
    EXPECT_EQ((std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0, 10, 20}), values);
    // Other timers are not the animation's.
    SendMessageW(window, WM_TIMER, TIMER_SETUP_PROGRESS + 1, 0);
    EXPECT_EQ(20, bar->GetValue());
}

TEST_F(MainFrameTest, DownloadFinishedStartsTheSetupOnceAndAnimates)
{
    SendMessageW(window, WM_DOWNLOAD_FINISHED, 0, 0);
    EXPECT_EQ(1, frame->workersAsked);
    EXPECT_NE(nullptr, frame->SetupThread());
    EXPECT_EQ(SETUPING, frame->visiblePage());
    SendMessageW(window, WM_DOWNLOAD_FINISHED, 0, 0);
    SendMessageW(window, WM_UPDATE_PROGRESS, 0, 100);
    pump();
    EXPECT_EQ(1, frame->workersAsked);
    // The animation runs on its 200 ms timer until the setup reports.
    CProgressUI* bar = frame->progress(L"progress_setup");
    for (int i = 0; i < 100 && bar->GetValue() == 0; ++i) pump(2);
    EXPECT_NE(0, bar->GetValue());
    SendMessageW(window, WM_SETUP_FINISHED, 0, 0);
    EXPECT_EQ(FINISH, frame->visiblePage());
    EXPECT_FALSE(KillTimer(window, TIMER_SETUP_PROGRESS));
}

TEST_F(MainFrameTest, FinishedPageOpensTheShowPageOnlyAfterASuccess)
{
    const std::wstring address = ShowPageAddress(install.path());
    struct Case {
        LPARAM result;
        const wchar_t* text;
        std::vector<std::wstring> opened;
    } cases[] = {{0, L"安装完成", {address}}, {1, SETUP_FAILED_TEXT, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        frame->opened.clear();
        SendMessageW(window, WM_SETUP_FINISHED, 0, c.result);
        EXPECT_EQ(FINISH, frame->visiblePage());
        EXPECT_EQ(std::wstring(c.text), std::wstring(frame->control(L"label_setup_finish")->GetText().GetData()));
        frame->click(L"button_ok");
        EXPECT_EQ(c.opened, frame->opened);
        EXPECT_EQ(1, takePosted(window, WM_CLOSE));
    }
}

TEST_F(MainFrameTest, ClicksByName)
{
    frame->clickFrom(L"closebtn");
    EXPECT_EQ(1, takePosted(window, WM_CLOSE));
    frame->clickFrom(L"button_cancel");
    EXPECT_EQ(1, takePosted(window, WM_CLOSE));
    for (const wchar_t* idle : {L"button_continue", L"button_close", L"Button_Update", L"button_update ", L""}) {
        frame->clickFrom(idle);
        EXPECT_EQ(-1, takePosted(window, WM_CLOSE)) << idle;
    }
    EXPECT_EQ(0, frame->workersAsked);
    EXPECT_TRUE(frame->opened.empty());
    EXPECT_EQ(LATEST, frame->visiblePage());

    frame->click(L"button_update");
    EXPECT_EQ(1, frame->workersAsked);
    EXPECT_NE(nullptr, frame->DownloadThread());
    EXPECT_EQ(UPDATING, frame->visiblePage());
    frame->click(L"button_update");
    EXPECT_EQ(1, frame->workersAsked);
}

TEST_F(MainFrameTest, AWorkerThatCannotStartLeavesThePageAsItWas)
{
    frame->workers = FrameUnderTest::Workers::Failing;
    frame->click(L"button_update");
    EXPECT_EQ(nullptr, frame->DownloadThread());
    EXPECT_EQ(LATEST, frame->visiblePage());
    frame->ShowPage(frame->Page(UPDATING));
    SendMessageW(window, WM_DOWNLOAD_FINISHED, 0, 0);
    EXPECT_EQ(nullptr, frame->SetupThread());
    EXPECT_EQ(UPDATING, frame->visiblePage());
    EXPECT_FALSE(KillTimer(window, TIMER_SETUP_PROGRESS));
    // Still closable.
    SendMessageW(window, WM_CLOSE, 1, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MainFrameTest, EscapeMaximiseCloseCommandsAndFrameDoubleClicksAreRefused)
{
    bool handled = false;
    frame->FilterMessage(WM_KEYDOWN, VK_ESCAPE, 0, handled);
    EXPECT_TRUE(handled);
    handled = false;
    frame->FilterMessage(WM_KEYDOWN, VK_RETURN, 0, handled);
    EXPECT_FALSE(handled);
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    for (WPARAM command : {SC_CLOSE, SC_MAXIMIZE, SC_MAXIMIZE | HTCAPTION})
        PostMessageW(window, WM_SYSCOMMAND, command, 0);
    PostMessageW(window, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    pump();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_EQ(-1, takePosted(window, WM_CLOSE));
}

TEST_F(MainFrameTest, ClosingWaitsForAWorkerAndKeepsDispatching)
{
    frame->workers = FrameUnderTest::Workers::Blocking;
    frame->click(L"button_update");
    ASSERT_NE(nullptr, frame->DownloadThread());
    // Returns once the worker has ended and the window is gone: a wait that
    // did not dispatch would never see the worker's message answered.
    SendMessageW(window, WM_CLOSE, 1, 0);
    EXPECT_TRUE(g_worker.answered);
    EXPECT_TRUE(g_worker.windowAliveAtEnd);  // the worker's own close request did nothing
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
