// The process-wide plug-in factory of the NPAPI test programs: plug-in cores
// whose scripting object is BridgeTestAPI, with switches that make the factory
// or the core fail the way a test needs.
#pragma once

#include "BridgeTestPlugin.h"
#include "FactoryBase.h"
#include "PluginCore.h"

struct FactoryControl {
    enum class Make { Plugin, Nothing, CreateError, OutOfMemory, Failure, InitFailure };
    Make make = Make::Plugin;
    bool windowless = false;
    FB::VariantDict params;  // what the last core was given
    int globalInits = 0;
    int globalDeinits = 0;
    // Whether the instance still carried its data when the last core shut down.
    bool instanceDataAtShutdown = false;
};

// Reset by each test that uses it.
extern FactoryControl factoryControl;
