// The engine's observer in the COM control: carries each volume report from the
// engine thread that makes it into the page's apartment, synchronously, so that
// reports arrive one at a time and in order.
//
// SetVolCb hands the page's function to the channel's relay (VolumeRelay), which
// is marshalled once, for any apartment. Each engine thread enters the
// multithreaded apartment at its first report, unmarshals a proxy of the relay
// once and keeps both until the thread ends; then, still on that thread, the
// proxy is released and the apartment left (a fiber-local-storage callback,
// which runs before the thread's COM state goes). At each report a thread also
// releases the proxies it keeps for channels that were closed since.
//
// Closing the channel (the control goes) closes the relay: the page's function
// is released at once and no report reaches the page afterwards, whatever the
// engine threads are doing. The channel itself lives on while the engine may
// still report to it (see EngineShutdown).
//
// Threading: create, setCallback and close on the page's thread; OnVolumeLevel
// on any engine thread.
#pragma once

#include "ComSupport.h"
#include "Strevo.h"
#include "VolumeRelay.h"

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <memory>
#include <vector>

namespace Plexhost {

class VolumeChannel : public Strevo::IStrevoObersver, public std::enable_shared_from_this<VolumeChannel> {
public:
    static std::shared_ptr<VolumeChannel> create();
    VolumeChannel() = default;
    ~VolumeChannel();  // close() must have run, on the page's thread
    VolumeChannel(const VolumeChannel&) = delete;
    VolumeChannel& operator=(const VolumeChannel&) = delete;

    // Later reports go to callback. A marshalling failure leaves the channel
    // without a reachable callback: reports are dropped.
    void setCallback(IDispatch* callback);
    void close();
    bool closed() const { return closed_.load(); }

    // Engine thread.
    void OnVolumeLevel(int level) override;

    // The module is being unloaded while the process goes on: engine threads no
    // longer run its code at their end.
    static void moduleUnloading();

private:
    bool publish();
    void deliver(int level);

    Com::ComPtr<VolumeRelay> relay_;   // page thread
    Com::ComPtr<IStream> marshalled_;  // page thread; the relay marshalled table-strong
    std::vector<BYTE> marshalData_;    // the stream's bytes, fixed once published_ is set
    std::atomic<bool> published_{false};
    std::atomic<bool> closed_{false};
};

}  // namespace Plexhost
