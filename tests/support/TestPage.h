// A page for tests of the browser host and the plug-in: page objects, a window
// with a timer queue, and page functions that record their calls.
//
//   auto page = host->attachPage();
//   auto callback = page->function("done");   // records every call
//   ... page->runTimers();                     // what setTimeout scheduled
//
// The delayed-call helper that the host installs through runScript becomes a
// window property whose calls schedule a timer, as the real script does.
// Used on the test's main thread only.
#pragma once

#include "PageObject.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace fbtest {

// One call of a page function, as the page saw it.
struct PageCall {
    std::string function;
    FB::VariantVector args;
    DWORD thread;
};

class TestPage {
public:
    explicit TestPage(const FB::BrowserHostPtr& host) : host(host), window(std::make_shared<PageObject>(host)) {}

    // A page function that records its calls under name; also a window property.
    FB::JSObjectPtr function(const std::string& name)
    {
        auto object =
            std::make_shared<PageObject>(host.lock(), [this, name](const std::string&, const FB::VariantVector& args) {
                calls.push_back({name, args, GetCurrentThreadId()});
                return FB::variant();
            });
        window->properties[name] = FB::variant(FB::JSObjectPtr(object));
        return object;
    }

    // Gives the window a console whose "log" records its messages.
    void addConsole()
    {
        auto console = std::make_shared<PageObject>(host.lock());
        console->properties["log"] = FB::variant(FB::JSObjectPtr(
            std::make_shared<PageObject>(host.lock(), [this](const std::string&, const FB::VariantVector& args) {
                consoleLines.push_back(args.at(0).convertToString());
                return FB::variant();
            })));
        window->properties["console"] = FB::variant(FB::JSObjectPtr(console));
    }

    // Page script as the host runs it. Only the delayed-call helper is understood.
    void runScript(const std::string& script)
    {
        scripts.push_back(script);
        const std::string prefix = "window.";
        size_t end = script.find(" = function(delay, f, args, fname)");
        if (script.rfind(prefix, 0) != 0 || end == std::string::npos)
            throw FB::script_error("the test page runs only the delayed-call helper");
        window->properties[script.substr(prefix.size(), end - prefix.size())] =
            FB::variant(FB::JSObjectPtr(std::make_shared<PageObject>(
                host.lock(), [this](const std::string&, const FB::VariantVector& args) { return schedule(args); })));
    }

    // Runs every timer that is due (all of them: time does not pass here), in order.
    int runTimers()
    {
        int ran = 0;
        while (!timers.empty()) {
            Timer timer = timers.front();
            timers.erase(timers.begin());
            timer.function->invoke(timer.methodName, timer.args);
            ++ran;
        }
        return ran;
    }

    // A delayed call as the helper scheduled it.
    struct Timer {
        int delayMs;
        FB::JSObjectPtr function;
        FB::VariantVector args;
        std::string methodName;
        size_t helperArgumentCount;
    };

    std::weak_ptr<FB::BrowserHost> host;
    std::shared_ptr<PageObject> window;
    std::vector<Timer> timers;
    std::vector<PageCall> calls;
    std::vector<std::string> scripts;
    std::vector<std::string> consoleLines;
    int nextTimerId = 1;

private:
    // The helper's body: setTimeout(f.apply(null, args)) or f[fname].apply(f, args).
    FB::variant schedule(const FB::VariantVector& args)
    {
        if (args.size() != 3 && args.size() != 4)
            throw FB::script_error("the delayed-call helper takes 3 or 4 arguments");
        Timer timer{args[0].convertToInt(), args[1].convertToJSObject(), args[2].cast<FB::VariantVector>(),
            args.size() == 4 ? args[3].convertToString() : std::string(), args.size()};
        timers.push_back(timer);
        return FB::variant(nextTimerId++);
    }
};

}  // namespace fbtest
