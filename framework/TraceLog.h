// Framework trace logging: a channel name ("BrowserHost", "PluginCore", ...) and
// a message. The product installs no sink, so a trace line costs one check; tests
// install a sink to see what the framework reports.
//
// Threading: trace may be called on any thread; the sink is swapped atomically
// and is called on the tracing thread.
#pragma once

#include <functional>
#include <string>

namespace FB {

using TraceSink = std::function<void(const std::string& channel, const std::string& message)>;

void trace(const std::string& channel, const std::string& message);
// The same for fixed texts: nothing is built while no sink is installed (the
// product's case), so a trace on a busy path costs one check.
void trace(const char* channel, const char* message);

// Installs a sink (an empty one removes it) and returns the previous one.
TraceSink setTraceSink(TraceSink sink);

}  // namespace FB
