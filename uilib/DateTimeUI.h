// CDateTimeUI: a label that shows a date as "yyyy-mm-dd" and, while it has the
// focus, opens the system date picker over itself in CDateTimeWnd, a native
// child window. Leaving the picker keeps the date chosen there; Delete or
// Backspace clears the text; Escape closes the picker and changes nothing.
// UI thread only.
#pragma once

#include "LabelUI.h"
#include "NativeChildWnd.h"

namespace SkinUI {

class CDateTimeUI;

class CDateTimeWnd final : public CNativeChildWnd<CDateTimeWnd, CDateTimeUI> {
public:
    CDateTimeWnd();
    // Creates the picker over the owner (once), sets its date and gives it the focus.
    void Init(CDateTimeUI* owner);
    // Leaves the picker: the owner takes its date (unless cleared or cancelled) and it closes.
    void End();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The drop-down calendar is open (and has the focus).
    bool m_bDroppedDown = false;
};

class CDateTimeUI : public CLabelUI {
    friend class CDateTimeWnd;
    friend class CNativeChildWnd<CDateTimeWnd, CDateTimeUI>;

public:
    // What the picker did last.
    enum UpdateState { UPDATE_NONE = 0, UPDATE_CHOSEN = 1, UPDATE_CLEARED = 2, UPDATE_CANCELLED = 3 };

    CDateTimeUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void OnEvent(TEventMsgUI& event) override;

    const SYSTEMTIME& GetTime() const { return m_sysTime; }
    void SetTime(const SYSTEMTIME& time);
    int GetUpdateState() const { return m_nUpdateState; }
    // Sets the text from the date and the update state.
    void UpdateText();
    // The picker while it is open (null otherwise).
    HWND GetNativeWindow() const { return m_pWindow.GetWindowHandle(); }

private:
    void openPicker();

    SYSTEMTIME m_sysTime{};
    int m_nUpdateState = UPDATE_NONE;
    COwnedWindow<CDateTimeWnd> m_pWindow;
};

}  // namespace SkinUI
