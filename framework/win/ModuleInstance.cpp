#include "ModuleInstance.h"

#include <vector>

// The image this code is linked into (the DLL, or the program in tests).
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace FB {

namespace {

HINSTANCE recordedModule = nullptr;
std::string recordedPath;

std::string pathOf(HINSTANCE module)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            int bytes =
                WideCharToMultiByte(CP_UTF8, 0, buffer.data(), static_cast<int>(length), nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<size_t>(bytes), '\0');
            WideCharToMultiByte(
                CP_UTF8, 0, buffer.data(), static_cast<int>(length), utf8.data(), bytes, nullptr, nullptr);
            return utf8;
        }
        buffer.resize(buffer.size() * 2);  // a long path: try a larger buffer
    }
}

}  // namespace

void recordModule(HINSTANCE module)
{
    recordedModule = module;
    recordedPath = pathOf(module);
}

HINSTANCE moduleInstance()
{
    return recordedModule ? recordedModule : reinterpret_cast<HINSTANCE>(&__ImageBase);
}

const std::string& modulePath()
{
    if (recordedModule) return recordedPath;
    static const std::string linkedImagePath = pathOf(reinterpret_cast<HINSTANCE>(&__ImageBase));
    return linkedImagePath;
}

}  // namespace FB
