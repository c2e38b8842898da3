// Ordering and the conversions between held types. Each conversion tests the
// held type against a fixed list and the first match decides; anything it
// cannot read fails with bad_variant_cast(held type, target type).
#include "variant.h"

#include "utf8_tools.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>
#include <utility>

namespace FB {

namespace variant_detail {

// NaN orders after every number and all NaNs are equivalent, so the order stays
// strict and weak and maps keyed by numbers stay valid.
bool lessOfNumbers(double left, double right) noexcept
{
    const bool leftNaN = std::isnan(left), rightNaN = std::isnan(right);
    if (leftNaN || rightNaN) return !leftNaN && rightNaN;
    return left < right;
}

bool lessOfLists(const VariantVector& left, const VariantVector& right)
{
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end());
}

bool lessOfDicts(const VariantDict& left, const VariantDict& right)
{
    return std::lexicographical_compare(
        left.begin(), left.end(), right.begin(), right.end(), [](const auto& a, const auto& b) {
            if (a.first != b.first) return a.first < b.first;
            return a.second < b.second;
        });
}

}  // namespace variant_detail

bool variant::operator<(const variant& right) const
{
    // One less-than function is one held type of this module: no type lookup.
    if (lessthan_ == right.lessthan_ && value_.has_value() && right.value_.has_value()) return lessthan_(*this, right);
    const std::type_info& leftType = getType();
    const std::type_info& rightType = right.getType();
    if (const int byName = variant_detail::compareTypeNames(leftType.name(), rightType.name()); byName != 0)
        return byName < 0;
    // The same name: the same type (also from another module), or two local types that order as equivalent.
    if (leftType == rightType)
        return value_.has_value() && lessthan_(*this, right);  // two moved-from values are equivalent
    return false;
}

script_error variant::getScriptError() const
{
    if (const auto* error = getIf<script_error>()) return *error;
    if (const auto* shared = getIf<ScriptErrorPtr>(); shared && *shared) return **shared;
    if (const auto* plain = getIf<script_error*>(); plain && *plain) return **plain;
    throw bad_variant_cast(getType(), typeid(script_error));
}

namespace {

template <class T>
std::string decimal(T value)
{
    return std::to_string(value);
}

template <class T>
std::wstring wideDecimal(T value)
{
    return std::to_wstring(value);
}

template <class T>
std::string streamed(T value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

template <class T>
std::wstring wideStreamed(T value)
{
    std::wostringstream out;
    out << value;
    return out.str();
}

// The held value of the first of Types that the variant holds, passed to visit.
template <class... Types, class Visit>
bool visitFirst(const variant& v, Visit&& visit)
{
    return (... || [&] {
        if (const Types* held = v.getIf<Types>()) {
            visit(*held);
            return true;
        }
        return false;
    }());
}

// An integer or floating source read into a number target, or nothing when out
// of range. Floating sources truncate toward zero; NaN and infinities never
// become integers.
template <class To, class From>
std::optional<To> numberFromNumber(From value)
{
    if constexpr (std::is_integral_v<From>) {
        if constexpr (std::is_floating_point_v<To>) {
            return static_cast<To>(value);
        } else {
            using Wide = std::conditional_t<std::is_signed_v<From>, long long, unsigned long long>;
            const Wide wide = value;
            if (!std::in_range<To>(wide)) return std::nullopt;
            return static_cast<To>(wide);
        }
    } else {
        const double d = value;
        if constexpr (std::is_integral_v<To>) {
            if (!std::isfinite(d)) return std::nullopt;
            const double t = std::trunc(d);
            // Both bounds are exact in double: min is 0 or a negative power of
            // two, max + 1 rounds to the next power of two.
            constexpr double lower = static_cast<double>(std::numeric_limits<To>::min());
            constexpr double upperExclusive = static_cast<double>(std::numeric_limits<To>::max()) + 1.0;
            if (!(t >= lower && t < upperExclusive)) return std::nullopt;
            return static_cast<To>(t);
        } else if constexpr (std::is_same_v<To, float>) {
            if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) return std::nullopt;
            return static_cast<float>(d);
        } else {
            return d;
        }
    }
}

// A number read from the front of a text by the stream's own extraction:
// leading blanks skipped, trailing text ignored. Unsigned targets refuse a
// negative number (the extraction alone would wrap it around).
template <class To>
std::optional<To> numberFromText(const std::string& text)
{
    std::istringstream in(text);
    if constexpr (std::is_unsigned_v<To>) {
        in >> std::ws;
        if (in.peek() == '-') {
            long long negative = 0;
            if (!(in >> negative) || negative != 0) return std::nullopt;
            return To(0);
        }
    }
    To value{};
    if (!(in >> value)) return std::nullopt;
    return value;
}

template <class To>
std::optional<To> numberOf(const variant& v)
{
    if (const To* same = v.getIf<To>()) return *same;
    std::optional<To> result;
    const bool numeric = visitFirst<char, unsigned char, short, unsigned short, int, unsigned int, long, unsigned long,
        long long, unsigned long long, float, double>(v, [&](auto held) { result = numberFromNumber<To>(held); });
    if (numeric) return result;
    if (const bool* flag = v.getIf<bool>()) return static_cast<To>(*flag ? 1 : 0);
    if (const std::string* text = v.getIf<std::string>()) return numberFromText<To>(*text);
    if (const std::wstring* wide = v.getIf<std::wstring>()) {
        std::string text;
        try {
            text = wideToUtf8(*wide);
        } catch (const std::exception&) {
            return std::nullopt;  // malformed UTF-16 is no number either
        }
        return numberFromText<To>(text);
    }
    return std::nullopt;
}

template <class To>
To convertNumber(const variant& v)
{
    if (std::optional<To> result = numberOf<To>(v)) return *result;
    throw bad_variant_cast(v.getType(), typeid(To));
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

wchar_t asciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

template <class Text>
bool isTruthText(Text text, const std::initializer_list<Text>& words)
{
    std::transform(text.begin(), text.end(), text.begin(), [](auto c) { return asciiLower(c); });
    return std::find(words.begin(), words.end(), text) != words.end();
}

}  // namespace

std::string variant::convertToString() const
{
    if (const auto* text = getIf<std::string>()) return *text;
    std::string result;
    if (visitFirst<double, float>(*this, [&](auto held) { result = streamed(held); })) return result;
    if (visitFirst<int, unsigned int>(*this, [&](auto held) { result = decimal(held); })) return result;
    if (const bool* flag = getIf<bool>()) return *flag ? "true" : "false";
    if (const auto* wide = getIf<std::wstring>()) return wideToUtf8(*wide);
    if (visitFirst<long, unsigned long, short, unsigned short, long long, unsigned long long>(
            *this, [&](auto held) { result = decimal(held); }))
        return result;
    if (visitFirst<char, unsigned char>(*this, [&](auto held) { result.assign(1, static_cast<char>(held)); }))
        return result;
    throw bad_variant_cast(getType(), typeid(std::string));
}

std::wstring variant::convertToWString() const
{
    if (const auto* wide = getIf<std::wstring>()) return *wide;
    std::wstring result;
    if (visitFirst<double, float, int, unsigned int>(*this, [&](auto held) { result = wideStreamed(held); }))
        return result;
    if (const bool* flag = getIf<bool>()) return *flag ? L"true" : L"false";
    if (const auto* text = getIf<std::string>()) return utf8ToWide(*text);
    if (visitFirst<long, unsigned long, short, unsigned short>(*this, [&](auto held) { result = wideDecimal(held); }))
        return result;
    if (const char* c = getIf<char>()) return std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(*c)));
    if (const unsigned char* byte = getIf<unsigned char>()) return wideDecimal(static_cast<unsigned int>(*byte));
    throw bad_variant_cast(getType(), typeid(std::wstring));
}

bool variant::convertToBool() const
{
    if (const bool* flag = getIf<bool>()) return *flag;
    if (const auto* text = getIf<std::string>()) return isTruthText<std::string>(*text, {"y", "1", "yes", "true", "t"});
    if (const auto* wide = getIf<std::wstring>())
        return isTruthText<std::wstring>(*wide, {L"y", L"1", L"yes", L"true", L"t"});
    return convertToLong() != 0;
}

short variant::convertToShort() const
{
    return convertNumber<short>(*this);
}
unsigned short variant::convertToUShort() const
{
    return convertNumber<unsigned short>(*this);
}
int variant::convertToInt() const
{
    return convertNumber<int>(*this);
}
unsigned int variant::convertToUInt() const
{
    return convertNumber<unsigned int>(*this);
}
long variant::convertToLong() const
{
    return convertNumber<long>(*this);
}
unsigned long variant::convertToULong() const
{
    return convertNumber<unsigned long>(*this);
}
long long variant::convertToInt64() const
{
    return convertNumber<long long>(*this);
}
unsigned long long variant::convertToUInt64() const
{
    return convertNumber<unsigned long long>(*this);
}
float variant::convertToFloat() const
{
    return convertNumber<float>(*this);
}
double variant::convertToDouble() const
{
    return convertNumber<double>(*this);
}

}  // namespace FB
