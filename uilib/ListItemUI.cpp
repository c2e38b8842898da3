// Implementation details: a row keeps its selection itself and tells its owner
// only when it becomes selected, after storing the new state, so that owner ->
// row -> owner ends at the second call. Deselecting always succeeds (a row that
// was disabled while selected must not keep its mark). The shared part is a
// template over the control base; it is instantiated here for the plain rows
// and the container rows only.
#include "ListItemUI.h"

#include "AttributeTable.h"
#include "RenderKit.h"

#include <algorithm>

namespace SkinUI {

namespace {

RECT lessPadding(RECT rc, const RECT& padding)
{
    rc.left += padding.left;
    rc.top += padding.top;
    rc.right -= padding.right;
    rc.bottom -= padding.bottom;
    return rc;
}

}  // namespace

// --- the shared part ---

template <class Base>
LPVOID CListItemBaseUI<Base>::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ListItem") == 0) return static_cast<IListItemUI*>(this);
    return Base::GetInterfaceByName(name);
}

template <class Base>
UINT CListItemBaseUI<Base>::GetInputFlags() const
{
    return UIFLAG_WANTRETURN;
}

template <class Base>
bool CListItemBaseUI<Base>::RunDefaultAction()
{
    if (!Base::RunDefaultAction()) return false;
    if (this->m_pManager) this->m_pManager->SendNotify(this, L"itemactivate");
    return true;
}

template <class Base>
void CListItemBaseUI<Base>::SetVisible(bool visible)
{
    Base::SetVisible(visible);
    if (visible || !m_bSelected) return;
    m_bSelected = false;
    // Hiding the selected row clears its owner's selection.
    if (m_pOwner && m_pOwner->GetCurSel() == m_iIndex) m_pOwner->SelectItem(-1);
}

template <class Base>
void CListItemBaseUI<Base>::SetEnabled(bool enabled)
{
    Base::SetEnabled(enabled);
    if (!enabled) m_uButtonState = 0;
}

template <class Base>
void CListItemBaseUI<Base>::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    static const AttributeSetter<CListItemBaseUI> kSetters[] = {
        {L"selected", [](auto& item, auto) { item.Select(true); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) Base::SetAttribute(name, value);
}

template <class Base>
void CListItemBaseUI<Base>::SetOwner(CControlUI* owner)
{
    m_pOwner = owner ? static_cast<IListOwnerUI*>(owner->GetInterfaceByName(L"IListOwner")) : nullptr;
}

template <class Base>
bool CListItemBaseUI<Base>::Select(bool selected)
{
    if (!selected) {
        if (!m_bSelected) return true;
        m_bSelected = false;
        InvalidateInView();
        return true;
    }
    if (!this->IsEnabled()) return false;
    if (m_bSelected) return true;
    m_bSelected = true;
    if (m_pOwner && !m_pOwner->SelectItem(m_iIndex) && m_pOwner->GetCurSel() != m_iIndex) {
        // The owner refused the row (hidden, or not among its rows).
        m_bSelected = false;
        return false;
    }
    InvalidateInView();
    return true;
}

template <class Base>
void CListItemBaseUI<Base>::InvalidateInView()
{
    if (!this->IsVisible()) return;
    CControlUI* parent = this->GetParent();
    auto* container = parent ? static_cast<CContainerUI*>(parent->GetInterfaceByName(L"Container")) : nullptr;
    if (!container) {
        this->Invalidate();
        return;
    }
    RECT rc = this->m_rcItem;
    RECT inner = container->GetInnerRect();
    if (!IntersectRect(&rc, &rc, &inner)) return;
    for (CControlUI* p = parent->GetParent(); p; p = p->GetParent()) {
        RECT pos = p->GetPos();
        if (!IntersectRect(&rc, &rc, &pos)) return;
    }
    if (this->m_pManager) this->m_pManager->Invalidate(rc);
}

template <class Base>
DWORD CListItemBaseUI<Base>::stateTextColor(const TListStyleUI& s) const
{
    DWORD color = s.dwTextColor;
    if (m_uButtonState & UISTATE_HOT) color = s.dwHotTextColor;
    if (m_bSelected) color = s.dwSelectedTextColor;
    if (!this->IsEnabled()) color = s.dwDisabledTextColor;
    return color;
}

template <class Base>
void CListItemBaseUI<Base>::drawStyledText(HDC dc, RECT rc, const wchar_t* text)
{
    TListStyleUI* s = style();
    if (!s || !text || !*text) return;
    rc = lessPadding(rc, s->rcTextPadding);
    DWORD color = this->GetAdjustColor(stateTextColor(*s));
    UINT textStyle = s->uTextStyle | DT_SINGLELINE;
    if (s->bShowHtml) {
        int links = 0;
        CRenderKit::DrawHtmlText(dc, this->m_pManager, rc, text, color, nullptr, nullptr, links, textStyle);
    } else {
        CRenderKit::DrawText(dc, this->m_pManager, rc, text, color, s->nFont, textStyle);
    }
}

template <class Base>
void CListItemBaseUI<Base>::PaintItemBackground(HDC dc)
{
    TListStyleUI* s = style();
    if (!s) return;
    bool hot = (m_uButtonState & UISTATE_HOT) != 0;
    bool enabled = this->IsEnabled();
    // With the alternate background, odd rows take neither the colour nor their own image.
    bool plainRow = !s->bAlternateBk || m_iIndex % 2 == 0;
    DWORD color = plainRow ? s->dwBkColor : 0;
    if (hot) color = s->dwHotBkColor;
    if (m_bSelected) color = s->dwSelectedBkColor;
    if (!enabled) color = s->dwDisabledBkColor;
    if (color != 0) CRenderKit::DrawColor(dc, this->m_rcItem, this->GetAdjustColor(color));

    CUIString* stateImage = !enabled ? &s->sDisabledImage
        : m_bSelected                ? &s->sSelectedImage
        : hot                        ? &s->sHotImage
                                     : nullptr;
    if (stateImage && this->drawOrForget(dc, *stateImage)) return;
    CUIString& ownImage = this->m_sBkImage;
    if (plainRow) this->drawOrForget(dc, ownImage);
    if (ownImage.IsEmpty() && this->drawOrForget(dc, s->sBkImage)) return;
    if (s->dwLineColor != 0) {
        const RECT& r = this->m_rcItem;
        CRenderKit::DrawLine(
            dc, RECT{r.left, r.bottom - 1, r.right, r.bottom - 1}, 1, this->GetAdjustColor(s->dwLineColor));
    }
}

template <class Base>
void CListItemBaseUI<Base>::passOn(TEventMsgUI& event)
{
    if (m_pOwner)
        m_pOwner->HandleOwnerEvent(event);
    else
        CControlUI::OnEvent(event);
}

template <class Base>
void CListItemBaseUI<Base>::OnEvent(TEventMsgUI& event)
{
    if (IsMouseEventType(event.Type) && !this->IsMouseEnabled()) {
        if (m_pOwner)
            m_pOwner->HandleOwnerEvent(event);
        else
            Base::OnEvent(event);
        return;
    }
    bool enabled = this->IsEnabled();
    switch (event.Type) {
    case UIEVENT_DBLCLICK:
        if (!enabled) break;
        RunDefaultAction();
        InvalidateInView();
        return;
    case UIEVENT_KEYDOWN:
        if (!enabled || event.chKey != VK_RETURN) break;
        RunDefaultAction();
        InvalidateInView();
        return;
    case UIEVENT_MOUSEENTER:
        if (!enabled) return;
        m_uButtonState |= UISTATE_HOT;
        InvalidateInView();
        return;
    case UIEVENT_MOUSELEAVE:
        if (!(m_uButtonState & UISTATE_HOT)) return;
        m_uButtonState &= ~UISTATE_HOT;
        InvalidateInView();
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
        if (!enabled) return;
        if (this->m_pManager) this->m_pManager->SendNotify(this, L"itemclick");
        Select(true);
        InvalidateInView();
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP: return;
    default: break;
    }
    passOn(event);
}

template class CListItemBaseUI<CControlUI>;
template class CListItemBaseUI<CContainerUI>;

// --- single-control rows ---

const wchar_t* CListElementUI::GetClassName() const
{
    return L"ListElementUI";
}

LPVOID CListElementUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ListElement") == 0) return this;
    return CListItemBaseUI<CControlUI>::GetInterfaceByName(name);
}

void CListElementUI::Paint(HDC dc, const RECT& paint)
{
    if (!IntersectRect(&m_rcPaint, &paint, &m_rcItem)) return;
    PaintItemBackground(dc);
    DrawItemText(dc, m_rcItem);
}

const wchar_t* CListLabelElementUI::GetClassName() const
{
    return L"ListLabelElementUI";
}

LPVOID CListLabelElementUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ListLabelElement") == 0) return this;
    return CListElementUI::GetInterfaceByName(name);
}

int CListLabelElementUI::rowHeight(const TListStyleUI& s) const
{
    if (m_cxyFixed.cy != 0 || !m_pManager) return m_cxyFixed.cy;
    return m_pManager->GetFontInfo(s.nFont)->tm.tmHeight + s.rcTextPadding.top + s.rcTextPadding.bottom + 8;
}

SIZE CListLabelElementUI::MeasureSize(SIZE)
{
    TListStyleUI* s = style();
    if (!s) return SIZE{0, 0};
    SIZE size = {m_cxyFixed.cx, rowHeight(*s)};
    if (size.cx != 0 || !m_pManager) return size;
    CUIString text = GetText();
    RECT rc = {0, 0, 9999, size.cy};
    UINT measure = (s->uTextStyle & ~(DT_CENTER | DT_RIGHT)) | DT_SINGLELINE;
    CRenderKit::MeasureText(m_pManager, rc, text, s->nFont, measure, s->bShowHtml);
    size.cx = s->rcTextPadding.left + s->rcTextPadding.right + (rc.right - rc.left);
    return size;
}

void CListLabelElementUI::DrawItemText(HDC dc, const RECT& rc)
{
    drawStyledText(dc, rc, GetText());
}

// --- text rows ---

CListTextElementUI::~CListTextElementUI()
{
    for (int i = 0; i < m_aTexts.GetSize(); ++i) delete static_cast<CUIString*>(m_aTexts.GetAt(i));
}

const wchar_t* CListTextElementUI::GetClassName() const
{
    return L"ListTextElementUI";
}

LPVOID CListTextElementUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ListTextElement") == 0) return this;
    return CListLabelElementUI::GetInterfaceByName(name);
}

UINT CListTextElementUI::GetInputFlags() const
{
    if (IsEnabled() && m_links.nLinks > 0) return UIFLAG_WANTRETURN | UIFLAG_SETCURSOR;
    return UIFLAG_WANTRETURN;
}

void CListTextElementUI::SetOwner(CControlUI* owner)
{
    CListLabelElementUI::SetOwner(owner);
    m_pOwnerList = owner ? static_cast<IListUI*>(owner->GetInterfaceByName(L"IList")) : nullptr;
}

const wchar_t* CListTextElementUI::GetText(int column) const
{
    auto* text = static_cast<CUIString*>(m_aTexts.GetAt(column));
    return text ? text->GetData() : nullptr;
}

void CListTextElementUI::SetText(int column, const wchar_t* text)
{
    // Only the columns a list can show are kept.
    if (column < 0 || column >= UILIST_MAX_COLUMNS) return;
    while (m_aTexts.GetSize() <= column)
        if (!m_aTexts.Add(nullptr)) return;
    auto* old = static_cast<CUIString*>(m_aTexts.GetAt(column));
    if (old) {
        *old = text;
    } else {
        auto* created = new CUIString(text);
        if (!m_aTexts.SetAt(column, created)) delete created;
    }
    InvalidateInView();
}

void CListTextElementUI::OnEvent(TEventMsgUI& event)
{
    int link = m_links.At(event.ptMouse);
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (link < 0) break;
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return;
    case UIEVENT_BUTTONUP:
        if (link < 0 || !IsEnabled()) break;
        if (m_pManager) m_pManager->SendNotify(this, L"link", static_cast<WPARAM>(link));
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_links.nLinks > 0 && m_links.SetHot(link)) InvalidateInView();
        break;
    case UIEVENT_MOUSELEAVE:
        if (m_links.SetHot(-1)) InvalidateInView();
        break;
    default: break;
    }
    CListLabelElementUI::OnEvent(event);
}

SIZE CListTextElementUI::MeasureSize(SIZE)
{
    TListStyleUI* s = style();
    if (!s) return SIZE{0, 0};
    return SIZE{m_cxyFixed.cx, rowHeight(*s)};
}

void CListTextElementUI::DrawItemText(HDC dc, const RECT& rc)
{
    if (!m_pOwnerList) return;
    TListStyleUI* s = m_pOwnerList->GetListStyle();
    IListTextProviderUI* provider = m_pOwnerList->GetTextProvider();
    DWORD color = GetAdjustColor(stateTextColor(*s));
    UINT textStyle = s->uTextStyle | DT_SINGLELINE;
    m_links.nLinks = 0;
    int columns = std::min(s->nColumns, static_cast<int>(UILIST_MAX_COLUMNS));
    for (int c = 0; c < columns; ++c) {
        const RECT& column = s->rcColumn[c];
        RECT cell = {column.left + s->rcTextPadding.left, rc.top + s->rcTextPadding.top,
            column.right - s->rcTextPadding.right, rc.bottom - s->rcTextPadding.bottom};
        CUIString provided;
        const wchar_t* text = GetText(c);
        if (provider) {
            provided = provider->GetItemText(this, m_iIndex, c);
            text = provided;
        }
        if (!text || !*text) continue;
        // The links of all columns share the row's slots.
        if (s->bShowHtml)
            m_links.DrawHtmlText(dc, m_pManager, cell, text, color, textStyle);
        else
            CRenderKit::DrawText(dc, m_pManager, cell, text, color, s->nFont, textStyle);
    }
    m_links.ClearFreeSlots();
}

// --- container rows ---

const wchar_t* CListContainerElementUI::GetClassName() const
{
    return L"ListContainerElementUI";
}

LPVOID CListContainerElementUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ListContainerElement") == 0) return this;
    return CListItemBaseUI<CContainerUI>::GetInterfaceByName(name);
}

void CListContainerElementUI::Paint(HDC dc, const RECT& paint)
{
    if (!IntersectRect(&m_rcPaint, &paint, &m_rcItem)) return;
    PaintItemBackground(dc);
    CContainerUI::Paint(dc, paint);
}

void CListContainerElementUI::DrawItemText(HDC dc, const RECT& rc)
{
    drawStyledText(dc, rc, GetText());
}

}  // namespace SkinUI
