// The slot of a virtual function in its interface's table, read from a pointer
// to the member function as this compiler (the Itanium C++ ABI of GCC on
// mingw) represents it: for a virtual function, one plus the slot's byte offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace test_support {

// -1 when the member is not virtual.
template <class Member>
int slotOf(Member member)
{
    struct Representation {
        std::uintptr_t pointer;
        std::ptrdiff_t thisAdjustment;
    };
    static_assert(sizeof(Member) == sizeof(Representation), "a pointer to a member function is two words");
    Representation raw;
    std::memcpy(&raw, &member, sizeof raw);
    if ((raw.pointer & 1) == 0) return -1;
    return static_cast<int>((raw.pointer - 1) / sizeof(void*));
}

}  // namespace test_support
