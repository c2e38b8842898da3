// The updater's skin: a zip archive ("MainFrame.xml" and its images) stored
// in the program as resource type "SKIN", id 130, Chinese (Simplified).
#pragma once

#include <windows.h>

constexpr WORD SKIN_RESOURCE_ID = 130;
constexpr WORD SKIN_RESOURCE_LANGUAGE = 2052;  // MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)

struct SkinResource {
    const void* data = nullptr;  // valid as long as the module is loaded
    DWORD size = 0;
    HGLOBAL handle = nullptr;

    bool IsValid() const { return data && size; }
};

// The skin archive of the module; an invalid record when it is missing.
SkinResource LoadSkinResource(HMODULE module);
// Frees the loaded resource (a no-op on Win32, kept for symmetry).
void ReleaseSkinResource(SkinResource& skin);
