// CEditUI: the single-line text box. Without focus it paints its own text
// (password characters in password mode); with focus it opens CEditWnd, a
// native edit window over its text area, copies every change of that window
// back into its text ("textchanged"), sends "return" for the Return key, and
// the window closes itself when it loses the focus.
// UI thread only.
#pragma once

#include "LabelUI.h"
#include "NativeChildWnd.h"

namespace SkinUI {

class CEditUI;

class CEditWnd final : public CNativeChildWnd<CEditWnd, CEditUI> {
public:
    CEditWnd();
    ~CEditWnd();
    // Creates the native window over the owner's text area and gives it the focus.
    void Init(CEditUI* owner);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT onChange(WPARAM wParam);
    LRESULT onColor(WPARAM wParam);

    HBRUSH m_hBkBrush = nullptr;
};

class CEditUI : public CLabelUI {
    friend class CEditWnd;
    friend class CNativeChildWnd<CEditWnd, CEditUI>;

public:
    CEditUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    void SetEnabled(bool enabled = true) override;
    void SetText(const wchar_t* text) override;
    void SetPos(RECT rc) override;
    void SetVisible(bool visible = true) override;
    void SetInheritedVisible(bool visible = true) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintStateImage(HDC dc) override;
    void PaintContentText(HDC dc) override;

    void SetMaxChar(UINT max);
    UINT GetMaxChar() const { return m_uMaxChar; }
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetNumberOnly(bool numberOnly);
    UINT GetExtraWindowStyle() const { return m_uWindowStyle; }
    void SetPasswordMode(bool password);
    bool IsPasswordMode() const { return m_bPasswordMode; }
    wchar_t GetPasswordChar() const { return m_cPasswordChar; }
    void SetNormalImage(const wchar_t* image) { setImage(m_sNormalImage, image); }
    void SetHotImage(const wchar_t* image) { setImage(m_sHotImage, image); }
    void SetFocusedImage(const wchar_t* image) { setImage(m_sFocusedImage, image); }
    void SetDisabledImage(const wchar_t* image) { setImage(m_sDisabledImage, image); }
    void SetNativeBkColor(DWORD color) { m_dwEditbkColor = color; }
    DWORD GetNativeBkColor() const { return m_dwEditbkColor; }
    // The native window while it is open (null otherwise).
    HWND GetNativeWindow() const { return m_pWindow.GetWindowHandle(); }
    // Where the native window sits: the text area, narrowed to the font's height.
    RECT GetNativeRect() const;

private:
    void openWindow();
    void selectAll();
    void closeWindowIfHidden();

    COwnedWindow<CEditWnd> m_pWindow;
    UINT m_uMaxChar = 255;
    bool m_bReadOnly = false;
    bool m_bPasswordMode = false;
    wchar_t m_cPasswordChar = L'*';
    UINT m_uButtonState = 0;
    CUIString m_sNormalImage;
    CUIString m_sHotImage;
    CUIString m_sFocusedImage;
    CUIString m_sDisabledImage;
    DWORD m_dwEditbkColor = 0xFFFFFFFF;
    UINT m_uWindowStyle = 0;
};

}  // namespace SkinUI
