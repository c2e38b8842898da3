// The page: the hosted engine, its site, and the two object mappings.
//
// Page objects reach the plug-in as ScriptObject (an NPObject over an
// IDispatch), one per page object identity, so the plug-in sees the same page
// object as the same browser object. Plug-in objects reach the page as
// PluginProxy (an IDispatchEx over an NPObject, holding one browser reference),
// one per plug-in object while the proxy lives. Closing the page detaches every
// ScriptObject (later calls fail) and releases every proxy, so the leak audit
// after NP_Shutdown sees only what the plug-in itself still holds.
#include "ScriptPage.h"

#include "ComIds.h"
#include "CountedUnknown.h"
#include "TestBrowser.h"
#include "Utf8Text.h"

#include <algorithm>

namespace TestBrowser {

std::wstring widen(const std::string& text)
{
    return test_support::wide(text);
}

std::string narrow(const std::wstring& text)
{
    return test_support::utf8(text);
}

namespace {

std::string identifierName(Browser& browser, NPIdentifier identifier)
{
    const NPNetscapeFuncs& runtime = browser.runtime();
    if (!runtime.identifierisstring(identifier)) {
        char digits[16];
        wsprintfA(digits, "%d", runtime.intfromidentifier(identifier));
        return digits;
    }
    NPUTF8* utf8 = runtime.utf8fromidentifier(identifier);
    std::string name = utf8 ? utf8 : "";
    runtime.memfree(utf8);
    return name;
}

HRESULT dispIdOf(IDispatch* target, const std::wstring& name, DWORD flags, DISPID* id)
{
    IDispatchEx* ex = nullptr;
    HRESULT hr;
    if (SUCCEEDED(target->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(&ex))) && ex) {
        BSTR bstr = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
        hr = ex->GetDispID(bstr, flags | fdexNameCaseSensitive, id);
        SysFreeString(bstr);
        ex->Release();
        return hr;
    }
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    return target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

// ---- page objects as browser objects ------------------------------------------

struct ScriptObject : NPObject {
    Page* page = nullptr;  // null once the page closed
    IDispatch* dispatch = nullptr;
    IUnknown* identity = nullptr;
    bool isWindow = false;
};

ScriptObject* asScript(NPObject* object)
{
    return static_cast<ScriptObject*>(object);
}

NPObject* scriptAllocate(NPP, NPClass*)
{
    return new ScriptObject;
}

void scriptDeallocate(NPObject* object)
{
    ScriptObject* self = asScript(object);
    if (self->page) self->page->forgetScriptObject(self->identity);
    if (self->dispatch) self->dispatch->Release();
    if (self->identity) self->identity->Release();
    delete self;
}

bool scriptCall(
    NPObject* object, const std::string& name, WORD flags, const NPVariant* args, uint32_t count, NPVariant* result)
{
    ScriptObject* self = asScript(object);
    if (!self->page || !self->dispatch) return false;
    return SUCCEEDED(self->page->callDispatch(self->dispatch, widen(name), flags, args, count, result, self->isWindow));
}

bool scriptHasMethod(NPObject* object, NPIdentifier name)
{
    ScriptObject* self = asScript(object);
    if (!self->page) return false;
    NPVariant value;
    if (!scriptCall(object, identifierName(self->page->browser(), name), DISPATCH_PROPERTYGET, nullptr, 0, &value))
        return false;
    bool callable = value.type == NPVariantType_Object;
    self->page->browser().releaseVariant(&value);
    return callable;
}

bool scriptInvoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result)
{
    ScriptObject* self = asScript(object);
    if (!self->page) return false;
    return scriptCall(object, identifierName(self->page->browser(), name), DISPATCH_METHOD, args, count, result);
}

bool scriptInvokeDefault(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result)
{
    ScriptObject* self = asScript(object);
    if (!self->page || !self->dispatch) return false;
    return SUCCEEDED(self->page->callDispatch(self->dispatch, L"", DISPATCH_METHOD, args, count, result, false));
}

bool scriptConstruct(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result)
{
    ScriptObject* self = asScript(object);
    if (!self->page || !self->dispatch) return false;
    return SUCCEEDED(self->page->callDispatch(self->dispatch, L"", DISPATCH_CONSTRUCT, args, count, result, false));
}

bool scriptHasProperty(NPObject* object, NPIdentifier name)
{
    ScriptObject* self = asScript(object);
    if (!self->page || !self->dispatch) return false;
    std::wstring wide = widen(identifierName(self->page->browser(), name));
    DISPID id;
    if (SUCCEEDED(dispIdOf(self->dispatch, wide, 0, &id))) return true;
    return self->isWindow && self->page->globalScope() && SUCCEEDED(dispIdOf(self->page->globalScope(), wide, 0, &id));
}

bool scriptGetProperty(NPObject* object, NPIdentifier name, NPVariant* result)
{
    ScriptObject* self = asScript(object);
    if (!self->page) return false;
    return scriptCall(object, identifierName(self->page->browser(), name), DISPATCH_PROPERTYGET, nullptr, 0, result);
}

bool scriptSetProperty(NPObject* object, NPIdentifier name, const NPVariant* value)
{
    ScriptObject* self = asScript(object);
    if (!self->page) return false;
    return scriptCall(object, identifierName(self->page->browser(), name), DISPATCH_PROPERTYPUT, value, 1, nullptr);
}

bool scriptRemoveProperty(NPObject* object, NPIdentifier name)
{
    ScriptObject* self = asScript(object);
    if (!self->page || !self->dispatch) return false;
    IDispatchEx* ex = nullptr;
    if (FAILED(self->dispatch->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(&ex))) || !ex) return false;
    std::wstring wide = widen(identifierName(self->page->browser(), name));
    BSTR bstr = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    HRESULT hr = ex->DeleteMemberByName(bstr, fdexNameCaseSensitive);
    SysFreeString(bstr);
    ex->Release();
    return SUCCEEDED(hr);
}

bool scriptEnumerate(NPObject* object, NPIdentifier** identifiers, uint32_t* count)
{
    ScriptObject* self = asScript(object);
    if (!self->page || !self->dispatch) return false;
    IDispatchEx* ex = nullptr;
    if (FAILED(self->dispatch->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(&ex))) || !ex) return false;
    std::vector<std::string> names;
    DISPID id = DISPID_STARTENUM;
    while (ex->GetNextDispID(fdexEnumAll, id, &id) == S_OK) {
        BSTR name = nullptr;
        if (SUCCEEDED(ex->GetMemberName(id, &name)) && name) names.push_back(narrow(name));
        SysFreeString(name);
    }
    ex->Release();
    Browser& browser = self->page->browser();
    auto* array =
        static_cast<NPIdentifier*>(browser.memAlloc(static_cast<uint32_t>(sizeof(NPIdentifier) * (names.size() + 1))));
    for (size_t i = 0; i < names.size(); ++i) array[i] = browser.runtime().getstringidentifier(names[i].c_str());
    *identifiers = array;
    *count = static_cast<uint32_t>(names.size());
    return true;
}

void scriptInvalidate(NPObject*) {}

NPClass scriptObjectClassRecord = {NP_CLASS_STRUCT_VERSION, scriptAllocate, scriptDeallocate, scriptInvalidate,
    scriptHasMethod, scriptInvoke, scriptInvokeDefault, scriptHasProperty, scriptGetProperty, scriptSetProperty,
    scriptRemoveProperty, scriptEnumerate, scriptConstruct};

// ---- plug-in objects as page objects --------------------------------------------

class PluginProxy : public CountedUnknown<IDispatchEx> {
public:
    PluginProxy(Page& page, NPObject* object)
        : CountedUnknown(1), page_(page), object_(page.browser().retainObject(object))
    {
    }

    NPObject* object() const { return object_; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (count < 1) return E_INVALIDARG;
        BSTR name = SysAllocString(names[0]);
        HRESULT hr = GetDispID(name, 0, ids);
        SysFreeString(name);
        for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, UINT*) override
    {
        return InvokeEx(id, lcid, flags, params, result, exception, nullptr);
    }

    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) override
    {
        std::string key = narrow(std::wstring(name, SysStringLen(name)));
        auto found = std::find(names_.begin(), names_.end(), key);
        if (found == names_.end()) {
            if (!(flags & fdexNameEnsure) && !exists(key)) {
                *id = DISPID_UNKNOWN;
                return DISP_E_UNKNOWNNAME;
            }
            names_.push_back(key);
            found = names_.end() - 1;
        }
        *id = static_cast<DISPID>(found - names_.begin()) + 1;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, IServiceProvider*) override
    {
        Browser& browser = page_.browser();
        if (!browser.isLive(object_, "a page call")) return fail(exception, L"plug-in object is gone");
        NPClass* objectClass = object_->_class;
        std::vector<NPVariant> args = arguments(params);
        NPVariant value;
        value.type = NPVariantType_Void;
        bool ok = false;
        browser.takePendingException();
        if (id == DISPID_VALUE) {
            if (!(flags & DISPATCH_METHOD) || !objectClass->invokeDefault) {
                releaseAll(args);
                return DISP_E_MEMBERNOTFOUND;
            }
            ok = objectClass->invokeDefault(object_, args.data(), static_cast<uint32_t>(args.size()), &value);
        } else {
            if (id < 1 || static_cast<size_t>(id) > names_.size()) {
                releaseAll(args);
                return DISP_E_MEMBERNOTFOUND;
            }
            NPIdentifier name = browser.runtime().getstringidentifier(names_[id - 1].c_str());
            if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
                NPVariant put;
                put.type = NPVariantType_Void;
                if (params && params->cArgs > 0) page_.toNPVariant(params->rgvarg[0], &put);
                ok = objectClass->setProperty && objectClass->setProperty(object_, name, &put);
                browser.releaseVariant(&put);
            } else if ((flags & DISPATCH_METHOD) && objectClass->hasMethod && objectClass->hasMethod(object_, name)) {
                ok = objectClass->invoke(object_, name, args.data(), static_cast<uint32_t>(args.size()), &value);
            } else if (objectClass->hasProperty && objectClass->hasProperty(object_, name)) {
                ok = objectClass->getProperty(object_, name, &value);
                if (ok && (flags & DISPATCH_METHOD) && !(flags & DISPATCH_PROPERTYGET && args.empty())) {
                    // Calling a property: call its value, as a browser does for function-valued members.
                    if (value.type != NPVariantType_Object) {
                        browser.releaseVariant(&value);
                        releaseAll(args);
                        return fail(exception, L"not a function");
                    }
                    NPVariant function = value;
                    value.type = NPVariantType_Void;
                    NPObject* callee = function.value.objectValue;
                    ok = callee->_class->invokeDefault &&
                        callee->_class->invokeDefault(callee, args.data(), static_cast<uint32_t>(args.size()), &value);
                    browser.releaseVariant(&function);
                }
            } else {
                releaseAll(args);
                return DISP_E_MEMBERNOTFOUND;
            }
        }
        releaseAll(args);
        std::string pending = browser.takePendingException();
        if (!pending.empty() || !ok) {
            browser.releaseVariant(&value);
            return fail(exception, pending.empty() ? L"plug-in call failed" : widen(pending).c_str());
        }
        HRESULT hr = S_OK;
        if (result) hr = page_.toVariant(value, result);
        browser.releaseVariant(&value);
        return hr;
    }

    HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR name, DWORD) override
    {
        NPIdentifier id = page_.browser().runtime().getstringidentifier(narrow(name).c_str());
        if (!page_.browser().isLive(object_, "a page delete") || !object_->_class->removeProperty) return S_FALSE;
        return object_->_class->removeProperty(object_, id) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMemberName(DISPID id, BSTR* name) override
    {
        if (id < 1 || static_cast<size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
        std::wstring wide = widen(names_[id - 1]);
        *name = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD, DISPID id, DISPID* next) override
    {
        if (id == DISPID_STARTENUM) enumerate();
        size_t from = id == DISPID_STARTENUM ? 0 : static_cast<size_t>(id);
        for (size_t i = from; i < enumerated_.size(); ++i) {
            auto found = std::find(names_.begin(), names_.end(), enumerated_[i]);
            *next = static_cast<DISPID>(found - names_.begin()) + 1;
            if (static_cast<size_t>(*next) > from) return S_OK;
        }
        *next = DISPID_UNKNOWN;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** parent) override
    {
        *parent = nullptr;
        return E_NOTIMPL;
    }

private:
    void* interfaceFor(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidDispatchEx) ||
            IsEqualIID(iid, kIidPluginObjectProxy))
            return static_cast<IDispatchEx*>(this);
        return nullptr;
    }

    ~PluginProxy() override
    {
        page_.forgetProxy(object_);
        page_.browser().releaseObject(object_);
    }

    bool exists(const std::string& name)
    {
        if (!page_.browser().isLive(object_, "a page lookup")) return false;
        NPClass* c = object_->_class;
        NPIdentifier id = page_.browser().runtime().getstringidentifier(name.c_str());
        return (c->hasMethod && c->hasMethod(object_, id)) || (c->hasProperty && c->hasProperty(object_, id));
    }

    void enumerate()
    {
        enumerated_.clear();
        NPClass* c = object_->_class;
        if (!page_.browser().isLive(object_, "a page enumeration") || !c->enumerate) return;
        NPIdentifier* ids = nullptr;
        uint32_t count = 0;
        if (!c->enumerate(object_, &ids, &count)) return;
        for (uint32_t i = 0; i < count; ++i) {
            std::string name = identifierName(page_.browser(), ids[i]);
            if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(name);
            enumerated_.push_back(name);
        }
        page_.browser().memFree(ids);
        // GetNextDispID walks in DISPID order; keep the enumeration in that order too.
        std::sort(enumerated_.begin(), enumerated_.end(), [this](const std::string& a, const std::string& b) {
            return std::find(names_.begin(), names_.end(), a) < std::find(names_.begin(), names_.end(), b);
        });
    }

    std::vector<NPVariant> arguments(const DISPPARAMS* params)
    {
        std::vector<NPVariant> args;
        if (!params) return args;
        for (UINT i = params->cArgs; i > params->cNamedArgs; --i) {
            NPVariant arg;
            page_.toNPVariant(params->rgvarg[i - 1], &arg);
            args.push_back(arg);
        }
        return args;
    }

    void releaseAll(std::vector<NPVariant>& args)
    {
        for (auto& arg : args) page_.browser().releaseVariant(&arg);
    }

    static HRESULT fail(EXCEPINFO* exception, const wchar_t* text)
    {
        return ScriptHost::raiseScriptError(exception, L"plug-in", text);
    }

    Page& page_;
    NPObject* object_;
    std::vector<std::string> names_;  // DISPID = index + 1
    std::vector<std::string> enumerated_;
};

}  // namespace

// ---- the page -------------------------------------------------------------------

Page::Page(Browser& browser) : browser_(browser)
{
    open();
}

Page::~Page()
{
    close();
}

bool Page::open()
{
    document_ = new HostObject;
    VARIANT value;
    value.vt = VT_DISPATCH;
    value.pdispVal = document_;
    engine_.window().setValue(L"document", value);
    if (engine_.open()) return true;
    browser_.problem(engine_.failure());
    close();
    return false;
}

void Page::close()
{
    // Script errors left on the page at close are faults of the session.
    for (const auto& error : engine_.errors()) browser_.problem("page script error: " + narrow(error));
    engine_.clearErrors();
    engine_.clearTimers();
    for (auto& [identity, object] : scriptObjects_) {
        ScriptObject* self = asScript(object);
        self->page = nullptr;
        if (self->dispatch) self->dispatch->Release();
        self->dispatch = nullptr;
        if (self->identity) self->identity->Release();
        self->identity = nullptr;
    }
    scriptObjects_.clear();
    // Expandos may hold page functions that hold the engine, and proxies.
    engine_.window().clearValues();
    for (auto& element : elements_) releaseElement(element);
    elements_.clear();
    engine_.close();
    if (document_) {
        document_->clearValues();
        document_->Release();
    }
    document_ = nullptr;
}

void Page::addElement(NPP instance, const std::string& id)
{
    if (!engine_.isOpen() || findElement(instance)) return;
    auto* element = new HostObject;
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(widen(id).c_str());
    element->setValue(L"id", value);
    VariantClear(&value);
    element->AddRef();
    elements_.push_back({instance, id, element, element});
    bindElementName(id);
}

void Page::setElementScriptable(NPP instance, NPObject* scriptable)
{
    Element* element = findElement(instance);
    if (!element || !scriptable) return;
    element->scriptValue->Release();
    element->scriptValue = proxyFor(scriptable);
    bindElementName(element->id);
}

void Page::removeElement(NPP instance)
{
    auto found =
        std::find_if(elements_.begin(), elements_.end(), [&](const Element& e) { return e.instance == instance; });
    if (found == elements_.end()) return;
    Element removed = *found;
    elements_.erase(found);
    bindElementName(removed.id);
    releaseElement(removed);
}

Page::Element* Page::findElement(NPP instance)
{
    for (auto& element : elements_)
        if (element.instance == instance) return &element;
    return nullptr;
}

void Page::releaseElement(Element& element)
{
    element.scriptValue->Release();
    element.scriptValue = nullptr;
    element.element->clearValues();
    element.element->Release();
    element.element = nullptr;
}

void Page::bindElementName(const std::string& id)
{
    HostObject& window = engine_.window();
    std::wstring name = widen(id);
    auto first = std::find_if(elements_.begin(), elements_.end(), [&](const Element& e) { return e.id == id; });
    if (first == elements_.end()) {
        BSTR bstr = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
        window.DeleteMemberByName(bstr, 0);
        SysFreeString(bstr);
        return;
    }
    VARIANT value;
    value.vt = VT_DISPATCH;
    value.pdispVal = first->scriptValue;
    window.setValue(name, value);
}

IDispatch* Page::proxyFor(NPObject* object)
{
    auto found = proxies_.find(object);
    if (found != proxies_.end()) {
        found->second->AddRef();
        return found->second;
    }
    IDispatch* proxy = new PluginProxy(*this, object);
    proxies_[object] = proxy;
    return proxy;
}

NPClass* Page::scriptObjectClass()
{
    return &scriptObjectClassRecord;
}

bool Page::isScriptObject(const NPObject* object) const
{
    return object && object->_class == &scriptObjectClassRecord;
}

NPObject* Page::wrapDispatch(IDispatch* dispatch)
{
    IUnknown* identity = nullptr;
    if (!dispatch || FAILED(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || !identity)
        return nullptr;
    auto found = scriptObjects_.find(identity);
    if (found != scriptObjects_.end()) {
        identity->Release();
        return browser_.retainObject(found->second);
    }
    NPObject* object = browser_.createObject(nullptr, &scriptObjectClassRecord);
    ScriptObject* self = asScript(object);
    self->page = this;
    self->dispatch = dispatch;
    dispatch->AddRef();
    self->identity = identity;
    self->isWindow = dispatch == static_cast<IDispatch*>(&engine_.window());
    scriptObjects_[identity] = object;
    return object;
}

NPObject* Page::windowObject()
{
    return wrapDispatch(&engine_.window());
}

NPObject* Page::elementObject(NPP instance)
{
    Element* element = findElement(instance);
    return element ? wrapDispatch(element->element) : nullptr;
}

// The value as a number of type (VT_I4 or VT_R8), zero where it is none.
static VARIANT numberAs(VARIANT& value, VARTYPE type)
{
    VARIANT number;
    VariantInit(&number);
    VariantChangeType(&number, &value, 0, type);
    return number;
}

void Page::toNPVariant(const VARIANT& in, NPVariant* out)
{
    VARIANT value;
    VariantInit(&value);
    VariantCopyInd(&value, const_cast<VARIANT*>(&in));
    out->type = NPVariantType_Void;
    switch (value.vt) {
    case VT_EMPTY: break;
    case VT_NULL: out->type = NPVariantType_Null; break;
    case VT_BOOL:
        out->type = NPVariantType_Bool;
        out->value.boolValue = value.boolVal != VARIANT_FALSE;
        break;
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_INT:
        out->type = NPVariantType_Int32;
        out->value.intValue = numberAs(value, VT_I4).lVal;
        break;
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        out->type = NPVariantType_Double;
        out->value.doubleValue = numberAs(value, VT_R8).dblVal;
        break;
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IDispatch* dispatch = nullptr;
        if (value.punkVal) value.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        if (!dispatch) {
            out->type = NPVariantType_Null;
            break;
        }
        IUnknown* proxy = nullptr;
        if (SUCCEEDED(dispatch->QueryInterface(kIidPluginObjectProxy, reinterpret_cast<void**>(&proxy))) && proxy) {
            out->type = NPVariantType_Object;
            out->value.objectValue =
                browser_.retainObject(static_cast<PluginProxy*>(static_cast<IDispatchEx*>(proxy))->object());
            proxy->Release();
        } else {
            out->type = NPVariantType_Object;
            out->value.objectValue = wrapDispatch(dispatch);
        }
        dispatch->Release();
        break;
    }
    default: {
        VARIANT text;
        VariantInit(&text);
        std::string utf8;
        if (SUCCEEDED(VariantChangeType(&text, &value, 0, VT_BSTR))) utf8 = narrow(text.bstrVal ? text.bstrVal : L"");
        VariantClear(&text);
        out->type = NPVariantType_String;
        out->value.stringValue.UTF8Characters = browser_.copyString(utf8, &out->value.stringValue.UTF8Length);
        break;
    }
    case VT_BSTR: {
        std::string utf8 = narrow(std::wstring(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal)));
        out->type = NPVariantType_String;
        out->value.stringValue.UTF8Characters = browser_.copyString(utf8, &out->value.stringValue.UTF8Length);
        break;
    }
    }
    VariantClear(&value);
}

HRESULT Page::toVariant(const NPVariant& in, VARIANT* out)
{
    VariantInit(out);
    switch (in.type) {
    case NPVariantType_Void: return S_OK;
    case NPVariantType_Null: out->vt = VT_NULL; return S_OK;
    case NPVariantType_Bool:
        out->vt = VT_BOOL;
        out->boolVal = in.value.boolValue ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case NPVariantType_Int32:
        out->vt = VT_I4;
        out->lVal = in.value.intValue;
        return S_OK;
    case NPVariantType_Double:
        out->vt = VT_R8;
        out->dblVal = in.value.doubleValue;
        return S_OK;
    case NPVariantType_String: {
        std::wstring wide =
            widen(std::string(in.value.stringValue.UTF8Characters ? in.value.stringValue.UTF8Characters : "",
                in.value.stringValue.UTF8Length));
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        return S_OK;
    }
    case NPVariantType_Object: {
        NPObject* object = in.value.objectValue;
        if (!object) {
            out->vt = VT_NULL;
            return S_OK;
        }
        if (!browser_.isLive(object, "a value handed to the page")) return E_FAIL;
        if (isScriptObject(object)) {
            IDispatch* dispatch = asScript(object)->dispatch;
            if (!dispatch) {
                out->vt = VT_NULL;
                return S_OK;
            }
            dispatch->AddRef();
            out->vt = VT_DISPATCH;
            out->pdispVal = dispatch;
            return S_OK;
        }
        out->vt = VT_DISPATCH;
        out->pdispVal = proxyFor(object);
        return S_OK;
    }
    }
    return E_INVALIDARG;
}

HRESULT Page::callDispatch(IDispatch* target, const std::wstring& name, WORD flags, const NPVariant* args,
    uint32_t count, NPVariant* result, bool withGlobalFallback)
{
    if (result) result->type = NPVariantType_Void;
    DISPID id = DISPID_VALUE;
    if (!name.empty()) {
        DWORD ensure = (flags & DISPATCH_PROPERTYPUT) ? fdexNameEnsure : 0;
        HRESULT hr = dispIdOf(target, name, ensure, &id);
        if (FAILED(hr) && withGlobalFallback && globalScope()) {
            target = globalScope();
            hr = dispIdOf(target, name, ensure, &id);
        }
        if (FAILED(hr)) return hr;
    }
    std::vector<VARIANT> reversed(count);
    for (uint32_t i = 0; i < count; ++i) toVariant(args[i], &reversed[count - 1 - i]);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.data(), nullptr, count, 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    VARIANT out;
    VariantInit(&out);
    EXCEPINFO info{};
    HRESULT hr;
    IDispatchEx* ex = nullptr;
    if (SUCCEEDED(target->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(&ex))) && ex) {
        hr = ex->InvokeEx(id, LOCALE_USER_DEFAULT, flags, &params, &out, &info, nullptr);
        ex->Release();
    } else {
        UINT argError = 0;
        hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &out, &info, &argError);
    }
    for (auto& arg : reversed) VariantClear(&arg);
    if (FAILED(hr)) {
        if (hr == DISP_E_EXCEPTION)
            recordError(L"call of \"" + name + L"\" failed: " + ScriptHost::describeException(info, hr));
        ScriptHost::freeExceptionInfo(info);
        VariantClear(&out);
        return hr;
    }
    ScriptHost::freeExceptionInfo(info);
    if (result) toNPVariant(out, result);
    VariantClear(&out);
    return S_OK;
}

bool Page::evaluateScript(const NPString& script, NPVariant* result)
{
    std::wstring text = widen(std::string(script.UTF8Characters ? script.UTF8Characters : "", script.UTF8Length));
    VARIANT value;
    if (!evaluate(text, &value)) return false;
    if (result) toNPVariant(value, result);
    VariantClear(&value);
    return true;
}

}  // namespace TestBrowser
