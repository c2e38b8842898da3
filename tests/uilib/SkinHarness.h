// Helpers for the tests that build controls without a window: a skin text
// built into a control tree on a manager that has no window and laid out over
// a rectangle, a log of the notifications the manager sends, and events
// handed straight to a control.
#pragma once

#include "SkinBuilder.h"

#include <string>
#include <vector>

namespace testui {

using namespace SkinUI;

class Skin {
public:
    // A text that is not a "<Window>" skin is wrapped in one.
    explicit Skin(const wchar_t* xml, RECT area = {0, 0, 400, 301}, IDialogBuilderCallback* callback = nullptr)
    {
        std::wstring wrapped = xml[1] == L'W' ? std::wstring(xml) : L"<Window>" + std::wstring(xml) + L"</Window>";
        root = builder.Create(wrapped.c_str(), nullptr, callback, &manager);
        if (!root) return;
        manager.AttachDialog(root);
        root->SetPos(area);
    }
    CControlUI* operator[](const wchar_t* name) const { return manager.FindControlByName(name); }
    RECT pos(const wchar_t* name) const
    {
        CControlUI* c = manager.FindControlByName(name);
        return c ? c->GetPos() : RECT{-1, -1, -1, -1};
    }
    // Lays the tree out again where it stands, as the window's next paint would.
    void relayout() { root->SetPos(root->GetPos()); }
    CWindowManagerUI manager;
    CSkinBuilder builder;
    CControlUI* root = nullptr;
};

// "type:sender" for each notification, with ":wParam,lParam" for the types named.
class NotifyLog : public INotifyUI {
public:
    NotifyLog(CWindowManagerUI& manager, std::vector<std::wstring> withParams = {})
        : m_manager(manager), m_withParams(std::move(withParams))
    {
        manager.AddNotifier(this);
    }
    ~NotifyLog() { m_manager.RemoveNotifier(this); }
    void OnNotify(TNotifyMsgUI& msg) override
    {
        std::wstring entry = msg.sType.GetData();
        entry += L":" + std::wstring(msg.pSender ? msg.pSender->GetName().GetData() : L"");
        for (const std::wstring& type : m_withParams)
            if (msg.sType == type.c_str())
                entry += L":" + std::to_wstring(static_cast<long long>(msg.wParam)) + L"," +
                    std::to_wstring(static_cast<long long>(msg.lParam));
        seen.push_back(entry);
    }
    std::vector<std::wstring> seen;

private:
    CWindowManagerUI& m_manager;
    std::vector<std::wstring> m_withParams;
};

inline void sendEvent(CControlUI* control, int type, POINT pt = {0, 0}, WPARAM wParam = 0, wchar_t key = 0)
{
    TEventMsgUI event;
    event.Type = type;
    event.pSender = control;
    event.ptMouse = pt;
    event.wParam = wParam;
    event.chKey = key;
    control->HandleEvent(event);
}

inline std::string text(RECT r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
        std::to_string(r.bottom);
}

}  // namespace testui
