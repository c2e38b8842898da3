// CTxtWinHost: the text host that connects the system's windowless text
// services ("msftedit.dll") to one CRichEditUI. The services call the host
// for everything a window would give them — the DC, the client rectangle,
// scroll bars (mapped onto the container's own CScrollBarUI bars), caret,
// timers, capture, focus, the default formats and property bits — and the
// control calls the services through the host.
//
// SkinUI::ITextHost is the platform's text-host interface, declared here as
// the platform's header declares it: after IUnknown's slots, plain virtual
// members (thiscall on i686, the convention the services call with), never
// STDMETHOD. The library defines the two interface ids itself.
//
// Lifetime: reference counted; the control holds the one reference it was
// made with and, before it goes, clears the host's owner (the host then
// answers the services without touching the control), deactivates the
// services and releases the host, which releases the services.
// UI thread only.
#pragma once

#include "UICommon.h"

#include "ComPtr.h"

#include <imm.h>
#include <richedit.h>
#include <textserv.h>

namespace SkinUI {

extern const IID IID_ITextServices;
extern const IID IID_ITextHost;

class ITextHost : public IUnknown {
public:
    virtual HDC TxGetDC() = 0;
    virtual INT TxReleaseDC(HDC hdc) = 0;
    virtual BOOL TxShowScrollBar(INT fnBar, BOOL fShow) = 0;
    virtual BOOL TxEnableScrollBar(INT fuSBFlags, INT fuArrowflags) = 0;
    virtual BOOL TxSetScrollRange(INT fnBar, LONG nMinPos, INT nMaxPos, BOOL fRedraw) = 0;
    virtual BOOL TxSetScrollPos(INT fnBar, INT nPos, BOOL fRedraw) = 0;
    virtual void TxInvalidateRect(LPCRECT prc, BOOL fMode) = 0;
    virtual void TxViewChange(BOOL fUpdate) = 0;
    virtual BOOL TxCreateCaret(HBITMAP hbmp, INT xWidth, INT yHeight) = 0;
    virtual BOOL TxShowCaret(BOOL fShow) = 0;
    virtual BOOL TxSetCaretPos(INT x, INT y) = 0;
    virtual BOOL TxSetTimer(UINT idTimer, UINT uTimeout) = 0;
    virtual void TxKillTimer(UINT idTimer) = 0;
    virtual void TxScrollWindowEx(
        INT dx, INT dy, LPCRECT lprcScroll, LPCRECT lprcClip, HRGN hrgnUpdate, LPRECT lprcUpdate, UINT fuScroll) = 0;
    virtual void TxSetCapture(BOOL fCapture) = 0;
    virtual void TxSetFocus() = 0;
    virtual void TxSetCursor(HCURSOR hcur, BOOL fText) = 0;
    virtual BOOL TxScreenToClient(LPPOINT lppt) = 0;
    virtual BOOL TxClientToScreen(LPPOINT lppt) = 0;
    virtual HRESULT TxActivate(LONG* plOldState) = 0;
    virtual HRESULT TxDeactivate(LONG lNewState) = 0;
    virtual HRESULT TxGetClientRect(LPRECT prc) = 0;
    virtual HRESULT TxGetViewInset(LPRECT prc) = 0;
    virtual HRESULT TxGetCharFormat(const CHARFORMATW** ppCF) = 0;
    virtual HRESULT TxGetParaFormat(const PARAFORMAT** ppPF) = 0;
    virtual COLORREF TxGetSysColor(int nIndex) = 0;
    virtual HRESULT TxGetBackStyle(TXTBACKSTYLE* pstyle) = 0;
    virtual HRESULT TxGetMaxLength(DWORD* plength) = 0;
    virtual HRESULT TxGetScrollBars(DWORD* pdwScrollBar) = 0;
    virtual HRESULT TxGetPasswordChar(TCHAR* pch) = 0;
    virtual HRESULT TxGetAcceleratorPos(LONG* pcp) = 0;
    virtual HRESULT TxGetExtent(LPSIZEL lpExtent) = 0;
    virtual HRESULT OnTxCharFormatChange(const CHARFORMATW* pcf) = 0;
    virtual HRESULT OnTxParaFormatChange(const PARAFORMAT* ppf) = 0;
    virtual HRESULT TxGetPropertyBits(DWORD dwMask, DWORD* pdwBits) = 0;
    virtual HRESULT TxNotify(DWORD iNotify, void* pv) = 0;
    virtual HIMC TxImmGetContext() = 0;
    virtual void TxImmReleaseContext(HIMC himc) = 0;
    virtual HRESULT TxGetSelectionBarWidth(LONG* lSelBarWidth) = 0;

protected:
    virtual ~ITextHost() = default;
};

class CRichEditUI;

class CTxtWinHost final : public ITextHost {
public:
    CTxtWinHost();

    // A host for the control with its services running (InitHost); null
    // (the host released) when they cannot start.
    static Com::ComPtr<CTxtWinHost> CreateHost(CRichEditUI* owner, const CREATESTRUCTW* create);
    // Connects to the control and creates the services; false when the
    // library, its entry point, the interface or the initial text fails.
    bool InitHost(CRichEditUI* owner, const CREATESTRUCTW* create);
    // The control is going: the host no longer reaches it.
    void ForgetOwner() { m_owner = nullptr; }
    ITextServices* GetTextServices() const { return m_services.Get(); }
    void SetHostRect(const RECT& rc);
    const RECT& GetHostRect() const { return m_rcClient; }
    void SetHostFont(HFONT font);
    void SetHostTextColor(DWORD argb);
    void SetRichTextFlag(bool rich);
    void SetTransparent(bool transparent);
    bool ActivateInPlace(const RECT* rc);
    // Deactivates and releases the services (the control is going).
    void ReleaseServices();
    bool IsCaptured() const { return (m_flags & kCaptured) != 0; }
    bool SetCursorAtPoint(const RECT* rc, POINT pt);
    const CHARFORMAT2W& GetDefaultCharFormat() const { return m_charFormat; }

    // The colour reference of an ARGB colour: red low, no alpha.
    static COLORREF ColorRefFromArgb(DWORD argb);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ITextHost
    HDC TxGetDC() override;
    INT TxReleaseDC(HDC hdc) override;
    BOOL TxShowScrollBar(INT fnBar, BOOL fShow) override;
    BOOL TxEnableScrollBar(INT fuSBFlags, INT fuArrowflags) override;
    BOOL TxSetScrollRange(INT fnBar, LONG nMinPos, INT nMaxPos, BOOL fRedraw) override;
    BOOL TxSetScrollPos(INT fnBar, INT nPos, BOOL fRedraw) override;
    void TxInvalidateRect(LPCRECT prc, BOOL fMode) override;
    void TxViewChange(BOOL fUpdate) override;
    BOOL TxCreateCaret(HBITMAP hbmp, INT xWidth, INT yHeight) override;
    BOOL TxShowCaret(BOOL fShow) override;
    BOOL TxSetCaretPos(INT x, INT y) override;
    BOOL TxSetTimer(UINT idTimer, UINT uTimeout) override;
    void TxKillTimer(UINT idTimer) override;
    void TxScrollWindowEx(INT dx, INT dy, LPCRECT lprcScroll, LPCRECT lprcClip, HRGN hrgnUpdate, LPRECT lprcUpdate,
        UINT fuScroll) override;
    void TxSetCapture(BOOL fCapture) override;
    void TxSetFocus() override;
    void TxSetCursor(HCURSOR hcur, BOOL fText) override;
    BOOL TxScreenToClient(LPPOINT lppt) override;
    BOOL TxClientToScreen(LPPOINT lppt) override;
    HRESULT TxActivate(LONG* plOldState) override;
    HRESULT TxDeactivate(LONG lNewState) override;
    HRESULT TxGetClientRect(LPRECT prc) override;
    HRESULT TxGetViewInset(LPRECT prc) override;
    HRESULT TxGetCharFormat(const CHARFORMATW** ppCF) override;
    HRESULT TxGetParaFormat(const PARAFORMAT** ppPF) override;
    COLORREF TxGetSysColor(int nIndex) override;
    HRESULT TxGetBackStyle(TXTBACKSTYLE* pstyle) override;
    HRESULT TxGetMaxLength(DWORD* plength) override;
    HRESULT TxGetScrollBars(DWORD* pdwScrollBar) override;
    HRESULT TxGetPasswordChar(TCHAR* pch) override;
    HRESULT TxGetAcceleratorPos(LONG* pcp) override;
    HRESULT TxGetExtent(LPSIZEL lpExtent) override;
    HRESULT OnTxCharFormatChange(const CHARFORMATW* pcf) override;
    HRESULT OnTxParaFormatChange(const PARAFORMAT* ppf) override;
    HRESULT TxGetPropertyBits(DWORD dwMask, DWORD* pdwBits) override;
    HRESULT TxNotify(DWORD iNotify, void* pv) override;
    HIMC TxImmGetContext() override;
    void TxImmReleaseContext(HIMC himc) override;
    HRESULT TxGetSelectionBarWidth(LONG* lSelBarWidth) override;

private:
    ~CTxtWinHost() override;

    enum : DWORD {
        kAutoWordSel = 0x01,
        kWordWrap = 0x02,
        kAllowBeep = 0x04,
        kRich = 0x08,
        kSaveSel = 0x10,
        kInPlaceActive = 0x20,
        kTransparent = 0x40,
        kTimer = 0x80,
        kCaptured = 0x100,
    };
    void fillFontFormat(HFONT font);
    HWND window() const;

    CRichEditUI* m_owner = nullptr;
    ULONG m_refs = 0;
    Com::ComPtr<ITextServices> m_services;
    DWORD m_style = ES_MULTILINE;
    DWORD m_flags = 0;
    LONG m_selBarWidth = 0;
    LONG m_maxLength = 32767;
    RECT m_rcClient{0, 0, 0, 0};
    SIZEL m_extent{0, 0};
    CHARFORMAT2W m_charFormat{};
    PARAFORMAT2 m_paraFormat{};
    LONG m_acceleratorPos = -1;
    wchar_t m_passwordChar = 0;
};

}  // namespace SkinUI
