// Points a loaded module's imports from one DLL at replacements while the
// object lives, and puts the originals back when it goes: a test stands in for
// a platform library beneath the module it drives.
//
//   ImportPatch patch(sondex, "winmm.dll", {{"waveInClose", &refusingClose}});
#pragma once

#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const std::map<std::string, void*>& replacements)
    {
        auto* base = reinterpret_cast<BYTE*>(module);
        const auto* nt =
            reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!imports.VirtualAddress) return;
        for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
             ++entry) {
            if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
            auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                auto found = replacements.find(reinterpret_cast<const char*>(byName->Name));
                if (found == replacements.end()) continue;
                patched_.push_back({&slots->u1.Function, slots->u1.Function});
                write(&slots->u1.Function, reinterpret_cast<ULONG_PTR>(found->second));
            }
        }
    }
    ~ImportPatch()
    {
        for (const Slot& slot : patched_) write(slot.address, slot.original);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    size_t Count() const { return patched_.size(); }

private:
    struct Slot {
        ULONG_PTR* address;
        ULONG_PTR original;
    };

    static void write(ULONG_PTR* address, ULONG_PTR value)
    {
        DWORD protection = 0;
        VirtualProtect(address, sizeof value, PAGE_READWRITE, &protection);
        *address = value;
        VirtualProtect(address, sizeof value, protection, &protection);
    }

    std::vector<Slot> patched_;
};
