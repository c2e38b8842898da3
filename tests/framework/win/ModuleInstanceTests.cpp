// The module record: before DllMain records anything the image the code is
// linked into answers; a recorded module answers with its own path.
#include "ModuleInstance.h"

#include <gtest/gtest.h>

namespace {

TEST(ModuleInstance, ReportsTheLinkedImageAndARecordedModule)
{
    EXPECT_EQ(FB::moduleInstance(), GetModuleHandleW(nullptr));
    std::string path = FB::modulePath();
    EXPECT_NE(path.find("fb_win_tests.exe"), std::string::npos) << path;

    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FB::recordModule(kernel);
    EXPECT_EQ(FB::moduleInstance(), kernel);
    std::string kernelPath = FB::modulePath();
    EXPECT_NE(kernelPath.find("kernel32"), std::string::npos) << kernelPath;
}

}  // namespace
