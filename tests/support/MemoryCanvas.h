// A drawing target for drawing and window tests: a 32-bit top-down DIB
// selected into a memory DC, filled white, with its pixels readable as
// 0x00RRGGBB (no display needed). It can also take a copy of the screen's
// top-left corner or of a window's client area (under a display) and be
// written as a BMP file.
//
//   MemoryCanvas canvas(100, 20);
//   draw(canvas.context);
//   EXPECT_EQ(canvas.pixel(5, 5), 0xFF0000u);
//   EXPECT_EQ(canvas.inked({0, 10, 100, 20}), 0);
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
        fill(kWhite);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    ~MemoryCanvas()
    {
        SelectObject(context, previous);
        DeleteObject(bitmap);
        DeleteDC(context);
    }

    void fill(uint32_t colour)
    {
        GdiFlush();
        for (int i = 0; i < width * height; ++i) bits[i] = colour;
    }

    // Copies what the screen shows at its top-left corner.
    void copyScreen() { copyWindow(nullptr); }
    // Copies what the screen shows of the window's client area (its top-left corner).
    void copyWindow(HWND window)
    {
        HDC screen = GetDC(window);
        BitBlt(context, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        ReleaseDC(window, screen);
    }

    uint32_t pixel(int x, int y) const
    {
        GdiFlush();
        return bits[y * width + x] & 0xFFFFFF;
    }
    int red(int x, int y) const { return (pixel(x, y) >> 16) & 0xFF; }
    int green(int x, int y) const { return (pixel(x, y) >> 8) & 0xFF; }
    int blue(int x, int y) const { return pixel(x, y) & 0xFF; }

    // Pixels inside area (right and bottom outside) for which test holds.
    template <class Test>
    int countWhere(const RECT& area, Test test) const
    {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) count += test(pixel(x, y)) ? 1 : 0;
        return count;
    }
    // Pixels inside [left, right) x [top, bottom) of another colour than `colour`.
    int differing(int left, int top, int right, int bottom, uint32_t colour) const
    {
        return countWhere(RECT{left, top, right, bottom}, [colour](uint32_t found) { return found != colour; });
    }
    // Pixels that differ from those of a canvas of the same size.
    int differingFrom(const MemoryCanvas& other) const
    {
        GdiFlush();
        int count = 0;
        for (int i = 0; i < width * height; ++i) count += (bits[i] & 0xFFFFFF) != (other.bits[i] & 0xFFFFFF);
        return count;
    }
    // Pixels inside the rectangle that are not white.
    int inked(int left, int top, int right, int bottom) const { return differing(left, top, right, bottom, kWhite); }
    int inked(const RECT& area) const { return inked(area.left, area.top, area.right, area.bottom); }

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
