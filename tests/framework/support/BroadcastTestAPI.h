// A scriptable object shaped like the plug-in's broadcast API: wide-text and
// integer parameters, page callbacks, an optional value parameter, a
// read-only and a read-write property, and two events.
#pragma once

#include "JSAPIAuto.h"
#include "JSObject.h"
#include "VariantList.h"

class BroadcastTestAPI : public FB::JSAPIAuto {
public:
    BroadcastTestAPI()
    {
        addMethod("Cap", FB::bindMethod(this, &BroadcastTestAPI::Cap));
        addMethod("sendvideoX", FB::bindMethod(this, &BroadcastTestAPI::sendvideoX));
        addMethod("dostop", FB::bindMethod(this, &BroadcastTestAPI::dostop));
        addMethod("echo", FB::bindMethod(this, &BroadcastTestAPI::echo));
        addMethod("testEvent", FB::bindMethod(this, &BroadcastTestAPI::testEvent));
        addProperty("version", FB::bindPropertyReadOnly(this, &BroadcastTestAPI::version));
        addProperty("testString",
            FB::bindPropertyReadWrite(this, &BroadcastTestAPI::testString, &BroadcastTestAPI::setTestString));
    }

    long Cap(const std::wstring& camera, const FB::JSObjectPtr& callback)
    {
        lastCamera = camera;
        if (callback) callback->invokeAsync("", FB::makeVariantVector(0L));
        return 0;
    }
    long sendvideoX(const std::wstring& audio, const std::wstring& url, const std::wstring& resolution,
        const std::wstring& level, const FB::JSObjectPtr& callback)
    {
        lastSend = {audio, url, resolution, level};
        if (callback) callback->invokeAsync("", FB::makeVariantVector(3L));
        return 3;
    }
    long dostop(long code) { return code + 1; }
    FB::variant echo(const FB::variant& value)
    {
        fireEvent("onecho", FB::makeVariantVector(value));
        return value;
    }
    void testEvent() { fireEvent("ontest", {}); }
    std::string version() const { return "1.0.0.1"; }
    std::string testString() const { return testString_; }
    void setTestString(const std::string& value) { testString_ = value; }

    std::wstring lastCamera;
    std::vector<std::wstring> lastSend;

private:
    std::string testString_ = "initial";
};
