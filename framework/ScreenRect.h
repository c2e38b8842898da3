// A rectangle of the plug-in's windows, in the order top, left, bottom, right.
#pragma once

#include <cstdint>

namespace FB {

struct ScreenRect {
    int32_t top = 0;
    int32_t left = 0;
    int32_t bottom = 0;
    int32_t right = 0;
};

}  // namespace FB
