// Fuzz target of the skin XML parser: the input bytes, read as UTF-16LE units,
// are parsed both ways (whitespace kept and collapsed) and the whole tree is
// walked through every accessor.
#include "XmlMarkup.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace SkinUI;

namespace {

void walk(CXmlMarkupNode node, int depth)
{
    for (; node.IsValid() && depth < 300; node = node.GetSibling()) {
        volatile size_t sink = wcslen(node.GetName()) + wcslen(node.GetValue());
        int count = node.GetAttributeCount();
        for (int i = -1; i <= count; ++i)
            sink = sink + wcslen(node.GetAttributeName(i)) + wcslen(node.GetAttributeValue(i));
        wchar_t small[8];
        node.GetAttributeValue(L"name", small, 8);
        node.GetAttributeValue(node.GetAttributeName(0));
        (void)sink;
        walk(node.GetChild(), depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    text.reserve(size / 2 + 1);
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    for (bool preserve : {true, false}) {
        CXmlMarkup xml;
        xml.SetPreserveWhitespace(preserve);
        if (xml.Load(text.c_str())) walk(xml.GetRoot(), 0);
    }
    return 0;
}
