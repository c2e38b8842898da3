#include "TextStyle.h"

#include "RenderKit.h"

namespace SkinUI {

RECT TTextStyleUI::TextRect(const RECT& item) const
{
    return RECT{item.left + rcTextPadding.left, item.top + rcTextPadding.top, item.right - rcTextPadding.right,
        item.bottom - rcTextPadding.bottom};
}

void TTextStyleUI::Draw(
    HDC dc, CWindowManagerUI* manager, const RECT& item, const wchar_t* text, DWORD color, UINT style) const
{
    RECT rc = TextRect(item);
    if (bShowHtml) {
        int links = 0;
        CRenderKit::DrawHtmlText(dc, manager, rc, text, color, nullptr, nullptr, links, style);
    } else {
        CRenderKit::DrawText(dc, manager, rc, text, color, iFont, style);
    }
}

}  // namespace SkinUI
