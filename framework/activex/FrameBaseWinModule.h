// The plug-in library as an in-process COM server: its module object, the
// replacement values of its registry scripts and the choice between per-user
// and machine-wide registration.
//
// The library's COM exports (ActiveXExports.cpp) forward to one
// CFrameBaseWinModule made over the object map of the control. Registration
// goes to the current user's classes unless the registering program is
// heat.exe (an installer's registration tool), which registers machine-wide.
//
// Threading: the exports' loader thread; the replacement list is built once
// and then only read.
#pragma once

#include "DllModule.h"

#include <string>
#include <utility>
#include <vector>

namespace FB::ActiveX {

// One replacement of a registry script ("%key%" becomes data); a list ends
// with an empty entry.
struct RegistryReplacement {
    const wchar_t* key = nullptr;
    const wchar_t* data = nullptr;
};

// "LIBID" (the type library id, braced) and "THREADING" ("Apartment"); built
// once and kept until the process ends.
const RegistryReplacement* getRegistryReplacements();
std::vector<std::pair<std::wstring, std::wstring>> registryReplacementList();

class CFrameBaseWinModule : public Atl::DllModule {
public:
    CFrameBaseWinModule(const Atl::ObjectMapEntry* objects, const GUID* libid, UINT appIdResource);

protected:
    // "APPID", and the class scripts' own replacements.
    void AddCommonRGSReplacements(Atl::Registrar& registrar) const override;
};

// The path of the process's main program (UTF-8), empty when it cannot be read.
std::string mainProgramPath();
// Whether a registering program of this path registers machine-wide: its path
// ends with "heat.exe", compared byte by byte.
bool registersMachineWide(const std::string& programPath);

// The result of a module registration step; when it failed, the failure is
// logged and the fallback's result replaces it.
template <class Fallback>
long withRegistryFallback(const char* step, long moduleResult, Fallback&& fallback);
void logRegistryFallback(const char* step, long moduleResult);

template <class Fallback>
long withRegistryFallback(const char* step, long moduleResult, Fallback&& fallback)
{
    if (moduleResult >= 0) return moduleResult;
    logRegistryFallback(step, moduleResult);
    return fallback();
}

}  // namespace FB::ActiveX
