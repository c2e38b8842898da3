// The plug-in windows in the test browser's window (under Xvfb), read back
// from the screen: npparvelplugin.dll, which always asks for a window, shows
// its child window at its place; a windowless instance of the same framework
// (linked into this program, its core asking for no window) draws
// "FrameBase Plugin" centred in its area of the browser window. With PLUGIN_WINDOW_SCREENSHOTS set to a folder, both pictures are
// also written there as windowless.bmp and windowed.bmp (see
// scripts/plugin-window-screenshot).
#include "BrowserWindows.h"
#include "FactoryBase.h"
#include "JSAPIAuto.h"
#include "NpapiEntryPoints.h"
#include "PluginCore.h"
#include "ScriptPage.h"
#include "StrevoControl.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using TestBrowser::Browser;
using ::testing::IsEmpty;

namespace {

std::wstring besideThisProgram(const wchar_t* file)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + file;
}

// The screen's top-left width x height pixels, as 0x00RRGGBB, top row first.
class ScreenPicture {
public:
    ScreenPicture(int width, int height) : width(width), height(height), pixels(size_t(width) * height)
    {
        BITMAPINFO info = header();
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        std::memcpy(pixels.data(), bits, pixels.size() * 4);
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x] & 0xFFFFFF; }
    // Pixels in [left, right) x [top, bottom) whose colour differs from `colour`.
    int differing(int left, int top, int right, int bottom, uint32_t colour) const
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) count += at(x, y) != colour;
        return count;
    }
    // As a 32-bit top-down BMP file.
    bool write(const std::string& path) const
    {
        BITMAPINFO info = header();
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size() * 4);
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out) return false;
        bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
            std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
            std::fwrite(pixels.data(), 4, pixels.size(), out) == pixels.size();
        return std::fclose(out) == 0 && written;
    }

    const int width, height;

private:
    BITMAPINFO header() const
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        return info;
    }
    std::vector<uint32_t> pixels;
};

constexpr uint32_t kWhite = 0xFFFFFF;
// A COLORREF as the screen picture holds it (0x00RRGGBB).
constexpr uint32_t pixelOf(COLORREF colour)
{
    return (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
}
constexpr uint32_t kChild = pixelOf(TestBrowser::Windows::kChildColour);
constexpr uint32_t kFrame = pixelOf(TestBrowser::Windows::kFrameColour);
// The plug-in's area in the browser window (whose client area is at the screen's top left).
constexpr int kLeft = 160, kTop = 120, kWidth = 320, kHeight = 160;

// The framework's NPAPI road linked into this program, with a core that asks for
// what its "windowless" parameter says (the library's own core always asks
// for a window).
class ParameterCore : public FB::PluginCore {
public:
    bool onPluginEvent(FB::PluginEvent*, FB::PluginEventSource*) override { return false; }
    std::shared_ptr<FB::JSAPI> makeScriptApi() override { return std::make_shared<FB::JSAPIAuto>(); }
};

class ParameterCoreFactory : public FB::FactoryBase {
public:
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string&) override
    {
        return std::make_shared<ParameterCore>();
    }
};

NPError NP_EXPORT_CALL linkedEntryPoints(NPPluginFuncs* funcs)
{
    return FB::Npapi::getEntryPoints(funcs);
}
NPError NP_EXPORT_CALL linkedInitialize(NPNetscapeFuncs* funcs)
{
    return FB::Npapi::initialize(funcs);
}
NPError NP_EXPORT_CALL linkedShutdown()
{
    return FB::Npapi::shutdown();
}

class PluginWindowPicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        strevo_test::reset();
        ASSERT_NE(browser.windows().browserWindow(), nullptr) << "no display?";
    }
    void TearDown() override
    {
        browser.shutdownPlugin();
        EXPECT_THAT(browser.problems(), IsEmpty());
        EXPECT_EQ(browser.liveObjects(), 0u);
    }
    // Lets every window paint, then reads the browser window's area of the screen.
    ScreenPicture picture(const char* name)
    {
        for (int i = 0; i < 5; ++i) {
            RedrawWindow(browser.windows().browserWindow(), nullptr, nullptr,
                RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            browser.pump();
            Sleep(20);
        }
        ScreenPicture taken(TestBrowser::Windows::kBrowserWidth, TestBrowser::Windows::kBrowserHeight);
        if (const char* folder = std::getenv("PLUGIN_WINDOW_SCREENSHOTS")) {
            EXPECT_TRUE(taken.write(std::string(folder) + "\\" + name + ".bmp")) << "cannot write " << name;
        }
        return taken;
    }

    Browser browser;
};

TEST_F(PluginWindowPicture, AWindowlessInstanceDrawsItsNameCentredInItsArea)
{
    ASSERT_TRUE(browser.usePlugin(linkedEntryPoints, linkedInitialize, linkedShutdown));
    TestBrowser::Instance* embed =
        browser.createInstance("plugin", "application/x-window-picture", {{"windowless", "true"}});
    ASSERT_NE(embed, nullptr);
    EXPECT_FALSE(embed->windowed);
    EXPECT_TRUE(embed->transparent);
    ASSERT_EQ(browser.windows().setWindowless(embed, nullptr, kLeft, kTop, kWidth, kHeight), NPERR_NO_ERROR);
    ScreenPicture shot = picture("windowless");

    // Text around the area's centre, balanced left and right of it; white
    // elsewhere in the area and outside the browser's frame around it.
    const int centreX = kLeft + kWidth / 2, centreY = kTop + kHeight / 2;
    const int left = shot.differing(kLeft, centreY - 20, centreX, centreY + 6, kWhite);
    const int right = shot.differing(centreX, centreY - 20, kLeft + kWidth, centreY + 6, kWhite);
    EXPECT_GT(left, 30);
    EXPECT_GT(right, 30);
    EXPECT_LT(std::abs(left - right), (left + right) / 2);
    EXPECT_EQ(shot.differing(kLeft, kTop, kLeft + kWidth, centreY - 20, kWhite), 0);
    EXPECT_EQ(shot.differing(kLeft, centreY + 6, kLeft + kWidth, kTop + kHeight, kWhite), 0);
    EXPECT_EQ(shot.differing(0, 0, shot.width, kTop - 1, kWhite), 0);
    EXPECT_EQ(shot.differing(0, kTop + kHeight + 1, shot.width, shot.height, kWhite), 0);
    EXPECT_EQ(shot.differing(kLeft - 1, kTop - 1, kLeft, kTop + kHeight + 1, kFrame), 0);
}

TEST_F(PluginWindowPicture, TheLibraryShowsItsChildWindowAtItsPlace)
{
    ASSERT_TRUE(browser.loadPlugin(besideThisProgram(L"npparvelplugin.dll")));
    // The library always asks for a window, whatever the page says.
    TestBrowser::Instance* embed =
        browser.createInstance("plugin", "application/x-parvelplugin", {{"windowless", "true"}});
    ASSERT_NE(embed, nullptr);
    EXPECT_TRUE(embed->windowed);
    ASSERT_EQ(browser.windows().setWindowed(embed, kLeft, kTop, kWidth, kHeight), NPERR_NO_ERROR);
    ScreenPicture shot = picture("windowed");

    EXPECT_EQ(shot.differing(kLeft, kTop, kLeft + kWidth, kTop + kHeight, kChild), 0);
    EXPECT_EQ(shot.differing(0, 0, shot.width, kTop, kWhite), 0);
    EXPECT_EQ(shot.differing(0, kTop + kHeight, shot.width, shot.height, kWhite), 0);
    EXPECT_EQ(shot.differing(0, kTop, kLeft, kTop + kHeight, kWhite), 0);
    EXPECT_EQ(shot.differing(kLeft + kWidth, kTop, shot.width, kTop + kHeight, kWhite), 0);
}

}  // namespace

FB::FactoryBasePtr FB::getFactoryInstance()
{
    static FB::FactoryBasePtr factory = std::make_shared<ParameterCoreFactory>();
    return factory;
}
