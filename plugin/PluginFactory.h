// PluginFactory: the one plug-in factory of the process. It makes a parvelplugin
// for every instance; every other maker is the browser roads' (BrowserRoads.h).
#pragma once

#include "BrowserRoads.h"

#include <memory>

class PluginFactory : public FB::FactoryBase {
public:
    PluginFactory();
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string& mimeType) override;
    void globalInit() override {}
    void globalDeinit() override {}
};

// The process-wide factory, made on the first call and kept until the process ends.
std::shared_ptr<PluginFactory> pluginFactorySingleton();
