// Readable names of C++ types, for the texts of conversion errors that page
// script may see ("from std::string to long"). Raw RTTI names are mangled; the
// common held types get their short spelling, others are demangled.
#pragma once

#include <string>
#include <typeinfo>

namespace FB {

std::string readableTypeName(const std::type_info& type);

}  // namespace FB
