#include "AttributeValues.h"

#include <cwctype>

namespace SkinUI {

namespace AttributeValue {

namespace {

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Decimal with an optional sign; stops at the first non-digit.
long readDecimal(const wchar_t*& p)
{
    bool negative = false;
    if (*p == L'-' || *p == L'+') negative = *p++ == L'-';
    long value = 0;
    while (isDigit(*p)) {
        if (value < 100000000) value = value * 10 + (*p - L'0');
        ++p;
    }
    return negative ? -value : value;
}

}  // namespace

int ParseIntList(const wchar_t* value, long* out, int count)
{
    for (int i = 0; i < count; ++i) out[i] = 0;
    if (!value) return 0;
    const wchar_t* p = value;
    int read = 0;
    while (read < count) {
        while (*p == L' ') ++p;
        out[read++] = readDecimal(p);
        if (*p == 0) break;
        ++p;  // exactly one separator character
    }
    return read;
}

RECT ParseRect(const wchar_t* value)
{
    long v[4];
    ParseIntList(value, v, 4);
    return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ParseSize(const wchar_t* value)
{
    long v[2];
    ParseIntList(value, v, 2);
    return SIZE{v[0], v[1]};
}

DWORD ParseColor(const wchar_t* value)
{
    if (!value) return 0;
    while (*value > 0 && *value <= L' ') ++value;
    if (*value == L'#') ++value;
    DWORD color = 0;
    for (int digits = 0; digits < 8 && iswxdigit(*value); ++digits, ++value) {
        wchar_t c = *value;
        DWORD nibble = c <= L'9' ? c - L'0' : (towlower(c) - L'a' + 10);
        color = (color << 4) | nibble;
    }
    return color;
}

bool ParseBool(const wchar_t* value)
{
    return value && wcscmp(value, L"true") == 0;
}

int ParseInt(const wchar_t* value)
{
    if (!value) return 0;
    const wchar_t* p = value;
    while (*p == L' ') ++p;
    return static_cast<int>(readDecimal(p));
}

}  // namespace AttributeValue

}  // namespace SkinUI
