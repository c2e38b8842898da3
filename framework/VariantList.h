// Builds an argument list in one expression:
//
//     FB::VariantVector args = FB::makeVariantVector(code)(L"text")(callback);
//
// Each appended value is copied; the list keeps the order given.
#pragma once

#include "variant.h"

#include <utility>

namespace FB {

class VariantVectorBuilder {
public:
    explicit VariantVectorBuilder(const variant& first) { values_.push_back(first); }

    VariantVectorBuilder& appendVariant(const variant& value)
    {
        values_.push_back(value);
        return *this;
    }
    VariantVectorBuilder& operator()(const variant& value) { return appendVariant(value); }

    const VariantVector& get() const& { return values_; }
    VariantVector get() && { return std::move(values_); }
    operator VariantVector() const& { return values_; }
    operator VariantVector() && { return std::move(values_); }

private:
    VariantVector values_;
};

inline VariantVectorBuilder makeVariantVector(const variant& first)
{
    return VariantVectorBuilder(first);
}

}  // namespace FB
