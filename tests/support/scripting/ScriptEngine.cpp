// The engine, its site and the page's timers and console.
#include "ScriptEngine.h"

#include "CountedUnknown.h"

#include <algorithm>

namespace ScriptHost {

namespace {

// IActiveScriptParse of this build's pointer width (the 32- and 64-bit
// interfaces have different ids).
#if defined(_WIN64)
const IID kIidActiveScriptParse = {0xc7ef7658, 0xe1ee, 0x480e, {0x97, 0xea, 0xd5, 0x2c, 0xb4, 0xd7, 0x6d, 0x17}};
#else
const IID kIidActiveScriptParse = {0xbb1a2ae2, 0xa4f9, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};
#endif

}  // namespace

std::wstring describeException(const EXCEPINFO& info, HRESULT hr)
{
    std::wstring text = info.bstrDescription ? std::wstring(info.bstrDescription) : std::wstring();
    if (text.empty()) {
        wchar_t code[32];
        wsprintfW(code, L"error 0x%08lx", static_cast<unsigned long>(info.scode ? info.scode : hr));
        text = code;
    }
    return text;
}

void freeExceptionInfo(EXCEPINFO& info)
{
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    ZeroMemory(&info, sizeof info);
}

// The engine's site: named items, errors, and the host's services.
class EngineSite : public CountedUnknown<IActiveScriptSite, IServiceProvider> {
public:
    explicit EngineSite(ScriptEngine& engine) : CountedUnknown(1), engine_(engine) {}

    // IServiceProvider
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        IServiceProvider* services = engine_.services();
        return services ? services->QueryService(service, iid, out) : E_NOINTERFACE;
    }

    // IActiveScriptSite
    HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override
    {
        *lcid = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override
    {
        if (info) *info = nullptr;
        if (item) *item = nullptr;
        IUnknown* found = engine_.namedItem(name);
        if (!found) return TYPE_E_ELEMENTNOTFOUND;
        if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
            *item = found;
            found->AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override
    {
        *version = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override
    {
        EXCEPINFO info{};
        error->GetExceptionInfo(&info);
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        error->GetSourcePosition(&context, &line, &column);
        wchar_t where[32];
        wsprintfW(where, L" (line %lu)", line + 1);
        engine_.recordError(describeException(info, info.scode) + where);
        freeExceptionInfo(info);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

private:
    void* interfaceFor(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IActiveScriptSite))
            return static_cast<IActiveScriptSite*>(this);
        if (IsEqualIID(iid, IID_IServiceProvider) && engine_.services()) return static_cast<IServiceProvider*>(this);
        return nullptr;
    }

    ScriptEngine& engine_;
};

ScriptEngine::ScriptEngine(HostObject* window) : window_(window ? window : new HostObject)
{
    if (window) window->AddRef();
    console_object_ = new HostObject;
    VARIANT value;
    value.vt = VT_DISPATCH;
    value.pdispVal = console_object_;
    window_->setValue(L"console", value);
    window_->defineMethod(
        L"setTimeout", [this](const std::vector<VARIANT>& args, VARIANT* result) { return setTimeout(args, result); });
    window_->defineMethod(L"clearTimeout", [this](const std::vector<VARIANT>& args, VARIANT*) {
        clearTimeout(args);
        return S_OK;
    });
    console_object_->defineMethod(L"log", [this](const std::vector<VARIANT>& args, VARIANT*) {
        std::wstring line;
        for (const auto& arg : args) {
            VARIANT text;
            VariantInit(&text);
            if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&arg), 0, VT_BSTR))) line += text.bstrVal;
            VariantClear(&text);
        }
        console_.push_back(line);
        if (consoleEcho_) consoleEcho_(line);
        return S_OK;
    });
}

ScriptEngine::~ScriptEngine()
{
    close();
    for (HostObject* object : {window_, console_object_}) {
        object->clearValues();
        object->Release();
    }
}

bool ScriptEngine::open()
{
    if (script_) return true;
    CLSID engine;
    if (FAILED(CLSIDFromProgID(L"JScript", &engine)) ||
        FAILED(CoCreateInstance(
            engine, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, reinterpret_cast<void**>(&script_))) ||
        !script_) {
        failure_ = "the page cannot create the JScript engine";
        script_ = nullptr;
        return false;
    }
    if (FAILED(script_->QueryInterface(kIidActiveScriptParse, reinterpret_cast<void**>(&parse_))) || !parse_) {
        failure_ = "the JScript engine has no IActiveScriptParse";
        close();
        return false;
    }
    site_ = new EngineSite(*this);
    window_->AddRef();
    namedItems_[L"window"] = window_;
    if (FAILED(script_->SetScriptSite(site_)) || FAILED(parse_->InitNew()) ||
        FAILED(script_->AddNamedItem(L"window", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS)) ||
        FAILED(script_->SetScriptState(SCRIPTSTATE_CONNECTED))) {
        failure_ = "the JScript engine does not start";
        close();
        return false;
    }
    return true;
}

void ScriptEngine::close()
{
    clearTimers();
    // Expandos may hold page functions that hold the engine.
    window_->clearValues();
    if (script_) script_->Close();
    for (auto& [name, item] : namedItems_) item->Release();
    namedItems_.clear();
    if (parse_) parse_->Release();
    parse_ = nullptr;
    if (script_) script_->Release();
    script_ = nullptr;
    if (site_) site_->Release();
    site_ = nullptr;
}

IUnknown* ScriptEngine::namedItem(const std::wstring& name) const
{
    auto found = namedItems_.find(name);
    return found == namedItems_.end() ? nullptr : found->second;
}

bool ScriptEngine::addNamedItem(const std::wstring& name, IUnknown* item, DWORD flags)
{
    if (!script_ || !item || namedItems_.count(name)) return false;
    item->AddRef();
    namedItems_[name] = item;
    return SUCCEEDED(script_->AddNamedItem(name.c_str(), flags));
}

bool ScriptEngine::run(const std::wstring& statements)
{
    if (!parse_) return false;
    EXCEPINFO info{};
    HRESULT hr = parse_->ParseScriptText(statements.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &info);
    freeExceptionInfo(info);
    return SUCCEEDED(hr);
}

bool ScriptEngine::evaluate(const std::wstring& expression, VARIANT* result)
{
    VariantInit(result);
    if (!parse_) return false;
    EXCEPINFO info{};
    HRESULT hr = parse_->ParseScriptText(
        expression.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISEXPRESSION, result, &info);
    freeExceptionInfo(info);
    return SUCCEEDED(hr);
}

std::wstring ScriptEngine::text(const std::wstring& expression)
{
    VARIANT value;
    if (!evaluate(expression, &value)) return L"<error>";
    std::wstring out;
    if (value.vt == VT_EMPTY) {
        out = L"undefined";
    } else if (value.vt == VT_NULL) {
        out = L"null";
    } else if (value.vt == VT_BOOL) {
        out = value.boolVal ? L"true" : L"false";
    } else {
        VARIANT converted;
        VariantInit(&converted);
        if (SUCCEEDED(VariantChangeType(&converted, &value, 0, VT_BSTR)))
            out.assign(converted.bstrVal, SysStringLen(converted.bstrVal));
        else
            out = L"<object>";
        VariantClear(&converted);
    }
    VariantClear(&value);
    return out;
}

IDispatch* ScriptEngine::globalScope()
{
    if (!script_) return nullptr;
    IDispatch* scope = nullptr;
    if (FAILED(script_->GetScriptDispatch(nullptr, &scope)) || !scope) return nullptr;
    scope->Release();  // the engine keeps it alive while it is open
    return scope;
}

// ---- timers --------------------------------------------------------------------------

HRESULT ScriptEngine::setTimeout(const std::vector<VARIANT>& args, VARIANT* result)
{
    if (args.empty()) return DISP_E_BADPARAMCOUNT;
    Timer timer{nullptr, {}};
    DWORD delay = 0;
    if (args.size() > 1) {
        VARIANT ms;
        VariantInit(&ms);
        if (SUCCEEDED(VariantChangeType(&ms, const_cast<VARIANT*>(&args[1]), 0, VT_I4)) && ms.lVal > 0)
            delay = static_cast<DWORD>(ms.lVal);
    }
    if (args[0].vt == VT_DISPATCH && args[0].pdispVal) {
        timer.function = args[0].pdispVal;
        timer.function->AddRef();
    } else if (args[0].vt == VT_BSTR) {
        timer.code = args[0].bstrVal ? args[0].bstrVal : L"";
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    const long id = nextTimerId_++;
    timers_.emplace(TimerKey{GetTickCount64() + delay, id}, std::move(timer));
    result->vt = VT_I4;
    result->lVal = id;
    return S_OK;
}

void ScriptEngine::clearTimeout(const std::vector<VARIANT>& args)
{
    if (args.empty()) return;
    VARIANT id;
    VariantInit(&id);
    if (FAILED(VariantChangeType(&id, const_cast<VARIANT*>(&args[0]), 0, VT_I4))) return;
    auto found =
        std::find_if(timers_.begin(), timers_.end(), [&](const auto& entry) { return entry.first.second == id.lVal; });
    if (found == timers_.end()) return;
    if (found->second.function) found->second.function->Release();
    timers_.erase(found);
}

void ScriptEngine::clearTimers()
{
    for (auto& [key, timer] : timers_)
        if (timer.function) timer.function->Release();
    timers_.clear();
}

ULONGLONG ScriptEngine::nextTimerDue() const
{
    return timers_.empty() ? ~0ULL : timers_.begin()->first.first;
}

bool ScriptEngine::runDueTimers()
{
    // Timers set while this pass runs wait for the next pass, so a page that
    // keeps re-arming a 0 ms timer leaves room for the host's other work.
    const long lastId = nextTimerId_ - 1;
    bool ran = false;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        auto next = timers_.begin();
        while (next != timers_.end() && next->first.first <= now && next->first.second > lastId) ++next;
        if (next == timers_.end() || next->first.first > now) return ran;
        const long id = next->first.second;
        Timer timer = std::move(next->second);
        timers_.erase(next);
        ran = true;
        if (timer.function) {
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            VARIANT out;
            VariantInit(&out);
            EXCEPINFO info{};
            HRESULT hr = timer.function->Invoke(
                DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &out, &info, nullptr);
            if (FAILED(hr)) recordError(L"timer " + std::to_wstring(id) + L" failed: " + describeException(info, hr));
            freeExceptionInfo(info);
            VariantClear(&out);
            timer.function->Release();
        } else {
            run(timer.code);
        }
    }
}

}  // namespace ScriptHost
