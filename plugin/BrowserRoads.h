// FB::browserRoads: the browser roads' makers of the plug-in library (the NPAPI
// plug-in object, the plug-in windows, the COM script object and the registry
// script), handed to the factory at its construction:
//
//     class PluginFactory : public FB::FactoryBase {
//     public:
//         PluginFactory() : FB::FactoryBase(FB::browserRoads()) {}
//     };
#pragma once

#include "FactoryBase.h"

namespace FB {

FactoryRoads browserRoads();

}  // namespace FB
