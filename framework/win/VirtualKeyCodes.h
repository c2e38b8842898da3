// FB::mapVirtualKeyCode: the Windows virtual-key code of a key message as the
// framework's key code, the one key events carry to the plug-in core.
//
// Only keys without a character have a framework code of their own (function,
// cursor, editing and modifier keys, the numeric pad); every other code,
// letters and digits included, maps to 84, the framework's "unknown key".
//
// Threading: a pure function; any thread.
#pragma once

namespace FB {

constexpr unsigned int kUnknownKeyCode = 84;

unsigned int mapVirtualKeyCode(unsigned int virtualKey);

}  // namespace FB
