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
    streams_.clear();  // each stream stops its output and releases its packets
}

bool SONDEX_CALL CAudioPeer::StartCapture(int mode)
{
    try {
        if (!initialised_) return false;
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
    capture_.reset();
}

bool SONDEX_CALL CAudioPeer::AddStream(int streamId)
{
    try {
        std::lock_guard<CPeerLock> guard(lock_);
        if (streams_.count(streamId)) return false;
        streams_.emplace(streamId, std::make_unique<CAudioStream>(sink_, streamId, spare_));
        return true;
    } catch (...) {
        return false;
    }
}

bool SONDEX_CALL CAudioPeer::RemoveStream(int streamId)
{
    try {
        std::lock_guard<CPeerLock> guard(lock_);
        auto found = streams_.find(streamId);
        if (found == streams_.end()) return false;
        streams_.erase(found);
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
        std::lock_guard<CPeerLock> guard(lock_);
        auto found = streams_.find(streamId);
        if (found != streams_.end()) found->second->PacketIn(packet.get());
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
        std::lock_guard<CPeerLock> guard(lock_);
        auto found = streams_.find(streamId);
        if (found == streams_.end()) return false;
        found->second->SetMute(flag);
        return true;
    } catch (...) {
        return false;
    }
}
