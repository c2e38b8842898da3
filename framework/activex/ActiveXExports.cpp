// The plug-in library's COM exports: the class object of the control, the
// unload check, registration and DllInstall, and the COM side of DllMain.
// Compiled into the library itself (its .def keeps the names undecorated).
//
// The first class object handed out sets the platform ("Windows", "IE") and
// runs the factory's process-wide set-up; the unload check tears it down again
// once no plug-in lives, so the next class object starts over.
#include "ActiveXExports.h"

#include "AbiChecks.h"
#include "ActiveXResources.h"
#include "ComIdentifiers.h"
#include "ComSupport.h"
#include "FBControl.h"
#include "FactoryBase.h"
#include "FrameBaseWinModule.h"
#include "PluginCore.h"

namespace {

const Atl::ObjectMapEntry objectMap[] = {
    {&CLSID_FBControl0, &Atl::ComObject<FB::ActiveX::FBControl0>::Create, IDR_FBCONTROL},
    {},
};

FB::ActiveX::CFrameBaseWinModule module(objectMap, &LIBID_parvelpluginLib, IDR_FRAMEBASEWIN);

// Set by the first class object handed out, cleared when the library may unload.
bool factoryInitialized = false;

// Registration goes per user unless a program named heat.exe registers; once
// chosen, per user stays for the process.
void decideRegistrationMode()
{
    if (!FB::ActiveX::registersMachineWide(FB::ActiveX::mainProgramPath())) module.setPerUser(true);
}

// Writes or removes the module's registry resources; when that fails, the
// factory's own registry update answers instead.
HRESULT updateRegistration(bool registering)
{
    decideRegistrationMode();
    HRESULT direct = registering ? module.registerServer() : module.unregisterServer();
    return static_cast<HRESULT>(
        FB::ActiveX::withRegistryFallback(registering ? "Registration" : "Unregistration", direct, [registering] {
            FB::FactoryBasePtr factory = FB::getFactoryInstance();
            return factory ? factory->updateRegistry(registering) : E_UNEXPECTED;
        }));
}

}  // namespace

namespace FB::ActiveX {

BOOL comModuleMain(HINSTANCE instance, DWORD reason)
{
    return module.dllMain(instance, reason);
}

}  // namespace FB::ActiveX

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    return Com::guarded([&] {
        HRESULT hr = module.getClassObject(clsid, iid, out);
        if (FAILED(hr) || factoryInitialized) return hr;
        FB::PluginCore::setPlatform("Windows", "IE");
        if (FB::FactoryBasePtr factory = FB::getFactoryInstance()) factory->globalInit();
        factoryInitialized = true;
        return hr;
    });
}

STDAPI DllCanUnloadNow()
{
    HRESULT hr = Com::guarded([] {
        const bool locked = module.canUnloadNow() != S_OK;
        if (locked && FB::PluginCore::activeCount() > 0) return S_FALSE;
        // No plug-in lives: the factory's process-wide state goes even while
        // other objects keep the module; the next class object sets it up again.
        if (factoryInitialized) {
            factoryInitialized = false;
            if (FB::FactoryBasePtr factory = FB::getFactoryInstance()) factory->globalDeinit();
        }
        return locked ? S_FALSE : S_OK;
    });
    return hr == S_OK ? S_OK : S_FALSE;  // in doubt, stay loaded
}

STDAPI DllRegisterServer()
{
    return Com::guarded([] { return updateRegistration(true); });
}

STDAPI DllUnregisterServer()
{
    return Com::guarded([] { return updateRegistration(false); });
}

STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    return Com::guarded([&] {
        // Without a command line the request is not a per-user one.
        module.setPerUser(commandLine && _wcsicmp(commandLine, L"user") == 0);
        if (!install) return DllUnregisterServer();
        HRESULT hr = DllRegisterServer();
        if (FAILED(hr)) DllUnregisterServer();
        return hr;
    });
}

}  // extern "C"

// The exports keep the conventions of COM (real in the i686 build).
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)()>(&DllCanUnloadNow));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(&DllGetClassObject));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)()>(&DllRegisterServer));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)()>(&DllUnregisterServer));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>(&DllInstall));
