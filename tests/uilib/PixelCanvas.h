// An off-screen 32-bit top-down DIB selected into a memory DC, filled white,
// for checking what the drawing routines put where. No display needed.
#pragma once

#include "UICommon.h"

#include <cstdint>

class PixelCanvas {
public:
    PixelCanvas(int width, int height) : m_width(width), m_height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_old = SelectObject(m_dc, m_bitmap);
        Fill(0xFFFFFF);
    }
    ~PixelCanvas()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    void Fill(uint32_t rgb)
    {
        for (int i = 0; i < m_width * m_height; ++i) m_bits[i] = rgb;
    }
    // 0xRRGGBB of a pixel.
    uint32_t At(int x, int y) const
    {
        GdiFlush();
        return m_bits[y * m_width + x] & 0xFFFFFF;
    }
    int Red(int x, int y) const { return (At(x, y) >> 16) & 0xFF; }
    int Green(int x, int y) const { return (At(x, y) >> 8) & 0xFF; }
    int Blue(int x, int y) const { return At(x, y) & 0xFF; }
    // Pixels inside a rectangle that are not white.
    int CountNotWhite(RECT rc) const
    {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x) n += At(x, y) != 0xFFFFFF;
        return n;
    }
    int CountWhere(RECT rc, bool (*pred)(uint32_t)) const
    {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x) n += pred(At(x, y));
        return n;
    }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    uint32_t* m_bits = nullptr;
};
