// CComboWnd: the drop-down of a combo box, a top-level pop-up tool window
// (class "ComboWnd") owned by the combo's window, with a window manager of its
// own whose root is a vertical layout into which the combo's rows are lent
// while it lives. It opens below the combo, or above it when the screen's work
// area ends first, and closes when it loses the focus, on Return or Escape
// (which restores the selection it opened with), and after a click on a row.
// It deletes itself when its window is destroyed.
//
// Threading: the thread of the combo's window.
#pragma once

#include "ComboUI.h"
#include "Layouts.h"
#include "WindowImplBase.h"

namespace SkinUI {

class CComboWnd final : public CWindowWnd, public INotifyUI {
public:
    // Opens the drop-down for a combo; null (and nothing shown) when the
    // combo has no window or the window cannot be made.
    static CComboWnd* Open(CComboUI* owner);
    // Scrolls the row at index into the drop-down's view.
    void EnsureVisible(int index);
    void Scroll(int dx, int dy);
    // The combo goes or leaves its window: its rows are given back now and the
    // window destroyed, without calling into the combo again.
    void OwnerGone();

    // Whether the rows are in the drop-down now.
    bool RowsLent() const { return m_bRowsLent; }
    CWindowManagerUI& GetManager() { return m_pm; }
    CVerticalLayoutUI* GetLayout() const { return m_pLayout; }
    int GetOpeningSelection() const { return m_iOldSel; }

protected:
    const wchar_t* GetWindowClassName() const override { return L"ComboWnd"; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalWindowMessage(HWND window) override;
    void OnNotify(TNotifyMsgUI& msg) override;

private:
    CComboWnd() = default;
    ~CComboWnd() = default;
    bool init(CComboUI* owner);
    void onCreate();
    // Keys other than Return and Escape move the combo's selection.
    void onKeyDown(WPARAM key);
    void giveRowsBack();
    LRESULT dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    CWindowManagerUI m_pm;
    CComboUI* m_pOwner = nullptr;
    CVerticalLayoutUI* m_pLayout = nullptr;
    int m_iOldSel = -1;
    bool m_bRowsLent = false;
    // A window destroyed from inside one of its own messages (a handler took
    // the combo away) is deleted once that message is done.
    int m_nMessageDepth = 0;
    bool m_bDeletePending = false;
};

}  // namespace SkinUI
