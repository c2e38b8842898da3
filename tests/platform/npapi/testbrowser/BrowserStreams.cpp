// The test browser's streams (see BrowserStreams.h). Each request is a Fetch:
// worker threads read HTTP answers with WinINet and queue them; play() hands
// them to the plug-in on the main thread. A plug-in call may end the very
// stream being played (NPN_DestroyStream from inside NPP_Write), so after every
// call the fetch is looked up again; fetches are only erased by reap().
#include "BrowserStreams.h"

#include "ScriptPage.h"
#include "TestBrowser.h"

#include <wininet.h>

#include <algorithm>
#include <cstdio>

namespace TestBrowser {

struct Streams::Message {
    enum class Kind { Headers, Data, End, NotifyLater, DestroyLater };
    Message(Kind kind, int fetchId, bool rangeRead = false) : kind(kind), fetchId(fetchId), rangeRead(rangeRead) {}
    Kind kind;
    int fetchId;
    bool rangeRead;
    int status = 0;
    uint32_t length = 0;
    bool acceptRanges = false;
    std::string headerText;
    std::string mimeType;
    std::string bytes;
    size_t offset = 0;
    bool ok = false;
    NPReason reason = NPRES_DONE;
};

struct Streams::Fetch {
    enum class Phase { Waiting, Streaming, Seeking, Ended };
    struct Worker {
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<std::atomic<bool>> done;
        std::thread thread;
        bool rangeRead;
    };

    int id = 0;
    NPP npp = nullptr;
    std::string url;
    bool notify = false;
    void* notifyData = nullptr;
    bool direct = false;  // the browser's own download, no plug-in
    Phase phase = Phase::Waiting;
    std::vector<Worker> workers;
    NPStream stream{};
    std::string headerText;
    std::string mimeType;
    std::deque<std::pair<size_t, std::string>> pending;  // blocks not taken yet, by offset
    bool bodyDone = false;
    bool bodyOk = false;
    uint16_t streamType = NP_NORMAL;
    bool streamOpen = false;  // NPP_NewStream accepted it
    bool offeredSeekable = false;
    bool destroyed = false;
    bool notified = false;
    std::string wholeBody;  // NP_ASFILE streams and direct downloads
};

namespace {

// Header lines of a posted buffer ("Name: value" lines, a blank line, the body);
// without such a head the whole buffer is the body.
bool splitPostBuffer(const std::string& buffer, std::vector<std::string>& lines, std::string& body)
{
    size_t blank = buffer.find("\n\n");
    size_t skip = 2;
    if (size_t crlf = buffer.find("\r\n\r\n"); crlf != std::string::npos && crlf < blank) {
        blank = crlf;
        skip = 4;
    }
    if (blank == std::string::npos) return false;
    std::vector<std::string> found;
    size_t at = 0;
    while (at < blank) {
        size_t end = std::min(buffer.find('\n', at), blank);
        std::string line = buffer.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find(':') == std::string::npos) return false;
        found.push_back(line);
        at = end + 1;
    }
    lines = std::move(found);
    body = buffer.substr(blank + skip);
    return true;
}

std::string lowered(std::string text)
{
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

std::wstring queryText(HINTERNET request, DWORD what)
{
    DWORD size = 0;
    HttpQueryInfoW(request, what, nullptr, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!HttpQueryInfoW(request, what, text.data(), &size, nullptr)) return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

// A cancelled worker still inside WinINet (closing its handles does not end a
// blocked call) is left to end by its time-outs: nothing of the browser waits for it.
void retire(std::thread& thread, const std::atomic<bool>& done)
{
    if (!thread.joinable()) return;
    for (int waited = 0; waited < 20 && !done.load(); ++waited) Sleep(5);
    if (done.load())
        thread.join();
    else
        thread.detach();
}

}  // namespace

Streams::Streams(Browser& browser, std::function<void()> wake)
    : browser_(browser), mailbox_(std::make_shared<Mailbox>())
{
    mailbox_->wakeUp = std::move(wake);
}

Streams::~Streams()
{
    for (auto& [id, fetch] : fetches_)
        for (auto& worker : fetch->workers) worker.cancel->store(true);
    mailbox_->close();  // what a worker left behind still sends goes nowhere
    for (auto& [id, fetch] : fetches_)
        for (auto& worker : fetch->workers) retire(worker.thread, *worker.done);
}

// ---- the table's entries ----------------------------------------------------------------

NPError Streams::getUrl(NPP npp, const char* url, const char* target, bool notify, void* notifyData)
{
    if (!url) return NPERR_INVALID_URL;
    if (target) return NPERR_GENERIC_ERROR;  // the test browser navigates no windows
    start(npp, url, "GET", "", "", notify, notifyData);
    return NPERR_NO_ERROR;
}

NPError Streams::postUrl(NPP npp, const char* url, const char* target, uint32_t length, const char* buffer, NPBool file,
    bool notify, void* notifyData)
{
    if (!url) return NPERR_INVALID_URL;
    if (target || file || (length && !buffer)) return NPERR_GENERIC_ERROR;
    const std::string posted(buffer ? buffer : "", length);
    std::vector<std::string> lines;
    std::string body = posted;
    std::string headers;
    if (splitPostBuffer(posted, lines, body)) {
        for (const std::string& line : lines) {
            std::string name = lowered(line.substr(0, line.find(':')));
            if (name == "content-length") {
                // WinINet sends its own; a wrong one from the plug-in is a fault.
                if (line.substr(line.find(':') + 1).find_first_not_of(' ') == std::string::npos ||
                    std::stoul(line.substr(line.find(':') + 1)) != body.size())
                    browser_.problem("posturl: Content-Length differs from the body: " + line);
                continue;
            }
            headers += line + "\r\n";
        }
    }
    start(npp, url, "POST", headers, body, notify, notifyData);
    return NPERR_NO_ERROR;
}

NPError Streams::requestRead(NPStream* stream, NPByteRange* ranges)
{
    Fetch* fetch = findByStream(stream);
    // From inside NPP_NewStream too, for a stream offered as seekable.
    const bool opening = fetch && fetch->phase == Fetch::Phase::Waiting && fetch->offeredSeekable;
    if (!fetch || (fetch->phase != Fetch::Phase::Seeking && !opening)) return NPERR_GENERIC_ERROR;
    for (NPByteRange* range = ranges; range; range = range->next) {
        if (range->offset < 0 || range->length == 0) return NPERR_INVALID_PARAM;
        const size_t first = static_cast<size_t>(range->offset);
        const size_t last = first + range->length - 1;
        launch(*fetch,
            Job{fetch->id, fetch->url, "GET",
                "Range: bytes=" + std::to_string(first) + "-" + std::to_string(last) + "\r\n", "", first, true});
    }
    return NPERR_NO_ERROR;
}

NPError Streams::destroyStream(NPP, NPStream* stream, NPReason reason)
{
    Fetch* fetch = findByStream(stream);
    if (!fetch || fetch->destroyed) {
        browser_.problem("destroystream of a stream that is not open");
        return NPERR_GENERIC_ERROR;
    }
    abort(*fetch);
    callDestroy(*fetch, reason);
    if (fetch->notify && !fetch->notified) {
        Message later(Message::Kind::NotifyLater, fetch->id);
        later.reason = reason;
        post(std::move(later));
    }
    return NPERR_NO_ERROR;
}

NPError Streams::getValueForUrl(NPP, NPNURLVariable variable, const char*, char** value, uint32_t* length)
{
    if (!value || !length) return NPERR_INVALID_PARAM;
    if (variable != NPNURLVProxy || !settings_.proxyAnswer) return NPERR_GENERIC_ERROR;
    *value = browser_.copyString(*settings_.proxyAnswer, length);
    return NPERR_NO_ERROR;
}

// ---- requests -------------------------------------------------------------------------------

int Streams::offer(NPP npp, const std::string& url)
{
    return start(npp, url, "GET", "", "", false, nullptr);
}

int Streams::start(NPP npp, const std::string& url, const std::string& method, const std::string& headers,
    const std::string& body, bool notify, void* notifyData)
{
    auto fetch = std::make_unique<Fetch>();
    fetch->id = nextId_++;
    fetch->npp = npp;
    fetch->url = url;
    fetch->notify = notify;
    fetch->notifyData = notifyData;
    StreamRecord& record = records_[fetch->id];
    record.id = fetch->id;
    record.url = url;
    record.method = method;
    record.notify = notify;
    Fetch& started = *fetch;
    fetches_[fetch->id] = std::move(fetch);
    launch(started, Job{started.id, url, method, headers, body, 0, false});
    return started.id;
}

void Streams::launch(Fetch& fetch, Job job)
{
    job.redirectLimit = settings_.redirectLimit;
    job.connectTimeoutMs = settings_.connectTimeoutMs;
    job.receiveTimeoutMs = settings_.receiveTimeoutMs;
    Fetch::Worker worker{
        std::make_shared<std::atomic<bool>>(false), std::make_shared<std::atomic<bool>>(false), {}, job.rangeRead};
    auto cancel = worker.cancel;
    auto done = worker.done;
    worker.thread = std::thread([mailbox = mailbox_, job = std::move(job), cancel, done] {
        runJob(*mailbox, job, *cancel);
        done->store(true);
        mailbox->wake();
    });
    fetch.workers.push_back(std::move(worker));
}

namespace {

bool isRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The address a Location names, relative to the one that was asked for.
std::wstring combinedUrl(const std::wstring& base, const std::wstring& location)
{
    std::wstring combined(base.size() + location.size() + 64, L'\0');
    DWORD length = static_cast<DWORD>(combined.size());
    if (!InternetCombineUrlW(base.c_str(), location.c_str(), combined.data(), &length, ICU_NO_ENCODE)) return {};
    combined.resize(length);
    return combined;
}

void setTimeout(HINTERNET handle, DWORD option, DWORD ms)
{
    InternetSetOptionW(handle, option, &ms, sizeof ms);
}

// One request's WinINet handles, closed in order.
struct Handles {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    void closeRequest()
    {
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        request = connection = nullptr;
    }
    ~Handles()
    {
        closeRequest();
        if (session) InternetCloseHandle(session);
    }
};

}  // namespace

// The worker: one HTTP request through WinINet (its redirects followed here, up
// to the limit), its answer queued piece by piece. Every blocking call ends by
// the job's time-outs: WinINet takes them from the connection handle.
void Streams::runJob(Mailbox& mailbox, Job job, const std::atomic<bool>& cancel)
{
    Message end(Message::Kind::End, job.fetchId, job.rangeRead);
    Handles handles;
    handles.session = InternetOpenW(L"TestBrowser/1.0", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    std::wstring url = widen(job.url);
    bool sent = false;
    for (unsigned redirects = 0; handles.session && !cancel.load(); ++redirects) {
        wchar_t host[256] = {}, path[2048] = {}, extra[2048] = {};
        URL_COMPONENTSW parts{};
        parts.dwStructSize = sizeof parts;
        parts.lpszHostName = host;
        parts.dwHostNameLength = 256;
        parts.lpszUrlPath = path;
        parts.dwUrlPathLength = 2048;
        parts.lpszExtraInfo = extra;
        parts.dwExtraInfoLength = 2048;
        if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts) ||
            (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
            break;
        setTimeout(handles.session, INTERNET_OPTION_CONNECT_TIMEOUT, job.connectTimeoutMs);
        handles.connection =
            InternetConnectW(handles.session, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        if (!handles.connection) break;
        setTimeout(handles.connection, INTERNET_OPTION_CONNECT_TIMEOUT, job.connectTimeoutMs);
        setTimeout(handles.connection, INTERNET_OPTION_SEND_TIMEOUT, job.receiveTimeoutMs);
        setTimeout(handles.connection, INTERNET_OPTION_RECEIVE_TIMEOUT, job.receiveTimeoutMs);
        std::wstring target = std::wstring(path) + extra;
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
            INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;
        if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
        handles.request = HttpOpenRequestW(
            handles.connection, widen(job.method).c_str(), target.c_str(), nullptr, nullptr, nullptr, flags, 0);
        std::wstring headers = widen(job.headers);
        sent = handles.request &&
            HttpSendRequestW(handles.request, headers.empty() ? nullptr : headers.c_str(),
                static_cast<DWORD>(headers.size()), job.body.empty() ? nullptr : job.body.data(),
                static_cast<DWORD>(job.body.size()));
        DWORD status = 0, size = sizeof status;
        if (!sent ||
            !HttpQueryInfoW(handles.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            break;
        const std::wstring location = queryText(handles.request, HTTP_QUERY_LOCATION);
        if (!isRedirect(status) || location.empty()) break;
        // As browsers do: a redirect past the limit is a network error, with no answer.
        sent = false;
        if (redirects >= job.redirectLimit) break;
        url = combinedUrl(url, location);
        if (url.empty()) break;
        if (status == 303 || ((status == 301 || status == 302) && job.method == "POST")) {
            job.method = "GET";  // the body and its headers stay behind
            job.body.clear();
            job.headers.clear();
        }
        handles.closeRequest();
    }
    if (sent && !cancel.load()) {
        HINTERNET request = handles.request;
        Message head(Message::Kind::Headers, job.fetchId, job.rangeRead);
        DWORD number = 0, size = sizeof number;
        if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr))
            head.status = static_cast<int>(number);
        size = sizeof number;
        bool knownLength =
            HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr);
        head.length = knownLength ? number : 0;
        head.acceptRanges = lowered(narrow(queryText(request, HTTP_QUERY_ACCEPT_RANGES))) == "bytes";
        head.headerText = narrow(queryText(request, HTTP_QUERY_RAW_HEADERS_CRLF));
        head.mimeType = narrow(queryText(request, HTTP_QUERY_CONTENT_TYPE));
        const bool rangeAnswered = !job.rangeRead || head.status == 206;
        mailbox.post(std::move(head));
        size_t received = 0;
        bool readOk = rangeAnswered;
        std::string buffer(65536, '\0');
        while (readOk && !cancel.load()) {
            DWORD got = 0;
            if (!InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
                readOk = false;
                break;
            }
            if (got == 0) break;
            Message data(Message::Kind::Data, job.fetchId, job.rangeRead);
            data.bytes.assign(buffer.data(), got);
            data.offset = job.offset + received;
            received += got;
            mailbox.post(std::move(data));
        }
        end.ok = readOk && !cancel.load() && (!knownLength || received == head.length);
    }
    mailbox.post(std::move(end));
}

void Streams::post(Message message)
{
    mailbox_->post(std::move(message));
}

void Streams::Mailbox::post(Message message)
{
    std::lock_guard<std::mutex> guard(lock);
    if (closed) return;
    queue.push_back(std::move(message));
    if (wakeUp) wakeUp();
}

void Streams::Mailbox::wake()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!closed && wakeUp) wakeUp();
}

std::deque<Streams::Message> Streams::Mailbox::take()
{
    std::lock_guard<std::mutex> guard(lock);
    std::deque<Message> due;
    due.swap(queue);
    return due;
}

void Streams::Mailbox::close()
{
    std::lock_guard<std::mutex> guard(lock);
    closed = true;
    queue.clear();
    wakeUp = nullptr;
}

Streams::Fetch* Streams::find(int id)
{
    auto found = fetches_.find(id);
    return found == fetches_.end() ? nullptr : found->second.get();
}

Streams::Fetch* Streams::findByStream(NPStream* stream)
{
    for (auto& [id, fetch] : fetches_)
        if (&fetch->stream == stream && fetch->streamOpen) return fetch.get();
    return nullptr;
}

// ---- the main thread ---------------------------------------------------------------------------

bool Streams::play()
{
    if (playing_) return false;
    playing_ = true;
    std::deque<Message> due = mailbox_->take();
    bool any = !due.empty();
    for (Message& message : due) handle(message);
    std::vector<int> ids;
    for (auto& [id, fetch] : fetches_) ids.push_back(id);
    for (int id : ids)
        if (Fetch* fetch = find(id); fetch && deliver(*fetch)) any = true;
    reap();
    playing_ = false;
    return any;
}

void Streams::handle(Message& message)
{
    Fetch* fetch = find(message.fetchId);
    if (!fetch) return;
    StreamRecord& record = records_[fetch->id];
    if (message.kind == Message::Kind::NotifyLater) {
        callNotify(*fetch, message.reason);
        return;
    }
    if (message.kind == Message::Kind::DestroyLater) {
        callDestroy(*fetch, message.reason);
        return;
    }
    if (fetch->phase == Fetch::Phase::Ended && !fetch->direct) return;
    if (message.rangeRead) {
        if (message.kind == Message::Kind::Data && fetch->phase == Fetch::Phase::Seeking)
            fetch->pending.emplace_back(message.offset, std::move(message.bytes));
        return;
    }
    switch (message.kind) {
    case Message::Kind::Headers:
        record.status = message.status;
        if (fetch->direct) {
            fetch->bodyOk = message.status >= 200 && message.status <= 299;
            return;
        }
        openStream(*fetch, message);
        return;
    case Message::Kind::Data:
        if (fetch->direct)
            fetch->wholeBody += message.bytes;
        else if (fetch->phase == Fetch::Phase::Streaming)
            fetch->pending.emplace_back(message.offset, std::move(message.bytes));
        return;
    case Message::Kind::End:
        fetch->bodyDone = true;
        if (fetch->direct) {
            fetch->bodyOk = fetch->bodyOk && message.ok;  // a 2xx answer, read whole
            fetch->phase = Fetch::Phase::Ended;
            return;
        }
        fetch->bodyOk = message.ok;
        if (fetch->phase == Fetch::Phase::Waiting) {  // no answer at all
            fetch->phase = Fetch::Phase::Ended;
            callNotify(*fetch, NPRES_NETWORK_ERR);
        }
        return;
    default: return;
    }
}

void Streams::openStream(Fetch& fetch, Message& message)
{
    StreamRecord& record = records_[fetch.id];
    const int id = fetch.id;
    if (message.status < 200 || message.status > 299) {
        abort(fetch);
        callNotify(fetch, NPRES_NETWORK_ERR);
        return;
    }
    fetch.headerText = message.headerText;
    fetch.mimeType = message.mimeType.empty() ? "application/octet-stream" : message.mimeType;
    fetch.stream = NPStream{};
    fetch.stream.url = fetch.url.c_str();
    fetch.stream.end = message.length;
    fetch.stream.notifyData = fetch.notify ? fetch.notifyData : nullptr;
    fetch.stream.headers = fetch.headerText.c_str();
    record.newStreamCalled = true;
    record.offeredSeekable = message.acceptRanges;
    fetch.offeredSeekable = message.acceptRanges;
    record.end = message.length;
    record.stream = &fetch.stream;
    fetch.streamOpen = true;  // the plug-in may call about it from inside NPP_NewStream
    uint16_t type = NP_NORMAL;
    const NPPluginFuncs& plugin = browser_.pluginFuncs();
    NPError answer = plugin.newstream
        ? plugin.newstream(fetch.npp, fetch.mimeType.data(), &fetch.stream, message.acceptRanges ? 1 : 0, &type)
        : NPERR_GENERIC_ERROR;
    Fetch* still = find(id);
    if (!still) return;
    record.newStreamAnswer = answer;
    record.streamType = type;
    if (still->phase == Fetch::Phase::Ended) return;  // destroyed from inside NPP_NewStream
    if (answer != NPERR_NO_ERROR) {
        still->streamOpen = false;
        record.stream = nullptr;
        abort(*still);
        callNotify(*still, NPRES_NETWORK_ERR);
        return;
    }
    still->streamType = type;
    if (type == NP_SEEK) {
        still->phase = Fetch::Phase::Seeking;
        for (auto& worker : still->workers)  // range reads bring the data
            if (!worker.rangeRead) worker.cancel->store(true);
        return;
    }
    still->phase = Fetch::Phase::Streaming;
}

// Offers waiting blocks to the plug-in; ends a finished stream. True when anything was called.
bool Streams::deliver(Fetch& start)
{
    const int id = start.id;
    if (start.phase != Fetch::Phase::Streaming && start.phase != Fetch::Phase::Seeking) return false;
    const NPPluginFuncs& plugin = browser_.pluginFuncs();
    bool any = false;
    for (int writes = 0; writes < 64; ++writes) {
        Fetch* fetch = find(id);
        if (!fetch || fetch->pending.empty() || fetch->phase == Fetch::Phase::Ended) break;
        StreamRecord& record = records_[id];
        int32_t ready = plugin.writeready ? plugin.writeready(fetch->npp, &fetch->stream) : -1;
        record.lastWriteReady = ready;
        fetch = find(id);
        if (!fetch || fetch->phase == Fetch::Phase::Ended) break;
        if (ready < 0) {
            finish(*fetch, NPRES_NETWORK_ERR);
            any = true;
            break;
        }
        if (ready == 0) break;  // offered again on a later pump
        auto& [offset, bytes] = fetch->pending.front();
        const size_t offered = std::min({static_cast<size_t>(ready), bytes.size(), settings_.writeChunk});
        std::string block = bytes.substr(0, offered);  // the plug-in may end the stream while writing
        const size_t at = offset;
        int32_t answer = plugin.write ? plugin.write(fetch->npp, &fetch->stream, static_cast<int32_t>(at),
                                            static_cast<int32_t>(offered), block.data())
                                      : -1;
        if (record.writeAnswers.size() < 64) record.writeAnswers.push_back(answer);
        fetch = find(id);
        if (!fetch || fetch->phase == Fetch::Phase::Ended) break;
        any = true;
        if (answer < 0) {
            finish(*fetch, NPRES_NETWORK_ERR);
            break;
        }
        const size_t taken = std::min(static_cast<size_t>(answer), offered);
        record.bytesTaken += taken;
        if (fetch->streamType == NP_ASFILE) fetch->wholeBody.append(block, 0, taken);
        auto& front = fetch->pending.front();
        front.second.erase(0, taken);
        front.first += taken;
        if (front.second.empty()) fetch->pending.pop_front();
        if (taken == 0) {
            any = false;  // nothing moved: offered again on a later pump
            break;
        }
    }
    Fetch* fetch = find(id);
    if (fetch && fetch->phase == Fetch::Phase::Streaming && fetch->pending.empty() && fetch->bodyDone) {
        finish(*fetch, fetch->bodyOk ? NPRES_DONE : NPRES_NETWORK_ERR);
        any = true;
    }
    return any;
}

void Streams::finish(Fetch& fetch, NPReason reason)
{
    const int id = fetch.id;
    abort(fetch);
    std::wstring file;
    if (fetch.streamType == NP_ASFILE && reason == NPRES_DONE && !fetch.destroyed) {
        wchar_t folder[MAX_PATH], name[MAX_PATH];
        if (GetTempPathW(MAX_PATH, folder) && GetTempFileNameW(folder, L"tbs", 0, name)) {
            file = name;
            if (FILE* out = _wfopen(name, L"wb")) {
                std::fwrite(fetch.wholeBody.data(), 1, fetch.wholeBody.size(), out);
                std::fclose(out);
            }
            std::string utf8 = narrow(file);
            records_[id].asFile = utf8;
            if (browser_.pluginFuncs().asfile) browser_.pluginFuncs().asfile(fetch.npp, &fetch.stream, utf8.c_str());
        }
    }
    const NPReason destroyReason = settings_.destroyReason.value_or(reason);
    const NPReason notifyReason = settings_.notifyReason.value_or(reason);
    // The second call comes from a later turn of the pump, as in a browser.
    if (settings_.order == EndOrder::DestroyThenNotify) {
        callDestroy(fetch, destroyReason);
        Message later(Message::Kind::NotifyLater, id);
        later.reason = notifyReason;
        post(std::move(later));
    } else {
        callNotify(fetch, notifyReason);
        Message later(Message::Kind::DestroyLater, id);
        later.reason = destroyReason;
        post(std::move(later));
    }
    if (!file.empty()) DeleteFileW(file.c_str());
}

void Streams::callDestroy(Fetch& fetch, NPReason reason)
{
    if (fetch.destroyed || !fetch.streamOpen) return;
    fetch.destroyed = true;
    fetch.phase = Fetch::Phase::Ended;
    fetch.pending.clear();
    StreamRecord& record = records_[fetch.id];
    record.endCalls.push_back("destroy");
    record.destroyReason = reason;
    const NPPluginFuncs& plugin = browser_.pluginFuncs();
    if (plugin.destroystream) plugin.destroystream(fetch.npp, &fetch.stream, reason);
}

void Streams::callNotify(Fetch& fetch, NPReason reason)
{
    fetch.phase = Fetch::Phase::Ended;
    if (!fetch.notify || fetch.notified) return;
    fetch.notified = true;
    StreamRecord& record = records_[fetch.id];
    record.endCalls.push_back("notify");
    record.notifyReason = reason;
    const NPPluginFuncs& plugin = browser_.pluginFuncs();
    if (plugin.urlnotify) plugin.urlnotify(fetch.npp, fetch.url.c_str(), reason, fetch.notifyData);
}

void Streams::abort(Fetch& fetch)
{
    for (auto& worker : fetch.workers) worker.cancel->store(true);
}

void Streams::endStreamsOf(NPP npp)
{
    std::vector<int> ids;
    for (auto& [id, fetch] : fetches_)
        if (fetch->npp == npp) ids.push_back(id);
    for (int id : ids) {
        Fetch* fetch = find(id);
        if (!fetch) continue;
        abort(*fetch);
        if (fetch->streamOpen) callDestroy(*fetch, NPRES_USER_BREAK);
        if (Fetch* still = find(id)) callNotify(*still, NPRES_USER_BREAK);
    }
}

void Streams::reap()
{
    for (auto it = fetches_.begin(); it != fetches_.end();) {
        Fetch& fetch = *it->second;
        const bool waitingForNotify = fetch.notify && !fetch.notified && fetch.destroyed;
        const bool waitingForDestroy = fetch.streamOpen && !fetch.destroyed && fetch.notified;
        const bool idle = std::all_of(fetch.workers.begin(), fetch.workers.end(),
            [](const Fetch::Worker& worker) { return worker.done->load(); });
        if (fetch.phase != Fetch::Phase::Ended || waitingForNotify || waitingForDestroy || !idle || fetch.direct) {
            ++it;
            continue;
        }
        for (auto& worker : fetch.workers) worker.thread.join();
        records_[fetch.id].stream = nullptr;
        it = fetches_.erase(it);
    }
}

std::optional<std::string> Streams::fetchDirect(const std::string& url, DWORD timeoutMs)
{
    auto fetch = std::make_unique<Fetch>();
    const int id = nextId_++;
    fetch->id = id;
    fetch->url = url;
    fetch->direct = true;
    records_[id].id = id;
    records_[id].url = url;
    records_[id].method = "GET";
    records_[id].direct = true;
    Fetch& started = *fetch;
    fetches_[id] = std::move(fetch);
    launch(started, Job{id, url, "GET", "", "", 0, false});
    browser_.pumpUntil([&] { return find(id)->phase == Fetch::Phase::Ended; }, timeoutMs);
    Fetch* done = find(id);
    std::optional<std::string> body;
    if (done->phase == Fetch::Phase::Ended && done->bodyOk) body = std::move(done->wholeBody);
    abort(*done);
    for (auto& worker : done->workers) retire(worker.thread, *worker.done);
    fetches_.erase(id);
    return body;
}

const StreamRecord* Streams::record(int id) const
{
    auto found = records_.find(id);
    return found == records_.end() ? nullptr : &found->second;
}

std::vector<StreamRecord> Streams::records() const
{
    std::vector<StreamRecord> all;
    for (const auto& [id, record] : records_) all.push_back(record);
    return all;
}

size_t Streams::liveCount() const
{
    return static_cast<size_t>(std::count_if(fetches_.begin(), fetches_.end(),
        [](const auto& entry) { return entry.second->phase != Fetch::Phase::Ended && !entry.second->direct; }));
}

}  // namespace TestBrowser
