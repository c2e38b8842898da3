// CActiveXUI: hosts an OLE control (by class id or ProgID) in the windowless
// control tree. The object is made through a given module's class factory or
// through COM, gets a site (CActiveXCtrl, the container side of in-place
// activation) and is activated in place either windowless — it draws into the
// manager's paint DC and gets the window's messages through this control's
// message filter — or windowed, inside a child host window (CActiveXWnd) that
// follows the control's position and visibility. The web browser and Flash
// controls derive from it.
// UI thread only; the hosted object lives in the thread's apartment.
#pragma once

#include "ControlUI.h"

#include "ComPtr.h"

#include <ocidl.h>
#include <oleidl.h>

namespace SkinUI {

class CActiveXCtrl;
class CActiveXWnd;

class CActiveXUI : public CControlUI, public IMessageFilterUI {
    friend class CActiveXCtrl;
    friend class CActiveXWnd;

public:
    CActiveXUI();
    ~CActiveXUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetPos(RECT rc) override;
    void Paint(HDC dc, const RECT& paint) override;
    void SetVisible(bool visible = true) override;
    void SetInheritedVisible(bool visible = true) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    LRESULT FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // False for the null class id; creates the object now unless creation is delayed.
    bool CreateControl(const CLSID& clsid);
    // A "{...}" class id or a ProgID.
    bool CreateControl(const wchar_t* clsidOrProgId);
    void SetDelayCreate(bool delay = true);
    bool IsDelayCreate() const { return m_bDelayCreate; }
    // The hosted object's interface: E_POINTER, E_PENDING without an object.
    HRESULT GetControl(const IID& iid, void** out);
    CLSID GetClisd() const { return m_clsid; }
    const CUIString& GetModuleName() const { return m_sModuleName; }
    void SetModuleName(const wchar_t* name);
    // The manager's window when windowless, the host window when windowed.
    HWND GetHostWindow() const { return m_hwndHost; }
    bool IsWindowless() const;
    bool IsInPlaceActive() const;

    // Live site, frame and enumerator objects of every control (for tests).
    static long GetLiveHostObjects();

    virtual void ReleaseControl();
    virtual bool DoCreateControl();

protected:
    bool createObject();
    // Advises (or unadvises) a sink on the object's connection point for the
    // events; the cookie is kept (and cleared) here.
    HRESULT connectEvents(const IID& events, IUnknown* sink, DWORD& cookie, bool connect);
    // A key message for the object's own accelerators while the focus is in its
    // host window: S_FALSE outside the keys, E_NOTIMPL without the object's interface.
    LRESULT translateObjectAccelerator(IUnknown* object, MSG* msg);

    CLSID m_clsid{};
    CUIString m_sModuleName;
    bool m_bCreated = false;
    bool m_bDelayCreate = true;
    Com::ComPtr<IOleObject> m_pUnk;
    Com::ComPtr<CActiveXCtrl> m_pControl;
    HWND m_hwndHost = nullptr;
    // Loaded for "modulename" once, freed when the control goes (after its object).
    HMODULE m_hModule = nullptr;
};

}  // namespace SkinUI
