// Rich edit benchmark: the library's windowless rich edit control beside the
// platform's own rich edit window (the same "msftedit.dll"), in one run.
//
//   1. A long text (default 20,000 lines, about 1.1 M characters) is set into
//      each and the window is painted the first time, then once more.
//   2. The text is emptied and characters (default 2,000) are typed one at a
//      time — WM_CHAR sent to the window, which hands it to the focused control
//      through its message filter — and the window is painted after each.
//
// Each round (default 5) opens a fresh control window and a fresh platform
// window, one after the other; the figures are the medians of the rounds, so
// that a busy machine disturbs one round rather than the ratio. Prints each
// time and the control/platform ratio, and ends with one ratio line per step;
// a ratio far above 1 shows an invalidation storm or a layout loop in the
// control. Needs a display (run it through scripts/bench richedit).
// Usage: uilib_richedit_bench [LINES [CHARS [ROUNDS]]]
#include "RichEditUI.h"
#include "WindowImplBase.h"
#include "BenchSupport.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

using benchui::medianOf;
using benchui::pump;
using benchui::secondsOf;
using benchui::StepFigures;

std::wstring makeText(int lines)
{
    std::wstring text;
    text.reserve(static_cast<size_t>(lines) * 56);
    wchar_t line[80];
    for (int i = 0; i < lines; ++i) {
        swprintf(line, 80, L"Line %05d: the quick brown fox jumps over the lazy dog.\r", i);
        text += line;
    }
    return text;
}

// Types words of letters into the window's focus, painting after each character.
void typeInto(HWND window, int chars)
{
    for (int i = 0; i < chars; ++i) {
        SendMessageW(window, WM_CHAR, i % 8 == 7 ? L' ' : static_cast<WPARAM>(L'a' + i % 26), 0);
        UpdateWindow(window);
    }
}

constexpr int kWidth = 600, kHeight = 400;

class BenchFrame : public WindowImplBase {
public:
    bool ready = false;

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinUIRichEditBench"; }
    CUIString GetSkinFolder() override { return CUIString(); }
    CUIString GetSkinFile() override
    {
        return CUIString(L"<Window size=\"600,400\"><VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\">"
                         L"<RichEdit name=\"edit\" vscrollbar=\"true\" autovscroll=\"true\"/>"
                         L"</VerticalLayout></Window>");
    }
    void OnNotify(TNotifyMsgUI& msg) override
    {
        if (msg.sType == L"windowinit") ready = true;
        WindowImplBase::OnNotify(msg);
    }
};

struct Times {
    double set = 0, paint = 0, repaint = 0, typing = 0;
};

// The first paint after the text was set, then one more of the same window.
void timePaints(HWND window, Times& times)
{
    auto paint = [&] {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    };
    times.paint = secondsOf(paint);
    times.repaint = secondsOf(paint);
}

Times benchControl(const std::wstring& text, int chars)
{
    Times times;
    BenchFrame frame;
    if (!frame.CreateNativeWindow(nullptr, L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 0, kWidth, kHeight)) return times;
    for (int i = 0; i < 200 && !frame.ready; ++i) {
        pump();
        Sleep(5);
    }
    HWND window = frame.GetWindowHandle();
    auto* edit = static_cast<CRichEditUI*>(frame.GetManager().FindControlByName(L"edit"));
    if (!edit || !edit->HasTextServices()) {
        fwprintf(stderr, L"the control has no text services\n");
        return times;
    }
    LRESULT ignored = 0;
    edit->ForwardTextMessage(EM_EXLIMITTEXT, 0, static_cast<LPARAM>(text.size() + 16), &ignored);
    times.set = secondsOf([&] { edit->SetText(text.c_str()); });
    timePaints(window, times);
    if (edit->GetTextLength() < static_cast<long>(text.size()) - 1)
        fwprintf(stderr, L"the control holds %ld of %zu characters\n", edit->GetTextLength(), text.size());
    edit->SetText(L"");
    edit->SetFocus();
    SetFocus(window);
    pump();
    times.typing = secondsOf([&] { typeInto(window, chars); });
    if (edit->GetTextLength() < chars)
        fwprintf(stderr, L"typed %d, the control holds %ld\n", chars, edit->GetTextLength());
    DestroyWindow(window);
    pump();
    return times;
}

Times benchPlatform(const std::wstring& text, int chars)
{
    Times times;
    HWND window =
        CreateWindowExW(0, L"RICHEDIT50W", nullptr, WS_POPUP | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL,
            0, 0, kWidth, kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        fwprintf(stderr, L"no platform rich edit window\n");
        return times;
    }
    pump();
    SendMessageW(window, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(text.size() + 16));
    times.set = secondsOf([&] {
        SendMessageW(window, EM_SETSEL, 0, -1);
        SendMessageW(window, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    });
    timePaints(window, times);
    SetWindowTextW(window, L"");
    SetFocus(window);
    pump();
    times.typing = secondsOf([&] { typeInto(window, chars); });
    DestroyWindow(window);
    pump();
    return times;
}

int run(int argc, wchar_t** argv)
{
    int lines = argc > 1 ? _wtoi(argv[1]) : 2000;
    int chars = argc > 2 ? _wtoi(argv[2]) : 200;
    int rounds = argc > 3 ? _wtoi(argv[3]) : 5;
    if (lines < 1 || chars < 1 || rounds < 1) {
        fwprintf(stderr, L"usage: uilib_richedit_bench [LINES [CHARS [ROUNDS]]]\n");
        return 2;
    }
    if (!LoadLibraryW(L"msftedit.dll")) {
        fwprintf(stderr, L"msftedit.dll cannot be loaded\n");
        return 1;
    }
    CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
    std::wstring text = makeText(lines);
    std::vector<Times> controlRounds, platformRounds;
    for (int r = 0; r < rounds; ++r) {
        controlRounds.push_back(benchControl(text, chars));
        platformRounds.push_back(benchPlatform(text, chars));
        if (controlRounds.back().set == 0 || platformRounds.back().set == 0) return 1;
    }
    auto step = [&](const wchar_t* what, double Times::*field, double per, const wchar_t* name,
                    const wchar_t* whatFor) {
        return StepFigures{what, medianOf(controlRounds, field) / per, medianOf(platformRounds, field) / per, name,
            whatFor, L"the platform's rich edit window"};
    };
    const StepFigures steps[] = {
        step(L"set the text", &Times::set, 1, L"richedit-set", L"UI rich edit: setting the text"),
        step(L"first paint", &Times::paint, 1, L"richedit-first-paint",
            L"UI rich edit: first paint after setting the text"),
        step(L"second paint", &Times::repaint, 1, L"richedit-second-paint", L"UI rich edit: the next paint"),
        step(L"typing, per character", &Times::typing, chars, L"richedit-typing",
            L"UI rich edit: typing, a paint after each character"),
    };
    wprintf(L"text: %d lines, %zu characters; typed: %d characters; medians of %d rounds\n", lines, text.size(), chars,
        rounds);
    printSteps(steps);
    CWindowManagerUI::Term();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    return benchui::guardedMain(run, argc, argv);
}
