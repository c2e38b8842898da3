// Conversions between held types: every held type against every target, the
// range edges of each width, texts as numbers and as truth values.
#include "TypeNames.h"
#include "utf8_tools.h"
#include "variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>

namespace {

using FB::variant;
using FB::VariantDict;
using FB::VariantVector;

constexpr const char* kFails = "!";

template <class T>
std::string show(const T& value)
{
    if constexpr (std::is_same_v<T, bool>)
        return value ? "true" : "false";
    else if constexpr (std::is_same_v<T, std::string>)
        return value;
    else if constexpr (std::is_same_v<T, std::wstring>)
        return FB::wideToUtf8(value);
    else {
        std::ostringstream out;
        out << value;
        return out.str();
    }
}

struct Target {
    const char* name;
    std::string failingTo;  // the "to" name of the error
    std::function<std::string(const variant&)> convert;
};

template <class T>
Target target(const char* name, std::string failingTo = "")
{
    if (failingTo.empty()) failingTo = FB::readableTypeName(typeid(T));
    return {name, failingTo, [](const variant& v) { return show(v.convert_cast<T>()); }};
}

// Column order of the table below.
const std::vector<Target>& targets()
{
    static const std::vector<Target> all = {
        target<std::string>("string"),
        target<std::wstring>("wstring"),
        target<bool>("bool", "long"),  // non-text values go through the conversion to long
        target<short>("short"),
        target<unsigned short>("ushort"),
        target<int>("int"),
        target<unsigned int>("uint"),
        target<long>("long"),
        target<unsigned long>("ulong"),
        target<long long>("int64"),
        target<unsigned long long>("uint64"),
        target<float>("float"),
        target<double>("double"),
    };
    return all;
}

struct Row {
    variant value;
    std::vector<const char*> expected;  // one per target; kFails for bad_variant_cast
};

void checkRow(const Row& row)
{
    const std::string held = FB::readableTypeName(row.value.getType());
    ASSERT_EQ(row.expected.size(), targets().size()) << held;
    for (std::size_t i = 0; i < targets().size(); ++i) {
        const Target& t = targets()[i];
        const std::string expected = row.expected[i];
        SCOPED_TRACE(held + " to " + t.name);
        if (expected != kFails) {
            EXPECT_EQ(t.convert(row.value), expected);
            continue;
        }
        try {
            const std::string result = t.convert(row.value);
            ADD_FAILURE() << "converted to " << result;
        } catch (const FB::bad_variant_cast& e) {
            EXPECT_EQ(e.from(), held);
            EXPECT_EQ(e.to(), t.failingTo);
        }
    }
}

TEST(VariantConversion, EveryHeldTypeToEveryTarget)
{
    const char* F = kFails;
    const Row rows[] = {
        //                        string  wstring  bool  short ushort int  uint  long  ulong int64 uint64 float double
        {variant(), {F, F, F, F, F, F, F, F, F, F, F, F, F}},
        {variant::makeNull(), {F, F, F, F, F, F, F, F, F, F, F, F, F}},
        {true, {"true", "true", "true", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"}},
        {false, {"false", "false", "false", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}},
        {variant::fromValue('A'), {"A", "A", "true", "65", "65", "65", "65", "65", "65", "65", "65", "65", "65"}},
        {variant::fromValue<unsigned char>(65),
            {"A", "65", "true", "65", "65", "65", "65", "65", "65", "65", "65", "65", "65"}},
        {variant::fromValue<short>(-5), {"-5", "-5", "true", "-5", F, "-5", F, "-5", F, "-5", F, "-5", "-5"}},
        {variant::fromValue<unsigned short>(7), {"7", "7", "true", "7", "7", "7", "7", "7", "7", "7", "7", "7", "7"}},
        {-1, {"-1", "-1", "true", "-1", F, "-1", F, "-1", F, "-1", F, "-1", "-1"}},
        {0, {"0", "0", "false", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}},
        {4294967295u,
            {"4294967295", "4294967295", F, F, F, F, "4294967295", F, "4294967295", "4294967295", "4294967295",
                "4.29497e+09", "4.29497e+09"}},
        {42L, {"42", "42", "true", "42", "42", "42", "42", "42", "42", "42", "42", "42", "42"}},
        {3000000000UL,
            {"3000000000", "3000000000", F, F, F, F, "3000000000", F, "3000000000", "3000000000", "3000000000", "3e+09",
                "3e+09"}},
        {1LL << 40,
            {"1099511627776", F, F, F, F, F, F, F, F, "1099511627776", "1099511627776", "1.09951e+12", "1.09951e+12"}},
        {~0ULL,
            {"18446744073709551615", F, F, F, F, F, F, F, F, F, "18446744073709551615", "1.84467e+19", "1.84467e+19"}},
        {variant::fromValue(2.5f), {"2.5", "2.5", "true", "2", "2", "2", "2", "2", "2", "2", "2", "2.5", "2.5"}},
        {-3.9, {"-3.9", "-3.9", "true", "-3", F, "-3", F, "-3", F, "-3", F, "-3.9", "-3.9"}},
        {0.5, {"0.5", "0.5", "false", "0", "0", "0", "0", "0", "0", "0", "0", "0.5", "0.5"}},
        {1e40, {"1e+40", "1e+40", F, F, F, F, F, F, F, F, F, F, "1e+40"}},
        {3.14159265, {"3.14159", "3.14159", "true", "3", "3", "3", "3", "3", "3", "3", "3", "3.14159", "3.14159"}},
        {"12abc", {"12abc", "12abc", "false", "12", "12", "12", "12", "12", "12", "12", "12", "12", "12"}},
        {"yes", {"yes", "yes", "true", F, F, F, F, F, F, F, F, F, F}},
        {L"-7", {"-7", "-7", "false", "-7", F, "-7", F, "-7", F, "-7", F, "-7", "-7"}},
        {L"\x00E4", {"\xC3\xA4", "\xC3\xA4", "false", F, F, F, F, F, F, F, F, F, F}},
        {VariantVector{1}, {F, F, F, F, F, F, F, F, F, F, F, F, F}},
        {VariantDict{{"a", 1}}, {F, F, F, F, F, F, F, F, F, F, F, F, F}},
        {FB::JSAPIPtr(), {F, F, F, F, F, F, F, F, F, F, F, F, F}},
        {std::make_shared<FB::script_error>("e"), {F, F, F, F, F, F, F, F, F, F, F, F, F}},
    };
    for (const auto& row : rows) checkRow(row);
}

TEST(VariantConversion, RangeEdgesOfEachWidth)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        variant value;
        const char* target;
        const char* expected;
    };
    const Case cases[] = {
        {32767, "short", "32767"},
        {32768, "short", kFails},
        {-32768, "short", "-32768"},
        {-32769, "short", kFails},
        {65535, "ushort", "65535"},
        {65536, "ushort", kFails},
        {2147483647LL, "int", "2147483647"},
        {2147483648LL, "int", kFails},
        {-2147483648LL, "long", "-2147483648"},
        {-2147483649LL, "long", kFails},
        {4294967295LL, "ulong", "4294967295"},
        {4294967296LL, "uint", kFails},
        {std::numeric_limits<long long>::max(), "uint64", "9223372036854775807"},
        {std::numeric_limits<long long>::min(), "int64", "-9223372036854775808"},
        {-1LL, "uint64", kFails},
        {1ULL << 63, "int64", kFails},
        {3.0, "int", "3"},
        {3.9, "int", "3"},
        {-3.9, "int", "-3"},
        {2147483648.0, "int", kFails},
        {-2147483648.0, "int", "-2147483648"},
        {-2147483649.0, "int", kFails},
        {-0.5, "uint", "0"},
        {-1.0, "uint", kFails},
        {9223372036854775808.0, "int64", kFails},
        {9223372036854775808.0, "uint64", "9223372036854775808"},
        {18446744073709551616.0, "uint64", kFails},
        {nan, "int", kFails},
        {nan, "uint64", kFails},
        {inf, "long", kFails},
        {-inf, "int64", kFails},
        {nan, "float", kFails},
        {inf, "float", kFails},
        {3.4e38, "float", "3.4e+38"},
        {3.5e38, "float", kFails},
        {nan, "double", "nan"},
    };
    for (const auto& c : cases) {
        const Target& t = *std::find_if(
            targets().begin(), targets().end(), [&](const Target& each) { return c.target == std::string(each.name); });
        SCOPED_TRACE(c.value.convertToString() + " to " + c.target);
        if (c.expected != kFails) {
            EXPECT_EQ(t.convert(c.value), c.expected);
            continue;
        }
        EXPECT_THROW(t.convert(c.value), FB::bad_variant_cast);
    }
}

TEST(VariantConversion, TextsAsNumbers)
{
    struct Case {
        variant value;
        const char* target;
        const char* expected;
    };
    const Case cases[] = {
        {"  42", "int", "42"},
        {"42 apples", "int", "42"},
        {"\t-17x", "long", "-17"},
        {"+8", "uint", "8"},
        {"apples 42", "int", kFails},
        {"", "int", kFails},
        {"   ", "long", kFails},
        {"-1", "uint", kFails},
        {"-1", "ushort", kFails},
        {"-1", "uint64", kFails},
        {" -5", "ulong", kFails},
        {"-0", "uint", "0"},
        {"32768", "short", kFails},
        {"65536", "ushort", kFails},
        {"4294967296", "uint", kFails},
        {"9223372036854775808", "int64", kFails},
        {"18446744073709551615", "uint64", "18446744073709551615"},
        {"18446744073709551616", "uint64", kFails},
        {"2.75", "double", "2.75"},
        {"2.75", "int", "2"},
        {"1e40", "double", "1e+40"},
        {"1e40", "float", kFails},
        {L" 8", "int", "8"},
        {L"\xD800", "int", kFails},
    };
    for (const auto& c : cases) {
        const Target& t = *std::find_if(
            targets().begin(), targets().end(), [&](const Target& each) { return c.target == std::string(each.name); });
        SCOPED_TRACE(std::string(c.target) + " from row " + std::to_string(&c - cases));
        if (c.expected != kFails) {
            EXPECT_EQ(t.convert(c.value), c.expected);
            continue;
        }
        try {
            t.convert(c.value);
            ADD_FAILURE() << "converted";
        } catch (const FB::bad_variant_cast& e) {
            EXPECT_EQ(e.from(), FB::readableTypeName(c.value.getType()));
        }
    }
}

TEST(VariantConversion, TruthTexts)
{
    const std::pair<variant, bool> cases[] = {
        {"Yes", true},
        {"TRUE", true},
        {"t", true},
        {"1", true},
        {"y", true},
        {"on", false},
        {"2", false},
        {" yes", false},
        {"yes ", false},
        {"", false},
        {L"Yes", true},
        {L"T", true},
        {L"no", false},
        {L"\x0130", false},
        {"\xC3\x9D", false},  // a non-ASCII capital is not lowered into anything
        {2, true},
        {-1, true},
        {0L, false},
        {0.5, false},
        {1.5, true},
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(value.convertToBool(), expected) << value.convertToString();
}

TEST(VariantConversion, MalformedUtfPassesThroughTextConversions)
{
    try {
        variant(L"\xDC00").convertToString();
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Invalid UTF-16");
    }
    try {
        variant("\xFF").convertToWString();
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Invalid UTF-8");
    }
}

TEST(VariantConversion, ContainersAreReadOnlyAsThemselves)
{
    const VariantVector list{1, "a"};
    EXPECT_EQ(variant(list).convert_cast<VariantVector>().size(), 2u);
    EXPECT_EQ(variant(VariantDict{{"k", 1}}).convert_cast<VariantDict>().count("k"), 1u);
    EXPECT_THROW(variant(1).convert_cast<VariantVector>(), FB::bad_variant_cast);
    EXPECT_THROW(variant(list).convert_cast<VariantDict>(), FB::bad_variant_cast);
    EXPECT_EQ(variant(7).convert_cast<variant>().cast<int>(), 7);
}

}  // namespace
