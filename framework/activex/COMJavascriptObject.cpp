#include "COMJavascriptObject.h"

#include "ActiveXBrowserHost.h"

#include <new>

namespace FB::ActiveX {

using Dual = IFBComJavascriptObject;

COMJavascriptObject::COMJavascriptObject()
    : JSAPI_IDispatchEx("SUBOBJECT"),
      selfReference_(std::make_shared<ShareableReference<IDispatchEx>>(static_cast<IDispatchEx*>(this)))
{
}

COMJavascriptObject::~COMJavascriptObject() = default;

const Atl::InterfaceEntry* COMJavascriptObject::interfaceEntries()
{
    static const Atl::InterfaceEntry entries[] = {
        Atl::entry<COMJavascriptObject, Dual>(__uuidof(IDispatchEx)),
        Atl::entry<COMJavascriptObject, Dual>(IID_IDispatch),
        Atl::entry<COMJavascriptObject, Dual>(IID_IFBComJavascriptObject),
        Atl::entry<COMJavascriptObject, IConnectionPointContainer>(IID_IConnectionPointContainer),
        Atl::entry<COMJavascriptObject, IConnectionPoint>(IID_IConnectionPoint),
        Atl::entry<COMJavascriptObject, JSAPI_IDispatchExBase>(kBridgeMarkerIid),
        {},
    };
    return entries;
}

IDispatchEx* COMJavascriptObject::createDispatchEx(
    const JSAPIWeakPtr& api, const std::shared_ptr<ActiveXBrowserHost>& host, bool autoRelease)
{
    Com::ComPtr<Atl::LockedComObject<COMJavascriptObject>> object(
        new (std::nothrow) Atl::LockedComObject<COMJavascriptObject>());
    if (!object) return nullptr;
    object->setAPI(api, host);
    object->autoRelease_ = autoRelease;
    if (autoRelease && host)
        if (JSAPIPtr alive = api.lock()) host->keepObjectAlive(alive);
    IDispatchEx* answer = nullptr;
    object->QueryInterface(__uuidof(IDispatchEx), reinterpret_cast<void**>(&answer));
    return answer;
}

COMJavascriptObject* COMJavascriptObject::fromDispatch(IDispatch* object)
{
    void* answer = nullptr;
    if (!object || FAILED(object->QueryInterface(kBridgeMarkerIid, &answer)) || !answer) return nullptr;
    auto owned = Com::ComPtr<IUnknown>::Adopt(static_cast<IUnknown*>(answer));
    if (!isLiveBridge(answer)) return nullptr;
    return dynamic_cast<COMJavascriptObject*>(static_cast<JSAPI_IDispatchExBase*>(answer));
}

void COMJavascriptObject::FinalRelease()
{
    // Runs inside Release, a COM boundary.
    try {
        selfReference_.reset();
        if (!autoRelease_) return;
        std::shared_ptr<ActiveXBrowserHost> host = getHost();
        JSAPIPtr api = getAPI();
        if (host) host->releaseKeptObject(api);
    } catch (...) {
        // The API is gone already: nothing is kept for it.
    }
}

}  // namespace FB::ActiveX
