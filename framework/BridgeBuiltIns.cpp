#include "BridgeBuiltIns.h"

#include <mutex>

namespace FB {

namespace {

struct LastException {
    std::mutex lock;
    variant value;
};

LastException& lastException()
{
    // Kept for the life of the process: bridges may fail during the module's own shutdown.
    static LastException* state = new LastException;
    return *state;
}

}  // namespace

void LastScriptException::set(const std::string& text)
{
    variant value(text);
    std::lock_guard<std::mutex> guard(lastException().lock);
    lastException().value = std::move(value);
}

variant LastScriptException::get()
{
    std::lock_guard<std::mutex> guard(lastException().lock);
    return lastException().value;
}

LastExceptionFunction::LastExceptionFunction() : JSFunction(JSAPIWeakPtr(), "getLastException", 0) {}

variant LastExceptionFunction::callFunction(const VariantVector&)
{
    return LastScriptException::get();
}

}  // namespace FB
