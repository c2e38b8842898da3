// The log file: line format, appending across runs, whole lines from two
// threads, and lines that would not fit the buffer.
#include "FileLogger.h"
#include "LoggedTest.h"
#include "TestFolder.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

using namespace basetool;

namespace {

class FileLoggerTest : public LoggedTest {
protected:
    FileLoggerTest() : LoggedTest(L"logs\\deeper\\update.log") {}  // folders are created

    void TearDown() override
    {
        LoggedTest::TearDown();
        CFileLogger::Instance().SetSourceLocation(false);
        CFileLogger::Instance().SetRunLimit(CFileLogger::kDefaultRunLimit);
    }
    // The lines as UTF-8, or as the bytes written.
    std::vector<std::string> Lines(bool raw = false)
    {
        std::vector<std::string> lines;
        std::string text = raw ? ReadTextFile(logPath) : Log();
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        EXPECT_EQ(start, text.size()) << "text after the last line end";
        return lines;
    }
};

const std::regex kHead(R"(^\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d \[(  INFO  |  ERROR | WARNING)\] : )");

bool IsValidCodePage936(const std::string& text)
{
    return text.empty() ||
        MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0) > 0;
}

}  // namespace

TEST_F(FileLoggerTest, FixedTextsAreInCodePage936AndValuesInTheThreadsAnsiCodePage)
{
    struct Case {
        LANGID language;
        const char* value;  // the bytes of L"\u00e9\u6df1" in the thread's ANSI code page
    } cases[] = {
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "\xe9?"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), "\xa8\xa6\xc9\xee"},
    };
    for (const Case& c : cases) {
        SetThreadLocale(MAKELCID(c.language, SORT_DEFAULT));
        size_t before = ReadTextFile(logPath).size();
        LogLine(LogLevel::Info, "CUpdate::OnDownload", " 下载进度：", std::wstring(L"\u00e9\u6df1"), 42);
        std::string line = ReadTextFile(logPath).substr(before);
        std::string body =
            "] : CUpdate::OnDownload \xcf\xc2\xd4\xd8\xbd\xf8\xb6\xc8\xa3\xba" + std::string(c.value) + "42\r\n";
        EXPECT_TRUE(line.ends_with(body)) << c.language << " " << line;
    }
}

TEST_F(FileLoggerTest, WritesDatedLevelledLinesOfPieces)
{
    LogLine(LogLevel::Info, "CUpdate::OnDownload", " 下载进度：", 42);
    LogLine(LogLevel::Error, "basetool::CMisc::RegDll", " ", std::wstring(L"C:\\插件\\a.dll"), " 文件不存在");
    LogLine(LogLevel::Warning, "x", " code ", 32u, " neg ", -5);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    const char* levels[] = {"  INFO  ", "  ERROR ", " WARNING"};
    const char* bodies[] = {
        "CUpdate::OnDownload 下载进度：42", "basetool::CMisc::RegDll C:\\插件\\a.dll 文件不存在", "x code 32 neg -5"};
    for (size_t i = 0; i < 3; ++i) {
        std::smatch head;
        ASSERT_TRUE(std::regex_search(lines[i], head, kHead)) << lines[i];
        EXPECT_EQ(head[1].str(), levels[i]);
        EXPECT_EQ(lines[i].substr(head.length()), bodies[i]);
    }
}

TEST_F(FileLoggerTest, AppendsToTheFileOfAnEarlierRun)
{
    LogLine(LogLevel::Info, "first run");
    CFileLogger::Instance().Close();
    ASSERT_TRUE(CFileLogger::Instance().Open(logPath));
    LogLine(LogLevel::Info, "second run");
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("first run"), std::string::npos);
    EXPECT_NE(lines[1].find("second run"), std::string::npos);
}

TEST_F(FileLoggerTest, LinesOfTwoThreadsNeverMix)
{
    auto writer = [](char mark) {
        for (int i = 0; i < 300; ++i) LogLine(LogLevel::Info, std::string(200, mark), " ", i);
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 600u);
    for (const auto& line : lines) {
        std::smatch head;
        ASSERT_TRUE(std::regex_search(line, head, kHead)) << line;
        std::string body = line.substr(head.length());
        ASSERT_GE(body.size(), 202u);
        EXPECT_EQ(body.substr(0, 200), std::string(200, body[0])) << body;
    }
}

TEST_F(FileLoggerTest, CutsAnOverlongLineAtACharacterAndStillEndsIt)
{
    std::wstring longPath = L"C:\\" + std::wstring(3000, L'深');  // 6000 bytes in code page 936
    LogLine(LogLevel::Info, "CUpdate::Unzip7z", " ", longPath, " 释放成功");
    LogLine(LogLevel::Info, "next", " line");
    auto lines = Lines(true);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LE(lines[0].size() + 2, CFileLogger::kBufferSize - 1);
    EXPECT_GT(lines[0].size(), 4000u);
    EXPECT_TRUE(IsValidCodePage936(lines[0]));
    EXPECT_NE(lines[1].find("next line"), std::string::npos);
}

TEST_F(FileLoggerTest, SourceLocationGoesIntoTheHeadWhenAskedFor)
{
    CFileLogger::Instance().SetSourceLocation(true);
    CFileLogger::Instance().BeginLine(LogLevel::Info, "Update.cpp", 77).Append(std::string_view("step\r\n"));
    CFileLogger::Instance().EndLine();
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    std::smatch head;
    ASSERT_TRUE(std::regex_search(lines[0], head, kHead));
    EXPECT_EQ(lines[0].substr(head.length()), "Update.cpp(77) step");
}

TEST(FileLoggerWithoutFile, LinesBeforeOpenAreDroppedQuietly)
{
    CFileLogger::Instance().Close();
    LogLine(LogLevel::Error, "nobody", " listens");
    EXPECT_FALSE(CFileLogger::Instance().Open(L""));
}

TEST_F(FileLoggerTest, OneRunWritesNoMoreThanItsLimitAndSaysSoOnce)
{
    CFileLogger& log = CFileLogger::Instance();
    log.SetRunLimit(8192);
    ASSERT_TRUE(log.Open(logPath));  // counted from here
    for (int i = 0; i < 1000; ++i) LogLine(LogLevel::Info, "CUpdate::HasNewVersion", " [RegDll] Dll", i, " = ");
    EXPECT_LE(ReadTextFile(logPath).size(), 8192u);
    auto lines = Lines();
    ASSERT_GT(lines.size(), 10u);
    EXPECT_LT(lines.size(), 1000u);
    EXPECT_NE(lines.back().find("[ WARNING] : CFileLogger 本次运行的日志已达上限 8192 字节，以后的行不再写入"),
        std::string::npos)
        << lines.back();
    EXPECT_NE(lines[lines.size() - 2].find(" [RegDll] Dll"), std::string::npos);

    // The next run appends, with a count of its own.
    ASSERT_TRUE(log.Open(logPath));
    LogLine(LogLevel::Info, "CUpdate::HasNewVersion", " next run");
    lines = Lines();
    EXPECT_NE(lines.back().find(" next run"), std::string::npos);
    EXPECT_NE(lines[lines.size() - 2].find("本次运行的日志已达上限"), std::string::npos);
}
