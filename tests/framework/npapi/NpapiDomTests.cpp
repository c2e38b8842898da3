// The DOM wrappers against a real JScript page through the NPAPI road: each
// operation's accesses to browser objects, as the test browser records them,
// and its result; emptiness and failures as the page gives them.
#include "BridgeTestPlugin.h"
#include "NpapiBrowserHost.h"
#include "PageDocument.h"
#include "ScriptErrors.h"
#include "ScriptPage.h"
#include "TestBrowser.h"
#include "dom/Document.h"
#include "dom/Window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using TestBrowser::Browser;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::string idOf(const FB::DOM::ElementPtr& element)
{
    return element ? element->getPropertyText("id") : "<none>";
}

// The page's state is public: the operation table below reaches it.
class PageDom : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(browser.usePlugin(
            BridgeTestPlugin::getEntryPoints, BridgeTestPlugin::initialize, BridgeTestPlugin::shutdown));
        // The host reads window.document when the instance starts: the document comes first.
        ASSERT_TRUE(browser.page().run(TestBrowser::pageDocumentScript()));
        embed = browser.createInstance("api", "application/x-bridge-test", {});
        ASSERT_NE(embed, nullptr);
        host = BridgeTestPlugin::dataOf(&embed->npp)->host;
        window = host->windowObject();
        document = window->getDocument();
        ASSERT_NE(document, nullptr);
        panel = document->getElementById("panel");
        status = document->getElementById("status");
        ASSERT_NE(panel, nullptr);
        ASSERT_NE(status, nullptr);
        browser.clearObjectAccesses();
    }
    void TearDown() override
    {
        window.reset();
        document.reset();
        panel.reset();
        status.reset();
        host.reset();
        browser.shutdownPlugin();
        EXPECT_THAT(browser.problems(), IsEmpty());
        EXPECT_EQ(browser.liveObjects(), 0u);
    }
    // The page's own view, which does not go through the browser objects.
    std::string page(const std::wstring& expression) { return TestBrowser::narrow(browser.page().text(expression)); }

    Browser browser;
    TestBrowser::Instance* embed = nullptr;
    std::shared_ptr<FB::Npapi::NpapiBrowserHost> host;
    FB::DOM::WindowPtr window;
    FB::DOM::DocumentPtr document;
    FB::DOM::ElementPtr panel;
    FB::DOM::ElementPtr status;
};

// ---- operation -> accesses -> result ---------------------------------------------------------------------

struct DomCase {
    const char* name;
    // Runs the operation; answers how to describe its result (asked after the accesses are taken).
    std::function<std::function<std::string()>(PageDom&)> run;
    std::vector<std::string> accesses;
    std::string result;
};

class PageDomOperation : public PageDom, public ::testing::WithParamInterface<DomCase> {};

TEST_P(PageDomOperation, ReadsThePageAndGives)
{
    const DomCase& c = GetParam();
    std::function<std::string()> describe = c.run(*this);
    EXPECT_EQ(browser.objectAccesses(), c.accesses);
    EXPECT_EQ(describe(), c.result);
}

std::function<std::string()> text(std::string value)
{
    return [value] { return value; };
}

INSTANTIATE_TEST_SUITE_P(Operations, PageDomOperation,
    ::testing::Values(DomCase{"GetDocument",
                          [](PageDom& f) {
                              auto d = f.window->getDocument();
                              return [d, &f] {
                                  f.window->setProperty("result", FB::variant(d->getJSObject()));
                                  return f.page(L"result === document");
                              };
                          },
                          {"get document"}, "true"},
        DomCase{"GetBody",
            [](PageDom& f) {
                auto body = f.document->getBody();
                return [body] { return body->getPropertyText("tagName"); };
            },
            {"get body"}, "BODY"},
        DomCase{"GetWindow",
            [](PageDom& f) {
                auto w = f.document->getWindow();
                return [w, &f] {
                    f.window->setProperty("result", FB::variant(w->getJSObject()));
                    return f.page(L"result === window");
                };
            },
            {"get window"}, "true"},
        DomCase{"GetElementById",
            [](PageDom& f) {
                auto found = f.document->getElementById("status");
                return [found] { return idOf(found); };
            },
            {"call getElementById"}, "status"},
        DomCase{"GetElementsByTagName",
            [](PageDom& f) {
                auto found = f.document->getElementsByTagName("span");
                return [found] { return idOf(found.at(0)) + "," + idOf(found.at(1)); };
            },
            {"call getElementsByTagName", "get length", "get 0", "get 1"}, "first,second"},
        DomCase{"CreateElement",
            [](PageDom& f) {
                auto made = f.document->createElement("p");
                return [made] { return made->getPropertyText("tagName"); };
            },
            {"call createElement"}, "P"},
        DomCase{"GetInnerHTML", [](PageDom& f) { return text(f.status->getInnerHTML()); }, {"get innerHTML"}, "Ready"},
        DomCase{"SetInnerHTML",
            [](PageDom& f) {
                f.status->setInnerHTML("Done");
                return [&f] { return f.page(L"document.getElementById('status').innerHTML"); };
            },
            {"set innerHTML"}, "Done"},
        DomCase{"GetWidth", [](PageDom& f) { return text(std::to_string(f.panel->getWidth())); }, {"get width"}, "320"},
        DomCase{"SetWidthStoresANumber",
            [](PageDom& f) {
                f.panel->setWidth(5);
                return [&f] {
                    return f.page(
                        L"(function (p) { return typeof p.width + ':' + p.width; })(document.getElementById('panel'))");
                };
            },
            {"set width"}, "number:5"},
        DomCase{
            "GetHeight", [](PageDom& f) { return text(std::to_string(f.panel->getHeight())); }, {"get height"}, "240"},
        DomCase{"SetHeight",
            [](PageDom& f) {
                f.panel->setHeight(7);
                return [&f] {
                    return f.page(L"(function (p) { return typeof p.height + ':' + p.height; "
                                  L"})(document.getElementById('panel'))");
                };
            },
            {"set height"}, "number:7"},
        DomCase{"GetScrollWidth", [](PageDom& f) { return text(std::to_string(f.panel->getScrollWidth())); },
            {"get scrollWidth"}, "400"},
        DomCase{"GetScrollHeight", [](PageDom& f) { return text(std::to_string(f.panel->getScrollHeight())); },
            {"get scrollHeight"}, "300"},
        DomCase{"GetChildNodeCount", [](PageDom& f) { return text(std::to_string(f.panel->getChildNodeCount())); },
            {"get childNodes", "get length"}, "2"},
        DomCase{"GetChildNode",
            [](PageDom& f) {
                auto child = f.panel->getChildNode(1);
                return [child] { return idOf(child); };
            },
            {"get childNodes", "get 1"}, "second"},
        DomCase{"GetParentNode",
            [](PageDom& f) {
                auto parent = f.status->getParentNode();
                return [parent] { return parent->getPropertyText("tagName"); };
            },
            {"get parentNode"}, "BODY"},
        DomCase{"GetStringAttribute", [](PageDom& f) { return text(f.status->getStringAttribute("class")); },
            {"call getAttribute"}, "note"},
        DomCase{"GetNode",
            [](PageDom& f) {
                auto node = f.panel->getNode("parentNode");
                return [node] { return node->getPropertyText("tagName"); };
            },
            {"get parentNode"}, "BODY"},
        DomCase{"SetProperty",
            [](PageDom& f) {
                f.status->setProperty("title", FB::variant("hint"));
                return [&f] { return f.page(L"document.getElementById('status').title"); };
            },
            {"set title"}, "hint"},
        DomCase{"AppendChild",
            [](PageDom& f) {
                auto made = f.document->createElement("p");
                auto appended = f.panel->appendChild(made);
                return [&f, appended] {
                    return appended->getPropertyText("tagName") + ":" +
                        f.page(L"document.getElementById('panel').childNodes.length");
                };
            },
            {"call createElement", "call appendChild"}, "P:3"},
        DomCase{"Alert",
            [](PageDom& f) {
                f.window->alert("hello");
                return [&f] { return f.page(L"alerts.join('|')"); };
            },
            {"call alert"}, "hello"},
        DomCase{"CreateArray",
            [](PageDom& f) {
                auto made = f.window->createArray();
                return [&f, made] {
                    f.window->setProperty("made", FB::variant(made));
                    return f.page(L"(made instanceof Array) + ':' + made.length");
                };
            },
            {"call Array"}, "true:0"},
        DomCase{"CreateMap",
            [](PageDom& f) {
                auto made = f.window->createMap();
                return [&f, made] {
                    f.window->setProperty("made", FB::variant(made));
                    return f.page(L"Object.prototype.toString.call(made) + ':' + (made instanceof Array)");
                };
            },
            {"call Object"}, "[object Object]:false"},
        DomCase{"GetLocation", [](PageDom& f) { return text(f.window->getLocation()); }, {"get location", "get href"},
            "http://stagecast.test/broadcast.html"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- emptiness, text, failures ---------------------------------------------------------------------------

TEST_F(PageDom, AbsentThingsAreEmpty)
{
    EXPECT_EQ(document->getElementById("nowhere"), nullptr);
    EXPECT_THAT(document->getElementsByTagName("table"), IsEmpty());
    EXPECT_EQ(document->getElementById("empty")->getChildNodeCount(), 0);
    EXPECT_EQ(status->getStringAttribute("title"), "");
    EXPECT_EQ(document->getBody()->getParentNode(), nullptr);
    EXPECT_EQ(document->getBody()->getElement("parentNode"), nullptr);
}

TEST_F(PageDom, AWideAlertShowsTheSameText)
{
    window->alert(L"Gr\u00fc\u00dfe \U0001F600");
    window->alert(std::string("Gr\xC3\xBC\xC3\x9F"
                              "e \xF0\x9F\x98\x80"));
    EXPECT_EQ(page(L"alerts.length"), "2");
    EXPECT_EQ(page(L"alerts[0] === alerts[1]"), "true");
    EXPECT_EQ(browser.page().text(L"alerts[0]"), L"Gr\u00fc\u00dfe \U0001F600");
    EXPECT_EQ(page(L"alerts[0].length"), "8");  // the emoji is one surrogate pair
}

TEST_F(PageDom, FailuresPassThrough)
{
    EXPECT_THROW(document->getElementById("broken")->getWidth(), FB::bad_variant_cast);
    ASSERT_TRUE(browser.page().run(L"document.getElementById = function (id) { throw new Error('no ' + id); };"));
    try {
        document->getElementById("x");
        FAIL() << "no error";
    } catch (const FB::script_error& e) {
        EXPECT_STREQ(e.what(), "getElementById");  // the NPAPI road names the member that failed
    }
    browser.page().clearErrors();
}

}  // namespace
