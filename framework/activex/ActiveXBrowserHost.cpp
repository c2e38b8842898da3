// The ActiveX browser host: the container's objects, script, navigation, the
// message-window delivery, the page objects' COM references and the wrappers
// of the plug-in's own objects.
#include "ActiveXBrowserHost.h"

#include "AXDOM.h"
#include "ActiveXStream.h"
#include "COMJavascriptObject.h"
#include "FactoryBase.h"
#include "IDispatchAPI.h"
#include "InvalidCast.h"
#include "ScriptErrors.h"
#include "SystemProxyDetector.h"
#include "TraceLog.h"
#include "WinMessageWindow.h"
#include "dom/Node.h"
#include "utf8_tools.h"

#include <mshtml.h>

#include <vector>

namespace FB::ActiveX {

ActiveXBrowserHost::ActiveXBrowserHost(IWebBrowser2* browser, IOleClientSite* site)
    : BrowserHost([](const std::string& url, ProxySettings& settings) {
          return SystemProxyDetector::get()->detectProxy(url, settings);
      }),
      messageWindow_(std::make_unique<WinMessageWindow>())
{
    setContainer(browser, site);
}

namespace {

using RetainedObjects =
    std::map<ActiveXBrowserHost::DispatchReference*, std::shared_ptr<ActiveXBrowserHost::DispatchReference>>;

// Gives back the page's references held for script; on the main thread.
void releaseAll(RetainedObjects& objects)
{
    for (auto& [address, reference] : objects) reference->get()->Release();
    objects.clear();
}

// What a host that dies off the main thread leaves for it: the page's COM
// references and the DOM wrappers over them, released there, and the message
// window that carries them there, destroyed last.
struct MainThreadLeftovers {
    std::unique_ptr<WinMessageWindow> window;
    std::shared_ptr<DOM::Window> windowWrapper;
    std::shared_ptr<DOM::Document> documentWrapper;
    RetainedObjects retained;
    Com::ComPtr<IOleClientSite> clientSite;
    Com::ComPtr<IDispatch> htmlDocument;
    Com::ComPtr<IDispatch> htmlWindow;
    Com::ComPtr<IWebBrowser2> webBrowser;

    static void release(void* data)
    {
        std::unique_ptr<MainThreadLeftovers> leftovers(static_cast<MainThreadLeftovers*>(data));
        leftovers->windowWrapper.reset();
        leftovers->documentWrapper.reset();
        releaseAll(leftovers->retained);
        // The window goes with the rest, from inside its own delivery.
    }
};

}  // namespace

ActiveXBrowserHost::~ActiveXBrowserHost()
{
    if (isMainThread()) {
        // A host that was never shut down gives back what it still holds.
        windowWrapper_.reset();
        documentWrapper_.reset();
        releasePendingObjects();
        releaseRetainedObjects();
        return;
    }
    // COM references go back on the main thread only: hand them over through
    // the message window. Without one (the host shut down) nothing is left but
    // objects taken after the shutdown, which stay unreleased rather than being
    // released on a thread that does not own them.
    auto leftovers = std::make_unique<MainThreadLeftovers>();
    {
        std::lock_guard<std::mutex> guard(hostLock_);
        leftovers->window = std::move(messageWindow_);
    }
    if (!leftovers->window) return;
    leftovers->windowWrapper = std::move(windowWrapper_);
    leftovers->documentWrapper = std::move(documentWrapper_);
    {
        std::lock_guard<std::mutex> guard(retainedLock_);
        leftovers->retained.swap(retainedObjects_);
    }
    leftovers->clientSite = std::move(clientSite_);
    leftovers->htmlDocument = std::move(htmlDocument_);
    leftovers->htmlWindow = std::move(htmlWindow_);
    leftovers->webBrowser = std::move(webBrowser_);
    // Posted, they are the main thread's; not posted, they are kept rather than
    // released here.
    WinMessageWindow::postCall(leftovers->window->getHWND(), &MainThreadLeftovers::release, leftovers.get());
    (void)leftovers.release();
}

void ActiveXBrowserHost::setContainer(IWebBrowser2* browser, IOleClientSite* site)
{
    webBrowser_ = browser;
    clientSite_ = site;
    if (!webBrowser_ || htmlDocument_) return;
    Com::ComPtr<IDispatch> document;
    if (FAILED(webBrowser_->get_Document(document.Put())) || !document) return;
    htmlDocument_ = document;
    Com::ComPtr<IHTMLDocument2> document2 = document.Query<IHTMLDocument2>(IID_IHTMLDocument2);
    Com::ComPtr<IHTMLWindow2> window;
    if (document2 && SUCCEEDED(document2->get_parentWindow(window.Put())) && window) htmlWindow_ = window.Get();
}

// ---- page and DOM ----------------------------------------------------------------

void ActiveXBrowserHost::initDOMObjects()
{
    auto self = std::static_pointer_cast<ActiveXBrowserHost>(shared_from_this());
    if (!windowWrapper_ && htmlWindow_) windowWrapper_ = wrapWindow(IDispatchAPI::create(htmlWindow_.Get(), self));
    if (!documentWrapper_ && htmlDocument_)
        documentWrapper_ = wrapDocument(IDispatchAPI::create(htmlDocument_.Get(), self));
}

namespace {

// The page object behind a script object; empty for empty.
std::shared_ptr<IDispatchAPI> pageObjectOf(const JSObjectPtr& object)
{
    if (!object) return nullptr;
    auto page = std::dynamic_pointer_cast<IDispatchAPI>(object);
    if (!page) throw invalid_cast("This is not a valid object");
    return page;
}

template <class Wrapper>
std::shared_ptr<Wrapper> wrapPageObject(const JSObjectPtr& object, IWebBrowser2* browser)
{
    auto page = pageObjectOf(object);
    return page ? std::make_shared<Wrapper>(page, browser) : nullptr;
}

}  // namespace

std::shared_ptr<DOM::Window> ActiveXBrowserHost::wrapWindow(const JSObjectPtr& object)
{
    return wrapPageObject<AXDOM::Window>(object, webBrowser_.Get());
}

std::shared_ptr<DOM::Document> ActiveXBrowserHost::wrapDocument(const JSObjectPtr& object)
{
    return wrapPageObject<AXDOM::Document>(object, webBrowser_.Get());
}

std::shared_ptr<DOM::Element> ActiveXBrowserHost::wrapElement(const JSObjectPtr& object)
{
    return wrapPageObject<AXDOM::Element>(object, webBrowser_.Get());
}

std::shared_ptr<DOM::Node> ActiveXBrowserHost::wrapNode(const JSObjectPtr& object)
{
    return wrapPageObject<AXDOM::Node>(object, webBrowser_.Get());
}

std::shared_ptr<DOM::Window> ActiveXBrowserHost::windowObject()
{
    // A host that shut down has no page (calls it still runs then are dropped).
    if (isShutDown()) return nullptr;
    // Made when first needed, on the main thread (the wrappers' COM calls happen there).
    if (!windowWrapper_ && isMainThread()) initDOMObjects();
    return windowWrapper_;
}

std::shared_ptr<DOM::Document> ActiveXBrowserHost::documentObject()
{
    if (isShutDown()) return nullptr;
    if (!documentWrapper_ && isMainThread()) initDOMObjects();
    return documentWrapper_;
}

std::shared_ptr<DOM::Element> ActiveXBrowserHost::pluginElementObject()
{
    if (!clientSite_ || isShutDown()) return nullptr;
    Com::ComPtr<IOleControlSite> controlSite = clientSite_.Query<IOleControlSite>(IID_IOleControlSite);
    Com::ComPtr<IDispatch> extended;
    if (!controlSite || FAILED(controlSite->GetExtendedControl(extended.Put())) || !extended) return nullptr;
    Com::ComPtr<IHTMLElement2> element = extended.Query<IHTMLElement2>(IID_IHTMLElement2);
    if (!element) return nullptr;
    auto self = std::static_pointer_cast<ActiveXBrowserHost>(shared_from_this());
    return wrapElement(IDispatchAPI::create(extended.Get(), self));
}

void ActiveXBrowserHost::openUrl(const std::string& url, const std::string& target)
{
    if (!webBrowser_) return;
    Com::Bstr address(utf8ToWide(url));
    Com::Variant flags;
    Com::Variant targetName(utf8ToWide(target));
    Com::Variant postData;
    Com::Variant headers;
    webBrowser_->Navigate(address.Get(), &flags.Get(), &targetName.Get(), &postData.Get(), &headers.Get());
}

void ActiveXBrowserHost::runScript(const std::string& script)
{
    Com::ComPtr<IHTMLWindow2> window = htmlWindow_.Query<IHTMLWindow2>(IID_IHTMLWindow2);
    if (!window) throw script_error("Can't execute JavaScript: Window is NULL");
    Com::Bstr code(utf8ToWide(script));
    Com::Bstr language(L"javascript");
    Com::Variant result;
    if (FAILED(window->execScript(code.Get(), language.Get(), result.Put())))
        throw script_error("Error executing JavaScript code");
}

std::shared_ptr<BrowserStream> ActiveXBrowserHost::openBrowserStream(const BrowserStreamRequest& request)
{
    if (isShutDown()) return nullptr;
    return ActiveXStream::open(request);
}

// ---- main thread ---------------------------------------------------------------------

bool ActiveXBrowserHost::postToMainThread(QueuedFunction function, void* data)
{
    std::lock_guard<std::mutex> guard(hostLock_);
    if (isShutDown() || !messageWindow_) return false;
    trace("ActiveXHost", "Scheduling async call for main thread");
    return WinMessageWindow::postCall(messageWindow_->getHWND(), function, data);
}

void ActiveXBrowserHost::shutDownHost()
{
    if (shutDownStarted_.exchange(true)) return;
    // The window goes first, so that later posts answer false. The calls still
    // queued in it are taken along: the base's shutdown below runs (cancels)
    // them, and their records are freed once that is done.
    std::unique_ptr<WinMessageWindow> window;
    {
        std::lock_guard<std::mutex> guard(hostLock_);
        window = std::move(messageWindow_);
    }
    WinMessageWindow::PostedCalls queued = window ? window->takePostedCalls() : WinMessageWindow::PostedCalls();
    window.reset();
    releaseRetainedObjects();
    BrowserHost::shutDownHost();
    releaseBrowserObjects();
}

// ---- page objects --------------------------------------------------------------------

std::shared_ptr<ActiveXBrowserHost::DispatchReference> ActiveXBrowserHost::getShareableReference(IDispatch* object)
{
    if (!object) throw script_error("Invalid page object");
    auto reference = std::make_shared<DispatchReference>(object);
    std::lock_guard<std::mutex> guard(retainedLock_);
    retainedObjects_.emplace(reference.get(), reference);
    object->AddRef();
    return reference;
}

void ActiveXBrowserHost::deferRelease(const std::weak_ptr<DispatchReference>& reference)
{
    deferredReleases_.push(reference);
    if (isMainThread()) releasePendingObjects();
}

void ActiveXBrowserHost::releasePendingObjects()
{
    if (!isMainThread()) return;  // COM references go back on the main thread only
    std::weak_ptr<DispatchReference> handle;
    while (deferredReleases_.pop(handle)) {
        std::shared_ptr<DispatchReference> reference = handle.lock();
        if (!reference) continue;
        bool retained;
        {
            std::lock_guard<std::mutex> guard(retainedLock_);
            retained = retainedObjects_.erase(reference.get()) == 1;
        }
        // Outside the locks: a page object's release may call back into the host.
        if (retained) reference->get()->Release();
    }
    wrapperCache_.sweep();
}

void ActiveXBrowserHost::releaseRetainedObjects()
{
    RetainedObjects released;
    {
        std::lock_guard<std::mutex> guard(retainedLock_);
        released.swap(retainedObjects_);
    }
    releaseAll(released);
}

void ActiveXBrowserHost::releaseBrowserObjects()
{
    windowWrapper_.reset();
    documentWrapper_.reset();
    webBrowser_ = nullptr;
    clientSite_ = nullptr;
    htmlDocument_ = nullptr;
    htmlWindow_ = nullptr;
    releasePendingObjects();
}

size_t ActiveXBrowserHost::retainedObjectCount() const
{
    std::lock_guard<std::mutex> guard(retainedLock_);
    return retainedObjects_.size();
}

IDispatchEx* ActiveXBrowserHost::getJSAPIWrapper(const JSAPIPtr& api, bool autoRelease)
{
    if (!api) return nullptr;
    if (IDispatchEx* live = wrapperCache_.find(api, [](auto&) {})) {
        live->AddRef();
        return live;
    }
    FactoryBasePtr factory = getFactoryInstance();
    if (!factory) return nullptr;
    auto self = std::static_pointer_cast<ActiveXBrowserHost>(shared_from_this());
    IDispatchEx* made = factory->makeComScriptObject(api, self, autoRelease);
    if (!made) return nullptr;
    if (COMJavascriptObject* object = COMJavascriptObject::fromDispatch(made))
        wrapperCache_.store(api, object->getWeakReference());
    return made;
}

}  // namespace FB::ActiveX
