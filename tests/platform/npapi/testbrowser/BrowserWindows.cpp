// The browser window, the instances' child windows and the windowless records.
#include "BrowserWindows.h"

#include "TestBrowser.h"
#include "WindowClass.h"

namespace TestBrowser {

namespace {

const wchar_t kBrowserClass[] = L"TestBrowserWindow";
const wchar_t kChildClass[] = L"TestBrowserPluginChild";

// The browser window outlives its browser and serves the next one: destroying a
// shown top-level window costs Wine seconds under an X server without a window
// manager. It goes when the process ends.
HWND sharedBrowserWindow = nullptr;

HINSTANCE programInstance()
{
    return GetModuleHandleW(nullptr);
}

void registerClasses(WNDPROC browserProc)
{
    static bool registered = false;
    if (registered) return;
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    test_support::registerWindowClass(kBrowserClass, browserProc, {.cursor = arrow});
    test_support::registerWindowClass(kChildClass, DefWindowProcW,
        {.style = CS_DBLCLKS, .background = CreateSolidBrush(Windows::kChildColour), .cursor = arrow});
    registered = true;
}

}  // namespace

Windows::Windows(Browser& browser) : browser_(browser), frameBrush_(CreateSolidBrush(kFrameColour)) {}

Windows::~Windows()
{
    for (auto& [instance, placement] : placements_)
        if (placement.child) DestroyWindow(placement.child);
    placements_.clear();
    DeleteObject(frameBrush_);
    if (!browserWindow_) return;
    SetWindowLongPtrW(browserWindow_, GWLP_USERDATA, 0);
    InvalidateRect(browserWindow_, nullptr, TRUE);
}

HWND Windows::browserWindow()
{
    if (browserWindow_) return browserWindow_;
    if (!sharedBrowserWindow) {
        registerClasses(&Windows::browserWindowProc);
        RECT frame{0, 0, kBrowserWidth, kBrowserHeight};
        const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        AdjustWindowRect(&frame, style, FALSE);
        sharedBrowserWindow = CreateWindowExW(0, kBrowserClass, L"Test browser", style, 0, 0, frame.right - frame.left,
            frame.bottom - frame.top, nullptr, nullptr, programInstance(), nullptr);
        if (!sharedBrowserWindow) return nullptr;
        // The client area at the screen's top left: browser and screen coordinates are the same.
        POINT origin{0, 0};
        ClientToScreen(sharedBrowserWindow, &origin);
        SetWindowPos(sharedBrowserWindow, HWND_TOP, -origin.x, -origin.y, 0, 0, SWP_NOSIZE);
        ShowWindow(sharedBrowserWindow, SW_SHOW);
    }
    browserWindow_ = sharedBrowserWindow;
    SetWindowLongPtrW(browserWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetForegroundWindow(browserWindow_);
    InvalidateRect(browserWindow_, nullptr, TRUE);
    UpdateWindow(browserWindow_);
    return browserWindow_;
}

HWND Windows::netscapeWindow() const
{
    return browserWindow_ ? browserWindow_ : GetDesktopWindow();
}

NPError Windows::handOver(Instance* instance, NPWindow* record)
{
    const NPPluginFuncs& funcs = browser_.pluginFuncs();
    return funcs.setwindow ? funcs.setwindow(&instance->npp, record) : NPERR_INVALID_FUNCTABLE_ERROR;
}

NPError Windows::setWindowed(Instance* instance, int x, int y, int width, int height, bool newChild)
{
    HWND parent = browserWindow();
    if (!parent) {
        browser_.problem("no browser window (is there a display?)");
        return NPERR_GENERIC_ERROR;
    }
    Placement& placement = placements_[instance];
    if (placement.child && newChild) {
        DestroyWindow(placement.child);
        placement.child = nullptr;
    }
    if (!placement.child) {
        placement.child = CreateWindowExW(0, kChildClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width,
            height, parent, nullptr, programInstance(), nullptr);
    } else {
        MoveWindow(placement.child, x, y, width, height, TRUE);
    }
    placement.windowless = false;
    placement.record = NPWindow{};
    placement.record.window = placement.child;
    placement.record.x = x;
    placement.record.y = y;
    placement.record.width = static_cast<uint32_t>(width);
    placement.record.height = static_cast<uint32_t>(height);
    placement.record.clipRect = {0, 0, static_cast<uint16_t>(height), static_cast<uint16_t>(width)};
    placement.record.type = NPWindowTypeWindow;
    NPWindow handed = placement.record;
    return handOver(instance, &handed);
}

HWND Windows::childOf(const Instance* instance) const
{
    auto found = placements_.find(instance);
    return found == placements_.end() ? nullptr : found->second.child;
}

NPError Windows::setWindowless(Instance* instance, HDC context, int x, int y, int width, int height)
{
    Placement& placement = placements_[instance];
    placement.windowless = true;
    placement.record = NPWindow{};
    placement.record.window = context;
    placement.record.x = x;
    placement.record.y = y;
    placement.record.width = static_cast<uint32_t>(width);
    placement.record.height = static_cast<uint32_t>(height);
    placement.record.clipRect = {static_cast<uint16_t>(y), static_cast<uint16_t>(x), static_cast<uint16_t>(y + height),
        static_cast<uint16_t>(x + width)};
    placement.record.type = NPWindowTypeDrawable;
    NPWindow handed = placement.record;
    NPError answer = handOver(instance, &handed);
    if (browserWindow_) InvalidateRect(browserWindow_, nullptr, TRUE);
    return answer;
}

NPError Windows::setWindowRecord(Instance* instance, NPWindow* record)
{
    Placement& placement = placements_[instance];
    placement.windowless = record && record->type == NPWindowTypeDrawable;
    placement.record = record ? *record : NPWindow{};
    return handOver(instance, record);
}

int16_t Windows::sendEvent(Instance* instance, UINT message, WPARAM wParam, LPARAM lParam)
{
    const NPPluginFuncs& funcs = browser_.pluginFuncs();
    if (!funcs.event) return 0;
    NPEvent event{static_cast<uint16_t>(message), static_cast<uintptr_t>(wParam), static_cast<uintptr_t>(lParam)};
    return funcs.event(&instance->npp, &event);
}

int16_t Windows::paint(Instance* instance, HDC context, const RECT* area)
{
    return sendEvent(instance, WM_PAINT, reinterpret_cast<WPARAM>(context), reinterpret_cast<LPARAM>(area));
}

void Windows::paintBrowserWindow(HWND window)
{
    PAINTSTRUCT paintStruct;
    HDC context = BeginPaint(window, &paintStruct);
    FillRect(context, &paintStruct.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (auto& [instance, placement] : placements_) {
        if (!placement.windowless || instance->destroyed) continue;
        const NPWindow& record = placement.record;
        RECT area{record.x, record.y, record.x + static_cast<LONG>(record.width),
            record.y + static_cast<LONG>(record.height)};
        // A frame just outside the area shows where the plug-in may draw.
        RECT frame = area;
        InflateRect(&frame, 1, 1);
        FrameRect(context, &frame, frameBrush_);
        paint(const_cast<Instance*>(instance), context, &area);
    }
    EndPaint(window, &paintStruct);
}

LRESULT CALLBACK Windows::browserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Windows*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_PAINT) {
        self->paintBrowserWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Windows::recordInvalidation(NPP instance, const NPRect* rect, bool onMainThread)
{
    if (!rect) return;
    {
        std::lock_guard<std::mutex> guard(invalidationsLock_);
        invalidations_.push_back({instance, *rect, GetCurrentThreadId(), onMainThread});
    }
    if (!onMainThread || !browserWindow_) return;
    for (auto& [owner, placement] : placements_) {
        if (&owner->npp != instance || !placement.windowless) continue;
        // The rectangle is relative to the drawing area.
        RECT dirty{placement.record.x + rect->left, placement.record.y + rect->top, placement.record.x + rect->right,
            placement.record.y + rect->bottom};
        InvalidateRect(browserWindow_, &dirty, FALSE);
    }
}

std::vector<Windows::Invalidation> Windows::invalidations() const
{
    std::lock_guard<std::mutex> guard(invalidationsLock_);
    return invalidations_;
}

void Windows::clearInvalidations()
{
    std::lock_guard<std::mutex> guard(invalidationsLock_);
    invalidations_.clear();
}

void Windows::forget(const Instance* instance)
{
    auto found = placements_.find(instance);
    if (found == placements_.end()) return;
    if (found->second.child) DestroyWindow(found->second.child);
    placements_.erase(found);
    if (browserWindow_) InvalidateRect(browserWindow_, nullptr, TRUE);
}

}  // namespace TestBrowser
