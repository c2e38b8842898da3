// Elevation of the updater: it replaces files under the program folders and
// ends other users' browsers, so it runs as an administrator. A program that
// is not elevated where the system would elevate it (UAC on) starts itself
// again through the "runas" verb and ends.
//
// The checks and the relaunch reach the system through ElevationSystem, so
// the decision table can be tested where the real system always says "go on".
#pragma once

#include <windows.h>

#include <functional>

// What the decision asks of the system.
struct ElevationSystem {
    std::function<bool()> isUserAdmin;
    std::function<bool()> isUacEnabled;
    // Starts this program again elevated: ERROR_SUCCESS, or the error of the launch.
    std::function<DWORD()> relaunchElevated;

    static ElevationSystem Real();
};

// Outcomes of RunElevatedIfNeeded.
enum ElevationResult : int {
    ELEVATION_GO_ON = 1,       // already elevated, UAC off, or the relaunch failed for another reason
    ELEVATION_REFUSED = 2,     // the user cancelled the prompt, or the program file is gone
    ELEVATION_RELAUNCHED = 3,  // an elevated copy runs now; this one ends
};

int RunElevatedIfNeeded(const ElevationSystem& system = ElevationSystem::Real());

// Member of the built-in Administrators group with the current thread's token.
bool IsUserAdmin();
// Windows Vista or later with "EnableLUA" set.
bool IsUacEnabled();
// ShellExecuteExW "runas" of the program's own file with its whole command line.
DWORD RelaunchElevated();
