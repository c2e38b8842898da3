// FB::Npapi::NpapiPlugin: the plug-in object of one NPAPI instance. It receives
// the instance's NPP_* calls from the entry handlers, owns the application's
// plug-in core (through FB::BrowserPlugin), reads the embed's parameters, makes
// the core ready and hands the browser the instance's script object (one
// NPJavascriptObject over the core's scripting object).
//
// NpapiPluginWin adds what depends on Windows: the platform record, the
// library's module path and the drawing surface. NPP_SetWindow makes the
// surface the core asks for (windowed: the browser's child window, subclassed;
// windowless: the browser's device context and events) and attaches it to the
// core; NPP_HandleEvent feeds a windowless surface.
//
// A core may end its own instance (NPP_Destroy) from inside an event of its
// surface: the surface is held by a shared pointer and kept by the call that
// dispatches the event (NPP_HandleEvent, NPP_SetWindow, the windowed surface's
// window procedure) until the dispatch returns, as the entry points keep the
// plug-in object.
//
// Windowless areas arrive as unsigned 32-bit extents: they are clamped to what
// the surface's signed edges hold, and repaint requests to what NPRect holds.
//
// Threading: the browser's main thread only, except the invalidate callback of
// a windowless surface, which any thread may trigger (it is carried to the
// main thread and dropped if the surface has gone meanwhile).
#pragma once

#include "BrowserPlugin.h"
#include "JSAPI.h"
#include "NpapiInterface.h"
#include "PluginWindow.h"
#include "ShareableReference.h"

#include <memory>
#include <stdexcept>
#include <string>

struct HWND__;

namespace FB {
namespace Npapi {

class NpapiBrowserHost;
class NpapiStream;

// Raised by a plug-in maker that cannot make the plug-in; NPP_New answers 8.
class PluginCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class NpapiPlugin : public BrowserPlugin {
public:
    NpapiPlugin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType);
    ~NpapiPlugin() override;

    void shutdown() override;
    virtual void init(NPMIMEType mimeType, int16_t argc, char* argn[], char* argv[]);
    virtual bool setReady();
    virtual NPError setWindow(NPWindow* window);
    virtual NPError newStream(NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype);
    virtual NPError destroyStream(NPStream* stream, NPReason reason);
    virtual int32_t writeReady(NPStream* stream);
    virtual int32_t write(NPStream* stream, int32_t offset, int32_t length, void* buffer);
    virtual void streamAsFile(NPStream* stream, const char* fileName);
    virtual void print(NPPrint* platformPrint);
    virtual int16_t handleEvent(void* event);
    virtual void urlNotify(const char* url, NPReason reason, void* notifyData);
    virtual NPError getValue(NPPVariable variable, void* value);
    virtual NPError setValue(NPNVariable variable, void* value);

    // The instance's script object, made on first request; retained once more for
    // the browser on every request. Null when the core gives no scripting object.
    NPObject* getScriptableObject();
    bool isReady() const { return ready_; }
    const std::shared_ptr<NpapiBrowserHost>& host() const { return host_; }

private:
    // Offers a stream the browser started by itself to the core; the adopted stream, if taken.
    std::shared_ptr<NpapiStream> adoptUnsolicitedStream(NPStream* stream);

    NPObject* scriptObject_ = nullptr;
    std::shared_ptr<NpapiBrowserHost> host_;
    bool retainReturnedObject_ = true;
    bool ready_ = false;
    std::string mimeType_;
    std::string pluginName_;
    std::string pluginDescription_;
};

class NpapiPluginWin : public NpapiPlugin {
public:
    NpapiPluginWin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType);
    ~NpapiPluginWin() override;

    // Detaches the surface from the core and deletes it as well.
    void shutdown() override;
    NPError setWindow(NPWindow* window) override;
    // Windowless events only; never throws into the browser.
    int16_t handleEvent(void* event) override;

    // The current drawing surface, or null.
    PluginWindow* surface() const { return surface_.get(); }

private:
    void dropSurface();
    void attachWindowless(const NPWindow& record);
    void attachWindowed(const NPWindow& record);
    HWND__* browserWindow() const;

    std::shared_ptr<PluginWindow> surface_;
    // Alive exactly as long as the current surface: invalidations queued for
    // the main thread hold it weakly and are dropped once it is gone.
    std::shared_ptr<ShareableReference<PluginWindow>> surfaceAlive_;
};

using NpapiPluginPtr = std::shared_ptr<NpapiPlugin>;

// The factory's default NPAPI plug-in object: a new NpapiPluginWin.
NpapiPluginPtr createNpapiPlugin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType);

}  // namespace Npapi
}  // namespace FB
