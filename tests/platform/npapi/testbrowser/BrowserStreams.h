// The test browser's streams: NPN_GetURL(Notify) and NPN_PostURLNotify fetch
// for real, with WinINet on a worker thread per request, and the browser's
// stream calls are played on the main thread in NPAPI order from the pump:
//
//   NPP_NewStream      end = Content-Length, seekable when the server sent
//                      "Accept-Ranges: bytes", the raw response header text;
//                      an answer other than 0, or a status outside 2xx, ends
//                      the request with NPP_URLNotify(NPRES_NETWORK_ERR) only
//   NPP_WriteReady / NPP_Write   blocks of at most `writeChunk`, re-offering
//                      what the plug-in did not take; a negative answer ends
//                      the stream with NPRES_NETWORK_ERR
//   NPP_StreamAsFile   for NP_ASFILE streams, a file with the whole body
//   NPP_DestroyStream and NPP_URLNotify   in the configured order, the second
//                      from a later turn of the pump, with NPRES_DONE when the
//                      body arrived whole (or the configured reasons)
//
// A stream the plug-in takes as NP_SEEK gets no body: NPN_RequestRead fetches
// each range with a "Range" request and writes it at its offset; the stream
// stays until the plug-in destroys it. NPN_DestroyStream aborts the fetches and
// calls NPP_DestroyStream at once (NPP_URLNotify follows from the pump).
// Destroying an instance ends its streams with NPRES_USER_BREAK first.
//
// As a browser, it follows at most `redirectLimit` redirects (one more ends the
// request with NPRES_NETWORK_ERR and no stream) and gives up on a server that
// keeps it waiting: no connection within `connectTimeoutMs`, no byte of the
// answer for `receiveTimeoutMs`. Its callers' time-outs hold too: nothing the
// browser does waits for a fetch worker still blocked in WinINet.
//
// NPN_GetValueForURL(NPNURLVProxy) answers the configured text (or fails).
//
// Threading: everything but the fetch workers runs on the browser's main
// thread; workers only queue what they read and wake the pump.
#pragma once

#include "NpapiInterface.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace TestBrowser {

class Browser;

enum class EndOrder { DestroyThenNotify, NotifyThenDestroy };

struct StreamSettings {
    EndOrder order = EndOrder::DestroyThenNotify;
    std::optional<NPReason> destroyReason;  // forced reasons of a stream's end
    std::optional<NPReason> notifyReason;
    size_t writeChunk = 65536;               // largest block of one NPP_Write
    std::optional<std::string> proxyAnswer;  // NPN_GetValueForURL(NPNURLVProxy); none: the call fails
    // For the requests that start afterwards.
    unsigned redirectLimit = 20;
    DWORD connectTimeoutMs = 30000;
    DWORD receiveTimeoutMs = 30000;
};

// What the browser did with one stream, for the tests.
struct StreamRecord {
    int id = 0;
    std::string url;
    std::string method;
    bool direct = false;  // the browser's own download (fetchDirect)
    bool notify = false;
    int status = 0;  // HTTP status, 0 when no answer came
    bool newStreamCalled = false;
    NPError newStreamAnswer = NPERR_NO_ERROR;
    uint16_t streamType = 0;
    bool offeredSeekable = false;
    uint32_t end = 0;
    int32_t lastWriteReady = 0;
    std::vector<int32_t> writeAnswers;  // of the first writes (at most 64)
    size_t bytesTaken = 0;
    std::vector<std::string> endCalls;  // "destroy" and "notify", in order
    NPReason destroyReason = 0;
    NPReason notifyReason = 0;
    std::string asFile;          // the file handed to NPP_StreamAsFile
    NPStream* stream = nullptr;  // valid while the stream lives
};

class Streams {
public:
    Streams(Browser& browser, std::function<void()> wake);
    ~Streams();
    Streams(const Streams&) = delete;
    Streams& operator=(const Streams&) = delete;

    StreamSettings& settings() { return settings_; }

    // ---- the table's stream entries
    NPError getUrl(NPP npp, const char* url, const char* target, bool notify, void* notifyData);
    NPError postUrl(NPP npp, const char* url, const char* target, uint32_t length, const char* buffer, NPBool file,
        bool notify, void* notifyData);
    NPError requestRead(NPStream* stream, NPByteRange* ranges);
    NPError destroyStream(NPP npp, NPStream* stream, NPReason reason);
    NPError getValueForUrl(NPP npp, NPNURLVariable variable, const char* url, char** value, uint32_t* length);

    // ---- the browser's side
    // A stream the browser starts by itself for the instance (no notification).
    int offer(NPP npp, const std::string& url);
    // Plays what the workers read; true when anything happened.
    bool play();
    // Every live stream of the instance ends with NPRES_USER_BREAK (before NPP_Destroy).
    void endStreamsOf(NPP npp);
    // The browser's own download of a URL through the same workers and pump, no
    // plug-in involved: the body, or nothing when the request failed.
    std::optional<std::string> fetchDirect(const std::string& url, DWORD timeoutMs = 60000);

    const StreamRecord* record(int id) const;
    std::vector<StreamRecord> records() const;
    size_t liveCount() const;  // requests not ended yet

private:
    struct Message;
    struct Fetch;
    struct Job {
        int fetchId;
        std::string url;
        std::string method;
        std::string headers;  // request header lines, CRLF-terminated
        std::string body;
        size_t offset;  // where the body's first byte goes (range reads)
        bool rangeRead;
        unsigned redirectLimit = 0;
        DWORD connectTimeoutMs = 0;
        DWORD receiveTimeoutMs = 0;
    };
    // What the workers read, on its way to the main thread. Shared with the
    // workers, so that one the browser no longer waits for posts into it safely.
    struct Mailbox {
        void post(Message message);
        void wake();
        std::deque<Message> take();
        // Nothing more is kept, and nobody is woken.
        void close();

        std::mutex lock;
        std::deque<Message> queue;
        std::function<void()> wakeUp;
        bool closed = false;
    };

    int start(NPP npp, const std::string& url, const std::string& method, const std::string& headers,
        const std::string& body, bool notify, void* notifyData);
    void launch(Fetch& fetch, Job job);
    static void runJob(Mailbox& mailbox, Job job, const std::atomic<bool>& cancel);
    void post(Message message);
    Fetch* find(int id);
    Fetch* findByStream(NPStream* stream);
    void handle(Message& message);
    void openStream(Fetch& fetch, Message& message);
    bool deliver(Fetch& fetch);
    void finish(Fetch& fetch, NPReason reason);
    void callDestroy(Fetch& fetch, NPReason reason);
    void callNotify(Fetch& fetch, NPReason reason);
    void abort(Fetch& fetch);
    void reap();

    Browser& browser_;
    std::shared_ptr<Mailbox> mailbox_;
    StreamSettings settings_;
    int nextId_ = 1;
    std::map<int, std::unique_ptr<Fetch>> fetches_;
    std::map<int, StreamRecord> records_;
    bool playing_ = false;
};

}  // namespace TestBrowser
