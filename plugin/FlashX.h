// CFlashX: the broadcast controller of one plug-in instance.
//
// Owns the media-engine object (created with the controller as its observer,
// deleted first thing on destruction) and the state of one broadcast: the camera
// started, a stream being sent, the last results. Each command runs against the
// engine, hands its result code (Result) to the command's result sink and
// returns it.
//
// Threading: the commands, LogPrintf and SetVolCb are called on one thread at a
// time (the binding's). OnVolumeLevel arrives on an engine thread at any moment;
// it only reads the volume callback, whose hand-over is atomic. A delivery that
// throws leaves a command at that point; it never escapes into the engine thread.
//
// When the engine cannot be created every engine operation counts as refused:
// the commands answer 1.
#pragma once

#include "ResultSink.h"
#include "Strevo.h"

#include <atomic>

class CFlashX : public Strevo::IStrevoObersver {
public:
    // The commands' result codes, handed to page script as they are.
    struct Result {
        static constexpr int ok = 0;
        static constexpr int failed = 1;
        static constexpr int busy = 2;  // a capture or a send is already running
        static constexpr int cameraNotStarted = 3;
    };
    // The two values of the controller's states (camera started, sending, logging).
    struct State {
        static constexpr int off = 0;
        static constexpr int on = 1;
    };

    // What differs between the two bindings of the controller.
    struct Binding {
        bool logsSendResult = false;  // the COM control logs "sendvideoX" after a send attempt
        // The binding creates the engine (startEngine) once it is fully built and
        // deletes it (stopEngine, or takeEngine and deletes it itself) first thing
        // in its own destructor, so engine threads never reach a half-built or
        // half-destroyed observer.
        bool bindingStartsEngine = false;
    };

    CFlashX();
    explicit CFlashX(Binding binding);
    virtual ~CFlashX();
    CFlashX(const CFlashX&) = delete;
    CFlashX& operator=(const CFlashX&) = delete;

    int Cap(const wchar_t* camera, const ResultSinkPtr& sink);
    int CapStop(const ResultSinkPtr& sink);
    int sendvideoX(const wchar_t* audio, const wchar_t* streamUrl, const wchar_t* resolution, const wchar_t* level,
        const ResultSinkPtr& sink);
    int dostop();
    int ISready(const ResultSinkPtr& sink);
    int LogPrintf(const ResultSinkPtr& sink);
    int SetVolCb(const ResultSinkPtr& sink);
    int TestVolCb(int value);

    void OnVolumeLevel(int level) override;

    bool cameraReady() const { return capReady == State::on; }
    bool sending() const { return runState == State::on; }
    bool hasEngine() const { return engine != nullptr; }
    const char* lastLogLine() const { return logLine; }

protected:
    void startEngine() { startEngine(this); }
    // The engine reports to observer, which must outlive the engine.
    void startEngine(Strevo::IStrevoObersver* observer);
    void stopEngine();
    // Hands the engine over; the caller deletes it. The commands answer 1 afterwards.
    IStrevo* takeEngine();

    // Writes "<Y-M-D h:m:s>", none padded, into timestampText.
    virtual void FormatTimestamp();
    static void DebugPrint(const wchar_t* format, ...);

    char logLine[256] = {};
    char timestampText[64] = {};

private:
    void SendLogLine(const char* name, int result);
    void deliverVolume(int level);

    int logEnabled = State::off;
    int capResult = Result::failed;
    int sendResult = Result::failed;
    int runState = State::off;
    int capReady = State::off;
    IStrevo* engine = nullptr;
    std::atomic<ResultSinkPtr> volumeCallback;
    ResultSinkPtr logCallback;
    const Binding binding;
};
