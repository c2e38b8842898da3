#include "MainFrame.h"

#include "FileLogger.h"
#include "PathText.h"
#include "ProgressUI.h"
#include "SingleInstance.h"

#include <process.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <initializer_list>

using namespace SkinUI;

const wchar_t* const MAIN_FRAME_TITLE = L"Quorvan娱乐插件升级程序";
const wchar_t* const SETUP_FAILED_TEXT = L"安装失败，请稍后重试";

namespace {

const wchar_t* const kPageNames[] = {
    L"container_latest_version", L"container_updating", L"container_setuping", L"container_setup_finish"};
enum PageIndex { PAGE_LATEST_VERSION, PAGE_UPDATING, PAGE_SETUPING, PAGE_SETUP_FINISH };

const wchar_t* const kDefaultShowHost = L"show.quorvan.com";

constexpr DWORD kMainFrameStyle = 0x10CF0000;  // WS_VISIBLE | WS_OVERLAPPEDWINDOW

// A host name or address with an optional port: nothing that could change
// the path or the scheme of the address it goes into.
bool IsPlainHost(const std::wstring& host)
{
    if (host.empty() || host.size() > 253) return false;
    return std::all_of(host.begin(), host.end(), [](wchar_t c) {
        return (c < 128 && iswalnum(c)) || c == L'.' || c == L'-' || c == L':' || c == L'[' || c == L']';
    });
}

// A worker thread's body: nothing escapes the thread.
template <typename Work>
unsigned RunWorker(const char* where, Work&& work)
{
    try {
        work();
    } catch (...) {
        LogLine(LogLevel::Error, where, " 内部错误");
    }
    return 0;
}

CProgressUI* FindProgress(CWindowManagerUI& manager, const wchar_t* name)
{
    return dynamic_cast<CProgressUI*>(manager.FindControlByName(name));
}

}  // namespace

std::wstring ShowPageAddress(const std::wstring& installFolder)
{
    std::wstring ini = AppendPath(installFolder, L"update_server.ini");
    wchar_t buffer[256] = {};
    GetPrivateProfileStringW(L"Update", L"ShowHost", L"", buffer, 256, ini.c_str());
    std::wstring host = buffer;
    if (!host.empty() && !IsPlainHost(host)) {
        LogLine(LogLevel::Error, "CMainFrame::ShowPageAddress", " ShowHost不是主机名：", host);
        host.clear();
    }
    if (host.empty()) host = kDefaultShowHost;
    return L"http://" + host + L"/show";
}

CMainFrame::CMainFrame(UpdateSettings settings) : m_installFolder(settings.installFolder)
{
    m_update = std::make_unique<CUpdate>(std::move(settings));
}

CMainFrame::~CMainFrame()
{
    // The window's own close path has waited already; this covers a window
    // destroyed any other way, since the workers use the engine and the frame.
    m_update->StopDownload();
    for (HANDLE* thread : {&m_downloadThread, &m_setupThread}) {
        if (!*thread) continue;
        WaitForSingleObject(*thread, INFINITE);
        CloseHandle(*thread);
        *thread = nullptr;
    }
}

bool CMainFrame::ShowPage(CControlUI* page)
{
    if (!page || std::find(m_pages.begin(), m_pages.end(), page) == m_pages.end()) return false;
    for (CControlUI* each : m_pages)
        if (each) each->SetVisible(each == page);
    return true;
}

void CMainFrame::OnUpdateProgress(int percent)
{
    if (m_updateProgress) {
        wchar_t text[16];
        swprintf(text, 16, L"%d%%", percent);
        m_updateProgress->SetText(text);
        m_updateProgress->SetValue(percent);
    }
    if (percent == 100) PostWindowMessage(WM_DOWNLOAD_FINISHED, 0, 0);
}

void CMainFrame::OnDownloadFinished()
{
    // Once only, and never while the window is closing: the user left.
    if (m_setupThread || m_closing) return;
    ::SetTimer(m_hWnd, TIMER_SETUP_PROGRESS, SETUP_PROGRESS_PERIOD_MS, nullptr);
    HANDLE thread = StartWorker(&CMainFrame::SetupThreadProc);
    if (!thread) {
        ::KillTimer(m_hWnd, TIMER_SETUP_PROGRESS);
        LogLine(LogLevel::Error, "CMainFrame::OnDownloadFinished", " 安装线程启动失败：", GetLastError());
        return;
    }
    m_setupThread = thread;
    ShowPage(Page(PAGE_SETUPING));
}

void CMainFrame::OnSetupFinished(bool failed)
{
    ::KillTimer(m_hWnd, TIMER_SETUP_PROGRESS);
    m_setupFailed = failed;
    if (failed && m_finishText) m_finishText->SetText(SETUP_FAILED_TEXT);
    ShowPage(Page(PAGE_SETUP_FINISH));
}

void CMainFrame::AdvanceSetupProgress()
{
    if (m_setupProgress) m_setupProgress->SetValue((m_setupProgress->GetValue() + 10) % 110);
}

LRESULT CMainFrame::FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (msg == WM_KEYDOWN && wParam == VK_ESCAPE) {
        handled = true;
        return 0;
    }
    return WindowImplBase::FilterMessage(msg, wParam, lParam, handled);
}

unsigned __stdcall CMainFrame::DownloadThreadProc(void* frame)
{
    // The result is not needed: the progress messages drive the window.
    return RunWorker(
        "CMainFrame::DownloadThreadProc", [&] { static_cast<CMainFrame*>(frame)->m_update->DownloadPackage(); });
}

unsigned __stdcall CMainFrame::SetupThreadProc(void* frame)
{
    // Ends the holders of the plug-in files, installs, and posts WM_SETUP_FINISHED.
    return RunWorker("CMainFrame::SetupThreadProc", [&] { static_cast<CMainFrame*>(frame)->m_update->Install(); });
}

HWND CMainFrame::CreateMainWindow(CMainFrame* frame, HWND owner)
{
    bool freed = false;
    frame->m_freedWhileCreating = &freed;
    HWND window = frame->CreateNativeWindow(owner, MAIN_FRAME_TITLE, kMainFrameStyle, 0);
    if (window) {
        frame->m_freedWhileCreating = nullptr;
        return window;
    }
    if (!freed) delete frame;
    return nullptr;
}

void CMainFrame::OnFinalWindowMessage(HWND window)
{
    WindowImplBase::OnFinalWindowMessage(window);
    if (m_freedWhileCreating) *m_freedWhileCreating = true;
    delete this;
    PostQuitMessage(0);
}

void CMainFrame::OnControlsReady()
{
    HANDLE icon = LoadImageW(
        CWindowManagerUI::GetModuleInstance(), MAKEINTRESOURCEW(MAIN_FRAME_ICON_ID), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    if (icon) SetClassLongPtrW(m_hWnd, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));

    m_updateProgress = FindProgress(m_PaintManager, L"progress_update");
    m_setupProgress = FindProgress(m_PaintManager, L"progress_setup");
    m_pages.clear();
    for (const wchar_t* name : kPageNames) m_pages.push_back(m_PaintManager.FindControlByName(name));
    m_askContent = m_PaintManager.FindControlByName(L"richedit_ask_content");
    m_finishText = m_PaintManager.FindControlByName(L"label_setup_finish");
    // Read before anything is installed: the installation removes the file.
    m_showPageAddress = ShowPageAddress(m_installFolder);

    if (m_update->HasNewVersion()) {
        m_update->SetWindow(m_hWnd);
        ShowPage(Page(PAGE_LATEST_VERSION));
    } else {
        PostCloseMessage(1);
    }
}

void CMainFrame::OnClick(TNotifyMsgUI& msg)
{
    if (!msg.pSender || m_closing) return;
    CUIString name = msg.pSender->GetName();
    if (name == L"button_cancel" || name == L"closebtn") {
        PostCloseMessage(1);
    } else if (name == L"button_update") {
        StartDownload();
    } else if (name == L"button_ok") {
        // After a failed installation there is nothing new to show.
        if (!m_setupFailed) OpenShowPage(m_showPageAddress);
        PostCloseMessage(1);
    }
}

void CMainFrame::StartDownload()
{
    if (m_downloadThread) return;
    ShowPage(Page(PAGE_UPDATING));
    HANDLE thread = StartWorker(&CMainFrame::DownloadThreadProc);
    if (!thread) {
        // No download runs: the page it would show goes again.
        LogLine(LogLevel::Error, "CMainFrame::OnClick", " 下载线程启动失败：", GetLastError());
        ShowPage(Page(PAGE_LATEST_VERSION));
        return;
    }
    m_downloadThread = thread;
}

void CMainFrame::OpenShowPage(const std::wstring& address)
{
    LogLine(LogLevel::Info, "CMainFrame::OnClick", " 打开：", address);
    ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

HANDLE CMainFrame::StartWorker(unsigned(__stdcall* proc)(void*))
{
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, this, 0, nullptr));
}

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, bool& handled)
{
    // A close request that arrives while the first one waits does nothing.
    if (m_closing) {
        handled = true;
        return 0;
    }
    m_closing = true;
    m_update->StopDownload();
    WaitForWorkers();
    return LeaveUnhandled(handled);
}

void CMainFrame::WaitForWorkers()
{
    bool quit = false;
    WPARAM quitCode = 0;
    for (HANDLE* thread : {&m_downloadThread, &m_setupThread}) {
        if (!*thread) continue;
        for (;;) {
            DWORD woken = MsgWaitForMultipleObjectsEx(1, thread, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woken != WAIT_OBJECT_0 + 1) break;  // the thread ended (or the wait cannot be made)
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                // The message loop ends only after the window is gone.
                if (msg.message == WM_QUIT) {
                    quit = true;
                    quitCode = msg.wParam;
                    continue;
                }
                if (CWindowManagerUI::TranslateLoopMessage(&msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        WaitForSingleObject(*thread, INFINITE);
        CloseHandle(*thread);
        *thread = nullptr;
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

LRESULT CMainFrame::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    // The low four bits carry how the command was given (a caption double
    // click maximises with SC_MAXIMIZE | HTCAPTION).
    WPARAM command = wParam & 0xFFF0;
    if (command == SC_MAXIMIZE || command == SC_CLOSE) {
        handled = true;
        return 0;
    }
    return WindowImplBase::OnSysCommand(msg, wParam, lParam, handled);
}

LRESULT CMainFrame::HandleOtherMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    switch (msg) {
    case WM_UPDATE_PROGRESS:
        OnUpdateProgress(static_cast<int>(lParam));
        handled = true;
        return 0;
    case WM_TIMER:
        if (wParam != TIMER_SETUP_PROGRESS) break;
        AdvanceSetupProgress();
        handled = true;
        return 0;
    case WM_SHOW_INSTANCE:
        ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
        ::SetForegroundWindow(m_hWnd);
        break;
    case WM_DOWNLOAD_FINISHED: OnDownloadFinished(); break;
    case WM_SETUP_FINISHED: OnSetupFinished(lParam != 0); break;
    case WM_NCLBUTTONDBLCLK:
        // No maximising by a double click on the frame.
        handled = true;
        return 0;
    default: break;
    }
    return LeaveUnhandled(handled);
}
