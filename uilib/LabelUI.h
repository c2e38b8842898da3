// CLabelUI: a single line of text in a font of the window's manager, plain or
// in the library's tagged text, aligned by DT_ bits and inset by a padding.
// With effects on, the text is drawn with GDI+ in gradient brushes, with an
// optional one-pixel stroke around the glyphs and a displaced shadow; such a
// label holds a GDI+ session from then on until it goes. The label is also the base of
// the buttons, the text control and the progress bar.
// UI thread only.
#pragma once

#include "ControlUI.h"
#include "GdiplusSession.h"
#include "TextStyle.h"

#include <memory>

namespace SkinUI {

class CLabelUI : public CControlUI, public CTextStyleUI<CLabelUI> {
public:
    CLabelUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    CUIString GetText() const override;
    void SetText(const wchar_t* text) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintContentText(HDC dc) override;

    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    void SetDisabledTextColor(DWORD color);

    // Text effects (drawn with GDI+).
    bool IsEffectsEnabled() const { return m_bEnableEffect; }
    void SetEffectsEnabled(bool enabled);
    bool IsStrokeEnabled() const { return m_bEnableStroke; }
    bool IsShadowEnabled() const { return m_bEnableShadow; }
    int GetTextRenderingHint() const { return m_iTextRenderingHint; }
    // The shadow's displacement: x comes from the top, y from the left (see
    // "shadowoffset" in SetAttribute).
    POINT GetShadowOffset() const { return m_ptShadowOffset; }
    void SetShadowOffset(int offset, int angle);
    int GetTransShadow() const { return m_uTransShadow; }
    int GetTransShadow1() const { return m_uTransShadow1; }
    int GetTransText() const { return m_uTransText; }
    int GetTransText1() const { return m_uTransText1; }
    int GetTransStroke() const { return m_uTransStroke; }
    int GetGradientAngle() const { return m_nGradientAngle; }
    int GetGradientLength() const { return m_nGradientLength; }
    DWORD GetTextColor1() const { return m_dwTextColor1; }
    DWORD GetShadowColorA() const { return m_dwTextShadowColorA; }
    DWORD GetShadowColorB() const { return m_dwTextShadowColorB; }
    DWORD GetStrokeColor() const { return m_dwStrokeColor; }

protected:
    // The I-beam of the text-entry controls.
    static void setTextCursor();
    // Unset colours take the manager's defaults, once.
    void resolveDefaultColors();
    RECT textRect() const;
    // Plain or tagged text in one colour through the render kit.
    void paintPlainText(HDC dc, DWORD color, UINT style);
    // The effect passes; false when a GDI+ step failed (the caller then draws plain text).
    bool paintEffects(HDC dc);
    // The label's text in a colour: with its effects, else plain on one line.
    void paintLabelText(HDC dc, DWORD color);
    DWORD enabledTextColor() const { return IsEnabled() ? m_textStyle.dwTextColor : m_dwDisabledTextColor; }

    DWORD m_dwDisabledTextColor = 0;

    bool m_bEnableEffect = false;
    bool m_bEnableStroke = false;
    bool m_bEnableShadow = false;
    int m_uTransShadow = 60;
    int m_uTransShadow1 = 60;
    int m_uTransText = 168;
    int m_uTransText1 = 168;
    int m_uTransStroke = 255;
    int m_nGradientLength = 0;
    int m_nGradientAngle = 0;
    DWORD m_dwTextColor1 = static_cast<DWORD>(-1);
    DWORD m_dwTextShadowColorA = 0xFF000000;
    DWORD m_dwTextShadowColorB = static_cast<DWORD>(-1);
    DWORD m_dwStrokeColor = 0;
    POINT m_ptShadowOffset{0, 0};
    CUIString m_sEffectText;
    int m_iTextRenderingHint = 0;
    // Held from the moment effects are first enabled until the label goes.
    std::unique_ptr<CGdiplusSession> m_gdiplus;
};

}  // namespace SkinUI
