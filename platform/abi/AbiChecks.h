// Compile-time checks of a module's binary interface, next to the code that
// offers it. Each holds only while a function or an interface slot has exactly
// the type its callers were built against, calling convention included:
//
//   static_assert(Abi::hasType<int (*)(const char*, int, int)>(&capture_Init));
//   static_assert(Abi::hasType<bool (__stdcall IThing::*)(int)>(&IThing::Start));
//   static_assert(Abi::isSlotTable<IThing>);
//
// Calling conventions exist only on i686: there a mismatch fails to compile
// (a function of another convention does not convert); the x86-64 build
// accepts every convention, so the checks are real in the i686 build, which
// every machine compiles.
#pragma once

#include <type_traits>

namespace Abi {

// Compiles only when the argument converts to Expected without a cast.
template <class Expected>
constexpr bool hasType(Expected)
{
    return true;
}

// An interface that other compilers can call through its slots: a table
// pointer and nothing else, and no virtual destructor (compilers give it
// different slots).
template <class Interface>
constexpr bool isSlotTable =
    std::is_polymorphic_v<Interface> && !std::has_virtual_destructor_v<Interface> && sizeof(Interface) == sizeof(void*);

}  // namespace Abi
