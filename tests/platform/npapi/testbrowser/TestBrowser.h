// A browser of our own for tests: it loads a plug-in library through its three
// exports, hands it a browser function table and plays the browser behind it.
//
//   TestBrowser::Browser browser;                  // table version 27, full size
//   browser.loadPlugin(L"npparvelplugin.dll");     // NP_GetEntryPoints + NP_Initialize
//   auto* embed = browser.createInstance("plugin", "application/x-parvelplugin", {});
//   browser.page().run(L"plugin.ISready(function (r) { window.got = r; })");
//   browser.pumpUntil([&] { return browser.page().has(L"got"); });
//   browser.shutdownPlugin();                      // NP_Shutdown, then the leak audit
//   EXPECT_THAT(browser.problems(), IsEmpty());
//
// The table is configurable (version, a short `size` with poisoned bytes after
// it, entries left out, the user agent). The runtime behind it is audited:
// every call is logged with its thread, a call other than the asynchronous-call
// entry made off the main thread, a double release, a use after deallocate, a
// MemFree of a foreign block and objects or blocks still alive after
// NP_Shutdown are recorded as problems.
//
// The page behind the instances is real script: Wine's JScript engine, hosted
// through IActiveScript (see ScriptPage.h). The stream entries fetch for real
// (see BrowserStreams.h).
//
// Threading: one Browser at a time per process; construct, use and destroy it on
// one thread, which is the browser's main thread. Only the table's
// pluginthreadasynccall entry may be called from other threads.
#pragma once

#include "NpapiInterface.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace TestBrowser {

class Page;
class Windows;
class Streams;

struct Config {
    uint16_t version = NP_VERSION_MINOR;
    uint16_t size = sizeof(NPNetscapeFuncs);
    std::string userAgent = "Mozilla/5.0 (Windows NT 6.1; rv:52.0) Gecko/20100101 Firefox/52.0";
    std::set<std::string> missing;  // table entries left null, by field name ("pluginthreadasynccall")
    bool logCalls = true;           // keep the per-call log (benchmarks switch it off)
};

struct CallRecord {
    std::string name;  // the table field name, e.g. "getvalue"
    DWORD thread;
    bool onMainThread;
};

struct Instance {
    NPP_t npp{};
    std::string id;  // the element's name in page script
    std::string mime;
    NPObject* scriptable = nullptr;  // the browser's reference to NPPVpluginScriptableNPObject
    bool destroyed = false;
    bool windowed = true;      // NPPVpluginWindowBool as set by the plug-in
    bool transparent = false;  // NPPVpluginTransparentBool
};

using Params = std::vector<std::pair<std::string, std::string>>;

class Browser {
public:
    explicit Browser(Config config = {});
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    static Browser* current();

    // ---- the plug-in library
    // LoadLibraryW, NP_GetEntryPoints, NP_Initialize. False when a step failed.
    bool loadPlugin(const std::wstring& path);
    // The same for a plug-in linked into the test program itself.
    bool usePlugin(NP_GetEntryPointsFunc entryPoints, NP_InitializeFunc initialize, NP_ShutdownFunc shutdown);
    NPError initializePlugin();  // NP_Initialize again (after shutdownPlugin)
    // Destroys live instances, closes the page, calls NP_Shutdown, delivers what is
    // still queued, then records leaked objects and MemAlloc blocks as problems.
    NPError shutdownPlugin();
    const NPPluginFuncs& pluginFuncs() const { return pluginFuncs_; }
    NPError entryPointsResult() const { return entryPointsResult_; }
    NPError initializeResult() const { return initializeResult_; }

    // ---- instances (NPP_New with the given attributes; the page sees the element by `id`)
    Instance* createInstance(
        const std::string& id, const std::string& mime, const Params& params, NPError* result = nullptr);
    NPError destroyInstance(Instance* instance);
    const std::vector<std::unique_ptr<Instance>>& instances() const { return instances_; }

    Page& page();
    // The browser window and the instances' windows (see BrowserWindows.h).
    Windows& windows();
    // The stream side: real fetches behind the stream entries (BrowserStreams.h).
    Streams& streams() { return *streams_; }

    // ---- the main thread
    // Runs queued asynchronous calls, window messages and due page timers, in
    // rounds that serve each of them in turn, until idle (at most kPumpRounds
    // rounds: a page that keeps re-arming its timers is never idle).
    void pump();
    static constexpr int kPumpRounds = 1000;
    // Pumps until `done` answers true or the time bound passes; answers `done`.
    bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
    DWORD mainThread() const { return mainThread_; }

    // ---- audit
    void problem(const std::string& text);
    std::vector<std::string> problems() const;
    void clearProblems();
    std::vector<CallRecord> calls() const;
    size_t callCount(const std::string& name) const;
    void clearCalls();
    size_t liveObjects() const;
    size_t liveObjectsOfClass(const NPClass* objectClass) const;
    size_t outstandingAllocations() const;
    size_t asyncCallsQueued() const;
    // What the plug-in did to browser objects, in order: "get name", "set name",
    // "call name" (NPN_Invoke), "call" (NPN_InvokeDefault).
    std::vector<std::string> objectAccesses() const;
    void clearObjectAccesses();
    std::string lastException() const;   // the last NPN_SetException text
    std::string takePendingException();  // and clear it (the page turns it into a script error)
    const std::string& userAgent() const { return config_.userAgent; }

    // The table exactly as handed to NP_Initialize (size bytes, then poison).
    NPNetscapeFuncs* table() { return reinterpret_cast<NPNetscapeFuncs*>(tableBytes_.data()); }
    // Full tables for browser-side code (the page) that must not go through the audit of missing entries.
    const NPNetscapeFuncs& runtime() const { return fullTable_; }
    static constexpr unsigned char kPoison = 0xDB;

    // ---- runtime, shared by the table entries and the page
    struct ObjectRecord {
        NPClass* objectClass;
        NPP owner;
    };
    NPObject* createObject(NPP npp, NPClass* objectClass);
    NPObject* retainObject(NPObject* object);
    void releaseObject(NPObject* object);
    bool isLive(NPObject* object, const char* use);  // records a problem when it is not
    void releaseVariant(NPVariant* variant);
    void* memAlloc(uint32_t size);
    void memFree(void* block);
    char* copyString(const std::string& text, uint32_t* length = nullptr);  // a MemAlloc'd copy
    void setException(const std::string& text);

    // Entry bookkeeping: log and thread check. Answers whether the call is on the main thread.
    bool enter(const char* name);
    void recordObjectAccess(const char* kind, NPIdentifier name);

private:
    friend struct TableEntries;
    struct AsyncCall {
        void (*function)(void*);
        void* data;
    };
    void buildTable();
    bool drainAsyncCalls();
    bool drainMessages();
    void invalidateObjectsOf(NPP npp);

    Config config_;
    DWORD mainThread_;
    bool comInitialized_ = false;
    HMODULE library_ = nullptr;
    NP_InitializeFunc initialize_ = nullptr;
    NP_ShutdownFunc shutdown_ = nullptr;
    NPPluginFuncs pluginFuncs_{};
    NPError entryPointsResult_ = NPERR_GENERIC_ERROR;
    NPError initializeResult_ = NPERR_GENERIC_ERROR;
    bool initialized_ = false;
    std::vector<unsigned char> tableBytes_;
    NPNetscapeFuncs fullTable_{};
    std::vector<std::unique_ptr<Instance>> instances_;
    std::unique_ptr<Page> page_;
    std::unique_ptr<Windows> windows_;
    std::unique_ptr<Streams> streams_;

    mutable std::mutex lock_;  // guards the log, the problems, the async queue
    std::vector<CallRecord> calls_;
    std::unordered_map<std::string, size_t> callCounts_;
    std::vector<std::string> problems_;
    std::vector<std::string> objectAccesses_;
    std::vector<AsyncCall> asyncQueue_;
    HANDLE asyncEvent_ = nullptr;

    std::unordered_map<NPObject*, ObjectRecord> objects_;
    std::set<NPObject*> deallocated_;
    std::unordered_map<void*, uint32_t> blocks_;
    std::string lastException_;
    std::string pendingException_;
};

}  // namespace TestBrowser
