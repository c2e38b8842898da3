// A skinned test window under Xvfb (the test's runner starts and stops the
// display) and the helpers that drive it: a message pump like the library's
// loop, posted input, and a fixture that opens the window and waits for its
// first layout. The window records every notification it routes.
#pragma once

#include "MemoryCanvas.h"
#include "TestControls.h"
#include "WindowImplBase.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace testui {

using namespace SkinUI;

class TestWindow : public WindowImplBase {
public:
    explicit TestWindow(const wchar_t* skin) : m_skin(skin) {}
    std::vector<std::wstring> events;
    int closeCode = -1;
    std::function<void()> onReturn;

    void OnNotify(TNotifyMsgUI& msg) override
    {
        std::wstring entry = msg.sType.GetData();
        if (msg.pSender) entry += L":" + std::wstring(msg.pSender->GetName().GetData());
        if (msg.sType == L"timer" || msg.sType == L"tabselect" || msg.sType == L"link" || msg.sType == L"itemselect")
            entry += L":" + std::to_wstring(msg.wParam) + L"," + std::to_wstring(msg.lParam);
        events.push_back(entry);
        if (msg.sType == L"return" && onReturn) onReturn();
        WindowImplBase::OnNotify(msg);
    }
    bool saw(const std::wstring& entry) const
    {
        for (const std::wstring& e : events)
            if (e == entry) return true;
        return false;
    }
    CControlUI* control(const wchar_t* name) { return m_PaintManager.FindControlByName(name); }

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinUITestWindow"; }
    CUIString GetSkinFolder() override { return CUIString(); }
    CUIString GetSkinFile() override { return CUIString(m_skin); }
    CControlUI* CreateCustomControl(const wchar_t* tag) override { return testui::CreateTestControl(tag); }
    LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        closeCode = static_cast<int>(wParam);
        return WindowImplBase::OnClose(msg, wParam, lParam, handled);
    }

private:
    const wchar_t* m_skin;
};

// The windows live on a desktop of their own, so that other programs of the
// same Wine prefix (and their displays) never share it with this test.
inline const bool g_ownDesktop = [] {
    std::wstring name = L"uilibtest" + std::to_wstring(GetCurrentProcessId());
    HDESK desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desktop && SetThreadDesktop(desktop);
}();

// Delivers queued messages the way the library's loop does, for a bounded
// number of rounds (no timing is asserted).
inline void pump(int rounds = 20)
{
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (CWindowManagerUI::TranslateLoopMessage(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

template <class Pred>
inline bool pumpUntil(Pred done, int rounds = 400)
{
    for (int i = 0; i < rounds && !done(); ++i) pump(1);
    return done();
}

inline LPARAM at(POINT pt)
{
    return MAKELPARAM(pt.x, pt.y);
}

inline POINT centreOf(CControlUI* c)
{
    RECT r = c->GetPos();
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A window's rectangle in the client coordinates of another (its parent, say).
inline RECT windowRectIn(HWND window, HWND parent)
{
    RECT rc{};
    GetWindowRect(window, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Posts a left button pressed at one point and released at another (the same
// for a click); the caller pumps.
inline void postClick(HWND window, POINT down, POINT up)
{
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at(down));
    PostMessageW(window, WM_LBUTTONUP, 0, at(up));
}

// Posts a key as the message loop would see it.
inline void postKey(HWND window, UINT msg, WPARAM key)
{
    PostMessageW(window, msg, key, 0);
    pump(2);
}

class WindowFixture : public ::testing::Test {
protected:
    explicit WindowFixture(const wchar_t* skin) : frame(skin) {}
    void SetUp() override
    {
        CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
        CWindowManagerUI::SetResourcePath(L"fixtures");
        HWND window = frame.CreateNativeWindow(nullptr, L"test", 0x10CF0000, 0, 50, 50, 100, 100);
        ASSERT_NE(nullptr, window) << GetLastError();
        ASSERT_TRUE(pumpUntil([&] { return frame.saw(L"windowinit:root"); }));
    }
    void TearDown() override
    {
        if (IsWindow(frame.GetWindowHandle())) DestroyWindow(frame.GetWindowHandle());
        pump(2);
        CWindowManagerUI::Term();
    }
    TestWindow frame;
};

// What the window paints of its client area: WM_PRINTCLIENT into a canvas
// that starts black, so that what the window leaves unpainted shows.
class PrintedClient : public MemoryCanvas {
public:
    explicit PrintedClient(HWND window) : MemoryCanvas(clientWidth(window), clientHeight(window))
    {
        fill(0);
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(context), PRF_CLIENT);
    }

private:
    static RECT client(HWND window)
    {
        RECT area{};
        GetClientRect(window, &area);
        return area;
    }
    static int clientWidth(HWND window) { return client(window).right; }
    static int clientHeight(HWND window) { return client(window).bottom; }
};

inline uint32_t printedPixel(HWND window, int x, int y)
{
    return PrintedClient(window).pixel(x, y);
}

}  // namespace testui
