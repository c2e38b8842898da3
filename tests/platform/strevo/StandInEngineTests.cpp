// The stand-in engine loaded the way its users load it: LoadLibrary and its exports.
#include "ModuleExport.h"
#include "Strevo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

using CreateFn = IStrevo* (*)(Strevo::IStrevoObersver*);
using DeleteFn = void (*)(IStrevo*);
using ControlFn = int (*)(const char*, char*, int);

class Library {
public:
    Library() : module(LoadLibraryW(L"Strevo.dll"))
    {
        create = moduleExport<CreateFn>(module, "CreateStrevo");
        destroy = moduleExport<DeleteFn>(module, "DeleteStrevo");
        control = moduleExport<ControlFn>(module, "StrevoTestControl");
    }
    ~Library() { FreeLibrary(module); }
    std::string command(const char* text)
    {
        char reply[4096] = {};
        control(text, reply, sizeof reply);
        return reply;
    }
    HMODULE module;
    CreateFn create = nullptr;
    DeleteFn destroy = nullptr;
    ControlFn control = nullptr;
};

class CountingObserver : public Strevo::IStrevoObersver {
public:
    void OnVolumeLevel(int level) override
    {
        std::lock_guard<std::mutex> guard(lock);
        levels.push_back(level);
        threads.push_back(GetCurrentThreadId());
        ++count;
    }
    std::mutex lock;
    std::vector<int> levels;
    std::vector<DWORD> threads;
    std::atomic<int> count{0};
};

TEST(StandInEngine, ExportsResolve)
{
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    EXPECT_NE(lib.create, nullptr);
    EXPECT_NE(lib.destroy, nullptr);
    EXPECT_NE(lib.control, nullptr);
}

TEST(StandInEngine, AnswersAsDocumentedAndRecordsTheCalls)
{
    Library lib;
    lib.command("clear");
    CountingObserver observer;
    IStrevo* engine = lib.create(&observer);
    ASSERT_NE(engine, nullptr);
    wchar_t text[32] = {};
    engine->GetReadyText(text);
    EXPECT_STREQ(text, L"ready");
    EXPECT_FALSE(engine->StartCapture(L""));
    EXPECT_TRUE(engine->StartCapture(L"cam"));
    EXPECT_FALSE(engine->StartSend(L"mic", L"http://not-rtmp", L"r", L"l"));
    lib.command("refuse StartSend");
    EXPECT_FALSE(engine->StartSend(L"mic", L"rtmp://h/l", L"r", L"l"));
    EXPECT_TRUE(engine->StartSend(L"mic", L"RTMP://h/l", L"r", L"l"));
    engine->StopSend();
    EXPECT_TRUE(engine->StopCapture());
    lib.destroy(engine);
    EXPECT_EQ(lib.command("log"),
        "CreateStrevo\nGetReadyText\nStartCapture \nStartCapture cam\n"
        "StartSend mic|http://not-rtmp|r|l\nStartSend mic|rtmp://h/l|r|l\n"
        "StartSend mic|RTMP://h/l|r|l\nStopSend\nStopCapture\nDeleteStrevo\n");
    EXPECT_EQ(lib.control("no such command", nullptr, 0), 1);
}

TEST(StandInEngine, CallLogKeepsTheLatestTenThousandCallsInOrder)
{
    Library lib;
    lib.command("clear");
    CountingObserver observer;
    IStrevo* engine = lib.create(&observer);
    for (int i = 0; i < 10005; ++i) engine->StartCapture((L"cam" + std::to_wstring(i)).c_str());
    lib.destroy(engine);
    // CreateStrevo, cam0 ... cam10004, DeleteStrevo: the first seven lines are gone.
    std::vector<char> reply(512 * 1024);
    lib.control("log", reply.data(), static_cast<int>(reply.size()));
    std::vector<std::string> lines;
    std::string all = reply.data();
    for (size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(all.substr(start, end - start));
    ASSERT_EQ(lines.size(), 10000u);
    EXPECT_EQ(lines.front(), "StartCapture cam6");
    EXPECT_EQ(lines[9998], "StartCapture cam10004");
    EXPECT_EQ(lines.back(), "DeleteStrevo");
    lib.command("clear");
    EXPECT_EQ(lib.command("log"), "");
}

TEST(StandInEngine, ReportsFromItsOwnThreadAndStopsBeforeDeleteReturns)
{
    Library lib;
    lib.command("clear");
    lib.command("interval 5");
    CountingObserver observer;
    IStrevo* engine = lib.create(&observer);
    EXPECT_EQ(lib.command("report 42"), "1");
    ASSERT_EQ(observer.levels, std::vector<int>{42});
    EXPECT_NE(observer.threads[0], GetCurrentThreadId());

    ASSERT_TRUE(engine->StartCapture(L"cam"));
    ASSERT_TRUE(engine->StartSend(L"mic", L"rtmp://h/l", L"r", L"l"));
    for (int i = 0; i < 200 && observer.count < 5; ++i) Sleep(5);
    EXPECT_GE(observer.count, 5);
    lib.destroy(engine);
    int after = observer.count;
    Sleep(50);
    EXPECT_EQ(observer.count, after);
    EXPECT_EQ(lib.command("engines"), "0");
    lib.command("interval 200");
}

TEST(StandInEngine, BurstsInOrderAndReplacesItsThreadOnRequest)
{
    Library lib;
    lib.command("interval 0");
    CountingObserver observer;
    IStrevo* engine = lib.create(&observer);
    EXPECT_EQ(lib.command("burst 500"), "1");
    for (int i = 0; i < 1000 && observer.count < 500; ++i) Sleep(5);
    std::vector<int> expected(500);
    for (int i = 0; i < 500; ++i) expected[i] = i;
    {
        std::lock_guard<std::mutex> guard(observer.lock);
        EXPECT_EQ(observer.levels, expected);
        for (DWORD thread : observer.threads) EXPECT_EQ(thread, observer.threads[0]);
    }
    DWORD first = observer.threads[0];
    EXPECT_EQ(lib.command("replace-threads"), "1");
    EXPECT_EQ(lib.command("report 7"), "1");
    EXPECT_NE(observer.threads.back(), first);
    HANDLE old = OpenThread(SYNCHRONIZE, FALSE, first);
    EXPECT_TRUE(!old || WaitForSingleObject(old, 0) == WAIT_OBJECT_0) << "the replaced thread still runs";
    if (old) CloseHandle(old);
    lib.command("burst 100000");  // deleting drops what was not reported yet
    lib.destroy(engine);
    int after = observer.count;
    Sleep(20);
    EXPECT_EQ(observer.count, after);
    lib.command("interval 200");
}

TEST(StandInEngine, RefusedCreationAnswersNull)
{
    Library lib;
    CountingObserver observer;
    lib.command("refuse CreateStrevo");
    EXPECT_EQ(lib.create(&observer), nullptr);
    EXPECT_EQ(lib.create(nullptr), nullptr);
    lib.destroy(nullptr);
}

}  // namespace
