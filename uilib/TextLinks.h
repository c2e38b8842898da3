// The links that tagged text held at its last paint (a text control's, a list
// text row's): at most kMaxLinks slots of a rectangle and a link text; a click
// or hover is matched against the rectangles. UI thread only.
#pragma once

#include "RenderKit.h"

namespace SkinUI {

struct TTextLinksUI {
    enum { kMaxLinks = 8 };

    RECT GetRect(int index) const { return index >= 0 && index < nLinks ? rcLinks[index] : RECT{0, 0, 0, 0}; }
    CUIString GetText(int index) const { return index >= 0 && index < nLinks ? sLinks[index] : CUIString(); }
    // The link under a point, or -1.
    int At(POINT pt) const
    {
        for (int i = 0; i < nLinks; ++i)
            if (::PtInRect(&rcLinks[i], pt)) return i;
        return -1;
    }
    // Makes a link (or -1) the hot one; answers whether that changed anything.
    bool SetHot(int link)
    {
        if (link == nHotLink) return false;
        nHotLink = link;
        return true;
    }
    // Draws tagged text, recording the links it meets in the free slots.
    void DrawHtmlText(HDC dc, CWindowManagerUI* manager, RECT& rc, const wchar_t* text, DWORD color, UINT style)
    {
        int found = kMaxLinks - nLinks;
        CRenderKit::DrawHtmlText(dc, manager, rc, text, color, rcLinks + nLinks, sLinks + nLinks, found, style);
        nLinks += found;
    }
    // Empties the slots past the links found.
    void ClearFreeSlots()
    {
        for (int i = nLinks; i < kMaxLinks; ++i) {
            rcLinks[i] = RECT{0, 0, 0, 0};
            sLinks[i].Empty();
        }
    }

    RECT rcLinks[kMaxLinks]{};
    CUIString sLinks[kMaxLinks];
    int nLinks = 0;
    int nHotLink = -1;
};

}  // namespace SkinUI
