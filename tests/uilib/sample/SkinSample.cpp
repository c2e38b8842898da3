// The UI library's sample: a window built from the sample skin. With
// "--screenshot FILE.bmp" it takes its picture from the screen after its first
// layout (so that the native windows of its edit, date picker and browser show
// too), writes it and ends. Usage: SkinSample SKIN_FOLDER [--screenshot FILE]
#include "WindowImplBase.h"

#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

bool writeBitmap(const wchar_t* path, HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    int cx = client.right, cy = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !bitmap) return false;
    HGDIOBJ old = SelectObject(dc, bitmap);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    BitBlt(dc, 0, 0, cx, cy, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
    BITMAPFILEHEADER file{};
    DWORD size = static_cast<DWORD>(cx) * cy * 4;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + size;
    FILE* out = _wfopen(path, L"wb");
    bool ok = out && fwrite(&file, sizeof(file), 1, out) == 1 &&
        fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 && fwrite(bits, size, 1, out) == 1;
    if (out) fclose(out);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ok;
}

class SampleFrame : public WindowImplBase {
public:
    explicit SampleFrame(std::wstring screenshot) : m_screenshot(std::move(screenshot)) {}
    int result = 0;

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinUISample"; }
    CUIString GetSkinFolder() override { return CUIString(); }
    CUIString GetSkinFile() override { return CUIString(L"MainFrame.xml"); }
    void OnNotify(TNotifyMsgUI& msg) override
    {
        if (msg.sType == L"windowinit" && !m_screenshot.empty()) PostWindowMessage(WM_APP + 7);
        WindowImplBase::OnNotify(msg);
    }
    LRESULT HandleOtherMessage(UINT msg, WPARAM, LPARAM, bool& handled) override
    {
        if (msg != WM_APP + 7) return LeaveUnhandled(handled);
        result = writeBitmap(m_screenshot.c_str(), m_hWnd) ? 0 : 1;
        PostCloseMessage(0);
        return 0;
    }
    void OnFinalWindowMessage(HWND window) override
    {
        WindowImplBase::OnFinalWindowMessage(window);
        PostQuitMessage(0);
    }

private:
    std::wstring m_screenshot;
};

int run(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: SkinSample SKIN_FOLDER [--screenshot FILE.bmp]\n");
        return 2;
    }
    std::wstring screenshot;
    if (argc >= 4 && wcscmp(argv[2], L"--screenshot") == 0) screenshot = argv[3];
    CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
    CWindowManagerUI::SetResourcePath(argv[1]);
    // The hosted browser needs OLE on this thread.
    if (FAILED(OleInitialize(nullptr))) return 1;
    int result = 1;
    {
        SampleFrame frame(screenshot);
        if (frame.CreateNativeWindow(nullptr, L"SkinUI sample", 0x10CF0000, 0)) {
            frame.CenterOverOwner();
            ShowWindow(frame, SW_SHOWNORMAL);
            CWindowManagerUI::RunMessageLoop();
            result = frame.result;
        }
    }
    OleUninitialize();
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        return run(argc, argv);
    } catch (...) {
        return 1;
    }
}
