#include "StreamTestFactory.h"

#include "BrowserRoads.h"
#include "JSAPIAuto.h"

StreamTestControl streamTestControl;

namespace {

class StreamTestCore : public FB::PluginCore {
public:
    bool onPluginEvent(FB::PluginEvent*, FB::PluginEventSource*) override { return false; }
    std::shared_ptr<FB::JSAPI> makeScriptApi() override { return std::make_shared<FB::JSAPIAuto>(); }
    void handleUnsolicitedStream(FB::BrowserStreamRequest& request) override
    {
        if (streamTestControl.unsolicited) streamTestControl.unsolicited(request);
    }
};

class StreamTestFactory : public FB::FactoryBase {
public:
    StreamTestFactory() : FB::FactoryBase(FB::browserRoads()) {}
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string&) override
    {
        auto core = std::make_shared<StreamTestCore>();
        streamTestControl.lastCore = core;
        return core;
    }
};

}  // namespace

FB::FactoryBasePtr FB::getFactoryInstance()
{
    static FB::FactoryBasePtr factory = std::make_shared<StreamTestFactory>();
    return factory;
}
