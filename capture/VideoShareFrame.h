// VideoShareFrame: the named shared memory "VC_SHARE" that holds one RGB24
// frame of width × height × 3 bytes for readers in other processes.
//
// Open creates the page-file-backed mapping, or opens the one that already
// exists (made earlier, or by another process, perhaps smaller or larger), and
// maps as much of the frame as the mapping really holds: Capacity() is the
// number of bytes a frame copy may write. Close unmaps the view and closes the
// mapping handle. Not thread-safe: the owner opens and closes it while no frame
// is being copied.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

inline constexpr wchar_t kVideoShareName[] = L"VC_SHARE";

class VideoShareFrame {
public:
    VideoShareFrame() = default;
    ~VideoShareFrame() { Close(); }
    VideoShareFrame(const VideoShareFrame&) = delete;
    VideoShareFrame& operator=(const VideoShareFrame&) = delete;

    // The frame size in bytes, or false for sizes no camera delivers (width or
    // height not positive, or a frame too large to map).
    static bool FrameBytes(int width, int height, uint64_t& bytes);

    // False when the size is refused or no view could be mapped.
    bool Open(int width, int height);
    void Close();

    bool IsOpen() const { return view_ != nullptr; }
    uint8_t* View() const { return view_; }
    size_t Capacity() const { return capacity_; }

private:
    HANDLE mapping_ = nullptr;
    uint8_t* view_ = nullptr;
    size_t capacity_ = 0;
};
