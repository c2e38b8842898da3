#include "TraceLog.h"

#include <atomic>
#include <memory>

namespace FB {

namespace {

std::atomic<std::shared_ptr<const TraceSink>>& currentSink()
{
    static std::atomic<std::shared_ptr<const TraceSink>> sink;
    return sink;
}

}  // namespace

void trace(const std::string& channel, const std::string& message)
{
    std::shared_ptr<const TraceSink> sink = currentSink().load();
    if (!sink || !*sink) return;
    try {
        (*sink)(channel, message);
    } catch (...) {
        // A failing sink never breaks the code that traced.
    }
}

void trace(const char* channel, const char* message)
{
    std::shared_ptr<const TraceSink> sink = currentSink().load();
    if (!sink || !*sink) return;
    try {
        (*sink)(channel ? channel : "", message ? message : "");
    } catch (...) {
        // A failing sink (or a text that cannot be built) never breaks the code that traced.
    }
}

TraceSink setTraceSink(TraceSink sink)
{
    std::shared_ptr<const TraceSink> next;
    if (sink) next = std::make_shared<const TraceSink>(std::move(sink));
    std::shared_ptr<const TraceSink> previous = currentSink().exchange(next);
    return previous ? *previous : TraceSink{};
}

}  // namespace FB
