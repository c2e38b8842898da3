// The layouts: CVerticalLayoutUI stacks its children top to bottom and
// CHorizontalLayoutUI left to right (fixed and stretching children, an
// optional drag separator); CTabLayoutUI shows one child at a time;
// CTileLayoutUI arranges children in a grid of columns; CChildLayoutUI fills
// itself from a separate skin file. UI thread only.
#pragma once

#include "ContainerUI.h"

namespace SkinUI {

// The two line layouts' shared parts: the layout along their axis and the drag separator.
class CLineLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    UINT GetInputFlags() const override;
    void OnEvent(TEventMsgUI& event) override;
    void PaintAfter(HDC dc, const RECT& paint) override;
    void SetSepSize(int size);
    int GetSepSize() const { return m_iSepSize; }
    void SetSepImmMode(bool immediate);
    bool IsSepImmMode() const { return m_bImmMode; }
    RECT GetThumbRect(bool useNew = false) const;
    void SetPos(RECT rc) override;

protected:
    explicit CLineLayoutUI(bool vertical) : m_bVertical(vertical) {}
    // Lines the visible children up along the axis over the inner rectangle
    // (offset by the scroll positions), sharing the length among fixed and
    // stretching children; answers the length they need.
    int lineUpChildren(RECT inner, SIZE available);
    // A child's size across the axis (its width in a vertical layout) out of
    // what is available across.
    virtual LONG childBreadth(CControlUI* child, LONG available) const;
    // Dragging the separator resizes the layout along its axis.
    void beginSeparatorDrag(POINT pt);
    void endSeparatorDrag();
    void dragSeparator(POINT pt);
    // Brings a dragged size back within the layout's minimum and maximum by
    // moving the dragged edge; false when the size already stands at the limit.
    bool keepDragWithinLimits(const RECT& rc, LONG& edge) const;
    void moveSeparatorTo(const RECT& rc);

    bool m_bVertical;
    int m_iSepSize = 0;
    UINT m_uButtonState = 0;
    POINT ptLastMouse{0, 0};
    RECT m_rcNewPos{0, 0, 0, 0};
    bool m_bImmMode = false;
};

// "VerticalLayoutUI" / "VerticalLayout"; its separator attribute is "sepheight".
class CVerticalLayoutUI : public CLineLayoutUI {
public:
    CVerticalLayoutUI() : CLineLayoutUI(true) {}
};

// "HorizontalLayoutUI" / "HorizontalLayout"; its separator attribute is "sepwidth".
class CHorizontalLayoutUI : public CLineLayoutUI {
public:
    CHorizontalLayoutUI() : CLineLayoutUI(false) {}
};

class CTabLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    virtual bool SelectItem(int index);
    void SetPos(RECT rc) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    int m_iCurSel = -1;
};

class CTileLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetPos(RECT rc) override;
    SIZE GetItemSize() const { return m_szItem; }
    void SetItemSize(SIZE size);
    int GetColumns() const { return m_nColumns; }
    void SetColumns(int columns);
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    SIZE m_szItem{0, 0};
    int m_nColumns = 1;
};

class CChildLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void InitControl() override;
    void SetChildLayoutXML(const wchar_t* file) { m_pstrXMLFile = file; }
    const CUIString& GetChildLayoutXML() const { return m_pstrXMLFile; }
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

private:
    CUIString m_pstrXMLFile;
};

}  // namespace SkinUI
