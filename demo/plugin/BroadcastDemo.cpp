// One whole broadcast through the broadcast controller, against the stand-in
// engine: camera start, send, volume reports, stop, camera stop. Prints what a
// page would receive through its callbacks.
#include "FlashX.h"
#include "StrevoTestControl.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::mutex printLock;

std::string narrow(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::string describe(const ResultValues& values)
{
    std::string out;
    for (const ResultValue& value : values) {
        if (!out.empty()) out += ", ";
        if (auto* i = std::get_if<int>(&value))
            out += std::to_string(*i);
        else if (auto* s = std::get_if<std::string>(&value))
            out += "\"" + *s + "\"";
        else
            out += "\"" + narrow(std::get<std::wstring>(value)) + "\"";
    }
    return out;
}

class PrintingSink : public IResultSink {
public:
    explicit PrintingSink(std::string name) : name(std::move(name)) {}
    void Deliver(const ResultValues& values) override
    {
        std::lock_guard<std::mutex> guard(printLock);
        std::printf("  %-16s <- (%s)\n", name.c_str(), describe(values).c_str());
        std::fflush(stdout);
    }
    std::string name;
};

void say(const char* command, int result)
{
    std::lock_guard<std::mutex> guard(printLock);
    std::printf("%-40s returns %d\n", command, result);
    std::fflush(stdout);
}

auto sink(const char* name)
{
    return std::make_shared<PrintingSink>(name);
}

}  // namespace

int main()
{
    StrevoTestControl("interval 100", nullptr, 0);
    std::printf("Broadcast through the controller (stand-in engine)\n\n");
    CFlashX flash;
    say("LogPrintf(log)", flash.LogPrintf(sink("log")));
    say("ISready(ready)", flash.ISready(sink("ready")));
    say("sendvideoX before Cap",
        flash.sendvideoX(L"Microphone", L"rtmp://127.0.0.1/live/demo", L"640x480", L"2", sink("send")));
    say("Cap(\"USB Camera\")", flash.Cap(L"USB Camera", sink("cap")));
    say("Cap again", flash.Cap(L"USB Camera", sink("cap")));
    say("SetVolCb(volume)", flash.SetVolCb(sink("volume")));
    say("sendvideoX(mic, rtmp://..., 640x480, 2)",
        flash.sendvideoX(L"Microphone", L"rtmp://127.0.0.1/live/demo", L"640x480", L"2", sink("send")));
    say("CapStop while sending", flash.CapStop(sink("capstop")));
    Sleep(450);  // volume reports arrive from the engine's thread
    say("dostop(0)", flash.dostop());
    say("dostop(0) again", flash.dostop());
    say("CapStop", flash.CapStop(sink("capstop")));
    std::printf("\nBroadcast ended.\n");
    return 0;
}
