// The slot order of the media engine's interfaces, which the engine (built by
// another compiler) and the broadcast controller must agree on.
#include "SlotIndex.h"
#include "Strevo.h"

#include <gtest/gtest.h>

namespace {

using test_support::slotOf;

TEST(EngineInterfaceTest, EngineSlotsAreInContractOrder)
{
    EXPECT_EQ(slotOf(&IStrevo::GetReadyText), 0);
    EXPECT_EQ(slotOf(&IStrevo::StartCapture), 1);
    EXPECT_EQ(slotOf(&IStrevo::StopCapture), 2);
    EXPECT_EQ(slotOf(&IStrevo::StartSend), 3);
    EXPECT_EQ(slotOf(&IStrevo::StopSend), 4);
    EXPECT_EQ(slotOf(&Strevo::IStrevoObersver::OnVolumeLevel), 0);
}

}  // namespace
