// FB::ActiveX::JSAPI_IDispatchEx: one scriptable object of the plug-in (an
// FB::JSAPI) as Internet Explorer's script engine sees it, a COM object with
// IDispatchEx, IConnectionPointContainer and IConnectionPoint.
//
// Script names become member ids through the process-wide table (DispIdTable.h);
// each InvokeEx becomes a call, a property read or write, or a construction on
// the API, with values converted by the ActiveX browser host. Besides the API's
// members every such object has "attachEvent", "detachEvent" and
// "getLastException". A script error becomes DISP_E_EXCEPTION with its text in
// the EXCEPINFO, and is kept process-wide as the last exception; an unknown
// member becomes DISP_E_MEMBERNOTFOUND. Nothing is thrown into the caller.
//
// The COM object class derives from JSAPI_IDispatchEx<itself, its dual
// interface, the event interface id> and supplies IUnknown (Atl::ComObject or
// Atl::LockedComObject over its interface table); the control and the script
// object wrapper (COMJavascriptObject) are the two such classes. Both answer the
// private kBridgeMarkerIid with their JSAPI_IDispatchExBase.
//
// The API and the host are held weakly: they live independently of the COM
// reference count; once either is gone, calls answer DISP_E_MEMBERNOTFOUND.
//
// Threading: the browser's main (apartment) thread only.
#pragma once

#include "BridgeBuiltIns.h"
#include "BrowserHost.h"
#include "ComIdentifiers.h"
#include "ConnectionPoints.h"
#include "ComSupport.h"
#include "JSAPI.h"
#include "ShareableReference.h"

#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace FB::ActiveX {

class ActiveXBrowserHost;

// What every bridge shares: the API and host it serves, the built-in members,
// the event sinks of its connection point and the work of every COM method.
// Not a COM class by itself; its first three slots are IUnknown's, supplied by
// the COM object class.
class JSAPI_IDispatchExBase {
public:
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    virtual ~JSAPI_IDispatchExBase();

    // The exposed API; std::bad_cast "Invalid object" when it is gone.
    JSAPIPtr getAPI() const;
    // The host (empty when gone or never set).
    std::shared_ptr<ActiveXBrowserHost> getHost() const;
    void setAPI(const JSAPIWeakPtr& api, const std::weak_ptr<ActiveXBrowserHost>& host);

    // The text of the last script error caught by any bridge of the process
    // (an empty value until then; FB::LastScriptException).
    static void setLastException(const std::string& text) { LastScriptException::set(text); }
    static variant lastException() { return LastScriptException::get(); }
    // Whether a pointer (an answer to kBridgeMarkerIid) is a live bridge of this process.
    static bool isLiveBridge(const void* candidate);

    LONG getReadyState() const { return readyState; }
    void setReadyState(LONG state) { readyState = state; }
    IPropertyNotifySink* getPropertyNotifySink() const { return propertyNotifySink.Get(); }
    void setPropertyNotifySink(IPropertyNotifySink* sink) { propertyNotifySink = sink; }
    size_t eventSinkCount() const { return eventSinks.size(); }
    // Forgets every advised sink without telling the API (the instance is going).
    void clearEventSinks() { eventSinks.clear(); }

    // Registers (attach) or removes a page handler: exactly two arguments, the
    // event name and the handler; else FB::invalid_arguments.
    virtual bool registerEventHandler(const VariantVector& args, bool attach);

    // The built-in members; the pair holds the bridge weakly and fails with
    // "Invalid JSAPI object" once it is gone.
    class IDisp_AttachEvent : public EventHandlerFunction<JSAPI_IDispatchExBase> {
        using EventHandlerFunction::EventHandlerFunction;
    };
    class IDisp_DetachEvent : public EventHandlerFunction<JSAPI_IDispatchExBase> {
        using EventHandlerFunction::EventHandlerFunction;
    };
    class IDisp_GetLastException : public LastExceptionFunction {};

protected:
    explicit JSAPI_IDispatchExBase(const std::string& mimeType);
    JSAPI_IDispatchExBase(const JSAPI_IDispatchExBase&) = delete;
    JSAPI_IDispatchExBase& operator=(const JSAPI_IDispatchExBase&) = delete;

    // The work of the COM methods; each is a boundary and never throws.
    HRESULT getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) noexcept;
    HRESULT getDispID(BSTR name, DISPID* id) noexcept;
    HRESULT invokeEx(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception) noexcept;
    HRESULT deleteMemberByDispID(DISPID id) noexcept;
    HRESULT getMemberName(DISPID id, BSTR* name) noexcept;
    HRESULT getNextDispID(DISPID id, DISPID* next) noexcept;
    HRESULT advise(IUnknown* sink, DWORD* cookie) noexcept;
    HRESULT unadvise(DWORD cookie) noexcept;

    std::string mimeType;
    std::map<DWORD, JSObjectPtr> eventSinks;
    LONG readyState = 1;
    Com::ComPtr<IPropertyNotifySink> propertyNotifySink;
    // The enumeration order: the API's names then the built-ins, their member ids
    // in the same order, and each id's place (its first) for a walk's next step.
    std::vector<std::wstring> memberNameCache;
    std::vector<DISPID> memberIdCache;
    std::unordered_map<DISPID, size_t> memberPositions;

private:
    // Steps of InvokeEx once the API, host and name are known.
    void invokeMember(JSAPI& api, ActiveXBrowserHost& host, DISPID id, std::wstring name, WORD flags,
        DISPPARAMS* params, VARIANT* result);
    // The call's arguments in script order, in a list borrowed from the host.
    ArgumentLists::Borrowed argumentsOf(ActiveXBrowserHost& host, const DISPPARAMS* params) const;
    void refillMemberNames(const JSAPI& target);
    void fillException(EXCEPINFO* exception, const std::string& text) const;

    JSAPIWeakPtr api_;
    std::shared_ptr<IDisp_AttachEvent> attachEventFunction_;
    std::shared_ptr<IDisp_DetachEvent> detachEventFunction_;
    std::shared_ptr<IDisp_GetLastException> getLastExceptionFunction_;
    std::weak_ptr<ActiveXBrowserHost> host_;
    // The built-in function objects hold it weakly: they fail once the bridge is gone.
    std::shared_ptr<ShareableReference<JSAPI_IDispatchExBase>> selfHandle_;
};

template <class T, class Dual, const IID* EventIid>
class JSAPI_IDispatchEx : public JSAPI_IDispatchExBase,
                          public Dual,
                          public IConnectionPointContainer,
                          public IConnectionPoint {
public:
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (count) *count = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return getIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(
        DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT*) override
    {
        return invokeEx(id, flags, params, result, exception);
    }

    // IDispatchEx
    STDMETHODIMP GetDispID(BSTR name, DWORD, DISPID* id) override { return getDispID(name, id); }
    STDMETHODIMP InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
        IServiceProvider*) override
    {
        return invokeEx(id, flags, params, result, exception);
    }
    STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteMemberByDispID(DISPID id) override { return deleteMemberByDispID(id); }
    STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberName(DISPID id, BSTR* name) override { return getMemberName(id, name); }
    STDMETHODIMP GetNextDispID(DWORD, DISPID id, DISPID* next) override { return getNextDispID(id, next); }
    STDMETHODIMP GetNameSpaceParent(IUnknown** parent) override
    {
        if (parent) *parent = nullptr;
        return E_NOTIMPL;
    }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override
    {
        return Atl::enumerateOnePoint(static_cast<IConnectionPoint*>(this), out);
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, *EventIid)) return CONNECT_E_NOCONNECTION;
        *out = static_cast<IConnectionPoint*>(this);
        (*out)->AddRef();
        return S_OK;
    }

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override
    {
        if (!iid) return E_POINTER;
        *iid = *EventIid;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override
    {
        if (!out) return E_POINTER;
        *out = static_cast<IConnectionPointContainer*>(this);
        (*out)->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override { return advise(sink, cookie); }
    STDMETHODIMP Unadvise(DWORD cookie) override { return unadvise(cookie); }
    STDMETHODIMP EnumConnections(IEnumConnections** out) override
    {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

protected:
    explicit JSAPI_IDispatchEx(const std::string& mimeType) : JSAPI_IDispatchExBase(mimeType) {}
};

}  // namespace FB::ActiveX
