// The value controls. CProgressUI shows a value of a range by drawing its
// foreground image over the part of the control that the value covers, from
// the left (horizontal) or from the bottom (vertical), cut at its own scale or
// stretched. CSliderUI adds a thumb that the mouse drags or clicks to, and the
// wheel steps; it sends "valuechanged".
//
// Geometry never divides by zero or overflows: a range whose maximum is not
// above its minimum counts as min..min+1, products are taken in 64 bits, and a
// slider no longer than its thumb maps every point to its minimum.
// UI thread only.
#pragma once

#include "LabelUI.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
public:
    CProgressUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStateImage(HDC dc) override;

    bool IsHorizontal() const { return m_bHorizontal; }
    void SetHorizontal(bool horizontal = true);
    bool IsStretchForeImage() const { return m_bStretchForeImage; }
    void SetStretchForeImage(bool stretch = true);
    int GetMinValue() const { return m_nMin; }
    void SetMinValue(int min);
    int GetMaxValue() const { return m_nMax; }
    void SetMaxValue(int max);
    int GetValue() const { return m_nValue; }
    void SetValue(int value);
    void SetForeImage(const wchar_t* image);

    // The part the value covers, relative to the control (clamps the value
    // into the range as painting does).
    RECT GetForegroundRect();

protected:
    // The maximum as geometry uses it: above the minimum.
    int usableMax() const { return m_nMax > m_nMin ? m_nMax : m_nMin + 1; }

    bool m_bHorizontal = true;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    bool m_bStretchForeImage = true;
    CUIString m_sForeImageModify;
};

class CSliderUI : public CProgressUI {
public:
    CSliderUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    void SetEnabled(bool enabled = true) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStateImage(HDC dc) override;

    int GetChangeStep() const { return m_nStep; }
    void SetChangeStep(int step) { m_nStep = step; }
    SIZE GetThumbSize() const { return m_szThumb; }
    void SetThumbSize(SIZE size) { m_szThumb = size; }
    void SetThumbImage(const wchar_t* image);
    void SetThumbHotImage(const wchar_t* image);
    void SetThumbPushedImage(const wchar_t* image);
    UINT GetButtonState() const { return m_uButtonState; }

    // The thumb in window coordinates, for the present value.
    RECT GetThumbRect() const;
    // The value a point of the window stands for.
    int ValueAtPoint(POINT pt) const;

private:
    int m_nStep = 1;
    SIZE m_szThumb{10, 10};
    UINT m_uButtonState = 0;
    int m_nValueAtPress = 0;
    CUIString m_sThumbImage;
    CUIString m_sThumbHotImage;
    CUIString m_sThumbPushedImage;
    CUIString m_sThumbModify;
};

}  // namespace SkinUI
