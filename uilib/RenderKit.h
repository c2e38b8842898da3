// CRenderKit: the library's stateless drawing routines on a device context:
// skin images loaded into 32-bit premultiplied top-down DIB sections; drawing
// an image through the image-string language (file, res, restype, dest,
// source, corner, mask, fade, hole, xtiled, ytiled); colour and gradient fills
// with alpha; lines, rectangles, plain text and tagged text; clipping helpers.
// Images and fonts come from a window manager. UI thread only.
#pragma once

#include "UIRect.h"
#include "UIString.h"
#include "WindowManagerUI.h"

#include <cstdint>
#include <vector>

namespace SkinUI {

// A clip made by CRenderKit::GenerateClip or GenerateRoundClip: painting
// stays inside it until the record is destroyed, which restores the region
// that was in force before.
class CRenderClip {
public:
    CRenderClip() = default;
    ~CRenderClip();
    CRenderClip(const CRenderClip&) = delete;
    CRenderClip& operator=(const CRenderClip&) = delete;

    RECT rcItem{};
    HDC hDC = nullptr;
    HRGN hRgn = nullptr;
    HRGN hOldRgn = nullptr;

    // Paints with the region before the clip until UseOldClipEnd.
    static void UseOldClipBegin(HDC dc, CRenderClip& clip);
    static void UseOldClipEnd(HDC dc, CRenderClip& clip);
};

class CRenderKit {
public:
    // Narrows the DC's clip to the rectangle (and, for the round clip, to the
    // rounded rectangle of rcItem) until the record is destroyed.
    static void GenerateClip(HDC dc, RECT rc, CRenderClip& clip);
    static void GenerateRoundClip(HDC dc, RECT rc, RECT rcItem, int width, int height, CRenderClip& clip);

    // Decodes an image file's bytes into an image record; null when they are not an image.
    static TImageInfo* LoadImageBytes(const uint8_t* bytes, size_t size, DWORD mask = 0);
    // Loads by name (file under the resource path, or entry of the skin zip, or a
    // path of its own) or by resource id with a type. Null when it cannot.
    static TImageInfo* LoadImage(const wchar_t* name, const wchar_t* type = nullptr, DWORD mask = 0);
    static void FreeImage(TImageInfo* image);
    // The bytes of a skin file, found as images are: a resource of the type, a
    // file under the resource path or an entry of the skin zip, then the name as a path.
    static bool LoadSkinBytes(const wchar_t* name, const wchar_t* type, std::vector<uint8_t>& bytes);
    // The bytes of a resource of the resource module (the name may be an integer id).
    static bool LoadResourceBytes(const wchar_t* name, const wchar_t* type, std::vector<uint8_t>& bytes);
    // The same resource where the module holds it (false: missing or empty).
    static bool FindResourceData(const wchar_t* name, const wchar_t* type, const uint8_t*& data, DWORD& size);

    static bool DrawImageString(HDC dc, CWindowManagerUI* manager, const RECT& rcItem, const RECT& rcPaint,
        const wchar_t* image, const wchar_t* modify = nullptr);
    static void DrawImage(HDC dc, HBITMAP bitmap, const RECT& rc, const RECT& rcPaint, const RECT& rcBmpPart,
        const RECT& rcCorners, bool alpha, BYTE fade = 255, bool hole = false, bool xtiled = false,
        bool ytiled = false);
    static void DrawColor(HDC dc, const RECT& rc, DWORD color);
    static void DrawGradient(HDC dc, const RECT& rc, DWORD first, DWORD second, bool vertical, int steps);
    static void DrawLine(HDC dc, const RECT& rc, int size, DWORD color, int style = PS_SOLID);
    static void DrawRect(HDC dc, const RECT& rc, int size, DWORD color);
    static void DrawRoundRect(HDC dc, const RECT& rc, int size, int width, int height, DWORD color);
    static void DrawText(
        HDC dc, CWindowManagerUI* manager, RECT& rc, const wchar_t* text, DWORD color, int font, UINT style);
    static void DrawHtmlText(HDC dc, CWindowManagerUI* manager, RECT& rc, const wchar_t* text, DWORD color, RECT* links,
        CUIString* linkTexts, int& linkCount, UINT style);
    // Fits rc to the text (DT_CALCRECT added), plain or tagged, on the
    // manager's paint DC or, before the window has one, the screen's.
    static void MeasureText(CWindowManagerUI* manager, RECT& rc, const wchar_t* text, int font, UINT style, bool html);
    static HBITMAP GenerateBitmap(CWindowManagerUI* manager, CControlUI* control, RECT rc);
    static SIZE GetTextSize(HDC dc, CWindowManagerUI* manager, const wchar_t* text, int font, UINT style);
    static DWORD AdjustColor(DWORD color, short hue, short saturation, short lightness);
    static LONG PixelsToHimetric(int pixels, int pixelsPerInch);
};

}  // namespace SkinUI
