// Process and file utilities against the real system: folder clearing with
// the keep filter, locked and read-only files and long paths; registration
// of DLLs; finding and ending the processes that hold a DLL.
#include "FileLogger.h"
#include "LoggedTest.h"
#include "Misc.h"
#include "TestFolder.h"
#include "Update.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace basetool;

namespace {

bool CopyHelper(const wchar_t* name, const std::wstring& target)
{
    return CopyFileW(AppendPath(BinFolder(), name).c_str(), target.c_str(), FALSE);
}

}  // namespace

class DeleteFolderTest : public LoggedTest {
protected:
    TestFolder install;
};

TEST_F(DeleteFolderTest, DeletesEverythingButTheKeptFilesAndKeepsTheFolder)
{
    CreateDirectoryW((install / L"sub").c_str(), nullptr);
    CreateDirectoryW((install / L"sub\\deeper").c_str(), nullptr);
    CreateDirectoryW((install / L"links").c_str(), nullptr);
    CreateDirectoryW((install / L"empty").c_str(), nullptr);
    for (const wchar_t* file : {L"a.dll", L"show.ico", L"sub\\b.txt", L"sub\\deeper\\c.bin",
             L"links\\Quorvan娱乐直播.lnk", L"sub\\unins000.dat", L"readonly.ini"})
        WriteTextFile(install / file, "x");
    SetFileAttributesW((install / L"readonly.ini").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(CMisc::DeleteFolder(install.path(), &CUpdate::KeepFileFilter));

    struct Expectation {
        const wchar_t* path;
        bool remains;
    } expected[] = {
        {L"", true},
        {L"show.ico", true},
        {L"links\\Quorvan娱乐直播.lnk", true},
        {L"sub\\unins000.dat", true},
        {L"a.dll", false},
        {L"readonly.ini", false},
        {L"sub\\b.txt", false},
        {L"sub\\deeper", false},
        {L"empty", false},
    };
    for (const auto& e : expected) EXPECT_EQ(Exists(install / e.path), e.remains) << e.path;
    std::string log = Log();
    EXPECT_NE(log.find("readonly.ini 文件删除成功"), std::string::npos);
    EXPECT_NE(log.find("show.ico 文件被过滤，不能删除"), std::string::npos);
}

TEST_F(DeleteFolderTest, RemovesTheFolderItselfUnlessSomethingIsKeptInIt)
{
    struct Case {
        std::vector<const wchar_t*> files;
        bool remains;
    } cases[] = {
        {{}, false},
        {{L"a.txt", L"sub\\b.txt"}, false},
        {{L"show.ico", L"unins000.exe"}, true},
    };
    for (const Case& c : cases) {
        std::wstring folder = install / (L"case" + std::to_wstring(&c - cases));
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW(AppendPath(folder, L"sub").c_str(), nullptr);
        for (const wchar_t* file : c.files) WriteTextFile(AppendPath(folder, file), "x");
        EXPECT_TRUE(CMisc::DeleteFolder(folder, &CUpdate::KeepFileFilter)) << c.files.size();
        EXPECT_EQ(Exists(folder), c.remains) << c.files.size();
        for (const wchar_t* file : c.files) EXPECT_EQ(Exists(AppendPath(folder, file)), c.remains) << file;
    }
}

TEST_F(DeleteFolderTest, RefusesAMissingFolderAndAFile)
{
    EXPECT_FALSE(CMisc::DeleteFolder(install / L"missing", {}));
    WriteTextFile(install / L"file", "x");
    EXPECT_FALSE(CMisc::DeleteFolder(install / L"file", {}));
    EXPECT_TRUE(Exists(install / L"file"));
    std::string log = Log();
    EXPECT_NE(log.find("missing 文件不存在"), std::string::npos);
    EXPECT_NE(log.find("file 不是文件夹"), std::string::npos);
}

TEST_F(DeleteFolderTest, ClearsPathsLongerThanMaxPathWithoutTouchingTheParent)
{
    std::wstring root = install / L"root";
    CreateDirectoryW(root.c_str(), nullptr);
    WriteTextFile(install / L"sibling.txt", "keep me");
    std::wstring deep = root;
    for (int i = 0; i < 6; ++i) {
        deep = AppendPath(deep, std::wstring(60, static_cast<wchar_t>(L'a' + i)));
        ASSERT_TRUE(CreateDirectoryW(LongPath(deep).c_str(), nullptr));
    }
    ASSERT_GT(deep.size(), 300u);
    HANDLE file = CreateFileW(LongPath(AppendPath(deep, L"f.txt")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    EXPECT_TRUE(CMisc::DeleteFolder(root, {}));
    EXPECT_FALSE(Exists(LongPath(AppendPath(deep, L"f.txt"))));
    EXPECT_FALSE(Exists(AppendPath(root, std::wstring(60, L'a'))));
    EXPECT_FALSE(Exists(root));  // emptied, so removed itself
    EXPECT_EQ(ReadTextFile(install / L"sibling.txt"), "keep me");
}

TEST_F(DeleteFolderTest, MovesALoadedLibraryAsideAndSchedulesItsDeletion)
{
    std::wstring dll = install / L"inuse.dll";
    ASSERT_TRUE(CopyHelper(L"register_probe_none.dll", dll));
    HMODULE loaded = LoadLibraryW(dll.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(CMisc::DeleteFolder(install.path(), {}));
    EXPECT_FALSE(Exists(dll));
    EXPECT_TRUE(Exists(dll + L".error"));
    std::string log = Log();
    EXPECT_NE(log.find("inuse.dll 文件删除失败,错误码：5"), std::string::npos) << log;
    EXPECT_NE(log.find("inuse.dll 重启后，自动删除"), std::string::npos) << log;
    FreeLibrary(loaded);
}

TEST_F(DeleteFolderTest, ReportsAFileThatCanNeitherBeDeletedNorMoved)
{
    std::wstring locked = install / L"locked.dat";
    WriteTextFile(locked, "data");
    HANDLE held = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // Logged and skipped, as every failure: the answer is still true.
    EXPECT_TRUE(CMisc::DeleteFolder(install.path(), {}));
    CloseHandle(held);
    EXPECT_EQ(ReadTextFile(locked), "data");
    EXPECT_NE(Log().find("locked.dat 文件删除失败,错误码：32"), std::string::npos) << Log();
}

TEST_F(DeleteFolderTest, MoveLockedFileSetsAFileInUseAsideAsOld)
{
    std::wstring dll = install / L"inuse.dll";
    ASSERT_TRUE(CopyHelper(L"register_probe_none.dll", dll));
    WriteTextFile(dll + L".old", "stale from an earlier run");
    HMODULE loaded = LoadLibraryW(dll.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(CUpdate::MoveLockedFile(dll), dll + L".old");
    EXPECT_FALSE(Exists(dll));
    EXPECT_NE(ReadTextFile(dll + L".old"), "stale from an earlier run");
    EXPECT_EQ(CUpdate::MoveLockedFile(install / L"missing.dll"), L"");
    FreeLibrary(loaded);
}

TEST_F(DeleteFolderTest, Unzip7zTakesNamesInTheAnsiCodePage)
{
    CUpdate update(UpdateSettings{});
    std::string package = WideToAnsi(AppendPath(BinFolder(), L"update_test_package.7z"));
    std::string target = WideToAnsi(install / L"unpacked");
    EXPECT_EQ(update.Unzip7z(package, target), 0);
    EXPECT_TRUE(Exists(install / L"unpacked\\ModuleHolder.cpp"));
    EXPECT_NE(update.Unzip7z(package + ".missing", target), 0);
}

class RegDllTest : public LoggedTest {
protected:
    TestFolder dlls;
};

TEST_F(RegDllTest, CallsDllRegisterServerInTheDllsFolderAndJudgesItsResult)
{
    struct Case {
        const wchar_t* helper;
        bool registered;
        bool called;
        const char* logged;
    } cases[] = {
        {L"register_probe_ok.dll", true, true, " 注册成功"},
        {L"register_probe_fail.dll", false, true, " 注册失败，错误码：2147500037"},
        {L"register_probe_none.dll", false, false, " 未实现DllRegisterServer"},
    };
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    for (const Case& c : cases) {
        TestFolder folder;
        std::wstring dll = folder / c.helper;
        ASSERT_TRUE(CopyHelper(c.helper, dll));
        EXPECT_EQ(CMisc::RegDll(dll), c.registered) << c.helper;
        EXPECT_EQ(Exists(folder / L"registered.txt"), c.called) << c.helper;
        EXPECT_NE(Log().find(WideToUtf8(dll) + c.logged), std::string::npos) << c.helper << Log();
        wchar_t after[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, after);
        EXPECT_STREQ(after, before);
    }
    EXPECT_FALSE(CMisc::RegDll(dlls / L"missing.dll"));
    EXPECT_NE(Log().find("missing.dll 文件不存在"), std::string::npos);
}

class ProcessTest : public LoggedTest {
protected:
    // Starts a copy of the holder program under the given name, holding a DLL
    // of the given name, and waits until it has loaded it. Program names are
    // made unique to this test run: processes are ended by name.
    PROCESS_INFORMATION StartHolder(const std::wstring& program, const std::wstring& dllName)
    {
        std::wstring exe = work / program;
        if (!Exists(exe)) {
            EXPECT_TRUE(CopyHelper(L"module_holder.exe", exe));
        }
        std::wstring dll = work / dllName;
        std::wstring ready = work / (std::to_wstring(holders.size()) + L".ready");
        if (!Exists(dll)) {
            EXPECT_TRUE(CopyHelper(L"register_probe_none.dll", dll));
        }
        std::wstring command = L"\"" + exe + L"\" \"" + dll + L"\" \"" + ready + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        EXPECT_TRUE(
            CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
        for (int i = 0; i < 600 && !Exists(ready); ++i) Sleep(50);
        EXPECT_TRUE(Exists(ready));
        holders.push_back(process);
        return process;
    }
    void TearDown() override
    {
        for (auto& process : holders) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        LoggedTest::TearDown();
    }
    bool HasEnded(const PROCESS_INFORMATION& process, DWORD waitMs)
    {
        return WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0;
    }

    TestFolder work;
    std::vector<PROCESS_INFORMATION> holders;
    std::wstring unique = std::to_wstring(GetCurrentProcessId());
};

TEST_F(ProcessTest, HoldersAreFoundByPathTextAndEveryProcessOfAListedNameEnds)
{
    std::wstring holderExe = L"holder_" + unique + L".exe";
    std::wstring bystanderExe = L"bystander_" + unique + L".exe";
    auto holder = StartHolder(holderExe, L"old_Plexhost.dll");
    auto sameName = StartHolder(holderExe, L"plain_" + unique + L".dll");
    auto bystander = StartHolder(bystanderExe, L"other_" + unique + L".dll");

    // A module path that contains the text, in any case, lists the program's name.
    auto found = CMisc::FindProcessesWithModule({L"PLEXHOST.dll", L"npparvelplugin.dll"});
    EXPECT_EQ(std::count(found.begin(), found.end(), holderExe), 1) << found.size();
    EXPECT_EQ(std::count(found.begin(), found.end(), bystanderExe), 0);
    // One module that matches two texts lists its process once; each
    // process of one name is listed.
    found = CMisc::FindProcessesWithModule({L"Plexhost", L"old_"});
    EXPECT_EQ(std::count(found.begin(), found.end(), holderExe), 1);
    found = CMisc::FindProcessesWithModule({L"plexhost.dll", L"plain_" + unique});
    EXPECT_EQ(std::count(found.begin(), found.end(), holderExe), 2);

    // Only names of this test are ended: the list in capitals ends both
    // processes of that name, and no other.
    std::wstring listed = holderExe;
    for (auto& c : listed) c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(CMisc::KillAllProcess({listed}));
    EXPECT_TRUE(HasEnded(holder, 10000));
    EXPECT_TRUE(HasEnded(sameName, 10000));
    EXPECT_FALSE(HasEnded(bystander, 0));
    std::string log = Log();
    std::string name = WideToUtf8(listed);
    EXPECT_NE(log.find("KillAllProcess 强杀进程数 = 1\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("KillAllProcess iter_value = " + name + " pe_name = " + WideToUtf8(holderExe) + "\r\n"),
        std::string::npos);
    EXPECT_NE(log.find("KillAllProcess iter_value = " + name + " pe_name = " + WideToUtf8(bystanderExe) + "\r\n"),
        std::string::npos);
    size_t opened = log.find("KillAllProcess OpenProcess()" + name + " error_code = 0\r\n");
    EXPECT_NE(opened, std::string::npos) << log;
    EXPECT_NE(log.find("KillAllProcess OpenProcess()" + name, opened + 1), std::string::npos) << log;
}

TEST_F(ProcessTest, NeverListsOrEndsItself)
{
    std::wstring name = L"self_" + unique + L".dll";
    std::wstring dll = work / name;
    ASSERT_TRUE(CopyHelper(L"register_probe_none.dll", dll));
    HMODULE loaded = LoadLibraryW(dll.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(CMisc::FindProcessesWithModule({name}).empty());
    EXPECT_TRUE(CMisc::KillAllProcess({FileNamePart(GetModuleFilePath())}));
    EXPECT_EQ(Log().find("OpenProcess()"), std::string::npos) << Log();
    FreeLibrary(loaded);
}
