// Opens skinned windows the way a program of the library does and says how it
// went, one line per window: "built N" (N controls, then the names of the
// labels) or "refused". Each window is painted before the next one opens, and
// the earlier windows are painted again afterwards. Tests run it as a child
// process under a watchdog, so that a skin that builds or paints without end
// cannot take the test with it.
//
//   uilib_skin_probe FOLDER ZIP FILE   the skin FILE of the archive FOLDER\ZIP
//   uilib_skin_probe --resource ID...  one window per "ZIPRES" resource ID of
//                                      this program, each with skin "skin.xml"
//
// Exit code 0 when every window was built, 3 when one was refused.
#include "WindowImplBase.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

bool g_refused = false;

struct Census {
    int controls = 0;
    std::wstring labels;
};

CControlUI* CALLBACK count(CControlUI* control, LPVOID data)
{
    auto* census = static_cast<Census*>(data);
    ++census->controls;
    if (control->GetInterfaceByName(L"Label") && !control->GetName().IsEmpty())
        census->labels += L" " + std::wstring(control->GetName().GetData());
    return nullptr;
}

class ProbeWindow : public WindowImplBase {
public:
    ProbeWindow(int kind, std::wstring zip, std::wstring file) : m_kind(kind), m_zip(zip), m_file(file) {}

    std::wstring describe()
    {
        CControlUI* root = m_PaintManager.GetRoot();
        if (!root) return L"refused";
        Census census;
        root->SearchControl(count, &census, UIFIND_ALL);
        return L"built " + std::to_wstring(census.controls) + census.labels;
    }

protected:
    const wchar_t* GetWindowClassName() const override { return L"SkinProbeWindow"; }
    CUIString GetSkinFolder() override { return CUIString(); }
    CUIString GetSkinFile() override { return CUIString(m_file.c_str()); }
    int GetSkinSourceKind() const override { return m_kind; }
    CUIString GetSkinZipName() override { return CUIString(m_zip.c_str()); }
    const wchar_t* GetSkinResourceId() const override { return m_zip.c_str(); }

private:
    int m_kind;
    std::wstring m_zip, m_file;
};

void paint(HWND window)
{
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (CWindowManagerUI::TranslateLoopMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int run(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    CWindowManagerUI::SetModuleInstance(GetModuleHandleW(nullptr));
    WindowImplBase::SetSkinFailureReporter([] { g_refused = true; });
    std::vector<std::unique_ptr<ProbeWindow>> windows;
    if (std::wstring(argv[1]) == L"--resource") {
        CWindowManagerUI::SetResourcePath(L".");
        for (int i = 2; i < argc; ++i)
            windows.push_back(std::make_unique<ProbeWindow>(WindowImplBase::UILIB_ZIPRESOURCE, argv[i], L"skin.xml"));
    } else {
        if (argc < 4) return 2;
        CWindowManagerUI::SetResourcePath(argv[1]);
        windows.push_back(std::make_unique<ProbeWindow>(WindowImplBase::UILIB_ZIP, argv[2], argv[3]));
    }
    int code = 0;
    for (auto& window : windows) {
        g_refused = false;
        HWND handle = window->CreateNativeWindow(nullptr, L"probe", 0x10CF0000, 0, 0, 0, 400, 300);
        if (!handle || g_refused) {
            code = 3;
            wprintf(L"refused\n");
        } else {
            ShowWindow(handle, SW_SHOWNOACTIVATE);
            paint(handle);
            wprintf(L"%ls\n", window->describe().c_str());
        }
        fflush(stdout);
    }
    // The earlier windows still paint after the later ones opened.
    for (auto& window : windows)
        if (window->GetWindowHandle()) paint(window->GetWindowHandle());
    for (auto& window : windows)
        if (window->GetWindowHandle()) DestroyWindow(window->GetWindowHandle());
    wprintf(L"done\n");
    return code;
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
