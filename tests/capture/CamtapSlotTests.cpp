// The controller's table: its five operations in their order, and nothing
// before them (no destructor slots).
#include "Camtap.h"
#include "SlotIndex.h"

#include <gtest/gtest.h>

namespace {

using test_support::slotOf;

TEST(CamtapSlots, TheFiveOperationsInTheirOrder)
{
    const struct {
        const char* name;
        int actual;
    } slots[] = {
        {"Init", slotOf(&CCamtap::Init)},
        {"Destroy", slotOf(&CCamtap::Destroy)},
        {"Run", slotOf(&CCamtap::Run)},
        {"Stop", slotOf(&CCamtap::Stop)},
        {"FitToOwnerWindow", slotOf(&CCamtap::FitToOwnerWindow)},
    };
    for (int slot = 0; slot < 5; ++slot) EXPECT_EQ(slots[slot].actual, slot) << slots[slot].name;
}

}  // namespace
