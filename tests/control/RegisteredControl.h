// Registers Plexhost.dll for the run of a test program, as an installer would,
// and unregisters it at the end.
#pragma once

#include "ModuleExport.h"

#include <gtest/gtest.h>

#include <windows.h>

class RegisteredControl : public testing::Environment {
public:
    void SetUp() override
    {
        module = LoadLibraryW(L"Plexhost.dll");
        ASSERT_NE(module, nullptr);
        ASSERT_EQ(entry("DllRegisterServer")(), S_OK);
    }
    void TearDown() override
    {
        if (!module) return;
        EXPECT_EQ(entry("DllUnregisterServer")(), S_OK);
        FreeLibrary(module);
    }

private:
    using Entry = HRESULT(WINAPI*)();
    Entry entry(const char* name) { return moduleExport<Entry>(module, name); }
    HMODULE module = nullptr;
};
