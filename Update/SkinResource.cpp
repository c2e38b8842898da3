#include "SkinResource.h"

SkinResource LoadSkinResource(HMODULE module)
{
    SkinResource skin;
    HRSRC found = FindResourceExW(module, L"SKIN", MAKEINTRESOURCEW(SKIN_RESOURCE_ID), SKIN_RESOURCE_LANGUAGE);
    if (!found) return skin;
    skin.handle = LoadResource(module, found);
    if (!skin.handle) return skin;
    skin.data = LockResource(skin.handle);
    skin.size = SizeofResource(module, found);
    return skin;
}

void ReleaseSkinResource(SkinResource& skin)
{
    if (skin.handle) FreeResource(skin.handle);
    skin = SkinResource{};
}
