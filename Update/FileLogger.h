// The updater's process-wide log: "update.log" plus the debugger output.
//
// Each line is built piece by piece in one fixed 4096-byte buffer and written
// with one WriteFile, under a lock taken by BeginLine and released by EndLine,
// so lines of the UI, download and setup threads never mix. The line is
// narrow text: the program's fixed texts (narrow pieces, UTF-8 in the
// source) in code page 936, wide pieces in the thread's ANSI code page
// (WideToAnsi), where characters it lacks become "?". A line that would not
// fit is cut at a character boundary and still ends with CR LF.
//
//   2014.06.03 09:15:02 [  INFO  ] : CUpdate::OnDownload 下载进度：42
//
// One run (from Open on) writes at most RunLimit bytes to the file: the line
// that would pass it is replaced by one WARNING saying so, and later lines go
// to the debugger output only, so no input can make the log fill the disk.
//
// Threading: any thread. A thread that calls BeginLine must call EndLine; use
// LogLine, which always does. Nothing here throws or allocates per line.
#pragma once

#include <windows.h>

#include <concepts>
#include <string>
#include <string_view>

enum class LogLevel { Info, Error, Warning };

class CFileLogger {
public:
    static constexpr size_t kBufferSize = 4096;
    static constexpr unsigned long long kDefaultRunLimit = 16ull << 20;

    static CFileLogger& Instance();

    // Opens (creates, with its folders) the log file and appends to it. A
    // logger without a file writes to the debugger output only.
    bool Open(const std::wstring& path);
    // Closes the file; later lines go to the debugger output only.
    void Close();

    CFileLogger& BeginLine(LogLevel level, const char* sourceFile = nullptr, int sourceLine = 0);
    // A fixed text of the program (UTF-8 in the source).
    CFileLogger& Append(std::string_view text);
    CFileLogger& Append(std::wstring_view text);
    CFileLogger& Append(long long value);
    CFileLogger& Append(unsigned long long value);
    void EndLine();

    void SetDebugOutput(bool on) { m_debugOutput = on; }
    void SetFlush(bool on) { m_flush = on; }
    void SetSourceLocation(bool on) { m_sourceLocation = on; }
    // Bytes one run may write to the file (counted from the next Open).
    void SetRunLimit(unsigned long long bytes) { m_runLimit = bytes; }

    CFileLogger(const CFileLogger&) = delete;
    CFileLogger& operator=(const CFileLogger&) = delete;

private:
    CFileLogger();
    ~CFileLogger();

    void WriteHead(LogLevel level, const char* sourceFile, int sourceLine);
    size_t Room() const;
    void AppendBytes(const char* bytes, size_t count);
    // `narrow` is `text` in the code page; cut at a character when it does not fit.
    void AppendNarrowed(std::string_view narrow, std::wstring_view text, unsigned codePage);
    void WriteToFile(const char* bytes, size_t count);

    char m_line[kBufferSize] = {};
    size_t m_length = 0;
    bool m_truncated = false;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    unsigned long long m_runLimit = kDefaultRunLimit;
    unsigned long long m_runBytes = 0;
    bool m_runLimitReached = false;
    bool m_debugOutput = true;
    bool m_flush = true;
    bool m_sourceLocation = false;
    char m_timeStamp[32] = {};
    CRITICAL_SECTION m_lock;
};

namespace detail {
inline void AppendPiece(CFileLogger& log, std::string_view text)
{
    log.Append(text);
}
inline void AppendPiece(CFileLogger& log, const char* text)
{
    log.Append(std::string_view(text ? text : ""));
}
inline void AppendPiece(CFileLogger& log, std::wstring_view text)
{
    log.Append(text);
}
inline void AppendPiece(CFileLogger& log, const wchar_t* text)
{
    log.Append(std::wstring_view(text ? text : L""));
}
inline void AppendPiece(CFileLogger& log, const std::string& text)
{
    log.Append(std::string_view(text));
}
inline void AppendPiece(CFileLogger& log, const std::wstring& text)
{
    log.Append(std::wstring_view(text));
}
template <std::signed_integral T>
void AppendPiece(CFileLogger& log, T value)
{
    log.Append(static_cast<long long>(value));
}
template <std::unsigned_integral T>
void AppendPiece(CFileLogger& log, T value)
{
    log.Append(static_cast<unsigned long long>(value));
}
}  // namespace detail

// Writes one whole line: the pieces in order, then CR LF. By convention the
// first piece is the method's name ("CUpdate::Setup").
template <class... Pieces>
void LogLine(LogLevel level, const Pieces&... pieces)
{
    CFileLogger& log = CFileLogger::Instance();
    log.BeginLine(level);
    (detail::AppendPiece(log, pieces), ...);
    log.Append(std::string_view("\r\n"));
    log.EndLine();
}
