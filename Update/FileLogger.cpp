#include "FileLogger.h"

#include "PathText.h"

#include <shlobj.h>

#include <cstdio>

namespace {

const char* LevelText(LogLevel level)
{
    switch (level) {
    case LogLevel::Info: return "  INFO  ";
    case LogLevel::Error: return "  ERROR ";
    case LogLevel::Warning: return " WARNING";
    }
    return "        ";
}

constexpr std::string_view kLineEnd = "\r\n";
// Room kept below the run limit for the line that says it was reached.
constexpr size_t kLimitNoticeRoom = 256;
// The program's fixed texts are Chinese and written in this code page,
// whatever the system's; values in the thread's ANSI code page.
constexpr UINT kFixedTextCodePage = 936;

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

CFileLogger& CFileLogger::Instance()
{
    static CFileLogger logger;
    return logger;
}

CFileLogger::CFileLogger()
{
    InitializeCriticalSectionAndSpinCount(&m_lock, 4000);
}

CFileLogger::~CFileLogger()
{
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    DeleteCriticalSection(&m_lock);
}

bool CFileLogger::Open(const std::wstring& path)
{
    if (path.empty()) return false;
    EnterCriticalSection(&m_lock);
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    std::wstring folder = RemoveFileSpec(path);
    if (!folder.empty() && GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    m_file = CreateFileW(basetool::LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER zero = {};
        SetFilePointerEx(m_file, zero, nullptr, FILE_END);
    }
    m_runBytes = 0;
    m_runLimitReached = false;
    bool opened = m_file != INVALID_HANDLE_VALUE;
    LeaveCriticalSection(&m_lock);
    return opened;
}

void CFileLogger::Close()
{
    EnterCriticalSection(&m_lock);
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    LeaveCriticalSection(&m_lock);
}

CFileLogger& CFileLogger::BeginLine(LogLevel level, const char* sourceFile, int sourceLine)
{
    EnterCriticalSection(&m_lock);
    m_length = 0;
    m_truncated = false;
    m_line[0] = '\0';
    SYSTEMTIME now;
    GetLocalTime(&now);
    snprintf(m_timeStamp, sizeof m_timeStamp, "%.4d.%.2d.%.2d %.2d:%.2d:%.2d", now.wYear, now.wMonth, now.wDay,
        now.wHour, now.wMinute, now.wSecond);
    WriteHead(level, sourceFile, sourceLine);
    return *this;
}

void CFileLogger::WriteHead(LogLevel level, const char* sourceFile, int sourceLine)
{
    char head[kBufferSize];
    int written = m_sourceLocation && sourceFile
        ? snprintf(head, sizeof head, "%s [%s] : %s(%d) ", m_timeStamp, LevelText(level), sourceFile, sourceLine)
        : snprintf(head, sizeof head, "%s [%s] : ", m_timeStamp, LevelText(level));
    if (written > 0) AppendBytes(head, std::min(static_cast<size_t>(written), sizeof head - 1));
}

size_t CFileLogger::Room() const
{
    // The last two bytes stay free for the line end, and one for the terminator.
    return kBufferSize - 1 - kLineEnd.size() - m_length;
}

void CFileLogger::AppendBytes(const char* bytes, size_t count)
{
    if (count > Room()) {
        count = Room();
        m_truncated = true;
    }
    memcpy(m_line + m_length, bytes, count);
    m_length += count;
    m_line[m_length] = '\0';
}

void CFileLogger::AppendNarrowed(std::string_view narrow, std::wstring_view text, unsigned codePage)
{
    if (narrow.size() <= Room()) {
        AppendBytes(narrow.data(), narrow.size());
        return;
    }
    // Cut at a character: the longest start of the text whose conversion fits.
    size_t fits = 0, over = text.size();
    while (over - fits > 1) {
        size_t middle = fits + (over - fits) / 2;
        if (basetool::WideToCodePage(codePage, text.substr(0, middle)).size() <= Room())
            fits = middle;
        else
            over = middle;
    }
    if (fits > 0 && IS_HIGH_SURROGATE(text[fits - 1])) --fits;
    std::string start = basetool::WideToCodePage(codePage, text.substr(0, fits));
    AppendBytes(start.data(), start.size());
    m_truncated = true;
}

CFileLogger& CFileLogger::Append(std::string_view text)
{
    if (text == kLineEnd && m_truncated) return *this;  // EndLine ends a cut line
    if (text == kLineEnd) {
        // The line end has its reserved room.
        memcpy(m_line + m_length, kLineEnd.data(), kLineEnd.size());
        m_length += kLineEnd.size();
        m_line[m_length] = '\0';
        return *this;
    }
    if (m_truncated) return *this;
    if (IsAscii(text)) {
        AppendBytes(text.data(), text.size());
        return *this;
    }
    std::wstring wide = basetool::Utf8ToWide(text);
    AppendNarrowed(basetool::WideToCodePage(kFixedTextCodePage, wide), wide, kFixedTextCodePage);
    return *this;
}

CFileLogger& CFileLogger::Append(std::wstring_view text)
{
    if (m_truncated || text.empty()) return *this;
    AppendNarrowed(WideToAnsi(text), text, CP_THREAD_ACP);
    return *this;
}

CFileLogger& CFileLogger::Append(long long value)
{
    char digits[32];
    int written = snprintf(digits, sizeof digits, "%lld", value);
    return Append(std::string_view(digits, static_cast<size_t>(written)));
}

CFileLogger& CFileLogger::Append(unsigned long long value)
{
    char digits[32];
    int written = snprintf(digits, sizeof digits, "%llu", value);
    return Append(std::string_view(digits, static_cast<size_t>(written)));
}

void CFileLogger::EndLine()
{
    if (m_truncated || m_length < kLineEnd.size() ||
        std::string_view(m_line + m_length - kLineEnd.size(), kLineEnd.size()) != kLineEnd) {
        if (m_length + kLineEnd.size() < kBufferSize) {
            memcpy(m_line + m_length, kLineEnd.data(), kLineEnd.size());
            m_length += kLineEnd.size();
            m_line[m_length] = '\0';
        }
    }
    if (m_debugOutput) OutputDebugStringA(m_line);
    if (m_file != INVALID_HANDLE_VALUE && !m_runLimitReached) {
        if (m_runBytes + m_length + kLimitNoticeRoom <= m_runLimit) {
            WriteToFile(m_line, m_length);
        } else {
            // The last line this run writes, in place of this one, says why
            // the log ends here.
            m_length = 0;
            m_truncated = false;
            WriteHead(LogLevel::Warning, nullptr, 0);
            Append(std::string_view("CFileLogger 本次运行的日志已达上限 ")).Append(m_runLimit);
            Append(std::string_view(" 字节，以后的行不再写入")).Append(kLineEnd);
            WriteToFile(m_line, std::min(m_length, kLimitNoticeRoom));
            m_runLimitReached = true;
        }
    }
    LeaveCriticalSection(&m_lock);
}

void CFileLogger::WriteToFile(const char* bytes, size_t count)
{
    DWORD written = 0;
    WriteFile(m_file, bytes, static_cast<DWORD>(count), &written, nullptr);
    m_runBytes += written;
    if (m_flush) FlushFileBuffers(m_file);
}
