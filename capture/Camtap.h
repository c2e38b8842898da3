// CCamtap: one camera, chosen by its friendly name, captured through a
// DirectShow graph (camera -> sample grabber -> CCaptureDump) into the shared
// frame buffer "VC_SHARE" as bottom-up RGB24 rows of width × 3 bytes.
//
// Threading: every operation is meant for the thread that called Init (its COM
// apartment); frames are copied on the graph's streaming thread. Init tears a
// previous graph down before it builds again; Destroy releases everything.
// Once the graph is built, the camera's filter is held by the graph alone.
#pragma once

#include "ComSupport.h"
#include "VideoShareFrame.h"

#include <dshow.h>
#include <qedit.h>

class CCaptureDump;

// Its table holds the five operations in this order and nothing else: no
// virtual destructor, so the class is final and deleted as itself.
class CCamtap final {
public:
    CCamtap();
    ~CCamtap();
    CCamtap(const CCamtap&) = delete;
    CCamtap& operator=(const CCamtap&) = delete;

    virtual bool Init(const char* cameraName, int width, int height);
    virtual void Destroy();
    virtual bool Run();
    virtual void Stop();
    virtual void FitToOwnerWindow();

    // The frame buffer the renderer copies into (streaming thread).
    VideoShareFrame& Frame() { return frame_; }
    HRESULT LastResult() const { return lastResult_; }

private:
    bool BuildGraph();
    HRESULT FindCamera();
    HRESULT ChooseFormat(int width, int height);
    HRESULT RenderCaptureStream();
    void RemoveSource();

    HWND ownerWindow_ = nullptr;
    Com::ComPtr<IVideoWindow> videoWindow_;
    Com::ComPtr<IMediaControl> mediaControl_;
    Com::ComPtr<IMediaEventEx> mediaEvent_;
    Com::ComPtr<IGraphBuilder> graph_;
    Com::ComPtr<ICaptureGraphBuilder2> captureBuilder_;
    Com::ComPtr<ISampleGrabber> grabber_;
    Com::ComPtr<IBaseFilter> grabberFilter_;
    Com::ComPtr<IBaseFilter> source_;
    Com::ComPtr<IBaseFilter> dumpFilter_;
    CCaptureDump* dump_ = nullptr;  // the object behind dumpFilter_
    HRESULT lastResult_ = E_FAIL;
    char cameraName_[256] = {};
    VideoShareFrame frame_;
    bool built_ = false;
};
