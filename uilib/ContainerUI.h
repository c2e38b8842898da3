// CContainerUI: the base of every control that holds other controls. It owns
// its children (deleted on removal, by default deferred to the window's next
// WM_UI_DELAYED_CLEANUP message), keeps an inset and a gap between children,
// and drives optional vertical and horizontal scroll bars. Children of a plain
// container overlap over its inner rectangle; the layouts place them.
// UI thread only.
#pragma once

#include "ControlUI.h"

#include <vector>

namespace SkinUI {

class CScrollBarUI;

class IContainerUI {
public:
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(CControlUI* control) const = 0;
    virtual bool SetItemIndex(CControlUI* control, int index) = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* control) = 0;
    virtual bool AddAt(CControlUI* control, int index) = 0;
    virtual bool Remove(CControlUI* control) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;

protected:
    ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* control) const override;
    bool SetItemIndex(CControlUI* control, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    void DoEvent(TEventMsgUI& event) { OnEvent(event); }
    void SetVisible(bool visible = true) override;
    void SetInheritedVisible(bool visible = true) override;
    void SetMouseEnabled(bool enabled = true) override;
    void SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init = true) override;
    void SetPos(RECT rc) override;
    CControlUI* SearchControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(HDC dc, const RECT& paint) override;

    virtual RECT GetInset() const;
    virtual void SetInset(RECT inset);
    virtual int GetChildPadding() const;
    virtual void SetChildPadding(int padding);
    virtual bool IsDeleteOnRemove() const;
    virtual void SetDeleteOnRemove(bool remove);
    virtual bool IsDeferredDelete() const;
    virtual void SetDeferredDelete(bool deferred);
    virtual bool IsMouseChildEnabled() const;
    virtual void SetMouseChildEnabled(bool enabled = true);
    virtual int FindSelectableChild(int index, bool forward = true) const;
    virtual SIZE GetScrollPos() const;
    virtual SIZE GetScrollRange() const;
    virtual void SetScrollPos(SIZE pos);
    virtual void LineUp();
    virtual void LineDown();
    virtual void PageUp();
    virtual void PageDown();
    virtual void HomeUp();
    virtual void EndDown();
    virtual void LineLeft();
    virtual void LineRight();
    virtual void PageLeft();
    virtual void PageRight();
    virtual void HomeLeft();
    virtual void EndRight();
    virtual void SetScrollBarsEnabled(bool vertical = true, bool horizontal = false);
    virtual CScrollBarUI* GetVerticalScrollBar() const;
    virtual CScrollBarUI* GetHorizontalScrollBar() const;
    virtual void PlaceFloatingChild(int index);
    virtual void LayoutScrollBars(RECT inner, int requiredWidth, int requiredHeight);

    // Position minus inset and visible scroll bars.
    RECT GetInnerRect() const;

protected:
    // The own child at an index: subclasses may route the IContainerUI
    // operations elsewhere (a list's go to its rows), never these.
    CControlUI* itemAt(int index) const { return static_cast<CControlUI*>(m_items.GetAt(index)); }
    // The positions of the own scroll bars (a list answers GetScrollPos for its body).
    SIZE ownScrollPos() const;
    // A child joins: the container's manager and parentage, and its visibility.
    void adopt(CControlUI* control);
    void deleteChild(CControlUI* control);
    // The visible children clipped to the inner rectangle (floating ones to
    // the container), then the visible scroll bars.
    void paintChildren(HDC dc, const RECT& paint);
    void paintScrollBars(HDC dc, const RECT& paint);
    // Floating children by their own placement, the others over the area.
    void placeChildren(RECT area);
    // Places the visible floating children by their own placement and answers
    // the other visible ones, in order, for a layout to place.
    std::vector<CControlUI*> placeFloatingChildren();
    // Moves the visible bars to a position (each clamps); answers how far each moved.
    SIZE moveScrollBars(SIZE pos);
    // SetScrollPos from the current position moved by (dx, dy).
    void scrollBy(int dx, int dy);
    // What a page step moves by: the inner rectangle of the container whose
    // scroll bars these are (a list's are its body's).
    RECT scrolledArea() const;

    CPtrArrayUI m_items;
    RECT m_rcInset{0, 0, 0, 0};
    int m_iChildPadding = 0;
    bool m_bAutoDestroy = true;
    bool m_bDelayedDestroy = true;
    bool m_bMouseChildEnabled = true;
    bool m_bScrollProcess = false;
    CScrollBarUI* m_pVerticalScrollBar = nullptr;
    CScrollBarUI* m_pHorizontalScrollBar = nullptr;
};

}  // namespace SkinUI
