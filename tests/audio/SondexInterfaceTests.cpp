// The slot order of the audio library's interfaces: callers built by other
// compilers reach each operation by its position in the table, never by name.
#include "Sondex.h"
#include "SlotIndex.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using test_support::slotOf;

struct Slot {
    const char* name;
    int actual;
    int expected;
};

void expectSlots(const std::vector<Slot>& slots)
{
    for (const Slot& slot : slots) EXPECT_EQ(slot.actual, slot.expected) << slot.name;
}

TEST(SondexInterfaceTest, TheCallersSinkHasItsThreeSlotsInOrder)
{
    expectSlots({
        {"OnEncodedFrame", slotOf(&IAudioPeerSink::OnEncodedFrame), 0},
        {"OnPlaybackLevel", slotOf(&IAudioPeerSink::OnPlaybackLevel), 1},
        {"OnCaptureLevel", slotOf(&IAudioPeerSink::OnCaptureLevel), 2},
    });
}

TEST(SondexInterfaceTest, TheEnumeratorEndsWithItsDestroySlot)
{
    using Sondex::IAudioEnumer;
    expectSlots({
        {"GetInputDeviceCount", slotOf(&IAudioEnumer::GetInputDeviceCount), 0},
        {"GetOutputDeviceCount", slotOf(&IAudioEnumer::GetOutputDeviceCount), 1},
        {"GetInputDeviceName", slotOf(&IAudioEnumer::GetInputDeviceName), 2},
        {"GetOutputDeviceName", slotOf(&IAudioEnumer::GetOutputDeviceName), 3},
        {"Destroy", slotOf(&IAudioEnumer::Destroy), 4},
    });
}

TEST(SondexInterfaceTest, ThePeerKeepsItsReservedSlotsBeforeDestroy)
{
    using Sondex::IAudioPeer;
    expectSlots({
        {"Init", slotOf(&IAudioPeer::Init), 0},
        {"Close", slotOf(&IAudioPeer::Close), 1},
        {"StartCapture", slotOf(&IAudioPeer::StartCapture), 2},
        {"StopCapture", slotOf(&IAudioPeer::StopCapture), 3},
        {"AddStream", slotOf(&IAudioPeer::AddStream), 4},
        {"RemoveStream", slotOf(&IAudioPeer::RemoveStream), 5},
        {"InputPacket", slotOf(&IAudioPeer::InputPacket), 6},
        {"SetMuteAll", slotOf(&IAudioPeer::SetMuteAll), 7},
        {"SetMute", slotOf(&IAudioPeer::SetMute), 8},
        {"Reserved()", slotOf<int (SONDEX_CALL IAudioPeer::*)()>(&IAudioPeer::Reserved), 9},
        {"Reserved(int) &", slotOf<bool (SONDEX_CALL IAudioPeer::*)(int)&>(&IAudioPeer::Reserved), 10},
        {"Reserved() const", slotOf<int (SONDEX_CALL IAudioPeer::*)() const>(&IAudioPeer::Reserved), 11},
        {"Reserved(int) const&", slotOf<bool (SONDEX_CALL IAudioPeer::*)(int) const&>(&IAudioPeer::Reserved), 12},
        {"Reserved(int) volatile&", slotOf<bool (SONDEX_CALL IAudioPeer::*)(int) volatile&>(&IAudioPeer::Reserved), 13},
        {"Reserved(int) const volatile&",
            slotOf<bool (SONDEX_CALL IAudioPeer::*)(int) const volatile&>(&IAudioPeer::Reserved), 14},
        {"Reserved(int) &&", slotOf<bool (SONDEX_CALL IAudioPeer::*)(int) &&>(&IAudioPeer::Reserved), 15},
        {"Reserved(int) const&&", slotOf<bool (SONDEX_CALL IAudioPeer::*)(int) const&&>(&IAudioPeer::Reserved), 16},
        {"Reserved(int) volatile&&", slotOf<bool (SONDEX_CALL IAudioPeer::*)(int) volatile&&>(&IAudioPeer::Reserved),
            17},
        {"Reserved(int) const volatile&&",
            slotOf<bool (SONDEX_CALL IAudioPeer::*)(int) const volatile&&>(&IAudioPeer::Reserved), 18},
        {"Destroy", slotOf(&IAudioPeer::Destroy), 19},
    });
}

}  // namespace
