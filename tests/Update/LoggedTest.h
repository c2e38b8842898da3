// A test whose updater log goes to a file of its own (its folders made as
// needed), without the debugger copy, and closed after the test.
#pragma once

#include "FileLogger.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <string>

class LoggedTest : public ::testing::Test {
protected:
    explicit LoggedTest(const std::wstring& relative = L"update.log") : logPath(logs / relative) {}

    void SetUp() override
    {
        basetool::CFileLogger::Instance().SetDebugOutput(false);
        ASSERT_TRUE(basetool::CFileLogger::Instance().Open(logPath));
    }
    void TearDown() override { basetool::CFileLogger::Instance().Close(); }
    std::string Log() { return ReadTextFile(logPath); }

    TestFolder logs;
    std::wstring logPath;
};
