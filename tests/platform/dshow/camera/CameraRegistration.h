// Registers the test camera (TestCamera.dll beside the test program) for the
// lifetime of the object and unregisters it at the end; Unregister and Register
// let a test run with no camera in the video input category.
#pragma once

#include "ModuleExport.h"

#include <windows.h>

#include <stdexcept>

namespace TestCamera {

class Registration {
public:
    Registration()
    {
        module_ = LoadLibraryW(L"TestCamera.dll");
        if (!module_) throw std::runtime_error("TestCamera.dll not found");
        register_ = moduleExport<Entry>(module_, "DllRegisterServer");
        unregister_ = moduleExport<Entry>(module_, "DllUnregisterServer");
        if (!register_ || !unregister_) throw std::runtime_error("TestCamera.dll lacks its registration exports");
        lastResult_ = Register();
    }
    ~Registration()
    {
        Unregister();
        FreeLibrary(module_);
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

    HRESULT Register() { return register_(); }
    HRESULT Unregister() { return unregister_(); }
    HRESULT FirstResult() const { return lastResult_; }

private:
    using Entry = HRESULT(WINAPI*)();
    HMODULE module_ = nullptr;
    Entry register_ = nullptr;
    Entry unregister_ = nullptr;
    HRESULT lastResult_ = E_FAIL;
};

}  // namespace TestCamera
