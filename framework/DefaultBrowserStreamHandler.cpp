#include "DefaultBrowserStreamHandler.h"

namespace FB {

DefaultBrowserStreamHandler::~DefaultBrowserStreamHandler() = default;

bool DefaultBrowserStreamHandler::onPluginEvent(PluginEvent* event, PluginEventSource* source)
{
    auto* stream = dynamic_cast<BrowserStream*>(source);
    if (auto* attached = dynamic_cast<AttachedEvent*>(event)) {
        if (!stream) throw bad_event_cast();
        return onAttached(attached, stream);
    }
    if (auto* detached = dynamic_cast<DetachedEvent*>(event)) return onDetached(detached, stream);
    if (auto* created = dynamic_cast<StreamCreatedEvent*>(event)) return onStreamCreated(created, stream);
    if (auto* destroyed = dynamic_cast<StreamDestroyedEvent*>(event)) return onStreamDestroyed(destroyed, stream);
    if (!stream) return false;
    if (auto* failed = dynamic_cast<StreamFailedOpenEvent*>(event)) return onStreamFailedOpen(failed, stream);
    if (auto* opened = dynamic_cast<StreamOpenedEvent*>(event)) return onStreamOpened(opened, stream);
    if (auto* data = dynamic_cast<StreamDataArrivedEvent*>(event)) return onStreamDataArrived(data, stream);
    if (auto* completed = dynamic_cast<StreamCompletedEvent*>(event)) return onStreamCompleted(completed, stream);
    return false;
}

bool DefaultBrowserStreamHandler::onAttached(AttachedEvent*, BrowserStream* attachedTo)
{
    setStream(attachedTo->selfPointer());
    return false;
}

bool DefaultBrowserStreamHandler::onDetached(DetachedEvent*, BrowserStream*)
{
    releaseStream();
    return false;
}

bool DefaultBrowserStreamHandler::onStreamCreated(StreamCreatedEvent*, BrowserStream*)
{
    return false;
}

bool DefaultBrowserStreamHandler::onStreamDestroyed(StreamDestroyedEvent*, BrowserStream*)
{
    releaseStream();
    return false;
}

bool DefaultBrowserStreamHandler::onStreamDataArrived(StreamDataArrivedEvent*, BrowserStream*)
{
    return false;
}

bool DefaultBrowserStreamHandler::onStreamFailedOpen(StreamFailedOpenEvent*, BrowserStream*)
{
    return false;
}

bool DefaultBrowserStreamHandler::onStreamOpened(StreamOpenedEvent*, BrowserStream*)
{
    return false;
}

bool DefaultBrowserStreamHandler::onStreamCompleted(StreamCompletedEvent*, BrowserStream*)
{
    return false;
}

BrowserStreamPtr DefaultBrowserStreamHandler::getStream() const
{
    return stream;
}

bool DefaultBrowserStreamHandler::closeStream()
{
    BrowserStreamPtr current = stream;
    return current ? current->close() : false;
}

void DefaultBrowserStreamHandler::setStream(const BrowserStreamPtr& value)
{
    stream = value;
}

void DefaultBrowserStreamHandler::releaseStream()
{
    stream.reset();
}

}  // namespace FB
