#include "JSObject.h"

#include <stdexcept>

namespace FB {

namespace {
const char* const kCannotInvokeAsync = "Cannot invoke asynchronously";
}  // namespace

JSObject::JSObject(const BrowserHostPtr& host) : host_(host) {}

JSObject::~JSObject() = default;

BrowserHostPtr JSObject::getHost() const
{
    BrowserHostPtr host = host_.lock();
    if (!host) throw script_error("The browser host is gone");
    return host;
}

std::shared_ptr<JSObject> JSObject::sharedSelfForAsync()
{
    // Only an object owned by a shared pointer can stay alive while queued.
    auto self = std::static_pointer_cast<JSObject>(weak_from_this().lock());
    if (!self) throw std::runtime_error(kCannotInvokeAsync);
    return self;
}

void JSObject::invokeAsync(const std::string& methodName, const VariantVector& args)
{
    BrowserHostPtr host = host_.lock();
    if (!host) throw std::runtime_error(kCannotInvokeAsync);
    std::shared_ptr<JSObject> self = sharedSelfForAsync();
    host->mainThreadPost([self, args, methodName] { self->invokeSelfAsync(args, methodName); }, self);
}

void JSObject::invokeSelfAsync(const VariantVector& args, const std::string& methodName)
{
    BrowserHostPtr host = getHost();
    host->invokeDelayed(0, sharedSelfForAsync(), args, methodName);
}

void JSObject::asyncByName(const std::string& name, const variant& value)
{
    BrowserHostPtr host = host_.lock();
    if (!host) throw std::runtime_error(kCannotInvokeAsync);
    std::shared_ptr<JSObject> self = sharedSelfForAsync();
    host->mainThreadPost([self, name, value] { self->setProperty(name, value); }, self);
}

}  // namespace FB
