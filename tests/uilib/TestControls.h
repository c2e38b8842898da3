// Controls that stand in for the library's buttons in the window tests: a tab
// stop that sends "click" when the mouse goes down and up over it.
#pragma once

#include "ContainerUI.h"
#include "Layouts.h"
#include "SkinBuilder.h"

#include <string>

namespace testui {

class CTestButtonUI : public SkinUI::CControlUI {
public:
    const wchar_t* GetClassName() const override { return L"ButtonUI"; }
    UINT GetInputFlags() const override { return IsEnabled() ? static_cast<UINT>(SkinUI::UIFLAG_TABSTOP) : 0u; }
    void OnEvent(SkinUI::TEventMsgUI& event) override
    {
        if (!IsEnabled()) return;
        if (event.Type == SkinUI::UIEVENT_BUTTONDOWN) {
            m_pressed = true;
            return;
        }
        if (event.Type == SkinUI::UIEVENT_BUTTONUP) {
            bool inside = PtInRect(&m_rcItem, event.ptMouse) != FALSE;
            if (m_pressed && inside && m_pManager) m_pManager->SendNotify(this, L"click");
            m_pressed = false;
            return;
        }
        SkinUI::CControlUI::OnEvent(event);
    }
    bool RunDefaultAction() override
    {
        if (m_pManager) m_pManager->SendNotify(this, L"click");
        return true;
    }

private:
    bool m_pressed = false;
};

// A label stand-in: not a tab stop, class name of a label (hands its shortcut on).
class CTestLabelUI : public SkinUI::CControlUI {
public:
    const wchar_t* GetClassName() const override { return L"LabelUI"; }
};

// Throws from its event handler: the window procedure must not let it out.
class CThrowingUI : public SkinUI::CControlUI {
public:
    void OnEvent(SkinUI::TEventMsgUI& event) override
    {
        if (event.Type == SkinUI::UIEVENT_BUTTONDOWN) throw 42;
        SkinUI::CControlUI::OnEvent(event);
    }
};

// Records the mouse events it gets.
class CHoverUI : public SkinUI::CControlUI {
public:
    std::wstring seen;
    void OnEvent(SkinUI::TEventMsgUI& event) override
    {
        if (event.Type == SkinUI::UIEVENT_MOUSEENTER) seen += L"enter;";
        if (event.Type == SkinUI::UIEVENT_MOUSELEAVE) seen += L"leave;";
        if (event.Type == SkinUI::UIEVENT_MOUSEHOVER) seen += L"hover;";
        SkinUI::CControlUI::OnEvent(event);
    }
};

inline SkinUI::CControlUI* CreateTestControl(const wchar_t* tag)
{
    if (wcscmp(tag, L"Thrower") == 0) return new CThrowingUI;
    if (wcscmp(tag, L"Hover") == 0) return new CHoverUI;
    if (wcscmp(tag, L"Button") == 0) return new CTestButtonUI;
    if (wcscmp(tag, L"Label") == 0) return new CTestLabelUI;
    return nullptr;
}

}  // namespace testui
