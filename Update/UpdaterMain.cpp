// Update.exe: elevated, one instance at a time, its log opened, its skin
// loaded from its own resources, one window until the update is done.
// Exit code 0 after the window closed; 1 when the program could not or must
// not go on (elevation refused or handed to an elevated copy, COM unavailable,
// another instance running, the skin missing).
#include "Elevation.h"
#include "FileLogger.h"
#include "MainFrame.h"
#include "PathText.h"
#include "SingleInstance.h"
#include "SkinResource.h"

#include <objbase.h>

using SkinUI::CWindowManagerUI;

namespace {

int RunUpdater(HINSTANCE instance, int showCommand)
{
    if (RunElevatedIfNeeded() != ELEVATION_GO_ON) return 1;
    if (FAILED(CoInitialize(nullptr))) return 1;
    struct ComScope {
        ~ComScope() { CoUninitialize(); }
    } com;

    CSingleInstanceMutex mutex;
    if (!mutex.IsFirstInstance()) {
        ActivateRunningInstance(MAIN_FRAME_TITLE);
        return 1;
    }
    CFileLogger::Instance().Open(AppendPath(GetCommonAppDataPath(), L"Quorvan\\show_plugin\\update.log"));
    CWindowManagerUI::SetModuleInstance(instance);

    SkinResource skin = LoadSkinResource(instance);
    if (!skin.IsValid()) {
        LogLine(LogLevel::Error, "wWinMain", " 找不到皮肤资源");
        return 1;
    }
    CWindowManagerUI::SetResourceZipBuffer(skin.data, skin.size);

    // The frame deletes itself when its window is gone.
    auto* frame = new CMainFrame();
    if (!CMainFrame::CreateMainWindow(frame)) {
        LogLine(LogLevel::Error, "wWinMain", " 创建窗口失败：", GetLastError());
        ReleaseSkinResource(skin);
        return 1;
    }
    frame->CenterOverOwner();
    ShowWindow(frame->GetWindowHandle(), showCommand);
    CWindowManagerUI::RunMessageLoop();
    ReleaseSkinResource(skin);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand)
{
    try {
        return RunUpdater(instance, showCommand);
    } catch (...) {
        return 1;
    }
}
