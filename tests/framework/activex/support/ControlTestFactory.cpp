#include "ControlTestFactory.h"

#include "BrowserRoads.h"
#include "PluginEvents.h"
#include "parvelplugin.h"

#include <memory>

ControlTestRecord controlTestRecord;

namespace {

class TestCore : public parvelplugin {
public:
    bool wantsWindowless() override { return FB::PluginCore::wantsWindowless(); }
    void setParams(const FB::VariantDict& params) override
    {
        ++controlTestRecord.paramSets;
        parvelplugin::setParams(params);
    }
    bool onMouseDown(FB::MouseDownEvent* event, FB::PluginWindow*) override
    {
        record("down", *event);
        return true;
    }
    bool onMouseUp(FB::MouseUpEvent* event, FB::PluginWindow*) override
    {
        record("up", *event);
        return true;
    }

private:
    static void record(const char* what, const FB::MouseButtonEvent& event)
    {
        controlTestRecord.mouse.push_back(std::string(what) + " " + std::to_string(event.button) + " " +
            std::to_string(event.x) + "," + std::to_string(event.y));
    }
};

class TestFactory : public FB::FactoryBase {
public:
    TestFactory() : FB::FactoryBase(FB::browserRoads()) {}
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string&) override { return std::make_shared<TestCore>(); }
    void globalInit() override { ++controlTestRecord.globalInits; }
    void globalDeinit() override { ++controlTestRecord.globalDeinits; }
};

}  // namespace

FB::FactoryBasePtr FB::getFactoryInstance()
{
    static FB::FactoryBasePtr factory = std::make_shared<TestFactory>();
    return factory;
}
