// FB::JSFunction: the function object that script gets when it reads a method
// of a scriptable object as a value. Calling it calls the method on its owner,
// in the zone the function object was made for; "call" and "apply" work as in
// script. Its "toString" gives the method name followed by "()".
//
// It holds its owner weakly: once the owner is gone, calls fail with the
// script error "Invalid JSAPI object".
#pragma once

#include "JSAPIAuto.h"

namespace FB {

class JSFunction : public JSAPIAuto {
public:
    JSFunction(const JSAPIWeakPtr& owner, const std::string& methodName, int zone);
    ~JSFunction() override;

    virtual variant callFunction(const VariantVector& args);
    // Script "call": the first argument is the this value, the rest are the arguments.
    virtual variant callWithThis(const VariantVector& args);
    // Script "apply": the second argument, a list or a page array, holds the arguments.
    virtual variant applyWithThis(const VariantVector& args);

    using JSAPIAuto::hasMethod;
    using JSAPIAuto::hasProperty;
    using JSAPIAuto::invoke;
    variant invoke(const std::string& name, const VariantVector& args) override;
    bool hasMethod(const std::string& name) const override;
    bool hasProperty(const std::string& name) const override;

    // The object whose method this is (held weakly).
    const JSAPIWeakPtr& owner() const { return owner_; }

protected:
    const std::string& methodName() const { return methodName_; }

private:
    JSAPIWeakPtr owner_;
    std::string methodName_;
    int zone_;
};

}  // namespace FB
