#include "FlashUI.h"

#include "AttributeTable.h"

#include "ComGuard.h"

namespace SkinUI {

namespace {

// The first argument's value as a number; false when it has none.
bool firstNumber(const DISPPARAMS* params, long& value)
{
    if (!params || params->cArgs < 1 || !params->rgvarg) return false;
    VARIANT number;
    VariantInit(&number);
    // The first argument comes last.
    VARIANTARG* first = &params->rgvarg[params->cArgs - 1];
    if (FAILED(VariantChangeType(&number, first, 0, VT_I4))) return false;
    value = V_I4(&number);
    return true;
}

}  // namespace

CFlashUI::CFlashUI()
{
    ::CLSIDFromString(L"{D27CDB6E-AE6D-11CF-96B8-444553540000}", &m_clsid);
}

CFlashUI::~CFlashUI()
{
    ReleaseControl();
    if (m_pFlashEventHandler) m_pFlashEventHandler->Release();
}

const wchar_t* CFlashUI::GetClassName() const
{
    return L"Flash";
}

LPVOID CFlashUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Flash") == 0) return static_cast<CFlashUI*>(this);
    return CActiveXUI::GetInterfaceByName(name);
}

void CFlashUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    // The web browser's attributes: nothing to a player.
    static const AttributeSetter<CFlashUI> kSetters[] = {
        {L"homepage", [](auto&, auto) {}},
        {L"autonavi", [](auto&, auto) {}},
    };
    if (!ApplyAttribute(kSetters, *this, name, value)) CActiveXUI::SetAttribute(name, value);
}

bool CFlashUI::DoCreateControl()
{
    if (!CActiveXUI::DoCreateControl()) return false;
    if (m_pManager) m_pManager->AddTranslateAccelerator(this);
    GetControl(IID_IShockwaveFlash, m_pFlash.PutVoid());
    connectEvents(DIID_IShockwaveFlashEvents, static_cast<IDispatch*>(this), m_dwCookie, true);
    return true;
}

void CFlashUI::ReleaseControl()
{
    if (m_pManager) m_pManager->RemoveTranslateAccelerator(this);
    connectEvents(DIID_IShockwaveFlashEvents, static_cast<IDispatch*>(this), m_dwCookie, false);
    m_pFlash = nullptr;
    CActiveXUI::ReleaseControl();
}

STDMETHODIMP CFlashUI::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    bool events = iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IShockwaveFlashEvents;
    return AnswerInterface(out, events ? static_cast<IDispatch*>(this) : nullptr);
}

STDMETHODIMP CFlashUI::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    return Com::guarded([&] {
        UINT count = params ? params->cArgs : 0;
        switch (id) {
        case FLASH_READYSTATECHANGE:
        case FLASH_PROGRESS: {
            if (count < 1) return DISP_E_BADPARAMCOUNT;
            long value = 0;
            if (!firstNumber(params, value)) return DISP_E_TYPEMISMATCH;
            if (!m_pFlashEventHandler) return S_OK;
            return id == FLASH_PROGRESS ? m_pFlashEventHandler->OnProgress(value)
                                        : m_pFlashEventHandler->OnReadyStateChange(value);
        }
        case FLASH_FSCOMMAND:
            if (count != 2) return DISP_E_BADPARAMCOUNT;
            if (V_VT(&params->rgvarg[0]) != VT_BSTR || V_VT(&params->rgvarg[1]) != VT_BSTR) return DISP_E_TYPEMISMATCH;
            if (!m_pFlashEventHandler) return S_OK;
            return m_pFlashEventHandler->FSCommand(V_BSTR(&params->rgvarg[1]), V_BSTR(&params->rgvarg[0]));
        case FLASH_CALL:
            if (count != 1 || V_VT(&params->rgvarg[0]) != VT_BSTR) return E_INVALIDARG;
            if (!m_pFlashEventHandler) return S_OK;
            return m_pFlashEventHandler->FlashCall(V_BSTR(&params->rgvarg[0]));
        default: return S_OK;
        }
    });
}

LRESULT CFlashUI::TranslateAccelerator(MSG* msg)
{
    return translateObjectAccelerator(m_pFlash.Get(), msg);
}

}  // namespace SkinUI
