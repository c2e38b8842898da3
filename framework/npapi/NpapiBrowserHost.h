// FB::Npapi::NpapiBrowserHost: the browser host of one NPAPI instance. It holds
// the instance's copy of the browser table and the instance handle, wraps every
// browser call the framework makes (an absent entry, or any entry after
// shutdown, gives a neutral answer), gives the page's window, document and
// plug-in element, evaluates script, converts values between NPVariant and
// FB::variant, hands out one script object per scriptable object, and releases
// browser objects on the main thread.
//
// NpapiBrowserHostAsyncWin reaches the main thread through a hidden message
// window instead of the browser's asynchronous-call entry (browsers whose entry
// is missing or unusable); NPP_New chooses.
//
// Threading: browser calls are made on the main thread (the thread that made
// the host). Any thread may call deferRelease and the queueing operations of
// FB::BrowserHost; the release queue is drained on the main thread only. A host
// whose last owner lets go on another thread hands the browser objects it still
// holds to its module, which releases them at the next entry point.
#pragma once

#include "BrowserHost.h"
#include "MainThreadBatch.h"
#include "MainThreadReleaseQueue.h"
#include "NpapiInterface.h"
#include "NpapiPluginModule.h"
#include "ShareableReference.h"
#include "WinMessageWindow.h"
#include "WrapperCache.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace FB {
namespace Npapi {

class NPObjectAPI;
class NPJavascriptObject;
using NPObjectAPIPtr = std::shared_ptr<NPObjectAPI>;

class NpapiBrowserHost : public BrowserHost {
public:
    NpapiBrowserHost(std::shared_ptr<NpapiPluginModule> module, NPP instance);
    ~NpapiBrowserHost() override;

    // Copies the browser table (size and version gated) and fetches the page's
    // window, plug-in element and document.
    void setBrowserFuncs(const NPNetscapeFuncs* browserFuncs);
    const NPNetscapeFuncs& browserFuncs() const { return browserFuncs_; }
    const std::shared_ptr<NpapiPluginModule>& module() const { return module_; }
    NPP instance() const { return instance_; }

    // FB::BrowserHost
    void* getInstanceHandle() override { return instance_; }
    std::shared_ptr<DOM::Document> documentObject() override;  // "Cannot find HTML document"
    std::shared_ptr<DOM::Window> windowObject() override;      // "Cannot find HTML window"
    std::shared_ptr<DOM::Element> pluginElementObject() override;
    void openUrl(const std::string& url, const std::string& target) override;
    using BrowserHost::runScript;
    void runScript(const std::string& script) override;  // "Error executing JavaScript code"
    void shutDownHost() override;
    void releasePendingObjects() override;
    // NpapiStreams through NPN_GetURLNotify / NPN_PostURLNotify, or for a stream the browser started.
    std::shared_ptr<BrowserStream> openBrowserStream(const BrowserStreamRequest& request) override;
    std::shared_ptr<BrowserStream> adoptBrowserStream(const BrowserStreamRequest& request) override;
    // The browser's proxy for the URL (NPN_GetValueForURL); the system's when the browser has no such entry.
    bool proxySettingsFor(const std::string& url, std::map<std::string, std::string>& settings) override;
    // Queues a browser object for release on the main thread (at once when on it).
    virtual void deferRelease(NPObject* object);

    // ---- the script-object bridge
    // The script object of a scriptable object, one per object and instance while
    // it lives; the caller owns one reference of it. The script object of a
    // method's function object is kept while the method's object lives: page
    // script reads the method afresh for every call and would otherwise get a
    // new one each time.
    NPObject* getJSAPIWrapper(const JSAPIPtr& api, bool autoRelease);
    variant getVariant(const NPVariant* value);
    void getNPVariant(NPVariant* out, const variant& value);
    size_t cachedWrappers() const { return wrapperCache_.size(); }

    // What an identifier stands for (NpapiPluginModule::identifier). Main thread only.
    using Identifier = NpapiPluginModule::Identifier;
    const Identifier& identifier(NPIdentifier id) { return module_->identifier(id); }

    // ---- browser calls (instance entries of the copied table)
    NPError GetURL(const char* url, const char* target) const;
    NPError GetURLNotify(const char* url, const char* target, void* notifyData) const;
    NPError PostURLNotify(
        const char* url, const char* target, uint32_t length, const char* buffer, NPBool file, void* notifyData) const;
    NPError GetValue(NPNVariable variable, void* value) const;            // absent: 1
    NPError SetValue(NPPVariable variable, void* value) const;            // absent: 1
    NPError DestroyStream(NPStream* stream, NPReason reason) const;       // absent: 1
    int32_t Write(NPStream* stream, int32_t length, void* buffer) const;  // absent: 0
    NPError RequestRead(NPStream* stream, NPByteRange* ranges) const;     // absent: 1
    void InvalidateRect(NPRect* rect) const;
    const char* UserAgent() const;                       // absent: empty text
    NPObject* CreateObject(NPClass* objectClass) const;  // absent: null
    bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result) const;
    bool InvokeDefault(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) const;
    bool Evaluate(NPObject* object, NPString* script, NPVariant* result) const;
    bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) const;
    bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) const;
    bool RemoveProperty(NPObject* object, NPIdentifier name) const;
    bool HasProperty(NPObject* object, NPIdentifier name) const;
    bool HasMethod(NPObject* object, NPIdentifier name) const;
    bool Enumerate(NPObject* object, NPIdentifier** identifiers, uint32_t* count) const;
    bool Construct(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) const;
    void SetException(NPObject* object, const char* message) const;
    void PushPopupsEnabledState(bool enabled) const;
    void PopPopupsEnabledState() const;
    void PluginThreadAsyncCall(void (*function)(void*), void* data) const;
    NPError GetValueForURL(
        NPNURLVariable variable, const char* url, char** value, uint32_t* length) const;  // absent: 8
    // Through the module: no instance needed.
    void* MemAlloc(uint32_t size) const { return module_->MemAlloc(size); }
    void MemFree(void* block) const { module_->MemFree(block); }
    NPObject* RetainObject(NPObject* object) const { return module_->RetainObject(object); }
    void ReleaseObject(NPObject* object) const { module_->ReleaseObject(object); }
    void ReleaseVariantValue(NPVariant* value) const { module_->ReleaseVariantValue(value); }
    NPIdentifier GetStringIdentifier(const char* name) const { return module_->GetStringIdentifier(name); }
    NPIdentifier GetIntIdentifier(int32_t number) const { return module_->GetIntIdentifier(number); }
    bool IdentifierIsString(NPIdentifier id) const { return module_->IdentifierIsString(id); }
    NPUTF8* UTF8FromIdentifier(NPIdentifier id) const { return module_->UTF8FromIdentifier(id); }
    std::string StringFromIdentifier(NPIdentifier id) const { return module_->identifierToString(id); }
    int32_t IntFromIdentifier(NPIdentifier id) const { return module_->IntFromIdentifier(id); }

protected:
    // Queues the call in the host's batch: one browser post carries every call
    // queued until it runs (see MainThreadBatch).
    bool postToMainThread(QueuedFunction function, void* data) override;
    // The road of a batch: run(batch) once on the main thread through the
    // browser's asynchronous-call entry. False when that cannot be arranged.
    virtual bool postBatch(QueuedFunction run, void* batch);

private:
    // A wrapper-cache entry: the script object's liveness handle and the API it was
    // made for, so a dead entry or a reused address is never handed back; for a
    // function object also the reference the cache keeps while its method's
    // object lives.
    struct KeptReference {
        NPObject* kept = nullptr;
        JSAPIWeakPtr keptWhile;
    };
    std::shared_ptr<NPObjectAPI> adopt(NPObject* object);  // wraps, then drops the browser's reference
    // Drops dead entries and takes out the kept references whose reason is gone
    // (every one with `all`), for the caller to release.
    std::vector<NPObject*> sweepWrapperCache(bool all);
    void releaseAll(const std::vector<NPObject*>& objects) const;

    NPNetscapeFuncs browserFuncs_{};
    std::shared_ptr<NpapiPluginModule> module_;
    NPP instance_;
    NPObjectAPIPtr document_;
    NPObjectAPIPtr window_;
    NPObjectAPIPtr element_;
    MainThreadReleaseQueue<NPObject*> releaseQueue_;
    WrapperCache<NPJavascriptObject, KeptReference> wrapperCache_;
    size_t sweepAt_ = 16;  // the cache size at which a miss sweeps it
    const std::shared_ptr<MainThreadBatch> batch_ = MainThreadBatch::create();
};

using NpapiBrowserHostPtr = std::shared_ptr<NpapiBrowserHost>;

// The host for browsers whose asynchronous-call entry is not used: main-thread
// calls are posted to a hidden message window made by the constructor.
class NpapiBrowserHostAsyncWin : public NpapiBrowserHost {
public:
    NpapiBrowserHostAsyncWin(std::shared_ptr<NpapiPluginModule> module, NPP instance);
    ~NpapiBrowserHostAsyncWin() override;

protected:
    // Through the message window (message 1025).
    bool postBatch(QueuedFunction run, void* batch) override;

private:
    WinMessageWindow messageWindow_;
};

}  // namespace Npapi
}  // namespace FB
