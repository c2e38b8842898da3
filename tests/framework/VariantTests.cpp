// What a variant holds, its exact casts and its order as a map key.
#include "PageObject.h"
#include "TypeNames.h"
#include "VariantList.h"
#include "variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <set>

namespace {

using FB::variant;
using FB::VariantDict;
using FB::VariantVector;

// A shared pointer of the given type that shares ownership with `owner`, so
// that object identity can be tested without a scriptable class.
template <class T>
std::shared_ptr<T> alias(const std::shared_ptr<int>& owner)
{
    return std::shared_ptr<T>(owner, nullptr);
}

TEST(Variant, ConstructionPicksTheHeldType)
{
    struct Case {
        variant value;
        const std::type_info& type;
    };
    const Case cases[] = {
        {variant(), typeid(FB::variant_detail::empty)},
        {variant::makeNull(), typeid(FB::variant_detail::null)},
        {true, typeid(bool)},
        {1, typeid(int)},
        {1u, typeid(unsigned int)},
        {1L, typeid(long)},
        {1UL, typeid(unsigned long)},
        {1LL, typeid(long long)},
        {1ULL, typeid(unsigned long long)},
        {1.5, typeid(double)},
        {"text", typeid(std::string)},
        {std::string("text"), typeid(std::string)},
        {L"text", typeid(std::wstring)},
        {VariantVector{1, 2}, typeid(VariantVector)},
        {VariantDict{{"a", 1}}, typeid(VariantDict)},
        {FB::JSAPIPtr(), typeid(FB::JSAPIPtr)},
        {FB::JSObjectPtr(), typeid(FB::JSObjectPtr)},
        {std::make_shared<FB::script_error>("x"), typeid(FB::ScriptErrorPtr)},
        {std::make_shared<FB::invalid_arguments>(), typeid(FB::ScriptErrorPtr)},
        {variant::fromValue('c'), typeid(char)},
        {variant::fromValue(2.5f), typeid(float)},
        {variant::fromValue(FB::JSAPIWeakPtr()), typeid(FB::JSAPIWeakPtr)},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(c.value.getType() == c.type) << FB::readableTypeName(c.type);
    }
}

// Same held type and equivalent by that type's own order.
bool sameValue(const variant& a, const variant& b)
{
    return a.getType() == b.getType() && !(a < b) && !(b < a);
}

TEST(Variant, NamedMakersHoldTheirTypes)
{
    auto owner = std::make_shared<int>();
    auto error = std::make_shared<FB::script_error>("x");
    struct Case {
        const char* maker;
        variant made;
        variant expected;
    };
    const Case cases[] = {
        {"fromBool", variant::fromBool(true), true},
        {"fromInt", variant::fromInt(-3), -3},
        {"fromUInt", variant::fromUInt(3u), 3u},
        {"fromLong", variant::fromLong(-3L), -3L},
        {"fromString", variant::fromString("s"), std::string("s")},
        {"fromCString", variant::fromCString("c"), std::string("c")},
        {"makeFromCString of null", variant::makeFromCString(nullptr), std::string()},
        {"fromWString", variant::fromWString(L"w"), std::wstring(L"w")},
        {"fromWideCString of null", variant::fromWideCString(nullptr), std::wstring()},
        {"fromJSAPI of a page object", variant::fromJSAPI(alias<FB::JSObject>(owner)), alias<FB::JSAPI>(owner)},
        {"fromObjectPointer", variant::fromObjectPointer(alias<fbtest::PageObject>(owner)),
            alias<FB::JSObject>(owner)},
        {"fromScriptErrorPointer", variant::fromScriptErrorPointer(error), error},
    };
    for (const auto& c : cases) EXPECT_TRUE(sameValue(c.made, c.expected)) << c.maker;
    EXPECT_TRUE(variant::fromJSAPI(alias<FB::JSObject>(owner)).is_of_type<FB::JSAPIPtr>());
}

TEST(Variant, TypedAssignmentReplacesTheHeldValue)
{
    auto owner = std::make_shared<int>();
    struct Case {
        const char* assignment;
        std::function<void(variant&)> assign;
        variant expected;
    };
    const Case cases[] = {
        {"assignBool", [](variant& v) { v.assignBool(true); }, true},
        {"assignInt", [](variant& v) { v.assignInt(2); }, 2},
        {"assignLong", [](variant& v) { v.assignLong(2L); }, 2L},
        {"assignDouble", [](variant& v) { v.assignDouble(2.5); }, 2.5},
        {"assignString", [](variant& v) { v.assignString("s"); }, std::string("s")},
        {"assignCString", [](variant& v) { v.assignCString("c"); }, std::string("c")},
        {"assignCString of null", [](variant& v) { v.assignCString(nullptr); }, std::string()},
        {"assignJSAPI", [&](variant& v) { v.assignJSAPI(alias<FB::JSObject>(owner)); }, alias<FB::JSAPI>(owner)},
        {"assignJSObject", [&](variant& v) { v.assignJSObject(alias<FB::JSObject>(owner)); },
            alias<FB::JSObject>(owner)},
        {"assignObjectPointer", [&](variant& v) { v.assignObjectPointer(alias<fbtest::PageObject>(owner)); },
            alias<FB::JSObject>(owner)},
        {"assignNull", [](variant& v) { v.assignNull(); }, variant::makeNull()},
        {"reset", [](variant& v) { v.reset(); }, variant()},
        {"assignFrom", [](variant& v) { v.assignFrom(variant(L"w")); }, std::wstring(L"w")},
    };
    for (const auto& c : cases) {
        auto error = std::make_shared<FB::script_error>("old");
        variant target = error;
        c.assign(target);
        EXPECT_TRUE(sameValue(target, c.expected)) << c.assignment;
        EXPECT_EQ(error.use_count(), 1) << c.assignment << " lets the old value go";
    }
}

TEST(Variant, EmptyAndNullTests)
{
    variant moved = 5;
    variant target = std::move(moved);
    EXPECT_TRUE(moved.getType() == typeid(void));  // NOLINT: a moved-from value has no holder
    EXPECT_TRUE(moved.isEmpty());
    EXPECT_FALSE(moved.isNull());
    variant alsoMoved = 6;
    variant other = std::move(alsoMoved);
    EXPECT_FALSE(moved < alsoMoved);                              // NOLINT: moved-from values stay comparable
    EXPECT_FALSE(alsoMoved < moved);                              // NOLINT
    EXPECT_THROW(moved.convertToString(), FB::bad_variant_cast);  // NOLINT

    EXPECT_TRUE(variant().isEmpty());
    EXPECT_FALSE(variant().isNull());
    EXPECT_TRUE(variant::makeNull().isNull());
    EXPECT_FALSE(variant::makeNull().isEmpty());
    EXPECT_FALSE(variant(0).isEmpty());

    variant v = "x";
    v.assignNull();
    EXPECT_TRUE(v.isNull());
    v.reset();
    EXPECT_TRUE(v.isEmpty());
}

TEST(Variant, ExactCastAcceptsOnlyTheHeldType)
{
    const variant value = 7;
    EXPECT_EQ(value.cast<int>(), 7);
    EXPECT_TRUE(value.is_of_type<int>());
    EXPECT_FALSE(value.is_of_type<long>());
    EXPECT_EQ(value.getIf<long>(), nullptr);
    try {
        value.cast<long>();
        FAIL() << "int read as long";
    } catch (const FB::bad_variant_cast& e) {
        EXPECT_STREQ(e.what(), "bad cast");
        EXPECT_EQ(e.from(), "int");
        EXPECT_EQ(e.to(), "long");
    }
    EXPECT_EQ(variant::fromValue('c').getChar(), 'c');
    EXPECT_EQ(variant::fromValue(static_cast<unsigned char>(200)).getUChar(), 200);
    EXPECT_THROW(variant::fromValue(static_cast<unsigned char>(1)).getChar(), FB::bad_variant_cast);
    EXPECT_THROW(value.getUChar(), FB::bad_variant_cast);
    try {
        variant(L"w").getVariantVector();
        FAIL() << "text read as list";
    } catch (const FB::bad_variant_cast& e) {
        EXPECT_EQ(e.from(), "std::wstring");
        EXPECT_EQ(e.to(), "FB::VariantVector");
    }
}

TEST(Variant, ReadableTypeNames)
{
    const std::pair<const std::type_info&, const char*> cases[] = {
        {typeid(int), "int"},
        {typeid(long), "long"},
        {typeid(unsigned long long), "unsigned long long"},
        {typeid(std::string), "std::string"},
        {typeid(std::wstring), "std::wstring"},
        {typeid(VariantDict), "FB::VariantDict"},
        {typeid(FB::JSObjectPtr), "std::shared_ptr<FB::JSObject>"},
        {typeid(FB::variant_detail::null), "FB::variant_detail::null"},
    };
    for (const auto& [type, name] : cases) EXPECT_EQ(FB::readableTypeName(type), name);
}

TEST(Variant, CopiesShareHeldObjectsAndSelfAssignmentKeepsTheValue)
{
    auto error = std::make_shared<FB::script_error>("boom");
    variant first = error;
    {
        variant second = first;
        EXPECT_EQ(error.use_count(), 3);
        EXPECT_EQ(second.getScriptErrorPointer().get(), error.get());
    }
    EXPECT_EQ(error.use_count(), 2);
    first = first;
    EXPECT_EQ(first.getScriptErrorPointer().get(), error.get());
    first = 3;
    EXPECT_EQ(error.use_count(), 1);

    variant list = VariantVector{1, "a"};
    list = list;
    ASSERT_EQ(list.getVariantVector().size(), 2u);
    EXPECT_EQ(list.getVariantVector()[1].cast<std::string>(), "a");
}

TEST(Variant, MovesAndCopiesKeepValuesOfEverySize)
{
    // Small values live inside the variant, larger ones on the heap: both move and copy alike.
    auto error = std::make_shared<FB::script_error>("boom");
    const variant cases[] = {
        true,
        -7,
        1LL << 40,
        2.5,
        variant::makeNull(),
        error,
        variant::fromValue(FB::JSAPIWeakPtr()),
        std::string(100, 'x'),
        std::wstring(L"wide"),
        VariantVector{1, "a"},
        VariantDict{{"k", 2.5}},
    };
    auto same = [](const variant& a, const variant& b) { return a.getType() == b.getType() && !(a < b) && !(b < a); };
    for (const variant& value : cases) {
        variant copy = value;
        EXPECT_TRUE(same(copy, value)) << copy.getType().name();
        variant moved = std::move(copy);
        EXPECT_TRUE(same(moved, value)) << value.getType().name();
        EXPECT_TRUE(copy.getType() == typeid(void));  // NOLINT: moved from
        variant target = 1;
        target = std::move(moved);
        EXPECT_TRUE(same(target, value)) << value.getType().name();
        target = value;
        EXPECT_TRUE(same(target, value)) << value.getType().name();
    }
    EXPECT_EQ(error.use_count(), 2) << "one held by the table, none left behind by the moves";
}

TEST(Variant, CarriedScriptErrorIsReadBackAsACopy)
{
    FB::script_error byValue("by value");
    FB::script_error plain("plain");
    const std::pair<variant, const char*> cases[] = {
        {std::make_shared<FB::invalid_member>("x"), "The specified member does not exist: x"},
        {variant::fromValue(byValue), "by value"},
        {variant::fromValue(&plain), "plain"},
    };
    for (const auto& [value, text] : cases) EXPECT_STREQ(value.getScriptError().what(), text);
    try {
        variant(1).getScriptError();
        FAIL();
    } catch (const FB::bad_variant_cast& e) {
        EXPECT_EQ(e.from(), "int");
        EXPECT_EQ(e.to(), "FB::script_error");
    }
}

TEST(Variant, ListBuilderKeepsOrder)
{
    const VariantVector list = FB::makeVariantVector(1)("two").appendVariant(3.0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].cast<int>(), 1);
    EXPECT_EQ(list[1].cast<std::string>(), "two");
    EXPECT_EQ(list[2].cast<double>(), 3.0);
}

TEST(VariantOrder, WithinOneType)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Each pair: left < right, and not the other way round.
    const std::pair<variant, variant> cases[] = {
        {false, true},
        {-1, 0},
        {2147483647u, 4294967295u},
        {-(1LL << 40), 1LL << 40},
        {1ULL << 63, ~0ULL},
        {-inf, 0.0},
        {inf, nan},
        {"ab", "abc"},
        {"abc", "b"},
        {"z", "\xC3\xA4"},  // bytes compare unsigned
        {L"ab", L"abc"},
        {L"z", L"\x00E4"},
        {VariantVector{1, 2}, VariantVector{1, 2, 3}},
        {VariantVector{1, 5}, VariantVector{2}},
        {VariantVector{}, VariantVector{variant()}},
        {VariantDict{{"a", 1}}, VariantDict{{"b", 0}}},
        {VariantDict{{"a", 1}}, VariantDict{{"a", 2}}},
        {VariantDict{{"a", 1}}, VariantDict{{"a", 1}, {"b", 0}}},
        {VariantVector{VariantDict{{"k", "a"}}}, VariantVector{VariantDict{{"k", "b"}}}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_TRUE(cases[i].first < cases[i].second) << "case " << i;
        EXPECT_FALSE(cases[i].second < cases[i].first) << "case " << i;
    }
}

TEST(VariantOrder, EquivalentValues)
{
    auto owner = std::make_shared<int>(0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<variant, variant> cases[] = {
        {variant(), variant()},
        {variant::makeNull(), variant::makeNull()},
        {nan, -nan},
        {VariantVector{1, "x"}, VariantVector{1, "x"}},
        {alias<FB::JSAPI>(owner), alias<FB::JSAPI>(owner)},
        {alias<FB::JSObject>(owner), alias<FB::JSObject>(owner)},
    };
    for (const auto& [left, right] : cases) {
        EXPECT_FALSE(left < right);
        EXPECT_FALSE(right < left);
    }
    EXPECT_TRUE(variant(alias<FB::JSAPI>(owner)) < variant(alias<FB::JSAPI>(std::make_shared<int>(0))) ||
        variant(alias<FB::JSAPI>(std::make_shared<int>(0))) < variant(alias<FB::JSAPI>(owner)));
}

TEST(VariantOrder, IsAStrictWeakOrderAcrossTypes)
{
    auto owner = std::make_shared<int>(0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<variant> values = {
        variant(),
        variant(),
        variant::makeNull(),
        1,
        1L,
        1u,
        1LL,
        1.0,
        nan,
        nan,
        -2.0,
        true,
        "1",
        L"1",
        "",
        VariantVector{},
        VariantVector{1},
        VariantVector{1L},
        VariantDict{},
        VariantDict{{"a", 1}},
        alias<FB::JSAPI>(owner),
        alias<FB::JSObject>(owner),
        variant::fromValue('1'),
    };
    auto equivalent = [](const variant& a, const variant& b) { return !(a < b) && !(b < a); };
    for (const auto& a : values) {
        EXPECT_FALSE(a < a);
        for (const auto& b : values) {
            if (a < b) {
                EXPECT_FALSE(b < a);
            }
            for (const auto& c : values) {
                if (a < b && b < c) {
                    EXPECT_TRUE(a < c);
                }
                if (equivalent(a, b) && equivalent(b, c)) {
                    EXPECT_TRUE(equivalent(a, c));
                }
            }
        }
    }
}

TEST(VariantOrder, KeysOfDifferentTypesStayApart)
{
    std::map<variant, std::string> map;
    const std::pair<variant, const char*> entries[] = {
        {1, "int"},
        {1L, "long"},
        {1.0, "double"},
        {"1", "text"},
        {L"1", "wide"},
        {variant(), "empty"},
        {variant::makeNull(), "null"},
        {std::nan(""), "nan"},
    };
    for (const auto& [key, name] : entries) map[key] = name;
    map[std::nan("")] = "nan again";
    ASSERT_EQ(map.size(), std::size(entries));
    EXPECT_EQ(map[1L], "long");
    EXPECT_EQ(map[variant::makeNull()], "null");
    EXPECT_EQ(map[std::nan("")], "nan again");
}

}  // namespace
