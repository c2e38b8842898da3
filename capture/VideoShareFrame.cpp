#include "VideoShareFrame.h"

#include <algorithm>

namespace {

constexpr int kMaxSide = 16384;
constexpr uint64_t kMaxFrameBytes = uint64_t(1) << 28;  // 256 MiB: far beyond any camera frame

// The size of a section as its creator made it; zero when it cannot be told.
uint64_t SectionSize(HANDLE section)
{
    struct SectionBasicInformation {
        void* base;
        ULONG attributes;
        LARGE_INTEGER size;
    };
    using QuerySection = LONG(WINAPI*)(HANDLE, int, void*, SIZE_T, SIZE_T*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto query = ntdll
        ? reinterpret_cast<QuerySection>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySection")))
        : nullptr;
    if (!query) return 0;
    SectionBasicInformation info{};
    if (query(section, 0 /* basic information */, &info, sizeof info, nullptr) < 0 || info.size.QuadPart <= 0) return 0;
    return static_cast<uint64_t>(info.size.QuadPart);
}

}  // namespace

bool VideoShareFrame::FrameBytes(int width, int height, uint64_t& bytes)
{
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3;
    return bytes <= kMaxFrameBytes;
}

bool VideoShareFrame::Open(int width, int height)
{
    Close();
    uint64_t frame = 0;
    if (!FrameBytes(width, height, frame)) return false;

    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(frame >> 32),
        static_cast<DWORD>(frame), kVideoShareName);
    if (!mapping_) return false;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;

    uint64_t mappable = frame;
    if (existed) {
        uint64_t section = SectionSize(mapping_);
        if (section) mappable = std::min(frame, section);
    }
    view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(mappable)));
    if (!view_ && existed) {
        // The section is smaller than a frame and its size is unknown: map all of it.
        view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        MEMORY_BASIC_INFORMATION region{};
        if (view_ && VirtualQuery(view_, &region, sizeof region))
            mappable = std::min<uint64_t>(frame, region.RegionSize);
        else
            mappable = 0;
    }
    if (!view_) {
        Close();
        return false;
    }
    capacity_ = static_cast<size_t>(mappable);
    return true;
}

void VideoShareFrame::Close()
{
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
    capacity_ = 0;
    if (mapping_) CloseHandle(mapping_);
    mapping_ = nullptr;
}
