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

ListStyleChange ApplyListStyleAttribute(TListStyleUI& style, const wchar_t* name, const wchar_t* value)
{
    using namespace AttributeValue;
    static const AttributeField<TListStyleUI, DWORD> kColors[] = {
        {L"itemtextcolor", &TListStyleUI::dwTextColor},
        {L"itembkcolor", &TListStyleUI::dwBkColor},
        {L"itemselectedtextcolor", &TListStyleUI::dwSelectedTextColor},
        {L"itemselectedbkcolor", &TListStyleUI::dwSelectedBkColor},
        {L"itemhottextcolor", &TListStyleUI::dwHotTextColor},
        {L"itemhotbkcolor", &TListStyleUI::dwHotBkColor},
        {L"itemdisabledtextcolor", &TListStyleUI::dwDisabledTextColor},
        {L"itemdisabledbkcolor", &TListStyleUI::dwDisabledBkColor},
        {L"itemlinecolor", &TListStyleUI::dwLineColor},
    };
    static const AttributeField<TListStyleUI, CUIString> kImages[] = {
        {L"itembkimage", &TListStyleUI::sBkImage},
        {L"itemselectedimage", &TListStyleUI::sSelectedImage},
        {L"itemhotimage", &TListStyleUI::sHotImage},
        {L"itemdisabledimage", &TListStyleUI::sDisabledImage},
    };
    if (!name || !value) return ListStyleChange::None;
    if (DWORD TListStyleUI::*color = FindAttributeField(kColors, name)) {
        style.*color = ParseColor(value);
        return color == &TListStyleUI::dwTextColor ? ListStyleChange::TextColor : ListStyleChange::Look;
    }
    if (CUIString TListStyleUI::*image = FindAttributeField(kImages, name)) {
        style.*image = value;
        return ListStyleChange::Look;
    }
    if (wcscmp(name, L"itemfont") == 0) {
        style.nFont = ParseInt(value);
        return ListStyleChange::Stored;
    }
    if (wcscmp(name, L"itemalign") == 0) {
        style.uTextStyle = ApplyHorizontalAlign(style.uTextStyle, value);
        return ListStyleChange::Stored;
    }
    if (wcscmp(name, L"itemendellipsis") == 0) {
        if (ParseBool(value))
            style.uTextStyle |= DT_END_ELLIPSIS;
        else
            style.uTextStyle &= ~DT_END_ELLIPSIS;
        return ListStyleChange::Stored;
    }
    if (wcscmp(name, L"multiexpanding") == 0) {
        style.bMultiExpandable = ParseBool(value);
        return ListStyleChange::Stored;
    }
    if (wcscmp(name, L"itemtextpadding") == 0) {
        style.rcTextPadding = ParseRect(value);
        return ListStyleChange::TextPadding;
    }
    if (wcscmp(name, L"itemaltbk") == 0) {
        style.bAlternateBk = ParseBool(value);
        return ListStyleChange::Look;
    }
    if (wcscmp(name, L"itemshowhtml") == 0) {
        bool show = ParseBool(value);
        if (show == style.bShowHtml) return ListStyleChange::Stored;
        style.bShowHtml = show;
        return ListStyleChange::ShowHtml;
    }
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
