// Parsers of skin attribute values (numbers, number lists, rectangles, sizes,
// colours, booleans), shared by every control and the skin builder.
#pragma once

#include "UICommon.h"

namespace SkinUI {

// Each stops at the value's terminator, so short values leave the remaining
// fields at 0.
namespace AttributeValue {
// Reads up to count comma-separated decimal integers (one separator character
// between them); fields that are missing stay 0. Answers the fields read.
int ParseIntList(const wchar_t* value, long* out, int count);
RECT ParseRect(const wchar_t* value);
SIZE ParseSize(const wchar_t* value);
// Hexadecimal ARGB after leading blanks and one optional "#".
DWORD ParseColor(const wchar_t* value);
bool ParseBool(const wchar_t* value);
int ParseInt(const wchar_t* value);
}  // namespace AttributeValue

}  // namespace SkinUI
