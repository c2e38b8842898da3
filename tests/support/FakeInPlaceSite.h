// A container's site for in-place controls in tests: IOleClientSite and
// IOleInPlaceSiteWindowless (with IOleInPlaceSiteEx and IOleInPlaceSite),
// recording every call that matters as a line of text ("SetCapture(1)",
// "InvalidateRect(null,1)", ...) and the thread of each InvalidateRect.
//
//     Com::ComPtr<FakeInPlaceSite> site(new FakeInPlaceSite);
//     site->position = {100, 50, 400, 200};
//     object->SetClientSite(site.Get());
//     object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, nullptr, nullptr);
//     EXPECT_THAT(site->calls, Contains("OnInPlaceActivateEx(windowless)"));
//
// The windowless part can be turned down (allowWindowless), and the site can
// be made to offer only IOleInPlaceSite (onlyPlainSite). Counted references;
// made on the heap.
//
// Threading: the test's thread; InvalidateRect records from any thread.
#pragma once

#include "ComSupport.h"
#include "CountedUnknown.h"

#include <windows.h>
#include <ocidl.h>

#include <mutex>
#include <string>
#include <vector>

class FakeInPlaceSite : public CountedUnknown<IOleClientSite, IOleInPlaceSiteWindowless> {
public:
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override
    {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* out) override
    {
        if (!out) return E_POINTER;
        *out = window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return allowInPlace ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override { return record("OnInPlaceActivate"); }
    STDMETHODIMP OnUIActivate() override { return record("OnUIActivate"); }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT positionOut,
        LPRECT clipOut, LPOLEINPLACEFRAMEINFO) override
    {
        if (frame) *frame = nullptr;
        if (document) *document = nullptr;
        if (positionOut) *positionOut = position;
        if (clipOut) *clipOut = clip;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return record("OnUIDeactivate"); }
    STDMETHODIMP OnInPlaceDeactivate() override { return record("OnInPlaceDeactivate"); }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceSiteEx
    STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override
    {
        if (noRedraw) *noRedraw = FALSE;
        return record(
            flags & ACTIVATE_WINDOWLESS ? "OnInPlaceActivateEx(windowless)" : "OnInPlaceActivateEx(windowed)");
    }
    STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override { return record("OnInPlaceDeactivateEx"); }
    STDMETHODIMP RequestUIActivate() override { return S_OK; }

    // IOleInPlaceSiteWindowless
    STDMETHODIMP CanWindowlessActivate() override { return allowWindowless ? S_OK : S_FALSE; }
    STDMETHODIMP GetCapture() override { return captured ? S_OK : S_FALSE; }
    STDMETHODIMP SetCapture(BOOL capture) override
    {
        captured = capture != FALSE;
        return record(capture ? "SetCapture(1)" : "SetCapture(0)");
    }
    STDMETHODIMP GetFocus() override { return focused ? S_OK : S_FALSE; }
    STDMETHODIMP SetFocus(BOOL focus) override
    {
        focused = focus != FALSE;
        return record(focus ? "SetFocus(1)" : "SetFocus(0)");
    }
    STDMETHODIMP GetDC(LPCRECT, DWORD, HDC* context) override
    {
        if (context) *context = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP ReleaseDC(HDC) override { return E_NOTIMPL; }
    STDMETHODIMP InvalidateRect(LPCRECT area, BOOL erase) override
    {
        std::lock_guard<std::mutex> guard(lock);
        invalidateThreads.push_back(GetCurrentThreadId());
        calls.push_back(std::string("InvalidateRect(") + (area ? "rect" : "null") + (erase ? ",1)" : ",0)"));
        return S_OK;
    }
    STDMETHODIMP InvalidateRgn(HRGN, BOOL) override { return S_OK; }
    STDMETHODIMP ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
    STDMETHODIMP AdjustRect(LPRECT) override { return S_OK; }
    STDMETHODIMP OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) override
    {
        if (result) *result = 0;
        return S_OK;
    }

    // The calls recorded so far, with a copy taken under the lock.
    std::vector<std::string> recorded()
    {
        std::lock_guard<std::mutex> guard(lock);
        return calls;
    }
    size_t countOf(const std::string& call)
    {
        size_t count = 0;
        for (const std::string& c : recorded()) count += c == call;
        return count;
    }

    HWND window = nullptr;
    RECT position{0, 0, 300, 150};
    RECT clip{0, 0, 300, 150};
    bool allowInPlace = true;
    bool allowWindowless = true;
    bool onlyPlainSite = false;
    bool captured = false;
    bool focused = false;
    std::mutex lock;
    std::vector<std::string> calls;
    std::vector<DWORD> invalidateThreads;

protected:
    void* interfaceFor(REFIID iid) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            return static_cast<IOleClientSite*>(this);
        if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
            return static_cast<IOleInPlaceSite*>(this);
        if (!onlyPlainSite &&
            (IsEqualIID(iid, IID_IOleInPlaceSiteEx) || IsEqualIID(iid, IID_IOleInPlaceSiteWindowless)))
            return static_cast<IOleInPlaceSiteWindowless*>(this);
        return nullptr;
    }

private:
    HRESULT record(const char* call)
    {
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back(call);
        return S_OK;
    }
};
