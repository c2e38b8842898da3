// CMainFrame: the updater's one window. It is built from the skin carried in
// the program, checks for a newer version as soon as its controls exist, and
// walks the user through four pages (new version found, downloading,
// installing, finished) while the update engine works on two threads:
//
//   "button_update"  -> download thread: CUpdate::DownloadPackage
//                       posts WM_UPDATE_PROGRESS (lParam = percent)
//   percent 100      -> WM_DOWNLOAD_FINISHED -> setup thread: CUpdate::Install
//                       posts WM_SETUP_FINISHED (lParam 0 = installed, 1 = failed)
//   "button_ok"      -> the portal's show page, then the window closes
//
// The window cannot be maximised, and Escape, Alt+F4 and the system menu do
// not close it: only its own buttons do. Closing cancels a download and waits
// for both threads, dispatching messages meanwhile, since a library being
// registered on the setup thread may send messages to this window.
//
// Threading: the UI thread owns the window and every control; the workers
// only post messages to it. The frame deletes itself when its window is gone
// and ends the message loop.
#pragma once

#include "Update.h"
#include "WindowImplBase.h"

#include <memory>
#include <string>
#include <vector>

constexpr UINT WM_DOWNLOAD_FINISHED = WM_USER + 16;
constexpr UINT_PTR TIMER_SETUP_PROGRESS = 0x411;
constexpr UINT SETUP_PROGRESS_PERIOD_MS = 200;
constexpr WORD MAIN_FRAME_ICON_ID = 107;

// The native title; a second instance finds the first by it.
extern const wchar_t* const MAIN_FRAME_TITLE;
// The finish page's text after a failed installation.
extern const wchar_t* const SETUP_FAILED_TEXT;

// The portal's show page: "http://" + host + "/show", the host read from
// [Update] "ShowHost" of the installation's "update_server.ini", or the
// portal's own when the key is missing or not a plain host name.
std::wstring ShowPageAddress(const std::wstring& installFolder);

namespace SkinUI {
class CProgressUI;
}

class CMainFrame : public SkinUI::WindowImplBase {
public:
    explicit CMainFrame(UpdateSettings settings = UpdateSettings::ForThisProgram());
    ~CMainFrame() override;

    // Makes the frame's native window with the program's title and style,
    // as the entry does; from then on the window owns the frame. When no
    // window could be made the frame is freed here and null is returned.
    static HWND CreateMainWindow(CMainFrame* frame, HWND owner = nullptr);

    // Shows one of the four pages and hides the others; false (nothing
    // changed) for any other control.
    bool ShowPage(SkinUI::CControlUI* page);
    void OnUpdateProgress(int percent);
    void OnDownloadFinished();
    void OnSetupFinished(bool failed);

    LRESULT FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    static unsigned __stdcall DownloadThreadProc(void* frame);
    static unsigned __stdcall SetupThreadProc(void* frame);

protected:
    const wchar_t* GetWindowClassName() const override { return L"MainFrame"; }
    void OnFinalWindowMessage(HWND window) override;
    void OnControlsReady() override;
    void OnClick(SkinUI::TNotifyMsgUI& msg) override;
    SkinUI::CUIString GetSkinFolder() override { return SkinUI::CUIString(L"update_skin"); }
    SkinUI::CUIString GetSkinFile() override { return SkinUI::CUIString(L"MainFrame.xml"); }
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    LRESULT HandleOtherMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // The system behind the buttons; tests replace them.
    virtual void OpenShowPage(const std::wstring& address);
    // A running worker thread given this frame, or null when it cannot start.
    virtual HANDLE StartWorker(unsigned(__stdcall* proc)(void*));

    CUpdate& Engine() { return *m_update; }
    HANDLE DownloadThread() const { return m_downloadThread; }
    HANDLE SetupThread() const { return m_setupThread; }
    SkinUI::CControlUI* Page(size_t index) const { return index < m_pages.size() ? m_pages[index] : nullptr; }

private:
    void StartDownload();
    void AdvanceSetupProgress();
    // Waits for the workers in turn, dispatching sent and posted messages.
    void WaitForWorkers();

    std::unique_ptr<CUpdate> m_update;
    HANDLE m_downloadThread = nullptr;
    HANDLE m_setupThread = nullptr;
    SkinUI::CProgressUI* m_updateProgress = nullptr;
    SkinUI::CProgressUI* m_setupProgress = nullptr;
    std::vector<SkinUI::CControlUI*> m_pages;
    SkinUI::CControlUI* m_askContent = nullptr;
    SkinUI::CControlUI* m_finishText = nullptr;
    std::wstring m_installFolder;
    std::wstring m_showPageAddress;
    bool m_closing = false;
    bool m_setupFailed = false;
    // Set when the window's end has freed the frame while it was being made.
    bool* m_freedWhileCreating = nullptr;
};
