#include "BrowserHost.h"
#include "TestBrowserHost.h"
#include "TestPage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using fbtest::PageObject;
using fbtest::TestBrowserHost;

class BrowserHostTest : public ::testing::Test {
protected:
    std::shared_ptr<TestBrowserHost> host = std::make_shared<TestBrowserHost>();
    std::shared_ptr<fbtest::TestPage> page = host->attachPage();
};

// A host with nothing but the proxy lookup it was handed.
class ProxyLookupHost : public FB::BrowserHost {
public:
    using FB::BrowserHost::BrowserHost;

protected:
    bool postToMainThread(FB::QueuedFunction, void*) override { return false; }
};

TEST(BrowserHostProxy, TheDefaultLookupIsTheOneHandedInAndWithoutOneThereIsNoProxy)
{
    std::vector<std::string> asked;
    auto handedIn =
        std::make_shared<ProxyLookupHost>([&](const std::string& url, std::map<std::string, std::string>& settings) {
            asked.push_back(url);
            settings = {{"type", "http"}, {"hostname", "px.example"}, {"port", "3128"}};
            return true;
        });
    std::map<std::string, std::string> settings;
    EXPECT_TRUE(handedIn->proxySettingsFor("http://stagecast.test/", settings));
    EXPECT_EQ(asked, std::vector<std::string>{"http://stagecast.test/"});
    EXPECT_EQ(settings["hostname"], "px.example");

    auto without = std::make_shared<ProxyLookupHost>();
    std::map<std::string, std::string> none;
    EXPECT_FALSE(without->proxySettingsFor("http://stagecast.test/", none));
    EXPECT_TRUE(none.empty());
}

TEST_F(BrowserHostTest, DelayedCallHelperIsNamedAndWrittenFromTheSeed)
{
    host->installDelayedCallHelper(800);
    EXPECT_EQ(host->delayedCallHelperNameText(), "__FB_CALL_900");
    ASSERT_EQ(host->scripts.size(), 1u);
    EXPECT_EQ(host->scripts[0],
        "window.__FB_CALL_900 = function(delay, f, args, fname) {   if (arguments.length == 3)       "
        "return setTimeout(function() { f.apply(null, args); }, delay);   else       return "
        "setTimeout(function() { f[fname].apply(f, args); }, delay);};");
    host->installDelayedCallHelper(0xFFFFFFF8u);  // the number wraps in 32 bits
    EXPECT_EQ(host->delayedCallHelperNameText(), "__FB_CALL_" + std::to_string(0xFFFFFFF8u + 0x1FFFFFFFu));
}

TEST_F(BrowserHostTest, InvokeDelayedSchedulesThePageFunctionOnATimer)
{
    auto callback = page->function("done");
    FB::VariantVector args{FB::variant(3), FB::variant("x")};
    int first = host->invokeDelayed(0, callback, args, "");
    int second = host->invokeDelayed(250, page->window, args, "done");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(host->scripts.size(), 1u);  // installed once, on first use
    EXPECT_TRUE(page->calls.empty());     // nothing runs inside the native call

    ASSERT_EQ(page->timers.size(), 2u);
    EXPECT_EQ(page->timers[0].helperArgumentCount, 3u);
    EXPECT_EQ(page->timers[1].helperArgumentCount, 4u);
    EXPECT_EQ(page->timers[1].delayMs, 250);
    page->runTimers();
    ASSERT_EQ(page->calls.size(), 2u);
    for (const auto& call : page->calls) {
        EXPECT_EQ(call.function, "done");
        ASSERT_EQ(call.args.size(), 2u);
        EXPECT_EQ(call.args[0].convertToInt(), 3);
        EXPECT_EQ(call.args[1].convertToString(), "x");
    }
}

TEST_F(BrowserHostTest, LostHelperIsInstalledAgainAndNoWindowGivesMinusOne)
{
    auto callback = page->function("done");
    host->invokeDelayed(0, callback, {}, "");
    page->window->properties.erase(host->delayedCallHelperNameText());
    EXPECT_EQ(host->invokeDelayed(0, callback, {}, ""), 2);
    EXPECT_EQ(host->scripts.size(), 2u);

    auto bare = std::make_shared<TestBrowserHost>();
    EXPECT_EQ(bare->invokeDelayed(0, callback, {}, ""), -1);
    EXPECT_TRUE(bare->scripts.empty());
}

TEST_F(BrowserHostTest, AsyncInvokeFromAnotherThreadReachesThePageInOrderOnTheMainThread)
{
    auto callback = page->function("level");
    std::thread engine([&] {
        for (int level = 1; level <= 3; ++level) callback->invokeAsync("", FB::VariantVector{FB::variant(level)});
    });
    engine.join();
    EXPECT_EQ(host->pump(), 3);
    EXPECT_TRUE(page->calls.empty());  // queued to a page timer, not called
    page->runTimers();
    ASSERT_EQ(page->calls.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(page->calls[i].args.at(0).convertToInt(), i + 1);
        EXPECT_EQ(page->calls[i].thread, GetCurrentThreadId());
    }
}

TEST_F(BrowserHostTest, PageLoggingGoesToTheConsoleOnTheMainThreadUnlessSwitchedOff)
{
    std::vector<std::string> traced;
    auto previous = FB::setTraceSink([&](const std::string& channel, const std::string& message) {
        if (channel == "BrowserHost") traced.push_back(message);
    });
    page->addConsole();
    host->logToPage("first %s %n line");
    EXPECT_TRUE(page->consoleLines.empty());
    host->pump();
    host->setPageLogging(false);
    host->logToPage("second");
    host->pump();
    FB::setTraceSink(previous);

    EXPECT_EQ(page->consoleLines, (std::vector<std::string>{"first %s %n line"}));
    EXPECT_EQ(traced, (std::vector<std::string>{"Logging to HTML: first %s %n line", "Logging to HTML: second"}));
}

TEST_F(BrowserHostTest, PageLoggingWithoutConsoleOrAfterShutdownWritesNothing)
{
    host->logToPage("no console");
    host->pump();
    host->shutDownHost();
    page->addConsole();
    host->logToPage("too late");
    host->pump();
    EXPECT_TRUE(page->consoleLines.empty());
}

class HookedObject : public PageObject {
public:
    using PageObject::PageObject;
    void releaseHook() override { ++hooks; }
    int hooks = 0;
};

TEST_F(BrowserHostTest, ArgumentListsComeEmptyAndANestedCallGetsItsOwn)
{
    const FB::variant* firstBlock = nullptr;
    {
        FB::ArgumentLists::Borrowed outer = host->borrowArgumentList();
        outer.list() = {1, "two", 3.0};
        firstBlock = outer.list().data();
        FB::ArgumentLists::Borrowed nested = host->borrowArgumentList();
        EXPECT_TRUE(nested.list().empty());
        nested.list().push_back(4);
        EXPECT_NE(nested.list().data(), outer.list().data());
        EXPECT_EQ(outer.list().size(), 3u) << "the outer call's arguments stay";
    }
    FB::ArgumentLists::Borrowed again = host->borrowArgumentList();
    EXPECT_TRUE(again.list().empty()) << "no argument of an earlier call is left";
    FB::ArgumentLists::Borrowed another = host->borrowArgumentList();
    EXPECT_TRUE(another.list().empty());
    EXPECT_TRUE(again.list().data() == firstBlock || another.list().data() == firstBlock)
        << "a given back list is reused";

    // Off the main thread a list is made for the call and not kept.
    std::thread([&] {
        FB::ArgumentLists::Borrowed offMain = host->borrowArgumentList();
        EXPECT_TRUE(offMain.list().empty());
        offMain.list().push_back(5);
    }).join();
}

TEST_F(BrowserHostTest, KeptObjectsLiveUntilReleasedOrShutdown)
{
    auto once = std::make_shared<HookedObject>(host);
    auto twice = std::make_shared<HookedObject>(host);
    host->keepObjectAlive(once);
    host->keepObjectAlive(twice);
    host->keepObjectAlive(twice);
    std::weak_ptr<HookedObject> onceAlive = once, twiceAlive = twice;
    once.reset();

    host->releaseKeptObject(twice.get()->shared_from_this());
    EXPECT_EQ(host->pendingReleases, 1);
    twice.reset();
    EXPECT_TRUE(twiceAlive.expired());  // both entries went
    ASSERT_FALSE(onceAlive.expired());

    host->shutDownHost();
    EXPECT_TRUE(onceAlive.expired());
    host->shutDownHost();
    EXPECT_EQ(host->pendingReleases, 2);
}

TEST_F(BrowserHostTest, ShutdownReleaseHooksRunOncePerKeptEntry)
{
    auto object = std::make_shared<HookedObject>(host);
    host->keepObjectAlive(object);
    host->shutDownHost();
    host->shutDownHost();
    EXPECT_EQ(object->hooks, 1);
}

}  // namespace
