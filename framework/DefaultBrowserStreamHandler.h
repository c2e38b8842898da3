// FB::DefaultBrowserStreamHandler: the base of stream observers. It keeps the
// stream it is attached to and turns each stream event into one virtual call
// that a subclass overrides; every call answers false (not handled) here.
//
// Threading: the stream's thread (the browser's main thread).
#pragma once

#include "BrowserStream.h"
#include "PluginEventSink.h"
#include "PluginEvents.h"

#include <memory>

namespace FB {

class DefaultBrowserStreamHandler : public PluginEventSink {
public:
    ~DefaultBrowserStreamHandler() override;

    // Throws bad_event_cast ("bad cast") for an attach event from a source that is no stream.
    bool onPluginEvent(PluginEvent* event, PluginEventSource* source) override;

    virtual bool onAttached(AttachedEvent* event, BrowserStream* stream);
    virtual bool onDetached(DetachedEvent* event, BrowserStream* stream);
    virtual bool onStreamCreated(StreamCreatedEvent* event, BrowserStream* stream);
    virtual bool onStreamDestroyed(StreamDestroyedEvent* event, BrowserStream* stream);
    virtual bool onStreamDataArrived(StreamDataArrivedEvent* event, BrowserStream* stream);
    virtual bool onStreamFailedOpen(StreamFailedOpenEvent* event, BrowserStream* stream);
    virtual bool onStreamOpened(StreamOpenedEvent* event, BrowserStream* stream);
    virtual bool onStreamCompleted(StreamCompletedEvent* event, BrowserStream* stream);

    virtual BrowserStreamPtr getStream() const;
    // Closes the stream; false without one.
    virtual bool closeStream();
    virtual void setStream(const BrowserStreamPtr& value);
    virtual void releaseStream();

protected:
    BrowserStreamPtr stream;
};

}  // namespace FB
