#include "VirtualKeyCodes.h"

#include <array>
#include <cstdint>

namespace FB {

namespace {

struct KeyMapping {
    uint8_t virtualKey;
    uint8_t keyCode;
};

// clang-format off
constexpr KeyMapping kKeyMappings[] = {
    {1, 35}, {2, 51}, {3, 2}, {4, 36}, {8, 68}, {9, 60}, {12, 4}, {13, 52}, {16, 56}, {17, 5}, {18, 1}, {19, 71},
    {20, 3}, {27, 9}, {32, 58}, {33, 50}, {34, 49}, {35, 69}, {36, 70}, {37, 63}, {38, 61}, {39, 64}, {40, 62},
    {41, 54}, {42, 72}, {43, 10}, {44, 57}, {45, 34}, {46, 7}, {47, 33}, {91, 65}, {92, 67}, {93, 66},
    {96, 39}, {97, 40}, {98, 41}, {99, 42}, {100, 43}, {101, 44}, {102, 45}, {103, 46}, {104, 47}, {105, 48},
    {106, 37}, {107, 0}, {108, 55}, {109, 59}, {110, 6}, {111, 8},
    {112, 11}, {113, 22}, {114, 26}, {115, 27}, {116, 28}, {117, 29}, {118, 30}, {119, 31}, {120, 32}, {121, 12},
    {122, 13}, {123, 14}, {124, 15}, {125, 16}, {126, 17}, {127, 18}, {128, 19}, {129, 20}, {130, 21}, {131, 23},
    {132, 24}, {133, 25}, {144, 38}, {145, 53},
};
// clang-format on

// One entry per virtual key (a byte), built once at compile time.
constexpr std::array<uint8_t, 256> buildKeyTable()
{
    std::array<uint8_t, 256> table{};
    for (auto& entry : table) entry = kUnknownKeyCode;
    for (const KeyMapping& mapping : kKeyMappings) table[mapping.virtualKey] = mapping.keyCode;
    return table;
}

constexpr std::array<uint8_t, 256> kKeyTable = buildKeyTable();

}  // namespace

unsigned int mapVirtualKeyCode(unsigned int virtualKey)
{
    return virtualKey < kKeyTable.size() ? kKeyTable[virtualKey] : kUnknownKeyCode;
}

}  // namespace FB
