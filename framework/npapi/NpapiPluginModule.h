// FB::Npapi::NpapiPluginModule: the process-wide NPAPI module. It keeps the
// copy of the browser's function table that NP_Initialize hands over and the
// identity of the browser's main thread, and wraps the browser calls that need
// no instance (memory, identifiers, object references).
//
// There is at most one default module: made by the first of
// NP_GetEntryPoints, NP_Initialize or NPP_New, let go by NP_Shutdown. The
// first module of the process runs the library's global initialisation, the
// release of the last one its global de-initialisation (see setLifecycle).
// Browser hosts and script objects share the ownership: a browser may call
// NP_Shutdown while instances live, and they go on using the module they were
// made with until they are gone.
//
// Releases of browser objects that a host gone on another thread could not
// make wait in the module's own queue (deferRelease) until an entry point or
// a host drains it on the main thread (releasePendingObjects); what a module
// still queues when it goes is left to the browser, which is done with it.
//
// Threading: the browser's main thread only (the NPAPI rule), except
// deferRelease; the registry is not locked.
#pragma once

#include "MainThreadReleaseQueue.h"
#include "NpapiInterface.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

namespace FB {
namespace Npapi {

class NpapiPluginModule {
public:
    NpapiPluginModule();
    virtual ~NpapiPluginModule();
    NpapiPluginModule(const NpapiPluginModule&) = delete;
    NpapiPluginModule& operator=(const NpapiPluginModule&) = delete;

    // The default module, made (after the global initialisation when no module
    // lives) if there is none.
    static std::shared_ptr<NpapiPluginModule> getDefault();
    // Lets go of the default module, if any (it lives on while a host or a
    // script object holds it); then, when no module is registered, runs the
    // global de-initialisation.
    static void releaseDefault();
    static int liveModules();

    // What the first module runs before it is made and the last one after it is
    // gone: the plug-in factory's global init and de-init. Set by the entry points.
    struct Lifecycle {
        void (*globalInit)() = nullptr;
        void (*globalDeinit)() = nullptr;
    };
    static void setLifecycle(const Lifecycle& lifecycle);

    void setBrowserFuncs(const NPNetscapeFuncs* browserFuncs);
    const NPNetscapeFuncs& browserFuncs() const { return browserFuncs_; }
    NPNetscapeFuncs& browserFuncs() { return browserFuncs_; }
    DWORD mainThreadId() const { return mainThreadId_; }

    // Queues a browser object for release on the main thread; any thread.
    void deferRelease(NPObject* object)
    {
        releaseQueue_.push(object);
        releasesWaiting_.store(true, std::memory_order_release);
    }
    // Releases what the queue holds; on the main thread only (elsewhere nothing).
    void releasePendingObjects();

    // Browser calls without an instance; an absent entry gives the stated answer.
    void* MemAlloc(uint32_t size) const;  // absent: null
    void MemFree(void* block) const;
    NPObject* RetainObject(NPObject* object) const;  // absent: the object
    void ReleaseObject(NPObject* object) const;
    void ReleaseVariantValue(NPVariant* variant) const;
    NPIdentifier GetStringIdentifier(const char* name) const;   // absent: null
    NPIdentifier GetIntIdentifier(int32_t number) const;        // absent: null
    bool IdentifierIsString(NPIdentifier identifier) const;     // absent: true
    NPUTF8* UTF8FromIdentifier(NPIdentifier identifier) const;  // absent: null
    int32_t IntFromIdentifier(NPIdentifier identifier) const;   // absent: 1
    // The identifier's name; the browser's copy is freed. Absent entries: empty.
    std::string identifierToString(NPIdentifier identifier) const;

    // What an identifier stands for: a name, or an integer index. Asked of the
    // browser the first time only (a browser keeps its identifiers for its
    // whole life; a new function table forgets the answers). Main thread only.
    struct Identifier {
        bool isString;
        std::string name;  // a name; empty for an index
        int32_t index;     // an index; 0 for a name
    };
    const Identifier& identifier(NPIdentifier identifier);

private:
    NPNetscapeFuncs browserFuncs_{};
    DWORD mainThreadId_;
    std::unordered_map<NPIdentifier, Identifier> identifiers_;
    MainThreadReleaseQueue<NPObject*> releaseQueue_;
    // Set after each push: the drain, run by every entry point, takes the queue's
    // lock only when something was queued since it last ran.
    std::atomic<bool> releasesWaiting_{false};
};

}  // namespace Npapi
}  // namespace FB
