// Implementation details: the services are created once, when the control
// first joins a window (OnInitControl); a failure is not retried. The
// message filter is registered only with live services and removed before
// the control goes, after the host has forgotten the control and the services
// are released, so no call of theirs can reach freed memory.
#include "RichEditUI.h"

#include "AttributeTable.h"
#include "RenderKit.h"
#include "ScrollBarUI.h"
#include "TextHost.h"

#include <imm.h>

#include <vector>

namespace SkinUI {

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI()
{
    if (m_pTwh) {
        Com::ComPtr<CTxtWinHost> host = std::move(m_pTwh);
        host->ForgetOwner();
        host->ReleaseServices();
    }
    if (m_bFilterAdded && m_pManager) m_pManager->RemoveMessageFilter(this);
}

const wchar_t* CRichEditUI::GetClassName() const
{
    return L"RichEditUI";
}

LPVOID CRichEditUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"RichEdit") == 0) return this;
    return CContainerUI::GetInterfaceByName(name);
}

UINT CRichEditUI::GetInputFlags() const
{
    return IsEnabled() ? UIFLAG_TABSTOP | UIFLAG_SETCURSOR : 0;
}

LRESULT CRichEditUI::sendToServices(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    LRESULT result = 0;
    if (m_pTwh && m_pTwh->GetTextServices()) m_pTwh->GetTextServices()->TxSendMessage(msg, wParam, lParam, &result);
    return result;
}

void CRichEditUI::SetRich(bool rich)
{
    m_bRich = rich;
    if (m_pTwh) m_pTwh->SetRichTextFlag(rich);
}

void CRichEditUI::SetFont(int index)
{
    m_iFont = index;
    if (m_pTwh && m_pManager) m_pTwh->SetHostFont(m_pManager->GetFont(index));
}

void CRichEditUI::SetTextColor(DWORD color)
{
    m_dwTextColor = color;
    if (m_pTwh) m_pTwh->SetHostTextColor(color);
}

long CRichEditUI::GetTextLength(DWORD flags) const
{
    GETTEXTLENGTHEX request{flags, 1200};
    return static_cast<long>(sendToServices(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request), 0));
}

CUIString CRichEditUI::GetText() const
{
    if (!m_pTwh) return CUIString();
    long length = GetTextLength(GTL_DEFAULT);
    if (length <= 0) return CUIString();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    GETTEXTEX request{};
    request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    request.flags = GT_DEFAULT;
    request.codepage = 1200;
    sendToServices(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.back() = L'\0';
    return CUIString(buffer.data());
}

void CRichEditUI::SetText(const wchar_t* text)
{
    m_sText = text;
    if (!m_pTwh) return;
    SetSel(0, -1);
    ReplaceSel(text ? text : L"", false);
}

LRESULT CRichEditUI::SetSel(long first, long last)
{
    CHARRANGE range{first, last};
    return sendToServices(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void CRichEditUI::ReplaceSel(const wchar_t* text, bool canUndo)
{
    sendToServices(EM_REPLACESEL, canUndo ? TRUE : FALSE, reinterpret_cast<LPARAM>(text));
}

void CRichEditUI::OnInitControl()
{
    if (m_bInited) return;
    m_bInited = true;
    CREATESTRUCTW create{};
    create.style = m_lTwhStyle;
    create.lpszName = m_sText.GetData();
    m_pTwh = CTxtWinHost::CreateHost(this, &create);
    if (!m_pTwh) return;
    m_pTwh->SetTransparent(true);
    // S_FALSE here only says the options were already so.
    sendToServices(EM_SETLANGOPTIONS, 0, 0);
    m_pTwh->ActivateInPlace(nullptr);
    if (m_pManager) m_bFilterAdded = m_pManager->AddMessageFilter(this);
}

void CRichEditUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    // Bits of the text host's style (read when the services start) that "true" turns on;
    // the scroll bars' attributes also reach the container.
    struct StyleBit {
        const wchar_t* name;
        LONG bits;
        bool container;
    };
    static const StyleBit kStyleBits[] = {
        {L"vscrollbar", WS_VSCROLL | ES_DISABLENOSCROLL, true},
        {L"autovscroll", ES_AUTOVSCROLL, true},
        {L"hscrollbar", WS_HSCROLL | ES_DISABLENOSCROLL, true},
        {L"autohscroll", ES_AUTOHSCROLL, false},
        {L"readonly", ES_READONLY, false},
        {L"password", ES_PASSWORD, false},
    };
    for (const StyleBit& bit : kStyleBits) {
        if (wcscmp(name, bit.name) != 0) continue;
        if (ParseBool(value)) m_lTwhStyle |= bit.bits;
        if (bit.container) CContainerUI::SetAttribute(name, value);
        return;
    }
    static const AttributeSetter<CRichEditUI> kSetters[] = {
        {L"wanttab", [](auto& r, auto v) { r.SetWantTab(ParseBool(v)); }},
        {L"wantreturn", [](auto& r, auto v) { r.SetWantReturn(ParseBool(v)); }},
        {L"wantctrlreturn", [](auto& r, auto v) { r.SetWantCtrlReturn(ParseBool(v)); }},
        {L"rich", [](auto& r, auto v) { r.SetRich(ParseBool(v)); }},
        {L"multiline",
            [](auto& r, auto v) {
                if (wcscmp(v, L"false") == 0) r.m_lTwhStyle &= ~ES_MULTILINE;
            }},
        {L"align",
            [](auto& r, auto v) {
                if (wcsstr(v, L"left")) r.m_lTwhStyle &= ~(ES_CENTER | ES_RIGHT);
                if (wcsstr(v, L"center")) r.m_lTwhStyle = (r.m_lTwhStyle & ~ES_RIGHT) | ES_CENTER;
                if (wcsstr(v, L"right")) r.m_lTwhStyle = (r.m_lTwhStyle & ~ES_CENTER) | ES_RIGHT;
            }},
        {L"font", [](auto& r, auto v) { r.SetFont(ParseInt(v)); }},
        {L"textcolor", [](auto& r, auto v) { r.SetTextColor(ParseColor(v)); }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CContainerUI::SetAttribute(name, value);
}

SIZE CRichEditUI::MeasureSize(SIZE available)
{
    return CControlUI::MeasureSize(available);
}

RECT CRichEditUI::textArea() const
{
    return GetInnerRect();
}

bool CRichEditUI::fitVerticalBar(int width, int height)
{
    CScrollBarUI* bar = m_pVerticalScrollBar;
    ITextServices* services = m_pTwh ? m_pTwh->GetTextServices() : nullptr;
    if (!bar || !services) return false;
    SIZEL extent{-1, -1};
    LONG naturalWidth = width, naturalHeight = 0;
    HDC dc = m_pManager ? m_pManager->GetPaintDC() : nullptr;
    if (FAILED(services->TxGetNaturalSize(
            DVASPECT_CONTENT, dc, nullptr, nullptr, TXTNS_FITTOCONTENT, &extent, &naturalWidth, &naturalHeight)))
        return false;
    if (naturalHeight > height) {
        bool changed = !bar->IsVisible() || !m_bVScrollBarFixing;
        bar->SetVisible(true);
        bar->SetScrollPos(0);
        m_bVScrollBarFixing = true;
        return changed;
    }
    if (!m_bVScrollBarFixing) return false;
    bar->SetVisible(false);
    m_bVScrollBarFixing = false;
    return true;
}

void CRichEditUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    RECT area = textArea();
    CScrollBarUI* vertical = m_pVerticalScrollBar;
    if (m_pTwh) {
        bool wasVisible = vertical && vertical->IsVisible();
        m_pTwh->SetHostRect(area);
        if (wasVisible && (!vertical->IsVisible() || m_bVScrollBarFixing))
            fitVerticalBar(area.right - area.left + vertical->GetFixedWidth(), area.bottom - area.top);
    }
    if (vertical && vertical->IsVisible())
        vertical->SetPos(RECT{area.right, area.top, area.right + vertical->GetFixedWidth(), area.bottom});
    if (CScrollBarUI* horizontal = m_pHorizontalScrollBar; horizontal && horizontal->IsVisible())
        horizontal->SetPos(RECT{area.left, area.bottom, area.right, area.bottom + horizontal->GetFixedHeight()});
    placeChildren(area);
}

void CRichEditUI::Paint(HDC dc, const RECT& paint)
{
    RECT clipped;
    if (!IntersectRect(&clipped, &paint, &m_rcItem)) return;
    CRenderClip clip;
    CRenderKit::GenerateClip(dc, clipped, clip);
    CControlUI::Paint(dc, paint);
    if (m_pTwh && m_pTwh->GetTextServices()) {
        RECT client = m_pTwh->GetHostRect();
        RECT update = paint;
        m_pTwh->GetTextServices()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, dc, nullptr,
            reinterpret_cast<LPCRECTL>(&client), nullptr, &update, nullptr, 0, TXTVIEW_ACTIVE);
        if (m_bVScrollBarFixing && m_pVerticalScrollBar) {
            // Once the text fits again the auto-shown bar goes, at the next layout.
            SIZEL extent{-1, -1};
            LONG width = client.right - client.left + m_pVerticalScrollBar->GetFixedWidth(), height = 0;
            if (SUCCEEDED(m_pTwh->GetTextServices()->TxGetNaturalSize(
                    DVASPECT_CONTENT, dc, nullptr, nullptr, TXTNS_FITTOCONTENT, &extent, &width, &height)) &&
                height <= client.bottom - client.top)
                NeedUpdate();
        }
    }
    paintChildren(dc, paint);
    paintScrollBars(dc, paint);
}

void CRichEditUI::OnEvent(TEventMsgUI& event)
{
    if (passMouseToParent(event, IsMouseEnabled())) return;
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (IsEnabled() && m_pTwh && m_pTwh->SetCursorAtPoint(nullptr, event.ptMouse)) return;
        break;
    case UIEVENT_SETFOCUS:
        sendToServices(WM_SETFOCUS, 0, 0);
        m_bFocused = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        sendToServices(WM_KILLFOCUS, 0, 0);
        m_bFocused = false;
        Invalidate();
        return;
    case UIEVENT_TIMER: sendToServices(WM_TIMER, event.wParam, event.lParam); break;
    case UIEVENT_SCROLLWHEEL:
        if (event.wKeyState & MK_UI_CONTROL) return;
        break;
    case UIEVENT_KEYDOWN:
    case UIEVENT_KEYUP:
    case UIEVENT_CHAR:
    case UIEVENT_SYSKEY:
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_MOUSELEAVE:
    case UIEVENT_MOUSEENTER:
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_BUTTONUP:
    case UIEVENT_DBLCLICK: return;  // the message filter gave them to the services
    default: break;
    }
    CContainerUI::OnEvent(event);
}

HRESULT CRichEditUI::ForwardTextMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (!m_pTwh || !m_pTwh->GetTextServices()) return S_FALSE;
    if (msg == WM_KEYDOWN && LOWORD(wParam) == VK_RETURN) {
        bool control = ::GetKeyState(VK_CONTROL) < 0;
        if (!m_bWantReturn || (control && !m_bWantCtrlReturn)) {
            // The handler may remove this control: its deletion is deferred,
            // and nothing here touches the control after the notification.
            if (m_pManager) m_pManager->SendNotify(this, L"return");
            return S_OK;
        }
    }
    return m_pTwh->GetTextServices()->TxSendMessage(msg, wParam, lParam, result);
}

bool CRichEditUI::OnTextViewChanged()
{
    return true;
}

void CRichEditUI::OnTextNotify(DWORD code, void* data)
{
    if (!data || !m_pManager) return;
    switch (code) {
    case EN_MSGFILTER:
    case EN_SELCHANGE:
    case EN_DROPFILES:
    case EN_PROTECTED:
    case EN_STOPNOUNDO:
    case EN_SAVECLIPBOARD:
    case EN_OLEOPFAILED:
    case EN_OBJECTPOSITIONS:
    case EN_LINK:
    case EN_DRAGDROPDONE: {
        HWND window = m_pManager->GetPaintWindow();
        auto* header = static_cast<NMHDR*>(data);
        header->hwndFrom = window;
        header->idFrom = static_cast<UINT_PTR>(::GetWindowLongPtrW(window, GWLP_ID));
        header->code = code;
        ::SendMessageW(window, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
        return;
    }
    default: return;
    }
}

LRESULT CRichEditUI::FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (!IsVisible() || !IsEnabled() || !m_pTwh || !m_pManager) return 0;
    bool mouse = msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST;
    if (mouse && !IsMouseEnabled()) return 0;
    if (msg == WM_MOUSEWHEEL && !(GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL)) return 0;
    HWND window = m_pManager->GetPaintWindow();
    if (msg == WM_IME_COMPOSITION) {
        if (HIMC context = ::ImmGetContext(window)) {
            COMPOSITIONFORM form{};
            form.dwStyle = CFS_POINT;
            ::GetCaretPos(&form.ptCurrentPos);
            ::ImmSetCompositionWindow(context, &form);
            ::ImmReleaseContext(window, context);
        }
        return 0;
    }
    bool keyboard = msg >= WM_KEYFIRST && msg <= WM_KEYLAST;
    bool take = false;
    if (mouse || msg == WM_SETCURSOR) {
        if (!m_pTwh->IsCaptured()) {
            POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (msg == WM_MOUSEWHEEL) ::ScreenToClient(window, &pt);
            if (msg == WM_SETCURSOR) {
                // WM_SETCURSOR carries no point: take the cursor's.
                ::GetCursorPos(&pt);
                ::ScreenToClient(window, &pt);
            }
            if (msg >= WM_LBUTTONDOWN && msg <= WM_RBUTTONUP && m_pManager->FindControlAt(pt) != this) return 0;
            RECT host = m_pTwh->GetHostRect();
            if (!PtInRect(&host, pt) || m_pManager->IsCaptured()) return 0;
        }
        if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDOWN) SetFocus();
        take = msg != WM_SETCURSOR;
    } else if (keyboard) {
        if (!IsFocused()) return 0;
        take = true;
    } else if (msg == WM_CONTEXTMENU) {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(window, &pt);
        if (m_pManager->FindControlAt(pt) != this) return 0;
        take = true;
    } else if (msg != WM_HELP) {
        return 0;
    }
    LRESULT result = 0;
    HRESULT hr = ForwardTextMessage(msg, wParam, lParam, &result);
    if (hr != S_OK && !keyboard) {
        if (mouse && m_pTwh && m_pTwh->IsCaptured()) handled = take;
        return result;
    }
    handled = take;
    return result;
}

// --- scrolling ---

void CRichEditUI::scrollBy(UINT msg, WPARAM code)
{
    sendToServices(msg, code, 0);
}

void CRichEditUI::LineUp()
{
    scrollBy(WM_VSCROLL, SB_LINEUP);
}

void CRichEditUI::LineDown()
{
    CScrollBarUI* bar = m_pVerticalScrollBar;
    int before = bar ? bar->GetScrollPos() : 0;
    scrollBy(WM_VSCROLL, SB_LINEDOWN);
    // Plain text stops a line short of the end: the last step goes all the way.
    if (!m_bRich && m_pTwh && bar && bar->IsVisible() && bar->GetScrollPos() == before)
        bar->SetScrollPos(bar->GetScrollRange());
}

void CRichEditUI::PageUp()
{
    scrollBy(WM_VSCROLL, SB_PAGEUP);
}
void CRichEditUI::PageDown()
{
    scrollBy(WM_VSCROLL, SB_PAGEDOWN);
}
void CRichEditUI::HomeUp()
{
    scrollBy(WM_VSCROLL, SB_TOP);
}
void CRichEditUI::EndDown()
{
    scrollBy(WM_VSCROLL, SB_BOTTOM);
}
void CRichEditUI::LineLeft()
{
    scrollBy(WM_HSCROLL, SB_LINEUP);
}
void CRichEditUI::LineRight()
{
    scrollBy(WM_HSCROLL, SB_LINEDOWN);
}
void CRichEditUI::PageLeft()
{
    scrollBy(WM_HSCROLL, SB_PAGEUP);
}
void CRichEditUI::PageRight()
{
    scrollBy(WM_HSCROLL, SB_PAGEDOWN);
}
void CRichEditUI::HomeLeft()
{
    scrollBy(WM_HSCROLL, SB_TOP);
}
void CRichEditUI::EndRight()
{
    scrollBy(WM_HSCROLL, SB_BOTTOM);
}

void CRichEditUI::SetScrollPos(SIZE pos)
{
    CScrollBarUI* vertical = m_pVerticalScrollBar;
    CScrollBarUI* horizontal = m_pHorizontalScrollBar;
    SIZE moved = moveScrollBars(pos);
    int movedY = moved.cy, movedX = moved.cx;
    if (movedY != 0) {
        int requested = vertical->GetScrollPos();
        sendToServices(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, requested), 0);
        if (!m_bRich && m_pTwh && movedY > 0 && vertical->GetScrollPos() > requested) vertical->SetScrollPos(requested);
    }
    if (movedX != 0) sendToServices(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, horizontal->GetScrollPos()), 0);
}

}  // namespace SkinUI
