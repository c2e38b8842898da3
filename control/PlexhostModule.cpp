// Plexhost.dll's module and its COM exports.
//
// The merged proxy/stub of IFlashX (from the interface compiler, entry points
// prefixed Prx) answers first where both parts have something to say; the rest
// goes to the module with its one class, FlashX.
#include "AbiChecks.h"
#include "ComSupport.h"
#include "DllModule.h"
#include "FlashXControl.h"
#include "VolumeChannel.h"
#include "resource.h"

extern "C" {
BOOL WINAPI PrxDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
HRESULT WINAPI PrxDllCanUnloadNow();
HRESULT WINAPI PrxDllGetClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT WINAPI PrxDllRegisterServer();
HRESULT WINAPI PrxDllUnregisterServer();
}

namespace {

class CPlexhostModule : public Atl::DllModule {
public:
    using DllModule::DllModule;

protected:
    void AddCommonRGSReplacements(Atl::Registrar& registrar) const override
    {
        registrar.addReplacement(L"APPID", L"{2785B0E4-81E4-4759-8039-FA3AA191B2EF}");
    }
};

const Atl::ObjectMapEntry objectMap[] = {
    {&CLSID_FlashX, &Atl::ComObject<Plexhost::CFlashX>::Create, IDR_FLASHX},
    {},
};

CPlexhostModule module(objectMap, &LIBID_PlexhostLib, IDR_PLEXHOST);

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    HRESULT hr = Com::guarded([&] {
        if (!PrxDllMain(instance, reason, reserved)) return E_FAIL;
        // Unloaded while the process goes on: engine threads must not call back
        // into this module when they end. (At process exit nothing runs after us.)
        if (reason == DLL_PROCESS_DETACH && !reserved) Plexhost::VolumeChannel::moduleUnloading();
        return module.dllMain(instance, reason) ? S_OK : E_FAIL;
    });
    return SUCCEEDED(hr);
}

STDAPI DllCanUnloadNow()
{
    HRESULT hr = Com::guarded([] {
        HRESULT proxy = PrxDllCanUnloadNow();
        if (proxy != S_OK) return proxy;
        return module.canUnloadNow();
    });
    return hr == S_OK ? S_OK : S_FALSE;  // in doubt, stay loaded
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    return Com::guarded([&] {
        if (SUCCEEDED(PrxDllGetClassObject(clsid, iid, out))) return S_OK;
        return module.getClassObject(clsid, iid, out);
    });
}

STDAPI DllRegisterServer()
{
    return Com::guarded([] {
        HRESULT hr = module.registerServer();
        if (FAILED(hr)) return hr;
        return PrxDllRegisterServer();
    });
}

STDAPI DllUnregisterServer()
{
    return Com::guarded([] {
        HRESULT hr = module.unregisterServer();
        if (FAILED(hr)) return hr;
        // Registering the proxy/stub once more makes its removal complete.
        PrxDllRegisterServer();
        return PrxDllUnregisterServer();
    });
}

STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    return Com::guarded([&] {
        if (Atl::isPerUserCommand(commandLine)) module.setPerUser(true);
        if (!install) return DllUnregisterServer();
        HRESULT hr = DllRegisterServer();
        if (FAILED(hr)) DllUnregisterServer();
        return hr;
    });
}

}  // extern "C"

// The exports and the control's interface keep the conventions of COM (real in the i686 build).
static_assert(Abi::hasType<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(&DllMain));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)()>(&DllCanUnloadNow));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(&DllGetClassObject));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)()>(&DllRegisterServer));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)()>(&DllUnregisterServer));
static_assert(Abi::hasType<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>(&DllInstall));

static_assert(
    Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(BSTR, BSTR, BSTR, BSTR, VARIANT, LONG*)>(&IFlashX::sendvideoX));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(LONG, LONG*)>(&IFlashX::dostop));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(BSTR, VARIANT, LONG*)>(&IFlashX::Cap));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(VARIANT, LONG*)>(&IFlashX::ISready));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(VARIANT)>(&IFlashX::CapStop));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(VARIANT)>(&IFlashX::LogPrintf));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(LONG, LONG*)>(&IFlashX::SetMute));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(LONG, LONG*)>(&IFlashX::SetVol));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)()>(&IFlashX::PrintLog));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)()>(&IFlashX::endstream));
static_assert(Abi::hasType<HRESULT (STDMETHODCALLTYPE IFlashX::*)(VARIANT)>(&IFlashX::SetVolCb));
