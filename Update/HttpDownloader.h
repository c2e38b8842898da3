// Fetches one URL over HTTP with WinINet and writes the body to a file,
// reporting progress in percent and stopping early when cancelled.
//
// Only a complete 200 answer of the announced length counts: any other
// status, a missing or zero length, a short body, a read or write failure,
// a bound of DownloadLimits that was hit and a cancellation all return false,
// and the partly written file is deleted, so a caller never mistakes half a
// package for a whole one. Redirects are followed here, up to the limit.
//
// Threading: Download runs on one worker thread; Cancel may be called from
// any thread at any time (it closes the handles, which ends a blocked read).
// Every blocking call is bounded by WinINet's time-outs (set on the
// connection, where WinINet takes them from), and by the deadline.
// The object is destroyed only after Download has returned.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <mutex>
#include <string>

// Bounds of one download, so that no server can keep it waiting for ever.
// The receive time-out is also the stall deadline: no byte of the answer or
// the body for that long fails the download. A deadline of 0 is none. Every
// bound that is hit fails the download with its reason.
struct DownloadLimits {
    DWORD connectTimeoutMs = 15000;
    DWORD sendTimeoutMs = 15000;
    DWORD receiveTimeoutMs = 30000;
    unsigned maxRedirects = 5;
    DWORD deadlineMs = 0;                 // the whole download, first connect to last byte
    unsigned long long maxBodyBytes = 0;  // a longer body is refused; 0 = any
};

// (URL, target file, percent 0..100); called on the downloading thread once
// per chunk written (at most 8192 bytes), 100 exactly once, after the file
// is closed.
using DownloadProgressCallback = std::function<void(const std::wstring& url, const std::wstring& file, int percent)>;

class CHttpDownloader {
public:
    CHttpDownloader() = default;
    ~CHttpDownloader();
    CHttpDownloader(const CHttpDownloader&) = delete;
    CHttpDownloader& operator=(const CHttpDownloader&) = delete;

    // Applies to the downloads that follow.
    void SetLimits(const DownloadLimits& limits) { m_limits = limits; }
    const DownloadLimits& Limits() const { return m_limits; }

    bool Download(const std::wstring& url, const std::wstring& targetFile, DownloadProgressCallback callback = {});
    // Final for the object: later downloads fail at once.
    bool Cancel();
    bool IsCancelled() const;

    const std::wstring& LastError() const { return m_lastError; }
    static std::wstring FormatNetError(DWORD code);

private:
    bool Fail(std::wstring reason);
    bool FailWithSystemError(DWORD code);
    // Why a call failed: cancelled, past the deadline, its time-out, or else.
    bool FailCall(DWORD error, const std::wstring& timedOut);
    // The steps of Download: requests until an answer that is not a redirect
    // (at most the limit of redirects), that answer's status and length, and
    // its body into the target file.
    bool FollowRedirects(HINTERNET internet, HINTERNET& request, DWORD& status);
    bool CheckAnswer(HINTERNET request, DWORD status, DWORD& length);
    bool ReceiveBody(HINTERNET request, DWORD length);
    void CloseHandles();
    HINTERNET OpenRequest(HINTERNET internet, const std::wstring& escapedUrl, DWORD& error);
    void CloseRequest();
    // Milliseconds left before the deadline (never more than "bound").
    DWORD Bounded(DWORD bound) const;
    bool DeadlinePassed() const;

    volatile LONG m_cancelled = 0;
    HINTERNET m_internet = nullptr;
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
    std::mutex m_handleLock;  // guards the handles against Cancel
    std::wstring m_url;
    std::wstring m_targetFile;
    DownloadProgressCallback m_callback;
    std::wstring m_lastError;
    DownloadLimits m_limits;
    ULONGLONG m_started = 0;
};
