// CUIRect: a RECT with the small operations the layouts need. It is a RECT, so
// it goes straight to the Win32 calls.
#pragma once

#include "UICommon.h"

#include <utility>

namespace SkinUI {

class CUIRect : public RECT {
public:
    CUIRect() { left = top = right = bottom = 0; }
    CUIRect(const RECT& rc) { *static_cast<RECT*>(this) = rc; }
    CUIRect(int l, int t, int r, int b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }

    int GetWidth() const { return right - left; }
    int GetHeight() const { return bottom - top; }
    void Empty() { left = top = right = bottom = 0; }
    bool IsNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool IsEmptyArea() const { return right <= left || bottom <= top; }
    // The smallest rectangle covering both; an empty side is ignored.
    void Join(const RECT& rc)
    {
        if (rc.left < left) left = rc.left;
        if (rc.top < top) top = rc.top;
        if (rc.right > right) right = rc.right;
        if (rc.bottom > bottom) bottom = rc.bottom;
    }
    void ResetOffset() { Offset(-left, -top); }
    void Normalize()
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
    }
    void Offset(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    void Inflate(int dx, int dy)
    {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }
    void Deflate(int dx, int dy) { Inflate(-dx, -dy); }
    void Union(const RECT& rc) { Join(rc); }
    bool Contains(POINT pt) const { return pt.x >= left && pt.x < right && pt.y >= top && pt.y < bottom; }
    bool operator==(const RECT& rc) const
    {
        return left == rc.left && top == rc.top && right == rc.right && bottom == rc.bottom;
    }
};

}  // namespace SkinUI
