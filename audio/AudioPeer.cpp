#include "AudioPeer.h"

#include "RtpPacket.h"

namespace {

constexpr unsigned short kMinDatagramBytes = 12;

}  // namespace

CAudioPeer::CAudioPeer(IAudioPeerSink* sink) : sink_(sink) {}

CAudioPeer::~CAudioPeer()
{
    closeAll();
}

void SONDEX_CALL CAudioPeer::Destroy()
{
    try {
        delete this;
    } catch (...) {
    }
}

bool SONDEX_CALL CAudioPeer::Init(int captureDeviceId, int spare)
{
    if (initialised_) return false;
    initialised_ = true;
    captureDeviceId_ = captureDeviceId;
    spare_ = spare;
    return true;
}

void SONDEX_CALL CAudioPeer::Close()
{
    try {
        closeAll();
    } catch (...) {
    }
}

void CAudioPeer::closeAll()
{
    stopCapture();
    std::map<int, std::shared_ptr<CAudioStream>> streams;
    {
        std::lock_guard<CPeerLock> guard(lock_);
        streams.swap(streams_);
    }
    for (auto& entry : streams) entry.second->Stop();  // each stops its output and releases its packets
    for (auto& entry : streams) entry.second->WaitIdle();
}

bool SONDEX_CALL CAudioPeer::StartCapture(int mode)
{
    try {
        if (!initialised_) return false;
        if (capture_ && capture_->HeldByDriver()) dropCapture();
        if (!capture_) capture_ = std::make_unique<CAudioCapture>(sink_);
        return capture_->Start(captureDeviceId_, mode);
    } catch (...) {
        return false;
    }
}

void SONDEX_CALL CAudioPeer::StopCapture()
{
    try {
        stopCapture();
    } catch (...) {
    }
}

void CAudioPeer::stopCapture()
{
    if (!capture_) return;
    capture_->Stop();
    dropCapture();
}

void CAudioPeer::dropCapture()
{
    // One whose device would not close stays for the driver's late callbacks.
    if (capture_ && capture_->HeldByDriver()) static_cast<void>(capture_.release());
    capture_.reset();
}

std::shared_ptr<CAudioStream> CAudioPeer::findStream(int streamId)
{
    std::lock_guard<CPeerLock> guard(lock_);
    auto found = streams_.find(streamId);
    return found == streams_.end() ? nullptr : found->second;
}

bool SONDEX_CALL CAudioPeer::AddStream(int streamId)
{
    try {
        std::lock_guard<CPeerLock> guard(lock_);
        if (streams_.count(streamId)) return false;
        streams_.emplace(streamId, std::make_shared<CAudioStream>(sink_, streamId, spare_));
        return true;
    } catch (...) {
        return false;
    }
}

bool SONDEX_CALL CAudioPeer::RemoveStream(int streamId)
{
    try {
        std::shared_ptr<CAudioStream> stream;
        {
            std::lock_guard<CPeerLock> guard(lock_);
            auto found = streams_.find(streamId);
            if (found == streams_.end()) return false;
            stream = std::move(found->second);
            streams_.erase(found);
        }
        stream->Stop();
        return true;
    } catch (...) {
        return false;
    }
}

bool SONDEX_CALL CAudioPeer::InputPacket(int streamId, const char* datagram, unsigned short length)
{
    try {
        if (!datagram || length < kMinDatagramBytes) return false;
        PacketRef packet(CRtpPacket::MakeReceived(reinterpret_cast<const uint8_t*>(datagram), length));
        if (!packet) return false;
        if (std::shared_ptr<CAudioStream> stream = findStream(streamId)) stream->PacketIn(packet.get());
        return true;  // a packet for an unknown stream, or of an unknown payload type, is dropped
    } catch (...) {
        return false;
    }
}

bool SONDEX_CALL CAudioPeer::SetMuteAll(int flag)
{
    try {
        std::lock_guard<CPeerLock> guard(lock_);
        for (auto& entry : streams_) entry.second->SetMute(flag != 0);
    } catch (...) {
    }
    return true;
}

bool SONDEX_CALL CAudioPeer::SetMute(int streamId, bool flag)
{
    try {
        std::shared_ptr<CAudioStream> stream = findStream(streamId);
        if (!stream) return false;
        stream->SetMute(flag);
        return true;
    } catch (...) {
        return false;
    }
}
