// Implementation details: the parse walks the text once, writing terminators
// into it; element records refer to it by offset, so growing the record array
// never invalidates anything. Every scan stops at the text's terminator. The
// start tag's attribute text ends where the element's data begins, so a
// node's lazy attribute table never reads content as attributes.
#include "XmlMarkup.h"

#include <cstdlib>
#include <cstring>
#include <cwctype>

namespace SkinUI {

namespace {

bool isBlank(wchar_t c)
{
    return c > 0 && c <= L' ';
}

void skipBlanks(wchar_t*& p)
{
    while (isBlank(*p)) ++p;
}

bool isNameChar(wchar_t c)
{
    return (c < 0x80 ? iswalnum(c) : iswalpha(c)) || c == L'_' || c == L':';
}

bool isHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(wchar_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

void copyLimited(wchar_t* out, size_t size, const wchar_t* text)
{
    if (size == 0) return;
    size_t i = 0;
    for (; text && text[i] && i + 1 < size; ++i) out[i] = text[i];
    out[i] = 0;
}

struct Entity {
    const wchar_t* name;
    size_t length;
    wchar_t ch;
};
const Entity kEntities[] = {
    {L"&amp;", 5, L'&'},
    {L"&lt;", 4, L'<'},
    {L"&gt;", 4, L'>'},
    {L"&quot;", 6, L'"'},
    {L"&apos;", 6, L'\''},
};

}  // namespace

// --- node ---

CXmlMarkupNode CXmlMarkupNode::GetParent()
{
    if (!m_owner) return {};
    uint32_t parent = m_owner->m_elements[m_index].parent;
    return parent == 0 ? CXmlMarkupNode() : CXmlMarkupNode(m_owner, parent);
}

CXmlMarkupNode CXmlMarkupNode::GetSibling()
{
    if (!m_owner) return {};
    uint32_t next = m_owner->m_elements[m_index].next;
    return next == 0 ? CXmlMarkupNode() : CXmlMarkupNode(m_owner, next);
}

CXmlMarkupNode CXmlMarkupNode::GetChild()
{
    if (!m_owner) return {};
    uint32_t child = m_owner->m_elements[m_index].child;
    return child == 0 ? CXmlMarkupNode() : CXmlMarkupNode(m_owner, child);
}

CXmlMarkupNode CXmlMarkupNode::GetChild(const wchar_t* name)
{
    if (!m_owner || !name) return {};
    for (CXmlMarkupNode child = GetChild(); child.IsValid(); child = child.GetSibling())
        if (wcscmp(child.GetName(), name) == 0) return child;
    return {};
}

bool CXmlMarkupNode::HasChildren() const
{
    return m_owner && m_owner->m_elements[m_index].child != 0;
}

const wchar_t* CXmlMarkupNode::GetName() const
{
    if (!m_owner) return nullptr;
    return m_owner->m_text + m_owner->m_elements[m_index].name;
}

const wchar_t* CXmlMarkupNode::GetValue() const
{
    if (!m_owner) return nullptr;
    return m_owner->m_text + m_owner->m_elements[m_index].data;
}

void CXmlMarkupNode::mapAttributes()
{
    if (m_attributesMapped || !m_owner) return;
    m_attributesMapped = true;
    m_attributeCount = 0;
    wchar_t* text = m_owner->m_text;
    const CXmlMarkup::Element& element = m_owner->m_elements[m_index];
    wchar_t* p = text + element.name;
    wchar_t* end = text + element.data;
    p += wcslen(p);  // the name's terminator
    while (m_attributeCount < kMaxAttributes) {
        while (p < end && *p <= L' ') ++p;  // blanks and terminators left by parsing
        if (p >= end || !isNameChar(*p)) return;
        wchar_t* name = p;
        while (p < end && *p) ++p;
        if (p >= end) return;
        ++p;
        while (p < end && isBlank(*p)) ++p;
        if (p < end && *p == L'=') ++p;
        while (p < end && isBlank(*p)) ++p;
        if (p >= end || *p != L'"') return;
        wchar_t* value = ++p;
        while (p < end && *p) ++p;
        if (p >= end) return;
        m_attributes[m_attributeCount].name = static_cast<uint32_t>(name - text);
        m_attributes[m_attributeCount].value = static_cast<uint32_t>(value - text);
        ++m_attributeCount;
        ++p;
    }
}

bool CXmlMarkupNode::HasAttributes()
{
    return GetAttributeCount() > 0;
}

int CXmlMarkupNode::GetAttributeCount()
{
    if (!m_owner) return 0;
    mapAttributes();
    return m_attributeCount;
}

const wchar_t* CXmlMarkupNode::GetAttributeName(int index)
{
    if (!m_owner) return nullptr;
    mapAttributes();
    if (index < 0 || index >= m_attributeCount) return L"";
    return m_owner->m_text + m_attributes[index].name;
}

const wchar_t* CXmlMarkupNode::GetAttributeValue(int index)
{
    if (!m_owner) return nullptr;
    mapAttributes();
    if (index < 0 || index >= m_attributeCount) return L"";
    return m_owner->m_text + m_attributes[index].value;
}

const wchar_t* CXmlMarkupNode::GetAttributeValue(const wchar_t* name)
{
    if (!m_owner || !name) return nullptr;
    mapAttributes();
    for (int i = 0; i < m_attributeCount; ++i)
        if (wcscmp(m_owner->m_text + m_attributes[i].name, name) == 0) return m_owner->m_text + m_attributes[i].value;
    return nullptr;
}

bool CXmlMarkupNode::GetAttributeValue(const wchar_t* name, wchar_t* value, size_t size)
{
    const wchar_t* found = GetAttributeValue(name);
    if (!found) return false;
    copyLimited(value, size, found);
    return true;
}

// --- document ---

CXmlMarkup::CXmlMarkup(const wchar_t* text)
{
    if (text) Load(text);
}

CXmlMarkup::~CXmlMarkup()
{
    Release();
}

void CXmlMarkup::Release()
{
    free(m_text);
    free(m_elements);
    m_text = nullptr;
    m_textLength = 0;
    m_elements = nullptr;
    m_elementCount = m_capacity = 0;
}

CXmlMarkupNode CXmlMarkup::GetRoot()
{
    if (!m_elements || m_elementCount < 2) return {};
    return CXmlMarkupNode(this, 1);
}

bool CXmlMarkup::Load(const wchar_t* text)
{
    Release();
    if (!text) return fail(L"Error loading text", L"");
    size_t length = wcslen(text);
    wchar_t* copy = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
    if (!copy) return fail(L"Out of memory", L"");
    wmemcpy(copy, text, length + 1);
    return adopt(copy, length);
}

bool CXmlMarkup::adopt(wchar_t* text, size_t length)
{
    Release();
    m_text = text;
    m_textLength = length;
    if (length >= 0xFFFFFFF0u) {
        Release();
        return fail(L"File too large", L"");
    }
    if (!parse()) {
        Release();
        return false;
    }
    return true;
}

bool CXmlMarkup::fail(const wchar_t* message, const wchar_t* location)
{
    copyLimited(m_errorMessage, 100, message);
    copyLimited(m_errorLocation, 50, location);
    return false;
}

bool CXmlMarkup::reserveElement(uint32_t* index)
{
    if (m_elementCount >= m_capacity) {
        uint64_t capacity = static_cast<uint64_t>(m_capacity) + m_capacity / 2 + 500;
        if (capacity > 0x7FFFFFFF / sizeof(Element)) return false;
        Element* grown = static_cast<Element*>(realloc(m_elements, static_cast<size_t>(capacity) * sizeof(Element)));
        if (!grown) return false;
        m_elements = grown;
        m_capacity = static_cast<uint32_t>(capacity);
    }
    *index = m_elementCount++;
    m_elements[*index] = Element{};
    return true;
}

bool CXmlMarkup::parse()
{
    m_errorMessage[0] = m_errorLocation[0] = 0;
    uint32_t placeholder = 0;
    if (!reserveElement(&placeholder)) return fail(L"Out of memory", L"");
    wchar_t* p = m_text;
    if (!parseLevel(p, 0, 0)) return false;
    if (*p != 0) return fail(L"Unmatched closing tag", p);  // a close tag at the top level
    return true;
}

void CXmlMarkup::decode(wchar_t*& p, wchar_t*& dest, wchar_t stop)
{
    dest = p;
    while (*p && *p != stop) {
        if (*p == L'&') {
            const Entity* match = nullptr;
            for (const Entity& entity : kEntities)
                if (wcsncmp(p, entity.name, entity.length) == 0) match = &entity;
            if (match) {
                *dest++ = match->ch;
                p += match->length;
                continue;
            }
            *dest++ = *p++;
            continue;
        }
        if (isBlank(*p) && !m_preserveWhitespace) {
            *dest++ = *p++;
            while (isBlank(*p)) ++p;
            continue;
        }
        if (isHighSurrogate(*p) && isLowSurrogate(p[1])) *dest++ = *p++;
        *dest++ = *p++;
    }
    // Fill what decoding freed, so the text stays one run up to the stop.
    for (wchar_t* fill = dest; fill < p; ++fill) *fill = L' ';
}

bool CXmlMarkup::parseLevel(wchar_t*& p, uint32_t parent, int depth)
{
    if (depth > kMaxDepth) return fail(L"Nesting too deep", p);
    uint32_t previous = 0;
    for (;;) {
        skipBlanks(p);
        if (*p == 0 && parent <= 1) return true;
        if (*p != L'<') return fail(L"Expected start tag", p);
        if (p[1] == L'/') return true;
        *p++ = 0;
        if (*p == L'!' || *p == L'?') {
            const wchar_t* close = *p == L'!' ? L"->" : L"?>";
            wchar_t* end = wcsstr(p, close);
            p = end ? end + 2 : p + wcslen(p);
            continue;
        }
        uint32_t index = 0;
        if (!reserveElement(&index)) return fail(L"Out of memory", p);
        Element& fresh = m_elements[index];
        fresh.name = static_cast<uint32_t>(p - m_text);
        fresh.parent = parent;
        if (previous == 0)
            m_elements[parent].child = index;
        else
            m_elements[previous].next = index;
        previous = index;

        wchar_t* nameEnd = nullptr;
        if (!parseStartTag(p, nameEnd)) return false;
        if (*p == L'/' && p[1] == L'>') {
            m_elements[index].data = static_cast<uint32_t>(p - m_text);
            *nameEnd = 0;
            *p = 0;
            p += 2;
            continue;
        }
        if (*p != L'>') return fail(L"Expected start-tag closing", p);
        ++p;
        *nameEnd = 0;
        m_elements[index].data = static_cast<uint32_t>(p - m_text);
        wchar_t* dest = nullptr;
        decode(p, dest, L'<');
        if (dest < p) *dest = 0;  // else the '<' becomes the terminator when it is consumed
        if (*p == 0 && parent <= 1) return true;
        if (*p != L'<') return fail(L"Expected end-tag start", p);
        if (p[1] != L'/' && !parseLevel(p, index, depth + 1)) return false;
        if (p[0] != L'<' || p[1] != L'/') {
            if (*p == 0 && parent <= 1) return true;
            return fail(L"Unmatched closing tag", p);
        }
        if (!parseEndTag(p, index)) return false;
    }
}

bool CXmlMarkup::parseStartTag(wchar_t*& p, wchar_t*& nameEnd)
{
    nameEnd = p;
    while (isNameChar(*nameEnd)) ++nameEnd;
    if (nameEnd == p) return fail(L"Error parsing element name", p);
    p = nameEnd;
    for (;;) {
        skipBlanks(p);
        if (*p == 0 || *p == L'>' || *p == L'/') break;
        if (!parseAttribute(p)) return false;
    }
    return true;
}

bool CXmlMarkup::parseAttribute(wchar_t*& p)
{
    wchar_t* attrName = p;
    while (isNameChar(*p)) ++p;
    if (p == attrName) return fail(L"Error while parsing attributes", p);
    wchar_t* attrNameEnd = p;
    skipBlanks(p);
    if (*p != L'=') return fail(L"Error while parsing attributes", p);
    ++p;
    *attrNameEnd = 0;
    skipBlanks(p);
    if (*p != L'"') return fail(L"Expected attribute value", p);
    ++p;
    wchar_t* dest = nullptr;
    decode(p, dest, L'"');
    if (*p == 0) return fail(L"Error while parsing attribute string", p);
    *dest = 0;
    *p++ = 0;
    return true;
}

// p is at "</"; the name must be the element's own.
bool CXmlMarkup::parseEndTag(wchar_t*& p, uint32_t index)
{
    *p = 0;
    p += 2;
    const wchar_t* name = m_text + m_elements[index].name;
    size_t nameLength = wcslen(name);
    if (wcsncmp(p, name, nameLength) != 0) return fail(L"Unmatched closing tag", p);
    p += nameLength;
    skipBlanks(p);
    if (*p != L'>') return fail(L"Unmatched closing tag", p);
    ++p;
    return true;
}

}  // namespace SkinUI
