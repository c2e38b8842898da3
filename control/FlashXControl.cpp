#include "FlashXControl.h"

#include "CallbackNesting.h"
#include "ComSupport.h"
#include "DispatchCallback.h"

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

void rewind(IStream* stream)
{
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
}

// The callback marshalled so that any apartment may unmarshal it, any number of
// times, until the data is released.
IStream* marshalForEngineThreads(IDispatch* callback)
{
    Com::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) return nullptr;
    if (FAILED(
            CoMarshalInterface(stream.Get(), IID_IDispatch, callback, MSHCTX_INPROC, nullptr, MSHLFLAGS_TABLESTRONG)))
        return nullptr;
    return stream.Detach();
}

// Takes back the reference a stream holds and frees the stream.
void releaseMarshalledStream(IStream* stream)
{
    auto held = Com::ComPtr<IStream>::Adopt(stream);
    if (!held) return;
    rewind(held.Get());
    CoReleaseMarshalData(held.Get());
}

}  // namespace

CFlashX::CFlashX() : ConnectionPointContainerImpl(DIID__IFlashXEvents), ::CFlashX(comBinding())
{
    startEngine();
    EnableDebugPrivilege();
}

CFlashX::~CFlashX()
{
    stopEngine();  // engine threads are gone after this
    releaseMarshalledStream(m_volumeStream.exchange(nullptr));
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
            *out = 1;
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
            if (stopped) *stopped = 1;
            return S_OK;
        }
        ::CFlashX::dostop();
        if (stopped) *stopped = 0;
        return S_OK;
    });
}

STDMETHODIMP CFlashX::Cap(BSTR camname, VARIANT IsSendStartCallback, LONG* result)
{
    return Com::guarded([&] {
        if (!result) return E_POINTER;
        if (refusedAsNested(L"Cap")) {
            *result = 1;
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
            if (result) *result = 1;
            return S_OK;
        }
        ::CFlashX::ISready(DispatchCallback::from(IsReadyCallback));
        if (result) *result = 0;
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
    if (result) *result = 0;
    return S_OK;
}

STDMETHODIMP CFlashX::SetVol(LONG Vol, LONG* result)
{
    DebugPrint(L"SetVol: %d\n", static_cast<int>(Vol));
    if (result) *result = 0;
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
        // A marshalling failure leaves no volume callback: later reports are dropped.
        IStream* stream = marshalForEngineThreads(V_DISPATCH(&VolCallback));
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
    IStream* stream = m_volumeStream.exchange(nullptr);
    if (!stream) return;  // no callback (or another report is using it)
    HRESULT entered = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Com::ComPtr<IDispatch> callback;
    rewind(stream);
    if (SUCCEEDED(CoUnmarshalInterface(stream, IID_IDispatch, callback.PutVoid())))
        invokeDefaultMember(callback.Get(), {level});
    callback.Reset();  // before the apartment may go
    IStream* empty = nullptr;
    if (!m_volumeStream.compare_exchange_strong(empty, stream))
        releaseMarshalledStream(stream);  // SetVolCb brought a newer callback meanwhile
    if (SUCCEEDED(entered)) CoUninitialize();
}

}  // namespace Plexhost
