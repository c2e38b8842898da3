// CXmlMarkup reads the skin files: a small, forgiving XML parser that works in
// place on one wide-character copy of the document (terminators are written
// into it) and records the element tree as an array of index records.
// CXmlMarkupNode is a light handle (document, element index) for walking the
// tree and reading attributes; it is meaningless once its document is released.
//
// The parser stops at the end of its input everywhere, limits the nesting depth
// and refuses malformed markup with an error text kept in the document.
// Single-threaded.
#pragma once

#include "UICommon.h"

namespace SkinUI {

class CXmlMarkup;

class CXmlMarkupNode {
public:
    enum { kMaxAttributes = 64 };

    CXmlMarkupNode() = default;
    CXmlMarkupNode(CXmlMarkup* owner, uint32_t index) : m_owner(owner), m_index(index) {}

    bool IsValid() const { return m_owner != nullptr; }
    CXmlMarkupNode GetParent();
    CXmlMarkupNode GetSibling();
    CXmlMarkupNode GetChild();
    CXmlMarkupNode GetChild(const wchar_t* name);
    bool HasChildren() const;
    const wchar_t* GetName() const;
    const wchar_t* GetValue() const;  // the element's text content
    bool HasAttributes();
    int GetAttributeCount();
    // Empty text for an index out of range, null for an invalid node.
    const wchar_t* GetAttributeName(int index);
    const wchar_t* GetAttributeValue(int index);
    // Null when there is no such attribute (exact, case-sensitive name).
    const wchar_t* GetAttributeValue(const wchar_t* name);
    // Copies at most size - 1 characters and the terminator; false when absent.
    bool GetAttributeValue(const wchar_t* name, wchar_t* value, size_t size);

private:
    void mapAttributes();

    CXmlMarkup* m_owner = nullptr;
    uint32_t m_index = 0;
    int m_attributeCount = 0;
    bool m_attributesMapped = false;
    struct {
        uint32_t name;
        uint32_t value;
    } m_attributes[kMaxAttributes] = {};
};

class CXmlMarkup {
    friend class CXmlMarkupNode;

public:
    enum Encoding { XMLFILE_ENCODING_UTF8 = 0, XMLFILE_ENCODING_UNICODE = 1, XMLFILE_ENCODING_ANSI = 2 };
    enum { kMaxDepth = 200, kMaxFileSize = 4 * 1024 * 1024 };

    explicit CXmlMarkup(const wchar_t* text = nullptr);
    ~CXmlMarkup();
    CXmlMarkup(const CXmlMarkup&) = delete;
    CXmlMarkup& operator=(const CXmlMarkup&) = delete;

    bool IsValid() const { return m_elements != nullptr; }
    bool Load(const wchar_t* text);
    bool LoadFromMem(const uint8_t* bytes, size_t size, int encoding = XMLFILE_ENCODING_UTF8);
    bool LoadFromFile(const wchar_t* name, int encoding = XMLFILE_ENCODING_UTF8);
    void Release();
    void SetPreserveWhitespace(bool preserve = true) { m_preserveWhitespace = preserve; }
    const wchar_t* GetLastErrorMessage() const { return m_errorMessage; }
    const wchar_t* GetLastErrorLocation() const { return m_errorLocation; }
    CXmlMarkupNode GetRoot();

private:
    struct Element {
        uint32_t name;
        uint32_t child;
        uint32_t next;
        uint32_t parent;
        uint32_t data;  // content; for an empty element its terminator
    };
    static_assert(sizeof(Element) == 20, "an element record is five 32-bit values");

    bool parse();
    bool parseLevel(wchar_t*& p, uint32_t parent, int depth);
    // The element's name and attributes, up to its '>' or "/>".
    bool parseStartTag(wchar_t*& p, wchar_t*& nameEnd);
    bool parseAttribute(wchar_t*& p);
    bool parseEndTag(wchar_t*& p, uint32_t index);
    bool reserveElement(uint32_t* index);
    void decode(wchar_t*& p, wchar_t*& dest, wchar_t stop);
    bool fail(const wchar_t* message, const wchar_t* location);
    // Takes ownership of a terminated text of length characters and parses it.
    bool adopt(wchar_t* text, size_t length);

    wchar_t* m_text = nullptr;
    size_t m_textLength = 0;
    Element* m_elements = nullptr;
    uint32_t m_elementCount = 0;
    uint32_t m_capacity = 0;
    bool m_preserveWhitespace = true;
    wchar_t m_errorMessage[100] = {};
    wchar_t m_errorLocation[50] = {};
};

}  // namespace SkinUI
