// CRichEditUI: the library's windowless multi-line text control. It owns no
// native window: it creates the system's text services through its text host
// (CTxtWinHost), paints them into the window's DC, gives them the window's
// messages through a message filter while it is visible, enabled and (for
// keys) focused, and scrolls with the container's own scroll bars. A Return
// (or Ctrl+Return) that it is set not to take becomes the notification
// "return". Without the services (the library missing) it is a plain
// container with an empty text.
//
// Style attributes ("multiline", "readonly", "password", "align", the scroll
// styles) count when the services are created, as the control joins a window.
// UI thread only.
#pragma once

#include "ContainerUI.h"

#include "ComPtr.h"

#include <richedit.h>

namespace SkinUI {

class CTxtWinHost;

class CRichEditUI : public CContainerUI, public IMessageFilterUI {
public:
    CRichEditUI();
    ~CRichEditUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    CUIString GetText() const override;
    void SetText(const wchar_t* text) override;
    void SetPos(RECT rc) override;
    void OnInitControl() override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE MeasureSize(SIZE available) override;
    void Paint(HDC dc, const RECT& paint) override;
    void SetScrollPos(SIZE pos) override;
    void LineUp() override;
    void LineDown() override;
    void PageUp() override;
    void PageDown() override;
    void HomeUp() override;
    void EndDown() override;
    void LineLeft() override;
    void LineRight() override;
    void PageLeft() override;
    void PageRight() override;
    void HomeLeft() override;
    void EndRight() override;
    // S_OK when the message was taken (Return turned into "return" counts);
    // S_FALSE without services; else what the services answer.
    virtual HRESULT ForwardTextMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual bool OnTextViewChanged();
    virtual void OnTextNotify(DWORD code, void* data);

    LRESULT FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    bool IsWantTab() const { return m_bWantTab; }
    void SetWantTab(bool want = true) { m_bWantTab = want; }
    bool IsWantReturn() const { return m_bWantReturn; }
    void SetWantReturn(bool want = true) { m_bWantReturn = want; }
    bool IsWantCtrlReturn() const { return m_bWantCtrlReturn; }
    void SetWantCtrlReturn(bool want = true) { m_bWantCtrlReturn = want; }
    bool IsRich() const { return m_bRich; }
    void SetRich(bool rich = true);
    int GetFont() const { return m_iFont; }
    void SetFont(int index);
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetTextColor(DWORD color);
    int GetLimitText() const { return m_iLimitText; }
    LONG GetWinStyle() const { return m_lTwhStyle; }
    bool HasTextServices() const { return m_pTwh != nullptr; }
    bool IsVerticalBarAutoShown() const { return m_bVScrollBarFixing; }
    CTxtWinHost* GetTextHost() const { return m_pTwh.Get(); }

    long GetTextLength(DWORD flags = GTL_DEFAULT) const;
    LRESULT SetSel(long first, long last);
    void ReplaceSel(const wchar_t* text, bool canUndo);

private:
    LRESULT sendToServices(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void scrollBy(UINT msg, WPARAM code);
    RECT textArea() const;
    // Shows an auto-shown vertical bar while the text is taller than the
    // view and hides it again once it fits; true when it changed.
    bool fitVerticalBar(int width, int height);

    Com::ComPtr<CTxtWinHost> m_pTwh;
    bool m_bVScrollBarFixing = false;
    bool m_bWantTab = true;
    bool m_bWantReturn = true;
    bool m_bWantCtrlReturn = true;
    bool m_bRich = true;
    bool m_bInited = false;
    bool m_bFilterAdded = false;
    DWORD m_dwTextColor = 0;
    int m_iFont = -1;
    int m_iLimitText = 32767;
    LONG m_lTwhStyle = ES_MULTILINE;
};

}  // namespace SkinUI
