// Test-side helpers for steering the stand-in engine.
#pragma once

#include "StrevoTestControl.h"

#include <string>
#include <vector>

namespace strevo_test {

inline std::string command(const std::string& text)
{
    std::vector<char> reply(65536);
    StrevoTestControl(text.c_str(), reply.data(), static_cast<int>(reply.size()));
    return reply.data();
}

// The engine calls since the last clear, one a line.
inline std::vector<std::string> calls()
{
    std::vector<std::string> lines;
    std::string all = command("log");
    size_t start = 0;
    for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(all.substr(start, end - start));
    return lines;
}

inline void reset()
{
    command("clear");
    command("interval 200");
    command("ready ready");
}

}  // namespace strevo_test
