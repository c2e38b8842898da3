// Implementation details: "msftedit.dll" is loaded once per process and kept
// (the services' code must stay while any host lives, and a reload per
// control would cost a library load each). Every slot answers sanely without
// an owner, since the services may call while the control is going.
#include "TextHost.h"

#include "RenderKit.h"
#include "RichEditUI.h"
#include "ScrollBarUI.h"

#include "ComGuard.h"
#include "ComPtr.h"

#include <new>

namespace SkinUI {

const IID IID_ITextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
const IID IID_ITextHost = {0xc5bdd8d0, 0xd26e, 0x11ce, {0xa8, 0x9e, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};

static_assert(sizeof(CHARFORMAT2W) == 116, "the services read the character format by this size");
static_assert(sizeof(PARAFORMAT2) == 188, "the services read the paragraph format by this size");

namespace {

using CreateTextServicesFn = HRESULT(WINAPI*)(IUnknown*, ITextHost*, IUnknown**);

CreateTextServicesFn textServicesFactory()
{
    static HMODULE library = ::LoadLibraryW(L"msftedit.dll");
    if (!library) return nullptr;
    return reinterpret_cast<CreateTextServicesFn>(
        reinterpret_cast<void*>(::GetProcAddress(library, "CreateTextServices")));
}

// The services call back into the control; nothing thrown there reaches them,
// and a slot that answers BOOL answers FALSE for it.
template <class Body>
BOOL answered(Body&& body)
{
    BOOL result = FALSE;
    Com::guarded([&] { result = body(); });
    return result;
}

LONG twipsOfFontHeight(LONG height, HDC dc)
{
    int perInch = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    return height * -1440 / (perInch > 0 ? perInch : 96);
}

}  // namespace

CTxtWinHost::CTxtWinHost() = default;

CTxtWinHost::~CTxtWinHost()
{
    ReleaseServices();
}

void CTxtWinHost::ReleaseServices()
{
    if (!m_services) return;
    Com::ComPtr<ITextServices> services = std::move(m_services);
    services->OnTxInPlaceDeactivate();
    m_flags &= ~kInPlaceActive;
}

COLORREF CTxtWinHost::ColorRefFromArgb(DWORD argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

HWND CTxtWinHost::window() const
{
    return m_owner && m_owner->GetManager() ? m_owner->GetManager()->GetPaintWindow() : nullptr;
}

void CTxtWinHost::fillFontFormat(HFONT font)
{
    LOGFONTW logfont{};
    if (!font || !::GetObjectW(font, sizeof(logfont), &logfont)) return;
    HDC dc = m_owner && m_owner->GetManager() ? m_owner->GetManager()->GetPaintDC() : nullptr;
    m_charFormat.yHeight = twipsOfFontHeight(logfont.lfHeight, dc);
    m_charFormat.dwEffects &= ~(CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE);
    if (logfont.lfWeight >= FW_BOLD) m_charFormat.dwEffects |= CFE_BOLD;
    if (logfont.lfItalic) m_charFormat.dwEffects |= CFE_ITALIC;
    if (logfont.lfUnderline) m_charFormat.dwEffects |= CFE_UNDERLINE;
    m_charFormat.bCharSet = logfont.lfCharSet;
    m_charFormat.bPitchAndFamily = logfont.lfPitchAndFamily;
    lstrcpynW(m_charFormat.szFaceName, logfont.lfFaceName, LF_FACESIZE);
}

Com::ComPtr<CTxtWinHost> CTxtWinHost::CreateHost(CRichEditUI* owner, const CREATESTRUCTW* create)
{
    // InitHost gives the host its one reference, which the pointer keeps.
    auto host = Com::ComPtr<CTxtWinHost>::Adopt(new (std::nothrow) CTxtWinHost);
    if (!host) return {};
    if (host->InitHost(owner, create)) return host;
    host->ForgetOwner();
    return {};
}

bool CTxtWinHost::InitHost(CRichEditUI* owner, const CREATESTRUCTW* create)
{
    m_owner = owner;
    m_refs = 1;
    m_charFormat = CHARFORMAT2W{};
    m_charFormat.cbSize = sizeof(CHARFORMAT2W);
    m_charFormat.dwMask =
        CFM_SIZE | CFM_OFFSET | CFM_FACE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    CWindowManagerUI* manager = owner->GetManager();
    if (manager) fillFontFormat(manager->GetFont(owner->GetFont()));
    m_charFormat.crTextColor = ColorRefFromArgb(owner->GetTextColor());
    m_paraFormat = PARAFORMAT2{};
    m_paraFormat.cbSize = sizeof(PARAFORMAT2);
    m_paraFormat.dwMask = PFM_ALL;
    m_paraFormat.wAlignment = PFA_LEFT;
    m_paraFormat.cTabCount = 1;
    m_paraFormat.rgxTabs[0] = 720;
    m_style = ES_MULTILINE;
    if (owner->IsRich()) m_flags |= kRich;
    m_maxLength = owner->GetLimitText();
    if (create) {
        m_style = static_cast<DWORD>(create->style);
        if (!(m_style & (WS_HSCROLL | ES_AUTOHSCROLL))) m_flags |= kWordWrap;
    }
    if (m_style & ES_CENTER)
        m_paraFormat.wAlignment = PFA_CENTER;
    else if (m_style & ES_RIGHT)
        m_paraFormat.wAlignment = PFA_RIGHT;
    m_flags |= kInPlaceActive;

    CreateTextServicesFn create_services = textServicesFactory();
    if (!create_services) return false;
    Com::ComPtr<IUnknown> unknown;
    if (FAILED(create_services(nullptr, this, unknown.Put())) || !unknown) return false;
    if (FAILED(unknown.As(IID_ITextServices, m_services)) || !m_services) {
        m_services = nullptr;
        return false;
    }
    if (create && create->lpszName && FAILED(m_services->TxSetText(create->lpszName))) return false;
    return true;
}

void CTxtWinHost::SetHostRect(const RECT& rc)
{
    m_rcClient = rc;
    HDC dc = m_owner && m_owner->GetManager() ? m_owner->GetManager()->GetPaintDC() : nullptr;
    int perInchX = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : 96;
    int perInchY = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    m_extent.cx = ::MulDiv(rc.right - rc.left, 2540, perInchX > 0 ? perInchX : 96);
    m_extent.cy = ::MulDiv(rc.bottom - rc.top, 2540, perInchY > 0 ? perInchY : 96);
    if (m_services) m_services->OnTxPropertyBitsChange(TXTBIT_VIEWINSETCHANGE, TXTBIT_VIEWINSETCHANGE);
}

void CTxtWinHost::SetHostFont(HFONT font)
{
    fillFontFormat(font);
    if (m_services) m_services->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

void CTxtWinHost::SetHostTextColor(DWORD argb)
{
    m_charFormat.crTextColor = ColorRefFromArgb(argb);
    if (m_services) m_services->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

void CTxtWinHost::SetRichTextFlag(bool rich)
{
    m_flags = rich ? m_flags | kRich : m_flags & ~kRich;
    if (m_services) m_services->OnTxPropertyBitsChange(TXTBIT_RICHTEXT, rich ? TXTBIT_RICHTEXT : 0);
}

void CTxtWinHost::SetTransparent(bool transparent)
{
    m_flags = transparent ? m_flags | kTransparent : m_flags & ~kTransparent;
    if (m_services) m_services->OnTxPropertyBitsChange(TXTBIT_BACKSTYLECHANGE, 0);
}

bool CTxtWinHost::ActivateInPlace(const RECT* rc)
{
    m_flags |= kInPlaceActive;
    if (m_services && SUCCEEDED(m_services->OnTxInPlaceActivate(rc))) return true;
    m_flags &= ~kInPlaceActive;
    return false;
}

bool CTxtWinHost::SetCursorAtPoint(const RECT* rc, POINT pt)
{
    const RECT* area = rc ? rc : &m_rcClient;
    if (!PtInRect(area, pt) || !m_services) return false;
    HDC dc = TxGetDC();
    const RECT* client = (m_flags & kInPlaceActive) && !rc ? nullptr : area;
    m_services->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, dc, nullptr, client, pt.x, pt.y);
    return true;
}

// --- IUnknown ---

HRESULT STDMETHODCALLTYPE CTxtWinHost::QueryInterface(REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITextHost)) {
        *object = static_cast<ITextHost*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::AddRef()
{
    return ++m_refs;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::Release()
{
    ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// --- ITextHost ---

HDC CTxtWinHost::TxGetDC()
{
    return m_owner && m_owner->GetManager() ? m_owner->GetManager()->GetPaintDC() : nullptr;
}

INT CTxtWinHost::TxReleaseDC(HDC)
{
    return 1;
}

BOOL CTxtWinHost::TxShowScrollBar(INT bar, BOOL show)
{
    return answered([&] {
        if (!m_owner) return TRUE;
        CScrollBarUI* vertical = m_owner->GetVerticalScrollBar();
        CScrollBarUI* horizontal = m_owner->GetHorizontalScrollBar();
        if ((bar == SB_VERT || bar == SB_BOTH) && vertical) vertical->SetVisible(show != FALSE);
        if ((bar == SB_HORZ || bar == SB_BOTH) && horizontal) horizontal->SetVisible(show != FALSE);
        return TRUE;
    });
}

BOOL CTxtWinHost::TxEnableScrollBar(INT bar, INT arrows)
{
    return answered([&] {
        if (!m_owner) return TRUE;
        CScrollBarUI* vertical = m_owner->GetVerticalScrollBar();
        CScrollBarUI* horizontal = m_owner->GetHorizontalScrollBar();
        bool visible = arrows != ESB_DISABLE_BOTH;
        if (bar == SB_VERT) {
            m_owner->SetScrollBarsEnabled(true, horizontal != nullptr);
            if (vertical) vertical->SetVisible(visible);
        } else if (bar == SB_HORZ) {
            m_owner->SetScrollBarsEnabled(vertical != nullptr, true);
            if (horizontal) horizontal->SetVisible(visible);
        } else if (bar == SB_BOTH) {
            m_owner->SetScrollBarsEnabled(true, true);
            if (CScrollBarUI* v = m_owner->GetVerticalScrollBar()) v->SetVisible(visible);
            if (CScrollBarUI* h = m_owner->GetHorizontalScrollBar()) h->SetVisible(visible);
        }
        return TRUE;
    });
}

BOOL CTxtWinHost::TxSetScrollRange(INT bar, LONG min, INT max, BOOL)
{
    return answered([&] {
        if (!m_owner) return TRUE;
        CScrollBarUI* target = bar == SB_VERT ? m_owner->GetVerticalScrollBar()
            : bar == SB_HORZ                  ? m_owner->GetHorizontalScrollBar()
                                              : nullptr;
        if (!target) return TRUE;
        long view = bar == SB_VERT ? m_rcClient.bottom - m_rcClient.top : m_rcClient.right - m_rcClient.left;
        long long range = static_cast<long long>(max) - min - view;
        if (range > 0) {
            target->SetVisible(true);
            target->SetScrollRange(static_cast<int>(range > 0x7FFFFFFF ? 0x7FFFFFFF : range));
        } else {
            target->SetVisible(false);
        }
        return TRUE;
    });
}

BOOL CTxtWinHost::TxSetScrollPos(INT bar, INT pos, BOOL)
{
    return answered([&] {
        if (!m_owner) return TRUE;
        CScrollBarUI* target = bar == SB_VERT ? m_owner->GetVerticalScrollBar()
            : bar == SB_HORZ                  ? m_owner->GetHorizontalScrollBar()
                                              : nullptr;
        if (target) target->SetScrollPos(pos);
        return TRUE;
    });
}

void CTxtWinHost::TxInvalidateRect(LPCRECT prc, BOOL)
{
    Com::guarded([&] {
        if (!m_owner || !m_owner->GetManager()) return;
        CWindowManagerUI* manager = m_owner->GetManager();
        RECT rc{};
        if (prc) {
            rc = *prc;
        } else if (HWND hwnd = manager->GetPaintWindow()) {
            ::GetClientRect(hwnd, &rc);
        }
        manager->Invalidate(rc);
    });
}

void CTxtWinHost::TxViewChange(BOOL)
{
    Com::guarded([&] {
        if (m_owner && m_owner->OnTextViewChanged()) m_owner->Invalidate();
    });
}

BOOL CTxtWinHost::TxCreateCaret(HBITMAP bitmap, INT width, INT height)
{
    HWND hwnd = window();
    return hwnd ? ::CreateCaret(hwnd, bitmap, width, height) : FALSE;
}

BOOL CTxtWinHost::TxShowCaret(BOOL show)
{
    HWND hwnd = window();
    if (!hwnd) return FALSE;
    return show ? ::ShowCaret(hwnd) : ::HideCaret(hwnd);
}

BOOL CTxtWinHost::TxSetCaretPos(INT x, INT y)
{
    return ::SetCaretPos(x, y);
}

BOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout)
{
    return answered([&] {
        if (!m_owner || !m_owner->GetManager()) return FALSE;
        m_flags |= kTimer;
        return m_owner->GetManager()->SetTimer(m_owner, id, timeout) ? TRUE : FALSE;
    });
}

void CTxtWinHost::TxKillTimer(UINT id)
{
    Com::guarded([&] {
        if (m_owner && m_owner->GetManager()) m_owner->GetManager()->KillTimer(m_owner, id);
        m_flags &= ~kTimer;
    });
}

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT, LPCRECT, HRGN, LPRECT, UINT) {}

void CTxtWinHost::TxSetCapture(BOOL capture)
{
    Com::guarded([&] {
        if (m_owner && m_owner->GetManager()) {
            if (capture)
                m_owner->GetManager()->SetCapture();
            else
                m_owner->GetManager()->ReleaseCapture();
        }
        m_flags = capture ? m_flags | kCaptured : m_flags & ~kCaptured;
    });
}

void CTxtWinHost::TxSetFocus()
{
    Com::guarded([&] {
        if (m_owner) m_owner->SetFocus();
    });
}

void CTxtWinHost::TxSetCursor(HCURSOR cursor, BOOL)
{
    ::SetCursor(cursor);
}

BOOL CTxtWinHost::TxScreenToClient(LPPOINT point)
{
    HWND hwnd = window();
    return hwnd ? ::ScreenToClient(hwnd, point) : FALSE;
}

BOOL CTxtWinHost::TxClientToScreen(LPPOINT point)
{
    HWND hwnd = window();
    return hwnd ? ::ClientToScreen(hwnd, point) : FALSE;
}

HRESULT CTxtWinHost::TxActivate(LONG*)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rc)
{
    if (rc) *rc = m_rcClient;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rc)
{
    if (rc) *rc = RECT{0, 0, 0, 0};
    return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format)
{
    if (format) *format = reinterpret_cast<const CHARFORMATW*>(&m_charFormat);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format)
{
    if (format) *format = reinterpret_cast<const PARAFORMAT*>(&m_paraFormat);
    return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index)
{
    return ::GetSysColor(index);
}

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style)
{
    if (style) *style = (m_flags & kTransparent) ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length)
{
    if (length) *length = static_cast<DWORD>(m_maxLength);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* bars)
{
    if (bars) *bars = m_style & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch)
{
    if (ch) *ch = m_passwordChar;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* pos)
{
    if (pos) *pos = m_acceleratorPos;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL extent)
{
    if (extent) *extent = m_extent;
    return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*)
{
    return S_OK;
}

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits)
{
    DWORD value = 0;
    if (m_flags & kRich) value |= TXTBIT_RICHTEXT;
    if (m_style & ES_MULTILINE) value |= TXTBIT_MULTILINE;
    if (m_style & ES_READONLY) value |= TXTBIT_READONLY;
    if (m_style & ES_PASSWORD) value |= TXTBIT_USEPASSWORD;
    if (!(m_style & ES_NOHIDESEL)) value |= TXTBIT_HIDESELECTION;
    if (m_flags & kAutoWordSel) value |= TXTBIT_AUTOWORDSEL;
    if (m_flags & kWordWrap) value |= TXTBIT_WORDWRAP;
    if (m_flags & kAllowBeep) value |= TXTBIT_ALLOWBEEP;
    if (m_flags & kSaveSel) value |= TXTBIT_SAVESELECTION;
    if (bits) *bits = mask & value;
    return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD code, void* data)
{
    return Com::guarded([&] {
        if (code == EN_REQUESTRESIZE && data) {
            const REQRESIZE* request = static_cast<const REQRESIZE*>(data);
            RECT rc = m_rcClient;
            rc.right = rc.left + request->rc.right;
            rc.bottom = rc.top + request->rc.bottom;
            SetHostRect(rc);
        }
        if (m_owner) m_owner->OnTextNotify(code, data);
        return S_OK;
    });
}

HIMC CTxtWinHost::TxImmGetContext()
{
    return nullptr;
}

void CTxtWinHost::TxImmReleaseContext(HIMC) {}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width)
{
    if (width) *width = m_selBarWidth;
    return S_OK;
}

}  // namespace SkinUI
