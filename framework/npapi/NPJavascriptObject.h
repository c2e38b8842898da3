// FB::Npapi::NPJavascriptObject: a scriptable object (FB::JSAPI) as the browser
// sees it, an NPObject of the class NPJavascriptObjectClass. The browser's
// NPObject* is the object's NPObject base; the class entries turn it back into
// the object and call the API.
//
// Besides the API's members every such object has "addEventListener",
// "removeEventListener" and "getLastException". Script errors become false plus
// NPN_SetException with the error's text, which is also kept process-wide as
// the last exception; nothing is thrown into the browser.
//
// The object holds its API and its host weakly; with autoRelease the host keeps
// the API alive while the object lives. Invalidation is final: afterwards every
// entry answers false. The three built-in members are made with the object.
//
// Threading: the browser's main thread only.
#pragma once

#include "BridgeBuiltIns.h"
#include "JSAPI.h"
#include "NpapiInterface.h"
#include "ShareableReference.h"

#include <memory>

namespace FB {
namespace Npapi {

class NpapiBrowserHost;
class NpapiPluginModule;

// The browser class of every NPJavascriptObject (structure version 3, every entry present).
extern NPClass NPJavascriptObjectClass;

class NPJavascriptObject : public NPObject {
public:
    // A new browser object for `api` (null when the browser made none); the
    // caller owns its one reference.
    static NPJavascriptObject* newObject(
        const JSAPIPtr& api, const std::shared_ptr<NpapiBrowserHost>& host, bool autoRelease);
    static bool isOwnObject(const NPObject* object);
    static NPJavascriptObject* fromNPObject(NPObject* object) { return static_cast<NPJavascriptObject*>(object); }
    // The text of the most recent script error raised in any such object (empty
    // value until then; FB::LastScriptException).
    static variant lastException() { return LastScriptException::get(); }

    virtual ~NPJavascriptObject();

    // The wrapped API and host; std::bad_cast when gone (a gone host invalidates first).
    JSAPIPtr getAPI() const;
    std::shared_ptr<NpapiBrowserHost> getHost();
    bool isValid() const { return valid_; }
    // Liveness handle for calls and caches that must not outlive the object.
    std::weak_ptr<ShareableReference<NPJavascriptObject>> weakReference() const { return self_; }

    // Registers (attach) or removes a page handler for "on" followed by the
    // first argument; 2 or 3 arguments, else FB::invalid_arguments.
    void registerEventHandler(const VariantVector& args, bool attach);

    // The built-in members; the pair holds the object weakly and fails with
    // "Invalid Arguments" once it is gone. Their toString shows the other road's names.
    class NPO_addEventListener : public EventHandlerFunction<NPJavascriptObject> {
        using EventHandlerFunction::EventHandlerFunction;
    };
    class NPO_removeEventListener : public EventHandlerFunction<NPJavascriptObject> {
        using EventHandlerFunction::EventHandlerFunction;
    };
    class NPO_getLastException : public LastExceptionFunction {};

private:
    friend struct NPJavascriptObjectEntries;
    NPJavascriptObject();
    void attach(const JSAPIPtr& api, const std::shared_ptr<NpapiBrowserHost>& host, bool autoRelease);
    void invalidate();
    // The built-in member of that name (empty for any other name).
    JSAPIPtr builtInMember(const std::string& name) const;

    JSAPIWeakPtr api_;
    std::weak_ptr<NpapiBrowserHost> host_;
    std::shared_ptr<NpapiPluginModule> module_;  // the host's, for the identifiers; outlives NP_Shutdown
    bool valid_ = true;
    bool autoRelease_ = false;
    std::shared_ptr<ShareableReference<NPJavascriptObject>> self_;
    std::shared_ptr<NPO_addEventListener> addEventListener_;
    std::shared_ptr<NPO_removeEventListener> removeEventListener_;
    std::shared_ptr<NPO_getLastException> getLastException_;
};

}  // namespace Npapi
}  // namespace FB
