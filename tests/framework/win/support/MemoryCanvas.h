// A drawing target for window tests: a 32-bit top-down DIB selected into a
// memory DC, filled white, with its pixels readable as 0x00RRGGBB. It can
// also take a copy of the screen's top-left corner (under a display) and be
// written as a BMP file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

class MemoryCanvas {
public:
    static constexpr uint32_t kWhite = 0xFFFFFF;

    MemoryCanvas(int width, int height) : width(width), height(height)
    {
        BITMAPINFO info = header();
        context = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(context, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previous = SelectObject(context, bitmap);
        for (int i = 0; i < width * height; ++i) bits[i] = kWhite;
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    ~MemoryCanvas()
    {
        SelectObject(context, previous);
        DeleteObject(bitmap);
        DeleteDC(context);
    }

    // Copies what the screen shows at its top-left corner.
    void copyScreen()
    {
        HDC screen = GetDC(nullptr);
        BitBlt(context, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        ReleaseDC(nullptr, screen);
    }

    uint32_t pixel(int x, int y) const
    {
        GdiFlush();
        return bits[y * width + x] & 0xFFFFFF;
    }
    // Pixels inside [left, right) x [top, bottom) of another colour than `colour`.
    int differing(int left, int top, int right, int bottom, uint32_t colour) const
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) count += pixel(x, y) != colour;
        return count;
    }
    // Pixels inside the rectangle that are not white.
    int inked(int left, int top, int right, int bottom) const { return differing(left, top, right, bottom, kWhite); }

    bool writeBmp(const std::string& path) const
    {
        GdiFlush();
        BITMAPINFO info = header();
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        const size_t bytes = size_t(width) * height * 4;
        file.bfSize = static_cast<DWORD>(file.bfOffBits + bytes);
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out) return false;
        bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
            std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 && std::fwrite(bits, bytes, 1, out) == 1;
        return std::fclose(out) == 0 && written;
    }

    const int width, height;
    HDC context;

private:
    BITMAPINFO header() const
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        return info;
    }

    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits = nullptr;
};
