#include "ScriptErrors.h"

#include "TypeNames.h"

namespace FB {

bad_variant_cast::bad_variant_cast(const std::type_info& from, const std::type_info& to)
    : from_(readableTypeName(from)), to_(readableTypeName(to))
{
}

}  // namespace FB
