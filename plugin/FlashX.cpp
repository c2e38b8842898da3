#include "FlashX.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

// The list is only built for a sink that is there: most calls from script pass none.
// The sink is held for the whole delivery (taken by value): the page may replace
// a kept callback from inside it, dropping the controller's reference.
void deliver(ResultSinkPtr sink, std::initializer_list<ResultValue> values)
{
    if (sink) sink->Deliver(ResultValues(values));
}

}  // namespace

CFlashX::CFlashX() : CFlashX(Binding{}) {}

CFlashX::CFlashX(Binding binding) : binding(binding)
{
    if (!binding.bindingStartsEngine) startEngine();
}

CFlashX::~CFlashX()
{
    stopEngine();
    logCallback.reset();
    volumeCallback.store(nullptr);
}

void CFlashX::startEngine(Strevo::IStrevoObersver* observer)
{
    if (!engine) engine = CreateStrevo(observer);
}

IStrevo* CFlashX::takeEngine()
{
    IStrevo* taken = engine;
    engine = nullptr;
    return taken;
}

void CFlashX::stopEngine()
{
    if (engine) DeleteStrevo(engine);
    engine = nullptr;
}

void CFlashX::DebugPrint(const wchar_t* format, ...)
{
    wchar_t buffer[1024];
    va_list args;
    va_start(args, format);
    int written = wvnsprintfW(buffer, 1023, format, args);
    va_end(args);
    if (written < 0) written = static_cast<int>(wcslen(buffer));
    wcsncat(buffer, L"\n", 1023 - static_cast<size_t>(written));
    OutputDebugStringW(buffer);
}

void CFlashX::FormatTimestamp()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::memset(timestampText, 0, sizeof timestampText);
    std::snprintf(timestampText, sizeof timestampText, "<%d-%d-%d %d:%d:%d>", now.wYear, now.wMonth, now.wDay,
        now.wHour, now.wMinute, now.wSecond);
}

void CFlashX::SendLogLine(const char* name, int result)
{
    FormatTimestamp();
    std::snprintf(
        logLine, sizeof logLine, "%s%s%s", timestampText, name, result == Result::ok ? " is succeed" : " is failed");
    deliver(logCallback, {std::string(logLine)});
}

int CFlashX::Cap(const wchar_t* camera, const ResultSinkPtr& sink)
{
    DebugPrint(L"Cap: camname=%s\n", camera);
    if (capReady == State::on) {
        deliver(sink, {Result::busy});
        return Result::busy;
    }
    capResult = Result::failed;
    if (engine && engine->StartCapture(camera)) {
        capResult = Result::ok;
        capReady = State::on;
    }
    deliver(sink, {capResult});
    if (logEnabled == State::on && logCallback) SendLogLine("Cap", capResult);
    DebugPrint(L"Cap: result=%d\n", capResult);
    return capResult;
}

int CFlashX::CapStop(const ResultSinkPtr& sink)
{
    if (runState == State::on) {
        deliver(sink, {Result::busy});
        return Result::ok;  // the result goes to the callback only
    }
    int result = Result::failed;
    if (engine && engine->StopCapture()) {
        result = Result::ok;
        capReady = State::off;
    }
    deliver(sink, {result});
    if (logEnabled == State::on && logCallback) SendLogLine("CapStop", result);
    DebugPrint(L"CapStop: result=%d\n", result);
    return Result::ok;
}

int CFlashX::sendvideoX(const wchar_t* audio, const wchar_t* streamUrl, const wchar_t* resolution, const wchar_t* level,
    const ResultSinkPtr& sink)
{
    DebugPrint(L"sendvideoX: audioname=%s, rtmp=%s, level=%s\n", audio, streamUrl, level);
    if (capReady == State::off) {
        sendResult = Result::cameraNotStarted;
        deliver(sink, {sendResult});
        return sendResult;
    }
    if (runState == State::on) {
        sendResult = Result::busy;
        deliver(sink, {sendResult});
        return sendResult;
    }
    sendResult = Result::failed;
    if (engine && engine->StartSend(audio, streamUrl, resolution, level)) {
        sendResult = Result::ok;
        runState = State::on;
    }
    deliver(sink, {sendResult});
    if (binding.logsSendResult && logEnabled == State::on && logCallback) SendLogLine("sendvideoX", sendResult);
    DebugPrint(L"sendvideoX: result=%d\n", sendResult);
    return sendResult;
}

int CFlashX::dostop()
{
    bool stopped = runState == State::on;
    if (stopped) {
        engine->StopSend();
        runState = State::off;
    }
    if (logEnabled == State::on && logCallback) SendLogLine("SendStop", stopped ? Result::ok : Result::failed);
    DebugPrint(L"dostop: runstate=%d\n", runState);
    return engine ? Result::ok : Result::failed;
}

int CFlashX::ISready(const ResultSinkPtr& sink)
{
    wchar_t text[32] = {};
    if (engine) engine->GetReadyText(text);
    text[31] = L'\0';
    int result = engine ? Result::ok : Result::failed;
    if (sink) deliver(sink, {std::wstring(text), result});
    if (logEnabled == State::on && logCallback) SendLogLine("ISready", result);
    return result;
}

int CFlashX::LogPrintf(const ResultSinkPtr& sink)
{
    logEnabled = State::on;
    logCallback = sink;
    return Result::ok;
}

int CFlashX::SetVolCb(const ResultSinkPtr& sink)
{
    DebugPrint(L"SetVolCb:\n");
    volumeCallback.store(sink);
    return Result::ok;
}

int CFlashX::TestVolCb(int value)
{
    deliverVolume(value);
    return Result::ok;
}

void CFlashX::OnVolumeLevel(int level)
{
    try {
        deliverVolume(level);
    } catch (...) {
        // A report the page can no longer take is dropped; the engine thread goes on.
    }
}

void CFlashX::deliverVolume(int level)
{
    ResultSinkPtr sink = volumeCallback.load();
    deliver(sink, {level});
}
