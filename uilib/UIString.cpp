#include "UIString.h"

#include <cstdarg>
#include <cstdlib>
#include <cwctype>

namespace SkinUI {

namespace {

int textLength(const wchar_t* text)
{
    return text ? static_cast<int>(wcslen(text)) : 0;
}

bool g_failHeap = false;

wchar_t* allocateText(int characters)
{
    return g_failHeap ? nullptr : static_cast<wchar_t*>(malloc(characters * sizeof(wchar_t)));
}

wchar_t* reallocateText(wchar_t* text, int characters)
{
    return g_failHeap ? nullptr : static_cast<wchar_t*>(realloc(text, characters * sizeof(wchar_t)));
}

}  // namespace

CUIString::CUIString() : m_text(m_inline)
{
    m_inline[0] = 0;
}

CUIString::CUIString(const wchar_t* text, int length) : m_text(m_inline)
{
    m_inline[0] = 0;
    Assign(text, length);
}

CUIString::CUIString(wchar_t ch) : m_text(m_inline)
{
    m_inline[0] = ch;
    m_inline[1] = 0;
}

CUIString::CUIString(const CUIString& other) : m_text(m_inline)
{
    m_inline[0] = 0;
    Assign(other.m_text);
}

CUIString::~CUIString()
{
    if (!IsInline()) free(m_text);
}

CUIString& CUIString::operator=(const CUIString& other)
{
    if (this != &other) Assign(other.m_text);
    return *this;
}

CUIString& CUIString::operator=(const wchar_t* text)
{
    if (text == m_text) return *this;
    if (text && !IsInline() && text > m_text && text < m_text + GetLength()) {
        CUIString copy(text);  // a part of our own heap buffer
        Assign(copy.m_text);
        return *this;
    }
    Assign(text);
    return *this;
}

CUIString& CUIString::operator=(wchar_t ch)
{
    wchar_t text[2] = {ch, 0};
    Assign(text);
    return *this;
}

CUIString& CUIString::operator+=(const CUIString& other)
{
    if (this == &other) {
        CUIString copy(other);
        Append(copy.m_text);
    } else {
        Append(other.m_text);
    }
    return *this;
}

CUIString& CUIString::operator+=(const wchar_t* text)
{
    Append(text);
    return *this;
}

CUIString& CUIString::operator+=(wchar_t ch)
{
    Append(ch);
    return *this;
}

CUIString CUIString::operator+(const CUIString& other) const
{
    CUIString result(*this);
    result.Append(other.m_text);
    return result;
}

CUIString CUIString::operator+(const wchar_t* text) const
{
    CUIString result(*this);
    result.Append(text);
    return result;
}

void CUIString::Assign(const wchar_t* text, int length)
{
    if (!text) text = L"";
    int available = textLength(text);
    if (length < 0 || length > available) length = available;
    if (length < kInlineSize - 1) {
        if (!IsInline()) {
            wchar_t* heap = m_text;
            wmemmove(m_inline, text, length);  // text may point into the heap buffer
            m_text = m_inline;
            free(heap);
        } else {
            wmemmove(m_inline, text, length);
        }
    } else {
        bool fits = !IsInline() && GetLength() >= length;
        if (!fits) {
            wchar_t* grown = allocateText(length + 1);
            if (!grown) return;
            wmemcpy(grown, text, length);
            if (!IsInline()) free(m_text);
            m_text = grown;
        } else {
            wmemmove(m_text, text, length);
        }
    }
    m_text[length] = 0;
}

void CUIString::Append(const wchar_t* text)
{
    if (!text) return;
    int current = GetLength();
    int added = textLength(text);
    int total = current + added;
    if (total >= kInlineSize - 1) {
        if (IsInline()) {
            wchar_t* heap = allocateText(total + 1);
            if (!heap) return;
            wmemcpy(heap, m_inline, current);
            wmemcpy(heap + current, text, added);
            m_text = heap;
        } else {
            if (text >= m_text && text <= m_text + current) {
                CUIString copy(text);  // a part of our own buffer, which realloc may move
                Append(copy.m_text);
                return;
            }
            wchar_t* heap = reallocateText(m_text, total + 1);
            if (!heap) return;
            m_text = heap;
            wmemcpy(m_text + current, text, added);
        }
    } else {
        if (!IsInline()) {
            wchar_t* heap = m_text;
            wmemcpy(m_inline, heap, current);
            wmemmove(m_inline + current, text, added);
            m_text = m_inline;
            free(heap);
        } else {
            wmemmove(m_inline + current, text, added);
        }
    }
    m_text[total] = 0;
}

void CUIString::Append(wchar_t ch)
{
    wchar_t text[2] = {ch, 0};
    Append(text);
}

void CUIString::Empty()
{
    if (!IsInline()) free(m_text);
    m_text = m_inline;
    m_inline[0] = 0;
}

int CUIString::GetLength() const
{
    return static_cast<int>(wcslen(m_text));
}

wchar_t CUIString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength()) return 0;
    return m_text[index];
}

int CUIString::Compare(const wchar_t* text) const
{
    return wcscmp(m_text, text ? text : L"");
}

int CUIString::CompareNoCase(const wchar_t* text) const
{
    const wchar_t* a = m_text;
    const wchar_t* b = text ? text : L"";
    for (;; ++a, ++b) {
        wint_t ca = towlower(*a), cb = towlower(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}

int CUIString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start > GetLength()) return -1;
    const wchar_t* found = wcschr(m_text + start, ch);
    return found && *found ? static_cast<int>(found - m_text) : -1;
}

int CUIString::Find(const wchar_t* text, int start) const
{
    if (!text || start < 0 || start > GetLength()) return -1;
    const wchar_t* found = wcsstr(m_text + start, text);
    return found ? static_cast<int>(found - m_text) : -1;
}

int CUIString::ReverseFind(wchar_t ch) const
{
    if (!ch) return -1;
    const wchar_t* found = wcsrchr(m_text, ch);
    return found ? static_cast<int>(found - m_text) : -1;
}

CUIString CUIString::Left(int count) const
{
    if (count < 0) count = 0;
    return CUIString(m_text, count);
}

CUIString CUIString::Mid(int start, int count) const
{
    int length = GetLength();
    if (start < 0 || start >= length) return CUIString();
    if (count < 0 || count > length - start) count = length - start;
    return CUIString(m_text + start, count);
}

CUIString CUIString::Right(int count) const
{
    int length = GetLength();
    if (count < 0) count = 0;
    if (count > length) count = length;
    return CUIString(m_text + length - count, count);
}

int CUIString::Replace(const wchar_t* from, const wchar_t* to)
{
    if (!from || !*from) return 0;
    if (!to) to = L"";
    int fromLength = textLength(from);
    int toLength = textLength(to);
    int count = 0;
    int position = Find(from, 0);
    while (position >= 0) {
        CUIString rest(m_text + position + fromLength);
        CUIString head(m_text, position);
        head.Append(to);
        head.Append(rest.m_text);
        Assign(head.m_text);
        ++count;
        position = Find(from, position + toLength);
    }
    return count;
}

void CUIString::FailHeapForTesting(bool fail)
{
    g_failHeap = fail;
}

int CUIString::Format(const wchar_t* format, ...)
{
    if (!format) return 0;
    wchar_t buffer[128];
    va_list args;
    va_start(args, format);
    buffer[0] = 0;
#ifdef _WIN32
    // Writes at most 127 characters; a longer result is cut there unterminated.
    _vsnwprintf(buffer, 127, format, args);
#else
    vswprintf(buffer, 128, format, args);
#endif
    va_end(args);
    buffer[127] = 0;
    Assign(buffer);
    return GetLength();
}

}  // namespace SkinUI
