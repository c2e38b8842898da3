// Plexhost::CFlashX: the COM class FlashX, the broadcast controller for page script.
//
// The controller core (::CFlashX) keeps the broadcast state and runs the commands;
// this class binds it to IFlashX. Callbacks are dispatch objects handed in as
// VARIANT arguments (anything but VT_DISPATCH means "no callback") and are called
// through their default member. The send and log callbacks are kept between calls;
// the others serve one call.
//
// Threading: apartment-threaded. Every IFlashX call arrives on the page's thread.
// Volume reports arrive on engine threads; the engine reports to a VolumeChannel
// rather than to this object, because the channel must outlive it when the page
// drops the control inside a report (the engine is then deleted after that report
// has returned, see EngineShutdown).
#pragma once

#include "ConnectionPoints.h"
#include "Dispatch.h"
#include "FlashX.h"
#include "FlashXEvents.h"
#include "ObjectRoot.h"
#include "ObjectSafety.h"
#include "ObjectWithSite.h"
#include "Plexhost.h"

#include <memory>

namespace Plexhost {

class DispatchCallback;
class VolumeChannel;

class CFlashX
    : public Atl::ObjectRoot,
      public Atl::DispatchImpl<IFlashX, &IID_IFlashX>,
      public Atl::ConnectionPointContainerImpl<CFlashX, CProxy_IFlashXEvents>,
      public Atl::ObjectWithSiteImpl<CFlashX>,
      public Atl::ObjectSafetyImpl<CFlashX, INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA>,
      public ::CFlashX {
public:
    CFlashX();
    ~CFlashX() override;

    static const Atl::InterfaceEntry* interfaceEntries();

    // IFlashX
    STDMETHODIMP sendvideoX(
        BSTR audioname, BSTR streamurl, BSTR resolution, BSTR level, VARIANT IsSendStartCallback, LONG* out) override;
    STDMETHODIMP dostop(LONG stop, LONG* stopped) override;
    STDMETHODIMP Cap(BSTR camname, VARIANT IsSendStartCallback, LONG* result) override;
    STDMETHODIMP ISready(VARIANT IsReadyCallback, LONG* result) override;
    STDMETHODIMP CapStop(VARIANT IsCapStopCallback) override;
    STDMETHODIMP LogPrintf(VARIANT LogPrintfCallback) override;
    STDMETHODIMP SetMute(LONG Bmute, LONG* result) override;
    STDMETHODIMP SetVol(LONG Vol, LONG* result) override;
    STDMETHODIMP PrintLog() override;
    STDMETHODIMP endstream() override;
    STDMETHODIMP SetVolCb(VARIANT VolCallback) override;

    // Enables "SeDebugPrivilege" in the process token; failures are ignored.
    static void EnableDebugPrivilege();

protected:
    // Time stamps from the runtime's 64-bit time and local-time conversion.
    void FormatTimestamp() override;

private:
    // A command called from inside too many nested callbacks answers its failure
    // code without calling back (see CallbackNesting); the debug output says so.
    static bool refusedAsNested(const wchar_t* command);

    std::shared_ptr<DispatchCallback> m_sendCallback;
    std::shared_ptr<DispatchCallback> m_logCallback;
    std::shared_ptr<VolumeChannel> m_volume;  // the engine's observer
};

}  // namespace Plexhost
