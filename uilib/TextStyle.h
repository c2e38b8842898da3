// TTextStyleUI: how a control draws its text — colour (0 takes the manager's
// default text colour at first paint), font index (-1 the default font), DT_
// style bits, padding, and plain or tagged text. Labels (and the controls built
// on them) and list header items each keep one through CTextStyleUI, which
// gives them the getters, the setters (each change repaints the control), the
// attributes the two share and the drawing of the text:
//
//     class CLabelUI : public CControlUI, public CTextStyleUI<CLabelUI> { ... };
//     if (applyTextStyleAttribute(name, value)) return;  // in SetAttribute
//
// UI thread only.
#pragma once

#include "AttributeTable.h"
#include "ControlUI.h"

namespace SkinUI {

struct TTextStyleUI {
    DWORD dwTextColor = 0;
    int iFont = -1;
    UINT uTextStyle = DT_VCENTER;
    RECT rcTextPadding{0, 0, 0, 0};
    bool bShowHtml = false;

    // The item's rectangle less the padding.
    RECT TextRect(const RECT& item) const;
    // The text in its rectangle and one colour, plain or tagged, with these DT_ bits.
    void Draw(HDC dc, CWindowManagerUI* manager, const RECT& item, const wchar_t* text, DWORD color, UINT style) const;
};

template <class Control>
class CTextStyleUI {
public:
    UINT GetTextStyle() const { return m_textStyle.uTextStyle; }
    void SetTextStyle(UINT style) { change(m_textStyle.uTextStyle, style); }
    DWORD GetTextColor() const { return m_textStyle.dwTextColor; }
    void SetTextColor(DWORD color) { change(m_textStyle.dwTextColor, color); }
    int GetFont() const { return m_textStyle.iFont; }
    void SetFont(int index) { change(m_textStyle.iFont, index); }
    RECT GetTextPadding() const { return m_textStyle.rcTextPadding; }
    void SetTextPadding(RECT padding) { change(m_textStyle.rcTextPadding, padding); }
    bool IsShowHtml() const { return m_textStyle.bShowHtml; }
    void SetShowHtml(bool show = true)
    {
        if (m_textStyle.bShowHtml != show) change(m_textStyle.bShowHtml, show);
    }

protected:
    explicit CTextStyleUI(TTextStyleUI initial) : m_textStyle(initial) {}

    // "endellipsis", "font", "textcolor", "textpadding" and "showhtml"; false
    // for any other name.
    bool applyTextStyleAttribute(const wchar_t* name, const wchar_t* value)
    {
        using namespace AttributeValue;
        static const AttributeSetter<CTextStyleUI> kSetters[] = {
            {L"endellipsis",
                [](auto& t, auto v) {
                    UINT style = t.m_textStyle.uTextStyle;
                    t.SetTextStyle(ParseBool(v) ? style | DT_END_ELLIPSIS : style & ~DT_END_ELLIPSIS);
                }},
            {L"font", [](auto& t, auto v) { t.SetFont(ParseInt(v)); }},
            {L"textcolor", [](auto& t, auto v) { t.SetTextColor(ParseColor(v)); }},
            {L"textpadding", [](auto& t, auto v) { t.SetTextPadding(ParseRect(v)); }},
            {L"showhtml", [](auto& t, auto v) { t.SetShowHtml(ParseBool(v)); }},
        };
        return ApplyAttribute(kSetters, *this, name, value);
    }

    TTextStyleUI m_textStyle;

private:
    template <class Field>
    void change(Field& field, Field value)
    {
        field = value;
        static_cast<Control*>(this)->Invalidate();
    }
};

}  // namespace SkinUI
