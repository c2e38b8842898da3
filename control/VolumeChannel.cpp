#include "VolumeChannel.h"

#include "DispatchCallback.h"
#include "VolumeRelay.h"

#include <objbase.h>
#include <shlwapi.h>

#include <mutex>

namespace Plexhost {
namespace {

// The proxies one engine thread keeps, with its membership of the multithreaded
// apartment. Lives in the thread's fiber-local storage; deleted on that thread
// when it ends.
class EngineThreadProxies {
public:
    EngineThreadProxies() : thread_(GetCurrentThreadId())
    {
        // An engine thread that is already in an apartment of its own keeps it.
        enteredApartment_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        Atl::ModuleLock::lock();  // this module's code runs at the thread's end
    }
    ~EngineThreadProxies()
    {
        if (GetCurrentThreadId() == thread_) {
            entries_.clear();  // the proxies go before their apartment
            if (enteredApartment_) CoUninitialize();
        } else {
            // Freeing the slot at unload runs this on the unloading thread: another
            // thread's apartment is not ours to touch there.
            for (Entry& entry : entries_) (void)entry.proxy.Detach();
        }
        Atl::ModuleLock::unlock();
    }
    EngineThreadProxies(const EngineThreadProxies&) = delete;
    EngineThreadProxies& operator=(const EngineThreadProxies&) = delete;

    static EngineThreadProxies* forThisThread()
    {
        DWORD index = slot();
        if (index == FLS_OUT_OF_INDEXES) return nullptr;
        auto* proxies = static_cast<EngineThreadProxies*>(FlsGetValue(index));
        if (proxies) return proxies;
        proxies = new EngineThreadProxies;
        if (!FlsSetValue(index, proxies)) {
            delete proxies;
            return nullptr;
        }
        return proxies;
    }

    static void freeSlot()
    {
        std::lock_guard<std::mutex> guard(slotLock());
        if (slotIndex() != FLS_OUT_OF_INDEXES) FlsFree(slotIndex());
        slotIndex() = FLS_OUT_OF_INDEXES;
    }

    // The thread's proxy of the channel's relay, unmarshalled at its first use.
    IDispatch* proxyFor(VolumeChannel& channel, const std::vector<BYTE>& marshalData)
    {
        dropClosedChannels();
        for (const Entry& entry : entries_) {
            if (entry.channel.lock().get() == &channel) return entry.proxy.Get();
        }
        Com::ComPtr<IDispatch> proxy = unmarshal(marshalData);
        if (!proxy) return nullptr;
        entries_.push_back(Entry{channel.weak_from_this(), proxy});
        return proxy.Get();
    }

private:
    struct Entry {
        std::weak_ptr<VolumeChannel> channel;
        Com::ComPtr<IDispatch> proxy;
    };

    static std::mutex& slotLock()
    {
        static std::mutex lock;
        return lock;
    }
    static DWORD& slotIndex()
    {
        static DWORD index = FLS_OUT_OF_INDEXES;
        return index;
    }
    static DWORD slot()
    {
        std::lock_guard<std::mutex> guard(slotLock());
        if (slotIndex() == FLS_OUT_OF_INDEXES) slotIndex() = FlsAlloc(&EngineThreadProxies::threadEnded);
        return slotIndex();
    }
    static void WINAPI threadEnded(void* proxies) { delete static_cast<EngineThreadProxies*>(proxies); }

    static Com::ComPtr<IDispatch> unmarshal(const std::vector<BYTE>& data)
    {
        auto stream = Com::ComPtr<IStream>::Adopt(SHCreateMemStream(data.data(), static_cast<UINT>(data.size())));
        Com::ComPtr<IDispatch> proxy;
        if (!stream || FAILED(CoUnmarshalInterface(stream.Get(), IID_IDispatch, proxy.PutVoid()))) return nullptr;
        return proxy;
    }

    void dropClosedChannels()
    {
        std::erase_if(entries_, [](const Entry& entry) {
            auto channel = entry.channel.lock();
            return !channel || channel->closed();
        });
    }

    DWORD thread_;
    bool enteredApartment_ = false;
    std::vector<Entry> entries_;
};

void rewind(IStream* stream)
{
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
}

// Takes back the references that a table-strong marshalling holds.
void releaseMarshalData(IStream* stream)
{
    rewind(stream);
    CoReleaseMarshalData(stream);
}

}  // namespace

std::shared_ptr<VolumeChannel> VolumeChannel::create()
{
    return std::make_shared<VolumeChannel>();
}

VolumeChannel::~VolumeChannel() = default;

void VolumeChannel::setCallback(IDispatch* callback)
{
    if (closed_) return;
    if (!relay_) {
        Com::ComPtr<IDispatch> relay;
        if (FAILED(Atl::ComObject<VolumeRelay>::Create(nullptr, IID_IDispatch, relay.PutVoid()))) return;
        relay_ = static_cast<VolumeRelay*>(relay.Get());
    }
    relay_->retarget(callback);
    if (!published_) publish();
}

// Marshals the relay for every apartment, as often as engine threads ask, until
// close() takes the data back.
bool VolumeChannel::publish()
{
    Com::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) return false;
    if (FAILED(CoMarshalInterface(stream.Get(), IID_IDispatch, static_cast<IDispatch*>(relay_.Get()), MSHCTX_INPROC,
            nullptr, MSHLFLAGS_TABLESTRONG)))
        return false;
    ULARGE_INTEGER end = {};
    LARGE_INTEGER none = {};
    std::vector<BYTE> data;
    if (SUCCEEDED(stream->Seek(none, STREAM_SEEK_CUR, &end))) {
        data.resize(static_cast<size_t>(end.QuadPart));
        rewind(stream.Get());
        ULONG read = 0;
        if (FAILED(stream->Read(data.data(), static_cast<ULONG>(data.size()), &read)) || read != data.size())
            data.clear();
    }
    if (data.empty()) {
        releaseMarshalData(stream.Get());
        return false;
    }
    marshalled_ = std::move(stream);
    marshalData_ = std::move(data);
    published_ = true;
    return true;
}

void VolumeChannel::close()
{
    closed_ = true;
    if (marshalled_) releaseMarshalData(marshalled_.Get());
    marshalled_ = nullptr;
    // Engine threads' proxies may keep the relay itself a while; closed, it holds
    // nothing of the page's.
    if (relay_) relay_->close();
    relay_ = nullptr;
}

void VolumeChannel::OnVolumeLevel(int level)
{
    try {
        deliver(level);
    } catch (...) {
        // A report that cannot be delivered is dropped; the engine goes on.
    }
}

void VolumeChannel::deliver(int level)
{
    if (closed_ || !published_) return;
    EngineThreadProxies* proxies = EngineThreadProxies::forThisThread();
    if (!proxies) return;
    if (IDispatch* proxy = proxies->proxyFor(*this, marshalData_)) invokeDefaultMember(proxy, {level});
}

void VolumeChannel::moduleUnloading()
{
    EngineThreadProxies::freeSlot();
}

}  // namespace Plexhost
