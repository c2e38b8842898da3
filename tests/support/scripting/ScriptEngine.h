// ScriptHost::ScriptEngine: Wine's JScript engine hosted through IActiveScript
// as the script of a page, for the programs that play a browser in tests.
//
//     ScriptHost::ScriptEngine engine;              // a plain window, or a page's own
//     engine.open();
//     engine.run(L"var log = []; setTimeout(function () { log.push(1); }, 0);");
//     while (engine.pendingTimers()) engine.runDueTimers();
//     engine.text(L"log.join()");                   // L"1"
//
// The window object (a HostObject) is the engine's global-members item
// "window", so page script reaches its members unqualified. The engine gives
// it `console` (console.log lines are kept, and passed to an echo when set),
// setTimeout and clearTimeout. Timers run only from runDueTimers, in due order,
// never inside the call that set them; timers set while a pass runs wait for
// the next pass. Script errors (a failed run, an uncaught error, a failing
// timer) are kept in errors().
//
// The engine's site answers IServiceProvider when services are set, so an
// object that page script creates (new ActiveXObject) can reach them through
// the site the engine gives it.
//
// Threading: the page's thread only (the engine lives in its apartment).
#pragma once

#include "HostObject.h"

#include <activscp.h>
#include <servprov.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ScriptHost {

class ScriptEngine {
public:
    // The window becomes the page's global object (the engine takes a
    // reference); null makes a plain one.
    explicit ScriptEngine(HostObject* window = nullptr);
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Starts the engine; false with the reason in failure() when it cannot.
    bool open();
    bool isOpen() const { return script_ != nullptr; }
    const std::string& failure() const { return failure_; }
    // Drops the timers and the window's values (they may hold page functions),
    // then closes the engine. The window object lives on until destruction.
    void close();

    // ---- script
    bool run(const std::wstring& statements);  // failures are recorded in errors()
    bool evaluate(const std::wstring& expression, VARIANT* result);
    // The expression's value as text; "undefined", "null", "true"/"false",
    // "<object>" when it has no text, "<error>" when it failed.
    std::wstring text(const std::wstring& expression);
    // The engine's own global scope (script var and function globals), not AddRef'd.
    IDispatch* globalScope();
    // A further named item (visible to script by name); the engine keeps a reference.
    bool addNamedItem(const std::wstring& name, IUnknown* item, DWORD flags = SCRIPTITEM_ISVISIBLE);

    std::vector<std::wstring> errors() const { return errors_; }
    void clearErrors() { errors_.clear(); }
    void recordError(const std::wstring& text) { errors_.push_back(text); }
    std::vector<std::wstring> consoleLines() const { return console_; }
    void setConsoleEcho(std::function<void(const std::wstring&)> echo) { consoleEcho_ = std::move(echo); }
    // What the site answers to QueryService (not owned; null: nothing).
    void setServices(IServiceProvider* services) { services_ = services; }
    IServiceProvider* services() const { return services_; }

    HostObject& window() { return *window_; }
    HostObject& console() { return *console_object_; }

    // ---- timers
    bool runDueTimers();
    size_t pendingTimers() const { return timers_.size(); }
    ULONGLONG nextTimerDue() const;
    void clearTimers();

    // Used by the engine's site.
    IUnknown* namedItem(const std::wstring& name) const;

private:
    struct Timer {
        IDispatch* function;  // or null with `code`
        std::wstring code;
    };
    // (due, id): due order, and among timers due at once the order they were set.
    using TimerKey = std::pair<ULONGLONG, long>;
    HRESULT setTimeout(const std::vector<VARIANT>& args, VARIANT* result);
    void clearTimeout(const std::vector<VARIANT>& args);

    IActiveScript* script_ = nullptr;
    IActiveScriptParse* parse_ = nullptr;
    IActiveScriptSite* site_ = nullptr;
    HostObject* window_ = nullptr;
    HostObject* console_object_ = nullptr;
    IServiceProvider* services_ = nullptr;
    std::map<std::wstring, IUnknown*> namedItems_;  // owned references
    // Ordered, so a page with thousands of pending timers costs a pass no more than a few.
    std::map<TimerKey, Timer> timers_;
    long nextTimerId_ = 1;
    std::vector<std::wstring> errors_;
    std::vector<std::wstring> console_;
    std::function<void(const std::wstring&)> consoleEcho_;
    std::string failure_;
};

// The text of a failed call: the exception's description, else its code.
std::wstring describeException(const EXCEPINFO& info, HRESULT hr);
// Frees the strings of an EXCEPINFO and zeroes it.
void freeExceptionInfo(EXCEPINFO& info);

}  // namespace ScriptHost
