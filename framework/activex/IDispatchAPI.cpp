// Page objects over their COM dispatch interfaces: the COM side of the frame's
// member operations, with locale LOCALE_USER_DEFAULT, every VARIANT and
// EXCEPINFO of the call freed after it.
#include "IDispatchAPI.h"

#include "ActiveXBrowserHost.h"
#include "ComIdentifiers.h"
#include "ComSupport.h"
#include "DispIdTable.h"
#include "JSAPI_IDispatchEx.h"
#include "ScriptErrors.h"
#include "utf8_tools.h"

#include <dispex.h>
#include <mshtml.h>

namespace FB::ActiveX {

namespace {

// The grfdex of name lookups on IDispatchEx objects.
constexpr DWORD kLookupFlags = 0x10000003;
constexpr LCID kLookupLocale = 0x800;

// One call's EXCEPINFO: starts cleared, frees its strings when done.
class ExceptionInfo {
public:
    ExceptionInfo() { ZeroMemory(&info_, sizeof info_); }
    ~ExceptionInfo()
    {
        SysFreeString(info_.bstrSource);
        SysFreeString(info_.bstrDescription);
        SysFreeString(info_.bstrHelpFile);
    }
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    EXCEPINFO* get() { return &info_; }

private:
    EXCEPINFO info_;
};

Com::ComPtr<IDispatchEx> dispatchExOf(IDispatch* object)
{
    Com::ComPtr<IDispatchEx> ex;
    if (object) object->QueryInterface(__uuidof(IDispatchEx), ex.PutVoid());
    return ex;
}

HRESULT invokeOn(IDispatch* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result)
{
    ExceptionInfo exception;
    if (Com::ComPtr<IDispatchEx> ex = dispatchExOf(object))
        return ex->InvokeEx(id, LOCALE_USER_DEFAULT, flags, params, result, exception.get(), nullptr);
    UINT argumentError = 0;
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, exception.get(), &argumentError);
}

}  // namespace

template <class Self>
std::shared_ptr<Self> IDispatchAPI::sharedFrom(Self* self)
{
    return std::static_pointer_cast<Self>(self->shared_from_this());
}

IDispatchAPI::IDispatchAPI(const std::shared_ptr<ActiveXBrowserHost>& host, bool eventSink)
    : PageObjectFrame(host), host_(host), eventSink_(eventSink)
{
}

std::shared_ptr<IDispatchAPI> IDispatchAPI::create(
    IDispatch* object, const std::shared_ptr<ActiveXBrowserHost>& host, bool eventSink)
{
    if (!host) throw script_error("BrowserHost has shut down");
    std::shared_ptr<IDispatchAPI> wrapper(new IDispatchAPI(host, eventSink));
    std::shared_ptr<Reference> reference = host->getShareableReference(object);
    wrapper->dispatchRef_ = reference;
    wrapper->pluginApi_ = wrapper->findWrappedJSAPI();
    wrapper->isPluginObject_ = !wrapper->pluginApi_.expired();
    return wrapper;
}

IDispatchAPI::~IDispatchAPI()
{
    if (std::shared_ptr<ActiveXBrowserHost> locked = host_.lock()) locked->deferRelease(dispatchRef_);
}

std::shared_ptr<ActiveXBrowserHost> IDispatchAPI::getHost() const
{
    std::shared_ptr<ActiveXBrowserHost> locked = host_.lock();
    if (!locked) throw script_error("BrowserHost has shut down");
    return locked;
}

IDispatch* IDispatchAPI::getIDispatch() const
{
    std::shared_ptr<Reference> reference = dispatchRef_.lock();
    return reference ? reference->get() : nullptr;
}

bool IDispatchAPI::isValid() const
{
    return !dispatchRef_.expired() && !host_.expired();
}

void IDispatchAPI::invalidate()
{
    // The COM reference goes back at once; the wrapper is done for good.
    std::weak_ptr<Reference> reference = std::exchange(dispatchRef_, {});
    if (std::shared_ptr<ActiveXBrowserHost> locked = host_.lock()) locked->deferRelease(reference);
}

JSAPIPtr IDispatchAPI::findWrappedJSAPI() const
{
    try {
        IDispatch* object = getIDispatch();
        if (!object) return nullptr;
        // The control's object element answers the control's interfaces too; it is a page element.
        if (Com::ComPtr<IDispatch>(object).Query<IHTMLElement>(IID_IHTMLElement)) return nullptr;
        void* answer = nullptr;
        if (FAILED(object->QueryInterface(kBridgeMarkerIid, &answer)) || !answer) return nullptr;
        auto owned = Com::ComPtr<IUnknown>::Adopt(static_cast<IUnknown*>(answer));
        if (!JSAPI_IDispatchExBase::isLiveBridge(answer)) return nullptr;
        return static_cast<JSAPI_IDispatchExBase*>(answer)->getAPI();
    } catch (...) {
        return nullptr;
    }
}

JSAPIPtr IDispatchAPI::getWrappedJSAPI() const
{
    return isPluginObject_ ? pluginApi_.lock() : nullptr;
}

JSAPIPtr IDispatchAPI::ownApi() const
{
    return pluginApi_.lock();
}

std::shared_ptr<ActiveXBrowserHost> IDispatchAPI::liveHost() const
{
    return dispatchRef_.expired() ? nullptr : host_.lock();
}

const void* IDispatchAPI::getObjectId() const
{
    return getIDispatch();
}

const void* IDispatchAPI::getEventContext() const
{
    std::shared_ptr<ActiveXBrowserHost> locked = host_.lock();
    return locked ? locked->getInstanceHandle() : nullptr;
}

long IDispatchAPI::getIDForName(const std::wstring& name) const
{
    if (!isValid()) return -1;
    std::shared_ptr<ActiveXBrowserHost> locked = getHost();
    if (!locked->isMainThread()) {
        auto self = sharedFrom(this);
        return locked->mainThreadCall([self, name] { return self->getIDForName(name); }, self);
    }
    if (name.empty()) return DISPID_VALUE;
    IDispatch* object = getIDispatch();
    if (!object) return -1;
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr;
    if (Com::ComPtr<IDispatchEx> ex = dispatchExOf(object)) {
        Com::Bstr text(name);
        hr = ex->GetDispID(text.Get(), kLookupFlags, &id);
    } else {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
        hr = object->GetIDsOfNames(IID_NULL, names, 1, kLookupLocale, &id);
    }
    if (SUCCEEDED(hr)) return id;
    if (hr == E_NOTIMPL) return dispIdForName(name);
    return -1;
}

// ---- COM calls --------------------------------------------------------------------

variant IDispatchAPI::readProperty(ActiveXBrowserHost& hostRef, IDispatch* object, DISPID id) const
{
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Com::Variant result;
    if (FAILED(invokeOn(object, id, DISPATCH_PROPERTYGET, &none, result.Put())))
        throw script_error("Could not get property");
    return hostRef.getVariant(&result.Get());
}

variant IDispatchAPI::callMember(ActiveXBrowserHost& hostRef, IDispatch* object, DISPID id, WORD flags,
    const VariantVector& args, bool withThis) const
{
    // COM takes the arguments last-first, behind the this value when there is one.
    const size_t first = withThis ? 1 : 0;
    std::vector<Com::Variant> values(args.size() + first);
    if (withThis) values[0] = Com::Variant(object);
    for (size_t i = 0; i < args.size(); ++i) hostRef.getComVariant(&values[values.size() - 1 - i].Get(), args[i]);
    DISPID thisId = DISPID_THIS;
    DISPPARAMS params = {Com::variantArray(values.data()), withThis ? &thisId : nullptr,
        static_cast<UINT>(values.size()), withThis ? 1u : 0u};
    Com::Variant result;
    if (FAILED(invokeOn(object, id, flags, &params, result.Put()))) throw script_error("Method invoke failed");
    return hostRef.getVariant(&result.Get());
}

// ---- the frame's browser calls ------------------------------------------------------

bool IDispatchAPI::browserHasMethod(ActiveXBrowserHost&, const std::string& name) const
{
    return getIDForName(utf8ToWide(name)) != -1;
}

bool IDispatchAPI::browserHasProperty(ActiveXBrowserHost& hostRef, const std::string& name) const
{
    IDispatch* object = getIDispatch();
    DISPID id = getIDForName(utf8ToWide(name));
    if (!object || id == -1) return false;
    try {
        readProperty(hostRef, object, id);
        return true;
    } catch (const script_error&) {
        return false;
    }
}

bool IDispatchAPI::hasPropertyWide(const std::wstring& name) const
{
    return hasProperty(wideToUtf8(name));
}

variant IDispatchAPI::browserGetProperty(ActiveXBrowserHost& hostRef, const std::string& name)
{
    IDispatch* object = getIDispatch();
    if (!object) return variant();
    DISPID id = getIDForName(utf8ToWide(name));
    // "toString" is read even unnamed: the default member's text.
    if (id == -1 && name != "toString") throw script_error("Could not get property");
    return readProperty(hostRef, object, id);
}

void IDispatchAPI::browserSetProperty(ActiveXBrowserHost& hostRef, const std::string& name, const variant& value)
{
    IDispatch* object = getIDispatch();
    if (!object) return;
    DISPID id = getIDForName(utf8ToWide(name));
    Com::Variant argument;
    hostRef.getComVariant(&argument.Get(), value);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&argument.Get(), &putId, 1, 1};
    HRESULT hr;
    ExceptionInfo exception;
    if (Com::ComPtr<IDispatchEx> ex = dispatchExOf(object)) {
        hr = ex->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUTREF, &params, nullptr, exception.get(), nullptr);
        if (hr == DISP_E_MEMBERNOTFOUND) {
            ExceptionInfo again;
            hr = ex->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, again.get(), nullptr);
        }
    } else {
        UINT argumentError = 0;
        hr = object->Invoke(
            id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, exception.get(), &argumentError);
    }
    if (FAILED(hr)) throw script_error("Could not set property");
}

void IDispatchAPI::browserRemoveProperty(ActiveXBrowserHost&, const std::string& name)
{
    Com::ComPtr<IDispatchEx> ex = dispatchExOf(getIDispatch());
    if (!ex) throw script_error("Could not remove property");
    Com::Bstr text(utf8ToWide(name));
    if (FAILED(ex->DeleteMemberByName(text.Get(), fdexNameCaseSensitive)))
        throw script_error("Could not remove property");
}

variant IDispatchAPI::browserInvoke(ActiveXBrowserHost& hostRef, const std::string& name, const VariantVector& args)
{
    IDispatch* object = getIDispatch();
    if (!object) return variant();
    DISPID id = getIDForName(utf8ToWide(name));
    if (id == -1) throw script_error("Method invoke failed");
    return callMember(hostRef, object, id, DISPATCH_METHOD, args, true);
}

variant IDispatchAPI::browserConstruct(ActiveXBrowserHost& hostRef, const VariantVector& args)
{
    IDispatch* object = getIDispatch();
    if (!object) return variant();
    DISPID id = getIDForName(L"");
    if (id == -1) throw script_error("Constructor invoke failed");
    return callMember(hostRef, object, id, DISPATCH_CONSTRUCT, args, true);
}

std::vector<std::string> IDispatchAPI::browserListMembers(ActiveXBrowserHost&) const
{
    Com::ComPtr<IDispatchEx> ex = dispatchExOf(getIDispatch());
    if (!ex) throw script_error("Cannot enumerate members; IDispatchEx not supported");
    std::vector<std::string> names;
    DISPID id = DISPID_STARTENUM;
    while (ex->GetNextDispID(fdexEnumAll, id, &id) == S_OK) {
        Com::Bstr name;
        if (SUCCEEDED(ex->GetMemberName(id, name.Put()))) names.push_back(wideToUtf8(name.View()));
    }
    return names;
}

std::size_t IDispatchAPI::browserCountMembers(ActiveXBrowserHost&) const
{
    Com::ComPtr<IDispatchEx> ex = dispatchExOf(getIDispatch());
    if (!ex) return static_cast<std::size_t>(-1);
    std::size_t count = 0;
    DISPID id = DISPID_STARTENUM;
    while (ex->GetNextDispID(fdexEnumAll, id, &id) == S_OK)
        if (id >= 0) ++count;
    return count;
}

// ---- handlers ----------------------------------------------------------------------

void IDispatchAPI::callHandlers(const std::string& event, const VariantVector& args,
    const std::vector<JSObjectPtr>& functionHandlers, const std::vector<JSObjectPtr>& objectHandlers)
{
    std::shared_ptr<ActiveXBrowserHost> locked = host_.lock();
    if (!locked) throw script_error("Error calling handlers");
    // Always later, from the main thread's queue: never inside the call that fired the event.
    auto self = sharedFrom(this);
    locked->mainThreadPost(
        [self, event, args, functionHandlers, objectHandlers] {
            self->callHandlersNow(event, args, functionHandlers, objectHandlers);
        },
        self);
}

void IDispatchAPI::callHandlersNow(const std::string& event, const VariantVector& args,
    const std::vector<JSObjectPtr>& functionHandlers, const std::vector<JSObjectPtr>& objectHandlers)
{
    std::shared_ptr<ActiveXBrowserHost> locked = host_.lock();
    if (!locked) throw script_error("Error calling handlers");
    bool failed = false;
    auto call = [&](const JSObjectPtr& each, bool asSink) {
        auto handler = std::dynamic_pointer_cast<IDispatchAPI>(each);
        if (!handler || !handler->isValid()) return;
        try {
            const bool byName = asSink || handler->eventSink_;
            if (handler->isPluginObject_) {
                if (JSAPIPtr api = handler->ownApi()) api->invoke(byName ? event : std::string(), args);
                return;
            }
            IDispatch* object = handler->getIDispatch();
            if (byName) {
                // A sink object: its member named like the event.
                DISPID id = handler->getIDForName(utf8ToWide(event));
                if (id == -1) throw script_error("Error calling handlers");
                handler->callMember(*locked, object, id, DISPATCH_METHOD, args, false);
            } else {
                // A function: called as itself.
                handler->callMember(*locked, object, DISPID_VALUE, DISPATCH_METHOD, args, true);
            }
        } catch (const std::exception&) {
            failed = true;  // the other handlers still get the event
        }
    };
    for (const JSObjectPtr& each : functionHandlers) call(each, false);
    for (const JSObjectPtr& each : objectHandlers) call(each, true);
    if (failed) throw script_error("Error calling handlers");
}

}  // namespace FB::ActiveX
