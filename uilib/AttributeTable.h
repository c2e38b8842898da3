// The skin attributes a control class reads itself: a table of names, each
// with the setter that parses the value text and applies it. A class's
// SetAttribute looks the name up in its own table and hands an unknown name
// to its base class:
//
//     static const AttributeSetter<CSliderUI> kSetters[] = {
//         {L"step", [](auto& slider, auto value) { slider.SetChangeStep(ParseInt(value)); }},
//     };
//     if (!ApplyAttribute(kSetters, *this, name, value)) CProgressUI::SetAttribute(name, value);
//
// Setters written inside a member function reach the class's protected parts.
#pragma once

#include "AttributeValues.h"

#include <cwchar>

namespace SkinUI {

template <class Control>
struct AttributeSetter {
    const wchar_t* name;  // compared exactly
    void (*apply)(Control& control, const wchar_t* value);
};

// Runs the setter of that name; false when the table has none.
template <class Control, size_t Count>
bool ApplyAttribute(
    const AttributeSetter<Control> (&setters)[Count], Control& control, const wchar_t* name, const wchar_t* value)
{
    for (const AttributeSetter<Control>& setter : setters) {
        if (wcscmp(setter.name, name) != 0) continue;
        setter.apply(control, value);
        return true;
    }
    return false;
}

}  // namespace SkinUI
