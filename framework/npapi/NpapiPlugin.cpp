#include "NpapiPlugin.h"

#include "FactoryBase.h"
#include "ModuleInstance.h"
#include "NPJavascriptObject.h"
#include "NpapiBrowserHost.h"
#include "PluginCore.h"
#include "PluginWindowWin.h"
#include "PluginWindowlessWin.h"
#include "TraceLog.h"

#include <windows.h>

namespace FB {
namespace Npapi {

NpapiPlugin::NpapiPlugin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType)
    : BrowserPlugin(mimeType),
      host_(host),
      mimeType_(mimeType),
      pluginName_(FB::pluginName()),
      pluginDescription_(FB::pluginDescription(mimeType))
{
    if (pluginMain) pluginMain->setHost(host);
}

NpapiPluginWin::NpapiPluginWin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType)
    : NpapiPlugin(host, mimeType)
{
    PluginCore::setPlatform("Windows", "NPAPI");
    setModulePath(FB::modulePath());
}

NpapiPluginWin::~NpapiPluginWin()
{
    try {
        dropSurface();
    } catch (...) {
    }
}

void NpapiPluginWin::shutdown()
{
    NpapiPlugin::shutdown();
    dropSurface();
}

void NpapiPluginWin::dropSurface()
{
    if (!surface_) return;
    if (pluginMain && pluginMain->getWindow() == surface_.get()) pluginMain->clearWindow();
    surfaceAlive_.reset();
    surface_.reset();
}

HWND__* NpapiPluginWin::browserWindow() const
{
    HWND window = nullptr;
    if (host()->GetValue(NPNVnetscapeWindow, &window) != NPERR_NO_ERROR) window = nullptr;
    return window;
}

NPError NpapiPluginWin::setWindow(NPWindow* record)
{
    if (!pluginMain) return NPERR_NO_ERROR;
    if (!record || (!record->window && record->type != NPWindowTypeDrawable)) {
        dropSurface();
        return NPERR_NO_ERROR;
    }
    if (pluginMain->wantsWindowless())
        attachWindowless(*record);
    else
        attachWindowed(*record);
    return NPERR_NO_ERROR;
}

void NpapiPluginWin::attachWindowless(const NPWindow& record)
{
    auto* windowless = dynamic_cast<PluginWindowlessWin*>(surface_.get());
    if (surface_ && !windowless) dropSurface();
    const ScreenRect clip{record.clipRect.top, record.clipRect.left, record.clipRect.bottom, record.clipRect.right};
    if (windowless) {
        windowless->setWindowPosition(
            record.x, record.y, static_cast<int32_t>(record.width), static_cast<int32_t>(record.height));
        windowless->setWindowClipping(clip);
        return;
    }
    FactoryBasePtr factory = getFactoryInstance();
    std::unique_ptr<PluginWindowlessWin> made(factory ? factory->makeWindowlessWindow(nullptr) : nullptr);
    if (!made) return;
    made->setBrowserHWND(browserWindow());
    made->setWindowPosition(
        record.x, record.y, static_cast<int32_t>(record.width), static_cast<int32_t>(record.height));
    made->setWindowClipping(clip);
    surfaceAlive_ = std::make_shared<char>();
    std::weak_ptr<NpapiBrowserHost> weakHost = host();
    std::weak_ptr<char> alive = surfaceAlive_;
    made->setInvalidateCallback([weakHost, alive](uint32_t left, uint32_t top, uint32_t right, uint32_t bottom) {
        try {
            NPRect rect{static_cast<uint16_t>(top), static_cast<uint16_t>(left), static_cast<uint16_t>(bottom),
                static_cast<uint16_t>(right)};
            NpapiBrowserHostPtr liveHost = weakHost.lock();
            if (!liveHost || alive.expired()) return;
            if (liveHost->isMainThread()) {
                liveHost->InvalidateRect(&rect);
                return;
            }
            liveHost->mainThreadPost(
                [weakHost, alive, rect]() mutable {
                    NpapiBrowserHostPtr mainHost = weakHost.lock();
                    if (mainHost && !alive.expired()) mainHost->InvalidateRect(&rect);
                },
                liveHost);
        } catch (...) {
            // A repaint request that cannot be delivered is dropped.
        }
    });
    surface_ = std::move(made);
    pluginMain->setWindow(surface_.get());
}

void NpapiPluginWin::attachWindowed(const NPWindow& record)
{
    auto* current = dynamic_cast<PluginWindowWin*>(surface_.get());
    if (current && current->getHWND() == static_cast<HWND>(record.window)) return;
    dropSurface();
    FactoryBasePtr factory = getFactoryInstance();
    std::unique_ptr<PluginWindowWin> made(
        factory ? factory->makeWindowedWindow(static_cast<HWND>(record.window)) : nullptr);
    if (!made) return;
    made->setBrowserHWND(browserWindow());
    surface_ = std::move(made);
    pluginMain->setWindow(surface_.get());
}

int16_t NpapiPluginWin::handleEvent(void* event)
{
    auto* windowless = dynamic_cast<PluginWindowlessWin*>(surface_.get());
    if (!windowless || !event) return 0;
    const auto* record = static_cast<const NPEvent*>(event);
    if (record->event == WM_PAINT) {
        auto context = reinterpret_cast<HDC>(record->wParam);
        if (const auto* dirty = reinterpret_cast<const RECT*>(record->lParam)) {
            windowless->handleDraw(context, dirty->top, dirty->left, dirty->bottom, dirty->right);
        } else {
            const ScreenRect area = windowless->getWindowRect();
            windowless->handleDraw(context, area.top, area.left, area.bottom, area.right);
        }
        return 1;
    }
    LRESULT result = 0;
    if (!windowless->handleEvent(record->event, record->wParam, static_cast<LPARAM>(record->lParam), result)) return 0;
    // The browser takes a 16-bit answer: one that does not fit counts as not handled.
    if (result < INT16_MIN || result > INT16_MAX) return 0;
    return static_cast<int16_t>(result);
}

NpapiPluginPtr createNpapiPlugin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType)
{
    return std::make_shared<NpapiPluginWin>(host, mimeType);
}

NpapiPlugin::~NpapiPlugin()
{
    if (scriptObject_ && host_) host_->ReleaseObject(scriptObject_);
}

void NpapiPlugin::shutdown()
{
    if (!pluginMain) return;
    pluginMain->clearWindow();
    pluginMain->beforeShutdown();
}

void NpapiPlugin::init(NPMIMEType, int16_t argc, char* argn[], char* argv[])
{
    VariantDict params;
    for (int16_t i = 0; i < argc; ++i) {
        if (!argn || !argv || !argn[i] || !argv[i]) continue;  // attributes without a value are left out
        params[argn[i]] = variant(std::string(argv[i]));
    }
    if (!pluginMain) return;
    pluginMain->setParams(params);
    if (pluginMain->wantsWindowless()) {
        host_->SetValue(NPPVpluginWindowBool, reinterpret_cast<void*>(static_cast<uintptr_t>(false)));
        host_->SetValue(NPPVpluginTransparentBool, reinterpret_cast<void*>(static_cast<uintptr_t>(true)));
    }
    setReady();
}

bool NpapiPlugin::setReady()
{
    if (ready_) return false;
    ready_ = pluginMain && pluginMain->markReady();
    return ready_;
}

NPError NpapiPlugin::setWindow(NPWindow*)
{
    return NPERR_NO_ERROR;
}

// Streams are not offered here: a stream the browser starts is refused and
// data already on its way is stopped.
NPError NpapiPlugin::newStream(NPMIMEType, NPStream*, NPBool, uint16_t*)
{
    return NPERR_GENERIC_ERROR;
}
NPError NpapiPlugin::destroyStream(NPStream*, NPReason)
{
    return NPERR_NO_ERROR;
}
int32_t NpapiPlugin::writeReady(NPStream*)
{
    return -1;
}
int32_t NpapiPlugin::write(NPStream*, int32_t, int32_t, void*)
{
    return -1;
}
void NpapiPlugin::streamAsFile(NPStream*, const char*) {}
void NpapiPlugin::urlNotify(const char*, NPReason, void*) {}

void NpapiPlugin::print(NPPrint*) {}

int16_t NpapiPlugin::handleEvent(void*)
{
    return 0;
}

NPError NpapiPlugin::getValue(NPPVariable variable, void* value)
{
    switch (variable) {
    case NPPVpluginNameString:
        trace("PluginCore", "GetValue(NPPVpluginNameString)");
        *static_cast<const char**>(value) = pluginName_.c_str();
        return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
        trace("PluginCore", "GetValue(NPPVpluginDescriptionString)");
        *static_cast<const char**>(value) = pluginDescription_.c_str();
        return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject:
        trace("PluginCore", "GetValue(NPPVpluginScriptableNPObject)");
        *static_cast<NPObject**>(value) = getScriptableObject();
        return NPERR_NO_ERROR;
    default: trace("PluginCore", "GetValue(Unknown)"); return NPERR_GENERIC_ERROR;
    }
}

NPError NpapiPlugin::setValue(NPNVariable, void*)
{
    return NPERR_NO_ERROR;
}

NPObject* NpapiPlugin::getScriptableObject()
{
    if (!scriptObject_) {
        JSAPIPtr api = pluginMain ? pluginMain->scriptApiObject() : nullptr;
        if (!api) return nullptr;
        // Not through the host's wrapper cache: the instance owns this one reference.
        scriptObject_ = NPJavascriptObject::newObject(api, host_, false);
    }
    if (scriptObject_ && retainReturnedObject_) host_->RetainObject(scriptObject_);
    return scriptObject_;
}

}  // namespace Npapi
}  // namespace FB
