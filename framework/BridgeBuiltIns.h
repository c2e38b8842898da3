// The members that both script bridges give every object besides its API's
// own: the event-handler pair ("attachEvent"/"detachEvent" in Internet
// Explorer, "addEventListener"/"removeEventListener" on the NPAPI road) and
// "getLastException", with the process-wide text of the last script error that
// the latter answers.
//
// Each bridge makes its three function objects when it is made, and names them
// with the classes of its road (they derive from these). The event pair holds
// its bridge weakly through the bridge's FB::ShareableReference and hands its
// arguments to the bridge's registerEventHandler(arguments, attach), which
// checks them the road's way; once the bridge is gone a call fails with the
// script error given at construction.
//
// Threading: the bridges call them on the browser's main thread; the last
// exception is locked, so any thread may read it.
#pragma once

#include "JSFunction.h"
#include "ScriptErrors.h"
#include "ShareableReference.h"

#include <memory>
#include <string>

namespace FB {

// The text of the last script error that any bridge of the process caught: an
// empty value until the first one, never cleared.
class LastScriptException {
public:
    static void set(const std::string& text);
    static variant get();
};

// "getLastException": the last script error, whatever the arguments.
class LastExceptionFunction : public JSFunction {
public:
    LastExceptionFunction();
    variant callFunction(const VariantVector& args) override;
};

template <class Bridge>
class EventHandlerFunction : public JSFunction {
public:
    using BridgeHandle = std::weak_ptr<ShareableReference<Bridge>>;

    // methodName is the text its toString shows; goneText the error once the bridge is gone.
    EventHandlerFunction(BridgeHandle bridge, bool attach, const std::string& methodName, std::string goneText)
        : JSFunction(JSAPIWeakPtr(), methodName, 0),
          bridge_(std::move(bridge)),
          attach_(attach),
          goneText_(std::move(goneText))
    {
    }

    variant callFunction(const VariantVector& args) override
    {
        std::shared_ptr<ShareableReference<Bridge>> alive = bridge_.lock();
        if (!alive) throw script_error(goneText_);
        alive->get()->registerEventHandler(args, attach_);
        return variant();
    }

private:
    BridgeHandle bridge_;
    bool attach_;
    std::string goneText_;
};

}  // namespace FB
