// What the stream tests share: the local HTTP server the runner started
// (tests/support/http_server.py, named by TEST_HTTP_SERVER), the bytes it
// serves, its request log, and a sink that records a stream's events without
// keeping the stream alive.
#pragma once

#include "BrowserStream.h"
#include "PluginEventSink.h"
#include "PluginEvents.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace streamtest {

// "http://127.0.0.1:<port>", or empty when the program was not started by the runner.
inline std::string serverBase()
{
    char value[256] = {};
    DWORD length = GetEnvironmentVariableA("TEST_HTTP_SERVER", value, sizeof value);
    return length && length < sizeof value ? std::string(value, length) : std::string();
}

// The server's /data/<n>?seed=<s> body: byte i is byte (i mod 4) of the
// little-endian 32-bit number i / 4 + s.
inline std::vector<uint8_t> pattern(size_t size, uint32_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((static_cast<uint32_t>(i / 4) + seed) >> (8 * (i % 4)));
    return bytes;
}

// One request as the server saw it (header names in lower case).
struct ServerRequest {
    std::string method;
    std::string path;
    std::map<std::string, std::string> headers;
    std::string body;
    bool aborted = false;  // the client went away before the end
    bool ended = false;    // the answer is over, sent whole or aborted
};

// The server's /_log?format=text.
inline std::vector<ServerRequest> parseServerLog(const std::string& text)
{
    std::vector<ServerRequest> requests;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("request ", 0) == 0) {
            requests.emplace_back();
            std::istringstream words(line.substr(8));
            words >> requests.back().method >> requests.back().path;
        } else if (requests.empty()) {
            continue;
        } else if (line.rfind("header ", 0) == 0) {
            const size_t colon = line.find(": ");
            requests.back().headers[line.substr(7, colon - 7)] = line.substr(colon + 2);
        } else if (line.rfind("body ", 0) == 0) {
            for (size_t i = 5; i + 1 < line.size(); i += 2)
                requests.back().body += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
        } else if (line.rfind("aborted ", 0) == 0) {
            requests.back().aborted = line == "aborted 1";
        } else if (line.rfind("ended ", 0) == 0) {
            requests.back().ended = line == "ended 1";
        }
    }
    return requests;
}

// Records a stream's events ("Created", "Opened", "FailedOpen", "Data" once per
// run of blocks, "Completed(true|false)", "Destroyed") and its bytes by offset.
class EventLog : public FB::PluginEventSink {
public:
    bool onPluginEvent(FB::PluginEvent* event, FB::PluginEventSource*) override
    {
        if (dynamic_cast<FB::StreamCreatedEvent*>(event)) names.push_back("Created");
        if (dynamic_cast<FB::StreamFailedOpenEvent*>(event)) names.push_back("FailedOpen");
        if (dynamic_cast<FB::StreamDestroyedEvent*>(event)) names.push_back("Destroyed");
        if (auto* completed = dynamic_cast<FB::StreamCompletedEvent*>(event))
            names.push_back(completed->success ? "Completed(true)" : "Completed(false)");
        if (auto* data = dynamic_cast<FB::StreamDataArrivedEvent*>(event)) {
            if (names.empty() || names.back() != "Data") names.push_back("Data");
            const auto* bytes = static_cast<const uint8_t*>(data->data);
            // A block that continues an earlier one joins it.
            std::vector<uint8_t>* chunk = nullptr;
            if (auto after = chunks.upper_bound(data->offset); after != chunks.begin()) {
                auto before = std::prev(after);
                if (before->first + before->second.size() == data->offset) chunk = &before->second;
            }
            if (!chunk) chunk = &chunks[data->offset];
            chunk->insert(chunk->end(), bytes, bytes + data->length);
            received += data->length;
            progress.push_back(data->progress);
            if (onData) onData(data);
        }
        if (dynamic_cast<FB::StreamOpenedEvent*>(event)) {
            names.push_back("Opened");
            if (onOpened) onOpened();
        }
        return false;
    }

    int count(const std::string& name) const { return static_cast<int>(std::count(names.begin(), names.end(), name)); }
    bool completed() const { return count("Completed(true)") + count("Completed(false)") > 0; }
    float maxProgress() const { return progress.empty() ? 0.0f : *std::max_element(progress.begin(), progress.end()); }
    // Every byte that arrived, placed by offset.
    std::vector<uint8_t> joined() const
    {
        std::vector<uint8_t> all;
        for (const auto& [offset, bytes] : chunks) {
            if (all.size() < offset + bytes.size()) all.resize(offset + bytes.size());
            std::copy(bytes.begin(), bytes.end(), all.begin() + offset);
        }
        return all;
    }

    std::vector<std::string> names;
    std::map<size_t, std::vector<uint8_t>> chunks;  // runs of contiguous bytes by their first offset
    size_t received = 0;
    std::vector<float> progress;
    std::function<void()> onOpened;
    std::function<void(FB::StreamDataArrivedEvent*)> onData;
};

}  // namespace streamtest
