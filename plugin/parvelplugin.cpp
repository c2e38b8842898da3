#include "parvelplugin.h"

#include "BrowserHost.h"
#include "PluginEvents.h"
#include "PluginWindow.h"
#include "parvelpluginAPI.h"

parvelplugin::parvelplugin() = default;

parvelplugin::~parvelplugin()
{
    if (host) host->releaseAllKeptObjects();
}

bool parvelplugin::onPluginEvent(FB::PluginEvent* event, FB::PluginEventSource* source)
{
    auto* window = dynamic_cast<FB::PluginWindow*>(source);
    if (auto* down = dynamic_cast<FB::MouseDownEvent*>(event)) {
        if (!window) throw FB::bad_event_cast();
        return onMouseDown(down, window);
    }
    if (auto* up = dynamic_cast<FB::MouseUpEvent*>(event)) return onMouseUp(up, window);
    if (auto* move = dynamic_cast<FB::MouseMoveEvent*>(event)) return onMouseMove(move, window);
    if (auto* attached = dynamic_cast<FB::AttachedEvent*>(event); attached && window)
        return onWindowAttached(attached, window);
    if (auto* detached = dynamic_cast<FB::DetachedEvent*>(event); detached && window)
        return onWindowDetached(detached, window);
    return false;
}

std::shared_ptr<FB::JSAPI> parvelplugin::makeScriptApi()
{
    auto self = std::static_pointer_cast<parvelplugin>(shared_from_this());
    return std::make_shared<parvelpluginAPI>(self, getHost());
}

bool parvelplugin::onMouseDown(FB::MouseDownEvent*, FB::PluginWindow*)
{
    return false;
}
bool parvelplugin::onMouseUp(FB::MouseUpEvent*, FB::PluginWindow*)
{
    return false;
}
bool parvelplugin::onMouseMove(FB::MouseMoveEvent*, FB::PluginWindow*)
{
    return false;
}
bool parvelplugin::onWindowAttached(FB::AttachedEvent*, FB::PluginWindow*)
{
    return false;
}
bool parvelplugin::onWindowDetached(FB::DetachedEvent*, FB::PluginWindow*)
{
    return false;
}
