// npparvelplugin.dll under browsers that call its NPAPI entry points out of the
// usual order or with an older table: a plug-in table shorter than today's, a
// second NPP_New on a live instance, and instances that outlive NP_Shutdown.
// The program runs with Wine's heap checks (see CMakeLists.txt): freed memory
// is overwritten, so a use after free fails at once instead of reading stale
// bytes that still look right.
#include "CleanShutdown.h"
#include "ModuleExport.h"
#include "ProgramPath.h"
#include "ScriptPage.h"
#include "StrevoControl.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

using TestBrowser::Browser;

namespace {

using test_support::besideThisProgram;

const char* const kMime = "application/x-parvelplugin";

// ---- a browser of older NPAPI versions: the table it hands over ends early -----------------

struct ShortTable {
    const char* name;
    size_t size;    // the table's size field
    size_t filled;  // the handlers that fit in it, from newp on
};

class ShortPluginTable : public ::testing::TestWithParam<ShortTable> {};

TEST_P(ShortPluginTable, GetsOnlyTheHandlersItsSizeCovers)
{
    const ShortTable& c = GetParam();
    HMODULE library = LoadLibraryW(besideThisProgram(L"npparvelplugin.dll").c_str());
    ASSERT_NE(library, nullptr);
    auto getEntryPoints = moduleExport<NP_GetEntryPointsFunc>(library, "NP_GetEntryPoints");
    auto shutdown = moduleExport<NP_ShutdownFunc>(library, "NP_Shutdown");
    ASSERT_TRUE(getEntryPoints && shutdown);

    std::vector<unsigned char> bytes(sizeof(NPPluginFuncs) + 16, Browser::kPoison);
    auto* table = reinterpret_cast<NPPluginFuncs*>(bytes.data());
    table->size = static_cast<uint16_t>(c.size);
    table->version = 0;
    EXPECT_EQ(getEntryPoints(table), NPERR_NO_ERROR);

    void* const* handlers = reinterpret_cast<void* const*>(bytes.data() + offsetof(NPPluginFuncs, newp));
    for (size_t i = 0; i < c.filled; ++i) EXPECT_NE(handlers[i], nullptr) << "handler " << i;
    for (size_t at = c.size; at < bytes.size(); ++at)
        ASSERT_EQ(bytes[at], Browser::kPoison) << "byte " << at << " past the table was written";
    EXPECT_EQ(shutdown(), NPERR_NO_ERROR);
    FreeLibrary(library);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ShortPluginTable,
    ::testing::Values(ShortTable{"ends_after_urlnotify", NPP_ENTRY_END(urlnotify), 11},
        ShortTable{"ends_after_getvalue", NPP_ENTRY_END(getvalue), 11},
        ShortTable{"ends_after_newp", NPP_ENTRY_END(newp), 1}, ShortTable{"header_only", 4, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- a browser that calls the instance entries out of order ---------------------------------

class OddBrowser : public ::testing::Test {
protected:
    void SetUp() override
    {
        strevo_test::reset();
        browser = std::make_unique<Browser>();
        ASSERT_TRUE(browser->loadPlugin(besideThisProgram(L"npparvelplugin.dll")));
        embed = browser->createInstance("plugin", kMime, {});
        ASSERT_NE(embed, nullptr);
    }
    void TearDown() override
    {
        expectCleanShutdown(*browser);
        browser.reset();
    }
    std::wstring text(const std::wstring& expression) { return browser->page().text(expression); }
    NPError newOn(NPP instance)
    {
        char mime[] = "application/x-parvelplugin";
        return browser->pluginFuncs().newp(mime, instance, NP_EMBED, 0, nullptr, nullptr, nullptr);
    }
    // The browser's own NP_Shutdown, without destroying the instances first.
    NPError shutdownNow()
    {
        auto shutdown = moduleExport<NP_ShutdownFunc>(GetModuleHandleW(L"npparvelplugin.dll"), "NP_Shutdown");
        return shutdown ? shutdown() : NPERR_GENERIC_ERROR;
    }
    bool readyAnswers()
    {
        browser->page().run(L"window.ready = undefined; plugin.ISready(function (r) { window.ready = r; });");
        return browser->pumpUntil([&] { return text(L"String(window.ready)") == L"ready"; });
    }

    std::unique_ptr<Browser> browser;
    TestBrowser::Instance* embed = nullptr;
};

// A second NPP_New on a live instance is refused; the first instance goes on
// and is ended by its own NPP_Destroy.
TEST_F(OddBrowser, SecondNewOnALiveInstanceIsRefusedAndTheFirstGoesOn)
{
    void* const data = embed->npp.pdata;
    EXPECT_EQ(newOn(&embed->npp), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(embed->npp.pdata, data);
    EXPECT_EQ(strevo_test::command("engines"), "1");
    EXPECT_EQ(text(L"plugin.version"), L"1.0.0.0");
    EXPECT_TRUE(readyAnswers());
    EXPECT_EQ(browser->destroyInstance(embed), NPERR_NO_ERROR);
    EXPECT_EQ(strevo_test::command("engines"), "0");
}

TEST_F(OddBrowser, InstancesOutliveShutdownAndALaterInitialisation)
{
    ASSERT_TRUE(readyAnswers());
    EXPECT_EQ(shutdownNow(), NPERR_NO_ERROR);

    // The instance still answers the browser and its page.
    NPObject* scriptable = nullptr;
    ASSERT_EQ(browser->pluginFuncs().getvalue(&embed->npp, NPPVpluginScriptableNPObject, &scriptable), NPERR_NO_ERROR);
    EXPECT_EQ(scriptable, embed->scriptable);
    browser->table()->releaseobject(scriptable);
    EXPECT_EQ(text(L"plugin.version"), L"1.0.0.0");
    EXPECT_TRUE(readyAnswers());

    // A later initialisation makes a new module; both instances live side by side.
    ASSERT_EQ(browser->initializePlugin(), NPERR_NO_ERROR);
    TestBrowser::Instance* second = browser->createInstance("second", kMime, {});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(text(L"second.version"), L"1.0.0.0");
    EXPECT_EQ(browser->destroyInstance(embed), NPERR_NO_ERROR);
    EXPECT_EQ(text(L"second.version"), L"1.0.0.0");
    EXPECT_EQ(strevo_test::command("engines"), "1");
}

}  // namespace
