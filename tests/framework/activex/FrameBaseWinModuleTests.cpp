// The COM server module's decisions beneath the exports: the registry
// replacements, who registers machine-wide, and the logged fallback.
#include "FrameBaseWinModule.h"
#include "Registrar.h"
#include "TraceLog.h"
#include "utf8_tools.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using FB::ActiveX::getRegistryReplacements;
using FB::ActiveX::registersMachineWide;
using FB::ActiveX::withRegistryFallback;

TEST(RegistryReplacementsTest, LibraryIdAndThreadingModelThenAnEmptyEntry)
{
    const FB::ActiveX::RegistryReplacement* entries = getRegistryReplacements();
    ASSERT_NE(entries[0].key, nullptr);
    EXPECT_STREQ(entries[0].key, L"LIBID");
    EXPECT_STREQ(entries[0].data, L"{EFDBA834-72BF-548A-9A2B-CD8F7CF4E298}");
    EXPECT_STREQ(entries[1].key, L"THREADING");
    EXPECT_STREQ(entries[1].data, L"Apartment");
    EXPECT_EQ(entries[2].key, nullptr);
    EXPECT_EQ(entries[2].data, nullptr);
    EXPECT_EQ(getRegistryReplacements(), entries) << "built once";
}

// The module hands the registrar the AppID with the library's replacements: a
// script naming all three writes their values.
TEST(RegistryReplacementsTest, TheModuleAddsTheAppIdToTheLibrarysReplacements)
{
    struct Module : FB::ActiveX::CFrameBaseWinModule {
        using CFrameBaseWinModule::AddCommonRGSReplacements;
        using CFrameBaseWinModule::CFrameBaseWinModule;
    };
    static const Atl::ObjectMapEntry noObjects[] = {{}};
    Module module(noObjects, nullptr, 0);
    const wchar_t* const scratch = L"Software\\StagecastTests\\Replacements";
    HKEY root = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, scratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr),
        ERROR_SUCCESS);
    Atl::Registrar registrar;
    registrar.setClassesRoot(root);
    module.AddCommonRGSReplacements(registrar);
    EXPECT_EQ(registrar.registerScript(L"HKCR { Values = s '%APPID%' { val LibraryId = s '%LIBID%' "
                                       L"val Threading = s '%THREADING%' } }"),
        S_OK)
        << FB::wideToUtf8(registrar.lastError());
    auto read = [&](const wchar_t* name) {
        wchar_t text[64] = {};
        DWORD size = sizeof text;
        RegGetValueW(root, L"Values", name, RRF_RT_REG_SZ, nullptr, text, &size);
        return std::wstring(text);
    };
    EXPECT_EQ(read(nullptr), L"{B415CD14-B45D-4BCA-B552-B06175C38606}");
    EXPECT_EQ(read(L"LibraryId"), L"{EFDBA834-72BF-548A-9A2B-CD8F7CF4E298}");
    EXPECT_EQ(read(L"Threading"), L"Apartment");
    RegCloseKey(root);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\StagecastTests");
}

TEST(RegistrationModeTest, OnlyAProgramEndingInHeatExeRegistersMachineWide)
{
    const struct {
        const char* path;
        bool machineWide;
    } cases[] = {
        {"C:\\tools\\heat.exe", true}, {"heat.exe", true},
        {"C:\\tools\\wheat.exe", true},  // the name's end is all that counts
        {"C:\\tools\\HEAT.EXE", false},  // compared byte by byte
        {"C:\\tools\\Heat.exe", false}, {"C:\\windows\\system32\\regsvr32.exe", false},
        {"C:\\tools\\heat.exe.bak", false}, {"eat.exe", false}, {"", false},  // the path could not be read
    };
    for (const auto& c : cases) EXPECT_EQ(registersMachineWide(c.path), c.machineWide) << c.path;
}

TEST(RegistrationModeTest, MainProgramPathIsThisTestProgram)
{
    const std::string path = FB::ActiveX::mainProgramPath();
    EXPECT_NE(path.find("fb_activex_module_tests.exe"), std::string::npos) << path;
}

TEST(RegistryFallbackTest, AFailedModuleStepIsLoggedAndReplacedByTheFallback)
{
    std::vector<std::string> lines;
    FB::TraceSink previous = FB::setTraceSink(
        [&](const std::string& channel, const std::string& message) { lines.push_back(channel + ": " + message); });
    int fallbacks = 0;
    long kept = withRegistryFallback("Registration", 0, [&] {
        ++fallbacks;
        return -1L;
    });
    long replaced = withRegistryFallback("Registration", static_cast<long>(0x80070005L), [&] {
        ++fallbacks;
        return 0L;
    });
    FB::setTraceSink(previous);

    EXPECT_EQ(kept, 0);
    EXPECT_EQ(replaced, 0);
    EXPECT_EQ(fallbacks, 1) << "the fallback runs only after a failure";
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(
        lines[0], "ActiveX: Registration of the module failed (0x80070005); running the class registry script instead");
}

}  // namespace
