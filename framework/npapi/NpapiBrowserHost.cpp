// The NPAPI browser host: browser-call wrappers, page objects, script, the
// release queue and the main-thread delivery of both kinds.
#include "NpapiBrowserHost.h"

#include "JSFunction.h"
#include "NPJavascriptObject.h"
#include "NPObjectAPI.h"
#include "NpapiBrowserFuncs.h"
#include "NpapiStream.h"
#include "ScriptErrors.h"
#include "TraceLog.h"
#include "dom/Document.h"
#include "dom/Window.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace FB {
namespace Npapi {

NpapiBrowserHost::NpapiBrowserHost(std::shared_ptr<NpapiPluginModule> module, NPP instance)
    : module_(std::move(module)), instance_(instance)
{
}

NpapiBrowserHost::~NpapiBrowserHost()
{
    // Releases deferred after the last drain, and the kept wrappers.
    std::vector<NPObject*> left = sweepWrapperCache(true);
    NPObject* object;
    while (releaseQueue_.pop(object)) left.push_back(object);
    if (isMainThread()) {
        releaseAll(left);
        return;
    }
    // Off the main thread the browser takes no release: the module makes them there.
    if (!module_) return;
    for (NPObject* each : left) module_->deferRelease(each);
}

std::shared_ptr<NPObjectAPI> NpapiBrowserHost::adopt(NPObject* object)
{
    if (!object) return nullptr;
    auto self = std::static_pointer_cast<NpapiBrowserHost>(shared_from_this());
    std::shared_ptr<NPObjectAPI> wrapped;
    try {
        wrapped = std::make_shared<NPObjectAPI>(object, self);
    } catch (...) {
        ReleaseObject(object);
        throw;
    }
    ReleaseObject(object);  // the wrapper holds its own reference
    return wrapped;
}

void NpapiBrowserHost::setBrowserFuncs(const NPNetscapeFuncs* browserFuncs)
{
    copyBrowserFuncs(browserFuncs, &browserFuncs_);
    NPObject* window = nullptr;
    NPObject* element = nullptr;
    if (GetValue(NPNVWindowNPObject, &window) != NPERR_NO_ERROR) window = nullptr;
    if (GetValue(NPNVPluginElementNPObject, &element) != NPERR_NO_ERROR) element = nullptr;
    try {
        window_ = adopt(window);
        window = nullptr;
        element_ = adopt(element);
        element = nullptr;
    } catch (...) {
        if (window) ReleaseObject(window);
        if (element) ReleaseObject(element);
        throw;
    }
    if (!window_) return;
    try {
        variant document = window_->getProperty("document");
        if (JSObjectPtr object = document.convertToJSObject())
            document_ = std::dynamic_pointer_cast<NPObjectAPI>(object);
    } catch (const script_error&) {
        // A window without a readable document: the host works without one.
    } catch (const bad_variant_cast&) {
        // The document is no object: the host works without one.
    }
}

std::shared_ptr<DOM::Document> NpapiBrowserHost::documentObject()
{
    if (!document_) throw std::runtime_error("Cannot find HTML document");
    return wrapDocument(document_);
}

std::shared_ptr<DOM::Window> NpapiBrowserHost::windowObject()
{
    if (!window_) throw std::runtime_error("Cannot find HTML window");
    return wrapWindow(window_);
}

std::shared_ptr<DOM::Element> NpapiBrowserHost::pluginElementObject()
{
    if (!element_) throw std::runtime_error("Cannot find HTML window");
    return wrapElement(element_);
}

void NpapiBrowserHost::openUrl(const std::string& url, const std::string& target)
{
    PushPopupsEnabledState(true);
    GetURL(url.c_str(), target.empty() ? nullptr : target.c_str());
    PopPopupsEnabledState();
}

void NpapiBrowserHost::runScript(const std::string& script)
{
    if (!window_) throw std::runtime_error("Cannot find HTML window");
    NPString text{script.c_str(), static_cast<uint32_t>(script.size())};
    NPVariant result;
    result.type = NPVariantType_Void;
    if (!Evaluate(window_->getNPObject(), &text, &result)) throw script_error("Error executing JavaScript code");
    ReleaseVariantValue(&result);
}

void NpapiBrowserHost::shutDownHost()
{
    if (isShutDown()) return;
    // From here on every browser call takes its absent answer.
    std::memset(&browserFuncs_, 0, sizeof browserFuncs_);
    if (isMainThread()) releaseAll(sweepWrapperCache(true));
    BrowserHost::shutDownHost();
    // The browser calls about none of the instance's streams any more.
    NpapiStream::abandonAll(this);
    window_.reset();
    element_.reset();
    document_.reset();
}

void NpapiBrowserHost::deferRelease(NPObject* object)
{
    releaseQueue_.push(object);
    if (isMainThread()) releasePendingObjects();
}

void NpapiBrowserHost::releasePendingObjects()
{
    if (!isMainThread()) return;  // browser objects are released on the main thread only
    NPObject* object;
    while (releaseQueue_.pop(object)) module_->ReleaseObject(object);
    releaseAll(sweepWrapperCache(false));
    module_->releasePendingObjects();
}

std::vector<NPObject*> NpapiBrowserHost::sweepWrapperCache(bool all)
{
    std::vector<NPObject*> released;
    wrapperCache_.sweep([&](auto& entry) {
        KeptReference& reference = entry.extra;
        if (reference.kept && (all || reference.keptWhile.expired())) {
            released.push_back(reference.kept);
            reference.kept = nullptr;
        }
        return reference.kept == nullptr;
    });
    // Released by the caller after the walk: a last release runs destructors that may come back here.
    return released;
}

void NpapiBrowserHost::releaseAll(const std::vector<NPObject*>& objects) const
{
    for (NPObject* each : objects) module_->ReleaseObject(each);
}

bool NpapiBrowserHost::postToMainThread(QueuedFunction function, void* data)
{
    if (isShutDown()) return false;
    return batch_->post(function, data, [this](QueuedFunction run, void* batch) { return postBatch(run, batch); });
}

bool NpapiBrowserHost::postBatch(QueuedFunction run, void* batch)
{
    // Without the entry a delivery cannot be arranged: refuse rather than lose it.
    if (!browserFuncs_.pluginthreadasynccall) return false;
    browserFuncs_.pluginthreadasynccall(instance_, run, batch);
    return true;
}

NPObject* NpapiBrowserHost::getJSAPIWrapper(const JSAPIPtr& api, bool autoRelease)
{
    if (!api) return nullptr;
    NPJavascriptObject* live = wrapperCache_.find(api, [this](auto& stale) {
        if (stale.extra.kept) module_->ReleaseObject(stale.extra.kept);
    });
    if (live) return RetainObject(live);
    // Entries of objects that ended meanwhile go when the cache has grown enough.
    if (wrapperCache_.size() >= sweepAt_) {
        releaseAll(sweepWrapperCache(false));
        sweepAt_ = std::max<size_t>(16, 2 * wrapperCache_.size());
    }
    auto self = std::static_pointer_cast<NpapiBrowserHost>(shared_from_this());
    NPJavascriptObject* object = NPJavascriptObject::newObject(api, self, autoRelease);
    if (!object) return nullptr;
    KeptReference kept;
    if (auto* function = dynamic_cast<const JSFunction*>(api.get()); function && !function->owner().expired()) {
        kept.kept = RetainObject(object);
        kept.keptWhile = function->owner();
    }
    wrapperCache_.store(api, object->weakReference(), std::move(kept));
    return object;
}

// ---- browser calls ----------------------------------------------------------------

NPError NpapiBrowserHost::GetURL(const char* url, const char* target) const
{
    return browserFuncs_.geturl ? browserFuncs_.geturl(instance_, url, target) : NPERR_GENERIC_ERROR;
}

NPError NpapiBrowserHost::GetURLNotify(const char* url, const char* target, void* notifyData) const
{
    return browserFuncs_.geturlnotify ? browserFuncs_.geturlnotify(instance_, url, target, notifyData)
                                      : NPERR_GENERIC_ERROR;
}

NPError NpapiBrowserHost::PostURLNotify(
    const char* url, const char* target, uint32_t length, const char* buffer, NPBool file, void* notifyData) const
{
    return browserFuncs_.posturlnotify
        ? browserFuncs_.posturlnotify(instance_, url, target, length, buffer, file, notifyData)
        : NPERR_GENERIC_ERROR;
}

NPError NpapiBrowserHost::GetValue(NPNVariable variable, void* value) const
{
    return browserFuncs_.getvalue ? browserFuncs_.getvalue(instance_, variable, value) : NPERR_GENERIC_ERROR;
}

NPError NpapiBrowserHost::SetValue(NPPVariable variable, void* value) const
{
    return browserFuncs_.setvalue ? browserFuncs_.setvalue(instance_, variable, value) : NPERR_GENERIC_ERROR;
}

NPError NpapiBrowserHost::DestroyStream(NPStream* stream, NPReason reason) const
{
    return browserFuncs_.destroystream ? browserFuncs_.destroystream(instance_, stream, reason) : NPERR_GENERIC_ERROR;
}

int32_t NpapiBrowserHost::Write(NPStream* stream, int32_t length, void* buffer) const
{
    return browserFuncs_.write ? browserFuncs_.write(instance_, stream, length, buffer) : 0;
}

NPError NpapiBrowserHost::RequestRead(NPStream* stream, NPByteRange* ranges) const
{
    return browserFuncs_.requestread ? browserFuncs_.requestread(stream, ranges) : NPERR_GENERIC_ERROR;
}

void NpapiBrowserHost::InvalidateRect(NPRect* rect) const
{
    if (browserFuncs_.invalidaterect) browserFuncs_.invalidaterect(instance_, rect);
}

const char* NpapiBrowserHost::UserAgent() const
{
    const char* agent = browserFuncs_.uagent ? browserFuncs_.uagent(instance_) : nullptr;
    return agent ? agent : "";
}

NPObject* NpapiBrowserHost::CreateObject(NPClass* objectClass) const
{
    return browserFuncs_.createobject ? browserFuncs_.createobject(instance_, objectClass) : nullptr;
}

bool NpapiBrowserHost::Invoke(
    NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result) const
{
    return browserFuncs_.invoke && browserFuncs_.invoke(instance_, object, name, args, count, result);
}

bool NpapiBrowserHost::InvokeDefault(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) const
{
    return browserFuncs_.invokeDefault && browserFuncs_.invokeDefault(instance_, object, args, count, result);
}

bool NpapiBrowserHost::Evaluate(NPObject* object, NPString* script, NPVariant* result) const
{
    return browserFuncs_.evaluate && browserFuncs_.evaluate(instance_, object, script, result);
}

bool NpapiBrowserHost::GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) const
{
    return browserFuncs_.getproperty && browserFuncs_.getproperty(instance_, object, name, result);
}

bool NpapiBrowserHost::SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) const
{
    return browserFuncs_.setproperty && browserFuncs_.setproperty(instance_, object, name, value);
}

bool NpapiBrowserHost::RemoveProperty(NPObject* object, NPIdentifier name) const
{
    return browserFuncs_.removeproperty && browserFuncs_.removeproperty(instance_, object, name);
}

bool NpapiBrowserHost::HasProperty(NPObject* object, NPIdentifier name) const
{
    return browserFuncs_.hasproperty && browserFuncs_.hasproperty(instance_, object, name);
}

bool NpapiBrowserHost::HasMethod(NPObject* object, NPIdentifier name) const
{
    return browserFuncs_.hasmethod && browserFuncs_.hasmethod(instance_, object, name);
}

bool NpapiBrowserHost::Enumerate(NPObject* object, NPIdentifier** identifiers, uint32_t* count) const
{
    return browserFuncs_.enumerate && browserFuncs_.enumerate(instance_, object, identifiers, count);
}

bool NpapiBrowserHost::Construct(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) const
{
    return browserFuncs_.construct && browserFuncs_.construct(instance_, object, args, count, result);
}

void NpapiBrowserHost::SetException(NPObject* object, const char* message) const
{
    if (browserFuncs_.setexception) browserFuncs_.setexception(object, message);
}

void NpapiBrowserHost::PushPopupsEnabledState(bool enabled) const
{
    if (browserFuncs_.pushpopupsenabledstate) browserFuncs_.pushpopupsenabledstate(instance_, enabled ? 1 : 0);
}

void NpapiBrowserHost::PopPopupsEnabledState() const
{
    if (browserFuncs_.poppopupsenabledstate) browserFuncs_.poppopupsenabledstate(instance_);
}

void NpapiBrowserHost::PluginThreadAsyncCall(void (*function)(void*), void* data) const
{
    if (browserFuncs_.pluginthreadasynccall) browserFuncs_.pluginthreadasynccall(instance_, function, data);
}

NPError NpapiBrowserHost::GetValueForURL(NPNURLVariable variable, const char* url, char** value, uint32_t* length) const
{
    return browserFuncs_.getvalueforurl ? browserFuncs_.getvalueforurl(instance_, variable, url, value, length)
                                        : NPERR_INCOMPATIBLE_VERSION_ERROR;
}

// ---- the window road ------------------------------------------------------------------

NpapiBrowserHostAsyncWin::NpapiBrowserHostAsyncWin(std::shared_ptr<NpapiPluginModule> module, NPP instance)
    : NpapiBrowserHost(std::move(module), instance)
{
}

NpapiBrowserHostAsyncWin::~NpapiBrowserHostAsyncWin() = default;

bool NpapiBrowserHostAsyncWin::postBatch(QueuedFunction run, void* batch)
{
    return WinMessageWindow::postCall(messageWindow_.getHWND(), run, batch);
}

}  // namespace Npapi
}  // namespace FB
