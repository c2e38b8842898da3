// Implementation details: control lookup. Every named control of the tree is
// kept in a name map when it is attached; a control that leaves the tree is
// forgotten by every pointer the manager holds to it.
#include "WindowManagerUI.h"

#include "ControlUI.h"

namespace SkinUI {

CControlUI* CALLBACK CWindowManagerUI::nameMapProc(CControlUI* control, LPVOID data)
{
    CWindowManagerUI* manager = static_cast<CWindowManagerUI*>(data);
    CUIString name = control->GetName();
    if (name.IsEmpty()) return nullptr;
    manager->m_mNameHash.Set(name, control);
    return nullptr;
}

bool CWindowManagerUI::InitControls(CControlUI* control, CControlUI* parent)
{
    if (!control) return false;
    control->SetManager(this, parent ? parent : control->GetParent(), true);
    control->SearchControl(nameMapProc, this, UIFIND_ALL);
    return true;
}

void CWindowManagerUI::ForgetControl(CControlUI* control)
{
    if (!control) return;
    if (control == m_pEventKey) m_pEventKey = nullptr;
    if (control == m_pEventHover) m_pEventHover = nullptr;
    if (control == m_pEventClick) m_pEventClick = nullptr;
    if (control == m_pFocus) m_pFocus = nullptr;
    KillTimers(control);
    CUIString name = control->GetName();
    if (!name.IsEmpty() && m_mNameHash.Find(name, false) == control) m_mNameHash.Remove(name);
    for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i) {
        TNotifyMsgUI* msg = static_cast<TNotifyMsgUI*>(m_aAsyncNotify.GetAt(i));
        if (msg->pSender == control) msg->pSender = nullptr;
    }
    int index = m_aPostPaintControls.Find(control);
    if (index >= 0) m_aPostPaintControls.Remove(index);
}

CControlUI* CWindowManagerUI::FindControlByName(const wchar_t* name) const
{
    if (!name) return nullptr;
    return static_cast<CControlUI*>(const_cast<CStringPtrMapUI&>(m_mNameHash).Find(name));
}

CControlUI* CALLBACK CWindowManagerUI::findAtProc(CControlUI* control, LPVOID)
{
    return control;
}

CControlUI* CWindowManagerUI::FindControlAt(POINT pt) const
{
    if (!m_pRoot) return nullptr;
    return m_pRoot->SearchControl(findAtProc, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CALLBACK CWindowManagerUI::forgetProc(CControlUI* control, LPVOID data)
{
    static_cast<CWindowManagerUI*>(data)->ForgetControl(control);
    return nullptr;
}

}  // namespace SkinUI
