// CTextUI: multi-line text, word-wrapped by default, whose tagged text may
// hold up to 8 links; clicking link i sends "link" with wParam i. Its height
// can follow its text (MeasureSize measures the wrapped text).
// UI thread only.
#pragma once

#include "LabelUI.h"

namespace SkinUI {

class CTextUI : public CLabelUI {
public:
    enum { kMaxLinks = 8 };

    CTextUI();

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    UINT GetInputFlags() const override;
    void OnEvent(TEventMsgUI& event) override;
    SIZE MeasureSize(SIZE available) override;
    void PaintContentText(HDC dc) override;

    int GetLinkCount() const { return m_nLinks; }
    RECT GetLinkRect(int index) const;
    CUIString GetLinkText(int index) const;
    int GetHotLink() const { return m_nHoverLink; }

private:
    int linkAt(POINT pt) const;

    RECT m_rcLinks[kMaxLinks]{};
    CUIString m_sLinks[kMaxLinks];
    int m_nLinks = 0;
    int m_nHoverLink = -1;
};

}  // namespace SkinUI
