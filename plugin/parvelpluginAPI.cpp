#include "parvelpluginAPI.h"

#include "JSObject.h"
#include "ResultSink.h"
#include "parvelplugin.h"

#include <windows.h>
#include <oleauto.h>

#include <variant>

namespace {

// The plug-in's binding of a controller result sink: a page function, called
// asynchronously with the values as its arguments.
class ScriptCallbackSink : public IResultSink {
public:
    explicit ScriptCallbackSink(FB::JSObjectPtr callback) : callback(std::move(callback)) {}

    void Deliver(const ResultValues& values) override
    {
        FB::VariantVector arguments;
        arguments.reserve(values.size());
        for (const ResultValue& value : values)
            std::visit([&](const auto& held) { arguments.emplace_back(held); }, value);
        callback->invokeAsync("", arguments);
    }

private:
    FB::JSObjectPtr callback;
};

// A callback that converts to no script object delivers nothing.
ResultSinkPtr sinkFor(const FB::JSObjectPtr& callback)
{
    if (!callback) return nullptr;
    return std::make_shared<ScriptCallbackSink>(callback);
}

// A script text as the engine takes it: an allocated, zero-terminated system string.
class SystemString {
public:
    explicit SystemString(const std::wstring& text)
        : text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
        if (!this->text) throw std::bad_alloc();
    }
    ~SystemString() { SysFreeString(text); }
    SystemString(const SystemString&) = delete;
    SystemString& operator=(const SystemString&) = delete;

    const wchar_t* get() const { return text; }

private:
    BSTR text;
};

}  // namespace

std::atomic<int> parvelpluginAPI::echoCount{0};

parvelpluginAPI::parvelpluginAPI(const std::shared_ptr<parvelplugin>& plugin, const FB::BrowserHostPtr& host)
    : FB::JSAPIAuto("<JSAPI-Auto Javascript Object>"), m_plugin(plugin), m_host(host)
{
    addMethod("echo", FB::bindMethodVariantOfVariant(this, &parvelpluginAPI::echo));
    addMethod("testEvent", FB::bindMethodVoid(this, &parvelpluginAPI::testEvent));
    addMethod("sendvideoX", FB::bindMethodLongOf5(this, &parvelpluginAPI::sendvideoX));
    addMethod("dostop", FB::bindMethodLongOfLong(this, &parvelpluginAPI::dostop));
    addMethod("Cap", FB::bindMethodLongOfWStringObject(this, &parvelpluginAPI::Cap));
    addMethod("ISready", FB::bindMethodLongOfObject(this, &parvelpluginAPI::ISready));
    addMethod("CapStop", FB::bindMethodLongOfObject(this, &parvelpluginAPI::CapStop));
    addMethod("LogPrintf", FB::bindMethodLongOfObject(this, &parvelpluginAPI::LogPrintf));
    addMethod("SetVolCb", FB::bindMethodLongOfObject(this, &parvelpluginAPI::SetVolCb));
    addMethod("TestVolCb", FB::bindMethodLongOfLong(this, &parvelpluginAPI::TestVolCb));
    addProperty("testString",
        FB::bindPropertyReadWrite(this, &parvelpluginAPI::get_testString, &parvelpluginAPI::set_testString));
    addProperty("version", FB::bindPropertyReadOnly(this, &parvelpluginAPI::get_version));
}

parvelpluginAPI::~parvelpluginAPI() = default;

FB::variant parvelpluginAPI::echo(const FB::variant& message)
{
    const int soFar = echoCount.fetch_add(1);
    fireEvent("onecho", FB::VariantVector{FB::variant::fromCString("So far, you clicked this many times: "),
                            FB::variant::fromInt(soFar)});
    return message;
}

void parvelpluginAPI::testEvent()
{
    fireEvent("ontest", FB::VariantVector{});
}

long parvelpluginAPI::sendvideoX(const std::wstring& audio, const std::wstring& streamUrl,
    const std::wstring& resolution, const std::wstring& level, const FB::JSObjectPtr& callback)
{
    SystemString audioText(audio), urlText(streamUrl), resolutionText(resolution), levelText(level);
    return m_flash.sendvideoX(audioText.get(), urlText.get(), resolutionText.get(), levelText.get(), sinkFor(callback));
}

long parvelpluginAPI::dostop(long)
{
    m_flash.dostop();
    return CFlashX::Result::ok;
}

long parvelpluginAPI::Cap(const std::wstring& camera, const FB::JSObjectPtr& callback)
{
    SystemString cameraText(camera);
    return m_flash.Cap(cameraText.get(), sinkFor(callback));
}

long parvelpluginAPI::ISready(const FB::JSObjectPtr& callback)
{
    m_flash.ISready(sinkFor(callback));
    return CFlashX::Result::ok;
}

long parvelpluginAPI::CapStop(const FB::JSObjectPtr& callback)
{
    m_flash.CapStop(sinkFor(callback));
    return CFlashX::Result::ok;  // the result goes to the callback only
}

long parvelpluginAPI::LogPrintf(const FB::JSObjectPtr& callback)
{
    return m_flash.LogPrintf(sinkFor(callback));
}

long parvelpluginAPI::SetVolCb(const FB::JSObjectPtr& callback)
{
    return m_flash.SetVolCb(sinkFor(callback));
}

long parvelpluginAPI::TestVolCb(long value)
{
    return m_flash.TestVolCb(static_cast<int>(value));
}

std::string parvelpluginAPI::get_testString()
{
    return m_testString;
}

void parvelpluginAPI::set_testString(const std::string& value)
{
    m_testString = value;
}

std::string parvelpluginAPI::get_version()
{
    return "1.0.0.0";
}
