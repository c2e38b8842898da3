// What the window sees of the engine: progress and completion messages
// posted to its handle, and an honest failure for a package that is not there.
#include "FileLogger.h"
#include "LoggedTest.h"
#include "TestFolder.h"
#include "Update.h"

#include <gtest/gtest.h>

namespace {

class UpdateMessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CFileLogger::Instance().SetDebugOutput(false);
        window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { DestroyWindow(window); }

    bool Posted(UINT message, MSG& msg) { return PeekMessageW(&msg, window, message, message, PM_REMOVE) != 0; }

    UpdateSettings Settings()
    {
        UpdateSettings settings;
        settings.installFolder = install.path();
        settings.dataFolder = data.path();
        settings.pluginModules = {L"no-such-library-" + std::to_wstring(GetCurrentProcessId()) + L".dll"};
        return settings;
    }

    HWND window = nullptr;
    TestFolder install, data;
};

}  // namespace

TEST_F(UpdateMessagesTest, ProgressIsPostedOnlyOnceAWindowIsSet)
{
    CUpdate update(Settings());
    MSG msg;
    update.OnDownload(L"u", L"f", 12);
    EXPECT_FALSE(Posted(WM_UPDATE_PROGRESS, msg));
    update.SetWindow(window);
    update.OnDownload(L"u", L"f", 57);
    ASSERT_TRUE(Posted(WM_UPDATE_PROGRESS, msg));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 57);
}

TEST_F(UpdateMessagesTest, AMissingPackageFailsTheSetupAndTouchesNothing)
{
    WriteTextFile(install / L"npparvelplugin.dll", "installed");
    WriteTextFile(data / L"update.ini", "[Update]\r\nVersion=2.0\r\nURL=http://127.0.0.1/p.7z\r\n");
    CUpdate update(Settings());
    ASSERT_TRUE(update.ReadUpdateIni(data / L"update.ini"));
    update.SetWindow(window);
    for (bool endProcesses : {false, true}) {
        EXPECT_FALSE(endProcesses ? update.Install() : update.Setup());
        MSG msg;
        ASSERT_TRUE(Posted(WM_SETUP_FINISHED, msg));
        EXPECT_EQ(msg.lParam, 1);  // failed
        EXPECT_EQ(ReadTextFile(install / L"npparvelplugin.dll"), "installed");
    }
}

TEST_F(UpdateMessagesTest, TheCompletionIsLoggedOnlyWhenNoWindowShowsIt)
{
    std::wstring log = data / L"logs\\update.log";
    ASSERT_TRUE(CFileLogger::Instance().Open(log));
    WriteTextFile(data / L"update.ini", "[Update]\r\nVersion=2.0\r\nURL=http://127.0.0.1/p.7z\r\n");
    ASSERT_TRUE(CopyFileW(AppendPath(BinFolder(), L"update_test_package.7z").c_str(), (data / L"p.7z").c_str(), FALSE));
    CUpdate update(Settings());
    ASSERT_TRUE(update.ReadUpdateIni(data / L"update.ini"));
    for (HWND shownBy : {window, static_cast<HWND>(nullptr)}) {
        SCOPED_TRACE(shownBy ? "window" : "no window");
        size_t before = ReadTextFile(log).size();
        update.SetWindow(shownBy);
        EXPECT_TRUE(update.Setup());
        MSG msg;
        EXPECT_EQ(Posted(WM_SETUP_FINISHED, msg), shownBy != nullptr);
        std::string logged = FromCodePage936(ReadTextFile(log).substr(before));
        EXPECT_EQ(logged.find("CUpdate::Setup 安装已经完成\r\n") != std::string::npos, shownBy == nullptr) << logged;
    }
    CFileLogger::Instance().Close();
}

TEST_F(UpdateMessagesTest, StopBeforeTheDownloadMakesItFailAtOnce)
{
    WriteTextFile(data / L"update.ini", "[Update]\r\nVersion=2.0\r\nURL=http://127.0.0.1:1/p.7z\r\n");
    CUpdate update(Settings());
    ASSERT_TRUE(update.ReadUpdateIni(data / L"update.ini"));
    update.StopDownload();
    EXPECT_FALSE(update.DownloadPackage());
    EXPECT_EQ(update.LastDownloadError(), L"download cancelled");
    EXPECT_FALSE(Exists(data / L"p.7z"));
}

TEST_F(UpdateMessagesTest, ListsLongerThanTheLimitAreMalformedAndNotRead)
{
    std::string head = "[Update]\r\nVersion=2.0\r\nURL=http://127.0.0.1/p.7z\r\n[RegDll]\r\n";
    std::string dlls;
    for (int i = 0; i < 65; ++i) dlls += "Dll" + std::to_string(i) + "=lib" + std::to_string(i) + ".dll\r\n";
    CUpdate update(Settings());
    WriteTextFile(data / L"update.ini", head + "Num=64\r\n" + dlls);
    ASSERT_TRUE(update.ReadUpdateIni(data / L"update.ini"));
    EXPECT_EQ(update.DllsToRegister().size(), 64u);
    for (const char* count : {"65", "2147483647", "4294967295"}) {
        WriteTextFile(data / L"update.ini", head + "Num=" + count + "\r\n" + dlls);
        EXPECT_FALSE(update.ReadUpdateIni(data / L"update.ini")) << count;
        EXPECT_TRUE(update.DllsToRegister().empty()) << count;
    }
    // The installed list of browsers to end is bounded the same way.
    WriteTextFile(install / L"AppInfo.ini", "[Browser]\r\nNum=2147483647\r\nFile0=module_holder.exe\r\n");
    EXPECT_TRUE(update.BuildKillList().empty());
}
