// parvelpluginAPI: the plug-in element's scripting object, as page script sees it.
//
// Registers the broadcast commands ("sendvideoX", "Cap", "CapStop", "dostop",
// "ISready", "LogPrintf", "SetVolCb", "TestVolCb"), two test members ("echo",
// "testEvent") and two properties ("testString", "version"). Each command
// converts its script arguments, runs the embedded broadcast controller and
// returns the controller's result code. A callback argument is a page function:
// the controller's results reach it through an asynchronous invoke, so the page
// function always runs later on the browser's main thread, never inside the call.
//
// Threading: script calls arrive on the browser's main thread. The engine's
// volume reports arrive on an engine thread and are queued to the main thread.
#pragma once

#include "BrowserHost.h"
#include "FlashX.h"
#include "JSAPIAuto.h"

#include <atomic>
#include <memory>
#include <string>

class parvelplugin;

class parvelpluginAPI : public FB::JSAPIAuto {
public:
    parvelpluginAPI(const std::shared_ptr<parvelplugin>& plugin, const FB::BrowserHostPtr& host);
    ~parvelpluginAPI() override;

    FB::variant echo(const FB::variant& message);
    void testEvent();
    long sendvideoX(const std::wstring& audio, const std::wstring& streamUrl, const std::wstring& resolution,
        const std::wstring& level, const FB::JSObjectPtr& callback);
    long dostop(long ignored);
    long Cap(const std::wstring& camera, const FB::JSObjectPtr& callback);
    long ISready(const FB::JSObjectPtr& callback);
    long CapStop(const FB::JSObjectPtr& callback);
    long LogPrintf(const FB::JSObjectPtr& callback);
    long SetVolCb(const FB::JSObjectPtr& callback);
    long TestVolCb(long value);

    std::string get_testString();
    void set_testString(const std::string& value);
    std::string get_version();

    CFlashX& controller() { return m_flash; }

private:
    std::weak_ptr<parvelplugin> m_plugin;
    FB::BrowserHostPtr m_host;
    CFlashX m_flash;
    std::string m_testString;

    static std::atomic<int> echoCount;
};
