// CFlashUI: the Flash player control hosted by the ActiveX host, with its
// events (_IShockwaveFlashEvents) passed to the application's handler
// (IFlashEventsUI, installed with SetFlashEventHandler). The player's
// interfaces are declared here by hand, with the ids the player publishes.
// Where no player is installed, creation fails cleanly: nothing is shown and
// the rest of the window is unaffected.
// UI thread only.
#pragma once

#include "ActiveXUI.h"
#include "ComObjectUI.h"

#include "ComPtr.h"

namespace SkinUI {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
inline constexpr CLSID CLSID_ShockwaveFlash = {
    0xd27cdb6e, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6C-AE6D-11CF-96B8-444553540000}
inline constexpr IID IID_IShockwaveFlash = {
    0xd27cdb6c, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6D-AE6D-11CF-96B8-444553540000}
inline constexpr IID DIID_IShockwaveFlashEvents = {
    0xd27cdb6d, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The player's dual interface; the control calls nothing of it beyond IDispatch.
struct IShockwaveFlash : public IDispatch {};

// The player's events by DISPID.
enum : DISPID { FLASH_READYSTATECHANGE = -609, FLASH_PROGRESS = 1958, FLASH_FSCOMMAND = 150, FLASH_CALL = 197 };

// The application's side of the player.
class IFlashEventsUI {
public:
    // Called when the control is destroyed.
    virtual HRESULT Release() = 0;
    // Not called by the library.
    virtual HRESULT AddRef() = 0;
    virtual HRESULT OnReadyStateChange(long newState) = 0;
    virtual HRESULT OnProgress(long percentDone) = 0;
    virtual HRESULT FSCommand(BSTR command, BSTR args) = 0;
    virtual HRESULT FlashCall(BSTR request) = 0;

protected:
    ~IFlashEventsUI() = default;
};

class CFlashUI : public CActiveXUI, public CEventPartsUI<>, public ITranslateAccelerator {
public:
    CFlashUI();
    ~CFlashUI() override;

    const wchar_t* GetClassName() const override;
    LPVOID GetInterfaceByName(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    bool DoCreateControl() override;
    void ReleaseControl() override;

    // The application's handler (not owned); null for none.
    void SetFlashEventHandler(IFlashEventsUI* handler) { m_pFlashEventHandler = handler; }
    IShockwaveFlash* GetShockwaveFlash() const { return m_pFlash.Get(); }
    bool IsEventsConnected() const { return m_dwCookie != 0; }

    // IUnknown and IDispatch: the player's events
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
    STDMETHOD(Invoke)(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;
    // ITranslateAccelerator of the window manager
    LRESULT TranslateAccelerator(MSG* msg) override;

private:
    Com::ComPtr<IShockwaveFlash> m_pFlash;
    DWORD m_dwCookie = 0;
    IFlashEventsUI* m_pFlashEventHandler = nullptr;
};

}  // namespace SkinUI
