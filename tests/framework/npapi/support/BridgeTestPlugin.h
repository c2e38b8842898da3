// A plug-in linked into the test program: minimal NPAPI entry points over the
// framework's NPAPI host and script-object bridge, exposing BridgeTestAPI as
// the instance's scriptable object. The test browser drives it like a DLL.
//
// BridgeTestPlugin::windowRoad selects the host that delivers main-thread calls
// through the hidden message window instead of the browser's async-call entry.
#pragma once

#include "JSAPIAuto.h"
#include "JSObject.h"
#include "NpapiBrowserHost.h"
#include "NpapiPluginModule.h"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

class BridgeTestAPI : public FB::JSAPIAuto {
public:
    BridgeTestAPI()
    {
        addMethod("add", FB::bindMethod(this, &BridgeTestAPI::add));
        addMethod("echo", FB::bindMethod(this, &BridgeTestAPI::echo));
        addMethod("fail", FB::bindMethod(this, &BridgeTestAPI::fail));
        addMethod("big", FB::bindMethod(this, &BridgeTestAPI::big));
        addMethod("neg", FB::bindMethod(this, &BridgeTestAPI::neg));
        addMethod("list", FB::bindMethod(this, &BridgeTestAPI::list));
        addMethod("dict", FB::bindMethod(this, &BridgeTestAPI::dict));
        addMethod("later", FB::bindMethod(this, &BridgeTestAPI::later));
        addMethod("fromThread", FB::bindMethod(this, &BridgeTestAPI::fromThread));
        addMethod("fire", FB::bindMethod(this, &BridgeTestAPI::fire));
        addMethod("keep", FB::bindMethod(this, &BridgeTestAPI::keep));
        addMethod("sink", FB::bindMethod(this, &BridgeTestAPI::sink));
        addProperty("count", FB::bindPropertyReadWrite(this, &BridgeTestAPI::count, &BridgeTestAPI::setCount));
        addProperty("version", FB::bindPropertyReadOnly(this, &BridgeTestAPI::version));
    }
    ~BridgeTestAPI() override { join(); }

    double add(double a, double b) { return a + b; }
    FB::variant echo(const FB::variant& value) { return value; }
    void fail() { throw FB::script_error("boom"); }
    unsigned int big() { return 4000000000u; }
    int neg() { return -5; }
    FB::VariantVector list() { return {FB::variant(1), FB::variant("two"), FB::variant(3.5)}; }
    FB::VariantDict dict() { return {{"a", FB::variant(1)}, {"b", FB::variant("bee")}}; }
    // callback(value), delivered later on the main thread.
    void later(const FB::JSObjectPtr& callback, const FB::variant& value) { callback->invokeAsync("", {value}); }
    // count reports 0..count-1 from a thread of its own, like the engine's volume reports.
    void fromThread(const FB::JSObjectPtr& callback, int count)
    {
        join();
        worker_ = std::thread([callback, count] {
            for (int i = 0; i < count; ++i) {
                try {
                    callback->invokeAsync("", {FB::variant(i)});
                } catch (const std::runtime_error&) {
                    return;  // the page is gone
                }
            }
        });
    }
    void fire(const std::string& event, const FB::variant& value) { fireEvent(event, {value}); }
    // The page object receives every event through its member named by the event.
    void sink(const FB::JSObjectPtr& object) { addEventSinkObject(object); }
    // Holds a page object in native code until the instance goes.
    void keep(const FB::JSObjectPtr& object) { kept_.push_back(object); }
    int count() const { return count_; }
    void setCount(int value) { count_ = value; }
    std::string version() const { return "1.2"; }

    void join()
    {
        if (worker_.joinable()) worker_.join();
    }

private:
    int count_ = 0;
    std::thread worker_;
    std::vector<FB::JSObjectPtr> kept_;
};

namespace BridgeTestPlugin {

extern bool windowRoad;

struct InstanceData {
    std::shared_ptr<FB::Npapi::NpapiBrowserHost> host;
    std::shared_ptr<BridgeTestAPI> api;
};

InstanceData* dataOf(NPP instance);

NPError NP_EXPORT_CALL getEntryPoints(NPPluginFuncs* funcs);
NPError NP_EXPORT_CALL initialize(NPNetscapeFuncs* funcs);
NPError NP_EXPORT_CALL shutdown();

}  // namespace BridgeTestPlugin
