#include "DllModule.h"

#include "ComSupport.h"

#include <oleauto.h>

#include <vector>

namespace Atl {
namespace {

DllModule* currentModule = nullptr;

using RegisterForUser = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUser = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

template <class Function>
Function oleautEntry(const char* name)
{
    HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
    FARPROC entry = oleaut ? GetProcAddress(oleaut, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(entry));
}

std::wstring moduleFileName(HINSTANCE instance)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(instance, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

// The type library inside the module, else in the .tlb beside it.
HRESULT loadModuleTypeLibrary(const std::wstring& modulePath, Com::ComPtr<ITypeLib>& library, std::wstring& loadedPath)
{
    loadedPath = modulePath;
    HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Put());
    if (SUCCEEDED(hr)) return hr;
    size_t dot = modulePath.find_last_of(L'.');
    size_t slash = modulePath.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return hr;
    loadedPath = modulePath.substr(0, dot) + L".tlb";
    return LoadTypeLibEx(loadedPath.c_str(), REGKIND_NONE, library.Put());
}

// Runs registration work in the system's default locale and restores the caller's.
class SystemLocale {
public:
    SystemLocale() : saved_(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~SystemLocale() { SetThreadLocale(saved_); }
    SystemLocale(const SystemLocale&) = delete;
    SystemLocale& operator=(const SystemLocale&) = delete;

private:
    LCID saved_;
};

}  // namespace

DllModule::DllModule(const ObjectMapEntry* objects, const GUID* libid, UINT appIdResource)
    : objects_(objects), libid_(libid), appIdResource_(appIdResource)
{
    currentModule = this;
}

DllModule::~DllModule()
{
    if (currentModule == this) currentModule = nullptr;
}

DllModule* DllModule::current()
{
    return currentModule;
}

BOOL DllModule::dllMain(HINSTANCE instance, DWORD reason)
{
    if (reason == DLL_PROCESS_ATTACH) {
        instance_ = instance;
        try {
            modulePath_ = moduleFileName(instance);
        } catch (...) {
            return FALSE;
        }
    }
    return TRUE;
}

HRESULT DllModule::getClassObject(REFCLSID clsid, REFIID iid, void** out) const
{
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const ObjectMapEntry* entry = objects_; entry && entry->clsid; ++entry) {
        if (!IsEqualCLSID(clsid, *entry->clsid)) continue;
        // A class that is registered but has no creator cannot be made here.
        return entry->create ? ClassFactory::Create(entry->create, iid, out, classObjectsCounted_)
                             : CLASS_E_CLASSNOTAVAILABLE;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllModule::canUnloadNow() const
{
    return ModuleLock::current() == 0 ? S_OK : S_FALSE;
}

void DllModule::AddCommonRGSReplacements(Registrar&) const {}

template <class Steps>
HRESULT DllModule::withRegistrar(Steps steps) const
{
    Registrar registrar;
    registrar.addReplacement(L"MODULE", modulePath_);
    AddCommonRGSReplacements(registrar);
    HKEY userClasses = nullptr;
    if (perUser_) {
        LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE,
            nullptr, &userClasses, nullptr);
        if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
        registrar.setClassesRoot(userClasses);
    }
    HRESULT hr = steps(registrar);
    if (userClasses) RegCloseKey(userClasses);
    return hr;
}

HRESULT DllModule::eachObjectResource(Registrar& registrar, HRESULT (Registrar::*step)(HMODULE, UINT)) const
{
    HRESULT hr = S_OK;
    for (const ObjectMapEntry* entry = objects_; SUCCEEDED(hr) && entry && entry->clsid; ++entry) {
        if (entry->registryResource) hr = (registrar.*step)(instance_, entry->registryResource);
    }
    return hr;
}

HRESULT DllModule::registerServer()
{
    SystemLocale locale;
    return withRegistrar([this](Registrar& registrar) {
        HRESULT hr = appIdResource_ ? registrar.registerResource(instance_, appIdResource_) : S_OK;
        if (SUCCEEDED(hr)) hr = eachObjectResource(registrar, &Registrar::registerResource);
        if (SUCCEEDED(hr)) hr = registerTypeLibrary();
        return hr;
    });
}

HRESULT DllModule::unregisterServer()
{
    SystemLocale locale;
    return withRegistrar([this](Registrar& registrar) {
        HRESULT hr = eachObjectResource(registrar, &Registrar::unregisterResource);
        if (SUCCEEDED(hr)) hr = unregisterTypeLibrary();
        if (SUCCEEDED(hr) && appIdResource_) hr = registrar.unregisterResource(instance_, appIdResource_);
        return hr;
    });
}

HRESULT DllModule::updateRegistryFromResource(
    UINT id, bool registering, const std::vector<std::pair<std::wstring, std::wstring>>& replacements)
{
    return withRegistrar([&](Registrar& registrar) {
        for (const auto& [name, value] : replacements) registrar.addReplacement(name, value);
        return registering ? registrar.registerResource(instance_, id) : registrar.unregisterResource(instance_, id);
    });
}

HRESULT DllModule::registerTypeLibrary() const
{
    if (!libid_) return S_OK;
    Com::ComPtr<ITypeLib> library;
    std::wstring path;
    HRESULT hr = loadModuleTypeLibrary(modulePath_, library, path);
    if (FAILED(hr)) return hr;
    if (!perUser_) return RegisterTypeLib(library.Get(), path.data(), nullptr);
    auto forUser = oleautEntry<RegisterForUser>("RegisterTypeLibForUser");
    return forUser ? forUser(library.Get(), path.data(), nullptr) : E_NOTIMPL;
}

HRESULT DllModule::unregisterTypeLibrary() const
{
    if (!libid_) return S_OK;
    Com::ComPtr<ITypeLib> library;
    std::wstring path;
    HRESULT hr = loadModuleTypeLibrary(modulePath_, library, path);
    if (FAILED(hr)) return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr)) return hr;
    const TLIBATTR a = *attributes;
    library->ReleaseTLibAttr(attributes);
    // Not registered (any more) counts as done: unregistering twice is no error.
    Com::Bstr registeredPath;
    if (FAILED(QueryPathOfRegTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, registeredPath.Put())))
        return S_OK;
    if (perUser_) {
        auto forUser = oleautEntry<UnregisterForUser>("UnRegisterTypeLibForUser");
        return forUser ? forUser(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind) : E_NOTIMPL;
    }
    return UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

bool isPerUserCommand(const wchar_t* commandLine)
{
    return commandLine && _wcsnicmp(commandLine, L"user", 5) == 0;
}

}  // namespace Atl
