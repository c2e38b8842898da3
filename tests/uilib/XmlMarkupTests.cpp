#include "WindowManagerUI.h"
#include "XmlMarkup.h"

#include <gtest/gtest.h>

#include <string>

using namespace SkinUI;

TEST(XmlMarkup, WalksAWellFormedSkin)
{
    CXmlMarkup xml;
    ASSERT_TRUE(
        xml.Load(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- a skin -->\n"
                 L"<Window size=\"300,200\" caption=\"0,0,0,30\">\n"
                 L"  <Font name=\"Tahoma\" size=\"12\" />\n"
                 L"  <VerticalLayout bkcolor=\"#FFFFFFFF\">\n"
                 L"    <Label name = \"title\" text=\"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos; &copy;\"/>\n"
                 L"    <Button name=\"ok\">content</Button>\n"
                 L"  </VerticalLayout>\n"
                 L"</Window>\n"));
    CXmlMarkupNode root = xml.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_STREQ(L"Window", root.GetName());
    EXPECT_EQ(2, root.GetAttributeCount());
    EXPECT_STREQ(L"size", root.GetAttributeName(0));
    EXPECT_STREQ(L"0,0,0,30", root.GetAttributeValue(1));
    EXPECT_STREQ(L"", root.GetAttributeValue(2));
    CXmlMarkupNode font = root.GetChild();
    EXPECT_STREQ(L"Font", font.GetName());
    EXPECT_FALSE(font.HasChildren());
    CXmlMarkupNode layout = font.GetSibling();
    EXPECT_STREQ(L"VerticalLayout", layout.GetName());
    EXPECT_FALSE(layout.GetSibling().IsValid());
    CXmlMarkupNode label = layout.GetChild();
    EXPECT_STREQ(L"title", label.GetAttributeValue(L"name"));
    EXPECT_STREQ(L"a & b <c> \"d\" 'e' &copy;", label.GetAttributeValue(L"text"));
    EXPECT_EQ(nullptr, label.GetAttributeValue(L"Name"));
    CXmlMarkupNode button = label.GetSibling();
    EXPECT_STREQ(L"Button", button.GetName());
    EXPECT_STREQ(L"content", button.GetValue());
    EXPECT_STREQ(L"ok", button.GetAttributeValue(L"name"));

    wchar_t small[4];
    EXPECT_TRUE(label.GetAttributeValue(L"name", small, 4));
    EXPECT_STREQ(L"tit", small);  // at most size - 1 characters and the terminator
    EXPECT_FALSE(label.GetAttributeValue(L"missing", small, 4));
    CXmlMarkupNode invalid;
    EXPECT_EQ(nullptr, invalid.GetAttributeValue(0));
    EXPECT_EQ(nullptr, invalid.GetName());
}

TEST(XmlMarkup, RefusesMalformedMarkupWithItsError)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* error;
    } cases[] = {
        {L"<a></b>", L"Unmatched closing tag"},
        {L"<a><b></a></b>", L"Unmatched closing tag"},
        {L"<a></ab>", L"Unmatched closing tag"},
        {L"hello", L"Expected start tag"},
        {L"<>", L"Error parsing element name"},
        {L"< a/>", L"Error parsing element name"},
        {L"<a b/>", L"Error while parsing attributes"},
        {L"<a b=c/>", L"Expected attribute value"},
        {L"<a b='c'/>", L"Expected attribute value"},
        {L"<a b=\"c", L"Error while parsing attribute string"},
        {L"<a b=\"c\"", L"Expected start-tag closing"},
        {L"<a b=\"c\" x", L"Error while parsing attributes"},
        {L"<a><b><c>", L"Expected end-tag start"},
        {L"<a><b><c/>", L"Expected start tag"},
        {L"<a/></a>", L"Unmatched closing tag"},
        {L"<a><b><c>text", L"Expected end-tag start"},
        {L"<a ==\"x\"/>", L"Error while parsing attributes"},
    };
    for (const Case& c : cases) {
        CXmlMarkup xml;
        EXPECT_FALSE(xml.Load(c.text)) << c.text;
        EXPECT_STREQ(c.error, xml.GetLastErrorMessage()) << c.text;
        EXPECT_FALSE(xml.GetRoot().IsValid()) << c.text;
    }
}

TEST(XmlMarkup, EdgeCases)
{
    CXmlMarkup declarationOnly;
    EXPECT_TRUE(declarationOnly.Load(L"<?xml version=\"1.0\"?><!-- nothing -->"));
    EXPECT_FALSE(declarationOnly.GetRoot().IsValid());

    CXmlMarkup empty;
    EXPECT_TRUE(empty.Load(L""));
    EXPECT_FALSE(empty.GetRoot().IsValid());

    // 65 attributes: the first 64 are visible.
    std::wstring many = L"<a";
    for (int i = 0; i < 65; ++i) many += L" k" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
    many += L"/>";
    CXmlMarkup wide;
    ASSERT_TRUE(wide.Load(many.c_str()));
    CXmlMarkupNode node = wide.GetRoot();
    EXPECT_EQ(64, node.GetAttributeCount());
    EXPECT_STREQ(L"63", node.GetAttributeValue(L"k63"));
    EXPECT_EQ(nullptr, node.GetAttributeValue(L"k64"));

    // Content is never read as attributes; an unclosed comment ends the text.
    CXmlMarkup content;
    ASSERT_TRUE(content.Load(L"<a>x=\"y\"</a><!-- open"));
    EXPECT_EQ(0, content.GetRoot().GetAttributeCount());
    EXPECT_STREQ(L"x=\"y\"", content.GetRoot().GetValue());

    // Whitespace collapses when asked.
    CXmlMarkup collapse;
    collapse.SetPreserveWhitespace(false);
    ASSERT_TRUE(collapse.Load(L"<a t=\"x    y\"/>"));
    EXPECT_STREQ(L"x y", collapse.GetRoot().GetAttributeValue(L"t"));

    // Surrogate pairs are copied whole.
    CXmlMarkup pair;
    ASSERT_TRUE(pair.Load(L"<a t=\"\xD83D\xDE00&amp;\"/>"));
    EXPECT_STREQ(L"\xD83D\xDE00&", pair.GetRoot().GetAttributeValue(L"t"));
}

TEST(XmlMarkup, NestingIsLimited)
{
    auto nested = [](int depth) {
        std::wstring text;
        for (int i = 0; i < depth; ++i) text += L"<e>";
        for (int i = 0; i < depth; ++i) text += L"</e>";
        return text;
    };
    CXmlMarkup ok;
    EXPECT_TRUE(ok.Load(nested(CXmlMarkup::kMaxDepth).c_str()));
    CXmlMarkup deep;
    EXPECT_FALSE(deep.Load(nested(100000).c_str()));
    EXPECT_STREQ(L"Nesting too deep", deep.GetLastErrorMessage());
    EXPECT_LE(wcslen(deep.GetLastErrorLocation()), 49u);
}

namespace {

std::string utf16(const wchar_t* text, bool bigEndian, bool mark)
{
    std::string bytes;
    if (mark) bytes += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t* p = text; *p; ++p) {
        char lo = static_cast<char>(*p & 0xFF), hi = static_cast<char>(*p >> 8);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
    return bytes;
}

}  // namespace

TEST(XmlMarkup, LoadsFromMemoryInEveryEncoding)
{
    struct Case {
        std::string bytes;
        int encoding;
        bool loads;
    } cases[] = {
        {"\xEF\xBB\xBF<a t=\"\xC3\xA9\"/>", CXmlMarkup::XMLFILE_ENCODING_UTF8, true},
        {"<a t=\"\xC3\xA9\"/>", CXmlMarkup::XMLFILE_ENCODING_UTF8, true},
        {utf16(L"<a t=\"\xE9\"/>", false, true), CXmlMarkup::XMLFILE_ENCODING_UNICODE, true},
        {utf16(L"<a t=\"\xE9\"/>", true, true), CXmlMarkup::XMLFILE_ENCODING_UNICODE, true},
        {utf16(L"<a t=\"\xE9\"/>", false, false), CXmlMarkup::XMLFILE_ENCODING_UNICODE, false},
        {utf16(L"<a t=\"\xE9\"/>", false, true) + "\x01", CXmlMarkup::XMLFILE_ENCODING_UNICODE, true},
        {"<a/>", 7, false},
    };
    for (const Case& c : cases) {
        CXmlMarkup xml;
        bool loaded = xml.LoadFromMem(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), c.encoding);
        EXPECT_EQ(c.loads, loaded) << c.encoding << " " << c.bytes.size();
        if (!loaded) continue;
        EXPECT_STREQ(L"a", xml.GetRoot().GetName());
        const wchar_t* t = xml.GetRoot().GetAttributeValue(L"t");
        ASSERT_NE(nullptr, t);
        EXPECT_STREQ(L"\xE9", t);
    }
}

TEST(XmlMarkup, LoadsFromFilesAndTheSkinZip)
{
    // The failure text left by a file that does not load.
    auto failureOf = [](const wchar_t* file) {
        CXmlMarkup markup;
        EXPECT_FALSE(markup.LoadFromFile(file)) << file;
        return std::wstring(markup.GetLastErrorMessage());
    };
    CWindowManagerUI::SetResourcePath(L"fixtures\\skinfolder");
    CXmlMarkup fromFile;
    EXPECT_TRUE(fromFile.LoadFromFile(L"MainFrame.xml"));
    EXPECT_STREQ(L"Window", fromFile.GetRoot().GetName());
    EXPECT_EQ(L"Error opening file", failureOf(L"nothere.xml"));
    EXPECT_EQ(L"File is empty", failureOf(L"empty.xml"));

    CWindowManagerUI::SetResourcePath(L"fixtures");
    CWindowManagerUI::SetResourceZip(L"skin.zip");
    CXmlMarkup zipped;
    EXPECT_TRUE(zipped.LoadFromFile(L"mainframe.xml"));
    EXPECT_STREQ(L"Label", zipped.GetRoot().GetChild().GetName());
    EXPECT_EQ(L"Could not find ziped file", failureOf(L"other.xml"));
    EXPECT_EQ(L"File is empty", failureOf(L"empty.txt"));
    CWindowManagerUI::SetResourceZip(L"missing.zip");
    EXPECT_EQ(L"Error opening zip file", failureOf(L"MainFrame.xml"));
    CWindowManagerUI::Term();
}
