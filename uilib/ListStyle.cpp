#include "ListStyle.h"

#include "AttributeTable.h"

#include <algorithm>

namespace SkinUI {

UINT ApplyHorizontalAlign(UINT style, const wchar_t* value)
{
    if (wcsstr(value, L"left")) style &= ~(DT_CENTER | DT_RIGHT);
    if (wcsstr(value, L"center")) {
        style &= ~DT_RIGHT;
        style |= DT_CENTER;
    }
    if (wcsstr(value, L"right")) {
        style &= ~DT_CENTER;
        style |= DT_RIGHT;
    }
    return style;
}

namespace {

using namespace AttributeValue;

// A style attribute: what it sets, and what that changed.
struct ListStyleSetter {
    const wchar_t* name;  // compared exactly
    ListStyleChange (*apply)(TListStyleUI& style, const wchar_t* value);
};

const wchar_t* asText(const wchar_t* value)
{
    return value;
}

// A field set from the value as the parser reads it.
template <auto Field, auto Parse, ListStyleChange Change>
ListStyleChange setField(TListStyleUI& style, const wchar_t* value)
{
    style.*Field = Parse(value);
    return Change;
}

template <auto Field>
constexpr auto setColor = setField<Field, ParseColor, ListStyleChange::Look>;
template <auto Field>
constexpr auto setImage = setField<Field, asText, ListStyleChange::Look>;

ListStyleChange setEndEllipsis(TListStyleUI& style, const wchar_t* value)
{
    style.uTextStyle = ParseBool(value) ? style.uTextStyle | DT_END_ELLIPSIS : style.uTextStyle & ~DT_END_ELLIPSIS;
    return ListStyleChange::Stored;
}

ListStyleChange setAlign(TListStyleUI& style, const wchar_t* value)
{
    style.uTextStyle = ApplyHorizontalAlign(style.uTextStyle, value);
    return ListStyleChange::Stored;
}

// Asks for a new layout only when it changes.
ListStyleChange setShowHtml(TListStyleUI& style, const wchar_t* value)
{
    bool show = ParseBool(value);
    if (show == style.bShowHtml) return ListStyleChange::Stored;
    style.bShowHtml = show;
    return ListStyleChange::ShowHtml;
}

const ListStyleSetter kListStyleSetters[] = {
    {L"itemtextcolor", setField<&TListStyleUI::dwTextColor, ParseColor, ListStyleChange::TextColor>},
    {L"itembkcolor", setColor<&TListStyleUI::dwBkColor>},
    {L"itemselectedtextcolor", setColor<&TListStyleUI::dwSelectedTextColor>},
    {L"itemselectedbkcolor", setColor<&TListStyleUI::dwSelectedBkColor>},
    {L"itemhottextcolor", setColor<&TListStyleUI::dwHotTextColor>},
    {L"itemhotbkcolor", setColor<&TListStyleUI::dwHotBkColor>},
    {L"itemdisabledtextcolor", setColor<&TListStyleUI::dwDisabledTextColor>},
    {L"itemdisabledbkcolor", setColor<&TListStyleUI::dwDisabledBkColor>},
    {L"itemlinecolor", setColor<&TListStyleUI::dwLineColor>},
    {L"itembkimage", setImage<&TListStyleUI::sBkImage>},
    {L"itemselectedimage", setImage<&TListStyleUI::sSelectedImage>},
    {L"itemhotimage", setImage<&TListStyleUI::sHotImage>},
    {L"itemdisabledimage", setImage<&TListStyleUI::sDisabledImage>},
    {L"itemfont", setField<&TListStyleUI::nFont, ParseInt, ListStyleChange::Stored>},
    {L"itemalign", setAlign},
    {L"itemendellipsis", setEndEllipsis},
    {L"multiexpanding", setField<&TListStyleUI::bMultiExpandable, ParseBool, ListStyleChange::Stored>},
    {L"itemtextpadding", setField<&TListStyleUI::rcTextPadding, ParseRect, ListStyleChange::TextPadding>},
    {L"itemaltbk", setField<&TListStyleUI::bAlternateBk, ParseBool, ListStyleChange::Look>},
    {L"itemshowhtml", setShowHtml},
};

}  // namespace

ListStyleChange ApplyListStyleAttribute(TListStyleUI& style, const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return ListStyleChange::None;
    for (const ListStyleSetter& setter : kListStyleSetters)
        if (wcscmp(setter.name, name) == 0) return setter.apply(style, value);
    return ListStyleChange::None;
}

namespace {

void renumber(const CContainerUI& rows, int first, int last)
{
    last = std::min(last, rows.CContainerUI::GetCount() - 1);
    for (int i = std::max(first, 0); i <= last; ++i)
        if (IListItemUI* item = AsListItem(rows.CContainerUI::GetItemAt(i))) item->SetIndex(i);
}

int afterInsert(int kept, int index)
{
    return kept >= 0 && kept >= index ? kept + 1 : kept;
}

int afterMove(int kept, int from, int to)
{
    if (kept < 0) return kept;
    if (kept == from) return to;
    if (from < kept && kept <= to) return kept - 1;
    if (to <= kept && kept < from) return kept + 1;
    return kept;
}

int afterRemove(int kept, int index)
{
    if (kept == index) return -1;
    return kept > index ? kept - 1 : kept;
}

}  // namespace

namespace ListRows {

void Adopt(CControlUI* row, CControlUI* owner, int index)
{
    IListItemUI* item = AsListItem(row);
    if (!item) return;
    item->SetOwner(owner);
    item->SetIndex(index);
}

bool Append(CContainerUI& rows, CControlUI* owner, CControlUI* row)
{
    if (!row) return false;
    Adopt(row, owner, rows.CContainerUI::GetCount());
    return rows.CContainerUI::Add(row);
}

bool Insert(CContainerUI& rows, CControlUI* owner, CControlUI* row, int index, int& selection, int& expanded)
{
    if (!rows.CContainerUI::AddAt(row, index)) return false;
    Adopt(row, owner, index);
    renumber(rows, index + 1, rows.CContainerUI::GetCount() - 1);
    selection = afterInsert(selection, index);
    expanded = afterInsert(expanded, index);
    return true;
}

bool Move(CContainerUI& rows, CControlUI* row, int index, int& selection, int& expanded)
{
    int from = rows.CContainerUI::GetItemIndex(row);
    if (from < 0) return false;
    if (from == index) return true;
    if (!rows.CContainerUI::SetItemIndex(row, index)) return false;
    renumber(rows, std::min(from, index), std::max(from, index));
    selection = afterMove(selection, from, index);
    expanded = afterMove(expanded, from, index);
    return true;
}

int Remove(CContainerUI& rows, CControlUI* row, int& selection, int& expanded)
{
    int index = rows.CContainerUI::GetItemIndex(row);
    if (index < 0 || !rows.CContainerUI::Remove(row)) return -1;
    renumber(rows, index, rows.CContainerUI::GetCount() - 1);
    selection = afterRemove(selection, index);
    expanded = afterRemove(expanded, index);
    return index;
}

}  // namespace ListRows

}  // namespace SkinUI
