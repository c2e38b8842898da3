// The broadcast controller's handle on one page callback.
//
// A binding implements Deliver to pass the values, in order, as the arguments of
// one call of its callback: the plug-in queues a script call onto the browser's
// main thread, the COM control invokes a dispatch object's default member. The
// controller never waits for or looks at the callback's answer.
#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

// Results and levels are integers, log lines narrow (UTF-8) texts, the ready text wide.
using ResultValue = std::variant<int, std::string, std::wstring>;
using ResultValues = std::vector<ResultValue>;

class IResultSink {
public:
    virtual ~IResultSink() = default;
    virtual void Deliver(const ResultValues& values) = 0;
};

using ResultSinkPtr = std::shared_ptr<IResultSink>;
