// Registry scripts: the text format COM servers use to describe their keys.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {01234567-89AB-CDEF-0123-456789ABCDEF} = s 'Thing Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Tokens are separated by white space; names and values are bare words or
// 'quoted' texts ('' stands for one quote). A root is HKCR, HKCU, HKLM or HKU (or
// the long HKEY_ names). A key may be given a default value (= type value), named
// values (val name = type value) and subkeys in braces. Types: s text, e expandable
// text, d number (decimal or 0x hex), b hex bytes. %NAME% is replaced by the value
// given with addReplacement, %% by one %; an unknown name is an error.
//
// Registering creates every key and value. Unregistering is its inverse:
//   - a plain key loses the values the script names and is deleted only once it
//     holds nothing else, so a parent shared with others survives;
//   - NoRemove: the key is never deleted (its subkeys are still unregistered);
//   - ForceRemove: deleted with everything below it on unregister, and also
//     before it is written on register;
//   - Delete: deleted on register; left alone on unregister.
// A script is parsed whole before the registry is touched: a malformed script
// writes nothing. A registration that fails half way is unregistered again.
//
// Not thread-safe; use one registrar per registration.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace Atl {

class Registrar {
public:
    void addReplacement(const std::wstring& name, const std::wstring& value);
    // Keys of HKCR go below this key instead (for per-user registration); not owned.
    void setClassesRoot(HKEY classesRoot) { classesRoot_ = classesRoot; }

    HRESULT registerScript(const std::wstring& script);
    HRESULT unregisterScript(const std::wstring& script);
    // The script is the module's resource of type "REGISTRY" with this id.
    HRESULT registerResource(HMODULE module, UINT id);
    HRESULT unregisterResource(HMODULE module, UINT id);

    // Why the last call failed, for diagnostics.
    const std::wstring& lastError() const { return lastError_; }

private:
    HRESULT run(const std::wstring& script, bool install, bool bestEffort = false);
    HRESULT runResource(HMODULE module, UINT id, bool install);

    std::vector<std::pair<std::wstring, std::wstring>> replacements_;
    HKEY classesRoot_ = nullptr;
    std::wstring lastError_;
};

// The text of a "REGISTRY" resource: UTF-16 when it starts with its byte-order
// mark, UTF-8 otherwise. False when there is no such resource.
bool loadRegistryScript(HMODULE module, UINT id, std::wstring& script);

}  // namespace Atl
