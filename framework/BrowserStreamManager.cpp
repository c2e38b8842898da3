#include "BrowserStreamManager.h"

#include "TraceLog.h"

#include <exception>
#include <utility>

namespace FB {

BrowserStreamManager::~BrowserStreamManager()
{
    std::set<BrowserStreamPtr> open;
    {
        std::lock_guard<RecursiveMutex> guard(lock);
        open.swap(streams);
    }
    for (const BrowserStreamPtr& stream : open) {
        try {
            stream->close();
        } catch (const std::exception& e) {
            trace("BrowserStreamManager", std::string("Closing a stream failed: ") + e.what());
        } catch (...) {
            // The other streams are still closed.
        }
    }
}

bool BrowserStreamManager::onPluginEvent(PluginEvent* event, PluginEventSource* source)
{
    auto* completed = dynamic_cast<StreamCompletedEvent*>(event);
    auto* stream = dynamic_cast<BrowserStream*>(source);
    if (completed && stream) return onStreamCompleted(completed, stream);
    return false;
}

bool BrowserStreamManager::onStreamCompleted(StreamCompletedEvent*, BrowserStream* stream)
{
    releaseStream(stream->selfPointer());
    return false;
}

void BrowserStreamManager::retainStream(const BrowserStreamPtr& stream)
{
    if (!stream || stream->isCompleted()) return;
    std::lock_guard<RecursiveMutex> guard(lock);
    stream->addObserver(shared_from_this());
    streams.insert(stream);
}

void BrowserStreamManager::releaseStream(const BrowserStreamPtr& stream)
{
    if (!stream) return;
    BrowserStreamPtr dropped;
    std::lock_guard<RecursiveMutex> guard(lock);
    stream->removeObserver(shared_from_this());
    if (auto found = streams.find(stream); found != streams.end()) {
        dropped = *found;  // freed after the lock is released
        streams.erase(found);
    }
}

size_t BrowserStreamManager::retainedCount() const
{
    std::lock_guard<RecursiveMutex> guard(lock);
    return streams.size();
}

}  // namespace FB
