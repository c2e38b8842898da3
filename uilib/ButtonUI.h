// The push buttons of the library. CButtonUI draws an image (and colours) per
// state — normal, hot, pushed, focused, disabled — and sends "click" when it is
// clicked with the mouse or pressed with Space or Return. COptionUI adds a
// selected state, optionally shared with the other options of a group of the
// window (one selected at a time, "selectchanged"); CCheckBoxUI is an option
// whose selected state is its check mark.
// UI thread only.
#pragma once

#include "LabelUI.h"

namespace SkinUI {

class CButtonUI : public CLabelUI {
public:
    CButtonUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    bool RunDefaultAction() override;
    void SetEnabled(bool enabled = true) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintStateImage(HDC dc) override;
    void PaintContentText(HDC dc) override;

    UINT GetButtonState() const { return m_uButtonState; }
    void SetNormalImage(const wchar_t* image) { setImage(m_sNormalImage, image); }
    void SetHotImage(const wchar_t* image) { setImage(m_sHotImage, image); }
    void SetHotForeImage(const wchar_t* image) { setImage(m_sHotForeImage, image); }
    void SetPushedImage(const wchar_t* image) { setImage(m_sPushedImage, image); }
    void SetPushedForeImage(const wchar_t* image) { setImage(m_sPushedForeImage, image); }
    void SetFocusedImage(const wchar_t* image) { setImage(m_sFocusedImage, image); }
    void SetDisabledImage(const wchar_t* image) { setImage(m_sDisabledImage, image); }
    void SetForeImage(const wchar_t* image) { setImage(m_sForeImage, image); }
    void SetHotBkColor(DWORD color) { setColor(m_dwHotBkColor, color); }
    void SetHotTextColor(DWORD color) { setColor(m_dwHotTextColor, color); }
    void SetPushedTextColor(DWORD color) { setColor(m_dwPushedTextColor, color); }
    void SetFocusedTextColor(DWORD color) { setColor(m_dwFocusedTextColor, color); }
    const CUIString& GetNormalImage() const { return m_sNormalImage; }
    const CUIString& GetHotImage() const { return m_sHotImage; }
    const CUIString& GetHotForeImage() const { return m_sHotForeImage; }
    const CUIString& GetPushedImage() const { return m_sPushedImage; }
    const CUIString& GetFocusedImage() const { return m_sFocusedImage; }
    const CUIString& GetDisabledImage() const { return m_sDisabledImage; }
    DWORD GetHotBkColor() const { return m_dwHotBkColor; }
    DWORD GetHotTextColor() const { return m_dwHotTextColor; }
    DWORD GetPushedTextColor() const { return m_dwPushedTextColor; }
    DWORD GetFocusedTextColor() const { return m_dwFocusedTextColor; }

protected:
    // The text colour of the button's present state.
    DWORD stateTextColor() const;

    UINT m_uButtonState = 0;
    DWORD m_dwHotBkColor = 0;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
    DWORD m_dwFocusedTextColor = 0;
    CUIString m_sNormalImage;
    CUIString m_sHotImage;
    CUIString m_sHotForeImage;
    CUIString m_sPushedImage;
    CUIString m_sPushedForeImage;
    CUIString m_sFocusedImage;
    CUIString m_sDisabledImage;
};

class COptionUI : public CButtonUI {
public:
    ~COptionUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init = true) override;
    bool RunDefaultAction() override;
    void SetEnabled(bool enabled = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStateImage(HDC dc) override;
    void PaintContentText(HDC dc) override;
    virtual void Selected(bool selected);

    bool IsSelected() const { return m_bSelected; }
    const CUIString& GetGroup() const { return m_sGroupName; }
    void SetGroup(const wchar_t* group);
    void SetSelectedImage(const wchar_t* image) { setImage(m_sSelectedImage, image); }
    void SetSelectedHotImage(const wchar_t* image) { setImage(m_sSelectedHotImage, image); }
    void SetSelectedTextColor(DWORD color) { setColor(m_dwSelectedTextColor, color); }
    void SetSelectedBkColor(DWORD color) { setColor(m_dwSelectedBkColor, color); }
    const CUIString& GetSelectedImage() const { return m_sSelectedImage; }
    const CUIString& GetSelectedHotImage() const { return m_sSelectedHotImage; }
    const CUIString& GetOptionForeImage() const { return m_sOptionForeImage; }
    DWORD GetSelectedTextColor() const { return m_dwSelectedTextColor; }
    DWORD GetSelectedBkColor() const { return m_dwSelectedBkColor; }

protected:
    bool m_bSelected = false;
    CUIString m_sGroupName;
    DWORD m_dwSelectedTextColor = 0;
    DWORD m_dwSelectedBkColor = 0;
    CUIString m_sSelectedImage;
    CUIString m_sSelectedHotImage;
    CUIString m_sOptionForeImage;
};

class CCheckBoxUI : public COptionUI {
public:
    const wchar_t* GetClassName() const override;
};

}  // namespace SkinUI
