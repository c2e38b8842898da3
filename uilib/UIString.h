// CUIString: the UI library's wide string. Short texts (up to 62 characters)
// live in an inline buffer; longer ones own a heap buffer. Always terminated.
// A plain value, single-threaded like the rest of the library.
#pragma once

#include "UICommon.h"

namespace SkinUI {

class CUIString {
public:
    enum { kInlineSize = 64 };

    CUIString();
    CUIString(const wchar_t* text, int length = -1);
    CUIString(wchar_t ch);
    CUIString(const CUIString& other);
    ~CUIString();

    CUIString& operator=(const CUIString& other);
    CUIString& operator=(const wchar_t* text);
    CUIString& operator=(wchar_t ch);
    CUIString& operator+=(const CUIString& other);
    CUIString& operator+=(const wchar_t* text);
    CUIString& operator+=(wchar_t ch);
    CUIString operator+(const CUIString& other) const;
    CUIString operator+(const wchar_t* text) const;

    bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
    bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }
    bool operator<(const wchar_t* text) const { return Compare(text) < 0; }
    operator const wchar_t*() const { return m_text; }

    void Assign(const wchar_t* text, int length = -1);
    void Append(const wchar_t* text);
    void Append(wchar_t ch);
    bool IsEmpty() const { return m_text[0] == 0; }
    void Empty();
    int GetLength() const;
    const wchar_t* GetData() const { return m_text; }
    wchar_t GetAt(int index) const;
    // Three-way compare, exact and case-sensitive; a null text counts as empty.
    int Compare(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text) const;

    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* text, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    CUIString Left(int count) const;
    CUIString Mid(int start, int count = -1) const;
    CUIString Right(int count) const;
    int Replace(const wchar_t* from, const wchar_t* to);
    // Formats into 128 characters at most (127 plus the terminator).
    int Format(const wchar_t* format, ...);

    bool IsInline() const { return m_text == m_inline; }

    // While on, every heap allocation of a string fails (the text stays as it
    // was), so that callers' out-of-memory paths can be reached. Tests only.
    static void FailHeapForTesting(bool fail);

private:
    wchar_t* m_text;
    wchar_t m_inline[kInlineSize];
};

}  // namespace SkinUI
