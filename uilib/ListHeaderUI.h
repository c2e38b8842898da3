// The column header of a list: CListHeaderUI lays its CListHeaderItemUI
// columns out left to right; the list copies their rectangles into its item
// style so that text rows draw their cells under them. A header item is
// clicked ("headerclick") or resized by dragging its separator, never below
// its minimum width. UI thread only.
#pragma once

#include "Layouts.h"
#include "TextStyle.h"

namespace SkinUI {

class CListHeaderUI : public CHorizontalLayoutUI {
public:
    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    SIZE MeasureSize(SIZE available) override;
};

class CListHeaderItemUI : public CControlUI, public CTextStyleUI<CListHeaderItemUI> {
public:
    CListHeaderItemUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    void SetEnabled(bool enabled = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void OnEvent(TEventMsgUI& event) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintStateImage(HDC dc) override;
    void PaintContentText(HDC dc) override;

    bool IsDragable() const { return m_bDragable; }
    void SetDragable(bool dragable);
    int GetSepWidth() const { return m_iSepWidth; }
    void SetSepWidth(int width);
    UINT GetButtonState() const { return m_uButtonState; }
    // The separator, at the right edge (or the left one for a negative width).
    RECT GetThumbRect() const;

private:
    // The separator widened by 4 pixels towards the inside, for the mouse.
    RECT sepHitRect() const;
    // Follows a drag of the separator to the point.
    void dragTo(POINT pt);
    // A state image, or the normal one in its place when it is empty.
    void drawStateImage(HDC dc, CUIString& image);

    POINT m_ptLastMouse{0, 0};
    bool m_bDragable = true;
    UINT m_uButtonState = 0;
    int m_iSepWidth = 4;
    CUIString m_sNormalImage;
    CUIString m_sHotImage;
    CUIString m_sPushedImage;
    CUIString m_sFocusedImage;
    CUIString m_sSepImage;
    CUIString m_sSepImageModify;
};

}  // namespace SkinUI
