// The page of the test browser: Wine's JScript engine hosted through
// IActiveScript, with the page objects mapped to browser objects and back.
//
// - `window` is a host object (IDispatchEx): expando properties (a script
//   assignment arrives as GetDispID with fdexNameEnsure plus a property put; a
//   later call as InvokeEx(DISPATCH_METHOD), forwarded to the stored function's
//   DISPID_VALUE), setTimeout/clearTimeout, `document` and `console`. It is the
//   engine's global-members item, so page script calls setTimeout unqualified.
//   Script `var`/`function` globals live in the engine's own scope; the
//   browser-side window object falls back to them, so the plug-in sees them as
//   window properties as in a real browser.
// - each plug-in element (one per instance, in document order) is a window
//   property named by its id, as browsers expose ids: the plug-in's scriptable
//   object, or the bare element while the plug-in gives none. Two elements with
//   one id: the first in document order is the one script sees; removing it
//   (its instance destroyed) uncovers the next.
// - a page object handed to the plug-in becomes a browser object (NPObject of the
//   page's script class) over its IDispatch; one per page object;
// - a plug-in object handed to the page becomes a proxy (IDispatchEx) that calls
//   the object's NPClass entries the way a browser does: a method call asks
//   hasMethod and invokes, otherwise reads the property and calls its value.
//   An NPN_SetException text pending after such a call is raised in script.
// - timers run from the browser's pump, in due order, never inside the call that
//   set them.
//
// The engine, the window's timers and console are the shared test page's
// (ScriptHost::ScriptEngine).
//
// Threading: the browser's main thread only (the engine lives in its apartment).
#pragma once

#include "HostObject.h"
#include "NpapiInterface.h"
#include "ScriptEngine.h"

#include <activscp.h>
#include <dispex.h>
#include <oleauto.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace TestBrowser {

class Browser;

using ScriptHost::HostObject;

class Page {
public:
    explicit Page(Browser& browser);
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    bool isOpen() const { return engine_.isOpen(); }
    // Releases every timer, proxy and element, then closes the engine.
    void close();

    // ---- script
    bool run(const std::wstring& statements) { return engine_.run(statements); }  // failures: errors()
    bool evaluate(const std::wstring& expression, VARIANT* result) { return engine_.evaluate(expression, result); }
    // The expression's value as text (VariantChangeType); "<error>" when it failed.
    std::wstring text(const std::wstring& expression) { return engine_.text(expression); }
    bool has(const std::wstring& windowProperty) { return engine_.window().has(windowProperty); }
    std::vector<std::wstring> errors() const { return engine_.errors(); }
    void clearErrors() { engine_.clearErrors(); }
    std::vector<std::wstring> consoleLines() const { return engine_.consoleLines(); }
    HostObject& window() { return engine_.window(); }

    // ---- objects
    // The element of an instance: added before NPP_New, given the plug-in's
    // scriptable object after it, removed when the instance is destroyed.
    void addElement(NPP instance, const std::string& id);
    void setElementScriptable(NPP instance, NPObject* scriptable);
    void removeElement(NPP instance);
    NPObject* windowObject();               // a new browser reference
    NPObject* elementObject(NPP instance);  // a new browser reference, or null
    NPClass* scriptObjectClass();
    bool isScriptObject(const NPObject* object) const;

    // ---- conversions (the result belongs to the caller)
    void toNPVariant(const VARIANT& in, NPVariant* out);
    HRESULT toVariant(const NPVariant& in, VARIANT* out);
    NPObject* wrapDispatch(IDispatch* dispatch);  // a new browser reference

    // ---- browser entries that land in the page
    bool evaluateScript(const NPString& script, NPVariant* result);

    // ---- timers
    bool runDueTimers() { return engine_.runDueTimers(); }
    size_t pendingTimers() const { return engine_.pendingTimers(); }
    ULONGLONG nextTimerDue() const { return engine_.nextTimerDue(); }

    // Internals shared with the script-site and object classes of ScriptPage.cpp.
    Browser& browser() { return browser_; }
    void recordError(const std::wstring& text) { engine_.recordError(text); }
    void forgetScriptObject(IUnknown* identity) { scriptObjects_.erase(identity); }
    void forgetProxy(NPObject* object) { proxies_.erase(object); }
    IDispatch* proxyFor(NPObject* object);                      // the page's one proxy of a plug-in object, AddRef'd
    IDispatch* globalScope() { return engine_.globalScope(); }  // the engine's script dispatch (not AddRef'd)
    HRESULT callDispatch(IDispatch* target, const std::wstring& name, WORD flags, const NPVariant* args, uint32_t count,
        NPVariant* result, bool withGlobalFallback);

private:
    struct Element {
        NPP instance;
        std::string id;
        HostObject* element;     // owned reference
        IDispatch* scriptValue;  // owned reference: the plug-in's proxy, or the element
    };
    bool open();
    Element* findElement(NPP instance);
    void releaseElement(Element& element);
    void bindElementName(const std::string& id);  // window[id] = the first element with that id

    Browser& browser_;
    ScriptHost::ScriptEngine engine_;
    HostObject* document_ = nullptr;
    std::vector<Element> elements_;                 // in document order
    std::map<IUnknown*, NPObject*> scriptObjects_;  // page object identity -> its browser object
    std::map<NPObject*, IDispatch*> proxies_;       // plug-in object -> its live page proxy (not owned)
};

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

}  // namespace TestBrowser
