#include "FlashXControl.h"

#include "CallbackNesting.h"
#include "ComSupport.h"
#include "DispatchCallback.h"
#include "EngineShutdown.h"
#include "VolumeChannel.h"
#include "VolumeRelay.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace Plexhost {
namespace {

// Page script may pass null system strings for empty texts.
const wchar_t* text(BSTR value)
{
    return value ? value : L"";
}

::CFlashX::Binding comBinding()
{
    ::CFlashX::Binding binding;
    binding.logsSendResult = true;
    binding.bindingStartsEngine = true;
    return binding;
}

}  // namespace

CFlashX::CFlashX()
    : ::CFlashX(comBinding()), m_volume(VolumeChannel::create())
{
    startEngine(m_volume.get());
    EnableDebugPrivilege();
}

CFlashX::~CFlashX()
{
    // Inside a report the engine thread waits for this thread to return.
    bool insideReport = VolumeRelay::deliveriesOnThisThread() > 0;
    m_volume->close();  // no report reaches the page from here on
    shutDownEngine(takeEngine(), m_volume, !insideReport);
    m_sendCallback.reset();
    m_logCallback.reset();
}

const Atl::InterfaceEntry* CFlashX::interfaceEntries()
{
    static const Atl::InterfaceEntry entries[] = {Atl::entry<CFlashX, IFlashX>(IID_IFlashX),
        Atl::entry<CFlashX, IFlashX>(IID_IDispatch),
        Atl::entry<CFlashX, IConnectionPointContainer>(IID_IConnectionPointContainer),
        Atl::entry<CFlashX, IObjectWithSite>(IID_IObjectWithSite),
        Atl::entry<CFlashX, IObjectSafety>(IID_IObjectSafety), {}};
    return entries;
}

void CFlashX::EnableDebugPrivilege()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    CloseHandle(token);
}

bool CFlashX::refusedAsNested(const wchar_t* command)
{
    if (CallbackNesting::allowsCommand()) return false;
    DebugPrint(L"%s: refused, callbacks nested %d deep\n", command, CallbackNesting::depth());
    return true;
}

void CFlashX::FormatTimestamp()
{
    __time64_t now = _time64(nullptr);
    struct tm local = {};
    std::memset(timestampText, 0, sizeof timestampText);
    if (_localtime64_s(&local, &now) != 0) return;
    std::snprintf(timestampText, sizeof timestampText, "<%d-%d-%d %d:%d:%d>", local.tm_year + 1900, local.tm_mon + 1,
        local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

STDMETHODIMP CFlashX::sendvideoX(
    BSTR audioname, BSTR streamurl, BSTR resolution, BSTR level, VARIANT IsSendStartCallback, LONG* out)
{
    return Com::guarded([&] {
        if (!out) return E_POINTER;
        if (refusedAsNested(L"sendvideoX")) {
            *out = Result::failed;
            return S_OK;
        }
        auto callback = DispatchCallback::from(IsSendStartCallback);
        if (callback && (!m_sendCallback || m_sendCallback->target() != callback->target())) m_sendCallback = callback;
        *out = ::CFlashX::sendvideoX(text(audioname), text(streamurl), text(resolution), text(level), m_sendCallback);
        return S_OK;
    });
}

STDMETHODIMP CFlashX::dostop(LONG, LONG* stopped)
{
    return Com::guarded([&] {
        if (refusedAsNested(L"dostop")) {
            if (stopped) *stopped = Result::failed;
            return S_OK;
        }
        ::CFlashX::dostop();
        if (stopped) *stopped = Result::ok;
        return S_OK;
    });
}

STDMETHODIMP CFlashX::Cap(BSTR camname, VARIANT IsSendStartCallback, LONG* result)
{
    return Com::guarded([&] {
        if (!result) return E_POINTER;
        if (refusedAsNested(L"Cap")) {
            *result = Result::failed;
            return S_OK;
        }
        *result = ::CFlashX::Cap(text(camname), DispatchCallback::from(IsSendStartCallback));
        return S_OK;
    });
}

STDMETHODIMP CFlashX::ISready(VARIANT IsReadyCallback, LONG* result)
{
    return Com::guarded([&] {
        if (refusedAsNested(L"ISready")) {
            if (result) *result = Result::failed;
            return S_OK;
        }
        ::CFlashX::ISready(DispatchCallback::from(IsReadyCallback));
        if (result) *result = Result::ok;
        return S_OK;
    });
}

STDMETHODIMP CFlashX::CapStop(VARIANT IsCapStopCallback)
{
    return Com::guarded([&] {
        if (refusedAsNested(L"CapStop")) return S_OK;
        ::CFlashX::CapStop(DispatchCallback::from(IsCapStopCallback));
        return S_OK;
    });
}

STDMETHODIMP CFlashX::LogPrintf(VARIANT LogPrintfCallback)
{
    return Com::guarded([&] {
        auto callback = DispatchCallback::from(LogPrintfCallback);
        if (callback && (!m_logCallback || m_logCallback->target() != callback->target())) m_logCallback = callback;
        ::CFlashX::LogPrintf(m_logCallback);
        return S_OK;
    });
}

STDMETHODIMP CFlashX::SetMute(LONG, LONG* result)
{
    if (result) *result = Result::ok;
    return S_OK;
}

STDMETHODIMP CFlashX::SetVol(LONG Vol, LONG* result)
{
    DebugPrint(L"SetVol: %d\n", static_cast<int>(Vol));
    if (result) *result = Result::ok;
    return S_OK;
}

STDMETHODIMP CFlashX::PrintLog()
{
    return S_OK;
}

STDMETHODIMP CFlashX::endstream()
{
    return S_OK;
}

STDMETHODIMP CFlashX::SetVolCb(VARIANT VolCallback)
{
    return Com::guarded([&] {
        DebugPrint(L"SetVolCb:\n");
        if (V_VT(&VolCallback) != VT_DISPATCH || !V_DISPATCH(&VolCallback)) return S_OK;
        m_volume->setCallback(V_DISPATCH(&VolCallback));
        return S_OK;
    });
}

}  // namespace Plexhost
