#include "JSAPI.h"

#include "utf8_tools.h"

namespace FB {

std::string detail::memberNameToUtf8(const std::wstring& name)
{
    try {
        return wideToUtf8(name);
    } catch (const std::exception& e) {
        throw script_error(e.what());
    }
}

JSAPI::~JSAPI() = default;

void JSAPI::addEventHandler(const std::wstring& name, const JSObjectPtr& handler)
{
    addEventHandler(detail::memberNameToUtf8(name), handler);
}

void JSAPI::addEventHandler(const std::string&, const JSObjectPtr&)
{
    throw script_error("Not implemented");
}

void JSAPI::removeEventHandler(const std::wstring& name, const JSObjectPtr& handler)
{
    removeEventHandler(detail::memberNameToUtf8(name), handler);
}

void JSAPI::removeEventHandler(const std::string&, const JSObjectPtr&)
{
    throw script_error("Not implemented");
}

void JSAPI::addEventSinkObject(const JSObjectPtr&)
{
    throw script_error("Not implemented");
}

void JSAPI::removeEventSinkObject(const JSObjectPtr&)
{
    throw script_error("Not implemented");
}

std::vector<std::string> JSAPI::listMemberNames() const
{
    std::vector<std::string> names;
    listMemberNames(names);
    return names;
}

std::vector<std::wstring> JSAPI::listMemberNamesWide() const
{
    std::vector<std::wstring> names;
    listMemberNamesWide(names);
    return names;
}

void JSAPI::listMemberNamesWide(std::vector<std::wstring>& names) const
{
    for (const std::string& name : listMemberNames()) names.push_back(utf8ToWide(name));
}

bool JSAPI::hasMethod(const std::wstring& name) const
{
    return hasMethod(detail::memberNameToUtf8(name));
}

bool JSAPI::hasMethodObject(const std::string&) const
{
    return false;
}

bool JSAPI::hasMethodObject(const std::wstring& name) const
{
    return hasMethodObject(detail::memberNameToUtf8(name));
}

bool JSAPI::hasProperty(const std::wstring& name) const
{
    return hasProperty(detail::memberNameToUtf8(name));
}

JSAPIPtr JSAPI::getMethodObject(const std::string&)
{
    return JSAPIPtr();
}

JSAPIPtr JSAPI::getMethodObject(const std::wstring& name)
{
    return getMethodObject(detail::memberNameToUtf8(name));
}

variant JSAPI::getProperty(const std::wstring& name)
{
    return getProperty(detail::memberNameToUtf8(name));
}

void JSAPI::setProperty(const std::wstring& name, const variant& value)
{
    setProperty(detail::memberNameToUtf8(name), value);
}

void JSAPI::removeProperty(const std::wstring& name)
{
    removeProperty(detail::memberNameToUtf8(name));
}

variant JSAPI::invoke(const std::wstring& name, const VariantVector& args)
{
    return invoke(detail::memberNameToUtf8(name), args);
}

}  // namespace FB
