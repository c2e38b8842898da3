#include "FlashX.h"
#include "StrevoControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <regex>
#include <thread>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class RecordingSink : public IResultSink {
public:
    void Deliver(const ResultValues& values) override
    {
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back(values);
    }
    std::vector<ResultValues> taken()
    {
        std::lock_guard<std::mutex> guard(lock);
        return calls;
    }
    std::mutex lock;
    std::vector<ResultValues> calls;
};

class ThrowingSink : public IResultSink {
public:
    void Deliver(const ResultValues&) override { throw std::runtime_error("page gone"); }
};

// A log callback that, inside its delivery, hands the controller a new one; the
// watch (outside the sink) tells whether the sink died inside that delivery.
struct DeliveryWatch {
    bool delivering = false;
    bool lostMidCall = false;
    int delivered = 0;
};

class ReplacingSink : public IResultSink {
public:
    ReplacingSink(CFlashX& flash, DeliveryWatch& watch) : flash_(&flash), watch_(&watch) {}
    ~ReplacingSink() override { watch_->lostMidCall |= watch_->delivering; }
    void Deliver(const ResultValues&) override
    {
        // Only locals past the replacement: a sink that died there has no members.
        DeliveryWatch* watch = watch_;
        CFlashX* flash = flash_;
        ++watch->delivered;
        watch->delivering = true;
        flash->LogPrintf(std::make_shared<RecordingSink>());
        watch->delivering = false;
    }

private:
    CFlashX* flash_;
    DeliveryWatch* watch_;
};

ResultValues ints(std::initializer_list<int> values)
{
    ResultValues out;
    for (int v : values) out.push_back(v);
    return out;
}

std::vector<std::string> logTexts(RecordingSink& sink)
{
    std::vector<std::string> out;
    for (const ResultValues& call : sink.taken()) out.push_back(std::get<std::string>(call.at(0)));
    return out;
}

enum class State { Off, On, Sending };

const char* stateName(State s)
{
    return s == State::Off ? "off" : s == State::On ? "on" : "sending";
}

void bringTo(CFlashX& flash, State state)
{
    if (state != State::Off) {
        ASSERT_EQ(flash.Cap(L"cam", nullptr), 0);
    }
    if (state == State::Sending) {
        ASSERT_EQ(flash.sendvideoX(L"mic", L"rtmp://host/live", L"640x480", L"1", nullptr), 0);
    }
    strevo_test::command("clear");
}

enum class Command { Cap, CapStop, Send, Stop };

struct StateCase {
    State state;
    Command command;
    const char* refuse;  // engine operation refused for this case, or ""
    int returned;
    std::vector<int> delivered;  // empty: nothing delivered
    std::vector<std::string> engineCalls;
    bool cameraAfter;
    bool sendingAfter;
    const char* logTail;  // "" when no log line is sent
};

const StateCase stateCases[] = {
    // camera off, not sending
    {State::Off, Command::Cap, "", 0, {0}, {"StartCapture cam"}, true, false, "Cap is succeed"},
    {State::Off, Command::Cap, "StartCapture", 1, {1}, {"StartCapture cam"}, false, false, "Cap is failed"},
    {State::Off, Command::CapStop, "", 0, {0}, {"StopCapture"}, false, false, "CapStop is succeed"},
    {State::Off, Command::CapStop, "StopCapture", 0, {1}, {"StopCapture"}, false, false, "CapStop is failed"},
    {State::Off, Command::Send, "", 3, {3}, {}, false, false, ""},
    {State::Off, Command::Stop, "", 0, {}, {}, false, false, "SendStop is failed"},
    // camera on, not sending
    {State::On, Command::Cap, "", 2, {2}, {}, true, false, ""},
    {State::On, Command::CapStop, "", 0, {0}, {"StopCapture"}, false, false, "CapStop is succeed"},
    {State::On, Command::CapStop, "StopCapture", 0, {1}, {"StopCapture"}, true, false, "CapStop is failed"},
    {State::On, Command::Send, "", 0, {0}, {"StartSend mic|rtmp://host/live|640x480|1"}, true, true, ""},
    {State::On, Command::Send, "StartSend", 1, {1}, {"StartSend mic|rtmp://host/live|640x480|1"}, true, false, ""},
    {State::On, Command::Stop, "", 0, {}, {}, true, false, "SendStop is failed"},
    // camera on, sending
    {State::Sending, Command::Cap, "", 2, {2}, {}, true, true, ""},
    {State::Sending, Command::CapStop, "", 0, {2}, {}, true, true, ""},
    {State::Sending, Command::Send, "", 2, {2}, {}, true, true, ""},
    {State::Sending, Command::Stop, "", 0, {}, {"StopSend"}, true, false, "SendStop is succeed"},
};

int run(CFlashX& flash, Command command, const ResultSinkPtr& sink)
{
    switch (command) {
    case Command::Cap: return flash.Cap(L"cam", sink);
    case Command::CapStop: return flash.CapStop(sink);
    case Command::Send: return flash.sendvideoX(L"mic", L"rtmp://host/live", L"640x480", L"1", sink);
    case Command::Stop: return flash.dostop();
    }
    return -1;
}

class FlashXTest : public testing::Test {
protected:
    void SetUp() override { strevo_test::reset(); }
};

TEST_F(FlashXTest, StateTable)
{
    for (const StateCase& c : stateCases) {
        SCOPED_TRACE(
            std::string(stateName(c.state)) + " command " + std::to_string(int(c.command)) + " refuse " + c.refuse);
        CFlashX flash;
        bringTo(flash, c.state);
        auto log = std::make_shared<RecordingSink>();
        flash.LogPrintf(log);
        if (*c.refuse) strevo_test::command(std::string("refuse ") + c.refuse);
        auto sink = std::make_shared<RecordingSink>();

        EXPECT_EQ(run(flash, c.command, sink), c.returned);

        std::vector<ResultValues> expectedDelivered;
        if (!c.delivered.empty()) expectedDelivered.push_back(ints({c.delivered[0]}));
        EXPECT_EQ(sink->taken(), expectedDelivered);
        EXPECT_EQ(strevo_test::calls(), c.engineCalls);
        EXPECT_EQ(flash.cameraReady(), c.cameraAfter);
        EXPECT_EQ(flash.sending(), c.sendingAfter);
        std::vector<std::string> lines = logTexts(*log);
        if (*c.logTail) {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_THAT(lines[0], testing::EndsWith(c.logTail));
        } else {
            EXPECT_THAT(lines, IsEmpty());
        }
        strevo_test::command("clear");
    }
}

TEST_F(FlashXTest, ComBindingLogsEverySendAttempt)
{
    CFlashX flash(CFlashX::Binding{true});
    auto log = std::make_shared<RecordingSink>();
    flash.LogPrintf(log);
    flash.sendvideoX(L"mic", L"rtmp://h", L"r", L"l", nullptr);  // 3: not an attempt
    flash.Cap(L"cam", nullptr);
    strevo_test::command("refuse StartSend");
    flash.sendvideoX(L"mic", L"rtmp://h", L"r", L"l", nullptr);
    flash.sendvideoX(L"mic", L"rtmp://h", L"r", L"l", nullptr);
    flash.sendvideoX(L"mic", L"rtmp://h", L"r", L"l", nullptr);  // 2: not an attempt
    auto lines = logTexts(*log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[1], testing::EndsWith("sendvideoX is failed"));
    EXPECT_THAT(lines[2], testing::EndsWith("sendvideoX is succeed"));
}

TEST_F(FlashXTest, NoLogLineBeforeLogPrintfAndTimestampedAfter)
{
    CFlashX flash;
    auto early = std::make_shared<RecordingSink>();
    flash.Cap(L"cam", early);
    flash.ISready(early);
    flash.dostop();
    EXPECT_EQ(flash.lastLogLine(), std::string());

    auto log = std::make_shared<RecordingSink>();
    EXPECT_EQ(flash.LogPrintf(log), 0);
    flash.ISready(nullptr);
    flash.CapStop(nullptr);
    auto lines = logTexts(*log);
    ASSERT_EQ(lines.size(), 2u);
    std::regex stamped(
        R"(<\d{4}-([1-9]|1[0-2])-([1-9]|[12]\d|3[01]) ([1-9]?\d):([1-5]?\d):([1-5]?\d)>ISready is succeed)");
    EXPECT_TRUE(std::regex_match(lines[0], stamped)) << lines[0];
    EXPECT_THAT(lines[1], testing::EndsWith(">CapStop is succeed"));
    EXPECT_EQ(flash.lastLogLine(), lines[1]);
}

TEST_F(FlashXTest, LogPrintfReplacesTheLogCallback)
{
    CFlashX flash;
    auto first = std::make_shared<RecordingSink>();
    auto second = std::make_shared<RecordingSink>();
    flash.LogPrintf(first);
    flash.dostop();
    flash.LogPrintf(second);
    flash.dostop();
    EXPECT_EQ(first->taken().size(), 1u);
    EXPECT_EQ(second->taken().size(), 1u);
}

TEST_F(FlashXTest, ALogCallbackReplacedInsideItsOwnDeliveryLivesToItsEnd)
{
    CFlashX flash;
    DeliveryWatch watch;
    auto replacing = std::make_shared<ReplacingSink>(flash, watch);
    flash.LogPrintf(replacing);
    replacing.reset();  // the page let go: the controller's reference is the last
    flash.dostop();
    EXPECT_EQ(watch.delivered, 1);
    EXPECT_FALSE(watch.lostMidCall);
}

TEST_F(FlashXTest, ISreadyDeliversTextThenZero)
{
    CFlashX flash;
    auto sink = std::make_shared<RecordingSink>();
    strevo_test::command("ready camera ok");
    EXPECT_EQ(flash.ISready(sink), 0);
    strevo_test::command("ready ");
    flash.ISready(sink);
    EXPECT_THAT(
        sink->taken(), ElementsAre(ResultValues{std::wstring(L"camera ok"), 0}, ResultValues{std::wstring(), 0}));
}

TEST_F(FlashXTest, ArgumentsReachTheEngineUnchangedAndInOrder)
{
    CFlashX flash;
    strevo_test::command("clear");
    flash.Cap(L"", nullptr);  // empty names go to the engine; the stand-in refuses them
    flash.Cap(L"Камера 1", nullptr);
    flash.sendvideoX(L"", L"rtmp://x/y", L"", L"", nullptr);
    EXPECT_THAT(strevo_test::calls(), ElementsAre("StartCapture ", "StartCapture Камера 1", "StartSend |rtmp://x/y||"));
}

TEST_F(FlashXTest, VolumeReportsReachTheCurrentCallbackOnly)
{
    CFlashX flash;
    strevo_test::command("report 5");  // no callback: dropped
    EXPECT_EQ(flash.TestVolCb(6), 0);
    auto sink = std::make_shared<RecordingSink>();
    flash.SetVolCb(sink);
    strevo_test::command("report 7");
    flash.TestVolCb(8);
    EXPECT_THAT(sink->taken(), ElementsAre(ints({7}), ints({8})));
}

TEST_F(FlashXTest, AThrowingVolumeCallbackNeverReachesTheEngineThread)
{
    CFlashX flash;
    flash.SetVolCb(std::make_shared<ThrowingSink>());
    strevo_test::command("report 1");
    auto sink = std::make_shared<RecordingSink>();
    flash.SetVolCb(sink);
    strevo_test::command("report 2");
    EXPECT_THAT(sink->taken(), ElementsAre(ints({2})));
}

TEST_F(FlashXTest, AThrowingResultCallbackLeavesTheCommandAfterTheStateChange)
{
    CFlashX flash;
    EXPECT_THROW(flash.Cap(L"cam", std::make_shared<ThrowingSink>()), std::runtime_error);
    EXPECT_TRUE(flash.cameraReady());
}

TEST_F(FlashXTest, VolumeCallbackReplacedWhileReportsArrive)
{
    CFlashX flash;
    strevo_test::command("interval 1");
    ASSERT_EQ(flash.Cap(L"cam", nullptr), 0);
    ASSERT_EQ(flash.sendvideoX(L"mic", L"rtmp://h/l", L"r", L"l", nullptr), 0);

    std::vector<std::shared_ptr<RecordingSink>> sinks;
    for (int i = 0; i < 200; ++i) {
        auto sink = std::make_shared<RecordingSink>();
        sinks.push_back(sink);
        flash.SetVolCb(sink);
        if (i % 20 == 0) Sleep(2);
    }
    strevo_test::command("report 99");  // after the last hand-over, the last sink gets it
    flash.dostop();
    auto last = sinks.back()->taken();
    ASSERT_FALSE(last.empty());
    EXPECT_THAT(last, testing::Contains(ints({99})));
    size_t total = 0;
    for (auto& sink : sinks) total += sink->taken().size();
    EXPECT_GE(total, 1u);
}

TEST_F(FlashXTest, WithoutAnEngineEveryCommandIsRefused)
{
    strevo_test::command("refuse CreateStrevo");
    CFlashX flash;
    ASSERT_FALSE(flash.hasEngine());
    auto sink = std::make_shared<RecordingSink>();
    auto log = std::make_shared<RecordingSink>();
    flash.LogPrintf(log);
    EXPECT_EQ(flash.Cap(L"cam", sink), 1);
    EXPECT_EQ(flash.sendvideoX(L"a", L"rtmp://h", L"r", L"l", sink), 3);
    EXPECT_EQ(flash.dostop(), 1);
    EXPECT_EQ(flash.ISready(sink), 1);
    flash.CapStop(sink);
    EXPECT_THAT(sink->taken(), ElementsAre(ints({1}), ints({3}), (ResultValues{std::wstring(), 1}), ints({1})));
    for (const std::string& line : logTexts(*log)) EXPECT_THAT(line, testing::EndsWith(" is failed"));
}

TEST_F(FlashXTest, EngineLivesExactlyAsLongAsTheController)
{
    {
        CFlashX flash;
        EXPECT_EQ(strevo_test::command("engines"), "1");
        CFlashX second;
        EXPECT_EQ(strevo_test::command("engines"), "2");
    }
    EXPECT_EQ(strevo_test::command("engines"), "0");
    EXPECT_THAT(strevo_test::calls(), ElementsAre("CreateStrevo", "CreateStrevo", "DeleteStrevo", "DeleteStrevo"));
}

}  // namespace
