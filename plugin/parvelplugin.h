// parvelplugin: the plug-in core of one instance of the broadcast plug-in.
//
// Its only application work is making the scripting object parvelpluginAPI.
// The plug-in draws nothing and takes no input: it is always windowed, and every
// window and mouse event is reported as not handled, so it goes on to the next
// observer.
#pragma once

#include "PluginCore.h"

namespace FB {
class PluginWindow;
class MouseDownEvent;
class MouseUpEvent;
class MouseMoveEvent;
class AttachedEvent;
class DetachedEvent;
}  // namespace FB

class parvelplugin : public FB::PluginCore {
public:
    parvelplugin();
    ~parvelplugin() override;

    bool onPluginEvent(FB::PluginEvent* event, FB::PluginEventSource* source) override;
    void onReady() override {}
    void beforeShutdown() override {}
    std::shared_ptr<FB::JSAPI> makeScriptApi() override;
    bool wantsWindowless() override { return false; }

    virtual bool onMouseDown(FB::MouseDownEvent* event, FB::PluginWindow* window);
    virtual bool onMouseUp(FB::MouseUpEvent* event, FB::PluginWindow* window);
    virtual bool onMouseMove(FB::MouseMoveEvent* event, FB::PluginWindow* window);
    virtual bool onWindowAttached(FB::AttachedEvent* event, FB::PluginWindow* window);
    virtual bool onWindowDetached(FB::DetachedEvent* event, FB::PluginWindow* window);
};
