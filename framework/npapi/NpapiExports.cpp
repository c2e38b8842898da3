// The plug-in library's NPAPI exports (undecorated through the library's .def).
// Compiled into the library itself; each is a thin wrapper of the entry points.
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
