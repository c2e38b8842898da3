// Playback of one remote stream. The ten buffers belong to the stream, so a
// buffer the device did not give back is still freed.
#include "AudioStream.h"

#include <cstring>

#include "AudioLevel.h"

namespace {

constexpr DWORD kSampleRate = 44100;
constexpr DWORD kStopWaitMs = 2000;
constexpr UINT kFirstOutputDevice = 0;

}  // namespace

CAudioStream::CAudioStream(IAudioPeerSink* sink, int streamId, int spare)
    : sink_(sink), streamId_(streamId), spare_(spare), stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

CAudioStream::~CAudioStream()
{
    StopOutput();
    queue_.reset();
    if (stopEvent_) CloseHandle(stopEvent_);
}

int CAudioStream::ModeForPayloadType(uint8_t payloadType)
{
    switch (payloadType) {
    case 35: return 4;
    case 36: return Sondex::kCaptureModeMono;
    case 37: return Sondex::kCaptureModeStereo;
    default: return 0;
    }
}

bool CAudioStream::PacketIn(CRtpPacket* packet)
{
    const int mode = ModeForPayloadType(packet->PayloadType());
    if (mode == 0) return false;
    packet->AddRef();
    PacketRef kept(packet);
    if (mode == mode_ && queue_) {
        queue_->Insert(std::move(kept));
        return true;
    }
    StopOutput();
    queue_.reset();
    decoder_.reset();
    mode_ = mode;
    queue_ = std::make_unique<CJitterBuffer>();
    decoder_ = std::make_unique<CAacDecoder>();
    queue_->Insert(std::move(kept));
    openOutput(mode);
    return true;
}

bool CAudioStream::openOutput(int mode)
{
    if (running_.load() || device_ || !stopEvent_) return false;
    if (mode != Sondex::kCaptureModeMono && mode != Sondex::kCaptureModeStereo) return false;
    format_ = WAVEFORMATEX{};
    format_.wFormatTag = WAVE_FORMAT_PCM;
    format_.nChannels = 2;
    format_.nSamplesPerSec = kSampleRate;
    format_.wBitsPerSample = 16;
    format_.nBlockAlign = 4;
    format_.nAvgBytesPerSec = kSampleRate * 4;

    if (waveOutOpen(&device_, kFirstOutputDevice, &format_, reinterpret_cast<DWORD_PTR>(&CAudioStream::deviceCallback),
            reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        device_ = nullptr;
        return false;
    }
    ResetEvent(stopEvent_);
    running_ = true;
    bool queued = true;
    {
        std::lock_guard<std::mutex> guard(rewriteLock_);
        for (Buffer& buffer : buffers_) {
            buffer.data.assign(kBufferBytes, 0);
            outstanding_.fetch_add(1);  // counted first: the device may finish it at once
            if (!writeBuffer(buffer)) {
                outstanding_.fetch_sub(1);
                queued = false;
                break;
            }
        }
    }
    if (queued) return true;
    StopOutput();  // a failed start closes the device it opened
    return false;
}

bool CAudioStream::writeBuffer(Buffer& buffer)
{
    buffer.header = WAVEHDR{};
    buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.data.data());
    buffer.header.dwBufferLength = static_cast<DWORD>(buffer.data.size());
    buffer.header.dwUser = reinterpret_cast<DWORD_PTR>(&buffer);
    if (waveOutPrepareHeader(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    if (waveOutWrite(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(device_, &buffer.header, sizeof(WAVEHDR));
        return false;
    }
    return true;
}

void CAudioStream::bufferRetired()
{
    if (outstanding_.fetch_sub(1) == 1) SetEvent(stopEvent_);
}

// Resets the device (every buffer comes back), waits a bounded time for the
// callback to retire them and closes the device. The queue stays.
void CAudioStream::StopOutput()
{
    if (!device_) return;
    {
        std::lock_guard<std::mutex> guard(rewriteLock_);
        running_ = false;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (outstanding_.load() > 0) {
            waveOutReset(device_);
            WaitForSingleObject(stopEvent_, kStopWaitMs);
        }
        if (waveOutClose(device_) == MMSYSERR_NOERROR) break;
    }
    device_ = nullptr;
    outstanding_ = 0;
    for (Buffer& buffer : buffers_) std::vector<uint8_t>().swap(buffer.data);
    format_ = WAVEFORMATEX{};
}

void CALLBACK CAudioStream::deviceCallback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    try {
        auto* stream = reinterpret_cast<CAudioStream*>(instance);
        switch (message) {
        case WOM_OPEN: OutputDebugStringA("Sondex WOM_OPEN\n"); break;
        case WOM_CLOSE: OutputDebugStringA("Sondex WOM_CLOSE\n"); break;
        case WOM_DONE: stream->onBufferPlayed(reinterpret_cast<WAVEHDR*>(param1)); break;
        }
    } catch (...) {
        // nothing may escape into the sound system's thread
    }
}

void CAudioStream::onBufferPlayed(WAVEHDR* header)
{
    auto* buffer = reinterpret_cast<Buffer*>(header->dwUser);
    waveOutUnprepareHeader(device_, header, sizeof(WAVEHDR));
    if (!running_.load()) {
        bufferRetired();
        return;
    }
    fill(*buffer);
    sink_->OnPlaybackLevel(
        streamId_, PeakLevel(reinterpret_cast<const int16_t*>(buffer->data.data()), buffer->data.size() / 2));
    std::lock_guard<std::mutex> guard(rewriteLock_);
    if (!running_.load() || !writeBuffer(*buffer)) bufferRetired();
}

// One popped packet per buffer, decoded; silence when there is none, when it
// cannot be decoded, or when the stream is muted.
void CAudioStream::fill(Buffer& buffer)
{
    PacketRef packet = queue_ ? queue_->Pop() : PacketRef{};
    auto* samples = reinterpret_cast<int16_t*>(buffer.data.data());
    if (packet && !muted_.load() && decoder_ &&
        decoder_->DecodeFrame(packet->Payload(), packet->PayloadLength(), samples))
        return;
    std::memset(buffer.data.data(), 0, buffer.data.size());
}
