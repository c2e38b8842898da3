// Common header of the UI library: every header of the library includes it first.
//
// <windows.h> is included here once, before anything else, so that every
// translation unit sees the same names for members such as LoadImage, DrawText,
// GetClassName and TranslateAccelerator (they are macros of <windows.h>, mapped
// to their wide forms). The library is single-threaded: every window, manager
// and control lives on the thread that runs the message loop.
//
// The skin parsers (XML markup, zip archive) are also built natively for the
// build machine's fuzz targets; there only the few plain types they need exist.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#else
#include <cstdint>
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
#endif

#include <cstddef>
#include <cstdint>
#include <cwchar>
