#include "ButtonGifUI.h"

#include "AttributeTable.h"
#include "RenderKit.h"

// GDI+ needs the OLE property types first.
#include <objidl.h>

#include <gdiplus.h>

namespace SkinUI {

namespace {

constexpr UINT kDefaultFrameDelay = 100;

// An IStream over a copy of the bytes; null when memory runs out.
Com::ComPtr<IStream> memoryStream(const std::vector<uint8_t>& bytes)
{
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!memory) return nullptr;
    void* data = ::GlobalLock(memory);
    if (data) memcpy(data, bytes.data(), bytes.size());
    ::GlobalUnlock(memory);
    Com::ComPtr<IStream> stream;
    if (!data || FAILED(::CreateStreamOnHGlobal(memory, TRUE, stream.Put()))) {
        ::GlobalFree(memory);
        return nullptr;
    }
    return stream;
}

}  // namespace

CButtonGifUI::CButtonGifUI() = default;

CButtonGifUI::~CButtonGifUI()
{
    if (m_pManager) m_pManager->KillTimer(this, kAnimationTimer);
    releaseGif();
}

const wchar_t* CButtonGifUI::GetClassName() const
{
    return L"ButtonGifUI";
}

LPVOID CButtonGifUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"ButtonGifUI") == 0) return this;
    return CButtonUI::GetInterfaceByName(name);
}

void CButtonGifUI::releaseGif()
{
    m_pGifImage.reset();
    m_pStream = nullptr;
    m_delays.clear();
    m_nFrameCount = 0;
    m_nFramePosition = 0;
}

bool CButtonGifUI::LoadGif(const wchar_t* file)
{
    SetNormalImage(file);
    if (!file || !*file) return false;
    stopAnimation();
    releaseGif();
    std::vector<uint8_t> bytes;
    if (!m_gdiplus.IsReady() || !CRenderKit::LoadSkinBytes(file, nullptr, bytes)) return false;
    m_pStream = memoryStream(bytes);
    if (!m_pStream) return false;
    auto image = std::make_unique<Gdiplus::Image>(m_pStream.Get());
    UINT dimensions = image->GetLastStatus() == Gdiplus::Ok ? image->GetFrameDimensionsCount() : 0;
    if (dimensions == 0) {
        releaseGif();
        return false;
    }
    std::vector<GUID> ids(dimensions);
    image->GetFrameDimensionsList(ids.data(), dimensions);
    UINT frames = image->GetFrameCount(&ids[0]);
    if (frames == 0) {
        releaseGif();
        return false;
    }
    // A one-frame GIF has no delays; a short list leaves the rest at 0.
    m_delays.assign(frames, 0);
    UINT size = image->GetPropertyItemSize(PropertyTagFrameDelay);
    if (size >= sizeof(Gdiplus::PropertyItem)) {
        std::vector<uint8_t> buffer(size);
        auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
        if (image->GetPropertyItem(PropertyTagFrameDelay, size, item) == Gdiplus::Ok && item->value &&
            item->type == PropertyTagTypeLong) {
            UINT count = std::min<UINT>(frames, item->length / sizeof(LONG));
            const LONG* values = static_cast<const LONG*>(item->value);
            for (UINT i = 0; i < count; ++i) m_delays[i] = values[i] > 0 ? static_cast<UINT>(values[i]) * 10 : 0;
        }
    }
    m_nFrameCount = frames;
    m_pGifImage = std::move(image);
    if (m_bPlayAlways) startAnimation();
    Invalidate();
    return true;
}

void CButtonGifUI::startAnimation()
{
    if (!m_pGifImage) return;
    m_bIsAnimating = true;
    m_nFramePosition = 0;
    armTimer();
    Invalidate();
}

void CButtonGifUI::stopAnimation()
{
    m_bIsAnimating = false;
    m_nFramePosition = 0;
    if (m_pManager) m_pManager->KillTimer(this, kAnimationTimer);
    Invalidate();
}

void CButtonGifUI::armTimer()
{
    if (!m_pManager) return;
    m_pManager->KillTimer(this, kAnimationTimer);
    if (m_nFrameCount < 2) return;
    m_pManager->SetTimer(this, kAnimationTimer, GetFrameDuration(m_nFramePosition));
}

UINT CButtonGifUI::GetFrameDuration(UINT frame) const
{
    if (frame >= m_delays.size() || m_delays[frame] == 0) return kDefaultFrameDelay;
    return m_delays[frame];
}

void CButtonGifUI::advanceFrame()
{
    if (!m_bIsAnimating || m_nFrameCount == 0) return;
    m_nFramePosition = (m_nFramePosition + 1) % m_nFrameCount;
    armTimer();
    Invalidate();
}

void CButtonGifUI::SetManager(CWindowManagerUI* manager, CControlUI* parent, bool init)
{
    CButtonUI::SetManager(manager, parent, init);
    // A GIF loaded before the control had its window starts playing now.
    if (m_bIsAnimating) armTimer();
}

void CButtonGifUI::SetVisible(bool visible)
{
    if (!visible && m_pManager) m_pManager->KillTimer(this, kAnimationTimer);
    CButtonUI::SetVisible(visible);
    // Shown again, a playing GIF goes on from where it is.
    if (visible && m_bIsAnimating) armTimer();
}

void CButtonGifUI::OnEvent(TEventMsgUI& event)
{
    switch (event.Type) {
    case UIEVENT_MOUSEENTER:
        if (m_pGifImage && !m_bPlayAlways) startAnimation();
        break;
    case UIEVENT_MOUSELEAVE:
        if (m_pGifImage && !m_bPlayAlways) stopAnimation();
        break;
    case UIEVENT_TIMER:
        if (event.wParam == kAnimationTimer) {
            advanceFrame();
            return;
        }
        break;
    default: break;
    }
    CButtonUI::OnEvent(event);
}

void CButtonGifUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    static const AttributeSetter<CButtonGifUI> kSetters[] = {
        {L"normalgiffile", [](auto& b, auto v) { b.LoadGif(v); }},
        {L"play",
            [](auto& b, auto v) {
                b.m_bPlayAlways = AttributeValue::ParseBool(v);
                if (b.m_bPlayAlways && b.m_pGifImage && !b.m_bIsAnimating) b.startAnimation();
            }},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CButtonUI::SetAttribute(name, value);
}

void CButtonGifUI::PaintStateImage(HDC dc)
{
    if (!m_pGifImage) {
        CButtonUI::PaintStateImage(dc);
        return;
    }
    UINT frame = m_bIsAnimating && m_nFramePosition < m_nFrameCount ? m_nFramePosition : 0;
    m_pGifImage->SelectActiveFrame(&Gdiplus::FrameDimensionTime, frame);
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(m_pGifImage.get(), static_cast<INT>(m_rcItem.left + 1), static_cast<INT>(m_rcItem.top + 1),
        static_cast<INT>(m_rcItem.right - m_rcItem.left - 2), static_cast<INT>(m_rcItem.bottom - m_rcItem.top - 2));
}

}  // namespace SkinUI
