#include "FrameBaseWinModule.h"

#include "ComIdentifiers.h"
#include "TraceLog.h"
#include "utf8_tools.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>

namespace FB::ActiveX {

namespace {

const wchar_t kAppId[] = L"{B415CD14-B45D-4BCA-B552-B06175C38606}";

std::wstring braced(const GUID& id)
{
    wchar_t text[40];
    return StringFromGUID2(id, text, 40) > 0 ? std::wstring(text) : std::wstring();
}

// Narrow text to wide in the thread's ANSI code page.
std::wstring fromThreadCodePage(const char* text)
{
    int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide.data(), length);
    wide.pop_back();
    return wide;
}

struct ReplacementTable {
    std::wstring libid = braced(LIBID_parvelpluginLib);
    std::wstring threading = fromThreadCodePage("Apartment");
    RegistryReplacement entries[3] = {{L"LIBID", libid.c_str()}, {L"THREADING", threading.c_str()}, {}};
};

}  // namespace

const RegistryReplacement* getRegistryReplacements()
{
    static const ReplacementTable table;
    return table.entries;
}

std::vector<std::pair<std::wstring, std::wstring>> registryReplacementList()
{
    std::vector<std::pair<std::wstring, std::wstring>> list;
    for (const RegistryReplacement* entry = getRegistryReplacements(); entry->key; ++entry)
        list.emplace_back(entry->key, entry->data);
    return list;
}

CFrameBaseWinModule::CFrameBaseWinModule(const Atl::ObjectMapEntry* objects, const GUID* libid, UINT appIdResource)
    : DllModule(objects, libid, appIdResource)
{
    // The platform may keep a class object it was given (Wine's script engine
    // does); that alone must not keep the library loaded for ever.
    setClassObjectsCounted(false);
}

void CFrameBaseWinModule::AddCommonRGSReplacements(Atl::Registrar& registrar) const
{
    registrar.addReplacement(L"APPID", kAppId);
    for (const auto& [key, data] : registryReplacementList()) registrar.addReplacement(key, data);
}

std::string mainProgramPath()
{
    HMODULE first = nullptr;
    DWORD needed = 0;
    if (!EnumProcessModules(GetCurrentProcess(), &first, sizeof first, &needed) || !first) return {};
    wchar_t path[260];
    DWORD length = GetModuleFileNameW(first, path, 260);
    if (length == 0 || length >= 260) return {};
    return wideToUtf8(std::wstring(path, length));
}

bool registersMachineWide(const std::string& programPath)
{
    static const std::string tool = "heat.exe";
    return programPath.size() >= tool.size() &&
        programPath.compare(programPath.size() - tool.size(), tool.size(), tool) == 0;
}

void logRegistryFallback(const char* step, long moduleResult)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s of the module failed (0x%08lX); running the class registry script instead",
        step, static_cast<unsigned long>(moduleResult));
    trace("ActiveX", text);
    OutputDebugStringA(text);
}

}  // namespace FB::ActiveX
