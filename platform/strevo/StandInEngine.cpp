// Stand-in media engine.
//
// Each engine keeps a worker thread (for its whole life, unless a test has it
// replaced): the thread reports the microphone level to the observer while a
// stream is sent (periodically) and on request from a test. DeleteStrevo stops
// and joins the thread before it returns;
// while it waits it lets COM deliver calls to the waiting apartment, because an
// observer may be calling back into that very apartment.
#include "StrevoTestControl.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string toUtf8(const wchar_t* text)
{
    if (!text) return "(null)";
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

class StandInEngine;

// The latest calls, oldest first, in a ring of fixed size: a benchmark's
// millions of calls cost the engine no more than the first ones, and a call
// allocates nothing once the ring is full.
class CallLog {
public:
    static constexpr size_t kLines = 10000;

    void add(std::string_view line)
    {
        if (lines_.size() < kLines) {
            lines_.emplace_back(line);
            return;
        }
        lines_[oldest_].assign(line);  // into the oldest line's own buffer
        oldest_ = (oldest_ + 1) % kLines;
    }
    template <class Visit>
    void forEach(Visit visit) const
    {
        for (size_t i = 0; i < lines_.size(); ++i) visit(lines_[(oldest_ + i) % lines_.size()]);
    }
    void clear()
    {
        lines_.clear();
        oldest_ = 0;
    }

private:
    std::vector<std::string> lines_;
    size_t oldest_ = 0;
};

// Process-wide test settings and the call log.
struct Controls {
    std::mutex lock;
    CallLog log;
    std::vector<std::string> refusals;
    std::vector<std::shared_ptr<StandInEngine>> engines;
    std::wstring readyText = L"ready";
    std::atomic<int> intervalMs{200};

    void record(const std::string& line)
    {
        std::lock_guard<std::mutex> guard(lock);
        log.add(line);
    }
    // True when a refusal of this operation was pending; it is used up.
    bool takeRefusal(const char* operation)
    {
        std::lock_guard<std::mutex> guard(lock);
        return takeRefusalLocked(operation);
    }
    bool takeRefusalLocked(const char* operation)
    {
        auto it = std::find(refusals.begin(), refusals.end(), operation);
        if (it == refusals.end()) return false;
        refusals.erase(it);
        return true;
    }
};

Controls& controls()
{
    // Never destroyed: engines still alive at process exit must not be torn down
    // by static destructors while their threads are being ended.
    static Controls* instance = new Controls;
    return *instance;
}

class StandInEngine final : public IStrevo {
public:
    explicit StandInEngine(Strevo::IStrevoObersver* observer) : observer_(observer)
    {
        thread_ = CreateThread(nullptr, 0, &StandInEngine::threadMain, this, 0, nullptr);
    }

    // Stops the worker and waits for it.
    void shutDown()
    {
        std::lock_guard<std::mutex> serial(threadLock_);
        endWorker();
    }

    // Ends the worker thread and starts a new one, as an engine may do between sends.
    void replaceWorker()
    {
        std::lock_guard<std::mutex> serial(threadLock_);
        if (!thread_) return;  // shut down
        endWorker();
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = false;
        thread_ = CreateThread(nullptr, 0, &StandInEngine::threadMain, this, 0, nullptr);
    }

    // Called for every "ISready" of page script: one lock for the log, the text and the refusal.
    bool GetReadyText(wchar_t* text) override
    {
        Controls& c = controls();
        std::lock_guard<std::mutex> guard(c.lock);
        c.log.add("GetReadyText");
        if (!text) return false;
        // The text and its end; the rest of the caller's 32 characters stays as it was.
        const size_t length = std::min<size_t>(c.readyText.size(), 31);
        std::copy_n(c.readyText.c_str(), length, text);
        text[length] = L'\0';
        return !c.takeRefusalLocked("GetReadyText");
    }

    bool StartCapture(const wchar_t* camera) override
    {
        controls().record("StartCapture " + toUtf8(camera));
        if (controls().takeRefusal("StartCapture") || !camera || !*camera) return false;
        capturing_ = true;
        return true;
    }

    bool StopCapture() override
    {
        controls().record("StopCapture");
        if (controls().takeRefusal("StopCapture")) return false;
        capturing_ = false;
        return true;
    }

    bool StartSend(
        const wchar_t* audio, const wchar_t* streamUrl, const wchar_t* resolution, const wchar_t* level) override
    {
        controls().record(
            "StartSend " + toUtf8(audio) + "|" + toUtf8(streamUrl) + "|" + toUtf8(resolution) + "|" + toUtf8(level));
        if (controls().takeRefusal("StartSend") || !streamUrl || _wcsnicmp(streamUrl, L"rtmp://", 7) != 0) return false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            sending_ = true;
        }
        wake_.notify_all();
        return true;
    }

    void StopSend() override
    {
        controls().record("StopSend");
        std::lock_guard<std::mutex> guard(lock_);
        sending_ = false;
    }

    // Queues count reports (levels 0, 1, 2, ...) for the worker, which delivers them
    // one after another as fast as the observer takes them; returns at once.
    void burst(int count)
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (int level = 0; level < count; ++level) requested_.push_back(level);
        }
        wake_.notify_all();
    }

    // Queues one report for the worker and waits until it was delivered.
    void reportNow(int level)
    {
        std::unique_lock<std::mutex> guard(lock_);
        requested_.push_back(level);
        wake_.notify_all();
        delivered_.wait_for(
            guard, std::chrono::seconds(5), [&] { return stopping_ || (requested_.empty() && !delivering_); });
    }

private:
    // Called with threadLock_ held.
    void endWorker()
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (!thread_) return;
        // The worker may be calling into this very apartment: let COM deliver.
        DWORD index = 0;
        HRESULT hr = CoWaitForMultipleHandles(0, INFINITE, 1, &thread_, &index);
        if (FAILED(hr)) WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }

    static DWORD WINAPI threadMain(void* self)
    {
        static_cast<StandInEngine*>(self)->run();
        return 0;
    }

    void run()
    {
        unsigned tick = 0;
        std::unique_lock<std::mutex> guard(lock_);
        while (!stopping_) {
            int interval = controls().intervalMs;
            bool periodic = sending_ && interval > 0;
            if (requested_.empty()) {
                if (periodic)
                    wake_.wait_for(guard, std::chrono::milliseconds(interval));
                else
                    wake_.wait(guard);
            }
            if (stopping_) break;
            std::vector<int> levels;
            levels.swap(requested_);
            if (levels.empty() && sending_ && interval > 0)
                levels.push_back(static_cast<int>((tick++ * 37) % 101));  // a level that moves
            if (levels.empty()) continue;
            delivering_ = true;
            guard.unlock();
            for (int level : levels) {
                if (stopping_) break;  // a stopping engine drops what it has not reported yet
                observer_->OnVolumeLevel(level);
            }
            guard.lock();
            delivering_ = false;
            delivered_.notify_all();
        }
        delivering_ = false;
        requested_.clear();
        delivered_.notify_all();
    }

    Strevo::IStrevoObersver* observer_;
    std::mutex threadLock_;  // one shutDown or replaceWorker at a time
    HANDLE thread_ = nullptr;
    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable delivered_;
    std::vector<int> requested_;
    std::atomic<bool> stopping_{false};
    bool sending_ = false;
    bool delivering_ = false;
    bool capturing_ = false;
};

int writeReply(const std::string& text, char* reply, int replySize)
{
    if (reply && replySize > 0) {
        size_t count = std::min(text.size(), static_cast<size_t>(replySize - 1));
        std::memcpy(reply, text.data(), count);
        reply[count] = '\0';
    }
    return 0;
}

int runCommand(const std::string& command, char* reply, int replySize)
{
    Controls& c = controls();
    std::string verb = command.substr(0, command.find(' '));
    std::string argument = command.size() > verb.size() ? command.substr(verb.size() + 1) : std::string();
    if (verb == "refuse") {
        std::lock_guard<std::mutex> guard(c.lock);
        c.refusals.push_back(argument);
        return writeReply("", reply, replySize);
    }
    if (verb == "report") {
        int level = std::atoi(argument.c_str());
        std::vector<std::shared_ptr<StandInEngine>> engines;
        {
            std::lock_guard<std::mutex> guard(c.lock);
            engines = c.engines;
        }
        // The shared copies keep an engine alive while DeleteStrevo stops it.
        for (const auto& engine : engines) engine->reportNow(level);
        return writeReply(std::to_string(engines.size()), reply, replySize);
    }
    if (verb == "burst" || verb == "replace-threads") {
        int count = std::atoi(argument.c_str());
        std::vector<std::shared_ptr<StandInEngine>> engines;
        {
            std::lock_guard<std::mutex> guard(c.lock);
            engines = c.engines;
        }
        for (const auto& engine : engines) {
            if (verb == "burst")
                engine->burst(count);
            else
                engine->replaceWorker();
        }
        return writeReply(std::to_string(engines.size()), reply, replySize);
    }
    if (verb == "interval") {
        c.intervalMs = std::max(0, std::atoi(argument.c_str()));
        return writeReply("", reply, replySize);
    }
    if (verb == "ready") {
        int size = MultiByteToWideChar(CP_UTF8, 0, argument.c_str(), -1, nullptr, 0);
        std::wstring text(static_cast<size_t>(std::max(size, 1)), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, argument.c_str(), -1, text.data(), size);
        text.resize(wcslen(text.c_str()));
        std::lock_guard<std::mutex> guard(c.lock);
        c.readyText = text;
        return writeReply("", reply, replySize);
    }
    if (verb == "log") {
        std::string all;
        std::lock_guard<std::mutex> guard(c.lock);
        c.log.forEach([&](const std::string& line) { all += line + "\n"; });
        return writeReply(all, reply, replySize);
    }
    if (verb == "clear") {
        std::lock_guard<std::mutex> guard(c.lock);
        c.log.clear();
        c.refusals.clear();
        return writeReply("", reply, replySize);
    }
    if (verb == "engines") {
        std::lock_guard<std::mutex> guard(c.lock);
        return writeReply(std::to_string(c.engines.size()), reply, replySize);
    }
    writeReply("unknown command", reply, replySize);
    return 1;
}

}  // namespace

extern "C" IStrevo* CreateStrevo(Strevo::IStrevoObersver* observer)
{
    try {
        controls().record("CreateStrevo");
        if (!observer || controls().takeRefusal("CreateStrevo")) return nullptr;
        auto engine = std::make_shared<StandInEngine>(observer);
        std::lock_guard<std::mutex> guard(controls().lock);
        controls().engines.push_back(engine);
        return engine.get();
    } catch (...) {
        return nullptr;
    }
}

extern "C" void DeleteStrevo(IStrevo* engine)
{
    if (!engine) return;
    try {
        std::shared_ptr<StandInEngine> standIn;
        {
            std::lock_guard<std::mutex> guard(controls().lock);
            auto& engines = controls().engines;
            auto it = std::find_if(engines.begin(), engines.end(), [&](const auto& e) { return e.get() == engine; });
            if (it == engines.end()) return;
            standIn = *it;
            engines.erase(it);
        }
        controls().record("DeleteStrevo");
        standIn->shutDown();
    } catch (...) {
    }
}

extern "C" int StrevoTestControl(const char* command, char* reply, int replySize)
{
    try {
        return runCommand(command ? command : "", reply, replySize);
    } catch (...) {
        return 1;
    }
}
