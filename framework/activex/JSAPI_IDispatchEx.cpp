// The work of every bridge's COM methods: member ids, invocation with the
// exception mapping, enumeration, the connection point's sinks and the three
// built-in members. Each entry is a boundary: nothing thrown inside leaves it.
#include "JSAPI_IDispatchEx.h"

#include "ActiveXBrowserHost.h"
#include "DispIdTable.h"
#include "IDispatchAPI.h"
#include "InvalidCast.h"
#include "JSFunction.h"
#include "ScriptErrors.h"
#include "TraceLog.h"
#include "utf8_tools.h"

#include <mshtmdid.h>

#include <cstdint>
#include <mutex>
#include <set>

namespace FB::ActiveX {

namespace {

const wchar_t* const kAttachEvent = L"attachEvent";
const wchar_t* const kDetachEvent = L"detachEvent";
const wchar_t* const kGetLastException = L"getLastException";
// What the built-in event pair says once its bridge is gone.
const char* const kGoneText = "Invalid JSAPI object";

// Process-wide state of all bridges, kept for the life of the process: COM
// objects may be released during the module's own shutdown.
struct BridgeRegistry {
    std::mutex lock;
    std::set<const void*> live;
};

BridgeRegistry& registry()
{
    static BridgeRegistry* state = new BridgeRegistry;
    return *state;
}

bool isBuiltInName(const std::wstring& name)
{
    return name == kAttachEvent || name == kDetachEvent || name == kGetLastException;
}

// A text for a COM string; a text that is not UTF-8 keeps what converts.
std::wstring wideText(const std::string& text)
{
    try {
        return utf8ToWide(text);
    } catch (const std::exception&) {
        std::wstring ascii;
        for (char c : text) ascii.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'?');
        return ascii;
    }
}

std::string narrowName(const std::wstring& name)
{
    try {
        return wideToUtf8(name);
    } catch (const std::exception&) {
        return "?";
    }
}

}  // namespace

JSAPI_IDispatchExBase::JSAPI_IDispatchExBase(const std::string& mimeType)
    : mimeType(mimeType), selfHandle_(std::make_shared<ShareableReference<JSAPI_IDispatchExBase>>(this))
{
    attachEventFunction_ = std::make_shared<IDisp_AttachEvent>(selfHandle_, true, "attachEvent", kGoneText);
    detachEventFunction_ = std::make_shared<IDisp_DetachEvent>(selfHandle_, false, "detachEvent", kGoneText);
    getLastExceptionFunction_ = std::make_shared<IDisp_GetLastException>();
    std::lock_guard<std::mutex> guard(registry().lock);
    registry().live.insert(this);
}

JSAPI_IDispatchExBase::~JSAPI_IDispatchExBase()
{
    {
        std::lock_guard<std::mutex> guard(registry().lock);
        registry().live.erase(this);
    }
    selfHandle_.reset();
}

JSAPIPtr JSAPI_IDispatchExBase::getAPI() const
{
    JSAPIPtr locked = api_.lock();
    if (!locked) throw invalid_cast("Invalid object");
    return locked;
}

std::shared_ptr<ActiveXBrowserHost> JSAPI_IDispatchExBase::getHost() const
{
    return host_.lock();
}

void JSAPI_IDispatchExBase::setAPI(const JSAPIWeakPtr& api, const std::weak_ptr<ActiveXBrowserHost>& host)
{
    this->api_ = api;
    this->host_ = host;
    memberNameCache.clear();
    memberIdCache.clear();
    memberPositions.clear();
}

bool JSAPI_IDispatchExBase::isLiveBridge(const void* candidate)
{
    std::lock_guard<std::mutex> guard(registry().lock);
    return registry().live.count(candidate) != 0;
}

bool JSAPI_IDispatchExBase::registerEventHandler(const VariantVector& args, bool attach)
{
    if (args.size() != 2) throw invalid_arguments();
    std::string event;
    JSObjectPtr handler;
    try {
        event = args[0].convert_cast<std::string>();
        handler = args[1].convert_cast<JSObjectPtr>();
    } catch (const std::bad_cast& e) {
        throw invalid_arguments(e.what());
    }
    JSAPIPtr target = getAPI();
    if (attach)
        target->addEventHandler(event, handler);
    else
        target->removeEventHandler(event, handler);
    return true;
}

// ---- names -------------------------------------------------------------------------

HRESULT JSAPI_IDispatchExBase::getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) noexcept
{
    if (count == 0) return S_OK;
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        try {
            Com::Bstr name(names[i] ? names[i] : L"");
            hr = getDispID(name.Get(), &ids[i]);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
        if (FAILED(hr)) return hr;
    }
    return hr;
}

HRESULT JSAPI_IDispatchExBase::getDispID(BSTR name, DISPID* id) noexcept
{
    if (!id) return E_POINTER;
    *id = DISPID_UNKNOWN;
    try {
        std::wstring wide(name ? name : L"", SysStringLen(name));
        JSAPIPtr target = api_.lock();
        if (!target) return DISP_E_UNKNOWNNAME;
        if (isBuiltInName(wide) || target->hasProperty(wide) || target->hasMethod(wide)) {
            *id = dispIdForName(wide);
            return S_OK;
        }
    } catch (...) {
        *id = DISPID_UNKNOWN;
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT JSAPI_IDispatchExBase::getMemberName(DISPID id, BSTR* name) noexcept
{
    if (!name) return E_POINTER;
    *name = nullptr;
    try {
        *name = Com::Bstr(dispIdToName(id)).Detach();
        return S_OK;
    } catch (...) {
        return DISP_E_UNKNOWNNAME;
    }
}

void JSAPI_IDispatchExBase::refillMemberNames(const JSAPI& target)
{
    memberNameCache = target.listMemberNamesWide();
    memberNameCache.insert(memberNameCache.end(), {kAttachEvent, kDetachEvent, kGetLastException});
    memberIdCache.clear();
    memberPositions.clear();
    memberIdCache.reserve(memberNameCache.size());
    for (const std::wstring& name : memberNameCache) {
        const DISPID id = dispIdForName(name);
        memberPositions.emplace(id, memberIdCache.size());
        memberIdCache.push_back(id);
    }
}

HRESULT JSAPI_IDispatchExBase::getNextDispID(DISPID id, DISPID* next) noexcept
{
    if (!next) return E_POINTER;
    *next = DISPID_UNKNOWN;
    try {
        JSAPIPtr target = api_.lock();
        if (!target) return S_FALSE;
        // The names are brought up to date where a walk starts (or meets an id it
        // does not know); its steps only look their place up, so a walk is linear.
        auto position = memberPositions.find(id);
        if (id == DISPID_STARTENUM || position == memberPositions.end()) {
            if (memberNameCache.size() != target->countMembers() + 3) refillMemberNames(*target);
            if (memberIdCache.empty()) return S_FALSE;
            if (id == DISPID_STARTENUM) {
                *next = memberIdCache.front();
                return S_OK;
            }
            position = memberPositions.find(id);
            if (position == memberPositions.end()) return S_FALSE;
        }
        const size_t following = position->second + 1;
        if (following >= memberIdCache.size()) return S_FALSE;
        *next = memberIdCache[following];
        return S_OK;
    } catch (...) {
        *next = DISPID_UNKNOWN;
        return S_FALSE;
    }
}

// ---- invocation --------------------------------------------------------------------

ArgumentLists::Borrowed JSAPI_IDispatchExBase::argumentsOf(ActiveXBrowserHost& host, const DISPPARAMS* params) const
{
    ArgumentLists::Borrowed borrowed = host.borrowArgumentList();
    VariantVector& args = borrowed.list();
    if (!params || !params->rgvarg || params->cArgs == 0) return borrowed;
    // The this value (a leading DISPID_THIS named argument) sits at rgvarg[0].
    const bool withThis =
        params->cNamedArgs > 0 && params->rgdispidNamedArgs && params->rgdispidNamedArgs[0] == DISPID_THIS;
    const UINT last = withThis ? 1 : 0;
    args.reserve(params->cArgs - last);
    for (UINT i = params->cArgs; i > last; --i) args.push_back(host.getVariant(&params->rgvarg[i - 1]));
    return borrowed;
}

void JSAPI_IDispatchExBase::fillException(EXCEPINFO* exception, const std::string& text) const
{
    if (!exception) return;
    // Only these fields are the bridge's; the others stay as the caller left them.
    exception->bstrSource = nullptr;
    exception->bstrDescription = nullptr;
    exception->bstrHelpFile = nullptr;
    exception->pfnDeferredFillIn = nullptr;
    exception->scode = E_NOTIMPL;
    try {
        exception->bstrSource = Com::Bstr(wideText(mimeType)).Detach();
        exception->bstrDescription = Com::Bstr(wideText(text)).Detach();
    } catch (...) {
        // Out of memory: the code alone still tells the caller it failed.
    }
}

HRESULT JSAPI_IDispatchExBase::invokeEx(
    DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) noexcept
{
    std::wstring name;
    JSAPIPtr target;
    std::shared_ptr<ActiveXBrowserHost> hostLocked;
    try {
        target = api_.lock();
        hostLocked = host_.lock();
        // Without both nothing can be converted or called.
        if (!target || !hostLocked) return DISP_E_MEMBERNOTFOUND;
        if (!isKnownDispId(id)) return DISP_E_MEMBERNOTFOUND;
        name = dispIdToName(id);
    } catch (...) {
        return DISP_E_MEMBERNOTFOUND;
    }

    if (flags & DISPATCH_PROPERTYGET) {
        if (!result) return E_INVALIDARG;
        switch (id) {
        case DISPID_SECURITYCTX: return E_NOTIMPL;
        case DISPID_READYSTATE:
            VariantClear(result);
            V_VT(result) = VT_I4;
            V_I4(result) = readyState;
            return S_OK;
        case DISPID_ENABLED:
            VariantClear(result);
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = VARIANT_TRUE;
            return S_OK;
        default: break;
        }
    }
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && (!params || !params->rgvarg || !params->cArgs))
        return DISP_E_BADPARAMCOUNT;

    try {
        invokeMember(*target, *hostLocked, id, name, flags, params, result);
        return S_OK;
    } catch (const invalid_member& e) {
        setLastException(e.what());
        trace("JSAPI_IDispatchEx", "No such member: \"" + narrowName(name) + "\"");
        return DISP_E_MEMBERNOTFOUND;
    } catch (const script_error& e) {
        setLastException(e.what());
        trace("JSAPI_IDispatchEx", "Script error for \"" + narrowName(name) + "\": " + e.what());
        fillException(exception, e.what());
        return DISP_E_EXCEPTION;
    } catch (...) {
        return E_NOTIMPL;
    }
}

void JSAPI_IDispatchExBase::invokeMember(JSAPI& target, ActiveXBrowserHost& hostRef, DISPID id, std::wstring name,
    WORD flags, DISPPARAMS* params, VARIANT* result)
{
    auto answer = [&](const variant& value) {
        if (result) hostRef.getComVariant(result, value);
    };

    if (name == kGetLastException) {
        if (flags & DISPATCH_METHOD)
            answer(getLastExceptionFunction_->callFunction(VariantVector()));
        else if (flags & DISPATCH_PROPERTYGET)
            answer(variant(JSAPIPtr(getLastExceptionFunction_)));
        return;
    }
    if (name == kAttachEvent || name == kDetachEvent) {
        JSFunction* function = name[0] == L'a' ? static_cast<JSFunction*>(attachEventFunction_.get())
                                               : static_cast<JSFunction*>(detachEventFunction_.get());
        if (flags & DISPATCH_METHOD)
            function->callFunction(argumentsOf(hostRef, params).list());
        else if (flags & DISPATCH_PROPERTYGET)
            answer(variant(function->shared_from_this()));
        return;
    }

    if ((flags & DISPATCH_METHOD) && (id == DISPID_VALUE || target.hasMethod(name))) {
        ArgumentLists::Borrowed args = argumentsOf(hostRef, params);
        // Called as a function value the object itself is the member, with or
        // without a this value (the engine leaves it out when it is undefined).
        if (id == DISPID_VALUE) name.clear();
        answer(target.invoke(name, args.list()));
    } else if (flags & DISPATCH_CONSTRUCT) {
        answer(target.construct(argumentsOf(hostRef, params).list()));
    } else if ((flags & DISPATCH_PROPERTYGET) && target.hasMethod(name)) {
        answer(target.hasMethodObject(name) ? variant(target.getMethodObject(name)) : variant(true));
    } else if ((flags & DISPATCH_PROPERTYGET) && target.hasProperty(name)) {
        answer(target.getProperty(name));
    } else if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && target.hasProperty(name)) {
        target.setProperty(name, hostRef.getVariant(&params->rgvarg[0]));
    } else {
        throw invalid_member("Invalid method or property name");
    }
}

HRESULT JSAPI_IDispatchExBase::deleteMemberByDispID(DISPID id) noexcept
{
    std::wstring name;
    try {
        JSAPIPtr target = api_.lock();
        if (!target || !isKnownDispId(id)) return S_FALSE;
        name = dispIdToName(id);
        target->removeProperty(name);
        return S_OK;
    } catch (const script_error& e) {
        setLastException(e.what());
        trace("JSAPI_IDispatchEx", "Script error for \"" + narrowName(name) + "\": " + e.what());
        return S_FALSE;
    } catch (...) {
        return S_FALSE;
    }
}

// ---- connection point --------------------------------------------------------------

HRESULT JSAPI_IDispatchExBase::advise(IUnknown* sink, DWORD* cookie) noexcept
{
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    Com::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid())) || !dispatch) return CONNECT_E_CANNOTCONNECT;
    try {
        std::shared_ptr<ActiveXBrowserHost> hostLocked = host_.lock();
        if (!hostLocked) return CONNECT_E_CANNOTCONNECT;
        JSObjectPtr wrapper = IDispatchAPI::create(dispatch.Get(), hostLocked, true);
        // The cookie is the wrapper's address, unique while the wrapper is kept.
        const auto taken = static_cast<DWORD>(reinterpret_cast<uintptr_t>(wrapper.get()));
        if (eventSinks.count(taken)) return CONNECT_E_CANNOTCONNECT;  // only where addresses outgrow a cookie
        // Registered before it is stored: a refused sink leaves nothing behind.
        getAPI()->addEventSinkObject(wrapper);
        eventSinks[taken] = wrapper;
        *cookie = taken;
        return S_OK;
    } catch (...) {
        return CONNECT_E_CANNOTCONNECT;
    }
}

HRESULT JSAPI_IDispatchExBase::unadvise(DWORD cookie) noexcept
{
    auto found = eventSinks.find(cookie);
    if (found == eventSinks.end()) return E_UNEXPECTED;
    try {
        JSObjectPtr sink = found->second;
        getAPI()->removeEventSinkObject(sink);
        eventSinks.erase(cookie);
    } catch (...) {
        // The API kept the sink: so does the entry (released when the instance goes).
    }
    return S_OK;
}

}  // namespace FB::ActiveX
