#include "CaptureDump.h"

#include "Camtap.h"
#include "FrameCopy.h"

namespace {

// {7726B9AE-554E-45D8-A173-CDBED1950542}
const CLSID kCaptureDumpClsid = {0x7726b9ae, 0x554e, 0x45d8, {0xa1, 0x73, 0xcd, 0xbe, 0xd1, 0x95, 0x05, 0x42}};

}  // namespace

CCaptureDump::CCaptureDump(CCamtap* owner, int width, int height)
    : BaseRenderer(kCaptureDumpClsid, L"Capture Dump"), owner_(owner), width_(width), height_(height)
{
}

HRESULT CCaptureDump::CheckMediaType(const AM_MEDIA_TYPE* type)
{
    if (!type) return E_INVALIDARG;
    if (type->majortype != MEDIATYPE_Video || type->formattype != FORMAT_VideoInfo) return S_FALSE;
    const VIDEOINFOHEADER* info = DShow::VideoInfoOf(*type);
    if (!info) return S_FALSE;
    if (info->bmiHeader.biWidth != width_ || info->bmiHeader.biHeight != height_) return S_FALSE;
    return type->subtype == MEDIASUBTYPE_RGB24 ? S_OK : S_FALSE;
}

HRESULT CCaptureDump::SetMediaType(const AM_MEDIA_TYPE* type)
{
    HRESULT hr = BaseRenderer::SetMediaType(type);
    if (FAILED(hr)) return hr;
    if (type->subtype != MEDIASUBTYPE_RGB24 && type->subtype != MEDIASUBTYPE_YUY2) return E_FAIL;
    return S_OK;
}

HRESULT CCaptureDump::DoRenderSample(IMediaSample* sample)
{
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) return S_OK;
    long length = sample->GetActualDataLength();
    if (length <= 0 || !owner_) return S_OK;
    VideoShareFrame& frame = owner_->Frame();
    if (frame.IsOpen())
        CopyRgb24Frame(data, static_cast<size_t>(length), width_, height_, frame.View(), frame.Capacity());
    return S_OK;
}

HRESULT CCaptureDump::ShouldDrawSampleNow(IMediaSample*, REFERENCE_TIME*, REFERENCE_TIME*)
{
    return S_OK;
}

void CCaptureDump::DetachOwner()
{
    DShow::Lock lock(ReceiveLock());
    owner_ = nullptr;
}
