// The DOM wrappers over page objects of a test host: which wrappers the host
// makes and which are always generic, what an empty page value gives, wide
// texts, and failures that pass through unchanged.
#include "BrowserHost.h"
#include "JSObject.h"
#include "ScriptErrors.h"
#include "PageObject.h"
#include "TestBrowserHost.h"
#include "dom/Document.h"
#include "dom/Window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <typeinfo>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// The shared page-object double with every access logged ("get x", "set x",
// "call x") in a log shared by the objects of one page, and methods by name.
class PageObject : public fbtest::PageObject {
public:
    using Method = std::function<FB::variant(const FB::VariantVector&)>;

    PageObject(const FB::BrowserHostPtr& host, std::shared_ptr<std::vector<std::string>> log)
        : fbtest::PageObject(host,
              [this](const std::string& name, const FB::VariantVector& args) {
                  auto found = methods.find(name);
                  if (found == methods.end()) throw FB::script_error("not a function: " + name);
                  return found->second(args);
              }),
          log(std::move(log))
    {
    }

    FB::variant getProperty(const std::string& name) override
    {
        log->push_back("get " + name);
        return fbtest::PageObject::getProperty(name);
    }
    void setProperty(const std::string& name, const FB::variant& value) override
    {
        log->push_back("set " + name);
        fbtest::PageObject::setProperty(name, value);
    }
    FB::variant invoke(const std::string& name, const FB::VariantVector& args) override
    {
        log->push_back("call " + name);
        arguments.push_back(args);
        return fbtest::PageObject::invoke(name, args);
    }
    using fbtest::PageObject::getProperty;
    using fbtest::PageObject::invoke;
    using fbtest::PageObject::setProperty;

    std::map<std::string, Method> methods;
    std::vector<FB::VariantVector> arguments;  // of every call, in order
    std::shared_ptr<std::vector<std::string>> log;
};

// A browser binding's own DOM classes, as the host's makers give them.
class BindingElement : public FB::DOM::Element {
public:
    explicit BindingElement(const FB::JSObjectPtr& object) : Node(object), Element(object) {}
};
class BindingDocument : public FB::DOM::Document {
public:
    explicit BindingDocument(const FB::JSObjectPtr& object) : Node(object), Document(object) {}
};
class BindingWindow : public FB::DOM::Window {
public:
    explicit BindingWindow(const FB::JSObjectPtr& object) : Node(object), Window(object) {}
};

class BindingHost : public fbtest::TestBrowserHost {
public:
    std::shared_ptr<FB::DOM::Element> wrapElement(const FB::JSObjectPtr& object) override
    {
        return std::make_shared<BindingElement>(object);
    }
    std::shared_ptr<FB::DOM::Document> wrapDocument(const FB::JSObjectPtr& object) override
    {
        return std::make_shared<BindingDocument>(object);
    }
    std::shared_ptr<FB::DOM::Window> wrapWindow(const FB::JSObjectPtr& object) override
    {
        return std::make_shared<BindingWindow>(object);
    }
};

class DomWrappers : public ::testing::Test {
protected:
    std::shared_ptr<PageObject> object()
    {
        auto made = std::make_shared<PageObject>(host, log);
        objects.push_back(made);
        return made;
    }
    static FB::variant value(const std::shared_ptr<PageObject>& object) { return FB::variant(FB::JSObjectPtr(object)); }
    // A page array of the given objects.
    std::shared_ptr<PageObject> array(const std::vector<std::shared_ptr<PageObject>>& items)
    {
        auto made = object();
        made->properties["length"] = static_cast<int>(items.size());
        for (size_t i = 0; i < items.size(); ++i) made->properties[std::to_string(i)] = value(items[i]);
        return made;
    }
    template <class Wrapper>
    static bool isExactly(const std::shared_ptr<Wrapper>& wrapper, const std::type_info& type)
    {
        return wrapper && typeid(*wrapper) == type;
    }

    std::shared_ptr<BindingHost> host = std::make_shared<BindingHost>();
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    std::vector<std::shared_ptr<PageObject>> objects;
};

// ---- which wrappers the host makes ---------------------------------------------------------------

TEST_F(DomWrappers, FoundAndMadeElementsComeFromTheHostPropertiesAreGeneric)
{
    auto page = object();
    auto found = object();
    auto parent = object();
    auto children = array({object(), object()});
    found->properties["parentNode"] = value(parent);
    found->properties["childNodes"] = value(children);
    page->properties["body"] = value(found);
    page->methods["getElementById"] = [&](const FB::VariantVector&) { return value(found); };
    page->methods["createElement"] = [&](const FB::VariantVector&) { return value(found); };
    page->methods["getElementsByTagName"] = [&](const FB::VariantVector&) { return value(array({found, parent})); };

    auto document = FB::DOM::makeDocument(page);
    ASSERT_TRUE(isExactly(document, typeid(BindingDocument)));
    EXPECT_TRUE(isExactly(document->getElementById("x"), typeid(BindingElement)));
    EXPECT_TRUE(isExactly(document->getBody(), typeid(BindingElement)));
    EXPECT_TRUE(isExactly(document->createElement("p"), typeid(BindingElement)));
    auto tagged = document->getElementsByTagName("div");
    ASSERT_EQ(tagged.size(), 2u);
    EXPECT_TRUE(isExactly(tagged[0], typeid(BindingElement)));
    EXPECT_EQ(tagged[1]->getJSObject(), parent);

    auto element = document->getElementById("x");
    EXPECT_TRUE(isExactly(element->getParentNode(), typeid(FB::DOM::Element)));
    EXPECT_TRUE(isExactly(element->getElement("parentNode"), typeid(FB::DOM::Element)));
    EXPECT_TRUE(isExactly(element->getChildNode(1), typeid(FB::DOM::Element)));
    EXPECT_EQ(element->getChildNode(1)->getJSObject(), children->properties["1"].convertToJSObject());
    EXPECT_TRUE(isExactly(FB::DOM::makeWindow(page), typeid(BindingWindow)));
}

TEST_F(DomWrappers, EveryCallReadsThePageAfresh)
{
    auto element = FB::DOM::makeElement(object());
    auto page = std::static_pointer_cast<PageObject>(element->getJSObject());
    page->properties["width"] = 10;
    EXPECT_EQ(element->getWidth(), 10);
    page->properties["width"] = 20;
    EXPECT_EQ(element->getWidth(), 20);
    EXPECT_THAT(*log, ElementsAre("get width", "get width"));
}

TEST_F(DomWrappers, SettersStoreTheValueKindsThePageExpects)
{
    auto element = FB::DOM::makeElement(object());
    auto page = std::static_pointer_cast<PageObject>(element->getJSObject());
    element->setWidth(5);
    element->setHeight(6);
    element->setInnerHTML("<b>x</b>");
    element->setProperty(3, FB::variant(true));
    EXPECT_TRUE(page->properties["width"].is_of_type<int>());
    EXPECT_EQ(page->properties["height"].convertToInt(), 6);
    EXPECT_TRUE(page->properties["innerHTML"].is_of_type<std::string>());
    EXPECT_EQ(page->properties["3"].convertToBool(), true);
    EXPECT_THAT(*log, ElementsAre("set width", "set height", "set innerHTML", "set 3"));
}

// ---- empty page values -------------------------------------------------------------------------------

TEST_F(DomWrappers, NullAndUndefinedGiveEmptyWrappers)
{
    auto page = object();
    page->properties["parentNode"] = FB::variant::makeNull();
    page->properties["body"] = FB::variant::makeNull();
    page->properties["childNodes"] = value(array({}));
    page->methods["getElementById"] = [](const FB::VariantVector&) { return FB::variant::makeNull(); };
    page->methods["getElementsByTagName"] = [&](const FB::VariantVector&) { return value(array({})); };
    page->methods["getAttribute"] = [](const FB::VariantVector& args) {
        return args.at(0).convertToString() == "undefined" ? FB::variant() : FB::variant::makeNull();
    };
    auto document = FB::DOM::makeDocument(page);
    EXPECT_EQ(document->getParentNode(), nullptr);        // null
    EXPECT_EQ(document->getElement("nothing"), nullptr);  // undefined
    EXPECT_EQ(document->getNode("nothing"), nullptr);
    EXPECT_EQ(document->getBody(), nullptr);
    EXPECT_EQ(document->getWindow(), nullptr);
    EXPECT_EQ(document->getElementById("x"), nullptr);
    EXPECT_THAT(document->getElementsByTagName("table"), IsEmpty());
    EXPECT_EQ(document->getChildNodeCount(), 0);
    EXPECT_EQ(document->getChildNode(0), nullptr);
    EXPECT_EQ(document->getStringAttribute("null"), "");
    EXPECT_EQ(document->getStringAttribute("undefined"), "");
    EXPECT_EQ(FB::DOM::makeElement(nullptr), nullptr);
    EXPECT_EQ(FB::DOM::makeDocument(nullptr), nullptr);
    EXPECT_EQ(FB::DOM::makeWindow(nullptr), nullptr);
    EXPECT_EQ(FB::DOM::makeWindow(object())->getLocation(), "");

    // An element without children has none, whether "childNodes" is empty or absent.
    auto bare = FB::DOM::makeElement(object());
    EXPECT_EQ(bare->getChildNodeCount(), 0);
}

// ---- wide texts ------------------------------------------------------------------------------------------

TEST_F(DomWrappers, WideTextsReachThePageAsTheSameUtf8)
{
    auto page = object();
    page->methods["alert"] = [](const FB::VariantVector&) { return FB::variant(); };
    page->methods["getElementsByTagName"] = [&](const FB::VariantVector&) { return value(array({})); };
    auto window = FB::DOM::makeWindow(page);
    window->alert(L"Gr\u00fc\u00dfe \U0001F600");
    window->alert(std::string("Gr\xC3\xBC\xC3\x9F"
                              "e \xF0\x9F\x98\x80"));
    ASSERT_EQ(page->arguments.size(), 2u);
    const std::string wide = page->arguments[0].at(0).convertToString();
    EXPECT_EQ(wide, page->arguments[1].at(0).convertToString());
    EXPECT_EQ(wide.substr(wide.size() - 4), "\xF0\x9F\x98\x80");  // the surrogate pair as one character

    log->clear();
    window->setProperty(L"na\u00efve", value(object()));
    window->getNode(L"na\u00efve");
    auto element = FB::DOM::makeElement(page);
    element->getElementsByTagName(L"sp\u00e4n");
    EXPECT_THAT(*log, ElementsAre("set na\xC3\xAFve", "get na\xC3\xAFve", "call getElementsByTagName", "get length"));
    EXPECT_EQ(page->arguments.back().at(0).convertToString(), "sp\xC3\xA4n");
}

// ---- failures pass through -------------------------------------------------------------------------------

TEST_F(DomWrappers, AValueOfTheWrongKindFailsWithBadVariantCast)
{
    auto page = object();
    page->properties["width"] = FB::variant("abc");
    page->methods["getElementsByTagName"] = [&](const FB::VariantVector&) {
        auto list = object();
        list->properties["length"] = 1;
        list->properties["0"] = FB::variant(42);
        return value(list);
    };
    auto element = FB::DOM::makeElement(page);
    EXPECT_THROW(element->getWidth(), FB::bad_variant_cast);
    EXPECT_THROW(element->getElementsByTagName("div"), FB::bad_variant_cast);
}

TEST_F(DomWrappers, APageErrorKeepsItsTypeAndText)
{
    auto page = object();
    page->methods["getElementById"] = [](const FB::VariantVector&) -> FB::variant {
        throw FB::invalid_arguments("Invalid arguments");
    };
    auto document = FB::DOM::makeDocument(page);
    try {
        document->getElementById("x");
        FAIL() << "no error";
    } catch (const FB::invalid_arguments& e) {
        EXPECT_STREQ(e.what(), "Invalid arguments");
    }
    try {
        document->createElement("p");  // the page has no such method
        FAIL() << "no error";
    } catch (const FB::script_error& e) {
        EXPECT_STREQ(e.what(), "not a function: createElement");
    }
}

TEST_F(DomWrappers, AGoneHostFailsWithTheWeakPointerError)
{
    auto page = object();
    auto found = object();
    page->methods["getElementById"] = [&](const FB::VariantVector&) { return value(found); };
    auto document = FB::DOM::makeDocument(page);
    host.reset();
    objects.clear();
    EXPECT_THROW(FB::DOM::makeElement(page), std::bad_weak_ptr);
    EXPECT_THROW(FB::DOM::makeWindow(page), std::bad_weak_ptr);
    EXPECT_THROW(document->getElementById("x"), std::bad_weak_ptr);
    EXPECT_EQ(FB::DOM::makeElement(nullptr), nullptr);
}

}  // namespace
