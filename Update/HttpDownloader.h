// Fetches one URL over HTTP with WinINet and writes the body to a file,
// reporting progress in percent and stopping early when cancelled.
//
// Only a complete 200 answer of the announced length counts: any other
// status, a missing or zero length, a short body, a read or write failure
// and a cancellation all return false, and the partly written file is
// deleted, so a caller never mistakes half a package for a whole one.
//
// Threading: Download runs on one worker thread; Cancel may be called from
// any thread at any time (it closes the handles, which ends a blocked read).
// The object is destroyed only after Download has returned.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <mutex>
#include <string>

// (URL, target file, percent 0..100); called on the downloading thread each
// time the percent changes, 100 exactly once, after the file is closed.
using DownloadProgressCallback = std::function<void(const std::wstring& url, const std::wstring& file, int percent)>;

class CHttpDownloader {
public:
    CHttpDownloader() = default;
    ~CHttpDownloader();
    CHttpDownloader(const CHttpDownloader&) = delete;
    CHttpDownloader& operator=(const CHttpDownloader&) = delete;

    bool Download(const std::wstring& url, const std::wstring& targetFile, DownloadProgressCallback callback = {});
    // Final for the object: later downloads fail at once.
    bool Cancel();
    bool IsCancelled() const;

    const std::wstring& LastError() const { return m_lastError; }
    static std::wstring FormatNetError(DWORD code);

private:
    bool Fail(std::wstring reason);
    bool FailWithSystemError(DWORD code);
    void CloseHandles();

    volatile LONG m_cancelled = 0;
    HINTERNET m_internet = nullptr;
    HINTERNET m_request = nullptr;
    std::mutex m_handleLock;  // guards the two handles against Cancel
    std::wstring m_url;
    std::wstring m_targetFile;
    DownloadProgressCallback m_callback;
    std::wstring m_lastError;
};
