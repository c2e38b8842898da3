#include "TestFactory.h"

#include "BrowserRoads.h"
#include "NpapiPlugin.h"

#include <new>
#include <stdexcept>

FactoryControl factoryControl;

namespace {

class TestCore : public FB::PluginCore {
public:
    bool onPluginEvent(FB::PluginEvent*, FB::PluginEventSource*) override { return false; }
    std::shared_ptr<FB::JSAPI> makeScriptApi() override { return std::make_shared<BridgeTestAPI>(); }
    bool wantsWindowless() override { return factoryControl.windowless; }
    void setParams(const FB::VariantDict& params) override
    {
        factoryControl.params = params;
        if (factoryControl.make == FactoryControl::Make::InitFailure) throw std::runtime_error("init failed");
        FB::PluginCore::setParams(params);
    }
    void beforeShutdown() override
    {
        std::shared_ptr<FB::BrowserHost> host = getHost();
        auto instance = host ? static_cast<NPP>(host->getInstanceHandle()) : nullptr;
        factoryControl.instanceDataAtShutdown = instance && instance->pdata;
    }
};

class TestFactory : public FB::FactoryBase {
public:
    TestFactory() : FB::FactoryBase(FB::browserRoads()) {}
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string&) override { return std::make_shared<TestCore>(); }
    void globalInit() override { ++factoryControl.globalInits; }
    void globalDeinit() override { ++factoryControl.globalDeinits; }
    std::shared_ptr<FB::Npapi::NpapiPlugin> makeNpapiPlugin(
        const std::shared_ptr<FB::Npapi::NpapiBrowserHost>& host, const std::string& mimeType) override
    {
        switch (factoryControl.make) {
        case FactoryControl::Make::Nothing: return nullptr;
        case FactoryControl::Make::CreateError: throw FB::Npapi::PluginCreateError("no plug-in for this type");
        case FactoryControl::Make::OutOfMemory: throw std::bad_alloc();
        case FactoryControl::Make::Failure: throw std::runtime_error("broken");
        default: return FB::FactoryBase::makeNpapiPlugin(host, mimeType);
        }
    }
};

}  // namespace

FB::FactoryBasePtr FB::getFactoryInstance()
{
    static FB::FactoryBasePtr factory = std::make_shared<TestFactory>();
    return factory;
}
