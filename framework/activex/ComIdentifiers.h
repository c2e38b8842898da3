// The COM identities of the plug-in library's Internet Explorer side: its
// classes, its type library, the event interface of its connection points and
// the two dual interfaces of its script objects (both IDispatchEx without
// members of their own).
#pragma once

#include <windows.h>
#include <dispex.h>

extern "C" {
extern const CLSID CLSID_FBControl0;
extern const CLSID CLSID_FBComJavascriptObject;
extern const GUID LIBID_parvelpluginLib;
extern const IID DIID_IFBComEventSource;
extern const IID IID_IFBControl;
extern const IID IID_IFBComJavascriptObject;
}

struct IFBControl : public IDispatchEx {};
struct IFBComJavascriptObject : public IDispatchEx {};

__CRT_UUID_DECL(IFBControl, 0x24bbe2fe, 0x3ff1, 0x54ef, 0xb3, 0x59, 0xfa, 0x4e, 0x9c, 0xaf, 0x07, 0x1b)
__CRT_UUID_DECL(IFBComJavascriptObject, 0xb08010e1, 0x4c74, 0x5896, 0xaf, 0xb1, 0x51, 0x66, 0xf3, 0x0b, 0x5d, 0x08)

namespace FB::ActiveX {

// Private: every bridge of the plug-in answers it with its own bridge base
// (JSAPI_IDispatchExBase), so that a page object can be recognised as one of
// the plug-in's own without a type check on a foreign pointer.
extern const IID kBridgeMarkerIid;

}  // namespace FB::ActiveX
