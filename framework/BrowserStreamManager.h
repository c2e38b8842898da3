// FB::BrowserStreamManager: keeps the streams a host opened alive until each
// one completes, and closes the ones still open when it is destroyed (the
// host's shutdown drops it).
//
// Threading: the browser's main thread; a recursive lock guards the set, since
// closing a stream may come back here.
#pragma once

#include "RecursiveMutex.h"
#include "BrowserStream.h"
#include "PluginEventSink.h"
#include "PluginEvents.h"

#include <mutex>
#include <set>

namespace FB {

class BrowserStreamManager : public PluginEventSink {
public:
    ~BrowserStreamManager() override;

    bool onPluginEvent(PluginEvent* event, PluginEventSource* source) override;
    virtual bool onStreamCompleted(StreamCompletedEvent* event, BrowserStream* stream);

    // Observes the stream and keeps it until it completes. A stream that has
    // completed already is not kept.
    void retainStream(const BrowserStreamPtr& stream);
    void releaseStream(const BrowserStreamPtr& stream);
    size_t retainedCount() const;

private:
    std::set<BrowserStreamPtr> streams;
    mutable RecursiveMutex lock;
};

}  // namespace FB
