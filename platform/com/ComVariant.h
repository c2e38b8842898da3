// Com::Variant: owns one VARIANT and clears it.
//
//   Com::Variant value;
//   hr = bag->Read(L"FriendlyName", value.Put(), nullptr);   // out parameter
//   if (value.Type() == VT_BSTR) use(V_BSTR(value.Get()));
//   std::vector<Com::Variant> arguments;                      // a VARIANT array, see variantArray
//
// Copies are deep (VariantCopy; Com::Error when it fails), moves hand the
// contents over. A Variant is laid out exactly as a VARIANT, so a contiguous run
// of them can be passed where COM wants a VARIANT array.
#pragma once

#include "ComBstr.h"
#include "ComGuard.h"

#include <windows.h>
#include <oleauto.h>

#include <string_view>
#include <type_traits>
#include <utility>

namespace Com {

class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    explicit Variant(LONG number) noexcept : Variant()
    {
        V_VT(&v_) = VT_I4;
        V_I4(&v_) = number;
    }
    explicit Variant(std::wstring_view text) : Variant()
    {
        V_BSTR(&v_) = Bstr(text).Detach();
        V_VT(&v_) = VT_BSTR;
    }
    // Adds a reference of its own; null stays a null dispatch value.
    explicit Variant(IDispatch* object) noexcept : Variant()
    {
        if (object) object->AddRef();
        V_VT(&v_) = VT_DISPATCH;
        V_DISPATCH(&v_) = object;
    }
    // A deep copy of a VARIANT the caller keeps.
    explicit Variant(const VARIANT& value) : Variant() { check(VariantCopy(&v_, const_cast<VARIANT*>(&value))); }
    Variant(const Variant& other) : Variant(other.v_) {}
    Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    ~Variant() { Clear(); }

    Variant& operator=(const Variant& other)
    {
        Variant(other).Swap(*this);
        return *this;
    }
    Variant& operator=(Variant&& other) noexcept
    {
        Variant(std::move(other)).Swap(*this);
        return *this;
    }

    // Takes over the contents of a VARIANT the caller owns and leaves it empty.
    [[nodiscard]] static Variant Adopt(VARIANT& value) noexcept
    {
        Variant held;
        held.v_ = value;
        VariantInit(&value);
        return held;
    }
    // Moves the contents into an empty (cleared or uninitialised) VARIANT of the caller.
    void Detach(VARIANT* out) noexcept
    {
        *out = v_;
        VariantInit(&v_);
    }
    void Clear() noexcept { VariantClear(&v_); }
    void Swap(Variant& other) noexcept { std::swap(v_, other.v_); }

    // For out parameters: clears what is held, then lends the VARIANT.
    VARIANT* Put() noexcept
    {
        Clear();
        return &v_;
    }

    const VARIANT& Get() const noexcept { return v_; }
    VARIANT& Get() noexcept { return v_; }
    VARTYPE Type() const noexcept { return V_VT(&v_); }

private:
    VARIANT v_;
};

static_assert(sizeof(Variant) == sizeof(VARIANT) && std::is_standard_layout_v<Variant>);

// The first of a contiguous run of Variants as the VARIANT array COM expects.
inline VARIANT* variantArray(Variant* first) noexcept
{
    return first ? &first->Get() : nullptr;
}

}  // namespace Com
