// The updater's entry pieces: the elevation decision through its seam (under
// Wine the real system always says "go on"), the single-instance mutex and
// the raising of a running instance, the skin resource, and the show page's
// address.
#include "Elevation.h"
#include "MainFrame.h"
#include "SingleInstance.h"
#include "SkinResource.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Elevation, DecisionTable)
{
    struct Case {
        bool admin;
        bool uac;
        DWORD launch;  // what the relaunch answers
        int result;
        bool relaunched;
    } cases[] = {
        {true, true, ERROR_SUCCESS, ELEVATION_GO_ON, false},
        {true, false, ERROR_SUCCESS, ELEVATION_GO_ON, false},
        {false, false, ERROR_SUCCESS, ELEVATION_GO_ON, false},
        {false, true, ERROR_SUCCESS, ELEVATION_RELAUNCHED, true},
        {false, true, ERROR_CANCELLED, ELEVATION_REFUSED, true},
        {false, true, ERROR_FILE_NOT_FOUND, ELEVATION_REFUSED, true},
        {false, true, ERROR_ACCESS_DENIED, ELEVATION_GO_ON, true},
        {false, true, ERROR_NO_ASSOCIATION, ELEVATION_GO_ON, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.admin << c.uac << " " << c.launch);
        bool relaunched = false;
        ElevationSystem system{[&] { return c.admin; }, [&] { return c.uac; },
            [&] {
                relaunched = true;
                return c.launch;
            }};
        EXPECT_EQ(c.result, RunElevatedIfNeeded(system));
        EXPECT_EQ(c.relaunched, relaunched);
    }
    EXPECT_EQ(3, ELEVATION_RELAUNCHED);
    EXPECT_EQ(2, ELEVATION_REFUSED);
}

TEST(Elevation, WineRunsEveryProgramAsAnAdministrator)
{
    EXPECT_TRUE(IsUserAdmin());
    EXPECT_EQ(ELEVATION_GO_ON, RunElevatedIfNeeded());
}

TEST(SingleInstance, OnlyTheFirstHolderIsFirstUntilItLetsGo)
{
    std::wstring name = L"updater-test-mutex-" + std::to_wstring(GetCurrentProcessId());
    {
        CSingleInstanceMutex first(name.c_str());
        EXPECT_TRUE(first.IsFirstInstance());
        CSingleInstanceMutex second(name.c_str());
        EXPECT_FALSE(second.IsFirstInstance());
    }
    CSingleInstanceMutex again(name.c_str());
    EXPECT_TRUE(again.IsFirstInstance());
    EXPECT_STREQ(
        L"Quorvan_SHOW_PLUGIN_UPDATE_SINGLETON_{4F5C0923-73C4-4b98-812C-89FACEB57031}", UPDATER_SINGLETON_MUTEX);
}

TEST(SingleInstance, TheRunningInstanceIsFoundByTitleAndAskedToShow)
{
    std::wstring title = L"updater-test-window-" + std::to_wstring(GetCurrentProcessId());
    EXPECT_FALSE(ActivateRunningInstance(title.c_str()));
    HWND window = CreateWindowExW(
        0, L"STATIC", title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(ActivateRunningInstance(title.c_str()));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, window, WM_SHOW_INSTANCE, WM_SHOW_INSTANCE, PM_REMOVE));
    EXPECT_EQ(0x409u, WM_SHOW_INSTANCE);
    DestroyWindow(window);
}

TEST(SkinResource, TheProgramCarriesItsSkinArchiveInChinese)
{
    SkinResource skin = LoadSkinResource(GetModuleHandleW(nullptr));
    ASSERT_TRUE(skin.IsValid());
    EXPECT_EQ(0, memcmp(skin.data, "PK\x03\x04", 4));
    // Only under its language: the same id in another language is not the skin.
    EXPECT_EQ(nullptr,
        FindResourceExW(
            GetModuleHandleW(nullptr), L"SKIN", MAKEINTRESOURCEW(130), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
    EXPECT_FALSE(LoadSkinResource(GetModuleHandleW(L"kernel32.dll")).IsValid());
}

TEST(ShowPage, AddressFromTheServerSettings)
{
    struct Case {
        const char* ini;
        const wchar_t* address;
    } cases[] = {
        {nullptr, L"http://show.quorvan.com/show"},
        {"[Update]\r\nURL=http://127.0.0.1:81/update.ini\r\n", L"http://show.quorvan.com/show"},
        {"[Update]\r\nShowHost=127.0.0.1:8080\r\n", L"http://127.0.0.1:8080/show"},
        {"[Update]\r\nShowHost=live.example.org\r\n", L"http://live.example.org/show"},
        {"[Update]\r\nShowHost=evil.example/steal?x=\r\n", L"http://show.quorvan.com/show"},
        {"[Update]\r\nShowHost=a b\r\n", L"http://show.quorvan.com/show"},
    };
    for (const Case& c : cases) {
        TestFolder folder;
        if (c.ini) WriteTextFile(folder / L"update_server.ini", c.ini);
        EXPECT_EQ(std::wstring(c.address), ShowPageAddress(folder.path())) << (c.ini ? c.ini : "(no file)");
    }
}

}  // namespace
