// The broadcast driven through the plug-in's scripting object, as page script
// would drive it: one factory, one plug-in instance over a stand-in browser host
// whose main-thread calls travel as window messages, and a page whose callbacks
// run from its timers. Prints each script call, its result, and every callback
// as the page receives it.
#include "BrowserPlugin.h"
#include "TestBrowserHost.h"
#include "TestPage.h"
#include "PluginFactory.h"
#include "StrevoControl.h"
#include "parvelplugin.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string show(const FB::variant& value)
{
    if (value.is_of_type<std::wstring>() || value.is_of_type<std::string>())
        return "\"" + value.convertToString() + "\"";
    if (value.is_of_type<FB::JSAPIPtr>()) return value.convertToJSAPI()->invoke("toString", {}).convertToString();
    return value.convertToString();
}

std::string showArgs(const FB::VariantVector& args)
{
    std::string text;
    for (const FB::variant& value : args) text += (text.empty() ? "" : ", ") + show(value);
    return text;
}

class Demo {
public:
    Demo()
    {
        strevo_test::reset();
        strevo_test::command("interval 0");
        host = std::make_shared<fbtest::TestBrowserHost>(fbtest::TestBrowserHost::Delivery::Window);
        page = host->attachPage();
        core = pluginFactorySingleton()->makePluginCore("application/x-parvelplugin");
        core->setHost(host);
        std::printf("factory: made a %s plug-in core for application/x-parvelplugin\n", FB::pluginName().c_str());
    }
    ~Demo()
    {
        host->shutDownHost();
        core.reset();
    }

    // Lets the main thread take its messages, then the page's timers fire.
    void letThePageRun()
    {
        host->pump();
        page->runTimers();
        for (const fbtest::PageCall& call : page->calls)
            std::printf("  page: %s(%s)%s\n", call.function.c_str(), showArgs(call.args).c_str(),
                call.thread == GetCurrentThreadId() ? "" : "  [NOT on the main thread]");
        page->calls.clear();
    }

    void call(const std::string& member, const FB::VariantVector& args, const char* shown)
    {
        try {
            FB::variant result = core->scriptApiObject()->invoke(member, args);
            std::printf("script: %s(%s) returns %s\n", member.c_str(), shown, show(result).c_str());
        } catch (const FB::script_error& e) {
            std::printf("script: %s(%s) throws \"%s\"\n", member.c_str(), shown, e.what());
        }
        letThePageRun();
    }

    std::shared_ptr<fbtest::TestBrowserHost> host;
    std::shared_ptr<fbtest::TestPage> page;
    FB::PluginCorePtr core;
};

}  // namespace

int main()
{
    try {
        Demo demo;
        demo.page->function("pluginLoaded");
        FB::variant done = demo.page->function("done");
        FB::variant ready = demo.page->function("ready");
        FB::variant volume = demo.page->function("volume");
        FB::variant log = demo.page->function("log");

        demo.core->setParams({{"onload", FB::variant("pluginLoaded")}});
        std::printf("plug-in ready; onload scheduled: %s\n", demo.core->markReady() ? "yes" : "no");
        demo.letThePageRun();

        demo.call("ISready", {ready}, "ready");
        demo.call("LogPrintf", {log}, "log");
        demo.call("SetVolCb", {volume}, "volume");
        demo.call("sendvideoX", {L"Microphone", L"rtmp://127.0.0.1/live/demo", L"640x480", L"5", done},
            "\"Microphone\", \"rtmp://127.0.0.1/live/demo\", \"640x480\", \"5\", done");
        demo.call("Cap", {L"Integrated Camera", done}, "\"Integrated Camera\", done");
        demo.call("sendvideoX", {L"Microphone", L"rtmp://127.0.0.1/live/demo", L"640x480", L"5", done},
            "\"Microphone\", \"rtmp://127.0.0.1/live/demo\", \"640x480\", \"5\", done");
        std::printf("engine: reports the microphone level 12, 48, 31 from its own thread\n");
        for (const char* level : {"12", "48", "31"}) strevo_test::command(std::string("report ") + level);
        demo.letThePageRun();
        demo.call("CapStop", {done}, "done");
        demo.call("dostop", {0}, "0");
        demo.call("CapStop", {done}, "done");
        demo.call("Cap", {L"Integrated Camera"}, "\"Integrated Camera\"");
        std::printf(
            "script: plugin.version is %s\n", show(demo.core->scriptApiObject()->getProperty("version")).c_str());
        return 0;
    } catch (const std::exception& e) {
        std::printf("demo failed: %s\n", e.what());
        return 1;
    }
}
