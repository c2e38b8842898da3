// Implementation details: painting. The tree is laid out where needed, then
// painted into an off-screen bitmap (over a copy of the first background when
// the window is alpha-blended) and copied to the window in one blit; painting
// straight to the window is the fallback. Invalidated areas inside the last
// one are not passed on again.
#include "WindowManagerUI.h"

#include "ControlUI.h"

namespace SkinUI {

void CWindowManagerUI::deleteOffscreen()
{
    if (m_hDcOffscreen) DeleteDC(m_hDcOffscreen);
    if (m_hDcBackground) DeleteDC(m_hDcBackground);
    if (m_hbmpOffscreen) DeleteObject(m_hbmpOffscreen);
    if (m_hbmpBackground) DeleteObject(m_hbmpBackground);
    m_hDcOffscreen = m_hDcBackground = nullptr;
    m_hbmpOffscreen = m_hbmpBackground = nullptr;
}

void CWindowManagerUI::Invalidate(RECT& rc)
{
    if (!m_hWndPaint) return;
    // Controls added or changed one by one (thousands of list rows) invalidate
    // the same area again and again before the next paint, and each call is a
    // trip to the window system: an area inside the last one is still invalid.
    RECT joined;
    if (!IsRectEmpty(&m_rcInvalidPending) && UnionRect(&joined, &m_rcInvalidPending, &rc) &&
        EqualRect(&joined, &m_rcInvalidPending))
        return;
    ::InvalidateRect(m_hWndPaint, &rc, FALSE);
    m_rcInvalidPending = rc;
}

CControlUI* CALLBACK CWindowManagerUI::needLayoutProc(CControlUI* control, LPVOID)
{
    return control->IsLayoutNeeded() ? control : nullptr;
}

void CWindowManagerUI::paint()
{
    // This paint covers what was invalidated so far (layout below may add more).
    m_rcInvalidPending = RECT{0, 0, 0, 0};
    RECT update{};
    if (!::GetUpdateRect(m_hWndPaint, &update, FALSE)) return;
    if (!m_pRoot) {
        PAINTSTRUCT ps;
        ::BeginPaint(m_hWndPaint, &ps);
        ::EndPaint(m_hWndPaint, &ps);
        return;
    }
    if (m_bUpdateNeeded) layOutPending();
    if (m_bFocusNeeded) SetNextTabControl();
    RECT client{};
    ::GetClientRect(m_hWndPaint, &client);
    int cx = client.right - client.left, cy = client.bottom - client.top;
    if (m_bOffscreenPaint && !m_hbmpOffscreen && cx > 0 && cy > 0) {
        m_hDcOffscreen = ::CreateCompatibleDC(m_hDcPaint);
        m_hbmpOffscreen = ::CreateCompatibleBitmap(m_hDcPaint, cx, cy);
    }
    PAINTSTRUCT ps;
    ::BeginPaint(m_hWndPaint, &ps);
    m_rcInvalidPending = RECT{0, 0, 0, 0};
    if (m_bOffscreenPaint && m_hDcOffscreen && m_hbmpOffscreen) {
        paintOffscreen(ps, cx, cy);
        if (m_bShowUpdateRect) outlineUpdate(ps.hdc, update);
    } else {
        int saved = ::SaveDC(ps.hdc);
        m_pRoot->Paint(ps.hdc, ps.rcPaint);
        ::RestoreDC(ps.hdc, saved);
    }
    ::EndPaint(m_hWndPaint, &ps);
    if (m_bUpdateNeeded) ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

// The whole tree is placed when its root needs it; otherwise each control
// that asked for layout is placed again where it is.
void CWindowManagerUI::layOutPending()
{
    m_bUpdateNeeded = false;
    RECT client{};
    ::GetClientRect(m_hWndPaint, &client);
    if (IsRectEmpty(&client)) return;
    if (m_pRoot->IsLayoutNeeded()) {
        m_pRoot->SetPos(client);
        deleteOffscreen();
    } else {
        for (int guard = 0; guard < 10000; ++guard) {
            CControlUI* control = m_pRoot->SearchControl(needLayoutProc, nullptr, UIFIND_VISIBLE | UIFIND_ME_FIRST);
            if (!control) break;
            control->SetPos(control->GetPos());
        }
    }
    if (m_bFirstLayout) {
        m_bFirstLayout = false;
        SendNotify(m_pRoot, L"windowinit", 0, 0, false);
    }
}

void CWindowManagerUI::paintOffscreen(const PAINTSTRUCT& ps, int cx, int cy)
{
    const RECT& area = ps.rcPaint;
    const int width = area.right - area.left, height = area.bottom - area.top;
    HGDIOBJ old = ::SelectObject(m_hDcOffscreen, m_hbmpOffscreen);
    int saved = ::SaveDC(m_hDcOffscreen);
    if (m_bAlphaBackground) {
        // The window's first background is kept and put under every later paint.
        if (!m_hbmpBackground) {
            m_hDcBackground = ::CreateCompatibleDC(m_hDcPaint);
            m_hbmpBackground = ::CreateCompatibleBitmap(m_hDcPaint, cx, cy);
            ::SelectObject(m_hDcBackground, m_hbmpBackground);
            ::BitBlt(m_hDcBackground, area.left, area.top, width, height, ps.hdc, area.left, area.top, SRCCOPY);
        }
        ::BitBlt(m_hDcOffscreen, area.left, area.top, width, height, m_hDcBackground, area.left, area.top, SRCCOPY);
    }
    m_pRoot->Paint(m_hDcOffscreen, area);
    for (int i = 0; i < m_aPostPaintControls.GetSize(); ++i)
        static_cast<CControlUI*>(m_aPostPaintControls.GetAt(i))->PaintAfter(m_hDcOffscreen, area);
    ::RestoreDC(m_hDcOffscreen, saved);
    ::BitBlt(ps.hdc, area.left, area.top, width, height, m_hDcOffscreen, area.left, area.top, SRCCOPY);
    ::SelectObject(m_hDcOffscreen, old);
}

void CWindowManagerUI::outlineUpdate(HDC dc, const RECT& update)
{
    HGDIOBJ oldPen = ::SelectObject(dc, ::CreatePen(PS_SOLID, 1, RGB(220, 0, 0)));
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(HOLLOW_BRUSH));
    ::Rectangle(dc, update.left, update.top, update.right, update.bottom);
    ::SelectObject(dc, oldBrush);
    ::DeleteObject(::SelectObject(dc, oldPen));
}

void CWindowManagerUI::printClient(HDC dc, LPARAM flags)
{
    if (!m_pRoot) return;
    RECT client{};
    ::GetClientRect(m_hWndPaint, &client);
    int saved = ::SaveDC(dc);
    m_pRoot->Paint(dc, client);
    if (flags & PRF_CHILDREN) {
        for (HWND child = ::GetWindow(m_hWndPaint, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            RECT pos{};
            ::GetWindowRect(child, &pos);
            ::MapWindowPoints(HWND_DESKTOP, m_hWndPaint, reinterpret_cast<POINT*>(&pos), 2);
            ::SetWindowOrgEx(dc, -pos.left, -pos.top, nullptr);
            ::SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(dc), flags | PRF_NONCLIENT);
        }
    }
    ::RestoreDC(dc, saved);
}

}  // namespace SkinUI
