// Implementation details: the message loop. Each message is offered to the
// accelerators and the pre-translation of the manager whose window (or a
// native child of it) it is for: Tab moves the focus, Alt with a control's
// shortcut key runs that control's default action.
#include "WindowManagerUI.h"

#include "ControlUI.h"
#include "RichEditUI.h"

#include <cwctype>

namespace SkinUI {

namespace {

struct ShortcutSearch {
    wchar_t ch;
    bool found;
};

}  // namespace

CControlUI* CALLBACK CWindowManagerUI::shortcutProc(CControlUI* control, LPVOID data)
{
    ShortcutSearch* search = static_cast<ShortcutSearch*>(data);
    if (!control->IsVisible()) return nullptr;
    if (towupper(control->GetShortcut()) == search->ch) search->found = true;
    if (search->found && !wcsstr(control->GetClassName(), L"LabelUI")) return control;
    return nullptr;
}

bool CWindowManagerUI::filterMessage(
    const CPtrArrayUI& filters, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    for (int i = 0; i < filters.GetSize(); ++i) {
        bool handled = false;
        LRESULT answer = static_cast<IMessageFilterUI*>(filters.GetAt(i))->FilterMessage(msg, wParam, lParam, handled);
        if (handled) {
            result = answer;
            return true;
        }
    }
    return false;
}

bool CWindowManagerUI::PreMessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (filterMessage(m_aPreMessageFilters, msg, wParam, lParam, result)) return true;
    switch (msg) {
    case WM_KEYDOWN: {
        if (wParam != VK_TAB) return false;
        auto* richEdit = m_pFocus ? static_cast<CRichEditUI*>(m_pFocus->GetInterfaceByName(L"RichEdit")) : nullptr;
        if (richEdit && richEdit->IsVisible() && richEdit->IsEnabled() &&
            wcsstr(richEdit->GetClassName(), L"RichEditUI") != nullptr && richEdit->IsWantTab()) {
            return false;  // the rich edit takes Tab itself
        }
        SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
        return true;
    }
    case WM_SYSKEYDOWN: {
        if (!m_pFocus) return false;
        TEventMsgUI event = makeKeyEvent(UIEVENT_SYSKEY, m_pFocus, wParam);
        m_pFocus->HandleEvent(event);
        return false;
    }
    case WM_SYSCHAR: {
        if (!m_pRoot) return false;
        ShortcutSearch search = {static_cast<wchar_t>(towupper(static_cast<wint_t>(wParam))), false};
        CControlUI* control =
            m_pRoot->SearchControl(shortcutProc, &search, UIFIND_ENABLED | UIFIND_ME_FIRST | UIFIND_TOP_FIRST);
        if (!control) return false;
        control->SetFocus();
        control->RunDefaultAction();
        return true;
    }
    default: return false;
    }
}

bool CWindowManagerUI::TranslateLoopMessage(MSG* msg)
{
    CPtrArrayUI& managers = liveManagers();
    LONG_PTR style = ::GetWindowLongPtrW(msg->hwnd, GWL_STYLE);
    for (int i = 0; i < managers.GetSize(); ++i) {
        CWindowManagerUI* manager = static_cast<CWindowManagerUI*>(managers.GetAt(i));
        HWND window = manager->GetPaintWindow();
        bool mine = false;
        if (style & WS_CHILD) {
            for (HWND w = msg->hwnd; w && !mine; w = ::GetParent(w)) mine = w == window;
        } else {
            mine = msg->hwnd == window;
        }
        if (!mine) continue;
        for (int k = 0; k < manager->m_aTranslateAccelerator.GetSize(); ++k) {
            auto* accelerator = static_cast<ITranslateAccelerator*>(manager->m_aTranslateAccelerator.GetAt(k));
            if (accelerator->TranslateAccelerator(msg) == S_OK) return true;
        }
        // A native child that wants Escape (an open date picker cancels itself
        // with it) keeps it from the window's default keys.
        if (msg->hwnd != window && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE &&
            (::SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) & DLGC_WANTMESSAGE))
            return false;
        LRESULT result = 0;
        if (manager->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result)) return true;
        return false;
    }
    return false;
}

void CWindowManagerUI::RunMessageLoop()
{
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateLoopMessage(&msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace SkinUI
