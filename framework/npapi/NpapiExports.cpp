// The plug-in library's NPAPI exports (undecorated through the library's .def).
// Compiled into the library itself; each is a thin wrapper of the entry points.
#include "AbiChecks.h"
#include "NpapiEntryPoints.h"

extern "C" {

NPError NP_EXPORT_CALL NP_GetEntryPoints(NPPluginFuncs* pluginFuncs)
{
    return FB::Npapi::getEntryPoints(pluginFuncs);
}

NPError NP_EXPORT_CALL NP_Initialize(NPNetscapeFuncs* browserFuncs)
{
    return FB::Npapi::initialize(browserFuncs);
}

NPError NP_EXPORT_CALL NP_Shutdown()
{
    return FB::Npapi::shutdown();
}

}  // extern "C"

// The exports keep the convention of the browser's function types (real in the i686 build).
static_assert(Abi::hasType<NP_GetEntryPointsFunc>(&NP_GetEntryPoints));
static_assert(Abi::hasType<NP_InitializeFunc>(&NP_Initialize));
static_assert(Abi::hasType<NP_ShutdownFunc>(&NP_Shutdown));
