// The framework's NPAPI road as a plug-in linked into the test program: its
// entry points with the calling convention of the browser's exports. The
// program's own factory (FB::getFactoryInstance) decides what the plug-in is.
//
//   browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown);
#pragma once

#include "NpapiEntryPoints.h"

namespace linkedPlugin {

inline NPError NP_EXPORT_CALL entryPoints(NPPluginFuncs* funcs)
{
    return FB::Npapi::getEntryPoints(funcs);
}

inline NPError NP_EXPORT_CALL initialize(NPNetscapeFuncs* funcs)
{
    return FB::Npapi::initialize(funcs);
}

inline NPError NP_EXPORT_CALL shutdown()
{
    return FB::Npapi::shutdown();
}

}  // namespace linkedPlugin
