// The NPAPI road's entry points. The library's exports NP_GetEntryPoints,
// NP_Initialize and NP_Shutdown are thin wrappers of these (see the plug-in
// library's DllMain file and its .def).
//
//   getEntryPoints  fills the plug-in table with the thirteen NPP handlers
//   initialize      copies the browser's table into the module
//   shutdown        destroys the module (the application's global de-init runs)
//
// Threading: the browser's main thread only.
#pragma once

#include "NpapiInterface.h"

namespace FB {
namespace Npapi {

class NpapiPluginModule;

NPError getEntryPoints(NPPluginFuncs* funcs);
NPError initialize(NPNetscapeFuncs* funcs);
NPError shutdown();

// Whether main-thread calls must go through the hidden message window: the
// user agent names "Safari" or the table is older than version 19 (asked for
// the first instance of the process, the answer kept for every later one), or
// the module's asynchronous-call entry is missing.
bool needsWindowAsyncCalls(NpapiPluginModule* module, NPP instance);

}  // namespace Npapi
}  // namespace FB
