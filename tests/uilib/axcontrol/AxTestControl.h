// The test OLE control of the ActiveX host tests: a DLL reached through
// "modulename". One class activates windowless (drawing a known colour and
// taking window messages), the other refuses windowless activation. It counts
// its objects and what the host hands it, for the tests to read.
#pragma once

#include <windows.h>
#include <ole2.h>

// {6E3F1A10-5B2C-4D7E-9A41-0C2B7D9E1F01}
inline constexpr CLSID CLSID_AxTestWindowless = {
    0x6e3f1a10, 0x5b2c, 0x4d7e, {0x9a, 0x41, 0x0c, 0x2b, 0x7d, 0x9e, 0x1f, 0x01}};
// {6E3F1A10-5B2C-4D7E-9A41-0C2B7D9E1F02}
inline constexpr CLSID CLSID_AxTestWindowed = {
    0x6e3f1a10, 0x5b2c, 0x4d7e, {0x9a, 0x41, 0x0c, 0x2b, 0x7d, 0x9e, 0x1f, 0x02}};

// The Flash player's class id: the stand-in player answers its interface and
// its events' connection point by the ids the control declares.
inline constexpr CLSID CLSID_AxTestFlashPlayer = {
    0xd27cdb6e, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// What the windowless object draws.
inline constexpr COLORREF kAxTestColour = RGB(0x33, 0x66, 0xCC);

struct AxTestStats {
    long liveObjects;
    long draws;
    long windowMessages;
    UINT lastMessage;
    RECT objectRect;
    // What Release of the client site and of the frame answered when the object let them go.
    long siteRefsLeft;
    long frameRefsLeft;
    HWND hostWindow;
    HACCEL accelerators[2];
};

// Exported: the counters, and the client site of the last object (with a reference).
using AxTestStatsFn = AxTestStats*(WINAPI*)();
using AxTestSiteFn = IOleClientSite*(WINAPI*)();
// The events sink the host advised on the stand-in player (with a reference), or null.
using AxTestFlashSinkFn = IDispatch*(WINAPI*)();
