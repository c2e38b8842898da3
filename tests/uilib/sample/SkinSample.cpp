// The UI library's sample: a window built from the sample skin. With
// "--screenshot FILE.bmp" it takes its picture from the screen after its first
// layout (so that the native windows of its edit, date picker and browser show
// too), writes it and ends. Usage: SkinSample SKIN_FOLDER [--screenshot FILE]
#include "ListItemUI.h"
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
        if (msg.sType == L"windowinit") fillFiles();
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
    // The list's text rows take their cells from code, one text per column.
    void fillFiles()
    {
        const wchar_t* files[][3] = {{L"camera.cfg", L"2 KB", L"saved"},
            {L"broadcast.log", L"140 KB", L"{a open}open{/a}"}, {L"stream-01.flv", L"12 MB", L"uploaded"},
            {L"stream-02.flv", L"9 MB", L"uploading"}, {L"overlay.png", L"86 KB", L"saved"},
            {L"locked.dat", L"1 KB", L"in use"}, {L"notes.txt", L"3 KB", L"saved"},
            {L"update.7z", L"4 MB", L"{a retry}retry{/a}"}};
        for (int i = 0; i < 8; ++i) {
            auto* row = static_cast<CListTextElementUI*>(
                m_PaintManager.FindControlByName((L"file" + std::to_wstring(i)).c_str()));
            if (!row) continue;
            for (int column = 0; column < 3; ++column) row->SetText(column, files[i][column]);
        }
    }

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
