#include "FlashXControl.h"

#include "DispatchCallback.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

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

// Takes back the reference a stream holds and frees the stream.
void releaseMarshalledStream(IStream* stream)
{
    if (!stream)
        return;
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    CoReleaseMarshalData(stream);
    stream->Release();
}

HRESULT boundary(auto&& body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace

CFlashX::CFlashX() : ConnectionPointContainerImpl(DIID__IFlashXEvents), ::CFlashX(comBinding())
{
    startEngine();
    EnableDebugPrivilege();
}

CFlashX::~CFlashX()
{
    stopEngine(); // engine threads are gone after this
    releaseMarshalledStream(m_volumeStream.exchange(nullptr));
    if (m_volumeCallback)
        m_volumeCallback->Release();
    m_volumeCallback = nullptr;
    m_sendCallback.reset();
    m_logCallback.reset();
}

const Atl::InterfaceEntry* CFlashX::interfaceEntries()
{
    static const Atl::InterfaceEntry entries[] = {
        Atl::entry<CFlashX, IFlashX>(IID_IFlashX),
        Atl::entry<CFlashX, IFlashX>(IID_IDispatch),
        Atl::entry<CFlashX, IConnectionPointContainer>(IID_IConnectionPointContainer),
        Atl::entry<CFlashX, IObjectWithSite>(IID_IObjectWithSite),
        Atl::entry<CFlashX, IObjectSafety>(IID_IObjectSafety),
        {}};
    return entries;
}

void CFlashX::EnableDebugPrivilege()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    CloseHandle(token);
}

void CFlashX::FormatTimestamp()
{
    __time64_t now = _time64(nullptr);
    struct tm local = {};
    std::memset(timestampText, 0, sizeof timestampText);
    if (_localtime64_s(&local, &now) != 0)
        return;
    std::snprintf(timestampText, sizeof timestampText, "<%d-%d-%d %d:%d:%d>", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

STDMETHODIMP CFlashX::sendvideoX(BSTR audioname, BSTR streamurl, BSTR resolution, BSTR level,
                                 VARIANT IsSendStartCallback, LONG* out)
{
    return boundary([&] {
        if (!out)
            return E_POINTER;
        auto callback = DispatchCallback::from(IsSendStartCallback);
        if (callback && (!m_sendCallback || m_sendCallback->target() != callback->target()))
            m_sendCallback = callback;
        *out = ::CFlashX::sendvideoX(text(audioname), text(streamurl), text(resolution), text(level),
                                     m_sendCallback);
        return S_OK;
    });
}

STDMETHODIMP CFlashX::dostop(LONG, LONG* stopped)
{
    return boundary([&] {
        ::CFlashX::dostop();
        if (stopped)
            *stopped = 0;
        return S_OK;
    });
}

STDMETHODIMP CFlashX::Cap(BSTR camname, VARIANT IsSendStartCallback, LONG* result)
{
    return boundary([&] {
        if (!result)
            return E_POINTER;
        *result = ::CFlashX::Cap(text(camname), DispatchCallback::from(IsSendStartCallback));
        return S_OK;
    });
}

STDMETHODIMP CFlashX::ISready(VARIANT IsReadyCallback, LONG* result)
{
    return boundary([&] {
        ::CFlashX::ISready(DispatchCallback::from(IsReadyCallback));
        if (result)
            *result = 0;
        return S_OK;
    });
}

STDMETHODIMP CFlashX::CapStop(VARIANT IsCapStopCallback)
{
    return boundary([&] {
        ::CFlashX::CapStop(DispatchCallback::from(IsCapStopCallback));
        return S_OK;
    });
}

STDMETHODIMP CFlashX::LogPrintf(VARIANT LogPrintfCallback)
{
    return boundary([&] {
        auto callback = DispatchCallback::from(LogPrintfCallback);
        if (callback && (!m_logCallback || m_logCallback->target() != callback->target()))
            m_logCallback = callback;
        ::CFlashX::LogPrintf(m_logCallback);
        return S_OK;
    });
}

STDMETHODIMP CFlashX::SetMute(LONG, LONG* result)
{
    if (result)
        *result = 0;
    return S_OK;
}

STDMETHODIMP CFlashX::SetVol(LONG Vol, LONG* result)
{
    DebugPrint(L"SetVol: %d\n", static_cast<int>(Vol));
    if (result)
        *result = 0;
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
    return boundary([&] {
        DebugPrint(L"SetVolCb:\n");
        if (V_VT(&VolCallback) != VT_DISPATCH || !V_DISPATCH(&VolCallback))
            return S_OK;
        IStream* stream = nullptr;
        HRESULT hr = CoMarshalInterThreadInterfaceInStream(IID_IDispatch, V_DISPATCH(&VolCallback), &stream);
        if (FAILED(hr))
            stream = nullptr;
        m_volumeDropped = FAILED(hr);
        releaseMarshalledStream(m_volumeStream.exchange(stream));
        return S_OK;
    });
}

void CFlashX::OnVolumeLevel(int level)
{
    try {
        deliverVolume(level);
    } catch (...) {
        // A report that cannot be delivered is dropped; the engine goes on.
    }
}

void CFlashX::deliverVolume(int level)
{
    std::lock_guard<std::mutex> guard(m_volumeLock);
    if (!m_volumeStream.load() && !m_volumeCallback && !m_volumeDropped)
        return;
    HRESULT entered = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (IStream* stream = m_volumeStream.exchange(nullptr)) {
        IDispatch* fresh = nullptr;
        if (FAILED(CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, reinterpret_cast<void**>(&fresh))))
            fresh = nullptr;
        if (m_volumeCallback)
            m_volumeCallback->Release();
        m_volumeCallback = fresh;
    } else if (m_volumeDropped.exchange(false) && m_volumeCallback) {
        m_volumeCallback->Release();
        m_volumeCallback = nullptr;
    }
    if (m_volumeCallback)
        invokeDefaultMember(m_volumeCallback, {level});
    if (SUCCEEDED(entered))
        CoUninitialize();
}

} // namespace Plexhost
