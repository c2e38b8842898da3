#include "HttpDownloader.h"

#include "PathText.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>

namespace {

std::wstring Formatted(const wchar_t* format, unsigned long long a, unsigned long long b = 0)
{
    wchar_t text[128];
    swprintf(text, sizeof text / sizeof text[0], format, a, b);
    return text;
}

void CloseInternetHandle(HINTERNET& handle)
{
    if (handle) InternetCloseHandle(handle);
    handle = nullptr;
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
    CloseInternetHandle(m_request);
    CloseInternetHandle(m_connection);
    CloseInternetHandle(m_internet);
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

DWORD CHttpDownloader::Bounded(DWORD bound) const
{
    if (!m_limits.deadlineMs) return bound;
    ULONGLONG elapsed = GetTickCount64() - m_started;
    if (elapsed >= m_limits.deadlineMs) return 1;
    return static_cast<DWORD>(std::min<ULONGLONG>(bound, m_limits.deadlineMs - elapsed));
}

bool CHttpDownloader::DeadlinePassed() const
{
    return m_limits.deadlineMs && GetTickCount64() - m_started >= m_limits.deadlineMs;
}

namespace {

void SetTimeout(HINTERNET handle, DWORD option, DWORD ms)
{
    InternetSetOptionW(handle, option, &ms, sizeof ms);
}

bool IsRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::wstring QueryText(HINTERNET request, DWORD what)
{
    std::wstring text(1024, L'\0');
    DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t)), index = 0;
    if (!HttpQueryInfoW(request, what, text.data(), &size, &index)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        text.assign(size / sizeof(wchar_t) + 1, L'\0');
        index = 0;
        if (!HttpQueryInfoW(request, what, text.data(), &size, &index)) return {};
    }
    text.resize(size / sizeof(wchar_t));
    return text;
}

// The address a redirect names, relative to the one that was asked for.
std::wstring CombineUrl(const std::wstring& base, const std::wstring& location)
{
    std::wstring escaped = EscapeUrl(location);
    std::wstring combined(base.size() + escaped.size() + 64, L'\0');
    DWORD length = static_cast<DWORD>(combined.size());
    if (!InternetCombineUrlW(base.c_str(), escaped.c_str(), combined.data(), &length, ICU_NO_ENCODE)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        combined.assign(length + 1, L'\0');
        length = static_cast<DWORD>(combined.size());
        if (!InternetCombineUrlW(base.c_str(), escaped.c_str(), combined.data(), &length, ICU_NO_ENCODE)) return {};
    }
    combined.resize(length);
    return combined;
}

struct UrlParts {
    bool secure = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object;  // path and query
};

bool SplitUrl(const std::wstring& url, UrlParts& parts)
{
    URL_COMPONENTSW components = {};
    components.dwStructSize = sizeof components;
    components.dwHostNameLength = 1;
    components.dwUrlPathLength = 1;
    components.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) return false;
    if (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS) {
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return false;
    }
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    parts.host.assign(components.lpszHostName, components.dwHostNameLength);
    parts.port = components.nPort;
    parts.object.assign(components.lpszUrlPath, components.dwUrlPathLength);
    if (components.lpszExtraInfo) parts.object.append(components.lpszExtraInfo, components.dwExtraInfoLength);
    if (parts.object.empty()) parts.object = L"/";
    return true;
}

}  // namespace

// Connection, request and send as three steps, not one InternetOpenUrlW:
// WinINet takes the send and receive time-outs of a request from its
// connection handle (Wine's ignores them on the internet handle), and
// redirects are followed by Download, which counts them.
HINTERNET CHttpDownloader::OpenRequest(HINTERNET internet, const std::wstring& escapedUrl, DWORD& error)
{
    UrlParts parts;
    if (!SplitUrl(escapedUrl, parts)) {
        error = GetLastError();
        return nullptr;
    }
    // Each blocking step ends by its time-out, and by the deadline at the latest.
    SetTimeout(internet, INTERNET_OPTION_CONNECT_TIMEOUT, Bounded(m_limits.connectTimeoutMs));
    HINTERNET connection =
        InternetConnectW(internet, parts.host.c_str(), parts.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) {
        error = GetLastError();
        return nullptr;
    }
    SetTimeout(connection, INTERNET_OPTION_CONNECT_TIMEOUT, Bounded(m_limits.connectTimeoutMs));
    SetTimeout(connection, INTERNET_OPTION_SEND_TIMEOUT, Bounded(m_limits.sendTimeoutMs));
    SetTimeout(connection, INTERNET_OPTION_RECEIVE_TIMEOUT, Bounded(m_limits.receiveTimeoutMs));
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
        (parts.secure ? INTERNET_FLAG_SECURE : 0);
    HINTERNET request = HttpOpenRequestW(connection, L"GET", parts.object.c_str(), nullptr, nullptr, nullptr, flags, 0);
    {
        std::lock_guard<std::mutex> guard(m_handleLock);
        if (!m_internet) {  // cancelled meanwhile
            if (request) InternetCloseHandle(request);
            InternetCloseHandle(connection);
            error = ERROR_INTERNET_OPERATION_CANCELLED;
            return nullptr;
        }
        m_connection = connection;
        m_request = request;
    }
    if (!request) {
        error = GetLastError();
        return nullptr;
    }
    // Sending may block: the lock is not held, so Cancel can close the handles
    // meanwhile, which makes the send fail.
    if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
        error = GetLastError();
        return nullptr;
    }
    return request;
}

void CHttpDownloader::CloseRequest()
{
    std::lock_guard<std::mutex> guard(m_handleLock);
    CloseInternetHandle(m_request);
    CloseInternetHandle(m_connection);
}

bool CHttpDownloader::FailCall(DWORD error, const std::wstring& timedOut)
{
    if (IsCancelled()) return Fail(L"download cancelled");
    if (DeadlinePassed()) return Fail(Formatted(L"download deadline of %llu ms passed", m_limits.deadlineMs));
    if (error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT) return Fail(timedOut);
    return FailWithSystemError(error);
}

bool CHttpDownloader::Download(
    const std::wstring& url, const std::wstring& targetFile, DownloadProgressCallback callback)
{
    m_url = url;
    m_targetFile = targetFile;
    m_callback = std::move(callback);
    m_lastError.clear();
    m_started = GetTickCount64();
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

    HINTERNET request = nullptr;
    DWORD status = 0, length = 0;
    return FollowRedirects(internet, request, status) && CheckAnswer(request, status, length) &&
        ReceiveBody(request, length);
}

bool CHttpDownloader::FollowRedirects(HINTERNET internet, HINTERNET& request, DWORD& status)
{
    std::wstring address = EscapeUrl(m_url);
    for (unsigned redirects = 0;; ++redirects) {
        if (DeadlinePassed()) return FailCall(0, {});
        DWORD openError = 0;
        ULONGLONG opened = GetTickCount64();
        request = OpenRequest(internet, address, openError);
        if (!request) {
            // Wine reports an answer that never came as a dropped connection.
            if (openError == ERROR_INTERNET_CONNECTION_ABORTED &&
                GetTickCount64() - opened >= m_limits.receiveTimeoutMs)
                openError = ERROR_INTERNET_TIMEOUT;
            return FailCall(openError, Formatted(L"no answer within %llu ms", m_limits.receiveTimeoutMs));
        }
        DWORD size = sizeof status, index = 0;
        if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index))
            return FailWithSystemError(GetLastError());
        if (!IsRedirect(status)) return true;
        std::wstring location = QueryText(request, HTTP_QUERY_LOCATION);
        if (location.empty()) return true;  // a redirect to nowhere fails by its status
        if (redirects >= m_limits.maxRedirects)
            return Fail(Formatted(L"too many redirects (more than %llu)", m_limits.maxRedirects));
        address = CombineUrl(address, location);
        if (address.empty()) return Fail(L"bad redirect location " + location);
        CloseRequest();
    }
}

bool CHttpDownloader::CheckAnswer(HINTERNET request, DWORD status, DWORD& length)
{
    if (status != 200) return Fail(Formatted(L"http server error, status code %llu", status));
    DWORD size = sizeof length, index = 0;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, &index))
        return FailWithSystemError(GetLastError());
    if (length == 0) return Fail(Formatted(L"http server error, content len %llu", length));
    if (m_limits.maxBodyBytes && length > m_limits.maxBodyBytes)
        return Fail(Formatted(L"content len %llu is more than the limit of %llu", length, m_limits.maxBodyBytes));
    return true;
}

bool CHttpDownloader::ReceiveBody(HINTERNET request, DWORD length)
{
    std::wstring folder = RemoveFileSpec(m_targetFile);
    if (!folder.empty() && GetFileAttributesW(basetool::LongPath(m_targetFile).c_str()) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    TargetFile file(m_targetFile);
    if (!file.Create()) return FailWithSystemError(GetLastError());
    file.Reserve(length);

    unsigned long long total = 0;
    for (;;) {
        if (IsCancelled()) return Fail(L"download cancelled");
        if (DeadlinePassed()) return FailCall(0, {});
        SetTimeout(request, INTERNET_OPTION_RECEIVE_TIMEOUT, Bounded(m_limits.receiveTimeoutMs));
        // What has arrived, so that a read never waits for a full buffer of a
        // body that trickles in: the deadline is looked at after every arrival.
        DWORD available = 0;
        char buffer[8192] = {};
        DWORD read = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0) ||
            !InternetReadFile(
                request, buffer, available ? std::min<DWORD>(available, sizeof buffer) : sizeof buffer, &read)) {
            DWORD error = GetLastError();
            wchar_t response[4096] = {};
            DWORD responseError = 0, responseLength = 4096;
            if (InternetGetLastResponseInfoW(&responseError, response, &responseLength) && responseLength > 0)
                OutputDebugStringW((L"http download failed," + std::wstring(response)).c_str());
            return FailCall(error, Formatted(L"no data received for %llu ms", m_limits.receiveTimeoutMs));
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
        // Every chunk is reported, as it is written.
        if (m_callback) m_callback(m_url, m_targetFile, percent);
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
