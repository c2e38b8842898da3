// The NPAPI entry points in the test browser: the delivery road each browser
// gets, the handlers' answers without an instance, NPP_New failures that leave
// nothing behind, the embed's parameters, and the module's life cycle.
#include "BridgeTestPlugin.h"
#include "CleanShutdown.h"
#include "LinkedPlugin.h"
#include "TestFactory.h"
#include "NpapiEntryPoints.h"
#include "NpapiPlugin.h"
#include "ScriptPage.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>

using TestBrowser::Browser;

namespace {

void installTestApplication()
{
    factoryControl = FactoryControl{};
}

// ---- the delivery-road matrix ------------------------------------------------------------

struct RoadCase {
    const char* name;
    uint16_t version;
    const char* userAgent;
    bool asyncEntryMissing;
    bool windowRoad;
};

// The road is chosen once per process: each browser runs in a process of its own (see CMakeLists.txt).
class DeliveryRoad : public ::testing::TestWithParam<RoadCase> {};

TEST_P(DeliveryRoad, FollowsVersionUserAgentAndEntry)
{
    const RoadCase& c = GetParam();
    installTestApplication();
    TestBrowser::Config config;
    config.version = c.version;
    config.userAgent = c.userAgent;
    if (c.asyncEntryMissing) config.missing = {"pluginthreadasynccall"};
    Browser browser(config);
    ASSERT_TRUE(browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown));
    ASSERT_NE(browser.createInstance("api", "application/x-test", {}), nullptr);
    ASSERT_TRUE(browser.page().run(L"api.later(function (v) { window.got = v; }, 7);"));
    EXPECT_FALSE(browser.page().has(L"got"));
    EXPECT_TRUE(browser.pumpUntil([&] { return browser.page().has(L"got"); }));
    EXPECT_EQ(browser.page().text(L"window.got"), L"7");
    EXPECT_EQ(browser.callCount("pluginthreadasynccall"), c.windowRoad ? 0u : 1u);
    expectCleanShutdown(browser);
}

const char* const kFirefox = "Mozilla/5.0 (Windows NT 6.1; rv:52.0) Gecko/20100101 Firefox/52.0";
const char* const kSafari = "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/534.57.2 (KHTML, like Gecko) Safari/534.57.2";

INSTANTIATE_TEST_SUITE_P(Browsers, DeliveryRoad,
    ::testing::Values(RoadCase{"v27_plain", 27, kFirefox, false, false},
        RoadCase{"v27_safari", 27, kSafari, false, true}, RoadCase{"v19_plain", 19, kFirefox, false, false},
        RoadCase{"v19_safari", 19, kSafari, false, true}, RoadCase{"v18_plain", 18, kFirefox, false, true},
        RoadCase{"v17_plain", 17, kFirefox, false, true},
        RoadCase{"v27_without_async_entry", 27, kFirefox, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The test application in the test browser: the plug-in started, and an embed "api" when asked.
class EntryPoints : public ::testing::Test {
protected:
    void SetUp() override { installTestApplication(); }
    void startPlugin()
    {
        ASSERT_TRUE(browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown));
    }
    void embedApi()
    {
        ASSERT_NO_FATAL_FAILURE(startPlugin());
        embed = browser.createInstance("api", "application/x-test", {});
        ASSERT_NE(embed, nullptr);
    }

    Browser browser;
    TestBrowser::Instance* embed = nullptr;
};

// ---- handlers without an instance ------------------------------------------------------------

TEST_F(EntryPoints, HandlersWithoutAnInstanceAnswerWithoutTouchingAnything)
{
    ASSERT_NO_FATAL_FAILURE(startPlugin());
    const NPPluginFuncs& np = browser.pluginFuncs();
    const char* text = nullptr;
    EXPECT_EQ(np.getvalue(nullptr, NPPVpluginNameString, &text), NPERR_NO_ERROR);
    EXPECT_STREQ(text, "parvelplugin");
    EXPECT_EQ(np.getvalue(nullptr, NPPVpluginDescriptionString, &text), NPERR_NO_ERROR);
    EXPECT_STREQ(text, "Unknown Description");
    EXPECT_EQ(np.getvalue(nullptr, NPPVpluginWindowBool, &text), NPERR_GENERIC_ERROR);
    NPP_t empty{};
    for (NPP instance : {static_cast<NPP>(nullptr), &empty}) {
        EXPECT_EQ(np.newp(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
        EXPECT_EQ(np.destroy(instance, nullptr), NPERR_INVALID_INSTANCE_ERROR);
        EXPECT_EQ(np.setwindow(instance, nullptr), NPERR_INVALID_INSTANCE_ERROR);
        EXPECT_EQ(np.newstream(instance, nullptr, nullptr, 0, nullptr), NPERR_INVALID_INSTANCE_ERROR);
        EXPECT_EQ(np.destroystream(instance, nullptr, NPRES_DONE), NPERR_INVALID_INSTANCE_ERROR);
        EXPECT_EQ(np.writeready(instance, nullptr), -1);
        EXPECT_EQ(np.write(instance, nullptr, 0, 4, nullptr), -1);
        EXPECT_EQ(np.event(instance, nullptr), 0);
        EXPECT_EQ(np.setvalue(instance, NPNVWindowNPObject, nullptr), NPERR_INVALID_INSTANCE_ERROR);
        np.asfile(instance, nullptr, "x");
        np.print(instance, nullptr);
        np.urlnotify(instance, "http://x/", NPRES_DONE, nullptr);
    }
    expectCleanShutdown(browser);
}

TEST_F(EntryPoints, GetValueWithoutAnAnswerSlotIsAnInvalidParameter)
{
    ASSERT_NO_FATAL_FAILURE(embedApi());
    const NPPluginFuncs& np = browser.pluginFuncs();
    for (NPP instance : {static_cast<NPP>(nullptr), &embed->npp}) {
        SCOPED_TRACE(instance ? "an instance" : "no instance");
        EXPECT_EQ(np.getvalue(instance, NPPVpluginNameString, nullptr), NPERR_INVALID_PARAM);
        EXPECT_EQ(np.getvalue(instance, NPPVpluginDescriptionString, nullptr), NPERR_INVALID_PARAM);
        EXPECT_EQ(np.getvalue(instance, NPPVpluginWindowBool, nullptr), NPERR_GENERIC_ERROR);
    }
    const uint32_t references = embed->scriptable->referenceCount;
    EXPECT_EQ(np.getvalue(&embed->npp, NPPVpluginScriptableNPObject, nullptr), NPERR_INVALID_PARAM);
    EXPECT_EQ(embed->scriptable->referenceCount, references);  // nothing retained for nobody
    // The instance still answers.
    const char* name = nullptr;
    EXPECT_EQ(np.getvalue(&embed->npp, NPPVpluginNameString, &name), NPERR_NO_ERROR);
    EXPECT_STREQ(name, "parvelplugin");
    expectCleanShutdown(browser);
}

// ---- NPP_New failures ---------------------------------------------------------------------

struct FailureCase {
    const char* name;
    FactoryControl::Make make;
    NPError answer;
};

class FailedNew : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailedNew, AnswersItsCodeAndLeavesNothing)
{
    installTestApplication();
    factoryControl.make = GetParam().make;
    Browser browser;
    ASSERT_TRUE(browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown));
    NPError answer = NPERR_NO_ERROR;
    EXPECT_EQ(browser.createInstance("api", "application/x-test", {{"a", "1"}}, &answer), nullptr);
    EXPECT_EQ(answer, GetParam().answer);
    EXPECT_EQ(browser.instances().back()->npp.pdata, nullptr);
    expectCleanShutdown(browser);
}

INSTANTIATE_TEST_SUITE_P(Makers, FailedNew,
    ::testing::Values(FailureCase{"no_plugin", FactoryControl::Make::Nothing, NPERR_OUT_OF_MEMORY_ERROR},
        FailureCase{"create_error", FactoryControl::Make::CreateError, NPERR_INCOMPATIBLE_VERSION_ERROR},
        FailureCase{"out_of_memory", FactoryControl::Make::OutOfMemory, NPERR_OUT_OF_MEMORY_ERROR},
        FailureCase{"other_failure", FactoryControl::Make::Failure, NPERR_GENERIC_ERROR},
        FailureCase{"init_failure", FactoryControl::Make::InitFailure, NPERR_GENERIC_ERROR}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the instance ---------------------------------------------------------------------------

TEST_F(EntryPoints, ParametersWithoutValueAreLeftOutAndWindowlessIsAskedFor)
{
    factoryControl.windowless = true;
    ASSERT_NO_FATAL_FAILURE(startPlugin());
    NPP_t instance{};
    char mime[] = "application/x-test";
    char n0[] = "onload", n1[] = "hidden", n2[] = "windowless";
    char v0[] = "pluginLoaded", v2[] = "true";
    char* names[] = {n0, n1, n2};
    char* values[] = {v0, nullptr, v2};
    browser.clearCalls();
    ASSERT_EQ(browser.pluginFuncs().newp(mime, &instance, NP_EMBED, 3, names, values, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(factoryControl.params.size(), 2u);
    EXPECT_EQ(factoryControl.params["onload"].convertToString(), "pluginLoaded");
    EXPECT_EQ(factoryControl.params.count("hidden"), 0u);
    EXPECT_EQ(browser.callCount("setvalue"), 2u);
    EXPECT_EQ(browser.pluginFuncs().destroy(&instance, nullptr), NPERR_NO_ERROR);
    expectCleanShutdown(browser);
}

TEST_F(EntryPoints, ScriptableObjectIsTheSameObjectRetainedOnceMorePerRequest)
{
    ASSERT_NO_FATAL_FAILURE(embedApi());
    NPObject* again = nullptr;
    ASSERT_EQ(browser.pluginFuncs().getvalue(&embed->npp, NPPVpluginScriptableNPObject, &again), NPERR_NO_ERROR);
    EXPECT_EQ(again, embed->scriptable);
    uint32_t count = again->referenceCount;
    NPObject* third = nullptr;
    browser.pluginFuncs().getvalue(&embed->npp, NPPVpluginScriptableNPObject, &third);
    EXPECT_EQ(third->referenceCount, count + 1);
    browser.table()->releaseobject(third);
    browser.table()->releaseobject(again);
    EXPECT_EQ(browser.page().text(L"api.add(40, 2)"), L"42");
    expectCleanShutdown(browser);
}

TEST_F(EntryPoints, DestroyKeepsTheInstanceDataUntilBothShutdownsHaveRun)
{
    ASSERT_NO_FATAL_FAILURE(embedApi());
    EXPECT_EQ(browser.destroyInstance(embed), NPERR_NO_ERROR);
    EXPECT_TRUE(factoryControl.instanceDataAtShutdown);
    EXPECT_EQ(embed->npp.pdata, nullptr);
    expectCleanShutdown(browser);
}

// The road is chosen for the first instance of the process: a later browser's
// table and agent change nothing (only a missing entry does, see DeliveryRoad).
TEST(EntryPointModule, DeliveryRoadIsChosenOncePerProcess)
{
    installTestApplication();
    for (const char* agent : {kFirefox, kSafari}) {
        SCOPED_TRACE(agent);
        TestBrowser::Config config;
        config.userAgent = agent;
        Browser browser(config);
        ASSERT_TRUE(browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown));
        ASSERT_NE(browser.createInstance("api", "application/x-test", {}), nullptr);
        ASSERT_TRUE(browser.page().run(L"api.later(function (v) { window.got = v; }, 1);"));
        EXPECT_TRUE(browser.pumpUntil([&] { return browser.page().has(L"got"); }));
        EXPECT_EQ(browser.callCount("pluginthreadasynccall"), 1u);
        expectCleanShutdown(browser);
    }
}

TEST(EntryPointModule, RunsGlobalInitOnceAndDeinitOnEveryShutdown)
{
    installTestApplication();
    {
        Browser browser;
        ASSERT_TRUE(browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown));
        EXPECT_EQ(factoryControl.globalInits, 1);
        EXPECT_EQ(browser.shutdownPlugin(), NPERR_NO_ERROR);
        EXPECT_EQ(factoryControl.globalDeinits, 1);
        EXPECT_EQ(linkedPlugin::shutdown(), NPERR_NO_ERROR);  // no module left: the de-init runs again
        EXPECT_EQ(factoryControl.globalDeinits, 2);
        EXPECT_EQ(browser.initializePlugin(), NPERR_NO_ERROR);  // a fresh module
        EXPECT_EQ(factoryControl.globalInits, 2);
    }
    EXPECT_EQ(factoryControl.globalDeinits, 3);
}

}  // namespace
