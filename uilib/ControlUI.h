// CControlUI: the base of every windowless control. It keeps a control's
// identity (name, text, tooltip, user data), geometry (position, padding,
// fixed/min/max sizes, floating origin, relative position), state (visible,
// enabled, mouse and keyboard input, focus), look (background colours and
// gradient, background image, borders) and event hooks (delegate lists). It
// reads its skin attributes in SetAttribute (unknown names are ignored), asks
// its manager for layout and repainting, and paints in a fixed order of steps
// that subclasses override one by one.
//
// Threading: UI thread only, like its manager.
#pragma once

#include "AttributeValues.h"
#include "Delegate.h"
#include "UIRect.h"
#include "UIString.h"
#include "WindowManagerUI.h"

namespace SkinUI {

// State bits of the button-like controls: buttons, options, the slider, the
// scroll bar's parts and the line layouts' separator.
enum : UINT {
    UISTATE_FOCUSED = 0x01,
    UISTATE_SELECTED = 0x02,
    UISTATE_DISABLED = 0x04,
    UISTATE_HOT = 0x08,
    UISTATE_PUSHED = 0x10,
    UISTATE_CAPTURED = 0x40,
};

struct TRelativePosUI {
    bool bRelative = false;
    SIZE szParent{0, 0};
    int nMoveXPercent = 0;
    int nMoveYPercent = 0;
    int nZoomXPercent = 0;
    int nZoomYPercent = 0;
};

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CUIString GetName() const;
    virtual void SetName(const wchar_t* name);
    virtual const wchar_t* GetClassName() const;
    virtual LPVOID GetInterfaceByName(const wchar_t* name);
    virtual UINT GetInputFlags() const;
    virtual bool RunDefaultAction();
    virtual CWindowManagerUI* GetManager() const;
    virtual void SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init = true);
    virtual CControlUI* GetParent() const;
    virtual CUIString GetText() const;
    virtual void SetText(const wchar_t* text);
    virtual const RECT& GetPos() const;
    virtual void SetPos(RECT rc);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetX() const;
    virtual int GetY() const;
    virtual RECT GetPadding() const;
    virtual void SetPadding(RECT rc);
    virtual SIZE GetFixedOrigin() const;
    virtual void SetFixedOrigin(SIZE origin);
    virtual int GetFixedWidth() const;
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int cy);
    virtual void SetRelativePos(SIZE move, SIZE zoom);
    virtual void SetRelativeParentSize(SIZE size);
    virtual TRelativePosUI GetRelativePos() const;
    virtual bool IsRelativePos() const;
    virtual CUIString GetToolTip() const;
    virtual void SetToolTip(const wchar_t* text);
    virtual void SetToolTipWidth(int width);
    virtual int GetToolTipWidth();
    virtual wchar_t GetShortcut() const;
    virtual void SetShortcut(wchar_t ch);
    virtual bool IsMenuNotifyEnabled() const;
    virtual void SetMenuNotifyEnabled(bool enabled);
    virtual const CUIString& GetUserData();
    virtual void SetUserData(const wchar_t* text);
    virtual UINT_PTR GetTag() const;
    virtual void SetTag(UINT_PTR tag);
    virtual bool IsVisible() const;
    virtual void SetVisible(bool visible = true);
    virtual void SetInheritedVisible(bool visible = true);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enabled = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool enabled = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool enabled = true);
    virtual bool IsFocused() const;
    virtual void SetFocus();
    virtual bool IsFloat() const;
    virtual void SetFloat(bool floating = true);
    virtual CControlUI* SearchControl(FINDCONTROLPROC proc, LPVOID data, UINT flags);
    virtual void InitControl();
    virtual void OnInitControl();
    virtual void HandleEvent(TEventMsgUI& event);
    virtual void OnEvent(TEventMsgUI& event);
    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    virtual SIZE MeasureSize(SIZE available);
    virtual void Paint(HDC dc, const RECT& paint);
    virtual void PaintBackColor(HDC dc);
    virtual void PaintBackImage(HDC dc);
    virtual void PaintStateImage(HDC dc);
    virtual void PaintContentText(HDC dc);
    virtual void PaintBorder(HDC dc);
    virtual void PaintAfter(HDC dc, const RECT& paint);

    void Invalidate();
    void NeedUpdate();
    void NeedParentUpdate();
    bool IsLayoutNeeded() const { return m_bUpdateNeeded; }
    DWORD GetAdjustColor(DWORD color) const;
    bool DrawImage(HDC dc, const wchar_t* image, const wchar_t* modify = nullptr);
    void SetVirtualWindowName(const wchar_t* name);
    CUIString GetVirtualWindowName() const;
    void ApplyAttributeList(const wchar_t* list);

    DWORD GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(DWORD color);
    DWORD GetBkColor2() const { return m_dwBackColor2; }
    void SetBkColor2(DWORD color);
    DWORD GetBkColor3() const { return m_dwBackColor3; }
    void SetBkColor3(DWORD color);
    const CUIString& GetBkImage() const { return m_sBkImage; }
    void SetBkImage(const wchar_t* image);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD color);
    DWORD GetFocusBorderColor() const { return m_dwFocusBorderColor; }
    void SetFocusBorderColor(DWORD color);
    bool IsColorHSL() const { return m_bColorHSL; }
    void SetColorHSL(bool hsl);
    int GetBorderSize() const { return m_nBorderSize; }
    void SetBorderSize(int size);
    RECT GetBorderSizes() const { return m_rcBorderSize; }
    void SetBorderSizes(RECT sizes);
    void SetLeftBorderSize(int size);
    void SetTopBorderSize(int size);
    void SetRightBorderSize(int size);
    void SetBottomBorderSize(int size);
    int GetBorderStyle() const { return m_nBorderStyle; }
    void SetBorderStyle(int style);
    SIZE GetBorderRound() const { return m_cxyBorderRound; }
    void SetBorderRound(SIZE round);
    const CUIString& GetForeImage() const { return m_sForeImage; }

    CEventSourceUI OnInit;
    CEventSourceUI OnDestroy;
    CEventSourceUI OnSize;
    CEventSourceUI OnEventHook;
    CEventSourceUI OnNotify;

protected:
    // Stores one of the control's image strings and repaints.
    void setImage(CUIString& image, const wchar_t* value);
    // Stores one of the control's colours and repaints.
    void setColor(DWORD& color, DWORD value);
    // Draws one of the control's image strings; one that fails to draw is
    // cleared, so that it is not tried again. False when nothing was drawn.
    bool drawOrForget(HDC dc, CUIString& image, const wchar_t* modify = nullptr);
    // The focused and disabled bits of a state (UISTATE_*) follow the control's own flags.
    void refreshStateBits(UINT& state) const;
    // A mouse event of a control that does not take the mouse goes to its
    // parent (or the base's handling without one); true when it was passed on.
    bool passMouseToParent(TEventMsgUI& event, bool takesMouse);
    // A focus event that only sets or clears the focused flag (no repaint); true when it was one.
    bool takeFocusEvent(const TEventMsgUI& event);

    CWindowManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CUIString m_sVirtualWnd;
    CUIString m_sName;
    bool m_bUpdateNeeded = true;
    bool m_bMenuUsed = false;
    RECT m_rcItem{0, 0, 0, 0};
    RECT m_rcPadding{0, 0, 0, 0};
    SIZE m_cXY{0, 0};
    SIZE m_cxyFixed{0, 0};
    SIZE m_cxyMin{0, 0};
    SIZE m_cxyMax{9999, 9999};
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    bool m_bSetPos = false;
    TRelativePosUI m_tRelativePos;
    CUIString m_sText;
    CUIString m_sToolTip;
    wchar_t m_chShortcut = 0;
    CUIString m_sUserData;
    UINT_PTR m_pTag = 0;
    DWORD m_dwBackColor = 0;
    DWORD m_dwBackColor2 = 0;
    DWORD m_dwBackColor3 = 0;
    CUIString m_sBkImage;
    CUIString m_sForeImage;
    DWORD m_dwBorderColor = 0;
    DWORD m_dwFocusBorderColor = 0;
    bool m_bColorHSL = false;
    int m_nBorderSize = 0;
    int m_nBorderStyle = PS_SOLID;
    int m_nTooltipWidth = 300;
    SIZE m_cxyBorderRound{0, 0};
    RECT m_rcPaint{0, 0, 0, 0};
    RECT m_rcBorderSize{0, 0, 0, 0};
};

}  // namespace SkinUI
