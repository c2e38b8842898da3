// activex_page.exe: a page of Internet Explorer of our own, for the plug-in's
// Internet Explorer road.
//
//   activex_page.exe --object PAGE.js [MORE.js ...] [--timeout MS]
//   activex_page.exe --control [--param NAME=VALUE]... [--windowless|--windowed] PAGE.js [MORE.js ...]
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
// the page (the benchmark's anchor). heapBlocks() and heapBytes() count the
// busy blocks of the process's heaps and their bytes (leak checks of a page).
//
// The page files run first, in order. Then the program provides `plugin` and
// calls the page's main():
//   --object   `plugin` is the COM script object of the plug-in's scripting
//              object (parvelpluginAPI, over the stand-in engine), made by the
//              factory (makeComScriptObject) with the real ActiveXBrowserHost
//              over the fake browser.
//   --control  `plugin` is the plug-in library's ActiveX control, embedded as
//              an object tag embeds it: created from npparvelplugin.dll (beside
//              this program) through its DllGetClassObject, no registration
//              needed; SetClientSite with the page's site (services answering
//              the fake browser, an in-place site that allows windowless
//              activation with --windowless, the object element, a
//              property-notify sink); IPersistPropertyBag::Load with the
//              parameters; DoVerb(OLEIVERB_INPLACEACTIVATE) in a window of the
//              page (windowed controls need a display). A windowless control is
//              drawn into a bitmap. The page also gets controlReadyChanges()
//              (the OnChanged(-525) calls so far) and controlReadyState() (the
//              control's DISPID -525). At the end the control is deactivated
//              and given SetClientSite(NULL); every reference the page handed it
//              must have come back, and the library must agree to unload.
// Then it pumps messages and page timers until the page calls done(code), or
// the time runs out (10 s by default).
//
// Exit code: the page's code; 2 on timeout; 3 on an uncaught script error (each
// printed); 4 when the page passed but a reference handed out did not come back
// (each printed); 64 for a wrong command line.
#include "ActiveXBrowserHost.h"
#include "ComIdentifiers.h"
#include "ControlContainer.h"
#include "FactoryBase.h"
#include "FakePage.h"
#include "HeapCensus.h"
#include "MessagePump.h"
#include "ModuleExport.h"
#include "ProgramPath.h"
#include "ObjectRoot.h"
#include "ScriptEngine.h"
#include "StrevoTestControl.h"
#include "Utf8Text.h"
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

using test_support::utf8;
using test_support::wide;

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
    bool control = false;
    bool windowless = false;
    std::vector<std::pair<std::wstring, std::wstring>> params;
};

bool parse(int argc, wchar_t** argv, Options& options)
{
    bool object = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring argument = argv[i];
        if (argument == L"--object") {
            object = true;
        } else if (argument == L"--control") {
            options.control = true;
        } else if (argument == L"--windowless" || argument == L"--windowed") {
            options.windowless = argument == L"--windowless";
        } else if (argument == L"--param" && i + 1 < argc) {
            std::wstring param = argv[++i];
            size_t equals = param.find(L'=');
            if (equals == std::wstring::npos || equals == 0) return false;
            options.params.emplace_back(param.substr(0, equals), param.substr(equals + 1));
        } else if (argument == L"--timeout" && i + 1 < argc) {
            options.timeoutMs = static_cast<DWORD>(_wtoi(argv[++i]));
        } else {
            options.pages.push_back(argument);
        }
    }
    return (object != options.control) && !options.pages.empty();
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
        auto census = [](std::size_t testsupport::HeapCensus::*field) {
            return [field](const std::vector<VARIANT>&, VARIANT* result) {
                if (result) {
                    V_VT(result) = VT_R8;
                    V_R8(result) = static_cast<double>(testsupport::HeapCensus::take().*field);
                }
                return S_OK;
            };
        };
        page.window->defineMethod(L"heapBlocks", census(&testsupport::HeapCensus::blocks));
        page.window->defineMethod(L"heapBytes", census(&testsupport::HeapCensus::bytes));
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
    // Opens the page and runs its files in order; prints the errors of the first that fails.
    bool openWith(const std::vector<std::wstring>& paths)
    {
        if (!open()) return false;
        for (const auto& path : paths) {
            if (!runFile(path)) {
                printErrors();
                return false;
            }
        }
        return true;
    }

    // Pumps messages and timers until done(code), an uncaught error or the time is up.
    int pumpUntilDone(DWORD timeoutMs)
    {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            test_support::dispatchWaitingMessages();
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

// The plug-in library beside this program, and its exports.
struct Library {
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;

    bool load()
    {
        const std::wstring path = test_support::besideThisProgram(L"npparvelplugin.dll");
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) return false;
        getClassObject = moduleExport<decltype(getClassObject)>(module, "DllGetClassObject");
        canUnloadNow = moduleExport<decltype(canUnloadNow)>(module, "DllCanUnloadNow");
        return getClassObject && canUnloadNow;
    }
};

// The control embedded in the page as its object tag embeds it.
class EmbeddedControl {
public:
    EmbeddedControl(PageHost& host, const Options& options, Library& library)
        : host_(host), options_(options), library_(library)
    {
    }

    bool embed()
    {
        if (!library_.load()) return fail("cannot load npparvelplugin.dll");
        Com::ComPtr<IClassFactory> factory;
        if (FAILED(library_.getClassObject(CLSID_FBControl0, IID_IClassFactory, factory.PutVoid())))
            return fail("no class object for the control");
        if (FAILED(factory->CreateInstance(nullptr, IID_IOleObject, control_.PutVoid())))
            return fail("the control was not created");
        window_ = CreateWindowExW(0, L"STATIC", L"activex page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
            nullptr, nullptr, nullptr, nullptr);
        site_ = Com::ComPtr<PageSite>(new PageSite);
        site_->browser = static_cast<IWebBrowser2*>(host_.page.browser.Get());
        if (PageFakes::FakeElement* element = host_.page.document->body->findById(L"plugin"))
            site_->element = static_cast<IHTMLElement*>(element);
        site_->allowWindowless = options_.windowless;
        site_->window = window_;
        site_->position = {20, 20, 320, 170};
        site_->clip = {0, 0, 640, 480};
        if (FAILED(control_->SetClientSite(site_.Get()))) return fail("SetClientSite failed");
        Com::ComPtr<IPersistPropertyBag> persist;
        bag_ = Com::ComPtr<TextBag>(new TextBag(options_.params));
        if (FAILED(control_.As(persist)) || FAILED(persist->Load(bag_.Get(), nullptr)))
            return fail("loading the parameters failed");
        HRESULT hr = control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.Get(), 0, window_, &site_->position);
        if (FAILED(hr)) return fail("in-place activation failed (no display for a windowed control?)");
        drawWindowless();
        host_.page.window->defineMethod(L"controlReadyChanges", [this](const std::vector<VARIANT>&, VARIANT* result) {
            if (!result) return S_OK;
            V_VT(result) = VT_I4;
            V_I4(result) = 0;
            for (DISPID id : site_->changes) V_I4(result) += id == DISPID_READYSTATE;
            return S_OK;
        });
        host_.page.window->defineMethod(L"controlReadyState", [this](const std::vector<VARIANT>&, VARIANT* result) {
            Com::ComPtr<IDispatch> dispatch;
            DISPPARAMS none{};
            if (!result || !control_ || FAILED(control_.As(dispatch))) return E_FAIL;
            return dispatch->Invoke(
                DISPID_READYSTATE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result, nullptr, nullptr);
        });
        return true;
    }

    IUnknown* plugin() const { return control_.Get(); }

    // A windowless control draws into a bitmap as a page would have it drawn.
    void drawWindowless()
    {
        Com::ComPtr<IViewObject> view;
        Com::ComPtr<IOleInPlaceObjectWindowless> windowless;
        HWND own = nullptr;
        if (FAILED(control_.As(windowless)) || SUCCEEDED(windowless->GetWindow(&own))) return;
        if (FAILED(control_.As(view))) return;
        HDC screen = GetDC(nullptr);
        HDC context = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 640, -480, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(context, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(context, bitmap);
        RECTL bounds{site_->position.left, site_->position.top, site_->position.right, site_->position.bottom};
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, context, &bounds, nullptr, nullptr, 0);
        SelectObject(context, old);
        DeleteObject(bitmap);
        DeleteDC(context);
        ReleaseDC(nullptr, screen);
    }

    // Deactivates, takes the site back and lets the control go; false when a
    // reference the page handed to the control did not come back.
    bool tearDown()
    {
        bool clean = true;
        if (control_) {
            Com::ComPtr<IOleInPlaceObject> inPlace;
            if (SUCCEEDED(control_.As(inPlace))) inPlace->InPlaceDeactivate();
            control_->SetClientSite(nullptr);
            control_ = nullptr;
        }
        if (site_ && site_->references() != 1) {
            print("leaked: " + std::to_string(site_->references() - 1) + " references of the control's site");
            clean = false;
        }
        if (bag_ && bag_->references() != 1) {
            print("leaked: " + std::to_string(bag_->references() - 1) + " references of the property bag");
            clean = false;
        }
        site_ = nullptr;
        bag_ = nullptr;
        if (window_) DestroyWindow(window_);
        window_ = nullptr;
        return clean;
    }

private:
    bool fail(const std::string& why)
    {
        print("page host: " + why);
        return false;
    }

    PageHost& host_;
    const Options& options_;
    Library& library_;
    Com::ComPtr<IOleObject> control_;
    Com::ComPtr<PageSite> site_;
    Com::ComPtr<TextBag> bag_;
    HWND window_ = nullptr;
};

int runControlPage(const Options& options)
{
    auto host = std::make_unique<PageHost>();
    if (!host->openWith(options.pages)) return kScriptError;
    int code = 0;
    bool clean = true;
    Library library;
    {
        // The page's functions exist before the object tag asks for its "on..." handlers.
        EmbeddedControl control(*host, options, library);
        if (!control.embed() || !host->engine.addNamedItem(L"plugin", control.plugin())) {
            control.tearDown();
            return kScriptError;
        }
        host->engine.run(L"main();");
        code = host->engine.errors().empty() ? host->pumpUntilDone(options.timeoutMs) : kScriptError;
        if (code == kScriptError) host->printErrors();
        host->engine.clearErrors();
        host->engine.close();
        clean = control.tearDown();
    }
    host->page.release();
    host.reset();
    // With the page gone, nothing of the library may be left alive.
    if (library.canUnloadNow && library.canUnloadNow() != S_OK) {
        print("leaked: COM objects of npparvelplugin.dll");
        clean = false;
    }
    if ((audit() || !clean) && code == 0) code = kLeaked;
    return code;
}

int runPage(const Options& options)
{
    if (options.control) return runControlPage(options);
    auto host = std::make_unique<PageHost>();
    if (!host->openWith(options.pages)) return kScriptError;

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
        print("usage: activex_page.exe --object PAGE.js [MORE.js ...] [--timeout MS]\n"
              "       activex_page.exe --control [--param NAME=VALUE]... [--windowless|--windowed] PAGE.js [MORE.js "
              "...]");
        return kUsage;
    }
    LocalFree(argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = runPage(options);
    CoUninitialize();
    return code;
}
