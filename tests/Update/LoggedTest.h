// A test whose updater log goes to a file of its own (its folders made as
// needed), without the debugger copy, and closed after the test. The test's
// thread runs in the Chinese (PRC) locale, as the updater's users' systems
// do, so the whole log is in code page 936; Log() reads it as UTF-8.
#pragma once

#include "FileLogger.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <string>

// Log text in code page 936 as UTF-8.
inline std::string FromCodePage936(const std::string& text)
{
    int length = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return basetool::WideToUtf8(wide);
}

class LoggedTest : public ::testing::Test {
protected:
    explicit LoggedTest(const std::wstring& relative = L"update.log") : logPath(logs / relative) {}

    void SetUp() override
    {
        SetThreadLocale(MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT));
        CFileLogger::Instance().SetDebugOutput(false);
        ASSERT_TRUE(CFileLogger::Instance().Open(logPath));
    }
    void TearDown() override
    {
        CFileLogger::Instance().Close();
        SetThreadLocale(threadLocale);
    }
    std::string Log() { return FromCodePage936(ReadTextFile(logPath)); }

    TestFolder logs;
    std::wstring logPath;
    LCID threadLocale = GetThreadLocale();
};
