// The COM side of a DLL: its object map, lock count, registration and exports.
//
// A DLL makes one module object (usually a subclass that adds its registry
// replacements) and forwards its exports to it:
//
//   const Atl::ObjectMapEntry objects[] = {
//       {&CLSID_Thing, &Atl::ComObject<Thing>::Create, IDR_THING}, {}};
//   MyModule module(objects, LIBID_ThingLib, IDR_APPID);
//   STDAPI DllGetClassObject(REFCLSID c, REFIID i, void** o) { return module.getClassObject(c, i, o); }
//
// Registration applies the module's AppID script (when it has one), each class's
// script and registers the type library found in the module's own file;
// unregistration does the same in reverse. Both run with the thread's locale set
// to the system default, so that the scripts' texts do not depend on the caller. The per-user switch sends HKCR keys to
// HKCU\Software\Classes and registers the type library for the current user.
//
// Threading: DllMain, the registration calls and the per-user switch run on the
// loader's thread; getClassObject and canUnloadNow may be called on any thread.
#pragma once

#include "ClassFactory.h"
#include "Registrar.h"

#include <string>
#include <utility>
#include <vector>

namespace Atl {

struct ObjectMapEntry {
    const CLSID* clsid = nullptr;      // null ends the map
    CreatorFunction create = nullptr;  // null: registered, not creatable
    UINT registryResource = 0;         // 0: the class has no script
};

class DllModule {
public:
    // appIdResource 0: no AppID script. libid null: no type library.
    DllModule(const ObjectMapEntry* objects, const GUID* libid, UINT appIdResource);
    virtual ~DllModule();
    DllModule(const DllModule&) = delete;
    DllModule& operator=(const DllModule&) = delete;

    // The module of this DLL; null before one was constructed.
    static DllModule* current();

    BOOL dllMain(HINSTANCE instance, DWORD reason);
    HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) const;
    HRESULT canUnloadNow() const;
    HRESULT registerServer();
    HRESULT unregisterServer();
    // Applies (registering) or removes one REGISTRY resource of the module with
    // the module's replacements and the given ones, honouring the per-user switch.
    HRESULT updateRegistryFromResource(
        UINT id, bool registering, const std::vector<std::pair<std::wstring, std::wstring>>& replacements = {});

    void setPerUser(bool perUser) { perUser_ = perUser; }
    // Whether a class object handed out counts as a live object of the module
    // (the default); uncounted, only its LockServer keeps the module loaded.
    void setClassObjectsCounted(bool counted) { classObjectsCounted_ = counted; }
    bool perUser() const { return perUser_; }

    HINSTANCE instance() const { return instance_; }
    const std::wstring& modulePath() const { return modulePath_; }

protected:
    // Adds the module's own replacements; "MODULE" is already there.
    virtual void AddCommonRGSReplacements(Registrar& registrar) const;

private:
    // Runs steps on a registrar set up for this module (its replacements, and
    // the user's classes root when per user), then closes the user's key.
    template <class Steps>
    HRESULT withRegistrar(Steps steps) const;
    // Applies a registrar step to each object's registry resource, to the first failure.
    HRESULT eachObjectResource(Registrar& registrar, HRESULT (Registrar::*step)(HMODULE, UINT)) const;
    HRESULT registerTypeLibrary() const;
    HRESULT unregisterTypeLibrary() const;

    const ObjectMapEntry* objects_;
    const GUID* libid_;
    UINT appIdResource_;
    HINSTANCE instance_ = nullptr;
    std::wstring modulePath_;
    bool perUser_ = false;
    bool classObjectsCounted_ = true;
};

// True for the DllInstall command text that asks for per-user registration:
// "user" in any case, and nothing after it.
bool isPerUserCommand(const wchar_t* commandLine);

}  // namespace Atl
