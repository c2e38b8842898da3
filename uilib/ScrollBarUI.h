// CScrollBarUI: the scroll bar that containers own and drive: two buttons, a
// thumb and a rail, auto-repeat through the manager's timer 10 while pressed,
// and "scroll" notifications when it stands alone (no owner container).
// UI thread only.
#pragma once

#include "ControlUI.h"

namespace SkinUI {

class CContainerUI;

class CScrollBarUI : public CControlUI {
public:
    enum { kDefaultThickness = 16, kRepeatTimerId = 10 };
    CScrollBarUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetVisible(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    void SetFocus() override;
    void SetPos(RECT rc) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(HDC dc, const RECT& paint) override;
    void PaintBk(HDC dc);
    void PaintButton1(HDC dc);
    void PaintButton2(HDC dc);
    void PaintThumb(HDC dc);
    void PaintRail(HDC dc);

    CContainerUI* GetOwner() const { return m_pOwner; }
    void SetOwner(CContainerUI* owner) { m_pOwner = owner; }
    bool IsHorizontal() const { return m_bHorizontal; }
    void SetHorizontal(bool horizontal = true);
    int GetScrollRange() const { return m_nRange; }
    void SetScrollRange(int range);
    int GetScrollPos() const { return m_nScrollPos; }
    void SetScrollPos(int pos);
    int GetLineSize() const { return m_nLineSize; }
    void SetLineSize(int size) { m_nLineSize = size; }
    const RECT& GetThumbRect() const { return m_rcThumb; }
    const RECT& GetButton1Rect() const { return m_rcButton1; }
    const RECT& GetButton2Rect() const { return m_rcButton2; }

private:
    // A line or a page back or on: the owner's scroll step, else the bar's own move.
    enum StepKind { kLine = 0, kPage = 1 };
    void step(StepKind kind, bool forward);
    void moveTo(int pos);
    // Mouse events the bar does not take go to its owner, else to the control base.
    void passOn(TEventMsgUI& event);
    // Whether a point off the thumb lies on its far side (right or below).
    bool towardsEnd(POINT pt) const;
    // A press steps by a line on a button, grabs the thumb, or pages towards
    // the point on the track; the repeat timer then keeps going.
    void press(POINT pt);
    void release();
    void followMouse(POINT pt);
    void repeat();
    void drawPart(HDC dc, CUIString* images, UINT state, const RECT& rc, bool outlineWhenMissing);

    bool m_bHorizontal = false;
    int m_nRange = 100;
    int m_nScrollPos = 0;
    int m_nLineSize = 8;
    CContainerUI* m_pOwner = nullptr;
    POINT m_ptLastMouse{0, 0};
    int m_nLastScrollPos = 0;
    int m_nLastScrollOffset = 0;
    int m_nScrollRepeatDelay = 0;
    bool m_bPageTowards = false;
    POINT m_ptPagePoint{0, 0};

    // normal, hot, pushed, disabled
    CUIString m_button1Images[4];
    CUIString m_button2Images[4];
    CUIString m_thumbImages[4];
    CUIString m_railImages[4];
    CUIString m_bkImages[4];
    bool m_bShowButton1 = true;
    bool m_bShowButton2 = true;
    UINT m_uButton1State = 0;
    UINT m_uButton2State = 0;
    UINT m_uThumbState = 0;
    RECT m_rcButton1{0, 0, 0, 0};
    RECT m_rcButton2{0, 0, 0, 0};
    RECT m_rcThumb{0, 0, 0, 0};
};

}  // namespace SkinUI
