// Test helper: looks at and drives another program's top-level window, as a
// person at the screen would. It reads one command per line (UTF-8, fields
// separated by tabs) from its input and answers one line each:
//
//   find TITLE MS        waits up to MS for a visible window with that title;
//                        answers "window HWND L T R B CW CH VISIBLE ICONIC ZOOMED"
//                        (window rectangle, client size) or "none"
//   state                the same for the window found last ("none" when gone)
//   shot FILE            the client area from the screen into a 32-bit BMP file
//   click X Y            a left click at client coordinates (SendInput)
//   dblclick X Y         a double click at client coordinates
//   key VK [MODIFIER]    presses VK, holding MODIFIER (a virtual key) if given
//   post MSG WP LP       posts a message to the window (numbers: decimal or 0x)
//   show CMD             ShowWindow with CMD
//   gone MS              waits up to MS for the window to be destroyed: "gone" or "alive"
//   setreg KEY NAME VALUE  a string value under HKEY_CURRENT_USER
//   quit
//
// Pictures come from the screen DC: another process's window cannot be
// printed into a bitmap of this one.
#include "SyntheticInput.h"
#include "Utf8Text.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

HWND g_window = nullptr;

std::vector<std::wstring> Fields(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos) return fields;
        start = tab + 1;
    }
}

long Number(const std::wstring& text)
{
    return static_cast<long>(wcstoll(text.c_str(), nullptr, 0));
}

void Answer(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
}

void AnswerState()
{
    if (!g_window || !IsWindow(g_window)) return Answer("none");
    RECT window{}, client{};
    GetWindowRect(g_window, &window);
    GetClientRect(g_window, &client);
    Answer("window %llu %ld %ld %ld %ld %ld %ld %d %d %d",
        static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(g_window)), window.left, window.top, window.right,
        window.bottom, client.right, client.bottom, IsWindowVisible(g_window) ? 1 : 0, IsIconic(g_window) ? 1 : 0,
        IsZoomed(g_window) ? 1 : 0);
}

void Find(const std::wstring& title, long ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowW(nullptr, title.c_str());
        if (window && IsWindowVisible(window)) {
            g_window = window;
            return AnswerState();
        }
        if (static_cast<long>(GetTickCount() - start) >= ms) return Answer("none");
        Sleep(20);
    }
}

bool Shot(const std::wstring& path)
{
    RECT client{};
    GetClientRect(g_window, &client);
    POINT origin{0, 0};
    ClientToScreen(g_window, &origin);
    int cx = client.right, cy = client.bottom;
    if (cx <= 0 || cy <= 0) return false;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = memory && bitmap;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, cx, cy, screen, origin.x, origin.y, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        BITMAPFILEHEADER file{};
        DWORD size = static_cast<DWORD>(cx) * cy * 4;
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        file.bfSize = file.bfOffBits + size;
        FILE* out = _wfopen(path.c_str(), L"wb");
        ok = out && fwrite(&file, sizeof(file), 1, out) == 1 &&
            fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 && fwrite(bits, size, 1, out) == 1;
        if (out) fclose(out);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

// A pause after each step lets the window take the input in.
void Step()
{
    Sleep(30);
}

void SetUserString(const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    if (rc == ERROR_SUCCESS)
        Answer("ok");
    else
        Answer("error %ld", rc);
}

void BringToFront()
{
    SetForegroundWindow(g_window);
    Sleep(50);
}

bool Run(const std::vector<std::wstring>& f)
{
    const std::wstring& command = f[0];
    auto arg = [&](size_t i) { return i < f.size() ? f[i] : std::wstring(); };
    if (command == L"quit") return false;
    if (command == L"find") {
        Find(arg(1), Number(arg(2)));
    } else if (command == L"state") {
        AnswerState();
    } else if (command == L"gone") {
        DWORD start = GetTickCount();
        while (g_window && IsWindow(g_window) && static_cast<long>(GetTickCount() - start) < Number(arg(1))) Sleep(20);
        Answer(g_window && IsWindow(g_window) ? "alive" : "gone");
    } else if (command == L"setreg") {
        SetUserString(arg(1), arg(2), arg(3));
    } else if (!g_window || !IsWindow(g_window)) {
        Answer("none");
    } else if (command == L"shot") {
        Answer(Shot(arg(1)) ? "ok" : "error");
    } else if (command == L"click" || command == L"dblclick") {
        BringToFront();
        testinput::moveTo(g_window, POINT{Number(arg(1)), Number(arg(2))});
        Step();
        for (int i = command == L"click" ? 1 : 2; i > 0; --i) {
            for (DWORD button : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
                testinput::mouse(button);
                Step();
            }
        }
        Answer("ok");
    } else if (command == L"key") {
        BringToFront();
        WORD vk = static_cast<WORD>(Number(arg(1)));
        WORD modifier = static_cast<WORD>(Number(arg(2)));
        const std::pair<WORD, bool> strokes[] = {{modifier, true}, {vk, true}, {vk, false}, {modifier, false}};
        for (auto [code, down] : strokes) {
            if (!code) continue;
            testinput::key(code, down);
            Step();
        }
        Answer("ok");
    } else if (command == L"post") {
        BOOL posted = PostMessageW(g_window, static_cast<UINT>(Number(arg(1))), static_cast<WPARAM>(Number(arg(2))),
            static_cast<LPARAM>(Number(arg(3))));
        Answer(posted ? "ok" : "error");
    } else if (command == L"show") {
        ShowWindow(g_window, static_cast<int>(Number(arg(1))));
        Answer("ok");
    } else {
        Answer("unknown");
    }
    return true;
}

}  // namespace

int wmain()
{
    char buffer[4096];
    while (fgets(buffer, sizeof(buffer), stdin)) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.empty()) continue;
        if (!Run(Fields(test_support::wide(line)))) break;
    }
    return 0;
}
