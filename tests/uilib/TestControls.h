// Test-only controls for the window tests, made through the builder's
// callback for tags the library does not know.
#pragma once

#include "ContainerUI.h"
#include "Layouts.h"
#include "SkinBuilder.h"

#include <string>

namespace testui {

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
    return nullptr;
}

}  // namespace testui
