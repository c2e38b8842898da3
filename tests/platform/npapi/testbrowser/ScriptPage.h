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
// Threading: the browser's main thread only (the engine lives in its apartment).
#pragma once

#include "NpapiInterface.h"

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

// Script-visible object of the test browser: named members that are values
// (expandos, set by script or C++) or native methods.
class HostObject : public IDispatchEx {
public:
    // Arguments in call order; `result` starts empty.
    using Method = std::function<HRESULT(const std::vector<VARIANT>& args, VARIANT* result)>;

    HostObject();  // reference count 1, owned by the creator
    void defineMethod(const std::wstring& name, Method method);
    void setValue(const std::wstring& name, const VARIANT& value);
    bool getValue(const std::wstring& name, VARIANT* value) const;  // a copy
    bool has(const std::wstring& name) const;
    // A refused member fails every call or access with a script exception "refused".
    void refuse(const std::wstring& name, bool refused = true);
    void clearValues();  // drops every expando (page teardown breaks reference cycles)

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, UINT* argError) override;
    // IDispatchEx
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) override;
    HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, IServiceProvider* caller) override;
    HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR name, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID id) override;
    HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties) override;
    HRESULT STDMETHODCALLTYPE GetMemberName(DISPID id, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD flags, DISPID id, DISPID* next) override;
    HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** parent) override;

private:
    struct Member {
        std::wstring name;
        VARIANT value;
        Method method;
        bool present = true;
        bool refused = false;
    };
    virtual ~HostObject();
    Member* find(const std::wstring& name);
    const Member* find(const std::wstring& name) const;
    Member* member(DISPID id);
    Member& ensure(const std::wstring& name);

    LONG references_ = 1;
    std::vector<Member> members_;  // DISPID = index + 1
};

class Page {
public:
    explicit Page(Browser& browser);
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    bool isOpen() const { return script_ != nullptr; }
    // Releases every timer, proxy and element, then closes the engine.
    void close();

    // ---- script
    bool run(const std::wstring& statements);  // failures are recorded in errors()
    bool evaluate(const std::wstring& expression, VARIANT* result);
    // The expression's value as text (VariantChangeType); "<error>" when it failed.
    std::wstring text(const std::wstring& expression);
    bool has(const std::wstring& windowProperty) const { return window_->has(windowProperty); }
    std::vector<std::wstring> errors() const { return errors_; }
    void clearErrors() { errors_.clear(); }
    std::vector<std::wstring> consoleLines() const { return console_; }
    // Accumulates time per call of script into native code (see the benchmark).
    HostObject& window() { return *window_; }

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
    bool runDueTimers();
    size_t pendingTimers() const { return timers_.size(); }
    ULONGLONG nextTimerDue() const;

    // Internals shared with the script-site and object classes of ScriptPage.cpp.
    Browser& browser() { return browser_; }
    void recordError(const std::wstring& text) { errors_.push_back(text); }
    void forgetScriptObject(IUnknown* identity) { scriptObjects_.erase(identity); }
    void forgetProxy(NPObject* object) { proxies_.erase(object); }
    IDispatch* proxyFor(NPObject* object);  // the page's one proxy of a plug-in object, AddRef'd
    IDispatch* globalScope();               // the engine's script dispatch (not AddRef'd)
    HRESULT callDispatch(IDispatch* target, const std::wstring& name, WORD flags, const NPVariant* args, uint32_t count,
        NPVariant* result, bool withGlobalFallback);

private:
    struct Timer {
        long id;
        ULONGLONG due;
        IDispatch* function;  // or null with `code`
        std::wstring code;
    };
    struct Element {
        NPP instance;
        std::string id;
        HostObject* element;     // owned reference
        IDispatch* scriptValue;  // owned reference: the plug-in's proxy, or the element
    };
    bool open();
    HRESULT setTimeout(const std::vector<VARIANT>& args, VARIANT* result);
    Element* findElement(NPP instance);
    void releaseElement(Element& element);
    void bindElementName(const std::string& id);  // window[id] = the first element with that id

    Browser& browser_;
    IActiveScript* script_ = nullptr;
    IActiveScriptParse* parse_ = nullptr;
    IActiveScriptSite* site_ = nullptr;
    HostObject* window_ = nullptr;
    HostObject* document_ = nullptr;
    HostObject* console_object_ = nullptr;
    std::map<std::wstring, IUnknown*> namedItems_;  // owned references
    std::vector<Element> elements_;                 // in document order
    std::map<IUnknown*, NPObject*> scriptObjects_;  // page object identity -> its browser object
    std::map<NPObject*, IDispatch*> proxies_;       // plug-in object -> its live page proxy (not owned)
    std::vector<Timer> timers_;
    long nextTimerId_ = 1;
    std::vector<std::wstring> errors_;
    std::vector<std::wstring> console_;
    friend class PageSite;
};

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

}  // namespace TestBrowser
