// The session object through the DLL's exports and slot order, and a
// stream's mode handling, without needing a sound device.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "AudioStream.h"
#include "HeapCensus.h"
#include "ModuleExport.h"
#include "Sondex.h"

namespace {

class NullSink : public IAudioPeerSink {
public:
    void SONDEX_CALL OnEncodedFrame(const char*, int) override {}
    void SONDEX_CALL OnPlaybackLevel(int, int) override {}
    void SONDEX_CALL OnCaptureLevel(int) override {}
};

struct Library {
    HMODULE module = LoadLibraryW(L"Sondex.dll");
    decltype(&CreateAudioEnumer) createEnumer = moduleExport<decltype(&CreateAudioEnumer)>(module, "CreateAudioEnumer");
    decltype(&DeleteAudioEnumer) deleteEnumer = moduleExport<decltype(&DeleteAudioEnumer)>(module, "DeleteAudioEnumer");
    decltype(&CreateAudioPeer) createPeer = moduleExport<decltype(&CreateAudioPeer)>(module, "CreateAudioPeer");
    decltype(&DeleteAudioPeer) deletePeer = moduleExport<decltype(&DeleteAudioPeer)>(module, "DeleteAudioPeer");
    ~Library()
    {
        if (module) FreeLibrary(module);
    }
};

std::vector<char> rtp(uint8_t first, uint8_t payloadType, uint16_t sequence, size_t payloadBytes = 0)
{
    std::vector<char> bytes(12 + payloadBytes, 0);
    bytes[0] = static_cast<char>(first);
    bytes[1] = static_cast<char>(payloadType);
    bytes[2] = static_cast<char>(sequence >> 8);
    bytes[3] = static_cast<char>(sequence);
    return bytes;
}

class AudioPeerThroughExports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(library.module, nullptr);
        ASSERT_TRUE(library.createPeer && library.deletePeer && library.createEnumer && library.deleteEnumer);
        peer = library.createPeer(&sink);
        ASSERT_NE(peer, nullptr);
    }
    void TearDown() override { library.deletePeer(peer); }

    Library library;
    NullSink sink;
    Sondex::IAudioPeer* peer = nullptr;
};

}  // namespace

TEST_F(AudioPeerThroughExports, InitOnceAndCaptureOnlyAfterIt)
{
    EXPECT_FALSE(peer->StartCapture(Sondex::kCaptureModeMono));
    EXPECT_TRUE(peer->Init(0, 7));
    EXPECT_FALSE(peer->Init(1, 8));
    for (int mode : {0, 4, 7, -1}) EXPECT_FALSE(peer->StartCapture(mode)) << "mode " << mode;
    peer->StopCapture();  // without a running capture: nothing
    peer->StopCapture();
}

TEST_F(AudioPeerThroughExports, StreamTableRefusesDuplicatesAndUnknownIds)
{
    EXPECT_TRUE(peer->AddStream(3));
    EXPECT_FALSE(peer->AddStream(3));
    EXPECT_TRUE(peer->AddStream(-4));
    EXPECT_FALSE(peer->RemoveStream(9));
    EXPECT_FALSE(peer->SetMute(9, true));
    EXPECT_TRUE(peer->SetMute(3, true));
    EXPECT_TRUE(peer->SetMuteAll(1));
    EXPECT_TRUE(peer->RemoveStream(3));
    EXPECT_FALSE(peer->RemoveStream(3));
    EXPECT_FALSE(peer->SetMute(3, false));
}

TEST_F(AudioPeerThroughExports, InputPacketRefusesMalformedDatagrams)
{
    ASSERT_TRUE(peer->AddStream(1));
    struct Case {
        const char* what;
        std::vector<char> bytes;
        bool taken;
    };
    std::vector<char> eleven = rtp(0x80, 36, 1);
    eleven.pop_back();
    const std::vector<Case> cases = {
        {"valid mono packet", rtp(0x80, 36, 1, 20), true},
        {"valid bare header", rtp(0x80, 37, 1), true},
        {"marker bit set", rtp(0x80, 0x80 | 36, 2, 4), true},
        {"11 bytes", eleven, false},
        {"version 1", rtp(0x40, 36, 1), false},
        {"version 3", rtp(0xC0, 36, 1), false},
        {"payload type 96", rtp(0x80, 96, 1), true},
        {"payload type 0 with a payload", rtp(0x80, 0, 2, 8), true},
        {"CSRC list beyond the datagram", rtp(0x83, 36, 1, 4), false},
        {"padding beyond the datagram",
            [] {
                auto b = rtp(0xA0, 36, 1, 2);
                b.back() = 40;
                return b;
            }(),
            false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(peer->InputPacket(1, c.bytes.data(), static_cast<unsigned short>(c.bytes.size())), c.taken) << c.what;
    EXPECT_FALSE(peer->InputPacket(1, nullptr, 12));
    const auto forNobody = rtp(0x80, 36, 1);
    EXPECT_TRUE(peer->InputPacket(42, forNobody.data(), 12));  // unknown stream: dropped, not refused
    const auto unknownTypeForNobody = rtp(0x80, 127, 1);
    EXPECT_TRUE(peer->InputPacket(42, unknownTypeForNobody.data(), 12));
}

// A peer that went, with its lock taken and its streams, leaves nothing on the heaps.
TEST_F(AudioPeerThroughExports, PeersMadeAndDeletedLeaveNothingBehind)
{
    auto cycle = [&] {
        Sondex::IAudioPeer* other = library.createPeer(&sink);
        ASSERT_NE(other, nullptr);
        EXPECT_TRUE(other->AddStream(1));
        EXPECT_TRUE(other->SetMuteAll(1));
        library.deletePeer(other);
    };
    for (int i = 0; i < 100; ++i) cycle();  // the heaps' own first growth
    const testsupport::HeapCensus grown = testsupport::HeapCensus::growthOver([&] {
        for (int i = 0; i < 2000; ++i) cycle();
    });
    EXPECT_LT(grown.blocks, 20u) << "blocks kept by 2,000 peers";
}

// Slot n of the peer's table, called the way a caller of another compiler does.
template <class Result, class... Args>
Result callSlot(Sondex::IAudioPeer* peer, int slot, Args... args)
{
    using Slot = Result(SONDEX_CALL*)(Sondex::IAudioPeer*, Args...);
    return (*reinterpret_cast<Slot* const*>(peer))[slot](peer, args...);
}

TEST_F(AudioPeerThroughExports, ReservedSlotsDoNothing)
{
    EXPECT_EQ(callSlot<int>(peer, 9), 0);
    EXPECT_EQ(callSlot<int>(peer, 11), 0);
    for (int slot : {10, 12, 13, 14, 15, 16, 17, 18}) EXPECT_TRUE(callSlot<bool>(peer, slot, 1)) << "slot " << slot;
    EXPECT_TRUE(peer->Init(0, 0));  // still not initialised
}

TEST(AudioEnumerThroughExports, NamesOnlyListedDevices)
{
    Library library;
    ASSERT_NE(library.module, nullptr);
    Sondex::IAudioEnumer* enumer = library.createEnumer();
    ASSERT_NE(enumer, nullptr);
    // The lists are the devices whose capabilities the sound system answers, by id, with their names.
    std::vector<std::pair<int, std::string>> inputs, outputs;
    for (UINT id = 0; id < waveInGetNumDevs(); ++id)
        if (WAVEINCAPSA caps; waveInGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR)
            inputs.emplace_back(static_cast<int>(id), caps.szPname);
    for (UINT id = 0; id < waveOutGetNumDevs(); ++id)
        if (WAVEOUTCAPSA caps; waveOutGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR)
            outputs.emplace_back(static_cast<int>(id), caps.szPname);
    EXPECT_EQ(enumer->GetInputDeviceCount(), static_cast<int>(inputs.size()));
    EXPECT_EQ(enumer->GetOutputDeviceCount(), static_cast<int>(outputs.size()));
    char name[Sondex::kDeviceNameBytes];
    for (const auto& [id, expected] : inputs) {
        ASSERT_TRUE(enumer->GetInputDeviceName(id, name)) << id;
        EXPECT_EQ(std::string(name), expected);
    }
    for (const auto& [id, expected] : outputs) {
        ASSERT_TRUE(enumer->GetOutputDeviceName(id, name)) << id;
        EXPECT_EQ(std::string(name), expected);
    }
    std::memset(name, 'x', sizeof(name));
    EXPECT_FALSE(enumer->GetInputDeviceName(-1, name));
    EXPECT_FALSE(enumer->GetOutputDeviceName(100000, name));
    EXPECT_EQ(name[0], 'x');  // untouched
    EXPECT_FALSE(enumer->GetInputDeviceName(0, nullptr));
    library.deleteEnumer(enumer);
    library.deleteEnumer(nullptr);
    library.deletePeer(nullptr);
    EXPECT_EQ(library.createPeer(nullptr), nullptr) << "a peer without a sink";
}

TEST(AudioStream, PayloadTypeSelectsTheModeAndASwitchRestartsTheQueue)
{
    NullSink sink;
    CAudioStream stream(&sink, 1, 0);
    auto packet = [](uint8_t payloadType, uint16_t sequence) {
        const auto bytes = rtp(0x80, payloadType, sequence);
        return PacketRef(CRtpPacket::MakeReceived(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    };
    struct Step {
        uint8_t payloadType;
        uint16_t sequence;
        bool taken;
        int mode;
        size_t queued;
    };
    const std::vector<Step> steps = {
        {96, 1, false, 0, 0},  // ignored: no mode yet
        {36, 1, true, 5, 1},
        {36, 2, true, 5, 2},
        {96, 3, false, 5, 2},
        {37, 3, true, 6, 1},  // switch: the queue starts again
        {37, 4, true, 6, 2},
        {36, 5, true, 5, 1},
        {35, 6, true, 4, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "payload type " << int{s.payloadType} << " #" << s.sequence);
        auto p = packet(s.payloadType, s.sequence);
        ASSERT_TRUE(p);
        EXPECT_EQ(stream.PacketIn(p.get()), s.taken);
        EXPECT_EQ(p->RefCountForTesting(), s.taken ? 2 : 1);
        EXPECT_EQ(stream.Mode(), s.mode);
        EXPECT_EQ(stream.QueuedPackets(), s.queued);
    }
    // Mode 4 has no output: its packets gather, bounded.
    EXPECT_FALSE(stream.OutputRunning());
    for (uint16_t n = 7; n < 1200; ++n) stream.PacketIn(packet(35, n).get());
    EXPECT_EQ(stream.QueuedPackets(), 999u);
}
