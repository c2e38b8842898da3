// A drawing target for window tests without a display: a 32-bit top-down DIB
// selected into a memory DC, filled white, with its pixels readable.
#pragma once

#include <windows.h>

#include <cstdint>

class MemoryCanvas {
public:
    MemoryCanvas(int width, int height) : width(width), height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        context = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(context, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previous = SelectObject(context, bitmap);
        for (int i = 0; i < width * height; ++i) bits[i] = 0xFFFFFF;
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    ~MemoryCanvas()
    {
        SelectObject(context, previous);
        DeleteObject(bitmap);
        DeleteDC(context);
    }
    uint32_t pixel(int x, int y) const
    {
        GdiFlush();
        return bits[y * width + x] & 0xFFFFFF;
    }
    // Non-white pixels inside [left, right) x [top, bottom).
    int inked(int left, int top, int right, int bottom) const
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) count += pixel(x, y) != 0xFFFFFF;
        return count;
    }

    const int width, height;
    HDC context;

private:
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits = nullptr;
};
