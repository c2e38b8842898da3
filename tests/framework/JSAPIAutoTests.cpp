// An automatic scriptable object as the browser bridges drive it: invoke with
// argument checks, properties, attributes, member listing and zones.
#include "ScriptObjectTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using FB::variant;
using FB::VariantVector;

class JSAPIAutoTest : public ScriptObjectTest {};

TEST_F(JSAPIAutoTest, ArgumentCountAndConversionErrors)
{
    struct Case {
        const char* method;
        VariantVector args;
        const char* error;
    };
    const variant fn = callback;
    const Case cases[] = {
        {"Cap", {}, "Error: Argument 2is not optional."},
        {"Cap", {L"cam"}, "Error: Argument 2is not optional."},
        {"Cap", {L"cam", fn, 3}, "Too many arguments, expected 2."},
        {"Cap", {L"cam", 5}, "Invalid argument conversion from int to std::shared_ptr<FB::JSObject> at index 2"},
        {"Cap", {VariantVector{}, fn}, "Invalid argument conversion from FB::VariantVector to std::wstring at index 1"},
        {"sendvideoX", {}, "Error: Argument 5is not optional."},
        {"sendvideoX", {"a", "b", "c"}, "Error: Argument 5is not optional."},
        // Arguments are checked from the last to the first.
        {"sendvideoX", {"a", FB::VariantDict{}, "c", VariantVector{}, fn},
            "Invalid argument conversion from FB::VariantVector to std::wstring at index 4"},
        {"dostop", {}, "Error: Argument 1is not optional."},
        {"dostop", {"abc"}, "Invalid argument conversion from std::string to long at index 1"},
        {"dostop", {1e40}, "Invalid argument conversion from double to long at index 1"},
        {"dostop", {1, 2}, "Too many arguments, expected 1."},
        {"echo", {1, 2}, "Too many arguments, expected 1."},
        {"getAttribute", {}, "Error: Argument 1is not optional."},
        {"nothere", {}, "The specified member does not exist: nothere"},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf([&] { api->invoke(c.method, c.args); }), c.error) << c.method;
    EXPECT_TRUE(api->lastSend.empty()) << "no member ran";
}

TEST_F(JSAPIAutoTest, ConvertedCallsAndResults)
{
    struct Case {
        const char* method;
        VariantVector args;
        variant result;
    };
    const Case cases[] = {
        {"dostop", {"7"}, 8L},
        {"dostop", {2.9}, 3L},
        {"Cap", {L"cam", variant::makeNull()}, 0L},
        {"Cap", {"narrow text", variant()}, 0L},
        {"sendvideoX", {"a", 1, L"640x480", true, callback}, 3L},
        {"echo", {}, variant()},
        {"echo", {"x"}, "x"},
        {"testEvent", {1, 2, 3}, variant()},
        {"toString", {"ignored"}, "<JSAPI-Auto Javascript Object>"},
        {"setAttribute", {"k"}, variant()},
    };
    for (const auto& c : cases) {
        const variant result = api->invoke(c.method, c.args);
        EXPECT_TRUE(!(result < c.result) && !(c.result < result)) << c.method;
    }
    EXPECT_EQ(api->lastSend, (std::vector<std::wstring>{L"a", L"1", L"640x480", L"true"}));
    EXPECT_EQ(api->lastCamera, L"narrow text");
    EXPECT_TRUE(api->getAttribute("k").isEmpty());
    EXPECT_TRUE(api->hasProperty("k"));
}

TEST_F(JSAPIAutoTest, WideNamesReachTheNarrowMembers)
{
    EXPECT_EQ(api->invoke(L"dostop", {1}).cast<long>(), 2L);
    EXPECT_TRUE(api->hasMethod(L"Cap"));
    EXPECT_EQ(api->getProperty(L"version").cast<std::string>(), "1.0.0.1");
    EXPECT_EQ(errorOf([&] { api->invoke(std::wstring(L"\xD800"), {}); }), "Invalid UTF-16");
    EXPECT_EQ(errorOf([&] { api->hasProperty(std::wstring(L"x\xDC00")); }), "Invalid UTF-16");
}

TEST_F(JSAPIAutoTest, BadCastEscapingAMemberBecomesInvalidArguments)
{
    api->addMethod("strict", [](const VariantVector& args) -> variant { return args.at(0).cast<long>(); });
    EXPECT_EQ(errorOf([&] { api->invoke("strict", {1}); }), "Could not convert from int to long");
    api->addProperty("strictProperty", {[] { return variant(); }, [](const variant& v) { v.cast<bool>(); }});
    EXPECT_EQ(errorOf([&] { api->setProperty("strictProperty", 1); }), "Could not convert from int to bool");
}

TEST_F(JSAPIAutoTest, MemberListInByteOrderWithBuiltIns)
{
    const std::vector<std::string> expected = {"Cap", "dostop", "echo", "getAttribute", "sendvideoX", "setAttribute",
        "testEvent", "testString", "toString", "valid", "value", "version"};
    EXPECT_EQ(api->listMemberNames(), expected);
    EXPECT_EQ(api->countMembers(), expected.size());

    api->setProperty("zeta", 1);
    api->setProperty("Alpha", 2);
    const auto names = api->listMemberNames();
    EXPECT_EQ(names.front(), "Alpha");
    EXPECT_EQ(names.back(), "zeta");
    EXPECT_EQ(api->listMemberNamesWide().front(), L"Alpha");
}

TEST_F(JSAPIAutoTest, BuiltInsAndProperties)
{
    EXPECT_EQ(api->invoke("toString", {}).cast<std::string>(), "<JSAPI-Auto Javascript Object>");
    EXPECT_EQ(api->getProperty("value").cast<std::string>(), "<JSAPI-Auto Javascript Object>");
    EXPECT_EQ(api->getProperty("valid").cast<bool>(), true);

    api->setProperty("version", "2.0");
    EXPECT_EQ(api->getProperty("version").cast<std::string>(), "1.0.0.1");
    api->setProperty(L"testString", L"wide \x00E4");
    EXPECT_EQ(api->getProperty("testString").cast<std::string>(), "wide \xC3\xA4");
    EXPECT_EQ(errorOf([&] { api->setProperty("testString", VariantVector{}); }),
        "Invalid argument conversion from FB::VariantVector to std::string");
    EXPECT_EQ(api->getProperty("testString").cast<std::string>(), "wide \xC3\xA4");

    EXPECT_EQ(errorOf([&] { api->construct({}); }), "The specified member does not exist: constructor");
    EXPECT_TRUE(api->getProperty("Cap").is_of_type<FB::JSAPIPtr>()) << "methods read as function objects";
}

TEST_F(JSAPIAutoTest, ChangingAMemberOrAReservedNameChangesOneObjectOnly)
{
    // Objects share their built-in members and reserved names until one changes them.
    auto other = std::make_shared<BroadcastTestAPI>();
    api->addMethod("toString", [](const VariantVector&) { return variant("replaced"); });
    api->removeMethod("getAttribute");
    api->dropProperty("valid");
    api->addReservedName("volume");
    api->setProperty("width", 640);

    EXPECT_EQ(api->invoke("toString", {}).cast<std::string>(), "replaced");
    EXPECT_FALSE(api->hasMethod("getAttribute"));
    EXPECT_FALSE(api->hasProperty("volume"));
    EXPECT_TRUE(api->hasProperty("width"));

    EXPECT_EQ(other->invoke("toString", {}).cast<std::string>(), "<JSAPI-Auto Javascript Object>");
    EXPECT_TRUE(other->hasMethod("getAttribute"));
    EXPECT_EQ(other->getProperty("valid").cast<bool>(), true);
    EXPECT_TRUE(other->hasProperty("volume"));
    EXPECT_FALSE(other->hasProperty("width"));
    const auto names = other->listMemberNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "width"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "getAttribute"), 1);

    // A function object has no reserved names of its own.
    auto function = std::static_pointer_cast<FB::JSAPIAuto>(api->getMethodObject("Cap"));
    EXPECT_TRUE(function->hasProperty("width"));
    EXPECT_FALSE(other->hasProperty("width"));
}

TEST_F(JSAPIAutoTest, AnswersFollowEveryChangeOfOneName)
{
    // The same name asked about before and after each change of the tables.
    struct Closed : BroadcastTestAPI {
        Closed() { allowDynamicAttributes_ = false; }
    };
    auto api = std::make_shared<Closed>();
    const std::string name = "late";
    auto state = [&] {
        std::string answer = api->hasMethod(name) ? "method" : "-";
        answer += api->hasProperty(name) ? " property" : " -";
        const auto names = api->listMemberNames();
        answer += std::count(names.begin(), names.end(), name) ? " listed" : " -";
        return answer;
    };
    EXPECT_EQ(state(), "- - -");
    api->addMethod(name, [](const VariantVector&) { return variant(1); });
    EXPECT_EQ(state(), "method property listed");
    EXPECT_EQ(api->invoke(name, {}).cast<int>(), 1);
    api->removeMethod(name);
    EXPECT_EQ(state(), "- - -");
    EXPECT_EQ(errorOf([&] { api->invoke(name, {}); }), "The specified member does not exist: late");
    api->addProperty(name, {[] { return variant(2); }, [](const variant&) {}});
    EXPECT_EQ(state(), "- property listed");
    EXPECT_EQ(api->getProperty(name).cast<int>(), 2);
    api->dropProperty(name);
    EXPECT_EQ(state(), "- - -");
    api->addAttribute(name, 3, false);
    EXPECT_EQ(state(), "- property listed");
    api->removeAttribute(name);
    EXPECT_EQ(state(), "- - -");
    EXPECT_EQ(errorOf([&] { api->getProperty(name); }), "The specified member does not exist: late");
}

TEST_F(JSAPIAutoTest, DynamicAttributesAndReservedNames)
{
    EXPECT_TRUE(api->hasProperty("anything"));
    EXPECT_TRUE(api->hasPropertyIndex(3));
    EXPECT_TRUE(api->getProperty("anything").isEmpty());
    for (const char* reserved : {"width", "id", "constructor", "style"})
        EXPECT_FALSE(api->hasProperty(reserved)) << reserved;

    api->setProperty("width", 640);
    api->setPropertyIndex(0, "first");
    EXPECT_TRUE(api->hasProperty("width"));
    EXPECT_EQ(api->getProperty("width").cast<int>(), 640);
    EXPECT_EQ(api->getPropertyIndex(0).cast<std::string>(), "first");
    EXPECT_EQ(api->invoke("getAttribute", {"width"}).cast<int>(), 640);

    api->removeProperty("width");
    api->removePropertyIndex(0);
    EXPECT_FALSE(api->hasProperty("width"));
    EXPECT_EQ(errorOf([&] { api->removePropertyIndex(0); }), "The specified member does not exist: 0");
    EXPECT_EQ(errorOf([&] { api->removeProperty("neverThere"); }), "The specified member does not exist: neverThere");

    api->removeProperty("version");  // registered properties stay
    EXPECT_EQ(api->getProperty("version").cast<std::string>(), "1.0.0.1");
}

TEST_F(JSAPIAutoTest, ObjectWithoutDynamicAttributesRefusesUnknownNames)
{
    struct Closed : BroadcastTestAPI {
        Closed()
        {
            allowDynamicAttributes_ = false;
            addAttribute("known", 1, false);
        }
    };
    auto closed = std::make_shared<Closed>();
    EXPECT_FALSE(closed->hasProperty("unknown"));
    EXPECT_FALSE(closed->hasPropertyIndex(0));
    EXPECT_TRUE(closed->hasProperty("known"));
    EXPECT_EQ(errorOf([&] { closed->getProperty("unknown"); }), "The specified member does not exist: unknown");
    EXPECT_EQ(errorOf([&] { closed->setProperty("unknown", 1); }), "The specified member does not exist: unknown");
    EXPECT_EQ(errorOf([&] { closed->removePropertyIndex(0); }), "The specified member does not exist: 0");
    closed->setProperty("known", 2);
    EXPECT_EQ(closed->getProperty("known").cast<int>(), 2);
    closed->removeProperty("known");  // attributes go only where script may create them
    EXPECT_EQ(closed->getProperty("known").cast<int>(), 2);

    // Neither a read-only attribute nor one above the current zone is there for it.
    closed->addAttribute("locked", 1, true);
    EXPECT_EQ(errorOf([&] { closed->setProperty("locked", 2); }), "The specified member does not exist: locked");
    {
        FB::ZoneScope trusted(*closed, 2);
        closed->addAttribute("inner", 1, false);
    }
    EXPECT_EQ(errorOf([&] { closed->getProperty("inner"); }), "The specified member does not exist: inner");
}

TEST_F(JSAPIAutoTest, ReadOnlyAttributeRefusesNativeWritesAndYieldsToScript)
{
    api->addAttribute("fixed", 1, true);
    EXPECT_EQ(errorOf([&] { api->invoke("setAttribute", {"fixed", 2}); }), "Cannot set read-only property fixed");
    EXPECT_EQ(errorOf([&] { api->removeAttribute("fixed"); }), "Cannot remove read-only property fixed");
    EXPECT_EQ(errorOf([&] { api->removeProperty("fixed"); }), "ok");
    EXPECT_EQ(api->getProperty("fixed").cast<int>(), 1);

    // Script that may create attributes stores its value as a writable attribute.
    EXPECT_EQ(errorOf([&] { api->setProperty("fixed", 2); }), "ok");
    EXPECT_EQ(api->getProperty("fixed").cast<int>(), 2);
    api->removeProperty("fixed");
    EXPECT_TRUE(api->getAttribute("fixed").isEmpty());
}

TEST_F(JSAPIAutoTest, InvalidatedObjectRefusesEverything)
{
    api->invalidate();
    const char* invalid = "This object is no longer valid";
    EXPECT_EQ(errorOf([&] { api->getProperty("version"); }), invalid);
    EXPECT_EQ(errorOf([&] { api->getPropertyIndex(1); }), invalid);
    EXPECT_EQ(errorOf([&] { api->setProperty("x", 1); }), invalid);
    EXPECT_EQ(errorOf([&] { api->removeProperty("x"); }), invalid);
    EXPECT_EQ(errorOf([&] { api->removePropertyIndex(1); }), invalid);
    EXPECT_EQ(errorOf([&] { api->invoke("echo", {}); }), invalid);
    EXPECT_EQ(errorOf([&] { api->construct({}); }), invalid);
    EXPECT_EQ(errorOf([&] { api->getMethodObject("echo"); }), invalid);
    EXPECT_FALSE(api->hasMethod("echo"));
    EXPECT_FALSE(api->hasProperty("version"));
    EXPECT_FALSE(api->hasPropertyIndex(0));
}

TEST_F(JSAPIAutoTest, MembersAreReachableOnlyFromTheirZone)
{
    {
        FB::ZoneScope trusted(*api, 2);
        api->addMethod("secure", [](const VariantVector&) { return variant("secret"); });
        api->addAttribute("secureValue", 1, false);
    }
    EXPECT_FALSE(api->hasMethod("secure"));
    EXPECT_EQ(errorOf([&] { api->invoke("secure", {}); }), "The specified member does not exist: secure");
    EXPECT_TRUE(api->getProperty("secure").isEmpty());
    EXPECT_TRUE(api->getProperty("secureValue").isEmpty());
    EXPECT_EQ(api->countMembers(), 12u);
    {
        FB::ZoneScope higher(*api, 3);
        EXPECT_EQ(api->invoke("secure", {}).cast<std::string>(), "secret");
        EXPECT_TRUE(api->getProperty("secure").is_of_type<FB::JSAPIPtr>());
        EXPECT_EQ(api->getProperty("secureValue").cast<int>(), 1);
        EXPECT_EQ(api->countMembers(), 14u);
        EXPECT_TRUE(api->invoke("toString", {}).is_of_type<std::string>()) << "lower zones stay reachable";
    }
    EXPECT_EQ(api->currentZone(), 0);
}

TEST_F(JSAPIAutoTest, ZoneStackKeepsItsBase)
{
    api->setBaseZone(5);
    EXPECT_EQ(api->getBaseZone(), 5);
    EXPECT_EQ(api->currentZone(), 5);

    api->leaveZone();  // unbalanced: nothing to leave
    api->leaveZone();
    EXPECT_EQ(api->currentZone(), 5);

    api->enterZone(7);
    std::thread other([&] { api->leaveZone(); });  // not the thread that entered
    other.join();
    EXPECT_EQ(api->currentZone(), 7);
    api->leaveZone();
    EXPECT_EQ(api->currentZone(), 5);

    // The zone lock is released: another thread can use the object.
    std::string fromOther;
    std::thread user([&] { fromOther = api->invoke("toString", {}).cast<std::string>(); });
    user.join();
    EXPECT_EQ(fromOther, "<JSAPI-Auto Javascript Object>");
}

TEST_F(JSAPIAutoTest, MethodThatReplacesItselfStaysAliveUntilItReturns)
{
    const std::string captured(200, 'x');
    api->addMethod("once", [this, captured](const VariantVector&) -> variant {
        api->removeMethod("once");
        api->addMethod("once", [](const VariantVector&) { return variant("second"); });
        return captured;
    });
    EXPECT_EQ(api->invoke("once", {}).cast<std::string>(), captured);
    EXPECT_EQ(api->invoke("once", {}).cast<std::string>(), "second");
}

}  // namespace
