// CCaptureDump: the last filter of the camera graph ("Capture Dump"). It takes
// RGB24 video of exactly the size it was made for, renders every sample at once
// and copies it into its owner's frame buffer.
//
// Threading: DoRenderSample runs on the graph's streaming thread under the
// renderer's receive lock; DetachOwner takes the same lock, so once it returns
// no frame is written any more and the owner may unmap its view.
#pragma once

#include "BaseRenderer.h"

class CCamtap;

class CCaptureDump : public DShow::BaseRenderer {
public:
    CCaptureDump(CCamtap* owner, int width, int height);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT DoRenderSample(IMediaSample* sample) override;
    HRESULT ShouldDrawSampleNow(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* end) override;

    void DetachOwner();
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    CCamtap* owner_;
    int width_;
    int height_;
};
