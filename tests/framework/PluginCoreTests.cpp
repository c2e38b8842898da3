#include "BrowserPlugin.h"
#include "FactoryBase.h"
#include "TestBrowserHost.h"
#include "TestPage.h"
#include "JSAPIAuto.h"
#include "PluginCore.h"
#include "PluginEvents.h"
#include "TestPluginWindow.h"
#include "TraceLog.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

using FB::variant;

// A core that records the events it observes.
class RecordingCore : public FB::PluginCore {
public:
    bool onPluginEvent(FB::PluginEvent* event, FB::PluginEventSource*) override
    {
        if (dynamic_cast<FB::AttachedEvent*>(event))
            events.push_back("attached");
        else if (dynamic_cast<FB::DetachedEvent*>(event))
            events.push_back("detached");
        return false;
    }
    FB::JSAPIPtr makeScriptApi() override
    {
        ++scriptApisMade;
        return std::make_shared<FB::JSAPIAuto>();
    }
    std::vector<std::string> events;
    int scriptApisMade = 0;
};

// The factory of this test program, as the application provides one.
class TestFactory : public FB::FactoryBase {
public:
    FB::PluginCorePtr makePluginCore(const std::string& mimeType) override
    {
        requested.push_back(mimeType);
        return std::make_shared<RecordingCore>();
    }
    std::vector<std::string> requested;
};

std::shared_ptr<TestFactory> testFactory = std::make_shared<TestFactory>();

class PluginCoreTest : public ::testing::Test {
protected:
    std::shared_ptr<fbtest::TestBrowserHost> host = std::make_shared<fbtest::TestBrowserHost>();
    std::shared_ptr<fbtest::TestPage> page = host->attachPage();
    std::shared_ptr<RecordingCore> core = std::make_shared<RecordingCore>();
};

}  // namespace

FB::FactoryBasePtr FB::getFactoryInstance()
{
    return testFactory;
}

namespace {

TEST_F(PluginCoreTest, HandlerParametersBecomePageFunctionsOthersStayAsGiven)
{
    auto loaded = page->function("pluginLoaded");
    auto status = page->function("statusChanged");
    std::vector<std::string> traced;
    auto previous = FB::setTraceSink([&](const std::string& channel, const std::string& message) {
        if (channel == "PluginCore") traced.push_back(message);
    });
    core->setHost(host);
    core->setParams({{"onload", variant("pluginLoaded")}, {"online", variant("statusChanged")},
        {"onmissing", variant("noSuchFunction")}, {"onbroken", variant(FB::VariantVector{1})},
        {"camera", variant("front")}, {"On", variant("pluginLoaded")}});
    FB::setTraceSink(previous);

    EXPECT_EQ(core->getParamValue("onload").convertToJSObject(), loaded);
    EXPECT_EQ(core->getParamValue("online").convertToJSObject(), status) << "any name beginning with on";
    EXPECT_EQ(core->getParamValue("onmissing").convertToJSObject(), nullptr) << "the page has no such function";
    EXPECT_TRUE(core->getParamValue("onbroken").is_of_type<FB::VariantVector>()) << "kept as given";
    EXPECT_EQ(core->getParamText("camera"), "front");
    EXPECT_EQ(core->getParamText("On"), "pluginLoaded") << "the comparison is case-sensitive";
    EXPECT_EQ(core->getParamText("absent"), std::nullopt);
    EXPECT_TRUE(core->getParamValue("absent").isEmpty());
    EXPECT_NE(std::find(traced.begin(), traced.end(), "Found <param> event handler: onload"), traced.end());
    ASSERT_EQ(
        std::count_if(traced.begin(), traced.end(),
            [](const std::string& line) { return line.rfind("Exception processing <param> onbroken: ", 0) == 0; }),
        1);
}

TEST_F(PluginCoreTest, WithoutAHostParametersAreKeptAndOnloadIsNotScheduled)
{
    core->setParams({{"onload", variant("pluginLoaded")}});
    EXPECT_EQ(core->getParamText("onload"), "pluginLoaded");
    EXPECT_FALSE(core->markReady());
    EXPECT_TRUE(host->scripts.empty());
}

TEST_F(PluginCoreTest, MarkReadySchedulesOnloadOnlyForAPageFunction)
{
    core->setHost(host);
    EXPECT_FALSE(core->markReady()) << "no onload parameter";
    core->setParams({{"onload", variant("notThere")}});
    EXPECT_FALSE(core->markReady());
    auto loaded = page->function("pluginLoaded");
    core->setParams({{"onload", variant("pluginLoaded")}});
    EXPECT_TRUE(core->markReady());
    ASSERT_EQ(page->timers.size(), 1u);
    EXPECT_EQ(page->timers[0].delayMs, 250);
    EXPECT_EQ(page->timers[0].helperArgumentCount, 3u);
    page->runTimers();
    ASSERT_EQ(page->calls.size(), 1u);
    EXPECT_EQ(page->calls[0].args.at(0).convertToJSAPI(), core->scriptApiObject());
    EXPECT_EQ(core->scriptApisMade, 1) << "made once and kept";
}

TEST_F(PluginCoreTest, WindowlessAnswerIsReadOnceFromTheParameter)
{
    struct Case {
        const char* value;  // nullptr: no parameter
        bool windowless;
    };
    const Case cases[] = {
        {nullptr, false}, {"true", true}, {"yes", true}, {"1", true}, {"false", false}, {"maybe", false}, {"", false}};
    for (const Case& c : cases) {
        auto fresh = std::make_shared<RecordingCore>();
        if (c.value) fresh->setParams({{"windowless", variant(c.value)}});
        EXPECT_EQ(fresh->wantsWindowless(), c.windowless) << (c.value ? c.value : "(none)");
        fresh->setParams({{"windowless", variant(c.windowless ? "false" : "true")}});
        EXPECT_EQ(fresh->wantsWindowless(), c.windowless) << "the answer is remembered";
    }
}

TEST_F(PluginCoreTest, WindowsAreObservedOnceAndReplacedInOrder)
{
    fbtest::TestPluginWindow first, second;
    core->setWindow(&first);
    core->setWindow(&first);  // the same window again: nothing happens
    EXPECT_EQ(core->getWindow(), &first);
    core->setWindow(&second);
    EXPECT_EQ(core->getWindow(), &second);
    core->clearWindow();
    core->clearWindow();
    EXPECT_EQ(core->getWindow(), nullptr);
    EXPECT_EQ(core->events, (std::vector<std::string>{"attached", "detached", "attached", "detached"}));
    FB::ResizedEvent resized;
    EXPECT_FALSE(first.dispatchEvent(&resized)) << "a detached core no longer observes";
}

TEST_F(PluginCoreTest, DestructionShutsTheHostDownAndCountsLiveCores)
{
    const int before = FB::PluginCore::activeCount();
    auto extra = std::make_shared<RecordingCore>();
    EXPECT_EQ(FB::PluginCore::activeCount(), before + 1);
    extra->setHost(host);
    host->shutDownHost();  // the road shut it down first: the core's own shutdown is harmless
    extra.reset();
    EXPECT_EQ(FB::PluginCore::activeCount(), before);

    auto owner = std::make_shared<RecordingCore>();
    owner->setHost(host = std::make_shared<fbtest::TestBrowserHost>());
    owner.reset();
    EXPECT_TRUE(host->isShutDown());
}

TEST_F(PluginCoreTest, StateFlagModulePathAndPlatform)
{
    core->setStateFlag(true);
    EXPECT_TRUE(core->getStateFlag());
    core->setModulePath("C:\\plugins\\npparvelplugin.dll");
    EXPECT_EQ(core->getModulePath(), "C:\\plugins\\npparvelplugin.dll");
    std::vector<std::string> traced;
    auto previous =
        FB::setTraceSink([&](const std::string&, const std::string& message) { traced.push_back(message); });
    FB::PluginCore::setPlatform("Windows", "IE");
    FB::setTraceSink(previous);
    EXPECT_EQ(FB::PluginCore::platformOs(), "Windows");
    EXPECT_EQ(FB::PluginCore::platformBrowser(), "IE");
    EXPECT_EQ(traced, (std::vector<std::string>{"os: Windows; browser: IE"}));
}

class TestBrowserPlugin : public FB::BrowserPlugin {
public:
    using FB::BrowserPlugin::BrowserPlugin;
    void shutdown() override {}
};

TEST(BrowserPlugin, TakesItsCoreFromTheFactoryAndSharesTheModulePath)
{
    TestBrowserPlugin plugin("application/x-parvelplugin");
    ASSERT_TRUE(plugin.core());
    EXPECT_EQ(testFactory->requested.back(), "application/x-parvelplugin");
    plugin.setModulePath("C:\\x.dll");
    EXPECT_EQ(plugin.core()->getModulePath(), "C:\\x.dll");
    EXPECT_EQ(FB::BrowserPlugin::modulePath(), "C:\\x.dll");
}

// Stands in for each road's maker: records which ran, with what.
struct RoadCalls {
    std::vector<std::string> made;
};
RoadCalls roadCalls;

FB::FactoryRoads recordingRoads()
{
    FB::FactoryRoads roads;
    roads.makeNpapiPlugin = [](const std::shared_ptr<FB::Npapi::NpapiBrowserHost>&, const std::string& mimeType) {
        roadCalls.made.push_back("npapi " + mimeType);
        return std::shared_ptr<FB::Npapi::NpapiPlugin>();
    };
    roads.makeWindowedWindow = [](HWND__*) -> FB::PluginWindowWin* {
        roadCalls.made.push_back("windowed");
        return nullptr;
    };
    roads.makeWindowlessWindow = [](HDC__*) -> FB::PluginWindowlessWin* {
        roadCalls.made.push_back("windowless");
        return nullptr;
    };
    roads.makeComScriptObject = [](const std::weak_ptr<FB::JSAPI>&,
                                    const std::shared_ptr<FB::ActiveX::ActiveXBrowserHost>&, bool autoRelease) {
        roadCalls.made.push_back(autoRelease ? "com auto" : "com");
        return static_cast<IDispatchEx*>(nullptr);
    };
    roads.updateRegistry = [](bool registering) {
        roadCalls.made.push_back(registering ? "register" : "unregister");
        return 0L;
    };
    return roads;
}

class RoadFactory : public FB::FactoryBase {
public:
    using FB::FactoryBase::FactoryBase;
    FB::PluginCorePtr makePluginCore(const std::string&) override { return nullptr; }
};

TEST(FactoryBase, TheMakersAreTheRoadsHandedInAndWithoutThemNothingIsMade)
{
    roadCalls = {};
    RoadFactory withRoads(recordingRoads());
    withRoads.makeNpapiPlugin(nullptr, "application/x-parvelplugin");
    withRoads.makeWindowedWindow(nullptr);
    withRoads.makeWindowlessWindow(nullptr);
    withRoads.makeComScriptObject({}, nullptr, true);
    EXPECT_EQ(withRoads.updateRegistry(false), 0L);
    EXPECT_EQ(roadCalls.made,
        (std::vector<std::string>{
            "npapi application/x-parvelplugin", "windowed", "windowless", "com auto", "unregister"}));

    RoadFactory without;
    EXPECT_FALSE(without.makeNpapiPlugin(nullptr, "application/x-parvelplugin"));
    EXPECT_EQ(without.makeWindowedWindow(nullptr), nullptr);
    EXPECT_EQ(without.makeWindowlessWindow(nullptr), nullptr);
    EXPECT_EQ(without.makeComScriptObject({}, nullptr, true), nullptr);
    EXPECT_EQ(without.updateRegistry(true), static_cast<long>(E_UNEXPECTED));
}

TEST(PluginInfo, NameAndDescriptionsByMimeType)
{
    EXPECT_EQ(FB::pluginName(), "parvelplugin");
    EXPECT_EQ(FB::pluginDescription("application/x-parvelplugin"), "Quorvan Stagecast Plugin V1.0.0.0");
    EXPECT_EQ(FB::pluginDescription("application/x-other"), "Unknown Description");
    EXPECT_EQ(FB::pluginDescription(""), "Unknown Description");
    const auto table = FB::detail::parseMimeDescriptions("a/one::First;a/bare;a/two:x;a/three:y:Third:extra;");
    EXPECT_EQ(table, (std::map<std::string, std::string>{{"a/one", "First"}, {"a/three", "Third"}}));
}

}  // namespace
