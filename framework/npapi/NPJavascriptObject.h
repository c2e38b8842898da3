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
// entry answers false. The three built-in members are made when script first
// reads them, so a new object costs little (the browser makes one for every
// scriptable object that page script receives).
//
// Threading: the browser's main thread only.
#pragma once

#include "JSAPI.h"
#include "NpapiInterface.h"

#include <memory>

namespace FB {
namespace Npapi {

class NpapiBrowserHost;

class NPJavascriptObject : public NPObject {
public:
    // A new browser object for `api` (null when the browser made none); the
    // caller owns its one reference.
    static NPJavascriptObject* newObject(
        const JSAPIPtr& api, const std::shared_ptr<NpapiBrowserHost>& host, bool autoRelease);
    static bool isOwnObject(const NPObject* object);
    static NPJavascriptObject* fromNPObject(NPObject* object) { return static_cast<NPJavascriptObject*>(object); }
    static NPClass* npClass();
    // The text of the most recent script error raised in any such object (empty value until then).
    static variant lastException();

    virtual ~NPJavascriptObject();

    // The wrapped API and host; std::bad_cast when gone (a gone host invalidates first).
    JSAPIPtr getAPI() const;
    std::shared_ptr<NpapiBrowserHost> getHost();
    bool isValid() const { return valid_; }
    // Liveness handle for calls and caches that must not outlive the object.
    std::weak_ptr<NPJavascriptObject*> weakReference() const { return self_; }

private:
    friend struct NPJavascriptObjectEntries;
    class BuiltIn;
    NPJavascriptObject();
    void attach(const JSAPIPtr& api, const std::shared_ptr<NpapiBrowserHost>& host, bool autoRelease);
    void invalidate();
    // The built-in member of that name, made on first use.
    JSAPIPtr builtInMember(const std::string& name);

    JSAPIWeakPtr api_;
    std::weak_ptr<NpapiBrowserHost> host_;
    bool valid_ = true;
    bool autoRelease_ = false;
    std::shared_ptr<NPJavascriptObject*> self_;
    JSAPIPtr builtIns_[3];  // addEventListener, removeEventListener, getLastException
};

}  // namespace Npapi
}  // namespace FB
