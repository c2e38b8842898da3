// Values between VARIANT and FB::variant through the ActiveX browser host, and
// the page objects and COM wrappers they become: a host without a page window
// (lists and maps become SAFEARRAYs there; the page-window road is proved by
// page script in the page host).
#include "ActiveXBrowserHost.h"
#include "ActiveXTestSupport.h"
#include "COMJavascriptObject.h"
#include "FakeDispatch.h"
#include "IDispatchAPI.h"
#include "JSAPIAuto.h"
#include "TypeNames.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <thread>

using FB::ActiveX::ActiveXBrowserHost;
using FB::ActiveX::IDispatchAPI;

namespace {

std::string describe(const FB::variant& value)
{
    std::string text = FB::readableTypeName(value.getType());
    try {
        if (!value.isEmpty() && !value.isNull()) text += " " + value.convertToString();
    } catch (const std::exception&) {
        text += " <object>";
    }
    return text;
}

class ActiveXValues : public ::testing::Test {
protected:
    void SetUp() override { host = std::make_shared<ActiveXBrowserHost>(nullptr, nullptr); }
    void TearDown() override
    {
        host->shutDownHost();
        host.reset();
    }

    FB::variant in(const VARIANT& value) { return host->getVariant(&value); }
    Com::Variant out(const FB::variant& value)
    {
        Com::Variant converted;
        host->getComVariant(&converted.Get(), value);
        return converted;
    }

    std::shared_ptr<ActiveXBrowserHost> host;
};

template <class Set>
Com::Variant make(VARTYPE type, Set set)
{
    Com::Variant value;
    set(value.Get());
    V_VT(&value.Get()) = type;
    return value;
}

TEST_F(ActiveXValues, VariantsArriveAsTheirValues)
{
    DECIMAL decimal{};
    VarDecFromR8(2.25, &decimal);
    LONG byReference = 42;
    const struct {
        const char* name;
        Com::Variant value;
        FB::variant expected;
    } cases[] = {
        {"VT_I2", make(VT_I2, [](VARIANT& v) { V_I2(&v) = 5; }), FB::variant(5L)},
        {"VT_UI1", make(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 200; }), FB::variant(200L)},
        {"VT_I1", make(VT_I1, [](VARIANT& v) { V_I1(&v) = -3; }), FB::variant(-3L)},
        {"VT_R4", make(VT_R4, [](VARIANT& v) { V_R4(&v) = 1.5f; }), FB::variant(1.5)},
        {"VT_DECIMAL", make(VT_DECIMAL, [&](VARIANT& v) { V_DECIMAL(&v) = decimal; }), FB::variant(2.25)},
        {"VT_BOOL true", make(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_TRUE; }), FB::variant(true)},
        {"VT_BOOL false", make(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_FALSE; }), FB::variant(false)},
        {"VT_UI4 max", make(VT_UI4, [](VARIANT& v) { V_UI4(&v) = 0xFFFFFFFFu; }), FB::variant(4294967295UL)},
        {"VT_I8 min", make(VT_I8, [](VARIANT& v) { V_I8(&v) = LLONG_MIN; }), FB::variant(LLONG_MIN)},
        {"VT_I8 max", make(VT_I8, [](VARIANT& v) { V_I8(&v) = LLONG_MAX; }), FB::variant(LLONG_MAX)},
        {"VT_UI8 max", make(VT_UI8, [](VARIANT& v) { V_UI8(&v) = ULLONG_MAX; }), FB::variant(ULLONG_MAX)},
        {"VT_BSTR non-ASCII", Com::Variant(std::wstring_view(L"caf\u00e9")), FB::variant("caf\xC3\xA9")},
        {"VT_CY", make(VT_CY, [](VARIANT& v) { V_CY(&v).int64 = 10000; }), FB::variant()},
        {"VT_DATE", make(VT_DATE, [](VARIANT& v) { V_DATE(&v) = 1.0; }), FB::variant()},
        {"VT_BYREF|VT_I4", make(VT_BYREF | VT_I4, [&](VARIANT& v) { V_I4REF(&v) = &byReference; }), FB::variant(42L)},
        {"VT_NULL", make(VT_NULL, [](VARIANT&) {}), FB::variant::makeNull()},
        {"VT_EMPTY", Com::Variant(), FB::variant()},
        {"VT_ERROR (missing argument)", make(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }),
            FB::variant()},
        {"VT_DISPATCH null", Com::Variant(static_cast<IDispatch*>(nullptr)), FB::variant::makeNull()},
    };
    for (const auto& each : cases) {
        FB::variant got = in(each.value.Get());
        EXPECT_EQ(describe(got), describe(each.expected)) << each.name;
        EXPECT_TRUE(got.getType() == each.expected.getType()) << each.name;
    }

    // Arrays stay empty.
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    Com::Variant arrayValue = make(VT_ARRAY | VT_VARIANT, [&](VARIANT& v) { V_ARRAY(&v) = array; });
    EXPECT_TRUE(in(arrayValue.Get()).isEmpty());
}

TEST_F(ActiveXValues, ValuesLeaveAsTheirVariants)
{
    const struct {
        FB::variant value;
        VARTYPE type;
        const wchar_t* text;  // the value as VariantChangeType writes it
    } cases[] = {
        {FB::variant(true), VT_BOOL, L"-1"},
        {FB::variant::fromValue<char>('A'), VT_I1, L"65"},
        {FB::variant::fromValue<unsigned char>(200), VT_UI1, L"200"},
        {FB::variant::fromValue<short>(-7), VT_I2, L"-7"},
        {FB::variant::fromValue<unsigned short>(65535), VT_UI2, L"65535"},
        {FB::variant(-12), VT_I4, L"-12"},
        {FB::variant(123456L), VT_I4, L"123456"},
        {FB::variant(4000000000U), VT_UI4, L"4000000000"},
        {FB::variant(4294967295UL), VT_UI4, L"4294967295"},
        {FB::variant(LLONG_MIN), VT_I8, L"-9223372036854775808"},
        {FB::variant(ULLONG_MAX), VT_UI8, L"18446744073709551615"},
        {FB::variant::fromValue<float>(1.5f), VT_R4, L"1.5"},
        {FB::variant(2.25), VT_R8, L"2.25"},
        {FB::variant("caf\xC3\xA9"), VT_BSTR, L"caf\u00e9"},
        {FB::variant(L"wide"), VT_BSTR, L"wide"},
    };
    for (const auto& each : cases) {
        Com::Variant converted = out(each.value);
        EXPECT_EQ(converted.Type(), each.type) << describe(each.value);
        Com::Variant text;
        ASSERT_HRESULT_SUCCEEDED(VariantChangeType(text.Put(), &converted.Get(), 0, VT_BSTR)) << describe(each.value);
        EXPECT_EQ(std::wstring(V_BSTR(&text.Get())), each.text) << describe(each.value);
    }
    EXPECT_EQ(out(FB::variant()).Type(), VT_EMPTY);
    EXPECT_EQ(out(FB::variant::makeNull()).Type(), VT_NULL);
    EXPECT_EQ(out(FB::variant::fromValue(std::vector<int>{1})).Type(), VT_EMPTY) << "a type without a builder";
    EXPECT_EQ(out(FB::variant(FB::JSAPIPtr())).Type(), VT_NULL);
    EXPECT_EQ(out(FB::variant::fromValue(FB::JSAPIWeakPtr())).Type(), VT_NULL);
    EXPECT_EQ(out(FB::variant(FB::JSObjectPtr())).Type(), VT_NULL);

    // The output is cleared before it receives the value.
    Com::Variant reused(std::wstring_view(L"old text"));
    host->getComVariant(&reused.Get(), FB::variant(7));
    EXPECT_EQ(reused.Type(), VT_I4);
}

// Without a page window, lists and maps become SAFEARRAYs of VARIANT; elements
// without a builder are left out.
TEST_F(ActiveXValues, ListsAndMapsWithoutAPageWindowBecomeSafeArrays)
{
    const FB::variant unbuildable = FB::variant::fromValue(std::vector<int>{1});
    Com::Variant list = out(FB::VariantVector{FB::variant(1), FB::variant("a"), unbuildable, FB::variant(true)});
    ASSERT_EQ(list.Type(), VT_ARRAY | VT_VARIANT);
    SAFEARRAY* elements = V_ARRAY(&list.Get());
    LONG low = -1, high = -1;
    SafeArrayGetLBound(elements, 1, &low);
    SafeArrayGetUBound(elements, 1, &high);
    ASSERT_EQ(low, 0);
    ASSERT_EQ(high, 2);
    const VARTYPE listTypes[] = {VT_I4, VT_BSTR, VT_BOOL};
    for (LONG i = 0; i <= high; ++i) {
        Com::Variant element;
        ASSERT_HRESULT_SUCCEEDED(SafeArrayGetElement(elements, &i, element.Put()));
        EXPECT_EQ(element.Type(), listTypes[i]) << i;
    }

    Com::Variant map = out(FB::VariantDict{{"a", FB::variant(1)}, {"b", unbuildable}, {"c", FB::variant("x")}});
    ASSERT_EQ(map.Type(), VT_ARRAY | VT_VARIANT);
    SAFEARRAY* entries = V_ARRAY(&map.Get());
    SafeArrayGetUBound(entries, 1, &high);
    ASSERT_EQ(high, 1);
    const wchar_t* keys[] = {L"a", L"c"};
    const VARTYPE valueTypes[] = {VT_I4, VT_BSTR};
    for (LONG i = 0; i <= high; ++i) {
        Com::Variant entry;
        ASSERT_HRESULT_SUCCEEDED(SafeArrayGetElement(entries, &i, entry.Put()));
        ASSERT_EQ(entry.Type(), VT_ARRAY | VT_VARIANT);
        Com::Variant key, value;
        LONG first = 0, second = 1;
        SafeArrayGetElement(V_ARRAY(&entry.Get()), &first, key.Put());
        SafeArrayGetElement(V_ARRAY(&entry.Get()), &second, value.Put());
        ASSERT_EQ(key.Type(), VT_BSTR);
        EXPECT_EQ(std::wstring(V_BSTR(&key.Get())), keys[i]);
        EXPECT_EQ(value.Type(), valueTypes[i]);
    }
}

// A page object arrives as an IDispatchAPI and leaves as the very same
// pointer; its COM reference goes back once the last wrapper is gone.
TEST_F(ActiveXValues, PageObjectsRoundTripAndGiveTheirReferenceBack)
{
    auto page = FakeDispatch::make();
    const ULONG baseline = page->references();
    {
        FB::variant value = in(Com::Variant(static_cast<IDispatch*>(page.Get())).Get());
        auto object = std::dynamic_pointer_cast<IDispatchAPI>(value.convertToJSObject());
        ASSERT_TRUE(object);
        EXPECT_EQ(object->getIDispatch(), page.Get());
        EXPECT_FALSE(object->getWrappedJSAPI());
        Com::Variant back = out(value);
        ASSERT_EQ(back.Type(), VT_DISPATCH);
        EXPECT_EQ(V_DISPATCH(&back.Get()), page.Get());
        EXPECT_GT(page->references(), baseline);
    }
    EXPECT_EQ(page->references(), baseline);
    EXPECT_EQ(host->retainedObjectCount(), 0u);
}

// The plug-in's own objects leave as one cached COM wrapper per live object; a
// wrapper that went is made anew. Handed back, a wrapper arrives as its API.
TEST_F(ActiveXValues, OwnObjectsLeaveAsOneWrapperPerLiveObject)
{
    auto api = std::make_shared<FB::JSAPIAuto>();
    Com::Variant first = out(FB::variant(FB::JSAPIPtr(api)));
    Com::Variant second = out(FB::variant(FB::JSAPIPtr(api)));
    ASSERT_EQ(first.Type(), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&first.Get()), V_DISPATCH(&second.Get()));
    EXPECT_EQ(host->cachedWrapperCount(), 1u);

    FB::variant back = in(first.Get());
    auto object = std::dynamic_pointer_cast<IDispatchAPI>(back.convertToJSObject());
    ASSERT_TRUE(object);
    EXPECT_EQ(object->getWrappedJSAPI(), api);
    back.reset();
    object.reset();

    first.Clear();
    second.Clear();
    host->releasePendingObjects();
    EXPECT_EQ(host->cachedWrapperCount(), 0u);
    Com::Variant again = out(FB::variant(FB::JSAPIPtr(api)));
    EXPECT_EQ(again.Type(), VT_DISPATCH);
    EXPECT_EQ(host->cachedWrapperCount(), 1u);
}

// Auto-released wrappers keep their API alive while they live.
TEST_F(ActiveXValues, AnAutoReleasedWrapperKeepsItsApiAlive)
{
    auto api = std::make_shared<FB::JSAPIAuto>();
    std::weak_ptr<FB::JSAPIAuto> watch = api;
    Com::Variant wrapper = out(FB::variant(FB::JSAPIPtr(api)));
    api.reset();
    EXPECT_FALSE(watch.expired());
    wrapper.Clear();
    EXPECT_TRUE(watch.expired());
}

}  // namespace
