// Implementation details: the rows are lent, not moved: they stay the combo's
// children (and rows of its owner part) and are only added to the pop-up's
// layout, which never deletes what it holds. They go back to the combo's
// manager on WM_CLOSE, when the window is destroyed some other way (its owner
// went first), or at once when the combo goes.
#include "ComboWnd.h"

#include "ScrollBarUI.h"

#include <algorithm>

namespace SkinUI {

CComboWnd* CComboWnd::Open(CComboUI* owner)
{
    auto* window = new CComboWnd;
    if (window->init(owner)) return window;
    if (window->m_hWnd)
        window->OwnerGone();  // deletes the object with its window
    else
        delete window;
    return nullptr;
}

bool CComboWnd::init(CComboUI* owner)
{
    CWindowManagerUI* ownerManager = owner ? owner->GetManager() : nullptr;
    HWND ownerWindow = ownerManager ? ownerManager->GetPaintWindow() : nullptr;
    if (!ownerWindow) return false;
    m_pOwner = owner;
    m_iOldSel = owner->GetCurSel();

    SIZE drop = owner->GetDropBoxSize();
    RECT combo = owner->GetPos();
    RECT rc = combo;
    rc.top = combo.bottom;
    if (drop.cx > 0) rc.right = rc.left + drop.cx;
    int rowsHeight = 0;
    for (int i = 0; i < owner->GetCount(); ++i) {
        CControlUI* row = owner->GetItemAt(i);
        if (!row->IsVisible()) continue;
        rowsHeight += row->MeasureSize(SIZE{rc.right - rc.left, drop.cy}).cy;
    }
    int height = std::min(rowsHeight + 4, static_cast<int>(drop.cy));
    rc.bottom = rc.top + height;
    MapWindowPoints(ownerWindow, HWND_DESKTOP, reinterpret_cast<POINT*>(&rc), 2);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(ownerWindow, MONITOR_DEFAULTTONEAREST), &monitor);
    if (rc.bottom > monitor.rcWork.bottom) {
        // No room below: the drop-down opens upwards from the combo's top.
        POINT top = {combo.left, combo.top};
        ClientToScreen(ownerWindow, &top);
        rc.top = top.y - height;
        rc.bottom = top.y;
    }
    if (!CreateNativeWindow(ownerWindow, nullptr, WS_POPUP, WS_EX_TOOLWINDOW, rc)) return false;
    ShowWindow(m_hWnd, SW_SHOW);
    // The owner's caption stays active while its drop-down has the focus.
    HWND topLevel = ownerWindow;
    while (HWND parent = GetParent(topLevel)) topLevel = parent;
    SendMessageW(topLevel, WM_NCACTIVATE, TRUE, 0);
    return true;
}

void CComboWnd::onCreate()
{
    m_pm.Init(m_hWnd);
    CWindowManagerUI* ownerManager = m_pOwner->GetManager();
    m_pm.SetParentManager(ownerManager);
    m_pLayout = new CVerticalLayoutUI;
    m_pLayout->SetManager(&m_pm, nullptr, true);
    if (const wchar_t* defaults = ownerManager->GetDefaultAttributeList(L"VerticalLayout"))
        m_pLayout->ApplyAttributeList(defaults);
    m_pLayout->SetInset(RECT{1, 1, 1, 1});
    m_pLayout->SetBkColor(0xFFFFFFFF);
    m_pLayout->SetBorderColor(0xFFC6C7D2);
    m_pLayout->SetBorderSize(1);
    m_pLayout->SetDeleteOnRemove(false);
    m_pLayout->SetScrollBarsEnabled(true, false);
    m_pLayout->ApplyAttributeList(m_pOwner->GetDropBoxAttributeList());
    for (int i = 0; i < m_pOwner->GetCount(); ++i) m_pLayout->Add(m_pOwner->GetItemAt(i));
    m_bRowsLent = true;
    m_pm.AttachDialog(m_pLayout);
    // After the first layout the selection is scrolled into view.
    m_pm.AddNotifier(this);
}

void CComboWnd::OnNotify(TNotifyMsgUI& msg)
{
    if (msg.sType == L"windowinit" && m_pOwner) EnsureVisible(m_pOwner->GetCurSel());
}

void CComboWnd::giveRowsBack()
{
    if (!m_bRowsLent || !m_pOwner) return;
    m_bRowsLent = false;
    m_pOwner->takeRowsBack();
    // The layout forgets them without deleting them (delete-on-remove is off).
    if (m_pLayout) m_pLayout->RemoveAll();
}

void CComboWnd::OwnerGone()
{
    if (m_pOwner && m_bRowsLent) {
        // This manager must not reach the rows again on its way out.
        for (int i = 0; i < m_pOwner->GetCount(); ++i) m_pm.ForgetControl(m_pOwner->GetItemAt(i));
    }
    giveRowsBack();
    m_pOwner = nullptr;
    if (IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

void CComboWnd::EnsureVisible(int index)
{
    if (!m_pOwner || !m_pLayout || index < 0) return;
    CControlUI* row = m_pOwner->GetItemAt(index);
    if (!row) return;
    RECT item = row->GetPos();
    RECT area = m_pLayout->GetPos();
    CScrollBarUI* horizontal = m_pLayout->GetHorizontalScrollBar();
    if (horizontal && horizontal->IsVisible()) area.bottom -= horizontal->GetFixedHeight();
    if (item.top >= area.top && item.bottom <= area.bottom) return;
    int dy = 0;
    if (item.top < area.top) dy = item.top - area.top;
    if (item.bottom > area.bottom) dy = item.bottom - area.bottom;
    Scroll(0, dy);
}

void CComboWnd::Scroll(int dx, int dy)
{
    if (!m_pLayout || (dx == 0 && dy == 0)) return;
    SIZE pos = m_pLayout->GetScrollPos();
    m_pLayout->SetScrollPos(SIZE{pos.cx + dx, pos.cy + dy});
}

void CComboWnd::onKeyDown(WPARAM key)
{
    TEventMsgUI event;
    event.Type = UIEVENT_KEYDOWN;
    event.pSender = m_pOwner;
    event.chKey = static_cast<wchar_t>(key);
    event.wParam = key;
    event.dwTimestamp = GetTickCount();
    m_pOwner->OnEvent(event);
    // The combo may have closed this drop-down by now; the window is still here.
    if (m_pOwner) EnsureVisible(m_pOwner->GetCurSel());
}

LRESULT CComboWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    ++m_nMessageDepth;
    LRESULT result = dispatch(msg, wParam, lParam);
    if (--m_nMessageDepth == 0 && m_bDeletePending) delete this;
    return result;
}

LRESULT CComboWnd::dispatch(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: onCreate(); return 0;
    case WM_KILLFOCUS:
        if (reinterpret_cast<HWND>(wParam) != m_hWnd) PostWindowMessage(WM_CLOSE);
        break;
    case WM_KEYDOWN:
        if (!m_pOwner) break;
        if (wParam == VK_RETURN) {
            PostWindowMessage(WM_KILLFOCUS);
        } else if (wParam == VK_ESCAPE) {
            m_pOwner->SelectItem(m_iOldSel, true);
            EnsureVisible(m_iOldSel);
            PostWindowMessage(WM_KILLFOCUS);
        } else {
            onKeyDown(wParam);
        }
        return 0;
    case WM_LBUTTONUP: {
        // A click anywhere but on the scroll bar ends the choice.
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        CControlUI* control = m_pm.FindControlAt(pt);
        if (control && wcscmp(control->GetClassName(), L"ScrollBarUI") != 0) PostWindowMessage(WM_KILLFOCUS);
        break;
    }
    case WM_MOUSEWHEEL: {
        if (!m_pOwner) break;
        TEventMsgUI event;
        event.Type = UIEVENT_SCROLLWHEEL;
        event.pSender = m_pOwner;
        event.wParam = GET_WHEEL_DELTA_WPARAM(wParam) < 0 ? 1 : 0;
        event.dwTimestamp = GetTickCount();
        m_pOwner->OnEvent(event);
        if (m_pOwner) EnsureVisible(m_pOwner->GetCurSel());
        return 0;
    }
    case WM_CLOSE:
        if (!m_pOwner) break;
        giveRowsBack();
        // Laying the combo out again parks its rows out of sight.
        m_pOwner->SetPos(m_pOwner->GetPos());
        m_pOwner->SetFocus();
        break;
    case WM_DESTROY:
        // Destroyed without WM_CLOSE (its owner window went first).
        giveRowsBack();
        break;
    default: break;
    }
    LRESULT result = 0;
    if (m_pm.HandleWindowMessage(msg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

void CComboWnd::OnFinalWindowMessage(HWND)
{
    m_pm.RemoveNotifier(this);
    if (m_pOwner) m_pOwner->dropDownDestroyed();
    m_pOwner = nullptr;
    if (m_nMessageDepth > 0)
        m_bDeletePending = true;
    else
        delete this;
}

}  // namespace SkinUI
