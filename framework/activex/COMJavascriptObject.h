// FB::ActiveX::COMJavascriptObject: the COM object through which page script
// reaches one of the plug-in's own scriptable objects (other than the control
// itself): a function object, a returned sub-object, a JSObject that is not a
// page object.
//
//     IDispatchEx* wrapper = COMJavascriptObject::createDispatchEx(api, host, true);
//
// It is a JSAPI_IDispatchEx bridge ("SUBOBJECT" as its exception source) with a
// reference count guarded by a lock. With autoRelease the host keeps the API
// alive while the COM object lives. The object hands out a weak handle of
// itself (getWeakReference), by which the host's wrapper cache finds it again
// without owning it.
//
// Threading: the browser's main thread (see JSAPI_IDispatchEx).
#pragma once

#include "JSAPI_IDispatchEx.h"
#include "LockedComObject.h"

namespace FB::ActiveX {

class COMJavascriptObject
    : public Atl::LockedObjectRoot,
      public JSAPI_IDispatchEx<COMJavascriptObject, IFBComJavascriptObject, &DIID_IFBComEventSource> {
public:
    // A new wrapper bound to the API and the host; the caller owns its one
    // reference. Null when it cannot be made.
    static IDispatchEx* createDispatchEx(
        const JSAPIWeakPtr& api, const std::shared_ptr<ActiveXBrowserHost>& host, bool autoRelease);
    // The wrapper behind a pointer that answers the bridge marker, if it is one.
    static COMJavascriptObject* fromDispatch(IDispatch* object);

    static const Atl::InterfaceEntry* interfaceEntries();

    std::weak_ptr<ShareableReference<IDispatchEx>> getWeakReference() const { return selfReference_; }
    // Drops the host's keep-alive entry of an auto-released API.
    void FinalRelease();

protected:
    COMJavascriptObject();
    ~COMJavascriptObject() override;

private:
    bool autoRelease_ = false;
    std::shared_ptr<ShareableReference<IDispatchEx>> selfReference_;
};

}  // namespace FB::ActiveX
