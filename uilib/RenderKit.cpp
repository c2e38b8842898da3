// Implementation details: images are decoded by stb_image and premultiplied
// once into a top-down DIB section, so drawing is one AlphaBlend per part.
// AlphaBlend and GradientFill are looked up once in msimg32.dll; without them a
// per-pixel blend and banded fills take their place. Image strings are parsed
// with bounds everywhere: a value without its closing quote ends the string.
#include "RenderKit.h"

#include "ControlUI.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#define STBI_NO_STDIO
#include <stb_image.h>

namespace SkinUI {

namespace {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

struct SystemBlend {
    AlphaBlendFn alphaBlend = nullptr;
    GradientFillFn gradientFill = nullptr;
    SystemBlend()
    {
        HMODULE module = LoadLibraryW(L"msimg32.dll");
        if (!module) return;
        alphaBlend = reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(GetProcAddress(module, "AlphaBlend")));
        gradientFill =
            reinterpret_cast<GradientFillFn>(reinterpret_cast<void*>(GetProcAddress(module, "GradientFill")));
    }
};

const SystemBlend& systemBlend()
{
    static SystemBlend blend;
    return blend;
}

COLORREF rgbOf(DWORD argb)
{
    return RGB(GetBValue(argb), GetGValue(argb), GetRValue(argb));
}

HBITMAP createDib(HDC dc, int cx, int cy, BYTE** bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = static_cast<BYTE*>(pixels);
    return bitmap;
}

// Blends src (premultiplied when srcAlpha) over dst through temporary DIBs,
// for systems without AlphaBlend.
BOOL blendFallback(
    HDC dst, int dx, int dy, int dcx, int dcy, HDC src, int sx, int sy, int scx, int scy, BLENDFUNCTION bf)
{
    if (dcx <= 0 || dcy <= 0) return TRUE;
    HDC memDst = CreateCompatibleDC(dst);
    HDC memSrc = CreateCompatibleDC(dst);
    BYTE *dstBits = nullptr, *srcBits = nullptr;
    HBITMAP dstBmp = createDib(dst, dcx, dcy, &dstBits);
    HBITMAP srcBmp = createDib(dst, dcx, dcy, &srcBits);
    if (!memDst || !memSrc || !dstBmp || !srcBmp) {
        if (dstBmp) DeleteObject(dstBmp);
        if (srcBmp) DeleteObject(srcBmp);
        if (memDst) DeleteDC(memDst);
        if (memSrc) DeleteDC(memSrc);
        return FALSE;
    }
    HGDIOBJ oldDst = SelectObject(memDst, dstBmp);
    HGDIOBJ oldSrc = SelectObject(memSrc, srcBmp);
    BitBlt(memDst, 0, 0, dcx, dcy, dst, dx, dy, SRCCOPY);
    SetStretchBltMode(memSrc, COLORONCOLOR);
    StretchBlt(memSrc, 0, 0, dcx, dcy, src, sx, sy, scx, scy, SRCCOPY);
    GdiFlush();
    bool perPixel = bf.AlphaFormat == AC_SRC_ALPHA;
    for (int i = 0; i < dcx * dcy; ++i) {
        BYTE* d = dstBits + i * 4;
        BYTE* s = srcBits + i * 4;
        int constant = bf.SourceConstantAlpha;
        int sa = perPixel ? s[3] * constant / 255 : constant;
        for (int c = 0; c < 3; ++c) {
            int sc = perPixel ? s[c] * constant / 255 : s[c] * constant / 255;
            d[c] = static_cast<BYTE>(std::min(255, sc + d[c] * (255 - sa) / 255));
        }
    }
    BitBlt(dst, dx, dy, dcx, dcy, memDst, 0, 0, SRCCOPY);
    SelectObject(memDst, oldDst);
    SelectObject(memSrc, oldSrc);
    DeleteObject(dstBmp);
    DeleteObject(srcBmp);
    DeleteDC(memDst);
    DeleteDC(memSrc);
    return TRUE;
}

BOOL alphaBlend(HDC dst, int dx, int dy, int dcx, int dcy, HDC src, int sx, int sy, int scx, int scy, BLENDFUNCTION bf)
{
    if (systemBlend().alphaBlend) return systemBlend().alphaBlend(dst, dx, dy, dcx, dcy, src, sx, sy, scx, scy, bf);
    return blendFallback(dst, dx, dy, dcx, dcy, src, sx, sy, scx, scy, bf);
}

bool readWholeFile(const wchar_t* path, std::vector<uint8_t>& bytes)
{
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= 64 * 1024 * 1024;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
    }
    CloseHandle(file);
    return ok;
}

bool readZipEntry(HZIP zip, const wchar_t* name, std::vector<uint8_t>& bytes)
{
    int index = -1;
    ZipEntry entry{};
    if (ZipFindItem(zip, name, true, &index, &entry) != ZR_OK) return false;
    if (entry.unzipSize <= 0 || entry.unzipSize > 64 * 1024 * 1024) return false;
    bytes.resize(static_cast<size_t>(entry.unzipSize));
    DWORD rc = ZipUnzipItem(zip, index, bytes.data(), static_cast<unsigned int>(bytes.size()), ZIP_MEMORY);
    return rc == ZR_OK || rc == ZR_MORE;
}

bool readSkinBytes(const wchar_t* name, const wchar_t* type, std::vector<uint8_t>& bytes)
{
    if (type) return CRenderKit::LoadResourceBytes(name, type, bytes);
    bool found = false;
    if (CWindowManagerUI::GetResourceZip().IsEmpty()) {
        CUIString path = CWindowManagerUI::GetResourcePath() + name;
        found = readWholeFile(path, bytes);
    } else {
        HZIP zip = CWindowManagerUI::GetZipArchive();
        bool own = false;
        if (!zip) {
            CUIString path = CWindowManagerUI::GetResourcePath() + CWindowManagerUI::GetResourceZip().GetData();
            zip = ZipOpen(path.GetData(), 0, ZIP_FILENAME);
            own = zip != nullptr;
        }
        if (zip) found = readZipEntry(zip, name, bytes);
        if (own) ZipClose(zip);
    }
    if (!found) found = readWholeFile(name, bytes);
    return found;
}

// --- image string language ---

// Reads "key='value'" pairs; false at the end or at a malformed pair.
bool nextImageAttribute(const wchar_t*& p, CUIString& key, CUIString& value)
{
    while (*p > 0 && *p <= L' ') ++p;
    if (!*p) return false;
    const wchar_t* keyStart = p;
    while (*p && *p != L'=' && *p > L' ') ++p;
    key.Assign(keyStart, static_cast<int>(p - keyStart));
    while (*p > 0 && *p <= L' ') ++p;
    if (*p != L'=') return false;
    ++p;
    while (*p > 0 && *p <= L' ') ++p;
    if (*p != L'\'') return false;
    const wchar_t* valueStart = ++p;
    while (*p && *p != L'\'') ++p;
    if (*p != L'\'') return false;
    value.Assign(valueStart, static_cast<int>(p - valueStart));
    ++p;
    return true;
}

struct ImageDraw {
    CUIString file;
    CUIString type;
    RECT dest{};
    RECT source{};
    RECT corner{};
    DWORD mask = 0;
    BYTE fade = 255;
    bool hole = false;
    bool xtiled = false;
    bool ytiled = false;
    bool destGiven = false;
    bool sourceGiven = false;
};

// Applies one string to the drawing state; a second file/res draws the image so
// far first (through flush). Answers false when a draw of a named image fails.
template <class Flush>
void applyImageString(const wchar_t* text, ImageDraw& draw, Flush flush)
{
    if (!text || !*text) return;
    const wchar_t* p = text;
    while (*p > 0 && *p <= L' ') ++p;
    if (!wcschr(p, L'=')) {
        // A bare file name.
        draw.file = p;
        return;
    }
    CUIString key, value;
    while (nextImageAttribute(p, key, value)) {
        if (key == L"file" || key == L"res") {
            if (!draw.file.IsEmpty()) {
                flush(draw);
                draw = ImageDraw{};
            }
            draw.file = value;
        } else if (key == L"restype") {
            draw.type = value;
        } else if (key == L"dest") {
            draw.dest = AttributeValue::ParseRect(value);
            draw.destGiven = true;
        } else if (key == L"source") {
            draw.source = AttributeValue::ParseRect(value);
            draw.sourceGiven = true;
        } else if (key == L"corner") {
            draw.corner = AttributeValue::ParseRect(value);
        } else if (key == L"mask") {
            draw.mask = AttributeValue::ParseColor(value);
        } else if (key == L"fade") {
            int fade = AttributeValue::ParseInt(value);
            draw.fade = static_cast<BYTE>(std::clamp(fade, 0, 255));
        } else if (key == L"hole") {
            draw.hole = value == L"true";
        } else if (key == L"xtiled") {
            draw.xtiled = value == L"true";
        } else if (key == L"ytiled") {
            draw.ytiled = value == L"true";
        }
    }
}

// Draws one parsed image; false when the image cannot be loaded.
bool drawParsedImage(HDC dc, CWindowManagerUI* manager, const RECT& rcItem, const RECT& rcPaint, const ImageDraw& draw)
{
    if (draw.file.IsEmpty()) return true;
    const TImageInfo* image =
        manager->GetImageEx(draw.file, draw.type.IsEmpty() ? nullptr : draw.type.GetData(), draw.mask);
    if (!image) return false;
    RECT dest = rcItem;
    if (draw.destGiven) {
        dest.left = rcItem.left + draw.dest.left;
        dest.top = rcItem.top + draw.dest.top;
        dest.right = std::min(rcItem.left + draw.dest.right, static_cast<LONG>(rcItem.right));
        dest.bottom = std::min(rcItem.top + draw.dest.bottom, static_cast<LONG>(rcItem.bottom));
    }
    RECT source = {0, 0, image->nX, image->nY};
    if (draw.sourceGiven) {
        source = draw.source;
        source.right = std::min(source.right, static_cast<LONG>(image->nX));
        source.bottom = std::min(source.bottom, static_cast<LONG>(image->nY));
        source.left = std::clamp(source.left, 0L, source.right);
        source.top = std::clamp(source.top, 0L, source.bottom);
    }
    RECT clip;
    if (!IntersectRect(&clip, &dest, &rcItem)) return true;
    CRenderKit::DrawImage(dc, image->hBitmap, dest, rcPaint, source, draw.corner, image->alphaChannel, draw.fade,
        draw.hole, draw.xtiled, draw.ytiled);
    return true;
}

// --- colours ---

void rgbToHsl(DWORD argb, float& h, float& s, float& l)
{
    float r = GetBValue(argb) / 255.0f, g = GetGValue(argb) / 255.0f, b = GetRValue(argb) / 255.0f;
    float maxC = std::max({r, g, b}), minC = std::min({r, g, b});
    l = (maxC + minC) / 2;
    if (maxC == minC) {
        h = s = 0;
        return;
    }
    float d = maxC - minC;
    s = l > 0.5f ? d / (2 - maxC - minC) : d / (maxC + minC);
    if (maxC == r)
        h = (g - b) / d + (g < b ? 6 : 0);
    else if (maxC == g)
        h = (b - r) / d + 2;
    else
        h = (r - g) / d + 4;
    h *= 60;
}

float hueChannel(float p, float q, float t)
{
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0f / 6) return p + (q - p) * 6 * t;
    if (t < 0.5f) return q;
    if (t < 2.0f / 3) return p + (q - p) * (2.0f / 3 - t) * 6;
    return p;
}

DWORD hslToRgb(DWORD alpha, float h, float s, float l)
{
    float r, g, b;
    if (s == 0) {
        r = g = b = l;
    } else {
        float q = l < 0.5f ? l * (1 + s) : l + s - l * s;
        float p = 2 * l - q;
        float hh = h / 360;
        r = hueChannel(p, q, hh + 1.0f / 3);
        g = hueChannel(p, q, hh);
        b = hueChannel(p, q, hh - 1.0f / 3);
    }
    auto byte = [](float v) { return static_cast<DWORD>(std::clamp(static_cast<int>(v * 255 + 0.5f), 0, 255)); };
    return alpha | (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

// Keeps the DC's clip region and narrows it to the rectangle (and the shape, when given).
void narrowClip(HDC dc, RECT rc, HRGN shape, CRenderClip& clip)
{
    RECT box{};
    GetClipBox(dc, &box);
    clip.hOldRgn = CreateRectRgnIndirect(&box);
    // A DC without a clip region answers 0: restoring then selects none again.
    if (GetClipRgn(dc, clip.hOldRgn) != 1) {
        DeleteObject(clip.hOldRgn);
        clip.hOldRgn = nullptr;
    }
    clip.hRgn = CreateRectRgnIndirect(&rc);
    if (shape) CombineRgn(clip.hRgn, clip.hRgn, shape, RGN_AND);
    ExtSelectClipRgn(dc, clip.hRgn, RGN_AND);
    clip.hDC = dc;
    clip.rcItem = rc;
}

}  // namespace

// --- clipping ---

CRenderClip::~CRenderClip()
{
    if (hDC) {
        SelectClipRgn(hDC, hOldRgn);
    }
    if (hOldRgn) DeleteObject(hOldRgn);
    if (hRgn) DeleteObject(hRgn);
}

void CRenderKit::GenerateClip(HDC dc, RECT rc, CRenderClip& clip)
{
    narrowClip(dc, rc, nullptr, clip);
}

void CRenderKit::GenerateRoundClip(HDC dc, RECT rc, RECT rcItem, int width, int height, CRenderClip& clip)
{
    HRGN round = CreateRoundRectRgn(rcItem.left, rcItem.top, rcItem.right + 1, rcItem.bottom + 1, width, height);
    narrowClip(dc, rc, round, clip);
    DeleteObject(round);
}

void CRenderClip::UseOldClipBegin(HDC dc, CRenderClip& clip)
{
    SelectClipRgn(dc, clip.hOldRgn);
}

void CRenderClip::UseOldClipEnd(HDC dc, CRenderClip& clip)
{
    SelectClipRgn(dc, clip.hRgn);
}

// --- images ---

TImageInfo* CRenderKit::LoadImageBytes(const uint8_t* bytes, size_t size, DWORD mask)
{
    if (!bytes || size == 0 || size > 0x7FFFFFFF) return nullptr;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 4);
    if (!pixels) return nullptr;
    BYTE* bits = nullptr;
    HBITMAP bitmap = width > 0 && height > 0 ? createDib(nullptr, width, height, &bits) : nullptr;
    if (!bitmap) {
        stbi_image_free(pixels);
        return nullptr;
    }
    bool alpha = false;
    for (int i = 0; i < width * height; ++i) {
        const BYTE* s = pixels + i * 4;
        BYTE* d = bits + i * 4;
        BYTE a = s[3];
        if (a == 255) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        } else {
            d[0] = static_cast<BYTE>(s[2] * a / 255);
            d[1] = static_cast<BYTE>(s[1] * a / 255);
            d[2] = static_cast<BYTE>(s[0] * a / 255);
            alpha = true;
        }
        d[3] = a;
        DWORD value = static_cast<DWORD>(d[0]) | (static_cast<DWORD>(d[1]) << 8) | (static_cast<DWORD>(d[2]) << 16) |
            (static_cast<DWORD>(d[3]) << 24);
        if (mask != 0 && value == mask) {
            d[0] = d[1] = d[2] = d[3] = 0;
            alpha = true;
        }
    }
    stbi_image_free(pixels);
    TImageInfo* info = new (std::nothrow) TImageInfo;
    if (!info) {
        DeleteObject(bitmap);
        return nullptr;
    }
    info->hBitmap = bitmap;
    info->nX = width;
    info->nY = height;
    info->alphaChannel = alpha;
    info->dwMask = mask;
    return info;
}

TImageInfo* CRenderKit::LoadImage(const wchar_t* name, const wchar_t* type, DWORD mask)
{
    if (!name || !*name) return nullptr;
    std::vector<uint8_t> bytes;
    if (!readSkinBytes(name, type, bytes)) return nullptr;
    TImageInfo* info = LoadImageBytes(bytes.data(), bytes.size(), mask);
    if (info && type) info->sResType = type;
    return info;
}

bool CRenderKit::LoadSkinBytes(const wchar_t* name, const wchar_t* type, std::vector<uint8_t>& bytes)
{
    if (!name || !*name) return false;
    return readSkinBytes(name, type, bytes);
}

bool CRenderKit::FindResourceData(const wchar_t* name, const wchar_t* type, const uint8_t*& data, DWORD& size)
{
    HINSTANCE module = CWindowManagerUI::GetResourceInstance();
    HRSRC resource = FindResourceW(module, name, type);
    if (!resource) return false;
    HGLOBAL loaded = LoadResource(module, resource);
    size = SizeofResource(module, resource);
    data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    return data && size != 0;
}

bool CRenderKit::LoadResourceBytes(const wchar_t* name, const wchar_t* type, std::vector<uint8_t>& bytes)
{
    const uint8_t* data = nullptr;
    DWORD size = 0;
    if (!FindResourceData(name, type, data, size)) return false;
    bytes.assign(data, data + size);
    return true;
}

void CRenderKit::FreeImage(TImageInfo* image)
{
    if (!image) return;
    if (image->hBitmap) DeleteObject(image->hBitmap);
    delete image;
}

bool CRenderKit::DrawImageString(HDC dc, CWindowManagerUI* manager, const RECT& rcItem, const RECT& rcPaint,
    const wchar_t* image, const wchar_t* modify)
{
    if (!dc || !manager) return false;
    bool drewAll = true;
    auto flush = [&](const ImageDraw& draw) {
        if (!drawParsedImage(dc, manager, rcItem, rcPaint, draw)) drewAll = false;
    };
    ImageDraw draw;
    applyImageString(image, draw, flush);
    applyImageString(modify, draw, flush);
    flush(draw);
    // An image that cannot be loaded counts as a failure to draw, so the caller
    // clears the string and does not try it again.
    return drewAll;
}

namespace {

// Copies pieces of one bitmap, selected into a memory DC, to the target;
// pieces outside the painted area or of no size are skipped.
struct BitmapPieces {
    HDC dc;
    HDC memory;
    const RECT& rcPaint;
    BLENDFUNCTION bf;
    bool blend;

    void draw(RECT dest, int sx, int sy, int scx, int scy) const
    {
        RECT visible;
        if (dest.right <= dest.left || dest.bottom <= dest.top || scx <= 0 || scy <= 0) return;
        if (!IntersectRect(&visible, &dest, &rcPaint)) return;
        int dcx = dest.right - dest.left, dcy = dest.bottom - dest.top;
        if (blend) {
            alphaBlend(dc, dest.left, dest.top, dcx, dcy, memory, sx, sy, scx, scy, bf);
        } else if (dcx == scx && dcy == scy) {
            BitBlt(dc, dest.left, dest.top, dcx, dcy, memory, sx, sy, SRCCOPY);
        } else {
            StretchBlt(dc, dest.left, dest.top, dcx, dcy, memory, sx, sy, scx, scy, SRCCOPY);
        }
    }
};

// The centre of the source inside its corners, stretched or tiled along each axis.
void drawCentre(const BitmapPieces& pieces, const RECT& rc, const RECT& s, const RECT& c, bool xtiled, bool ytiled)
{
    RECT dest = {rc.left + c.left, rc.top + c.top, rc.right - c.right, rc.bottom - c.bottom};
    int sx = s.left + c.left, sy = s.top + c.top;
    int scx = s.right - s.left - c.left - c.right, scy = s.bottom - s.top - c.top - c.bottom;
    if (!xtiled && !ytiled) {
        pieces.draw(dest, sx, sy, scx, scy);
        return;
    }
    RECT visible;
    if (scx <= 0 || scy <= 0 || !IntersectRect(&visible, &dest, &pieces.rcPaint)) return;
    long long stepX = xtiled ? scx : dest.right - dest.left;
    long long stepY = ytiled ? scy : dest.bottom - dest.top;
    // Only the tiles that meet the painted area: a huge control has too many to visit.
    long long firstX = dest.left + (visible.left - dest.left) / stepX * stepX;
    long long firstY = dest.top + (visible.top - dest.top) / stepY * stepY;
    for (long long y = firstY; y < visible.bottom; y += stepY) {
        for (long long x = firstX; x < visible.right; x += stepX) {
            RECT tile = {static_cast<LONG>(x), static_cast<LONG>(y),
                static_cast<LONG>(std::min<long long>(x + stepX, dest.right)),
                static_cast<LONG>(std::min<long long>(y + stepY, dest.bottom))};
            int tcx = xtiled ? tile.right - tile.left : scx;
            int tcy = ytiled ? tile.bottom - tile.top : scy;
            pieces.draw(tile, sx, sy, tcx, tcy);
        }
    }
}

// The corners unscaled, the edges stretched along their length.
void drawFrame(const BitmapPieces& pieces, const RECT& rc, const RECT& s, const RECT& c)
{
    pieces.draw({rc.left, rc.top, rc.left + c.left, rc.top + c.top}, s.left, s.top, c.left, c.top);
    pieces.draw({rc.right - c.right, rc.top, rc.right, rc.top + c.top}, s.right - c.right, s.top, c.right, c.top);
    pieces.draw(
        {rc.left, rc.bottom - c.bottom, rc.left + c.left, rc.bottom}, s.left, s.bottom - c.bottom, c.left, c.bottom);
    pieces.draw({rc.right - c.right, rc.bottom - c.bottom, rc.right, rc.bottom}, s.right - c.right, s.bottom - c.bottom,
        c.right, c.bottom);
    int innerW = s.right - s.left - c.left - c.right, innerH = s.bottom - s.top - c.top - c.bottom;
    pieces.draw({rc.left + c.left, rc.top, rc.right - c.right, rc.top + c.top}, s.left + c.left, s.top, innerW, c.top);
    pieces.draw({rc.left + c.left, rc.bottom - c.bottom, rc.right - c.right, rc.bottom}, s.left + c.left,
        s.bottom - c.bottom, innerW, c.bottom);
    pieces.draw(
        {rc.left, rc.top + c.top, rc.left + c.left, rc.bottom - c.bottom}, s.left, s.top + c.top, c.left, innerH);
    pieces.draw({rc.right - c.right, rc.top + c.top, rc.right, rc.bottom - c.bottom}, s.right - c.right, s.top + c.top,
        c.right, innerH);
}

}  // namespace

void CRenderKit::DrawImage(HDC dc, HBITMAP bitmap, const RECT& rc, const RECT& rcPaint, const RECT& rcBmpPart,
    const RECT& rcCorners, bool alpha, BYTE fade, bool hole, bool xtiled, bool ytiled)
{
    if (!dc || !bitmap) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, fade, static_cast<BYTE>(alpha ? AC_SRC_ALPHA : 0)};
    const BitmapPieces pieces{dc, memory, rcPaint, bf, alpha || fade < 255};
    if (!hole) drawCentre(pieces, rc, rcBmpPart, rcCorners, xtiled, ytiled);
    drawFrame(pieces, rc, rcBmpPart, rcCorners);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void CRenderKit::DrawColor(HDC dc, const RECT& rc, DWORD color)
{
    BYTE alpha = static_cast<BYTE>(color >> 24);
    if (alpha == 0 || !dc) return;
    if (alpha == 0xFF) {
        SetBkColor(dc, rgbOf(color));
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
        return;
    }
    BYTE* bits = nullptr;
    HBITMAP pixel = createDib(dc, 1, 1, &bits);
    if (!pixel) return;
    // ARGB's low byte is blue, as in the DIB's BGRA order.
    bits[0] = static_cast<BYTE>(GetRValue(color) * alpha / 255);
    bits[1] = static_cast<BYTE>(GetGValue(color) * alpha / 255);
    bits[2] = static_cast<BYTE>(GetBValue(color) * alpha / 255);
    bits[3] = alpha;
    RECT whole = {0, 0, 1, 1};
    DrawImage(dc, pixel, rc, rc, whole, RECT{0, 0, 0, 0}, true, 255);
    DeleteObject(pixel);
}

namespace {

// Fills the area from one colour to the other: by the system's gradient fill
// where there is one, else in 2 to 64 bands of plain colour.
void fillGradient(HDC dc, const RECT& area, DWORD first, DWORD second, bool vertical, int steps)
{
    if (systemBlend().gradientFill) {
        TRIVERTEX vertex[2] = {
            {area.left, area.top, static_cast<COLOR16>(GetBValue(first) << 8),
                static_cast<COLOR16>(GetGValue(first) << 8), static_cast<COLOR16>(GetRValue(first) << 8), 0xFF00},
            {area.right, area.bottom, static_cast<COLOR16>(GetBValue(second) << 8),
                static_cast<COLOR16>(GetGValue(second) << 8), static_cast<COLOR16>(GetRValue(second) << 8), 0xFF00}};
        GRADIENT_RECT index = {0, 1};
        systemBlend().gradientFill(dc, vertex, 2, &index, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
        return;
    }
    int shift = steps >= 64 ? 6 : steps >= 32 ? 5 : steps >= 16 ? 4 : steps > 7 ? 3 : steps > 3 ? 2 : 1;
    int bands = 1 << shift;
    int length = vertical ? area.bottom - area.top : area.right - area.left;
    for (int i = 0; i < bands; ++i) {
        auto mix = [&](int a, int b) { return static_cast<BYTE>(a + (b - a) * i / (bands - 1)); };
        COLORREF band = RGB(mix(GetBValue(first), GetBValue(second)), mix(GetGValue(first), GetGValue(second)),
            mix(GetRValue(first), GetRValue(second)));
        RECT piece = area;
        if (vertical) {
            piece.top = area.top + length * i / bands;
            piece.bottom = area.top + length * (i + 1) / bands;
        } else {
            piece.left = area.left + length * i / bands;
            piece.right = area.left + length * (i + 1) / bands;
        }
        SetBkColor(dc, band);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &piece, nullptr, 0, nullptr);
    }
}

}  // namespace

void CRenderKit::DrawGradient(HDC dc, const RECT& rc, DWORD first, DWORD second, bool vertical, int steps)
{
    int alpha = ((first >> 24) + (second >> 24)) / 2;
    if (alpha == 0 || !dc) return;
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0) return;
    if (alpha >= 255) {
        fillGradient(dc, rc, first, second, vertical, steps);
        return;
    }
    // A translucent gradient is drawn off-screen, then blended in.
    HDC memory = CreateCompatibleDC(dc);
    BYTE* bits = nullptr;
    HBITMAP bitmap = createDib(dc, cx, cy, &bits);
    if (memory && bitmap) {
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        fillGradient(memory, RECT{0, 0, cx, cy}, first, second, vertical, steps);
        BLENDFUNCTION bf = {AC_SRC_OVER, 0, static_cast<BYTE>(alpha), 0};
        alphaBlend(dc, rc.left, rc.top, cx, cy, memory, 0, 0, cx, cy, bf);
        SelectObject(memory, oldBitmap);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
}

void CRenderKit::DrawLine(HDC dc, const RECT& rc, int size, DWORD color, int style)
{
    if (!dc) return;
    LOGBRUSH brush = {BS_SOLID, rgbOf(color), 0};
    HPEN pen = style == PS_SOLID ? CreatePen(PS_SOLID, size, rgbOf(color))
                                 : ExtCreatePen(PS_GEOMETRIC | style, size, &brush, 0, nullptr);
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, rc.left, rc.top, nullptr);
    LineTo(dc, rc.right, rc.bottom);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void CRenderKit::DrawRect(HDC dc, const RECT& rc, int size, DWORD color)
{
    if (!dc) return;
    HPEN pen = CreatePen(PS_SOLID | PS_INSIDEFRAME, size, rgbOf(color));
    if (!pen) return;
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void CRenderKit::DrawRoundRect(HDC dc, const RECT& rc, int size, int width, int height, DWORD color)
{
    if (!dc) return;
    HPEN pen = CreatePen(PS_SOLID | PS_INSIDEFRAME, size, rgbOf(color));
    if (!pen) return;
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, width, height);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void CRenderKit::DrawText(
    HDC dc, CWindowManagerUI* manager, RECT& rc, const wchar_t* text, DWORD color, int font, UINT style)
{
    if (!dc || !manager || !text) return;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, rgbOf(color));
    HGDIOBJ old = SelectObject(dc, manager->GetFont(font));
    ::DrawTextW(dc, text, -1, &rc, style);
    SelectObject(dc, old);
}

void CRenderKit::MeasureText(CWindowManagerUI* manager, RECT& rc, const wchar_t* text, int font, UINT style, bool html)
{
    HDC dc = manager->GetPaintDC();
    HDC screen = dc ? nullptr : ::GetDC(nullptr);
    if (html) {
        int links = 0;
        DrawHtmlText(dc ? dc : screen, manager, rc, text, 0, nullptr, nullptr, links, style | DT_CALCRECT);
    } else {
        DrawText(dc ? dc : screen, manager, rc, text, 0, font, style | DT_CALCRECT);
    }
    if (screen) ::ReleaseDC(nullptr, screen);
}

SIZE CRenderKit::GetTextSize(HDC dc, CWindowManagerUI* manager, const wchar_t* text, int font, UINT)
{
    SIZE size{0, 0};
    if (!dc || !manager || !text) return size;
    HGDIOBJ old = SelectObject(dc, manager->GetFont(font));
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, old);
    return size;
}

DWORD CRenderKit::AdjustColor(DWORD color, short hue, short saturation, short lightness)
{
    if (hue == 180 && saturation == 100 && lightness == 100) return color;
    float h, s, l;
    rgbToHsl(color, h, s, l);
    h += hue - 180;
    while (h < 0) h += 360;
    while (h >= 360) h -= 360;
    s = std::clamp(s * saturation / 100.0f, 0.0f, 1.0f);
    l = std::clamp(l * lightness / 100.0f, 0.0f, 1.0f);
    return hslToRgb(color & 0xFF000000, h, s, l);
}

LONG CRenderKit::PixelsToHimetric(int pixels, int pixelsPerInch)
{
    if (pixelsPerInch == 0) return 0;
    return MulDiv(pixels, 2540, pixelsPerInch);
}

HBITMAP CRenderKit::GenerateBitmap(CWindowManagerUI* manager, CControlUI* control, RECT rc)
{
    if (!manager || !control) return nullptr;
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0) return nullptr;
    HDC screen = manager->GetPaintDC();
    HDC memory = CreateCompatibleDC(screen);
    BYTE* bits = nullptr;
    HBITMAP bitmap = createDib(screen, cx, cy, &bits);
    if (!memory || !bitmap) {
        if (memory) DeleteDC(memory);
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetWindowOrgEx(memory, rc.left, rc.top, nullptr);
    control->Paint(memory, rc);
    SelectObject(memory, old);
    DeleteDC(memory);
    return bitmap;
}

}  // namespace SkinUI
