// The module: which browser entries the table copy takes by version and size,
// the defaults of the instance-less wrappers, and the registry's life cycle.
#include "NpapiBrowserFuncs.h"
#include "NpapiPluginModule.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using FB::Npapi::NpapiPluginModule;

namespace {

// ---- the table copy ----------------------------------------------------------

struct CopyCase {
    const char* name;
    uint16_t version;
    uint16_t size;  // 0: the full table
    bool popups, enumerate, asyncCall, urlValues, timers, construct;
};

class BrowserFuncsCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(BrowserFuncsCopy, TakesTheEntriesThatVersionAndSizeCarry)
{
    const CopyCase& c = GetParam();
    TestBrowser::Config config;
    config.version = c.version;
    config.size = c.size ? c.size : sizeof(NPNetscapeFuncs);
    TestBrowser::Browser browser(config);
    NPNetscapeFuncs copy;
    std::memset(&copy, 0, sizeof copy);
    copy.getJavaEnv = reinterpret_cast<NPN_GetJavaEnvProcPtr>(0x1234);  // never overwritten
    FB::Npapi::copyBrowserFuncs(browser.table(), &copy);

    const NPNetscapeFuncs& full = browser.runtime();
    EXPECT_EQ(copy.version, c.version);
    EXPECT_EQ(copy.size, config.size);
    EXPECT_EQ(copy.geturl, full.geturl);
    EXPECT_EQ(copy.setexception, full.setexception);
    EXPECT_EQ(copy.getJavaEnv, reinterpret_cast<NPN_GetJavaEnvProcPtr>(0x1234));
    EXPECT_EQ(copy.getJavaPeer, nullptr);
    EXPECT_EQ(copy.pushpopupsenabledstate != nullptr, c.popups);
    EXPECT_EQ(copy.poppopupsenabledstate != nullptr, c.popups);
    EXPECT_EQ(copy.enumerate != nullptr, c.enumerate);
    EXPECT_EQ(copy.pluginthreadasynccall != nullptr, c.asyncCall);
    EXPECT_EQ(copy.construct != nullptr, c.construct);
    EXPECT_EQ(copy.getvalueforurl != nullptr, c.urlValues);
    EXPECT_EQ(copy.getauthenticationinfo != nullptr, c.urlValues);
    EXPECT_EQ(copy.scheduletimer != nullptr, c.timers);
    EXPECT_EQ(copy.unscheduletimer != nullptr, c.timers);
    EXPECT_EQ(copy.popupcontextmenu, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Tables, BrowserFuncsCopy,
    ::testing::Values(CopyCase{"v15", 15, 0, false, false, false, false, false, true},
        CopyCase{"v16", 16, 0, true, false, false, false, false, true},
        CopyCase{"v18", 18, 0, true, true, false, false, false, true},
        CopyCase{"v19", 19, 0, true, true, true, false, false, true},
        CopyCase{"v21", 21, 0, true, true, true, true, false, true},
        CopyCase{"v27", 27, 0, true, true, true, true, true, true},
        // A table shorter than it claims: nothing past its size is read (it is poisoned).
        CopyCase{"v27_ending_before_async", 27, offsetof(NPNetscapeFuncs, pluginthreadasynccall), true, true, false,
            false, false, false},
        CopyCase{"v27_ending_after_construct", 27, NPN_ENTRY_END(construct), true, true, true, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the instance-less wrappers ---------------------------------------------------

TEST(NpapiPluginModule, WrappersWithoutEntriesGiveTheirDefaults)
{
    NpapiPluginModule module;  // nothing copied: every entry absent
    NPObject object{};
    EXPECT_EQ(module.MemAlloc(8), nullptr);
    EXPECT_EQ(module.RetainObject(&object), &object);
    EXPECT_EQ(module.GetStringIdentifier("x"), nullptr);
    EXPECT_EQ(module.GetIntIdentifier(3), nullptr);
    EXPECT_TRUE(module.IdentifierIsString(nullptr));
    EXPECT_EQ(module.UTF8FromIdentifier(nullptr), nullptr);
    EXPECT_EQ(module.IntFromIdentifier(nullptr), 1);
    EXPECT_EQ(module.identifierToString(nullptr), "");
    module.MemFree(nullptr);
    module.ReleaseObject(&object);
    EXPECT_EQ(module.mainThreadId(), GetCurrentThreadId());
}

TEST(NpapiPluginModule, WrappersReachTheBrowserAndFreeItsCopies)
{
    TestBrowser::Browser browser;
    NpapiPluginModule module;
    module.setBrowserFuncs(browser.table());
    NPIdentifier name = module.GetStringIdentifier("sendvideoX");
    NPIdentifier index = module.GetIntIdentifier(4);
    EXPECT_TRUE(module.IdentifierIsString(name));
    EXPECT_FALSE(module.IdentifierIsString(index));
    EXPECT_EQ(module.IntFromIdentifier(index), 4);
    EXPECT_EQ(module.identifierToString(name), "sendvideoX");
    void* block = module.MemAlloc(16);
    ASSERT_NE(block, nullptr);
    module.MemFree(block);
    EXPECT_EQ(browser.outstandingAllocations(), 0u);
    EXPECT_THAT(browser.problems(), ::testing::IsEmpty());
}

TEST(NpapiPluginModule, IdentifiersAreAskedOnceAndForgottenWithTheTable)
{
    TestBrowser::Browser browser;
    NpapiPluginModule module;
    module.setBrowserFuncs(browser.table());
    NPIdentifier name = module.GetStringIdentifier("ISready");
    NPIdentifier index = module.GetIntIdentifier(7);
    const size_t asked = browser.callCount("utf8fromidentifier");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(module.identifier(name).isString);
        EXPECT_EQ(module.identifier(name).name, "ISready");
        EXPECT_FALSE(module.identifier(index).isString);
        EXPECT_EQ(module.identifier(index).index, 7);
    }
    EXPECT_EQ(browser.callCount("utf8fromidentifier"), asked + 1) << "the name is asked for once";

    // A table without the identifier entries: every identifier is a name, and an empty one.
    NPNetscapeFuncs without = *browser.table();
    without.utf8fromidentifier = nullptr;
    without.identifierisstring = nullptr;
    module.setBrowserFuncs(&without);
    EXPECT_TRUE(module.identifier(index).isString);
    EXPECT_EQ(module.identifier(name).name, "");
    EXPECT_THAT(browser.problems(), ::testing::IsEmpty());
}

// ---- the registry ----------------------------------------------------------------------

int inits = 0;
int deinits = 0;

TEST(NpapiPluginModule, DefaultModuleLivesFromFirstUseToReleaseWithGlobalHooks)
{
    NpapiPluginModule::setLifecycle({[] { ++inits; }, [] { ++deinits; }});
    inits = deinits = 0;
    std::shared_ptr<NpapiPluginModule> first = NpapiPluginModule::getDefault();
    EXPECT_EQ(NpapiPluginModule::getDefault(), first);
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(NpapiPluginModule::liveModules(), 1);

    NpapiPluginModule::releaseDefault();
    EXPECT_EQ(deinits, 1);
    EXPECT_EQ(NpapiPluginModule::liveModules(), 0);
    NpapiPluginModule::releaseDefault();  // no module: the de-init still runs
    EXPECT_EQ(deinits, 2);

    NpapiPluginModule::getDefault();  // a later initialisation starts over
    EXPECT_EQ(inits, 2);
    NpapiPluginModule::releaseDefault();
    NpapiPluginModule::setLifecycle({});
}

}  // namespace
