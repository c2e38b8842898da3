// CComboUI: a one-line selector whose children are list rows. Closed, it
// paints its state image and the selected row's text; opened ("dropdown",
// by a click, F4 or RunDefaultAction) it lends its rows to a pop-up window of
// its own (CComboWnd) for as long as that lives. It owns an item-style record
// like a list's, so its rows look and behave like list rows. Selecting a row
// sends "itemselect" (wParam new index, lParam previous index) and closes the
// pop-up. CComboBoxUI adds an arrow drawn from a five-state image strip.
//
// Lifetime: the pop-up is closed, its rows taken back, before the combo goes
// or is removed from its window, so the pop-up never holds a deleted row.
// UI thread only.
#pragma once

#include "ListStyle.h"

namespace SkinUI {

class CComboWnd;

class CComboUI : public CContainerUI, public IListOwnerUI {
public:
    CComboUI();
    ~CComboUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    CUIString GetText() const override;
    void SetEnabled(bool enabled = true) override;
    void SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init = true) override;
    bool RunDefaultAction() override;

    bool SetItemIndex(CControlUI* control, int index) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;

    TListStyleUI* GetListStyle() override { return &m_ListInfo; }
    int GetCurSel() const override { return m_iCurSel; }
    bool SelectItem(int index, bool takeFocus = false) override;
    void HandleOwnerEvent(TEventMsgUI& event) override { OnEvent(event); }

    void SetPos(RECT rc) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    SIZE MeasureSize(SIZE available) override;
    void Paint(HDC dc, const RECT& paint) override;
    void PaintStateImage(HDC dc) override;
    void PaintContentText(HDC dc) override;

    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(RECT padding);
    const CUIString& GetDropBoxAttributeList() const { return m_sDropBoxAttributes; }
    void SetDropBoxAttributeList(const wchar_t* list) { m_sDropBoxAttributes = list; }
    SIZE GetDropBoxSize() const { return m_szDropBox; }
    void SetDropBoxSize(SIZE size) { m_szDropBox = size; }
    UINT GetButtonState() const { return m_uButtonState; }
    // The open pop-up, or null.
    CComboWnd* GetDropDown() const { return m_pWindow; }

protected:
    friend class CComboWnd;
    // The pop-up's window is gone.
    void dropDownDestroyed();
    // The rows come back from the pop-up: the combo's manager and parent again.
    void takeRowsBack();
    // The text of the selected row in a rectangle (the combo less its padding).
    void paintSelection(HDC dc, RECT rc);
    // Closes an open pop-up at once, taking the rows back.
    void closeDropDown();

    CComboWnd* m_pWindow = nullptr;
    int m_iCurSel = -1;
    RECT m_rcTextPadding{0, 0, 0, 0};
    CUIString m_sDropBoxAttributes;
    SIZE m_szDropBox{0, 150};
    CUIString m_sNormalImage;
    CUIString m_sHotImage;
    CUIString m_sPushedImage;
    CUIString m_sFocusedImage;
    CUIString m_sDisabledImage;
    UINT m_uButtonState = 0;
    TListStyleUI m_ListInfo;

private:
    // Clears a state bit, repainting when it was set.
    void clearState(UINT bit);
    // Selects the first selectable row from the index on, forwards or backwards.
    void selectFrom(int index, bool forward);
    void stepSelection(bool forward);
    // The keys that move the selection or open the list; false for the others.
    bool takeKey(wchar_t key);
};

class CComboBoxUI : public CComboUI {
public:
    const wchar_t* GetClassName() const override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStateImage(HDC dc) override;
    void PaintContentText(HDC dc) override;

    const CUIString& GetArrowImage() const { return m_sArrowImage; }
    int GetArrowWidth() const { return m_nArrowWidth; }

    // The strip rectangle after "source" in an image string, or false when the
    // text has none or it is malformed (the arrow is then not drawn).
    static bool FindArrowSource(const wchar_t* image, RECT& source, int& start, int& end);

private:
    CUIString m_sArrowImage;
    int m_nArrowWidth = 0;
};

}  // namespace SkinUI
