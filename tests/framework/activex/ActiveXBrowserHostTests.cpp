// The ActiveX browser host over a fake Internet Explorer page: script,
// navigation, the object element, the container going away, page objects used
// from a worker thread, the COM references the host keeps and gives back, calls
// pending at shutdown, and a URL-moniker stream from a real HTTP server on
// 127.0.0.1 (TEST_HTTP_SERVER, started by the test's runner).
#include "ActiveXBrowserHost.h"
#include "ActiveXStream.h"
#include "ActiveXTestSupport.h"
#include "CountedUnknown.h"
#include "BrowserStreamRequest.h"
#include "FakeDispatch.h"
#include "FakePage.h"
#include "FakePageTest.h"
#include "IDispatchAPI.h"
#include "InternetSettings.h"
#include "ScriptErrors.h"
#include "StreamTestKit.h"
#include "dom/Element.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <set>
#include <thread>
#include <vector>

using FB::ActiveX::ActiveXBrowserHost;
using FB::ActiveX::IDispatchAPI;
using ::testing::ElementsAre;

namespace {

using activextest::errorOf;

// The message-only windows of this thread.
std::set<HWND> messageWindows()
{
    std::set<HWND> found;
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) found.insert(window);
    return found;
}

// A page object that notes, at each release, whether a window is still there.
class WindowWatcher : public CountedUnknown<IDispatch> {
public:
    explicit WindowWatcher(HWND window) : CountedUnknown(1), window_(window) {}
    STDMETHODIMP_(ULONG) Release() override
    {
        windowAtRelease = IsWindow(window_) != FALSE;
        return CountedUnknown::Release();
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    bool windowAtRelease = false;

private:
    void* interfaceFor(REFIID iid) override
    {
        return IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
    }
    HWND window_;
};

class BrowserHost : public activextest::FakePageTest {
protected:
    // A page object as the plug-in receives it (one retained COM reference).
    std::shared_ptr<IDispatchAPI> pageObject(IDispatch* object)
    {
        Com::Variant value(object);
        return std::dynamic_pointer_cast<IDispatchAPI>(host->getVariant(&value.Get()).convertToJSObject());
    }
};

TEST_F(BrowserHost, ScriptRunsInThePageWindowOrFailsWithItsTexts)
{
    EXPECT_EQ(errorOf([&] { host->runScript(std::string("x = 1")); }), "Error executing JavaScript code");

    std::vector<std::pair<std::wstring, std::wstring>> runs;
    page.window->onExecScript = [&](const std::wstring& code, const std::wstring& language) {
        runs.emplace_back(code, language);
        return S_OK;
    };
    host->runScript(std::string("caf\xc3\xa9()"));
    EXPECT_THAT(runs, ElementsAre(std::make_pair(std::wstring(L"caf\u00e9()"), std::wstring(L"javascript"))));

    auto bare = std::make_shared<ActiveXBrowserHost>(nullptr, nullptr);
    EXPECT_EQ(errorOf([&] { bare->runScript(std::string("x = 1")); }), "Can't execute JavaScript: Window is NULL");
    bare->shutDownHost();
}

TEST_F(BrowserHost, ProxyLookupAnswersTheSystemSetting)
{
    struct Case {
        const char* name;
        DWORD enable;
        bool found;
    };
    const Case cases[] = {{"direct", 0, false}, {"a proxy", 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fbtest::InternetSettings system(c.enable, L"px.example:3128");
        ASSERT_TRUE(system.overridden());
        std::map<std::string, std::string> settings;
        EXPECT_EQ(host->proxySettingsFor("http://stagecast.test/", settings), c.found);
        if (c.found) {
            EXPECT_EQ(settings["type"], "http");
            EXPECT_EQ(settings["hostname"], "px.example");
            EXPECT_EQ(settings["port"], "3128");
        }
    }
}

TEST_F(BrowserHost, NavigationTakesItsTarget)
{
    host->openUrl("http://stagecast.test/next.html", "_blank");
    ASSERT_EQ(page.browser->navigations.size(), 1u);
    EXPECT_EQ(page.browser->navigations[0].url, L"http://stagecast.test/next.html");
    EXPECT_EQ(page.browser->navigations[0].target, L"_blank");
}

TEST_F(BrowserHost, ThePluginElementComesFromTheControlSite)
{
    IDispatch* element = page.site->extendedControl.Get();
    std::shared_ptr<FB::DOM::Element> wrapped = host->pluginElementObject();
    ASSERT_TRUE(wrapped);
    auto object = std::dynamic_pointer_cast<IDispatchAPI>(wrapped->getJSObject());
    ASSERT_TRUE(object);
    EXPECT_EQ(object->getIDispatch(), element);

    // An extended control that is no element, and none at all.
    auto plain = FakeDispatch::make();
    page.site->extendedControl = static_cast<IDispatch*>(plain.Get());
    EXPECT_FALSE(host->pluginElementObject());
    page.site->extendedControl = nullptr;
    EXPECT_FALSE(host->pluginElementObject());
}

// A browser that has no document yet gets asked again when the container is set again.
TEST_F(BrowserHost, TheDocumentIsAskedForUntilKnown)
{
    auto document = page.browser->document;
    page.browser->document = nullptr;
    auto late = std::make_shared<ActiveXBrowserHost>(page.browser.Get(), page.site.Get());
    EXPECT_FALSE(late->windowObject());
    EXPECT_FALSE(late->documentObject());
    page.browser->document = document;
    late->setContainer(page.browser.Get(), page.site.Get());
    EXPECT_TRUE(late->windowObject());
    EXPECT_TRUE(late->documentObject());
    late->shutDownHost();
}

// The host may outlive its control: after shutdown every member answers empty or its error.
TEST_F(BrowserHost, AfterShutdownEveryMemberToleratesTheReleasedContainer)
{
    ASSERT_TRUE(host->windowObject());
    host->shutDownHost();
    host->shutDownHost();
    EXPECT_FALSE(host->windowObject());
    EXPECT_FALSE(host->documentObject());
    EXPECT_FALSE(host->pluginElementObject());
    host->openUrl("http://stagecast.test/", "_self");
    EXPECT_TRUE(page.browser->navigations.empty());
    EXPECT_EQ(errorOf([&] { host->runScript(std::string("x")); }), "Can't execute JavaScript: Window is NULL");
    EXPECT_FALSE(host->postMainThreadCall([](void*) {}, nullptr));
    EXPECT_FALSE(host->openBrowserStream(FB::BrowserStreamRequest("http://127.0.0.1:1/", "GET")));
}

// A worker's call on a page object waits for the main thread and runs there; a
// call still waiting when the host shuts down fails with "Shutting down".
TEST_F(BrowserHost, PageObjectsCalledFromAWorkerRunOnTheMainThread)
{
    auto fake = FakeDispatch::make();
    fake->member(L"ping", &Com::Variant(5L).Get());
    auto object = pageObject(fake.Get());
    ASSERT_TRUE(object);

    auto answer = std::async(std::launch::async, [object] { return object->invoke("ping", {}); });
    EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "the call ran without the main thread";
    EXPECT_TRUE(fake->calls(L"ping").empty());
    ASSERT_TRUE(
        activextest::pumpUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(answer.get().convert_cast<long>(), 5);
    ASSERT_EQ(fake->calls(L"ping").size(), 1u);
    EXPECT_EQ(fake->calls(L"ping")[0].thread, GetCurrentThreadId());

    // A call waiting when the host shuts down gets its error, not a hang.
    auto late = std::async(std::launch::async, [object] { return errorOf([&] { object->invoke("ping", {}); }); });
    EXPECT_EQ(late.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    host->shutDownHost();
    EXPECT_EQ(late.get(), "Shutting down");
}

// A page object reaches its host while there is one, and asks about a wide name
// as about its UTF-8 form.
TEST_F(BrowserHost, APageObjectKnowsItsHostAndTakesWideNames)
{
    auto own = std::make_shared<ActiveXBrowserHost>(nullptr, nullptr);
    auto fake = FakeDispatch::make();
    fake->member(L"caf\u00e9", &Com::Variant(1L).Get());
    Com::Variant value(static_cast<IDispatch*>(fake.Get()));
    auto object = std::dynamic_pointer_cast<IDispatchAPI>(own->getVariant(&value.Get()).convertToJSObject());
    ASSERT_TRUE(object);
    EXPECT_EQ(object->getHost(), own);
    EXPECT_TRUE(object->hasPropertyWide(L"caf\u00e9"));
    EXPECT_FALSE(object->hasPropertyWide(L"nosuch"));
    own->shutDownHost();
    own.reset();
    EXPECT_EQ(errorOf([&] { object->getHost(); }), "BrowserHost has shut down");
}

// Page objects wrapped many times and dropped on both threads keep their COM
// reference until the main thread drains the queue; then the count is back.
TEST_F(BrowserHost, PageObjectReferencesComeBackAfterTheDrain)
{
    auto fake = FakeDispatch::make();
    const ULONG baseline = fake->references();
    std::vector<std::shared_ptr<IDispatchAPI>> onMain, forWorker;
    for (int i = 0; i < 20; ++i) (i % 2 ? onMain : forWorker).push_back(pageObject(fake.Get()));
    EXPECT_EQ(host->retainedObjectCount(), 20u);
    EXPECT_EQ(fake->references(), baseline + 20);

    std::thread([list = std::move(forWorker)]() mutable { list.clear(); }).join();
    EXPECT_EQ(fake->references(), baseline + 20) << "released off the main thread";
    onMain.clear();
    EXPECT_EQ(fake->references(), baseline) << "the main thread's drain";
    EXPECT_EQ(host->retainedObjectCount(), 0u);
}

TEST_F(BrowserHost, ShutdownReleasesEveryRetainedObject)
{
    auto fake = FakeDispatch::make();
    const ULONG baseline = fake->references();
    auto kept = pageObject(fake.Get());
    auto another = pageObject(fake.Get());
    host->shutDownHost();
    EXPECT_EQ(fake->references(), baseline);
    EXPECT_EQ(host->retainedObjectCount(), 0u);
    kept.reset();
    another.reset();
    EXPECT_EQ(fake->references(), baseline) << "released twice";
}

// Shutdown destroys the host's message window before the page objects go.
TEST_F(BrowserHost, ShutdownDestroysTheMessageWindowBeforeThePageObjectsGo)
{
    const std::set<HWND> before = messageWindows();
    auto own = std::make_shared<ActiveXBrowserHost>(nullptr, nullptr);
    std::vector<HWND> made;
    for (HWND window : messageWindows())
        if (!before.count(window)) made.push_back(window);
    ASSERT_EQ(made.size(), 1u);
    auto watcher = Com::ComPtr<WindowWatcher>::Adopt(new WindowWatcher(made[0]));
    Com::Variant value(static_cast<IDispatch*>(watcher.Get()));
    FB::variant held = own->getVariant(&value.Get());
    ASSERT_TRUE(watcher->windowAtRelease);
    own->shutDownHost();
    EXPECT_FALSE(watcher->windowAtRelease) << "the page object went while the message window was there";
    EXPECT_FALSE(IsWindow(made[0]));
}

// A host that a worker drops without a shutdown hands the page objects it
// holds to the main thread, which gives them back there.
TEST_F(BrowserHost, AHostDroppedOnAWorkerGivesItsPageObjectsBackOnTheMainThread)
{
    auto own = std::make_shared<ActiveXBrowserHost>(page.browser.Get(), page.site.Get());
    auto fake = FakeDispatch::make();
    Com::Variant value(static_cast<IDispatch*>(fake.Get()));
    const ULONG baseline = fake->references();
    FB::variant held = own->getVariant(&value.Get());
    ASSERT_TRUE(own->windowObject());
    EXPECT_EQ(fake->references(), baseline + 1);
    std::thread([dropped = std::move(own)]() mutable { dropped.reset(); }).join();
    EXPECT_EQ(fake->references(), baseline + 1) << "released on the worker";
    EXPECT_TRUE(activextest::pumpUntil([&] { return fake->references() == baseline; }));
}

// Calls queued when the host shuts down run once, inside the shutdown (the
// base's), never again from the destroyed window; what they hold is freed.
TEST_F(BrowserHost, CallsPendingAtShutdownRunOnceAndAreFreed)
{
    std::atomic<int> ran{0};
    auto held = std::make_shared<int>(0);
    std::weak_ptr<int> watch = held;
    std::thread([&, self = host] {
        for (int i = 0; i < 10; ++i) self->mainThreadPost([&ran] { ++ran; }, held);
    }).join();
    held.reset();
    EXPECT_FALSE(watch.expired());
    host->shutDownHost();
    EXPECT_EQ(ran.load(), 10);
    activextest::pump();
    EXPECT_EQ(ran.load(), 10);
    EXPECT_TRUE(watch.expired()) << "a posted record was not freed";
}

// A URL-moniker stream through the host, from a local server.
TEST_F(BrowserHost, BrowserStreamsDownloadThroughUrlMonikers)
{
    const std::string server = streamtest::serverBase();
    ASSERT_FALSE(server.empty()) << "TEST_HTTP_SERVER is not set: run through tests/support/http_server.py";
    auto log = std::make_shared<streamtest::EventLog>();
    FB::BrowserStreamRequest request(server + "/data/70000?seed=3", "GET");
    request.setEventHandler(log);
    auto stream = host->openStreamForRequest(request, false);
    ASSERT_TRUE(stream);
    EXPECT_EQ(log->names.at(0), "Created");
    ASSERT_TRUE(activextest::pumpUntil([&] { return log->completed(); }, 20000))
        << ::testing::PrintToString(log->names);
    EXPECT_THAT(log->names, ElementsAre("Created", "Opened", "Data", "Completed(true)"));
    EXPECT_TRUE(log->joined() == streamtest::pattern(70000, 3));
    stream.reset();

    FB::BrowserStreamRequest refused("http://127.0.0.1:1/none", "GET");
    auto failing = std::make_shared<streamtest::EventLog>();
    refused.setEventHandler(failing);
    auto none = host->openStreamForRequest(refused, false);
    ASSERT_TRUE(activextest::pumpUntil([&] { return failing->count("FailedOpen") > 0; }, 20000))
        << ::testing::PrintToString(failing->names);
    EXPECT_EQ(failing->count("Opened"), 0);
}

}  // namespace
