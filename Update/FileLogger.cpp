#include "FileLogger.h"

#include "PathText.h"

#include <shlobj.h>

#include <cstdio>

namespace basetool {
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
    m_file = CreateFileW(
        LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    char head[kBufferSize];
    int written = m_sourceLocation && sourceFile
        ? snprintf(head, sizeof head, "%s [%s] : %s(%d) ", m_timeStamp, LevelText(level), sourceFile, sourceLine)
        : snprintf(head, sizeof head, "%s [%s] : ", m_timeStamp, LevelText(level));
    if (written > 0) AppendBytes(head, std::min(static_cast<size_t>(written), sizeof head - 1));
    return *this;
}

void CFileLogger::AppendBytes(const char* bytes, size_t count)
{
    // The last two bytes stay free for the line end, and one for the terminator.
    size_t room = kBufferSize - 1 - kLineEnd.size() - m_length;
    if (count > room) {
        count = room;
        // Never cut inside a UTF-8 sequence.
        while (count > 0 && (static_cast<unsigned char>(bytes[count]) & 0xC0) == 0x80) --count;
        m_truncated = true;
    }
    memcpy(m_line + m_length, bytes, count);
    m_length += count;
    m_line[m_length] = '\0';
}

void CFileLogger::AppendCodePoint(char32_t c)
{
    char bytes[4];
    size_t count;
    if (c < 0x80) {
        bytes[0] = static_cast<char>(c);
        count = 1;
    } else if (c < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (c >> 6));
        bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
        count = 2;
    } else if (c < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (c >> 12));
        bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
        count = 3;
    } else {
        bytes[0] = static_cast<char>(0xF0 | (c >> 18));
        bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
        count = 4;
    }
    if (count > kBufferSize - 1 - kLineEnd.size() - m_length) {
        m_truncated = true;
        return;
    }
    AppendBytes(bytes, count);
}

CFileLogger& CFileLogger::Append(std::string_view utf8Text)
{
    if (utf8Text == kLineEnd && m_truncated) return *this;  // EndLine ends a cut line
    if (utf8Text == kLineEnd) {
        // The line end has its reserved room.
        memcpy(m_line + m_length, kLineEnd.data(), kLineEnd.size());
        m_length += kLineEnd.size();
        m_line[m_length] = '\0';
        return *this;
    }
    if (m_truncated) return *this;
    AppendBytes(utf8Text.data(), utf8Text.size());
    return *this;
}

CFileLogger& CFileLogger::Append(std::wstring_view text)
{
    for (size_t i = 0; i < text.size() && !m_truncated; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendCodePoint(c);
    }
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
            // The last line this run writes says why the log ends here.
            char notice[kLimitNoticeRoom];
            int length = snprintf(notice, sizeof notice,
                "%s [%s] : basetool::CFileLogger 本次运行的日志已达上限 %llu 字节，以后的行不再写入\r\n", m_timeStamp,
                LevelText(LogLevel::Warning), m_runLimit);
            WriteToFile(notice, std::min(static_cast<size_t>(std::max(length, 0)), sizeof notice - 1));
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

}  // namespace basetool
