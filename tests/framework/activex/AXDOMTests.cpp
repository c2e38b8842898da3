// The DOM wrappers of the Internet Explorer road over the fake page's document
// interfaces: what each operation reads or changes there, its failures with
// their texts, and every reference to the fakes back once the wrappers went.
#include "AXDOM.h"
#include "ActiveXBrowserHost.h"
#include "ActiveXTestSupport.h"
#include "FakeDispatch.h"
#include "FakePage.h"
#include "FakePageTest.h"
#include "IDispatchAPI.h"
#include "PageObject.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <future>

using FB::ActiveX::ActiveXBrowserHost;
using FB::ActiveX::IDispatchAPI;
using ::testing::ElementsAre;

namespace {

using activextest::errorOf;

std::vector<std::string> idsOf(const std::vector<FB::DOM::ElementPtr>& elements)
{
    std::vector<std::string> ids;
    for (const auto& element : elements) ids.push_back(element ? element->getStringAttribute("id") : "<null>");
    return ids;
}

using ComDom = activextest::FakePageTest;

TEST_F(ComDom, TheHostsWrappersAreTheComOnes)
{
    EXPECT_TRUE(std::dynamic_pointer_cast<FB::ActiveX::AXDOM::Window>(host->windowObject()));
    EXPECT_TRUE(std::dynamic_pointer_cast<FB::ActiveX::AXDOM::Document>(host->documentObject()));
    EXPECT_TRUE(std::dynamic_pointer_cast<FB::ActiveX::AXDOM::Element>(host->pluginElementObject()));
    auto window = host->documentObject()->getWindow();
    ASSERT_TRUE(window);
    auto document = window->getDocument();
    ASSERT_TRUE(document);
    EXPECT_EQ(std::dynamic_pointer_cast<IDispatchAPI>(document->getJSObject())->getIDispatch(),
        static_cast<IDispatch*>(static_cast<IHTMLDocument2*>(page.document.Get())));
}

TEST_F(ComDom, ElementsByTagNameInDocumentOrderAndEveryReferenceBack)
{
    auto document = host->documentObject();  // the host keeps it
    const size_t retained = host->retainedObjectCount();
    {
        EXPECT_THAT(idsOf(document->getElementsByTagName("table")), ::testing::IsEmpty());
        EXPECT_THAT(idsOf(document->getElementsByTagName("div")), ElementsAre("status", "panel"));
        auto panel = document->getElementById("panel");
        ASSERT_TRUE(panel);
        EXPECT_THAT(idsOf(panel->getElementsByTagName(L"span")), ElementsAre("first", "second"));
        EXPECT_THAT(
            idsOf(document->getElementsByTagName("*")), ElementsAre("status", "panel", "first", "second", "plugin"));
        EXPECT_FALSE(document->getElementById("nosuch"));
    }
    host->releasePendingObjects();
    EXPECT_EQ(host->retainedObjectCount(), retained);
}

TEST_F(ComDom, ElementTextsAttributesAndTheirFailures)
{
    auto status = host->documentObject()->getElementById("status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->getInnerHTML(), "Ready");
    status->setInnerHTML("Caf\xc3\xa9 <b>on</b>");
    EXPECT_EQ(status->getInnerHTML(), "Caf\xc3\xa9 <b>on</b>");
    const size_t asked = page.document->body->children[0]->timesAskedFor(__uuidof(IHTMLDocument5));
    EXPECT_EQ(status->getStringAttribute("class"), "note");
    EXPECT_EQ(status->getStringAttribute("title"), "");
    EXPECT_EQ(page.document->body->children[0]->timesAskedFor(__uuidof(IHTMLDocument5)), asked + 2)
        << "each attribute read also asks the element for IHTMLDocument5";
    auto empty = host->documentObject()->createElement("p");
    EXPECT_EQ(empty->getInnerHTML(), "");

    page.document->body->children[0]->refuseInnerHTML = true;
    EXPECT_EQ(errorOf([&] { status->setInnerHTML("x"); }), "Could not set innerHtml");
    EXPECT_EQ(errorOf([&] { status->getInnerHTML(); }), "Could not get innerhtml");
}

TEST_F(ComDom, AppendChildLeavesTheParentUsable)
{
    auto document = host->documentObject();
    auto panel = document->getElementById("panel");
    auto added = document->createElement("span");
    added->setInnerHTML("three");
    auto answer = panel->appendChild(added);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(Com::sameObject(std::dynamic_pointer_cast<IDispatchAPI>(answer->getJSObject())->getIDispatch(),
        std::dynamic_pointer_cast<IDispatchAPI>(added->getJSObject())->getIDispatch()));
    // The parent still works on itself.
    EXPECT_EQ(panel->getStringAttribute("id"), "panel");
    EXPECT_EQ(panel->getElementsByTagName("span").size(), 3u);
    panel->appendChild(added);
    EXPECT_EQ(panel->getElementsByTagName("span").size(), 3u);

    page.document->body->refuseAppend = true;
    auto parent = host->wrapElement(
        IDispatchAPI::create(static_cast<IDispatch*>(static_cast<IHTMLElement*>(page.document->body.Get())), host));
    EXPECT_EQ(errorOf([&] { parent->appendChild(added); }), "failed to appendChild!");
}

TEST_F(ComDom, WindowLocationAlertAndItsRefusals)
{
    auto window = host->windowObject();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->getLocation(), "http://stagecast.test/caf\xc3\xa9.html");
    window->alert(std::string("Broadcast \xe2\x80\x94 ready"));
    EXPECT_THAT(page.window->alerts, ElementsAre(L"Broadcast \u2014 ready"));

    auto plain = FakeDispatch::make();
    auto notWindow = IDispatchAPI::create(plain.Get(), host);
    EXPECT_EQ(errorOf([&] { host->wrapWindow(notWindow); }), "This is not a valid Window object");
    EXPECT_EQ(
        errorOf([&] { host->wrapElement(std::make_shared<fbtest::PageObject>(host)); }), "This is not a valid object");
}

TEST_F(ComDom, ADocumentWithoutItsThirdInterface)
{
    page.document->withDocument3 = false;
    auto document = host->documentObject();
    EXPECT_EQ(errorOf([&] { document->getElementById("status"); }), "Document does not support getElementById");
    EXPECT_EQ(errorOf([&] { document->getElementsByTagName("div"); }), "Could not get element by tag name");
}

// After in-place deactivation the host lets go of every page interface while it
// lives on: a wrapper native code still holds answers as for a missing interface.
TEST_F(ComDom, EveryOperationAfterTheHostLetGoOfThePage)
{
    auto window = host->windowObject();
    auto document = host->documentObject();
    auto status = document->getElementById("status");
    auto added = document->createElement("span");
    ASSERT_TRUE(window && document && status && added);
    host->releaseRetainedObjects();
    ASSERT_EQ(host->retainedObjectCount(), 0u);

    EXPECT_FALSE(window->getDocument());
    EXPECT_EQ(window->getLocation(), "");
    EXPECT_NO_THROW(window->alert(std::string("gone")));
    EXPECT_TRUE(page.window->alerts.empty());
    EXPECT_FALSE(document->getWindow());
    EXPECT_EQ(status->getStringAttribute("id"), "");
    struct Refusal {
        const char* what;
        std::function<void()> call;
        const char* text;
    } refusals[] = {
        {"getInnerHTML", [&] { status->getInnerHTML(); }, "Could not get innerhtml"},
        {"setInnerHTML", [&] { status->setInnerHTML("x"); }, "Could not set innerHtml"},
        {"element getElementsByTagName", [&] { status->getElementsByTagName("span"); },
            "Could not get element by tag name"},
        {"createElement", [&] { document->createElement("p"); }, "Failed to create element!"},
        {"getElementById", [&] { document->getElementById("status"); }, "Document does not support getElementById"},
        {"document getElementsByTagName", [&] { document->getElementsByTagName("div"); },
            "Could not get element by tag name"},
        {"appendChild", [&] { status->appendChild(added); }, "failed to appendChild!"},
    };
    for (const Refusal& refusal : refusals) EXPECT_EQ(errorOf(refusal.call), refusal.text) << refusal.what;
}

// Used from a worker, a wrapper waits for the main thread; dropped there, its
// interfaces go back when the main thread drains.
TEST_F(ComDom, WrappersFromAWorker)
{
    auto window = host->windowObject();
    auto location = std::async(std::launch::async, [window] { return window->getLocation(); });
    ASSERT_TRUE(activextest::pumpUntil(
        [&] { return location.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(location.get(), "http://stagecast.test/caf\xc3\xa9.html");

    const size_t retained = host->retainedObjectCount();
    auto status = host->documentObject()->getElementById("status");
    EXPECT_GT(host->retainedObjectCount(), retained);
    std::thread([held = std::move(status)]() mutable { held.reset(); }).join();
    host->releasePendingObjects();
    EXPECT_EQ(host->retainedObjectCount(), retained);
}

}  // namespace
