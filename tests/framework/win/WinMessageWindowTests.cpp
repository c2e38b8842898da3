// The hidden message window: names, posted calls from other threads in order on
// the window's thread, default handling, failures contained, and nothing lost
// at destruction.
#include "TraceLog.h"
#include "WinMessageWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

void pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

std::wstring windowText(HWND window)
{
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

std::wstring classOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

struct Log {
    std::vector<int> order;
    std::vector<DWORD> threads;
};

struct Entry {
    Log* log;
    int number;
};

void record(void* data)
{
    auto* entry = static_cast<Entry*>(data);
    entry->log->order.push_back(entry->number);
    entry->log->threads.push_back(GetCurrentThreadId());
    delete entry;
}

void throwing(void*)
{
    throw std::runtime_error("boom");
}

TEST(WinMessageWindow, NamesCountUpPerWindow)
{
    FB::WinMessageWindow first;
    FB::WinMessageWindow second;
    std::wstring firstText = windowText(first.getHWND());
    ASSERT_EQ(firstText.rfind(L"FBEventWindow", 0), 0u);
    int n = std::stoi(firstText.substr(13));
    EXPECT_EQ(classOf(first.getHWND()), L"FrameBaseEventWindow" + std::to_wstring(n));
    EXPECT_EQ(windowText(second.getHWND()), L"FBEventWindow" + std::to_wstring(n + 1));
    EXPECT_EQ(classOf(second.getHWND()), L"FrameBaseEventWindow" + std::to_wstring(n + 1));
    EXPECT_EQ(GetParent(first.getHWND()), nullptr);
    EXPECT_FALSE(IsWindowVisible(first.getHWND()));
}

TEST(WinMessageWindow, CallsPostedFromAnotherThreadRunInOrderOnTheWindowThread)
{
    FB::WinMessageWindow window;
    Log log;
    HWND hwnd = window.getHWND();
    std::thread([&] {
        for (int i = 0; i < 50; ++i) ASSERT_TRUE(FB::WinMessageWindow::postCall(hwnd, record, new Entry{&log, i}));
    }).join();
    EXPECT_TRUE(log.order.empty()) << "a posted call runs only from the message loop";
    pumpMessages();
    ASSERT_EQ(log.order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(log.order[i], i);
    for (DWORD thread : log.threads) EXPECT_EQ(thread, GetCurrentThreadId());
}

TEST(WinMessageWindow, EachPostedCallIsTracedBeforeItRuns)
{
    FB::WinMessageWindow window;
    std::vector<std::string> lines;
    FB::TraceSink previous = FB::setTraceSink([&](const std::string& channel, const std::string& message) {
        if (channel == "PluginWindow") lines.push_back(message);
    });
    struct Step {
        std::vector<std::string>* lines;
        const char* text;
    };
    auto mark = [](void* data) {
        std::unique_ptr<Step> step(static_cast<Step*>(data));
        step->lines->push_back(step->text);
    };
    ASSERT_TRUE(FB::WinMessageWindow::postCall(window.getHWND(), mark, new Step{&lines, "first"}));
    ASSERT_TRUE(FB::WinMessageWindow::postCall(window.getHWND(), mark, new Step{&lines, "second"}));
    pumpMessages();
    FB::setTraceSink(previous);
    EXPECT_THAT(
        lines, ::testing::ElementsAre("Running async function call", "first", "Running async function call", "second"));
}

TEST(WinMessageWindow, OtherMessagesGetTheDefaultHandling)
{
    FB::WinMessageWindow window;
    wchar_t text[64] = {};
    LRESULT length = SendMessageW(window.getHWND(), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    EXPECT_GT(length, 0);
    EXPECT_EQ(std::wstring(text), windowText(window.getHWND()));
}

TEST(WinMessageWindow, AThrowingCallIsContainedAndLaterCallsStillRun)
{
    FB::WinMessageWindow window;
    Log log;
    ASSERT_TRUE(FB::WinMessageWindow::postCall(window.getHWND(), throwing, nullptr));
    ASSERT_TRUE(FB::WinMessageWindow::postCall(window.getHWND(), record, new Entry{&log, 1}));
    pumpMessages();
    EXPECT_EQ(log.order, std::vector<int>{1});
}

TEST(WinMessageWindow, DestructionDeliversWhatIsStillQueued)
{
    Log log;
    HWND hwnd;
    {
        FB::WinMessageWindow window;
        hwnd = window.getHWND();
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(FB::WinMessageWindow::postCall(hwnd, record, new Entry{&log, i}));
    }
    EXPECT_EQ(log.order, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(IsWindow(hwnd));
    Entry* refused = new Entry{&log, 9};
    EXPECT_FALSE(FB::WinMessageWindow::postCall(hwnd, record, refused));
    delete refused;
    pumpMessages();
    EXPECT_EQ(log.order.size(), 3u);
}

}  // namespace
