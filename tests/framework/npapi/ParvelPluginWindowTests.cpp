// The plug-in windows in the test browser's window (under Xvfb), read back
// from the screen: npparvelplugin.dll, which always asks for a window, shows
// its child window at its place; a windowless instance of the same framework
// (linked into this program, its core asking for no window) draws
// "FrameBase Plugin" centred in its area of the browser window. With PLUGIN_WINDOW_SCREENSHOTS set to a folder, both pictures are
// also written there as windowless.bmp and windowed.bmp (see
// scripts/plugin-window-screenshot).
#include "BrowserWindows.h"
#include "BrowserRoads.h"
#include "JSAPIAuto.h"
#include "LinkedPlugin.h"
#include "MemoryCanvas.h"
#include "PluginCore.h"
#include "ProgramPath.h"
#include "ScriptPage.h"
#include "StrevoControl.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

using TestBrowser::Browser;
using ::testing::IsEmpty;

namespace {

constexpr uint32_t kWhite = MemoryCanvas::kWhite;
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
    ParameterCoreFactory() : FB::FactoryBase(FB::browserRoads()) {}
    std::shared_ptr<FB::PluginCore> makePluginCore(const std::string&) override
    {
        return std::make_shared<ParameterCore>();
    }
};

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
    // Lets every window paint, then copies the browser window's area of the screen.
    void takePicture(MemoryCanvas& shot, const char* name)
    {
        for (int i = 0; i < 5; ++i) {
            RedrawWindow(browser.windows().browserWindow(), nullptr, nullptr,
                RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            browser.pump();
            Sleep(20);
        }
        shot.copyScreen();
        if (const char* folder = std::getenv("PLUGIN_WINDOW_SCREENSHOTS")) {
            EXPECT_TRUE(shot.writeBmp(std::string(folder) + "\\" + name + ".bmp")) << "cannot write " << name;
        }
    }

    Browser browser;
};

TEST_F(PluginWindowPicture, AWindowlessInstanceDrawsItsNameCentredInItsArea)
{
    ASSERT_TRUE(browser.usePlugin(linkedPlugin::entryPoints, linkedPlugin::initialize, linkedPlugin::shutdown));
    TestBrowser::Instance* embed =
        browser.createInstance("plugin", "application/x-window-picture", {{"windowless", "true"}});
    ASSERT_NE(embed, nullptr);
    EXPECT_FALSE(embed->windowed);
    EXPECT_TRUE(embed->transparent);
    ASSERT_EQ(browser.windows().setWindowless(embed, nullptr, kLeft, kTop, kWidth, kHeight), NPERR_NO_ERROR);
    MemoryCanvas shot(TestBrowser::Windows::kBrowserWidth, TestBrowser::Windows::kBrowserHeight);
    takePicture(shot, "windowless");

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
    ASSERT_TRUE(browser.loadPlugin(test_support::besideThisProgram(L"npparvelplugin.dll")));
    // The library always asks for a window, whatever the page says.
    TestBrowser::Instance* embed =
        browser.createInstance("plugin", "application/x-parvelplugin", {{"windowless", "true"}});
    ASSERT_NE(embed, nullptr);
    EXPECT_TRUE(embed->windowed);
    ASSERT_EQ(browser.windows().setWindowed(embed, kLeft, kTop, kWidth, kHeight), NPERR_NO_ERROR);
    MemoryCanvas shot(TestBrowser::Windows::kBrowserWidth, TestBrowser::Windows::kBrowserHeight);
    takePicture(shot, "windowed");

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
