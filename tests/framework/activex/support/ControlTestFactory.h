// The factory of the control tests: the application's plug-in core (its
// scripting object, echo, version ...) that, unlike the application's, follows
// its "windowless" parameter, records the mouse events its window sends and
// the parameter sets it is given, and a count of the factory's process-wide
// set-up and tear-down.
#pragma once

#include "variant.h"

#include <string>
#include <vector>

struct ControlTestRecord {
    int globalInits = 0;
    int globalDeinits = 0;
    int paramSets = 0;
    std::vector<std::string> mouse;  // "down 0 10,10", "up 0 10,10"
};

// Reset by each test that reads it.
extern ControlTestRecord controlTestRecord;
