#include "TypeNames.h"

#include "variant.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeindex>
#include <unordered_map>

namespace FB {

namespace {

// Short spellings of the held types whose demangled names carry their
// allocators and traits.
const std::unordered_map<std::type_index, const char*>& shortNames()
{
    static const std::unordered_map<std::type_index, const char*> names = {
        {typeid(std::string), "std::string"},
        {typeid(std::wstring), "std::wstring"},
        {typeid(VariantVector), "FB::VariantVector"},
        {typeid(VariantDict), "FB::VariantDict"},
        {typeid(JSObjectList), "std::vector<FB::JSObjectPtr>"},
        {typeid(variant_detail::empty), "FB::variant_detail::empty"},
        {typeid(variant_detail::null), "FB::variant_detail::null"},
    };
    return names;
}

}  // namespace

std::string readableTypeName(const std::type_info& type)
{
    const auto& names = shortNames();
    if (auto known = names.find(type); known != names.end()) return known->second;
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    if (status == 0 && demangled) return demangled.get();
    return type.name();
}

}  // namespace FB
