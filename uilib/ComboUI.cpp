// Implementation details: the selection is an index into the combo's own
// children, kept on its row by ListRows like a list's. Closed, the rows are
// parked at an empty rectangle and never painted in place; the closed combo
// draws the selected row's text (DrawItemText) into its own text area.
#include "ComboUI.h"

#include "AttributeTable.h"
#include "ComboWnd.h"
#include "RenderKit.h"

namespace SkinUI {

namespace {

// Reads "[-]digits" and answers whether there was at least one digit.
bool readNumber(const wchar_t*& p, long& value)
{
    bool negative = *p == L'-';
    if (negative) ++p;
    if (*p < L'0' || *p > L'9') return false;
    long number = 0;
    while (*p >= L'0' && *p <= L'9' && number < 100000000) number = number * 10 + (*p++ - L'0');
    if (*p >= L'0' && *p <= L'9') return false;
    value = negative ? -number : number;
    return true;
}

}  // namespace

// --- combo ---

CComboUI::CComboUI() = default;

CComboUI::~CComboUI()
{
    closeDropDown();
}

const wchar_t* CComboUI::GetClassName() const
{
    return L"ComboUI";
}

LPVOID CComboUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Combo") == 0) return this;
    if (name && wcscmp(name, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CContainerUI::GetInterfaceByName(name);
}

UINT CComboUI::GetInputFlags() const
{
    return UIFLAG_TABSTOP;
}

CUIString CComboUI::GetText() const
{
    CControlUI* row = GetItemAt(m_iCurSel);
    return row ? row->GetText() : CUIString();
}

void CComboUI::SetEnabled(bool enabled)
{
    CContainerUI::SetEnabled(enabled);
    if (!enabled) m_uButtonState = 0;
}

void CComboUI::SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init)
{
    // Leaving its place in the window (a removal) closes the drop-down first.
    if (!parent && m_pWindow) closeDropDown();
    CContainerUI::SetManager(manager, parent, init);
}

void CComboUI::takeRowsBack()
{
    CContainerUI::SetManager(m_pManager, m_pParent, false);
}

void CComboUI::closeDropDown()
{
    if (!m_pWindow) return;
    CComboWnd* window = m_pWindow;
    m_pWindow = nullptr;
    window->OwnerGone();
    m_uButtonState &= ~UISTATE_PUSHED;
}

void CComboUI::dropDownDestroyed()
{
    m_pWindow = nullptr;
    m_uButtonState &= ~UISTATE_PUSHED;
    Invalidate();
}

bool CComboUI::RunDefaultAction()
{
    if (!CContainerUI::RunDefaultAction()) return false;
    if (m_pWindow) return true;
    m_pWindow = CComboWnd::Open(this);
    if (!m_pWindow) return true;
    if (m_pManager) m_pManager->SendNotify(this, L"dropdown");
    Invalidate();
    return true;
}

bool CComboUI::Add(CControlUI* control)
{
    return ListRows::Append(*this, this, control);
}

bool CComboUI::AddAt(CControlUI* control, int index)
{
    int expanded = -1;
    return ListRows::Insert(*this, this, control, index, m_iCurSel, expanded);
}

bool CComboUI::SetItemIndex(CControlUI* control, int index)
{
    int expanded = -1;
    return ListRows::Move(*this, control, index, m_iCurSel, expanded);
}

bool CComboUI::Remove(CControlUI* control)
{
    bool wasSelected = m_iCurSel >= 0 && GetItemAt(m_iCurSel) == control;
    int expanded = -1;
    int index = ListRows::Remove(*this, control, m_iCurSel, expanded);
    if (index < 0) return false;
    if (wasSelected) SelectItem(FindSelectableChild(index, false), false);
    return true;
}

void CComboUI::RemoveAll()
{
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
}

bool CComboUI::SelectItem(int index, bool takeFocus)
{
    if (m_pWindow) m_pWindow->PostCloseMessage(1);
    if (index == m_iCurSel) return true;
    int previous = m_iCurSel;
    if (m_iCurSel >= 0) {
        CControlUI* current = GetItemAt(m_iCurSel);
        if (!current) return false;
        if (IListItemUI* item = AsListItem(current)) item->Select(false);
        m_iCurSel = -1;
    }
    if (index < 0 || m_items.IsEmpty()) return false;
    if (index >= m_items.GetSize()) index = m_items.GetSize() - 1;
    CControlUI* row = GetItemAt(index);
    IListItemUI* item = AsListItem(row);
    if (!row->IsVisible() || !row->IsEnabled() || !item) return false;
    m_iCurSel = index;
    if (m_pWindow || takeFocus) row->SetFocus();
    item->Select(true);
    if (m_pManager) m_pManager->SendNotify(this, L"itemselect", static_cast<WPARAM>(m_iCurSel), previous);
    Invalidate();
    return true;
}

void CComboUI::SetPos(RECT rc)
{
    // Rows lent to the drop-down are its to place.
    if (!m_pWindow || !m_pWindow->RowsLent())
        for (int i = 0; i < m_items.GetSize(); ++i) itemAt(i)->SetPos(RECT{0, 0, 0, 0});
    CControlUI::SetPos(rc);
}

void CComboUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsMouseEnabled())) return;
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        Invalidate();
        CContainerUI::OnEvent(event);
        return;
    case UIEVENT_BUTTONDOWN:
        if (!IsEnabled()) return;
        RunDefaultAction();
        m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
        return;
    case UIEVENT_BUTTONUP: clearState(UISTATE_CAPTURED); return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_CONTEXTMENU: return;
    case UIEVENT_KEYDOWN:
        if (takeKey(event.chKey)) return;
        break;
    case UIEVENT_MOUSELEAVE: clearState(UISTATE_HOT); return;
    case UIEVENT_MOUSEENTER:
        if (!PtInRect(&m_rcItem, event.ptMouse)) return;
        m_uButtonState |= UISTATE_HOT;
        Invalidate();
        return;
    case UIEVENT_SCROLLWHEEL: stepSelection(event.wParam == 1); return;
    default: break;
    }
    CControlUI::OnEvent(event);
}

void CComboUI::clearState(UINT bit)
{
    if (!(m_uButtonState & bit)) return;
    m_uButtonState &= ~bit;
    Invalidate();
}

void CComboUI::selectFrom(int index, bool forward)
{
    int found = FindSelectableChild(index, forward);
    if (found >= 0) SelectItem(found);
}

void CComboUI::stepSelection(bool forward)
{
    selectFrom(m_iCurSel + (forward ? 1 : -1), forward);
}

bool CComboUI::takeKey(wchar_t key)
{
    switch (key) {
    case VK_PRIOR:
    case VK_UP: stepSelection(false); return true;
    case VK_NEXT:
    case VK_DOWN: stepSelection(true); return true;
    case VK_END: selectFrom(GetCount() - 1, true); return true;
    case VK_HOME: selectFrom(0, false); return true;
    case VK_F4: RunDefaultAction(); return true;
    default: return false;
    }
}

void CComboUI::SetTextPadding(RECT padding)
{
    m_rcTextPadding = padding;
    Invalidate();
}

void CComboUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CComboUI> kSetters[] = {
        {L"normalimage", [](auto& c, auto v) { c.setImage(c.m_sNormalImage, v); }},
        {L"hotimage", [](auto& c, auto v) { c.setImage(c.m_sHotImage, v); }},
        {L"pushedimage", [](auto& c, auto v) { c.setImage(c.m_sPushedImage, v); }},
        {L"focusedimage", [](auto& c, auto v) { c.setImage(c.m_sFocusedImage, v); }},
        {L"disabledimage", [](auto& c, auto v) { c.setImage(c.m_sDisabledImage, v); }},
        {L"textpadding", [](auto& c, auto v) { c.SetTextPadding(ParseRect(v)); }},
        {L"dropbox", [](auto& c, auto v) { c.SetDropBoxAttributeList(v); }},
        {L"dropboxsize", [](auto& c, auto v) { c.SetDropBoxSize(ParseSize(v)); }},
        // Item attributes of a list that mean nothing to a combo box.
        {L"itemendellipsis", [](auto&, auto) {}},
        {L"multiexpanding", [](auto&, auto) {}},
    };
    if (ApplyAttribute(kSetters, *this, name, value)) return;
    // The list's item attributes.
    ListStyleChange change = ApplyListStyleAttribute(m_ListInfo, name, value);
    if (change == ListStyleChange::TextColor || change == ListStyleChange::TextPadding ||
        change == ListStyleChange::ShowHtml)
        Invalidate();
    if (change == ListStyleChange::None) CContainerUI::SetAttribute(name, value);
}

SIZE CComboUI::MeasureSize(SIZE available)
{
    if (m_cxyFixed.cy != 0 || !m_pManager) return CContainerUI::MeasureSize(available);
    return SIZE{m_cxyFixed.cx, m_pManager->GetDefaultFontInfo()->tm.tmHeight + 12};
}

void CComboUI::Paint(HDC dc, const RECT& paint)
{
    CControlUI::Paint(dc, paint);
}

void CComboUI::PaintStateImage(HDC dc)
{
    refreshStateBits(m_uButtonState);
    // The first state that applies picks its image; without one, the normal image.
    CUIString* stateImage = (m_uButtonState & UISTATE_DISABLED) ? &m_sDisabledImage
        : (m_uButtonState & UISTATE_PUSHED)                     ? &m_sPushedImage
        : (m_uButtonState & UISTATE_HOT)                        ? &m_sHotImage
        : (m_uButtonState & UISTATE_FOCUSED)                    ? &m_sFocusedImage
                                                                : nullptr;
    if (stateImage && drawOrForget(dc, *stateImage)) return;
    drawOrForget(dc, m_sNormalImage);
}

void CComboUI::paintSelection(HDC dc, RECT rc)
{
    CControlUI* row = GetItemAt(m_iCurSel);
    if (!row) return;
    if (IListItemUI* item = AsListItem(row)) {
        item->DrawItemText(dc, rc);
        return;
    }
    RECT old = row->GetPos();
    row->SetPos(rc);
    row->Paint(dc, rc);
    row->SetPos(old);
}

void CComboUI::PaintContentText(HDC dc)
{
    RECT rc = m_rcItem;
    rc.left += m_rcTextPadding.left;
    rc.top += m_rcTextPadding.top;
    rc.right -= m_rcTextPadding.right;
    rc.bottom -= m_rcTextPadding.bottom;
    paintSelection(dc, rc);
}

// --- combo box ---

const wchar_t* CComboBoxUI::GetClassName() const
{
    return L"ComboBoxUI";
}

void CComboBoxUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    static const AttributeSetter<CComboBoxUI> kSetters[] = {
        {L"arrowimage", [](auto& c, auto v) { c.setImage(c.m_sArrowImage, v); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CComboUI::SetAttribute(name, value);
}

bool CComboBoxUI::FindArrowSource(const wchar_t* image, RECT& source, int& start, int& end)
{
    if (!image) return false;
    // "source" may also stand inside a file name: the attribute is the one
    // followed by "=" and a quoted rectangle.
    for (const wchar_t* found = wcsstr(image, L"source"); found; found = wcsstr(found + 1, L"source")) {
        const wchar_t* p = found + 6;
        while (*p == L' ') ++p;
        if (*p++ != L'=') continue;
        while (*p == L' ') ++p;
        if (*p != L'\'' && *p != L'"') continue;
        wchar_t quote = *p++;
        long values[4];
        bool read = true;
        for (int i = 0; i < 4 && read; ++i) read = (i == 0 || *p++ == L',') && readNumber(p, values[i]);
        if (!read || *p != quote) return false;
        source = RECT{values[0], values[1], values[2], values[3]};
        if (source.right <= source.left || source.bottom <= source.top) return false;
        start = static_cast<int>(found - image);
        end = static_cast<int>(p + 1 - image);
        return true;
    }
    return false;
}

void CComboBoxUI::PaintStateImage(HDC dc)
{
    m_nArrowWidth = 0;
    RECT source;
    int start = 0, end = 0;
    if (m_sArrowImage.IsEmpty() || !FindArrowSource(m_sArrowImage, source, start, end) ||
        (source.right - source.left) / 5 == 0) {
        // No arrow, or one whose strip cannot be read: the plain combo.
        CComboUI::PaintStateImage(dc);
        return;
    }
    refreshStateBits(m_uButtonState);
    int state = (m_uButtonState & UISTATE_DISABLED) ? 4
        : (m_uButtonState & UISTATE_PUSHED)         ? 2
        : (m_uButtonState & UISTATE_HOT)            ? 1
        : (m_uButtonState & UISTATE_FOCUSED)        ? 3
                                                    : 0;
    m_nArrowWidth = (source.right - source.left) / 5;
    source.left += state * m_nArrowWidth;
    source.right = source.left + m_nArrowWidth;
    RECT dest = {0, 0, m_rcItem.right - m_rcItem.left, m_rcItem.bottom - m_rcItem.top};
    InflateRect(&dest, -m_nBorderSize, -m_nBorderSize);
    dest.left = dest.right - m_nArrowWidth;
    CUIString parts;
    parts.Format(L"source='%d,%d,%d,%d' dest='%d,%d,%d,%d'", source.left, source.top, source.right, source.bottom,
        dest.left, dest.top, dest.right, dest.bottom);
    // The rewritten text is drawn on its own: given as a modifier after the
    // image text, its "file" would draw the whole strip first.
    CUIString arrow = m_sArrowImage.Left(start) + parts + m_sArrowImage.Mid(end);
    if (!DrawImage(dc, arrow)) {
        m_sArrowImage.Empty();
        m_nArrowWidth = 0;
    }
}

void CComboBoxUI::PaintContentText(HDC dc)
{
    RECT rc = m_rcItem;
    rc.left += m_rcTextPadding.left;
    rc.top += m_rcTextPadding.top;
    rc.right -= m_rcTextPadding.right + m_nArrowWidth;
    rc.bottom -= m_rcTextPadding.bottom;
    paintSelection(dc, rc);
}

}  // namespace SkinUI
