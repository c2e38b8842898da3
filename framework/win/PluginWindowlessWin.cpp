#include "PluginWindowlessWin.h"

#include "PluginEvents.h"
#include "WindowInput.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace FB {

namespace {

const wchar_t kDefaultText[] = L"FrameBase Plugin";
constexpr UINT kCentredOnBaseline = TA_CENTER | TA_BASELINE;  // 30

// a + b, ending at the edge of the 32-bit range instead of wrapping past it.
int32_t saturatedSum(int64_t a, int64_t b)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(a + b, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

PluginWindowlessWin::PluginWindowlessWin(HDC context) : context_(context) {}

PluginWindowlessWin::~PluginWindowlessWin() = default;

PluginWindowlessWin* newPluginWindowlessWin(HDC context)
{
    return new PluginWindowlessWin(context);
}

void PluginWindowlessWin::invalidateWindow()
{
    if (invalidate_) invalidate_(0, 0, static_cast<uint32_t>(width_.load()), static_cast<uint32_t>(height_.load()));
}

ScreenRect PluginWindowlessWin::getWindowRect()
{
    const int32_t width = width_.load();
    const int32_t height = height_.load();
    return ScreenRect{y_, x_, saturatedSum(y_, height), saturatedSum(x_, width)};
}

int PluginWindowlessWin::getWindowWidth()
{
    return width_.load();
}

int PluginWindowlessWin::getWindowHeight()
{
    return height_.load();
}

ScreenRect PluginWindowlessWin::getWindowClipping()
{
    return clip_;
}

void PluginWindowlessWin::setWindowPosition(int32_t x, int32_t y, int32_t width, int32_t height)
{
    // A negative extent is an empty area.
    width = std::max(width, 0);
    height = std::max(height, 0);
    const bool changed = x != x_ || y != y_ || width != width_.load() || height != height_.load();
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
    if (!changed) return;
    ResizedEvent resized;
    detail::dispatchCaught(*this, resized);
}

void PluginWindowlessWin::setInvalidateCallback(InvalidateCallback callback)
{
    invalidate_ = std::move(callback);
}

bool PluginWindowlessWin::handleDraw(HDC context, int32_t top, int32_t left, int32_t bottom, int32_t right)
{
    if (context != context_) context_ = context;
    RefreshEvent refresh(top, left, bottom, right);
    if (!detail::dispatchCaught(*this, refresh)) drawDefault(context);
    return true;
}

void PluginWindowlessWin::drawDefault(HDC context)
{
    const ScreenRect area = getWindowRect();
    // The context is the browser's: leave its text alignment as it was.
    const UINT previousAlign = SetTextAlign(context, kCentredOnBaseline);
    // The centre lies between the edges; the distance between them may not fit 32 bits.
    const int32_t centreX = saturatedSum(area.left, (int64_t{area.right} - area.left) / 2);
    const int32_t centreY = saturatedSum(area.top, (int64_t{area.bottom} - area.top) / 2);
    TextOutW(context, centreX, centreY, kDefaultText, static_cast<int>(std::size(kDefaultText) - 1));
    if (previousAlign != GDI_ERROR) SetTextAlign(context, previousAlign);
}

bool PluginWindowlessWin::handleEvent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (detail::dispatchRaw(*this, nullptr, message, wParam, lParam, result)) return true;
    const int x = saturatedSum(detail::messagePointX(lParam), -int64_t{x_});
    const int y = saturatedSum(detail::messagePointY(lParam), -int64_t{y_});
    // Double clicks, the wheel, timers and the cursor are not translated here.
    return detail::dispatchKeyOrMouse(*this, message, wParam, x, y).value_or(false);
}

}  // namespace FB
