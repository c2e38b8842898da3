#include "HttpDownloader.h"

#include "PathText.h"

#include <shlobj.h>

#include <cstdio>

namespace {

std::wstring Formatted(const wchar_t* format, unsigned long long a, unsigned long long b = 0)
{
    wchar_t text[128];
    swprintf(text, sizeof text / sizeof text[0], format, a, b);
    return text;
}

// Owns the file being written; a file that was not completed is deleted.
class TargetFile {
public:
    explicit TargetFile(std::wstring path) : m_path(std::move(path)) {}
    ~TargetFile()
    {
        Close();
        if (!m_complete && m_created) DeleteFileW(LongPathOf().c_str());
    }
    bool Create()
    {
        m_handle = CreateFileW(LongPathOf().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
            FILE_ATTRIBUTE_NORMAL, nullptr);
        m_created = m_handle != INVALID_HANDLE_VALUE;
        return m_created;
    }
    void Reserve(unsigned long long size)
    {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(size);
        if (SetFilePointerEx(m_handle, at, nullptr, FILE_BEGIN)) SetEndOfFile(m_handle);
        at.QuadPart = 0;
        SetFilePointerEx(m_handle, at, nullptr, FILE_BEGIN);
    }
    bool Write(const void* data, DWORD size, DWORD& written)
    {
        return WriteFile(m_handle, data, size, &written, nullptr) && written == size;
    }
    void Close()
    {
        if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    void MarkComplete() { m_complete = true; }

private:
    std::wstring LongPathOf() const { return basetool::LongPath(m_path); }
    std::wstring m_path;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    bool m_created = false;
    bool m_complete = false;
};

}  // namespace

CHttpDownloader::~CHttpDownloader()
{
    InterlockedExchange(&m_cancelled, 1);
    CloseHandles();
}

bool CHttpDownloader::IsCancelled() const
{
    return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_cancelled), 1, 1) == 1;
}

bool CHttpDownloader::Cancel()
{
    InterlockedExchange(&m_cancelled, 1);
    CloseHandles();
    return true;
}

void CHttpDownloader::CloseHandles()
{
    std::lock_guard<std::mutex> guard(m_handleLock);
    if (m_request) InternetCloseHandle(m_request);
    m_request = nullptr;
    if (m_internet) InternetCloseHandle(m_internet);
    m_internet = nullptr;
}

bool CHttpDownloader::Fail(std::wstring reason)
{
    m_lastError = std::move(reason);
    return false;
}

bool CHttpDownloader::FailWithSystemError(DWORD code)
{
    return Fail(FormatNetError(code));
}

bool CHttpDownloader::Download(
    const std::wstring& url, const std::wstring& targetFile, DownloadProgressCallback callback)
{
    m_url = url;
    m_targetFile = targetFile;
    m_callback = std::move(callback);
    m_lastError.clear();
    // The callback copy is released on every return.
    struct CallbackRelease {
        DownloadProgressCallback& callback;
        ~CallbackRelease() { callback = nullptr; }
    } release{m_callback};
    // The handles serve this download only.
    struct HandleRelease {
        CHttpDownloader& downloader;
        ~HandleRelease() { downloader.CloseHandles(); }
    } handles{*this};

    if (IsCancelled()) return Fail(L"download cancelled");

    HINTERNET internet = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_handleLock);
        m_internet = InternetOpenW(L"Downloader", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!m_internet) return FailWithSystemError(GetLastError());
        // A Cancel that came before the handle existed had nothing to close.
        if (IsCancelled()) return Fail(L"download cancelled");
        internet = m_internet;
    }
    // Opening the URL may block: the lock is not held, so Cancel can close the
    // internet handle meanwhile, which makes the open fail.
    HINTERNET request = InternetOpenUrlW(
        internet, basetool::EscapeUrl(url).c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    DWORD openError = GetLastError();
    {
        std::lock_guard<std::mutex> guard(m_handleLock);
        if (request && !m_internet) {
            InternetCloseHandle(request);  // cancelled while opening
            request = nullptr;
        }
        m_request = request;
    }
    if (!request) return IsCancelled() ? Fail(L"download cancelled") : FailWithSystemError(openError);

    DWORD status = 0, size = sizeof status, index = 0;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index))
        return FailWithSystemError(GetLastError());
    if (status != 200) return Fail(Formatted(L"http server error, status code %llu", status));
    DWORD length = 0;
    size = sizeof length;
    index = 0;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, &index))
        return FailWithSystemError(GetLastError());
    if (length == 0) return Fail(Formatted(L"http server error, content len %llu", length));

    std::wstring folder = basetool::RemoveFileSpec(targetFile);
    if (!folder.empty() && GetFileAttributesW(basetool::LongPath(targetFile).c_str()) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    TargetFile file(targetFile);
    if (!file.Create()) return FailWithSystemError(GetLastError());
    file.Reserve(length);

    unsigned long long total = 0;
    int lastPercent = -1;
    for (;;) {
        if (IsCancelled()) return Fail(L"download cancelled");
        char buffer[8192] = {};
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, sizeof buffer, &read)) {
            DWORD error = GetLastError();
            if (IsCancelled()) return Fail(L"download cancelled");
            wchar_t response[4096] = {};
            DWORD responseError = 0, responseLength = 4096;
            if (InternetGetLastResponseInfoW(&responseError, response, &responseLength) && responseLength > 0)
                OutputDebugStringW((L"http download failed," + std::wstring(response)).c_str());
            return FailWithSystemError(error);
        }
        if (read == 0) break;
        if (total + read > length) return Fail(Formatted(L"http server error, content len %llu", length));
        DWORD written = 0;
        if (!file.Write(buffer, read, written)) return FailWithSystemError(GetLastError());
        total += written;
        int percent = static_cast<int>(total * 100 / length);
        if (total == length) {
            // Complete before anybody is told.
            file.Close();
            file.MarkComplete();
        }
        if (m_callback && percent != lastPercent) {
            lastPercent = percent;
            m_callback(m_url, m_targetFile, percent);
        }
    }
    if (total != length) return Fail(Formatted(L"unknow interrupt,written %llu,filelen %llu", total, length));
    if (IsCancelled()) {
        // Whole on disk, but the caller asked to stop: report it as not done.
        return Fail(L"download cancelled");
    }
    return true;
}

std::wstring CHttpDownloader::FormatNetError(DWORD code)
{
    std::wstring text;
    HMODULE wininet = LoadLibraryW(L"Wininet.dll");
    wchar_t* message = nullptr;
    DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
        (wininet ? FORMAT_MESSAGE_FROM_HMODULE : 0);
    DWORD length =
        FormatMessageW(flags, wininet, code, LANG_USER_DEFAULT, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length && message) {
        text.assign(message, length);
        while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    }
    if (message) LocalFree(message);
    if (wininet) FreeLibrary(wininet);
    if (text.empty()) text = Formatted(L"网络异常 %llu", code);
    return text;
}
