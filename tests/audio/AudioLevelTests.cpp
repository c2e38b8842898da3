#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "AudioLevel.h"

TEST(AudioLevel, IsThePeakAsATruncatedPercentage)
{
    struct Case {
        std::vector<int16_t> samples;
        int level;
    };
    const std::vector<Case> cases = {
        {{}, 0},
        {{0, 0, 0, 0}, 0},
        {{16384}, 50},
        {{-16384, 100}, 50},
        {{-32768}, 100},
        {{32767}, 99},
        {{327, -328}, 1},
        {{327}, 0},
        {{1000, -20000, 19000}, 61},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PeakLevel(c.samples.data(), c.samples.size()), c.level) << ::testing::PrintToString(c.samples);
}
