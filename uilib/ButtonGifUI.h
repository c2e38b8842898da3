// CButtonGifUI: a button whose picture is an animated GIF played through GDI+,
// always ("play") or while the mouse is over it. Each frame stays for its own
// delay (100 ms when the file gives none); a GIF that does not load leaves the
// button's own state images. The GIF is read the way skin images are (a file
// under the resource path, an entry of the skin zip, or a path) and handed to
// GDI+ from memory through a stream that lives as long as the image.
// UI thread only.
#pragma once

#include "ButtonUI.h"
#include "GdiplusSession.h"

#include "ComPtr.h"

#include <memory>
#include <vector>

namespace Gdiplus {
class Image;
}

namespace SkinUI {

class CButtonGifUI : public CButtonUI {
public:
    // The id of the animation's timer.
    static constexpr UINT kAnimationTimer = 15;

    CButtonGifUI();
    ~CButtonGifUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init = true) override;
    void SetVisible(bool visible = true) override;
    void OnEvent(TEventMsgUI& event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintStateImage(HDC dc) override;

    // Loads the GIF (also the button's normal image); false when it is no GIF.
    bool LoadGif(const wchar_t* file);
    bool HasGif() const { return m_pGifImage != nullptr; }
    bool IsAnimating() const { return m_bIsAnimating; }
    bool IsPlayAlways() const { return m_bPlayAlways; }
    UINT GetFrameCount() const { return m_nFrameCount; }
    UINT GetFrameIndex() const { return m_nFramePosition; }
    // Milliseconds per frame, as the file gives them (0 where it gives none).
    const std::vector<UINT>& GetFrameDelays() const { return m_delays; }
    // How long a frame stays: its delay, or 100 ms when it has none.
    UINT GetFrameDuration(UINT frame) const;

private:
    void releaseGif();
    void startAnimation();
    void stopAnimation();
    // Arms the timer for the present frame's delay.
    void armTimer();
    void advanceFrame();

    CGdiplusSession m_gdiplus;
    Com::ComPtr<IStream> m_pStream;
    std::unique_ptr<Gdiplus::Image> m_pGifImage;
    UINT m_nFrameCount = 0;
    std::vector<UINT> m_delays;
    UINT m_nFramePosition = 0;
    bool m_bIsAnimating = false;
    bool m_bPlayAlways = false;
};

}  // namespace SkinUI
