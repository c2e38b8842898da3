#include "NpapiPlugin.h"

#include "BrowserStreamRequest.h"
#include "FactoryBase.h"
#include "ModuleInstance.h"
#include "NPJavascriptObject.h"
#include "NpapiBrowserHost.h"
#include "NpapiStream.h"
#include "PluginCore.h"
#include "PluginWindowWin.h"
#include "PluginWindowlessWin.h"
#include "SimpleStreamHelper.h"
#include "TraceLog.h"
#include "utf8_tools.h"

#include <algorithm>
#include <exception>
#include <limits>

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
        // A destructor never throws; the browser's window outlives the surface anyway.
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
    const std::shared_ptr<PluginWindow> pinned = surface_;  // the core may end the instance on a resize
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

namespace {

// An unsigned extent of the browser's record as the surface's signed one.
int32_t signedExtent(uint32_t extent)
{
    return static_cast<int32_t>(std::min<uint32_t>(extent, std::numeric_limits<int32_t>::max()));
}

// A repaint edge as NPRect holds it: beyond its 16 bits the area ends at the last one.
uint16_t rectEdge(uint32_t edge)
{
    return static_cast<uint16_t>(std::min<uint32_t>(edge, std::numeric_limits<uint16_t>::max()));
}

void placeWindowless(PluginWindowlessWin& surface, const NPWindow& record)
{
    surface.setWindowPosition(record.x, record.y, signedExtent(record.width), signedExtent(record.height));
    surface.setWindowClipping(
        ScreenRect{record.clipRect.top, record.clipRect.left, record.clipRect.bottom, record.clipRect.right});
}

}  // namespace

void NpapiPluginWin::attachWindowless(const NPWindow& record)
{
    auto* windowless = dynamic_cast<PluginWindowlessWin*>(surface_.get());
    if (surface_ && !windowless) dropSurface();
    if (windowless) {
        placeWindowless(*windowless, record);
        return;
    }
    FactoryBasePtr factory = getFactoryInstance();
    std::shared_ptr<PluginWindowlessWin> made(factory ? factory->makeWindowlessWindow(nullptr) : nullptr);
    if (!made) return;
    made->setBrowserHWND(browserWindow());
    placeWindowless(*made, record);
    surfaceAlive_ = std::make_shared<ShareableReference<PluginWindow>>(made.get());
    std::weak_ptr<NpapiBrowserHost> weakHost = host();
    std::weak_ptr<ShareableReference<PluginWindow>> alive = surfaceAlive_;
    made->setInvalidateCallback([weakHost, alive](uint32_t left, uint32_t top, uint32_t right, uint32_t bottom) {
        try {
            NPRect rect{rectEdge(top), rectEdge(left), rectEdge(bottom), rectEdge(right)};
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
    surface_ = made;
    pluginMain->setWindow(made.get());
}

void NpapiPluginWin::attachWindowed(const NPWindow& record)
{
    if (record.type == NPWindowTypeDrawable) {
        // A device context is no window: subclassing its handle could hit an unrelated window.
        dropSurface();
        return;
    }
    auto* current = dynamic_cast<PluginWindowWin*>(surface_.get());
    if (current && current->getHWND() == static_cast<HWND>(record.window)) return;
    dropSurface();
    FactoryBasePtr factory = getFactoryInstance();
    std::shared_ptr<PluginWindowWin> made(
        factory ? factory->makeWindowedWindow(static_cast<HWND>(record.window)) : nullptr);
    if (!made) return;
    made->setBrowserHWND(browserWindow());
    surface_ = made;
    pluginMain->setWindow(made.get());
}

int16_t NpapiPluginWin::handleEvent(void* event)
{
    // The core may end the instance while it handles the event.
    const std::shared_ptr<PluginWindow> pinned = surface_;
    auto* windowless = dynamic_cast<PluginWindowlessWin*>(pinned.get());
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

// ---- streams: the browser's calls about NpapiStream objects (see NpapiStream.h)

std::shared_ptr<NpapiStream> NpapiPlugin::adoptUnsolicitedStream(NPStream* stream)
{
    if (!pluginMain) return nullptr;
    BrowserStreamRequest request(stream->url ? stream->url : "", "GET");
    if (stream->headers) request.setHeaders(stream->headers);
    pluginMain->handleUnsolicitedStream(request);
    if (!request.isAccepted()) return nullptr;
    auto adopted = std::dynamic_pointer_cast<NpapiStream>(host_->acceptUnsolicitedStream(request));
    if (!adopted) return nullptr;
    // The callback takes the stream first; without one the host attached the event handler.
    if (request.getCallback())
        SimpleStreamHelper::makeForRequest(host_, adopted, request);
    else if (!request.getEventHandler())
        trace("NpapiPlugin", "Unsolicited request accepted but no callback or sink provided");
    return adopted;
}

NPError NpapiPlugin::newStream(NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype)
{
    if (!stream) return NPERR_INVALID_PARAM;
    if (!stream->pdata && stream->notifyData) stream->pdata = stream->notifyData;
    std::shared_ptr<NpapiStream> own = NpapiStream::fromBrowser(stream->pdata);
    if (!own) {  // the browser started it (or hands back a pointer that is no live stream of ours)
        stream->pdata = nullptr;
        own = adoptUnsolicitedStream(stream);
        if (!own) return NPERR_NO_ERROR;
        stream->pdata = own.get();
    }
    own->setMimeType(type ? type : "");
    own->setStream(stream);
    own->setLength(stream->end);
    if (stream->url) own->setUrl(stream->url);
    if (stream->headers) own->setHeaders(stream->headers);
    own->setSeekableByServer(seekable != 0);
    if (own->isSeekableRequested() && !own->isSeekableByServer()) {
        // The browser will not destroy a stream it could not open.
        own->setStream(nullptr);
        stream->pdata = nullptr;
        own->signalFailedOpen();
        own->signalCompleted(false);
        own->streamDestroyed();
        return NPERR_STREAM_NOT_SEEKABLE;
    }
    if (stype) *stype = own->isSeekable() ? NP_SEEK : own->isCached() ? NP_ASFILE : NP_NORMAL;
    if (!own->isCompleted()) own->signalOpened();
    return NPERR_NO_ERROR;
}

NPError NpapiPlugin::destroyStream(NPStream* stream, NPReason reason)
{
    if (!stream) return NPERR_NO_ERROR;
    std::shared_ptr<NpapiStream> own = NpapiStream::fromBrowser(stream->pdata);
    if (!own) return NPERR_NO_ERROR;
    stream->pdata = nullptr;
    if (own->getStream() == stream) {
        own->setStream(nullptr);
        stream->notifyData = nullptr;
        if (!own->isCompleted()) own->signalCompleted(reason == NPRES_DONE);
    }
    own->streamDestroyed();
    return NPERR_NO_ERROR;
}

int32_t NpapiPlugin::writeReady(NPStream* stream)
{
    std::shared_ptr<NpapiStream> own = stream ? NpapiStream::fromBrowser(stream->pdata) : nullptr;
    if (!own) return -1;
    return static_cast<int32_t>(std::min<uint32_t>(own->getBufferSize(), std::numeric_limits<int32_t>::max()));
}

int32_t NpapiPlugin::write(NPStream* stream, int32_t offset, int32_t length, void* buffer)
{
    std::shared_ptr<NpapiStream> own = stream ? NpapiStream::fromBrowser(stream->pdata) : nullptr;
    if (!own) return -1;
    return own->signalDataArrived(buffer, length, offset);
}

void NpapiPlugin::streamAsFile(NPStream* stream, const char* fileName)
{
    std::shared_ptr<NpapiStream> own = stream ? NpapiStream::fromBrowser(stream->pdata) : nullptr;
    if (!own || !fileName) return;
    try {
        own->setCacheFileName(utf8ToWide(fileName));
    } catch (const std::exception&) {
        // A name that is not UTF-8 is no name we can open.
    }
}

void NpapiPlugin::urlNotify(const char*, NPReason reason, void* notifyData)
{
    std::shared_ptr<NpapiStream> own = NpapiStream::fromBrowser(notifyData);
    if (!own) return;
    // A request the browser never connected failed to open (and gets no destroy call).
    if (!own->wasConnected() && reason != NPRES_DONE) own->signalFailedOpen();
    own->signalCompleted(reason == NPRES_DONE);
    if (!own->wasConnected()) own->streamDestroyed();
    own->urlNotified();
}

void NpapiPlugin::print(NPPrint*) {}

int16_t NpapiPlugin::handleEvent(void*)
{
    return 0;
}

NPError NpapiPlugin::getValue(NPPVariable variable, void* value)
{
    // A null answer slot is no place to write: an access violation is no C++ exception.
    switch (variable) {
    case NPPVpluginNameString:
        trace("PluginCore", "GetValue(NPPVpluginNameString)");
        if (!value) return NPERR_INVALID_PARAM;
        *static_cast<const char**>(value) = pluginName_.c_str();
        return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
        trace("PluginCore", "GetValue(NPPVpluginDescriptionString)");
        if (!value) return NPERR_INVALID_PARAM;
        *static_cast<const char**>(value) = pluginDescription_.c_str();
        return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject:
        trace("PluginCore", "GetValue(NPPVpluginScriptableNPObject)");
        if (!value) return NPERR_INVALID_PARAM;  // before the object is made and retained for nobody
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
