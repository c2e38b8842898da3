// activex_page.exe: a page of Internet Explorer of our own, for the plug-in's
// Internet Explorer road.
//
//   activex_page.exe --object PAGE.js [MORE.js ...] [--timeout MS]
//
// Wine's JScript engine is the page's script; the container is made of fakes
// (PageFakes): an IWebBrowser2 whose document's parent window is the page's
// global object. That window has expandos, setTimeout/clearTimeout run from
// this program's pump, console.log printing to stdout, done(code), document,
// and Array/Object from the engine. The engine's site answers IServiceProvider
// with the browser (SID_SWebBrowserApp), as a page gives it to the objects that
// its script creates.
//
// Besides, strevo(command) steers the stand-in engine (its test control) and
// answers its reply, and bare.nop() is a call on a bare IDispatchEx object of
// the page (the benchmark's anchor).
//
// The page files run first, in order. Then the program provides `plugin` and
// calls the page's main():
//   --object   `plugin` is the COM script object of the plug-in's scripting
//              object (parvelpluginAPI, over the stand-in engine), made by the
//              factory (makeComScriptObject) with the real ActiveXBrowserHost
//              over the fake browser.
// Then it pumps messages and page timers until the page calls done(code), or
// the time runs out (10 s by default).
//
// Exit code: the page's code; 2 on timeout; 3 on an uncaught script error (each
// printed); 4 when the page passed but a reference handed out did not come back
// (each printed); 64 for a wrong command line.
#include "ActiveXBrowserHost.h"
#include "FactoryBase.h"
#include "FakePage.h"
#include "ObjectRoot.h"
#include "ScriptEngine.h"
#include "StrevoTestControl.h"
#include "parvelpluginAPI.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kTimedOut = 2;
constexpr int kScriptError = 3;
constexpr int kLeaked = 4;
constexpr int kUsage = 64;

std::string utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text)
{
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

void print(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool readFile(const std::wstring& path, std::wstring& text)
{
    std::ifstream file(utf8(path), std::ios::binary);
    if (!file) {
        // Wine maps Unix paths through drive Z:; a narrow path may not reach the file.
        HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        std::string bytes;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
        CloseHandle(handle);
        text = wide(bytes);
        return true;
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    text = wide(bytes.str());
    return true;
}

struct Options {
    std::vector<std::wstring> pages;
    DWORD timeoutMs = 10000;
};

bool parse(int argc, wchar_t** argv, Options& options)
{
    bool object = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring argument = argv[i];
        if (argument == L"--object") {
            object = true;
        } else if (argument == L"--timeout" && i + 1 < argc) {
            options.timeoutMs = static_cast<DWORD>(_wtoi(argv[++i]));
        } else {
            options.pages.push_back(argument);
        }
    }
    return object && !options.pages.empty();
}

// The page: the engine over the fake page, with the page host's own window members.
class PageHost {
public:
    PageHost() : page(PageFakes::Page::make()), engine(page.window.Get())
    {
        page.window->onExecScript = [this](const std::wstring& code, const std::wstring&) {
            return engine.run(code) ? S_OK : E_FAIL;
        };
        page.window->defineMethod(L"done", [this](const std::vector<VARIANT>& args, VARIANT*) {
            VARIANT code;
            VariantInit(&code);
            exitCode = !args.empty() && SUCCEEDED(VariantChangeType(&code, const_cast<VARIANT*>(&args[0]), 0, VT_I4))
                ? code.lVal
                : 0;
            finished = true;
            return S_OK;
        });
        // Steers the stand-in engine: strevo("report 12") makes it report from its thread.
        page.window->defineMethod(L"strevo", [](const std::vector<VARIANT>& args, VARIANT* result) {
            if (args.empty() || V_VT(&args[0]) != VT_BSTR) return E_INVALIDARG;
            std::vector<char> reply(65536);
            StrevoTestControl(utf8(V_BSTR(&args[0])).c_str(), reply.data(), static_cast<int>(reply.size()));
            if (result) {
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = SysAllocString(wide(reply.data()).c_str());
            }
            return S_OK;
        });
        // A bare IDispatchEx object of the page, the cost anchor of a call (bare.nop()).
        auto* bare = new ScriptHost::HostObject;
        bare->defineMethod(L"nop", [](const std::vector<VARIANT>&, VARIANT*) { return S_OK; });
        VARIANT bareValue;
        V_VT(&bareValue) = VT_DISPATCH;
        V_DISPATCH(&bareValue) = bare;
        page.window->setValue(L"bare", bareValue);
        bare->Release();
        VARIANT document;
        V_VT(&document) = VT_DISPATCH;
        V_DISPATCH(&document) = static_cast<IDispatchEx*>(page.document.Get());
        page.window->setValue(L"document", document);
        engine.setConsoleEcho([](const std::wstring& line) { print(utf8(line)); });
        engine.setServices(page.services.Get());
    }

    bool open()
    {
        if (!engine.open()) {
            print("page host: " + engine.failure());
            return false;
        }
        // The engine's constructors, reachable on the window as in a browser.
        for (const wchar_t* name : {L"Array", L"Object"}) {
            VARIANT constructor;
            if (!engine.evaluate(name, &constructor)) return false;
            page.window->setValue(name, constructor);
            VariantClear(&constructor);
        }
        return true;
    }

    bool runFile(const std::wstring& path)
    {
        std::wstring text;
        if (!readFile(path, text)) {
            print("page host: cannot read " + utf8(path));
            return false;
        }
        engine.run(text);
        return engine.errors().empty();
    }

    // Pumps messages and timers until done(code), an uncaught error or the time is up.
    int pumpUntilDone(DWORD timeoutMs)
    {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            engine.runDueTimers();
            if (!engine.errors().empty()) return kScriptError;
            if (finished) return exitCode;
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) {
                print("page host: the page did not call done() in time");
                return kTimedOut;
            }
            ULONGLONG wait = std::min<ULONGLONG>(deadline - now, 50);
            if (engine.pendingTimers())
                wait = engine.nextTimerDue() > now ? std::min(wait, engine.nextTimerDue() - now) : 0;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait), QS_ALLINPUT);
        }
    }

    void printErrors()
    {
        for (const auto& error : engine.errors()) print("script error: " + utf8(error));
    }

    PageFakes::Page page;
    ScriptHost::ScriptEngine engine;
    bool finished = false;
    int exitCode = 0;
};

// The leaks left once everything of the page is gone: fakes still alive and
// COM objects of the plug-in still counted.
int audit()
{
    int leaks = 0;
    for (const auto& [kind, count] : PageFakes::liveObjects()) {
        print("leaked: " + std::to_string(count) + " " + kind);
        ++leaks;
    }
    if (long objects = Atl::ModuleLock::current()) {
        print("leaked: " + std::to_string(objects) + " COM objects of the plug-in");
        ++leaks;
    }
    return leaks;
}

int runPage(const Options& options)
{
    auto host = std::make_unique<PageHost>();
    if (!host->open()) return kScriptError;
    for (const auto& path : options.pages) {
        if (!host->runFile(path)) {
            host->printErrors();
            return kScriptError;
        }
    }

    auto browserHost =
        std::make_shared<FB::ActiveX::ActiveXBrowserHost>(host->page.browser.Get(), host->page.site.Get());
    auto api = std::make_shared<parvelpluginAPI>(nullptr, browserHost);
    int code = 0;
    {
        auto plugin =
            Com::ComPtr<IDispatchEx>::Adopt(FB::getFactoryInstance()->makeComScriptObject(api, browserHost, false));
        if (!plugin || !host->engine.addNamedItem(L"plugin", plugin.Get())) {
            print("page host: cannot provide the plug-in");
            return kScriptError;
        }
        host->engine.run(L"main();");
        code = host->engine.errors().empty() ? host->pumpUntilDone(options.timeoutMs) : kScriptError;
        if (code == kScriptError) host->printErrors();
        host->engine.clearErrors();
    }

    // Teardown in a browser's order: the host first, then the plug-in's objects, then the page.
    browserHost->shutDownHost();
    api.reset();
    browserHost.reset();
    host->engine.close();
    host->page.release();
    host.reset();
    if (audit() && code == 0) code = kLeaked;
    return code;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    if (!argv || !parse(argc, argv, options)) {
        print("usage: activex_page.exe --object PAGE.js [MORE.js ...] [--timeout MS]");
        return kUsage;
    }
    LocalFree(argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = runPage(options);
    CoUninitialize();
    return code;
}
