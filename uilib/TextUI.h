// CTextUI: multi-line text, word-wrapped by default, whose tagged text may
// hold up to 8 links; clicking link i sends "link" with wParam i. Its height
// can follow its text (MeasureSize measures the wrapped text).
// UI thread only.
#pragma once

#include "LabelUI.h"
#include "TextLinks.h"

namespace SkinUI {

class CTextUI : public CLabelUI {
public:
    CTextUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    void OnEvent(TEventMsgUI& event) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintContentText(HDC dc) override;

    int GetLinkCount() const { return m_links.nLinks; }
    RECT GetLinkRect(int index) const { return m_links.GetRect(index); }
    CUIString GetLinkText(int index) const { return m_links.GetText(index); }
    int GetHotLink() const { return m_links.nHotLink; }

private:
    TTextLinksUI m_links;
};

}  // namespace SkinUI
