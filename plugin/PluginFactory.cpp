#include "PluginFactory.h"

#include "parvelplugin.h"

PluginFactory::PluginFactory() : FB::FactoryBase(FB::browserRoads()) {}

std::shared_ptr<FB::PluginCore> PluginFactory::makePluginCore(const std::string&)
{
    return std::make_shared<parvelplugin>();
}

std::shared_ptr<PluginFactory> pluginFactorySingleton()
{
    // Made once, thread-safely; released by the runtime's exit handlers.
    static const std::shared_ptr<PluginFactory> factory = std::make_shared<PluginFactory>();
    return factory;
}

FB::FactoryBasePtr FB::getFactoryInstance()
{
    return pluginFactorySingleton();
}
