#include "JSFunction.h"

namespace FB {

JSFunction::JSFunction(const JSAPIWeakPtr& owner, const std::string& methodName, int zone)
    : JSAPIAuto(methodName + "()", zone), owner_(owner), methodName_(methodName), zone_(zone)
{
    allowMethodObjects_ = false;
    clearReservedNames();
}

JSFunction::~JSFunction() = default;

variant JSFunction::callFunction(const VariantVector& args)
{
    JSAPIPtr owner = owner_.lock();
    if (!owner) throw script_error("Invalid JSAPI object");
    ZoneScope zone(*owner, zone_);
    return owner->invoke(methodName_, args);
}

variant JSFunction::callWithThis(const VariantVector& args)
{
    if (args.empty()) return callFunction(args);
    return callFunction(VariantVector(args.begin() + 1, args.end()));
}

variant JSFunction::applyWithThis(const VariantVector& args)
{
    if (args.size() < 2 || args[1].isEmpty() || args[1].isNull()) return callFunction(VariantVector());
    VariantVector list;
    try {
        list = args[1].convert_cast<VariantVector>();
    } catch (const bad_variant_cast& e) {
        throw invalid_arguments("Could not convert from " + e.from() + " to " + e.to());
    }
    return callFunction(list);
}

variant JSFunction::invoke(const std::string& name, const VariantVector& args)
{
    if (name.empty()) return callFunction(args);
    if (name == "call") return callWithThis(args);
    if (name == "apply") return applyWithThis(args);
    return JSAPIAuto::invoke(name, args);
}

bool JSFunction::hasMethod(const std::string& name) const
{
    if (name.empty() || name == "call" || name == "apply") return true;
    return JSAPIAuto::hasMethod(name);
}

bool JSFunction::hasProperty(const std::string& name) const
{
    if (name == "call" || name == "apply") return false;
    return JSAPIAuto::hasProperty(name);
}

}  // namespace FB
