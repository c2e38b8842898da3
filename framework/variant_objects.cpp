// Conversions between variants and containers of script values.
#include "variant.h"

namespace FB {

VariantVector variant::convertToVariantVector() const
{
    return cast<VariantVector>();
}

VariantDict variant::convertToVariantDict() const
{
    return cast<VariantDict>();
}

} // namespace FB
